/* test_bitmap.cpp - the bitmap loaders with the image pool and its table of
 * temporary bitmaps, and the blits: Draw, TransBlt, StretchBlt, BitBackBuffer
 * and the alpha blend, checked against hand-worked pixels and against a plain
 * per-pixel reference over seeded random bitmaps and windows. */
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>

#include "bitmap/blit.h"
#include "bitmap/image_pool.h"
#include "bitmap/run_length.h"
#include "kesra.h"
#include "ql.h"
#include "tests/test_bitmap_helpers.h"
#include "tests/test_helpers.h"
#include "tools/common/png565.h"

using namespace kesra;
using namespace kesra::test;

namespace {

constexpr int W = 120, H = 90;

struct OpenPack {
    explicit OpenPack(const std::vector<PackImage>& images, const std::string& name = "bitmap_pack.bin") {
        path = scratch_dir() + "/" + name;
        write_bytes(path, make_pack(images));
        EXPECT_EQ(CCEBitmap::OpenResource(wide(path).c_str()), 1);
    }
    ~OpenPack() { CCEBitmap::CloseResource(); }
    std::string path;
};

/* A coded block of n bytes covering the image with one colour. */
std::vector<uint8_t> coded_block_of(size_t bytes, uint16_t color) {
    std::vector<uint8_t> out;
    while (out.size() + 4 <= bytes) {
        const auto pair = pixel_pairs({{color, 1}});
        out.insert(out.end(), pair.begin(), pair.end());
    }
    return out;
}

}  // namespace

/* ---- Temporary bitmaps and the image pool ---- */

TEST(TempBitmaps, ASecondLoadIsFoundAndTheFiftyFirstLeavesOneRecord) {
    pool::clear_table();
    std::vector<PackImage> images;
    for (uint16_t i = 0; i < 51; ++i) images.push_back({1, 1, le16_bytes({i}), {}});
    OpenPack pack(images);
    CCEBitmap a, b;
    ASSERT_EQ(a.LoadBitmapTemp(300u), 1);
    ASSERT_EQ(b.LoadBitmapTemp(300u), 1);
    EXPECT_EQ(a.GetImageData(), b.GetImageData());
    EXPECT_EQ(pool::count(), 1);
    EXPECT_EQ(a.m_nID, 300);  // a read from the pack records the ID, a hit does not
    EXPECT_EQ(b.m_nID, 0);
    EXPECT_EQ(CCEBitmap::GetLastTempBitmapID(), 300);
    for (unsigned i = 1; i < 50; ++i) ASSERT_EQ(b.LoadBitmapTemp(300 + i), 1);
    EXPECT_EQ(pool::count(), 50);
    ASSERT_EQ(b.LoadBitmapTemp(350u), 1);
    EXPECT_EQ(pool::count(), 1);
    EXPECT_EQ(pool::record(0).id, 350);
    EXPECT_EQ(pixels_of(b), (std::vector<uint16_t>{50}));
}

TEST(TempBitmaps, PlanesFollowEachOtherAtFourByteBoundaries) {
    pool::clear_table();
    OpenPack pack({{3, 1, le16_bytes({1, 2, 3}), {31, 0, 16}}, {1, 1, le16_bytes({9}), {}}});
    CCEBitmap a, b;
    ASSERT_EQ(a.LoadBitmapTemp(300u), 1);
    ASSERT_EQ(b.LoadBitmapTemp(301u), 1);
    EXPECT_EQ(a.GetImageData(), pool::base());
    EXPECT_EQ(a.GetAlphaData(), pool::base() + 8);   // 6 pixel bytes, rounded up
    EXPECT_EQ(b.GetImageData(), pool::base() + 12);  // behind the 3 alpha bytes, rounded up
    EXPECT_EQ(a.GetAlphaData()[2], 16);
}

TEST(TempBitmaps, OneThatDoesNotFitBehindRestartsThePool) {
    pool::clear_table();
    OpenPack pack(
        {{10, 10, coded_block_of(600000, 0x1234), {}}, {10, 10, coded_block_of(500000, 0x4321), {}}});
    CCEBitmap a, b;
    ASSERT_EQ(a.LoadBitmapTemp(300u), 1);
    ASSERT_EQ(b.LoadBitmapTemp(301u), 1);
    EXPECT_EQ(b.GetImageData(), pool::base());
    EXPECT_EQ(pool::count(), 1);
    EXPECT_EQ(pool::find(300), nullptr);  // the earlier temporary bitmap is gone
}

