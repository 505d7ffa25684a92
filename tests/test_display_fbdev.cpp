/* The frame-buffer back end on plain files standing in for devices: which
 * bytes each window pixel lands in at 16, 24 and 32 bits per pixel, with rows
 * wider than the screen, a panned second screen, cut, centred and placed
 * windows; the kernel's records with offsets and other colour fields; and
 * the one line and headless fallback of settings it cannot honour. */
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/pixel.h"
#include "platform/display_fbdev.h"
#include "platform/platform_internal.h"

using namespace kesra::platform;

namespace {

constexpr uint8_t kUntouched = 0xAA;

/* A file of bytes that the back end must leave alone unless it draws there. */
struct FbFile {
    explicit FbFile(size_t bytes) : path(std::string(::testing::TempDir()) + "kesra_fb_XXXXXX") {
        const int fd = mkstemp(path.data());
        const std::vector<uint8_t> fill(bytes, kUntouched);
        EXPECT_EQ(write(fd, fill.data(), bytes), static_cast<ssize_t>(bytes));
        close(fd);
    }
    ~FbFile() { std::remove(path.c_str()); }
    std::vector<uint8_t> bytes() const {
        std::ifstream in(path, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    }
    std::string path;
};

/* Settings for one test, unset at its end. */
struct Settings {
    Settings(const char* geometry, const char* origin = nullptr, const char* order = nullptr) {
        set("KESRA_FB_GEOMETRY", geometry);
        set("KESRA_FB_ORIGIN", origin);
        set("KESRA_FB_BYTE_ORDER", order);
    }
    ~Settings() {
        unsetenv("KESRA_FB_GEOMETRY");
        unsetenv("KESRA_FB_ORIGIN");
        unsetenv("KESRA_FB_BYTE_ORDER");
    }
    static void set(const char* name, const char* value) {
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
};

struct Window : HWND__ {
    Window(int w, int h, std::vector<uint16_t> shown) {
        width = w;
        height = h;
        pixels = std::move(shown);
    }
};

std::unique_ptr<DisplayBackend> open_file(const FbFile& file) {
    std::string error;
    auto backend = make_fbdev_backend(file.path, error);
    EXPECT_NE(backend, nullptr) << error;
    return backend;
}

/* The file's bytes after one present of a w x h window on it. */
std::vector<uint8_t> present_once(const char* geometry, size_t file_bytes, int w, int h,
                                  std::vector<uint16_t> pixels, const char* origin = nullptr,
                                  const char* order = nullptr) {
    FbFile file(file_bytes);
    Settings settings(geometry, origin, order);
    Window window(w, h, std::move(pixels));
    if (auto backend = open_file(file)) backend->present(&window);
    return file.bytes();
}

uint16_t le16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}
uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t{b[at + 3]} << 24;
}

/* 0x8410 is red 16, green 32, blue 16: widened 0x84, 0x82, 0x84. */
const std::vector<uint16_t> kSixPixels = {0xF800, 0x07E0, 0x001F, 0xFFFF, 0x0000, 0x8410};

}  // namespace

/* 3 x 2 windows on 3 x 2 screens whose rows are longer than the pixels; the
 * padding keeps its bytes. */
TEST(FrameBufferFile, PixelsLandInTheirBytesAtEveryDepth) {
    auto b = present_once("3x2x16:10", 20, 3, 2, kSixPixels);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(le16(b, (i / 3) * 10 + (i % 3) * 2), kSixPixels[i]) << i;
    for (size_t pad : {6, 9, 16, 19}) EXPECT_EQ(b[pad], kUntouched) << pad;

    b = present_once("3x2x16:10", 20, 3, 2, kSixPixels, nullptr, "big");
    EXPECT_EQ(le16(b, 0), 0x00F8);  // high byte first
    EXPECT_EQ(le16(b, 10 + 2 * 2), 0x1084);

    b = present_once("3x2x24:13", 26, 3, 2, kSixPixels);
    const uint8_t bgr[2][9] = {{0, 0, 255, 0, 255, 0, 255, 0, 0}, {255, 255, 255, 0, 0, 0, 0x84, 0x82, 0x84}};
    for (int y = 0; y < 2; ++y)
        for (int i = 0; i < 9; ++i) EXPECT_EQ(b[y * 13 + i], bgr[y][i]) << y << "," << i;
    for (size_t pad : {9, 12, 22, 25}) EXPECT_EQ(b[pad], kUntouched) << pad;

    b = present_once("3x2x32:16", 32, 3, 2, kSixPixels);
    const uint32_t xrgb[6] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0, 0x848284};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(le32(b, (i / 3) * 16 + (i % 3) * 4), xrgb[i]) << i;
    for (size_t pad : {12, 15, 28, 31}) EXPECT_EQ(b[pad], kUntouched) << pad;
}

