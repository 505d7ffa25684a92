/* test_core.cpp - what every layer shares: the RGB565 <-> 8-bit conversion
 * (over all 65,536 colours, and through the PNG writer), the block clip of
 * the blits, and the scan fill's per-thread edge tables. */
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "core/canvas.h"
#include "core/pixel.h"
#include "draw/polygon.h"
#include "tests/test_helpers.h"
#include "tools/common/png565.h"

namespace {

using kesra::Block;
using kesra::narrow565;
using kesra::Rgb888;
using kesra::widen565;

TEST(Conversion, WideningRepeatsTheTopBitsAndNarrowingUndoesIt) {
    for (uint32_t c = 0; c < 0x10000; ++c) {
        const Rgb888 w = widen565(static_cast<uint16_t>(c));
        const uint32_t r5 = c >> 11, g6 = (c >> 5) & 0x3F, b5 = c & 0x1F;
        ASSERT_EQ(w.r, (r5 << 3) | (r5 >> 2)) << c;
        ASSERT_EQ(w.g, (g6 << 2) | (g6 >> 4)) << c;
        ASSERT_EQ(w.b, (b5 << 3) | (b5 >> 2)) << c;
        ASSERT_EQ(narrow565(w.r, w.g, w.b), c);
    }
    const Rgb888 white = widen565(0xFFFF), grey = widen565(0x8410);
    EXPECT_EQ(white.r + white.g + white.b, 3 * 255);
    EXPECT_EQ(grey.r, 132);  // 10000 -> 10000100
    EXPECT_EQ(grey.g, 130);  // 100000 -> 10000010
    for (uint32_t v = 0; v < 256; ++v) {
        const uint8_t x = static_cast<uint8_t>(v);
        ASSERT_EQ(narrow565(x, 0, 0), (v >> 3) << 11);
        ASSERT_EQ(narrow565(0, x, 0), (v >> 2) << 5);
        ASSERT_EQ(narrow565(0, 0, x), v >> 3);
    }
    EXPECT_EQ(kesra::ColorRefToColor16(0x00FF8040), narrow565(0x40, 0x80, 0xFF));
}

/* The PNG files of the tools, the demo and the screen dumps show every colour
 * as the display conversion does. */
TEST(Conversion, PngFilesHoldTheWidenedColours) {
    std::vector<uint16_t> all(0x10000);
    for (uint32_t c = 0; c < all.size(); ++c) all[c] = static_cast<uint16_t>(c);
    const std::string path = ::testing::TempDir() + "kesra_all_colours.png";
    std::string error;
    ASSERT_TRUE(kesra::devutil::write_png565(path, all.data(), 256, 256, 256, &error)) << error;
    kesra::devutil::RgbaImage back;
    ASSERT_TRUE(kesra::devutil::read_png_rgba(path, back, &error)) << error;
    ASSERT_EQ(back.rgba.size(), all.size() * 4);
    for (uint32_t c = 0; c < all.size(); ++c) {
        const Rgb888 w = widen565(static_cast<uint16_t>(c));
        const uint8_t* p = &back.rgba[c * 4];
        ASSERT_TRUE(p[0] == w.r && p[1] == w.g && p[2] == w.b && p[3] == 255) << c;
    }
}

Block clipped(int64_t dx, int64_t dy, int64_t sx, int64_t sy, int64_t w, int64_t h) {
    Block b{-1, -1, -1, -1, -1, -1};
    EXPECT_TRUE(kesra::clip_block(dx, dy, sx, sy, w, h, 20, 10, 30, 16, &b));
    return b;
}

bool same(const Block& a, const Block& b) {
    return a.dx == b.dx && a.dy == b.dy && a.sx == b.sx && a.sy == b.sy && a.w == b.w && a.h == b.h;
}

/* Source 20 x 10, destination 30 x 16. */
TEST(BlockClip, CornersMoveTogether) {
    EXPECT_TRUE(same(clipped(5, 4, 2, 3, 8, 5), Block{5, 4, 2, 3, 8, 5}));        // inside both
    EXPECT_TRUE(same(clipped(-3, 2, 1, 0, 8, 4), Block{0, 2, 4, 0, 5, 4}));       // off the screen's left
    EXPECT_TRUE(same(clipped(4, 6, -2, -5, 8, 8), Block{6, 11, 0, 0, 6, 3}));     // before the source
    EXPECT_TRUE(same(clipped(25, 14, 15, 2, 9, 9), Block{25, 14, 15, 2, 5, 2}));  // right and bottom
    EXPECT_TRUE(same(clipped(0, 0, 0, 0, int64_t{1} << 40, int64_t{1} << 40), Block{0, 0, 0, 0, 20, 10}));
    Block b{};
    EXPECT_FALSE(kesra::clip_block(30, 0, 0, 0, 5, 5, 20, 10, 30, 16, &b));  // past the screen
    EXPECT_FALSE(kesra::clip_block(0, 0, 0, -5, 5, 5, 20, 10, 30, 16, &b));  // ends before the source
    EXPECT_FALSE(kesra::clip_block(0, 0, 0, 0, 0, 5, 20, 10, 30, 16, &b));   // empty
}

/* A star of many points, filled by several threads at once on canvases of
 * their own, gives each the pixels of the same fill on one thread. */
TEST(ScanFill, ThreadsFillAtTheSameTime) {
    constexpr int kW = 160, kH = 120, kPoints = 1500;
    std::vector<POINT> star(kPoints);
    for (int i = 0; i < kPoints; ++i) {
        const double a = 6.283185307179586 * i / kPoints, r = i % 2 ? 55 : 20 + i % 37;
        star[i] = {static_cast<LONG>(80 + r * std::cos(a)), static_cast<LONG>(60 + r * std::sin(a))};
    }
    const auto fill = [&](std::vector<uint16_t>& px, uint16_t color) {
        const kesra::Canvas c{reinterpret_cast<uint8_t*>(px.data()), 2 * kW, kW, kH};
        kesra::scan_fill(c, star.data(), kPoints, color);
    };
    std::vector<uint16_t> expected(kW * kH, 0);
    fill(expected, 0x07E0);

    std::vector<std::vector<uint16_t>> results(4);
    std::vector<std::thread> threads;
    for (auto& r : results)
        threads.emplace_back([&fill, &r] {
            for (int round = 0; round < 30; ++round) {
                r.assign(kW * kH, 0);
                fill(r, 0x07E0);
            }
        });
    for (std::thread& t : threads) t.join();
    for (const auto& r : results) EXPECT_EQ(r, expected);
}

}  // namespace