TEST(TempBitmaps, AMillionBytesIsTooLarge) {
    pool::clear_table();
    clear_log();
    std::vector<uint8_t> alpha(400000, 31);
    std::vector<uint8_t> odd_pixels = coded_block_of(600000, 1);
    odd_pixels.resize(600002);  // 2 trailing bytes: the alpha plane then starts at 600004
    OpenPack pack({{10, 10, coded_block_of(600000, 1), alpha},
                   {10, 10, odd_pixels, std::vector<uint8_t>(399997, 31)},
                   {10, 10, odd_pixels, std::vector<uint8_t>(399996, 31)}});
    CCEBitmap b;
    EXPECT_EQ(b.LoadBitmapTemp(300u), 0);
    EXPECT_EQ(b.GetImageData(), nullptr);
    EXPECT_EQ(log_text(),
              std::string(GBK_ERROR) +
                  "\xCD\xBC\xC6\xAC\xB4\xF3\xD0\xA1\xB4\xED\xCE\xF3size = 600000, ID = 0, w = 10, h = 10\n");
    EXPECT_EQ(b.LoadBitmapTemp(301u), 0);  // 999,999 bytes, but the alignment would pass the pool's end
    ASSERT_EQ(b.LoadBitmapTemp(302u), 1);
    EXPECT_EQ(b.GetAlphaData() + b.GetAlphaSize(), pool::base() + pool::kPoolBytes);
}

/* Behind the last record the sizes must leave a byte of the pool; the
 * padding before the alpha plane may then fill it to the end. */
TEST(TempBitmaps, PaddingMayFillThePoolBehindTheLastRecord) {
    pool::clear_table();
    std::vector<uint8_t> odd_pixels = coded_block_of(600000, 1);
    odd_pixels.resize(600002);
    OpenPack pack({{1, 1, le16_bytes({5}), {}},
                   {10, 10, odd_pixels, std::vector<uint8_t>(399992, 31)},
                   {10, 10, odd_pixels, std::vector<uint8_t>(399993, 31)}});
    CCEBitmap a, b, c;
    ASSERT_EQ(a.LoadBitmapTemp(300u), 1);
    ASSERT_EQ(b.LoadBitmapTemp(301u), 1);  // 4 + 600002 + 399992 < 1,000,000
    EXPECT_EQ(b.GetImageData(), pool::base() + 4);
    EXPECT_EQ(b.GetAlphaData() + b.GetAlphaSize(), pool::base() + pool::kPoolBytes);
    pool::clear_table();
    ASSERT_EQ(a.LoadBitmapTemp(300u), 1);
    ASSERT_EQ(c.LoadBitmapTemp(302u), 1);  // one alpha byte more: back to the start
    EXPECT_EQ(c.GetImageData(), pool::base());
    EXPECT_EQ(pool::count(), 1);
}

/* ---- Loaders ---- */

TEST(Loaders, TheSameIdIsNotReadTwice) {
    CCEBitmap b;
    {
        OpenPack first({{1, 1, le16_bytes({0x1111}), {}}}, "first.bin");
        ASSERT_EQ(b.LoadBitmapW(300u), 1);
    }
    OpenPack second({{1, 1, le16_bytes({0x2222}), {}}}, "second.bin");
    ASSERT_EQ(b.LoadBitmapW(300u), 1);
    EXPECT_EQ(pixels_of(b), (std::vector<uint16_t>{0x1111}));
    b.UnloadBitmap();
    ASSERT_EQ(b.LoadBitmapW(300u), 1);
    EXPECT_EQ(pixels_of(b), (std::vector<uint16_t>{0x2222}));
}