/* A file of two screens holds the virtual height: presents alternate
 * between the hidden second screen and the first, each drawn whole. */
TEST(FrameBufferFile, FramesAlternateBetweenTheTwoScreensOfAPannedFile) {
    FbFile file(2 * 2 * 4);
    Settings settings("2x2x16");
    auto backend = open_file(file);
    Window first(2, 2, {1, 2, 3, 4});
    backend->present(&first);
    auto b = file.bytes();
    for (int i = 0; i < 8; ++i) EXPECT_EQ(b[i], kUntouched) << "the shown screen is left alone";
    for (int i = 0; i < 4; ++i) EXPECT_EQ(le16(b, 8 + 2 * i), i + 1);

    Window second(2, 2, {5, 6, 7, 8});
    backend->present(&second);
    b = file.bytes();
    for (int i = 0; i < 4; ++i) EXPECT_EQ(le16(b, 2 * i), i + 5);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(le16(b, 8 + 2 * i), i + 1);
}

/* On a 4 x 4 screen: a 6 x 2 window is cut at the right and centred
 * vertically; a 2 x 2 window is centred; an origin of -1,3 shows only the
 * window's pixel (1, 0), at the bottom-left corner. Margins are black. */
TEST(FrameBufferFile, WindowsAreCutCentredOrPlacedAtTheOrigin) {
    const auto screen = [](const std::vector<uint8_t>& b) {
        std::vector<uint16_t> shown(16);
        for (int i = 0; i < 16; ++i) shown[i] = le16(b, 2 * i);
        return shown;
    };
    std::vector<uint16_t> wide(12);
    for (int i = 0; i < 12; ++i) wide[i] = static_cast<uint16_t>(10 + i);
    EXPECT_EQ(screen(present_once("4x4x16", 32, 6, 2, wide)),
              (std::vector<uint16_t>{0, 0, 0, 0, 10, 11, 12, 13, 16, 17, 18, 19, 0, 0, 0, 0}));
    EXPECT_EQ(screen(present_once("4x4x16", 32, 2, 2, {1, 2, 3, 4})),
              (std::vector<uint16_t>{0, 0, 0, 0, 0, 1, 2, 0, 0, 3, 4, 0, 0, 0, 0, 0}));
    EXPECT_EQ(screen(present_once("4x4x16", 32, 2, 2, {1, 2, 3, 4}, "-1,3")),
              (std::vector<uint16_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0}));
}

/* A driver's records: the screen shown from (1, 2) of the virtual screen,
 * 32-bit pixels B, G, R in the high bytes and an alpha byte that must read
 * opaque; and 10-bit fields, which repeat the widened byte. */
TEST(FrameBufferRecords, OffsetsAndColourFieldsAreHonoured) {
    fb_var_screeninfo var{};
    fb_fix_screeninfo fix{};
    fix.type = FB_TYPE_PACKED_PIXELS;
    fix.visual = FB_VISUAL_TRUECOLOR;
    var.xres = 2;
    var.yres = 1;
    var.xres_virtual = 4;
    var.yres_virtual = 4;
    var.xoffset = 1;
    var.yoffset = 2;
    var.bits_per_pixel = 32;
    var.blue = {24, 8, 0};
    var.green = {16, 8, 0};
    var.red = {8, 8, 0};
    var.transp = {0, 8, 0};
    fix.line_length = 16;
    fb::ScreenLayout layout;
    std::string error;
    ASSERT_TRUE(fb::describe_screen(var, fix, 64, layout, error)) << error;
    EXPECT_EQ(layout.pages, 1) << "a y offset between pages does not pan";
    std::vector<uint8_t> memory(64, kUntouched);
    const uint16_t row[2] = {0xF800, 0x8410};
    fb::draw_window(layout, memory.data(), 0, row, 2, fb::place_window(2, 1, 2, 1, std::nullopt));
    EXPECT_EQ(le32(memory, 2 * 16 + 4), 0x0000FFFFu);
    EXPECT_EQ(le32(memory, 2 * 16 + 8), 0x848284FFu);
    for (size_t i = 0; i < 64; ++i) {
        const bool drawn = i >= 2 * 16 + 4 && i < 2 * 16 + 12;
        EXPECT_EQ(memory[i], drawn ? memory[i] : kUntouched) << i;
    }

    EXPECT_FALSE(fb::describe_screen(var, fix, 2 * 16 + 11, layout, error));
    EXPECT_NE(error.find("fewer than its screen needs (44)"), std::string::npos) << error;

    fb::PixelFormat deep;
    deep.bytes_per_pixel = 4;
    deep.red = {20, 10};
    deep.green = {10, 10};
    deep.blue = {0, 10};
    uint8_t wide[8];
    fb::convert_row(row, 2, deep, wide);
    const std::vector<uint8_t> w(wide, wide + 8);
    EXPECT_EQ(le32(w, 0), 1023u << 20);
    EXPECT_EQ(le32(w, 4), (0x84u * 257 >> 6) << 20 | (0x82u * 257 >> 6) << 10 | (0x84u * 257 >> 6));
}