TEST(Loaders, BlocksStayAsStoredOrAreExpanded) {
    OpenPack pack({{4, 2, pixel_pairs({{5, 3}, {6, 5}}), alpha_pairs({{31, 4}, {10, 4}})}});
    CCEBitmap stored, expanded;
    ASSERT_EQ(stored.LoadBitmapW(300u), 1);
    EXPECT_EQ(stored.GetPixelSize(), 8);
    EXPECT_EQ(stored.GetAlphaSize(), 4);
    ASSERT_EQ(expanded.LoadBitmapW(300u, 0, 0), 1);
    EXPECT_EQ(expanded.GetPixelSize(), 16);
    EXPECT_EQ(expanded.GetAlphaSize(), 8);
    EXPECT_EQ(pixels_of(expanded), (std::vector<uint16_t>{5, 5, 5, 6, 6, 6, 6, 6}));
    CCEBitmap scaled;
    ASSERT_EQ(scaled.LoadBitmapW(300u, 2, 1), 1);
    EXPECT_EQ(pixels_of(scaled), (std::vector<uint16_t>{5, 5}));  // columns 0 and 2 of row 0
    EXPECT_EQ(scaled.GetAlphaData()[1], 31);
    EXPECT_EQ(scaled.GetPixelSize(), 4);
}

TEST(Loaders, WrappedPlanesReturnZeroAndDrawAsRaw) {
    Screen screen(W, H);
    screen.fill(0);
    uint16_t pixels[4] = {0x0001, 0x0002, 0x0003, 0x0004};
    CCEBitmap b;
    EXPECT_EQ(b.LoadBitmapTemp(reinterpret_cast<unsigned char*>(pixels), nullptr, 2, 2), 0);
    EXPECT_EQ(b.GetImageData(), reinterpret_cast<unsigned char*>(pixels));
    screen.dc->DrawBitmap(&b, 5, 5, 0, 0, 0, 0);
    EXPECT_EQ(screen.at(5, 5), 1);
    EXPECT_EQ(screen.at(6, 6), 4);
    b.UnloadBitmap();  // the caller's planes are not freed
    EXPECT_EQ(pixels[3], 4);
    EXPECT_EQ(b.LoadBitmapTemp(nullptr, nullptr, 2, 2), 0);
}

TEST(Loaders, PaletteEntriesBecomeColor16) {
    std::vector<uint8_t> data(256 * 4 + 2, 0);
    data[4 * 1 + 0] = 0xFF;  // entry 1: blue
    data[4 * 2 + 2] = 0xFF;  // entry 2: red
    data[1024] = 1;
    data[1025] = 2;
    CCEBitmap b;
    ASSERT_EQ(b.LoadGif(data.data(), 2, 1), 1);
    EXPECT_EQ(pixels_of(b), (std::vector<uint16_t>{0x001F, 0xF800}));
    EXPECT_EQ(b.GetAlphaData(), nullptr);
}

namespace {

/* A 24-bit BMP, rows stored bottom-up and padded to 4 bytes. */
std::vector<uint8_t> bmp24(int w, int h, const std::vector<std::array<uint8_t, 3>>& rgb_top_down) {
    const int stride = (w * 3 + 3) / 4 * 4;
    std::vector<uint8_t> d(54 + static_cast<size_t>(stride) * h, 0);
    d[0] = 'B', d[1] = 'M', d[26] = 1, d[28] = 24;
    pack::write_le32(&d[10], 54);
    pack::write_le32(&d[14], 40);
    pack::write_le32(&d[18], static_cast<uint32_t>(w));
    pack::write_le32(&d[22], static_cast<uint32_t>(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const auto& c = rgb_top_down[static_cast<size_t>(y) * w + x];
            uint8_t* p = &d[54 + static_cast<size_t>(h - 1 - y) * stride + x * 3];
            p[0] = c[2], p[1] = c[1], p[2] = c[0];
        }
    return d;
}

}  // namespace

TEST(Loaders, BmpKeyFromTheTopLeftPixel) {
    const std::array<uint8_t, 3> white{255, 255, 255}, red{255, 0, 0};
    auto data = bmp24(3, 2, {white, red, white, red, white, red});
    CCEBitmap b;
    ASSERT_EQ(b.LoadBitmapW(data.data(), static_cast<int>(data.size()), 0xFFFE, 0, 0), 1);
    EXPECT_EQ(pixels_of(b), (std::vector<uint16_t>{0xFFFF, 0xF800, 0xFFFF, 0xF800, 0xFFFF, 0xF800}));
    EXPECT_EQ(alpha_of(b), (std::vector<uint8_t>{0, 31, 0, 31, 0, 31}));
    CCEBitmap keyed;
    ASSERT_EQ(keyed.LoadBitmapW(data.data(), static_cast<int>(data.size()), 0xF800, 0, 0), 1);
    EXPECT_EQ(alpha_of(keyed), (std::vector<uint8_t>{31, 0, 31, 0, 31, 0}));
    CCEBitmap unsized;  // the size may be left out: the headers are trusted then
    ASSERT_EQ(unsized.LoadBitmapW(data.data(), 0, 0xFFFF, 0, 0), 1);
    EXPECT_EQ(pixels_of(unsized), pixels_of(b));
    clear_log();
    EXPECT_EQ(b.LoadBitmapW(nullptr, 0, 0xFFFF, 0, 0), 0);
    EXPECT_EQ(log_text(), std::string(GBK_ERROR) + "pData = 0\n");
    EXPECT_EQ(b.LoadBitmapW(data.data(), static_cast<int>(data.size()) - 1, 0xFFFF, 0, 0),
              0);  // rows cut short
}

TEST(Loaders, BmpInMemoryRefusesShortDataAndImagesWithoutPixels) {
    const std::array<uint8_t, 3> grey{128, 128, 128};
    const auto good = bmp24(1, 1, {grey});
    // 53 bytes on the heap: neither the header nor the row may be read.
    std::vector<uint8_t> short_data(good.begin(), good.begin() + 53);
    CCEBitmap b;
    clear_log();
    EXPECT_EQ(b.LoadBitmapW(short_data.data(), 53, 0xFFFF, 0, 0), 0);
    EXPECT_EQ(b.GetImageData(), nullptr);
    EXPECT_EQ(log_text().rfind(GBK_ERROR, 0), 0u);
    for (int32_t width : {0, -1, INT32_MIN}) {
        auto data = good;
        pack::write_le32(&data[18], static_cast<uint32_t>(width));
        for (int size : {static_cast<int>(data.size()), 0}) {
            CCEBitmap empty;
            EXPECT_EQ(empty.LoadBitmapW(data.data(), size, 0xFFFF, 0, 0), 0) << width << ", size " << size;
            EXPECT_EQ(empty.GetImageData(), nullptr);
        }
    }
    auto no_rows = good;
    pack::write_le32(&no_rows[22], 0);
    EXPECT_EQ(b.LoadBitmapW(no_rows.data(), static_cast<int>(no_rows.size()), 0xFFFF, 0, 0), 0);
    // A header claiming 4096 x 4096 in 57 bytes is refused before the planes exist.
    auto claims = good;
    pack::write_le32(&claims[18], 4096);
    pack::write_le32(&claims[22], 4096);
    EXPECT_EQ(b.LoadBitmapW(claims.data(), static_cast<int>(claims.size()), 0xFFFF, 0, 0), 0);
    // Sound data keeps loading, sized or not.
    ASSERT_EQ(b.LoadBitmapW(const_cast<uint8_t*>(good.data()), static_cast<int>(good.size()), 0xFFFF, 0, 0),
              1);
    EXPECT_EQ(pixels_of(b), (std::vector<uint16_t>{0x8410}));
}

TEST(Loaders, PngFilesByExtension) {
    const devutil::RgbaImage image{2, 1, {255, 0, 0, 255, 0, 255, 0, 130}};
    const std::string png = scratch_dir() + "/icon.PnG";
    ASSERT_TRUE(devutil::write_png_rgba(png, image));
    CCEBitmap b;
    ASSERT_EQ(b.LoadBitmapW(wide(png).c_str()), 1);
    EXPECT_EQ(pixels_of(b), (std::vector<uint16_t>{0xF800, 0x07E0}));
    EXPECT_EQ(alpha_of(b), (std::vector<uint8_t>{31, 130 / 8}));
    const std::string bmp = scratch_dir() + "/icon.bmp";
    write_bytes(bmp, {1, 2, 3});
    EXPECT_EQ(b.LoadBitmapW(wide(bmp).c_str()), 0);
    /* A path of 4 characters skips the extension test; one of 5 does not. */
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(scratch_dir().c_str()), 0);
    ASSERT_TRUE(devutil::write_png_rgba("p.xx", image));
    ASSERT_TRUE(devutil::write_png_rgba("pp.xx", image));
    CCEBitmap short_path, long_path;
    EXPECT_EQ(short_path.LoadBitmapW(u"p.xx"), 1);
    EXPECT_EQ(long_path.LoadBitmapW(u"pp.xx"), 0);
    ASSERT_EQ(chdir(cwd), 0);
}