/* The vector loops against one pixel at a time through widen565, on a seeded
 * row whose length leaves a tail, in every layout class the loops serve. */
TEST(FrameBufferRecords, RowConversionMatchesThePlainPerPixelOne) {
    std::mt19937 random(15);
    std::vector<uint16_t> row(37);
    for (auto& p : row) p = static_cast<uint16_t>(random());
    fb::PixelFormat formats[4];
    formats[0].bytes_per_pixel = 4;  // B, G, R, A from the low byte
    formats[0].red = {16, 8};
    formats[0].green = {8, 8};
    formats[0].blue = {0, 8};
    formats[0].transp = {24, 8};
    formats[1].bytes_per_pixel = 3;
    formats[1].red = {0, 8};
    formats[1].green = {8, 8};
    formats[1].blue = {16, 8};
    formats[2].red = {10, 5};  // RGB555 stored high byte first
    formats[2].green = {5, 5};
    formats[2].swap_bytes = true;
    formats[3].swap_bytes = true;  // RGB565 stored high byte first
    for (const fb::PixelFormat& f : formats) {
        std::vector<uint8_t> out(row.size() * f.bytes_per_pixel);
        fb::convert_row(row.data(), static_cast<int>(row.size()), f, out.data());
        for (size_t x = 0; x < row.size(); ++x) {
            const kesra::Rgb888 c = kesra::widen565(row[x]);
            const auto field = [](uint32_t v, fb::ChannelField ch) {
                return (v >> (8 - ch.length)) << ch.offset;
            };
            uint32_t v = field(c.r, f.red) | field(c.g, f.green) | field(c.b, f.blue) |
                         (f.transp.length ? 0xFFu << f.transp.offset : 0);
            if (f.swap_bytes) v = (v >> 8 & 0xFF) | (v & 0xFF) << 8;
            for (int k = 0; k < f.bytes_per_pixel; ++k)
                ASSERT_EQ(out[x * f.bytes_per_pixel + k], static_cast<uint8_t>(v >> 8 * k)) << x << "," << k;
        }
    }
}

/* Each setting the back end cannot honour is one line on standard error and
 * the headless back end. */
TEST(FrameBufferFile, BadSettingsFallBackHeadlessWithOneLine) {
    FbFile file(64);
    const std::string setting = "fbdev:" + file.path;
    const struct {
        const char* geometry;
        const char* origin;
        const char* says;
    } cases[] = {
        {"4x4x8", nullptr, "has an unsupported depth of 8 bits per pixel"},
        {"4x4", nullptr, "KESRA_FB_GEOMETRY '4x4' is not WxHxBPP[:LINE_LENGTH]"},
        {"4x2x16:4", nullptr, "line length of 4 bytes, shorter than its rows of 8"},
        {"8x8x16", nullptr, "has 64 bytes of memory, fewer than its screen needs (128)"},
        {"4x4x16", "3;4", "KESRA_FB_ORIGIN '3;4' is not X,Y"},
        {nullptr, nullptr, "is not a frame buffer device"},
    };
    for (const auto& c : cases) {
        Settings settings(c.geometry, c.origin);
        ::testing::internal::CaptureStderr();
        auto backend = make_display_backend(setting);
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_STREQ(backend->name(), "headless") << c.says;
        EXPECT_NE(said.find(c.says), std::string::npos) << said;
        EXPECT_NE(said.find("; using headless\n"), std::string::npos) << said;
        EXPECT_EQ(said.find('\n'), said.size() - 1) << said;
    }
    ::testing::internal::CaptureStderr();
    auto missing = make_display_backend("fbdev:/nonexistent/fb9");
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("/nonexistent/fb9 could not be opened"),
              std::string::npos);
}