namespace {
std::u16string g_message;
void keep_message(const WCHAR* text) { g_message = text; }
}  // namespace

TEST(Loaders, ResampledFilesAndUnknownTypes) {
    HostSetMessageHandler(keep_message);
    const std::string gif = scratch_dir() + "/picture.gif";
    write_bytes(gif, {'G', 'I', 'F'});
    CCEBitmap b;
    EXPECT_EQ(b.LoadBitmapW(wide(gif).c_str(), 4, 4), 0);
    EXPECT_EQ(g_message, u"不支持该图片格式！");
    const devutil::RgbaImage image{4, 1, {255, 0, 0, 255, 1, 1, 1, 255, 0, 0, 255, 0, 9, 9, 9, 255}};
    const std::string png = scratch_dir() + "/strip.png";
    ASSERT_TRUE(devutil::write_png_rgba(png, image));
    ASSERT_EQ(b.LoadBitmapW(wide(png).c_str(), 2, 1), 1);
    EXPECT_EQ(pixels_of(b), (std::vector<uint16_t>{0xF800, 0x0000}));  // columns 0 and 2; A 0 gives black
    EXPECT_EQ(b.GetAlphaData(), nullptr);
    /* ".jpeg" is read as JPEG: a JPEG file loads, a PNG under that name does not. */
    const std::string jpeg = scratch_dir() + "/photo.jpeg", png_named_jpeg = scratch_dir() + "/strip.JPEG";
    ASSERT_NE(QLLoad(wide(png).c_str(), QL_TYPE_PNG), 0);
    ASSERT_NE(QLSave(wide(jpeg).c_str(), QL_TYPE_JPEG), 0);
    QLReleaseLastImage();
    write_bytes(png_named_jpeg, [&] {
        const std::string t = read_text(png);
        return std::vector<uint8_t>(t.begin(), t.end());
    }());
    EXPECT_EQ(b.LoadBitmapW(wide(jpeg).c_str(), 4, 1), 1);
    g_message.clear();
    EXPECT_EQ(b.LoadBitmapW(wide(png_named_jpeg).c_str(), 4, 1), 0);
    EXPECT_EQ(g_message, wide(png_named_jpeg) + u"文件解压失败");
    HostSetMessageHandler(nullptr);
}

/* ---- Blits ---- */

namespace {

/* The bitmap alpha blend written out step by step. */
uint16_t reference_blend(uint16_t d, uint16_t s, unsigned a) {
    if (a >= 31) return s;
    const int32_t S = static_cast<int32_t>((s | static_cast<uint32_t>(s) << 16) & 0x07E0F81F);
    const int32_t D = static_cast<int32_t>((d | static_cast<uint32_t>(d) << 16) & 0x07E0F81F);
    const int32_t product = static_cast<int32_t>(static_cast<uint32_t>(S - D) * a);  // wraps in 32 bits
    const uint32_t r = static_cast<uint32_t>(D + (product >> 5)) & 0x07E0F81F;
    return static_cast<uint16_t>((r & 0xF81F) | (r >> 16));
}

struct Planes {
    int w, h;
    std::vector<uint16_t> pixels;
    std::vector<uint8_t> alpha;  // empty: none
};

/* Every pixel of the window that lies in the bitmap goes to
 * (x + c - sx, y + r - sy) when that is on the screen. */
void reference_draw(std::vector<uint16_t>& screen, const Planes& p, int x, int y, int w, int h, int sx,
                    int sy) {
    for (int r = sy; r < sy + h; ++r)
        for (int c = sx; c < sx + w; ++c) {
            if (r < 0 || c < 0 || r >= p.h || c >= p.w) continue;
            const int dx = x + c - sx, dy = y + r - sy;
            if (dx < 0 || dy < 0 || dx >= W || dy >= H) continue;
            uint16_t& d = screen[static_cast<size_t>(dy) * W + dx];
            const size_t i = static_cast<size_t>(r) * p.w + c;
            if (p.alpha.empty())
                d = p.pixels[i];
            else if (p.alpha[i] != 0)
                d = reference_blend(d, p.pixels[i], p.alpha[i]);
        }
}

/* A pack image of the planes, each plane raw or coded as asked. */
PackImage pack_image(const Planes& p, bool code_pixels, bool code_alpha) {
    PackImage im{p.w, p.h, le16_bytes(p.pixels), p.alpha};
    if (code_pixels) {
        im.pixels = encode_pixel_runs(p.pixels.data(), p.pixels.size());
        if (im.pixels.size() == static_cast<size_t>(p.w) * p.h * 2) im.pixels.insert(im.pixels.end(), 4, 0);
    }
    if (code_alpha && !p.alpha.empty()) {
        im.alpha = encode_alpha_runs(p.alpha.data(), p.alpha.size());
        if (im.alpha.size() == static_cast<size_t>(p.w) * p.h) im.alpha.insert(im.alpha.end(), 2, 0);
    }
    return im;
}

Planes random_planes(std::mt19937& rng, bool with_alpha) {
    Planes p;
    p.w = std::uniform_int_distribution<int>(1, 40)(rng);
    p.h = std::uniform_int_distribution<int>(1, 40)(rng);
    const uint8_t levels[] = {0, 0, 1, 8, 16, 30, 31, 31, 200, 255};
    uint16_t color = 0;
    uint8_t level = 31;
    for (int i = 0; i < p.w * p.h; ++i) {
        if (rng() % 4 == 0) color = static_cast<uint16_t>(rng());
        if (rng() % 3 == 0) level = levels[rng() % 10];
        p.pixels.push_back(color);
        if (with_alpha) p.alpha.push_back(level);
    }
    return p;
}

void fill_pattern(Screen& s) {
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) s.at(x, y) = static_cast<uint16_t>(x * 977 + y * 131);
}

}  // namespace

TEST(Draw, MatchesThePlainReferenceOnRandomBitmapsAndWindows) {
    Screen screen(W, H);
    std::mt19937 rng(20240611);
    for (int round = 0; round < 300; ++round) {
        const bool with_alpha = rng() % 3 != 0, code_pixels = rng() % 2, code_alpha = rng() % 2;
        const Planes p = random_planes(rng, with_alpha);
        OpenPack pack({pack_image(p, code_pixels, code_alpha)});
        CCEBitmap b;
        ASSERT_EQ(b.LoadBitmapW(300u), 1);
        const int x = std::uniform_int_distribution<int>(-50, W + 10)(rng);
        const int y = std::uniform_int_distribution<int>(-50, H + 10)(rng);
        const int w = std::uniform_int_distribution<int>(0, 60)(rng);
        const int h = std::uniform_int_distribution<int>(0, 60)(rng);
        const int sx = std::uniform_int_distribution<int>(0, p.w)(rng);
        const int sy = std::uniform_int_distribution<int>(0, p.h)(rng);
        SCOPED_TRACE(::testing::Message()
                     << "round " << round << ": " << p.w << "x" << p.h << " at " << x << "," << y
                     << " window " << w << "x" << h << " from " << sx << "," << sy
                     << (code_pixels ? " coded" : " raw") << (code_alpha ? " coded alpha" : ""));
        fill_pattern(screen);
        std::vector<uint16_t> expected = screen.pixels();
        reference_draw(expected, p, x, y, w ? w : p.w, h ? h : p.h, sx, sy);
        screen.dc->DrawBitmap(&b, x, y, w, h, sx, sy);
        ASSERT_EQ(screen.pixels(), expected);

        /* The same window into the back buffer (no 0 defaults there). */
        std::memcpy(CCEGraphics::m_pBackBuffer, screen.dc->GetBuffer(), W * H * 2);
        fill_pattern(screen);
        std::vector<uint16_t> back_expected = screen.pixels();
        std::memcpy(CCEGraphics::m_pBackBuffer, back_expected.data(), W * H * 2);
        reference_draw(back_expected, p, x, y, w, h, sx, sy);
        screen.dc->BitBackBuffer(x, y, w, h, &b, sx, sy);
        ASSERT_EQ(std::memcmp(CCEGraphics::m_pBackBuffer, back_expected.data(), W * H * 2), 0);
    }
}

TEST(Draw, CodedPlanesAreCopiedRawWhenNotDecoded) {
    Screen screen(W, H);
    screen.fill(0);
    OpenPack pack({{4, 1, pixel_pairs({{0x0A0A, 2}, {0x0B0B, 1}, {0x0C0C, 1}}), {}}});
    CCEBitmap b;
    ASSERT_EQ(b.LoadBitmapW(300u), 1);
    b.Draw(screen.dc.get(), 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(screen.at(0, 0), 0x0A0A);
    EXPECT_EQ(screen.at(1, 0), 2);  // the count, read as a pixel
    EXPECT_EQ(screen.at(3, 0), 1);
    b.Draw(screen.dc.get(), 0, 1, 0, 0, 0, 0, 1);
    EXPECT_EQ(screen.at(1, 1), 0x0A0A);
    EXPECT_EQ(screen.at(2, 1), 0x0B0B);
}

TEST(Draw, CodedPlanesFromARowBelowTheTop) {
    Screen screen(W, H);
    screen.fill(0);
    Planes p{3, 8, {}, {}};
    for (uint16_t r = 0; r < 8; ++r)
        for (int c = 0; c < 3; ++c) p.pixels.push_back(static_cast<uint16_t>(r * 16 + (c == 2)));
    OpenPack pack({pack_image(p, true, false)});
    CCEBitmap b;
    ASSERT_EQ(b.LoadBitmapW(300u), 1);
    ASSERT_NE(b.GetPixelSize(), 3 * 8 * 2);
    b.Draw(screen.dc.get(), 10, 10, 2, 2, 1, 5, 1);
    EXPECT_EQ(screen.at(10, 10), 5 * 16);
    EXPECT_EQ(screen.at(11, 10), 5 * 16 + 1);
    EXPECT_EQ(screen.at(11, 11), 6 * 16 + 1);
    EXPECT_EQ(screen.at(12, 10), 0);
    EXPECT_EQ(screen.at(10, 12), 0);
}

/* A negative sx: planes read raw draw nothing; a coded pixel plane without
 * alpha is walked from its first column, which lands at x; with an alpha
 * plane every pixel keeps its place, column c at x + c - sx. */
TEST(Draw, NegativeSourceCornerByPlaneKind) {
    Screen screen(W, H);
    Planes p{4, 2, {1, 2, 3, 4, 5, 6, 7, 8}, {}};
    Planes with_alpha = p;
    with_alpha.alpha.assign(8, 31);
    OpenPack pack(
        {pack_image(p, true, false), pack_image(with_alpha, false, true), pack_image(p, false, false)});
    CCEBitmap coded, alpha, raw;
    ASSERT_EQ(coded.LoadBitmapW(300u), 1);
    ASSERT_EQ(alpha.LoadBitmapW(301u), 1);
    ASSERT_EQ(raw.LoadBitmapW(302u), 1);
    screen.fill(0);
    coded.Draw(screen.dc.get(), 10, 10, 4, 2, -2, -1, 1);
    EXPECT_EQ(screen.at(10, 10), 1);
    EXPECT_EQ(screen.at(11, 10), 2);
    EXPECT_EQ(screen.at(12, 10), 0);
    EXPECT_EQ(screen.at(10, 11), 0);
    screen.fill(0);
    alpha.Draw(screen.dc.get(), 10, 10, 4, 2, -2, -1, 1);
    EXPECT_EQ(screen.at(11, 10), 0);
    EXPECT_EQ(screen.at(12, 11), 1);
    EXPECT_EQ(screen.at(13, 11), 2);
    EXPECT_EQ(screen.at(14, 11), 0);
    screen.fill(0);
    raw.Draw(screen.dc.get(), 10, 10, 4, 2, -2, -1, 1);
    alpha.Draw(screen.dc.get(), 10, 10, 4, 2, -2, -1, 0);
    EXPECT_EQ(screen.pixels(), std::vector<uint16_t>(W * H, 0));
}

TEST(AlphaBlend, LevelsZeroHalfFullAndBeyond) {
    Screen screen(W, H);
    screen.fill(0x0000);
    uint16_t pixels[4] = {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
    uint8_t alpha[4] = {0, 16, 31, 255};
    CCEBitmap b;
    b.LoadBitmapTemp(reinterpret_cast<unsigned char*>(pixels), alpha, 4, 1);
    screen.dc->DrawBitmap(&b, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(screen.at(0, 0), 0x0000);
    EXPECT_EQ(screen.at(1, 0), 0x7BEF);  // each channel halfway, rounded down
    EXPECT_EQ(screen.at(2, 0), 0xFFFF);
    EXPECT_EQ(screen.at(3, 0), 0xFFFF);
    for (unsigned a = 0; a < 40; ++a)
        for (uint32_t s : {0x0000u, 0xFFFFu, 0xF800u, 0x07E0u, 0x1234u})
            for (uint32_t d : {0x0000u, 0xFFFFu, 0x001Fu, 0xABCDu}) {
                uint16_t p = static_cast<uint16_t>(d);
                blend_bitmap_pixel(&p, static_cast<uint16_t>(s), a);
                ASSERT_EQ(p, reference_blend(static_cast<uint16_t>(d), static_cast<uint16_t>(s), a));
            }
}

TEST(TransBlt, TheKeyLeavesTheDestination) {
    Screen screen(W, H);
    screen.fill(0x0101);
    uint16_t pixels[6] = {0xF81F, 0x1234, 0xF81F, 0x5678, 0xF81F, 0x9ABC};
    CCEBitmap b;
    b.LoadBitmapTemp(reinterpret_cast<unsigned char*>(pixels), nullptr, 3, 2);
    b.TransBlt(screen.dc.get(), 4, 4, 3, 2, 0, 0, 0xF81F);
    EXPECT_EQ(screen.at(4, 4), 0x0101);
    EXPECT_EQ(screen.at(5, 4), 0x1234);
    EXPECT_EQ(screen.at(4, 5), 0x5678);
    EXPECT_EQ(screen.at(5, 5), 0x0101);
    b.TransBlt(screen.dc.get(), -1, -1, 3, 2, 0, 0, 0xF81F);  // cut at the left and top, not wrapped
    EXPECT_EQ(screen.at(0, 0), 0x0101);                       // source (1, 1) is the key
    EXPECT_EQ(screen.at(1, 0), 0x9ABC);
    b.TransBlt(screen.dc.get(), W - 1, H - 1, 3, 2, 0, 0, 0);
    EXPECT_EQ(screen.at(W - 1, H - 1), 0xF81F);
}

TEST(StretchBlt, NearestNeighbourAndTheIdentity) {
    Screen screen(W, H);
    screen.fill(0);
    uint16_t pixels[2] = {0x00AA, 0x00BB};
    CCEBitmap b;
    b.LoadBitmapTemp(reinterpret_cast<unsigned char*>(pixels), nullptr, 2, 1);
    b.StretchBlt(screen.dc.get(), 0, 0, 4, 2, 0, 0);
    EXPECT_EQ(screen.at(0, 0), 0x00AA);
    EXPECT_EQ(screen.at(1, 0), 0x00AA);
    EXPECT_EQ(screen.at(2, 1), 0x00BB);
    EXPECT_EQ(screen.at(3, 1), 0x00BB);
    EXPECT_EQ(screen.at(4, 0), 0);
    b.StretchBlt(screen.dc.get(), 10, 10, 8, 1, 1, 0);  // sx = 1 scales past the bitmap: only inside drawn
    EXPECT_EQ(screen.at(12, 10), 0x00AA);               // (1 + 2) * 0.25 = 0.75
    EXPECT_EQ(screen.at(13, 10), 0x00BB);
    EXPECT_EQ(screen.at(17, 10), 0);

    std::mt19937 rng(7);
    const Planes p = random_planes(rng, true);
    OpenPack pack({pack_image(p, true, true)});
    CCEBitmap coded;
    ASSERT_EQ(coded.LoadBitmapW(300u), 1);
    fill_pattern(screen);
    coded.Draw(screen.dc.get(), 3, 4, 0, 0, 0, 0, 1);
    const auto drawn = screen.pixels();
    fill_pattern(screen);
    coded.StretchBlt(screen.dc.get(), 3, 4, 0, 0, 0, 0);
    EXPECT_EQ(screen.pixels(), drawn);
    fill_pattern(screen);
    std::vector<uint16_t> expected = screen.pixels();
    for (int j = 0; j < p.h * 2 && 4 + j < H; ++j)
        for (int i = 0; i < p.w * 2 && 3 + i < W; ++i) {
            const size_t s = static_cast<size_t>(j / 2) * p.w + i / 2;
            uint16_t& d = expected[static_cast<size_t>(4 + j) * W + 3 + i];
            if (p.alpha[s]) d = reference_blend(d, p.pixels[s], p.alpha[s]);
        }
    coded.StretchBlt(screen.dc.get(), 3, 4, p.w * 2, p.h * 2, 0, 0);
    EXPECT_EQ(screen.pixels(), expected);
}
