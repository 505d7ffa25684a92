// Loose-image transforms: capture, alpha, scaling, the warp and the line walker.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "effects/transforms.h"
#include "tests/test_helpers.h"

namespace kesra {
namespace {

/* An image whose pixel (x, y) is 100 * y + x, optionally with an alpha plane. */
struct TestImage {
    tagEFFECTIMAGE image{};
    TestImage(LONG w, LONG h, bool with_alpha = false) {
        image.nWidth = w;
        image.nHeight = h;
        image.pPixels = static_cast<uint16_t*>(std::malloc(sizeof(uint16_t) * w * h));
        for (LONG y = 0; y < h; ++y)
            for (LONG x = 0; x < w; ++x) image.pPixels[y * w + x] = static_cast<uint16_t>(100 * y + x);
        if (with_alpha) {
            image.pAlpha = static_cast<uint8_t*>(std::malloc(w * h));
            for (LONG i = 0; i < w * h; ++i) image.pAlpha[i] = static_cast<uint8_t>(i % 33);
        }
    }
    ~TestImage() { effect_free(&image); }
};

struct Target {
    tagEFFECTIMAGE image{};
    Target(LONG w, LONG h) {
        image.nWidth = w;
        image.nHeight = h;
    }
    ~Target() { effect_free(&image); }
    uint16_t pixel(LONG x, LONG y) const { return image.pPixels[y * image.nWidth + x]; }
    uint8_t alpha(LONG x, LONG y) const { return image.pAlpha[y * image.nWidth + x]; }
};

TEST(Scale, HalfRoundsUpAndIsHeldAtTheLastColumn) {
    TestImage source(2, 1);
    Target target(4, 1);
    ASSERT_EQ(effect_scale(&target.image, source.image), 1);
    // 0, 0.5 -> 1, 1.0, 1.5 -> 2 held at 1.
    EXPECT_EQ(target.pixel(0, 0), 0);
    EXPECT_EQ(target.pixel(1, 0), 1);
    EXPECT_EQ(target.pixel(2, 0), 1);
    EXPECT_EQ(target.pixel(3, 0), 1);

    // The ratio is the reciprocal of target / source: for 3 -> 34 columns,
    // 17 x (1 / (34 / 3)) = 1.4999... takes column 1 (17 x 3 / 34 = 1.5 would take 2).
    TestImage three(3, 1);
    Target wide(34, 1);
    ASSERT_EQ(effect_scale(&wide.image, three.image), 1);
    EXPECT_EQ(wide.pixel(16, 0), 1);
    EXPECT_EQ(wide.pixel(17, 0), 1);
    EXPECT_EQ(wide.pixel(18, 0), 2);
}

TEST(Scale, ThreeToTwoRoundsOneAndAHalfUp) {
    TestImage source(3, 3, true), plain(4, 4);
    Target target(2, 2), half(2, 2);
    ASSERT_EQ(effect_scale(&half.image, plain.image), 1);
    EXPECT_EQ(half.pixel(1, 0), 2);  // halving takes every other column
    EXPECT_EQ(half.pixel(1, 1), 202);
    EXPECT_EQ(half.image.pAlpha, nullptr);
    ASSERT_EQ(effect_scale(&target.image, source.image), 1);
    EXPECT_EQ(target.pixel(1, 1), 202);  // 1 x 1.5 = 1.5 -> 2
    ASSERT_NE(target.image.pAlpha, nullptr);
    EXPECT_EQ(target.alpha(1, 1), source.image.pAlpha[2 * 3 + 2]);
    EXPECT_EQ(target.alpha(0, 1), source.image.pAlpha[2 * 3 + 0]);
}

TEST(Scale, MirrorWritesTheFirstSourceColumnLast) {
    TestImage source(3, 2, true);
    Target target(3, 2);
    target.image.bMirror = 1;
    ASSERT_EQ(effect_scale(&target.image, source.image), 1);
    for (LONG y = 0; y < 2; ++y)
        for (LONG x = 0; x < 3; ++x) {
            EXPECT_EQ(target.pixel(x, y), 100 * y + (2 - x));
            EXPECT_EQ(target.alpha(x, y), source.image.pAlpha[y * 3 + 2 - x]);
        }
}

TEST(Scale, RefusesEmptySizesAndLeavesTheTargetAlone) {
    TestImage source(2, 2);
    Target target(0, 3);
    EXPECT_EQ(effect_scale(&target.image, source.image), 0);
    EXPECT_EQ(target.image.pPixels, nullptr);
    Target ok(2, 2);
    tagEFFECTIMAGE empty{};
    EXPECT_EQ(effect_scale(&ok.image, empty), 0);
    EXPECT_EQ(ok.image.pPixels, nullptr);
    EXPECT_EQ(effect_scale(nullptr, source.image), 0);
}

TEST(UniformAlpha, CreatesAFullPlaneThenScalesTruncating) {
    TestImage image(2, 1);
    ASSERT_EQ(effect_set_alpha(&image.image, 20), 1);
    EXPECT_EQ(image.image.pAlpha[0], 20);  // 32 * 20 / 32
    image.image.pAlpha[1] = 31;
    ASSERT_EQ(effect_set_alpha(&image.image, 16), 1);
    EXPECT_EQ(image.image.pAlpha[0], 10);
    EXPECT_EQ(image.image.pAlpha[1], 15);  // 31 * 16 / 32 = 15.5 -> 15
}

TEST(Capture, CopiesRowsThroughThePitch) {
    // Rows 12 bytes apart: 2 bytes of padding per row.
    std::vector<uint16_t> buffer(6 * 3, 0xDEAD);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) buffer[y * 6 + x] = static_cast<uint16_t>(10 * y + x);
    const Canvas screen{reinterpret_cast<uint8_t*>(buffer.data()), 12, 5, 3};
    Target image(0, 0);
    ASSERT_EQ(effect_capture(&image.image, screen, RECT{1, 1, 4, 3}), 1);
    EXPECT_EQ(image.image.nWidth, 3);
    EXPECT_EQ(image.image.nHeight, 2);
    EXPECT_EQ(image.image.pAlpha, nullptr);
    EXPECT_EQ(image.pixel(0, 0), 11);
    EXPECT_EQ(image.pixel(2, 1), 23);
}

TEST(Capture, PartOutsideTheScreenIsBlackAndEmptyRectanglesFail) {
    std::vector<uint16_t> buffer(4 * 4, 0x1234);
    const Canvas screen{reinterpret_cast<uint8_t*>(buffer.data()), 8, 4, 4};
    Target image(0, 0);
    ASSERT_EQ(effect_capture(&image.image, screen, RECT{-1, 2, 2, 6}), 1);
    EXPECT_EQ(image.pixel(0, 0), 0);       // x = -1
    EXPECT_EQ(image.pixel(1, 0), 0x1234);  // (0, 2)
    EXPECT_EQ(image.pixel(2, 1), 0x1234);  // (1, 3)
    EXPECT_EQ(image.pixel(1, 2), 0);       // y = 4
    Target none(0, 0);
    EXPECT_EQ(effect_capture(&none.image, screen, RECT{2, 0, 2, 3}), 0);
    EXPECT_EQ(effect_capture(&none.image, screen, RECT{0, 3, 2, 1}), 0);
    EXPECT_EQ(effect_capture(&none.image, Canvas{nullptr, 8, 4, 4}, RECT{0, 0, 2, 2}), 0);
    EXPECT_EQ(none.image.pPixels, nullptr);
}

std::vector<POINT> walk(LONG x0, LONG y0, LONG x1, LONG y1) {
    tagLINEWALKER walker{};
    walker.ptStart = POINT{x0, y0};
    walker.ptEnd = POINT{x1, y1};
    std::vector<POINT> points;
    if (walk_line(&walker)) points.assign(walker.pPoints, walker.pPoints + walker.nCount);
    EXPECT_EQ(walker.bSwapped, 0);
    EXPECT_EQ(walker.ptStart.x, x0);
    EXPECT_EQ(walker.ptEnd.y, y1);
    free_line_walker(&walker);
    return points;
}

bool same(const std::vector<POINT>& points, std::vector<POINT> expected) {
    return std::equal(points.begin(), points.end(), expected.begin(), expected.end(),
                      [](POINT a, POINT b) { return a.x == b.x && a.y == b.y; });
}

TEST(LineWalker, ShallowBothWaysAndSteepOncePerRow) {
    EXPECT_TRUE(same(walk(0, 0, 3, 1), {{0, 0}, {1, 0}, {2, 0}, {3, 1}}));
    EXPECT_TRUE(same(walk(3, 1, 0, 0), {{3, 1}, {2, 0}, {1, 0}, {0, 0}}));
    // y-major: d = 4, e = 2; x steps when the error passes 0 at rows 2 and 4.
    EXPECT_TRUE(same(walk(0, 0, 2, 4), {{0, 0}, {0, 1}, {1, 2}, {1, 3}, {2, 4}}));
    EXPECT_TRUE(same(walk(8, 0, 6, 4), {{8, 0}, {8, 1}, {7, 2}, {7, 3}, {6, 4}}));
    EXPECT_TRUE(walk(5, 5, 5, 5).empty());  // one point fails
    tagLINEWALKER walker{};
    walker.ptEnd = POINT{2, 0};
    ASSERT_EQ(walk_line(&walker), 1);
    EXPECT_EQ(free_line_walker(&walker), 1);  // and zeroes the walker
    EXPECT_EQ(walker.pPoints, nullptr);
    EXPECT_EQ(walker.nCount, 0);
    EXPECT_EQ(free_line_walker(nullptr), 0);
}

TEST(Warp, BottomEdgeSqueezesEachRowBetweenTheWalkers) {
    // W = 8, H = 4, short edge x 2 ... 6 at the bottom. Row 2 lies between
    // x = 1 (walker (0,0)-(2,4)) and x = 7 (walker (8,0)-(6,4)): L = 6,
    // r = 8 / 6, entries nearest(i * r) = 0, 1, 3, 4, 5, 7.
    TestImage source(8, 4);
    Target target(8, 4);
    target.image.nWarpMode = WARP_BOTTOM;
    target.image.nEdgeFrom = 6;  // swapped into order by the warp
    target.image.nEdgeTo = 2;
    ASSERT_EQ(effect_warp(&target.image, source.image), 1);
    EXPECT_EQ(target.image.nEdgeFrom, 2);
    const int expected[] = {0, 1, 3, 4, 5, 7};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(target.pixel(1 + i, 2), 200 + expected[i]) << i;
        EXPECT_EQ(target.alpha(1 + i, 2), 32);
    }
    EXPECT_EQ(target.alpha(0, 2), 0);
    EXPECT_EQ(target.pixel(0, 2), 0);
    EXPECT_EQ(target.alpha(7, 2), 0);
    for (LONG x = 0; x < 8; ++x) EXPECT_EQ(target.pixel(x, 0), x);  // row 0 spans 0 ... 8
}

TEST(Warp, SpanStepIsTheReciprocalOfTheSqueeze) {
    // W = 13, H = 4, short edge 4 ... 13: row 3 spans x = 3 ... 12, L = 10,
    // s = 10 / 13, r = 1 / s; entry 5 is nearest(5 r) = nearest(6.4999...) = 6,
    // where 5 x 13 / 10 = 6.5 would give 7.
    TestImage source(13, 4);
    Target target(13, 4);
    target.image.nWarpMode = WARP_BOTTOM;
    target.image.nEdgeFrom = 4;
    target.image.nEdgeTo = 13;
    ASSERT_EQ(effect_warp(&target.image, source.image), 1);
    EXPECT_EQ(target.alpha(2, 3), 0);
    EXPECT_EQ(target.pixel(3, 3), 300);
    EXPECT_EQ(target.pixel(3 + 5, 3), 306);
    EXPECT_EQ(target.pixel(3 + 6, 3), 308);  // 6 x 1.3 = 7.8
    EXPECT_EQ(target.alpha(12, 3), 32);
}

TEST(Warp, RightEdgeLeavesTransparentTriangles) {
    const LONG W = 16, H = 16;
    TestImage source(W, H);
    Target target(W, H);
    target.image.nWarpMode = WARP_RIGHT;
    target.image.nEdgeFrom = H / 4;
    target.image.nEdgeTo = 3 * H / 4;
    ASSERT_EQ(effect_warp(&target.image, source.image), 1);
    LONG last_top = 0, last_bottom = H;
    for (LONG x = 0; x < W; ++x) {  // one opaque run per column, narrowing rightward
        LONG top = 0;
        while (top < H && target.alpha(x, top) == 0) ++top;
        LONG bottom = top;
        while (bottom < H && target.alpha(x, bottom) == 32) ++bottom;
        for (LONG y = bottom; y < H; ++y) EXPECT_EQ(target.alpha(x, y), 0) << x << "," << y;
        EXPECT_GE(top, last_top);
        EXPECT_LE(bottom, last_bottom);
        last_top = top, last_bottom = bottom;
    }
    EXPECT_EQ(target.alpha(0, 0), 32);
    EXPECT_EQ(target.alpha(0, H - 1), 32);
    EXPECT_EQ(target.alpha(W - 1, 0), 0);
    EXPECT_EQ(target.alpha(W - 1, H - 1), 0);
    EXPECT_EQ(target.alpha(W - 1, H / 2), 32);
}

TEST(Warp, FullLeftEdgeOnlyResamples) {
    TestImage source(6, 4);
    Target warped(12, 8), scaled(12, 8);
    warped.image.nWarpMode = WARP_LEFT;
    warped.image.nEdgeTo = 8;
    ASSERT_EQ(effect_warp(&warped.image, source.image), 1);
    ASSERT_EQ(effect_scale(&scaled.image, source.image), 1);
    EXPECT_TRUE(std::equal(warped.image.pPixels, warped.image.pPixels + 96, scaled.image.pPixels));
    EXPECT_EQ(std::vector<uint8_t>(warped.image.pAlpha, warped.image.pAlpha + 96),
              std::vector<uint8_t>(96, 32));
}

TEST(Warp, OtherModesOnlyScaleAndModeZeroFails) {
    TestImage source(2, 2);
    Target other(4, 4);
    other.image.nWarpMode = 3;
    ASSERT_EQ(effect_warp(&other.image, source.image), 1);
    EXPECT_EQ(other.pixel(3, 3), 101);
    EXPECT_EQ(other.alpha(3, 3), 32);
    Target none(4, 4);
    EXPECT_EQ(effect_warp(&none.image, source.image), 0);
    EXPECT_EQ(none.image.pPixels, nullptr);
}

TEST(Warp, EdgesBeyondTheImageStayInside) {
    TestImage source(8, 8);
    for (LONG mode : {WARP_LEFT, WARP_RIGHT, WARP_TOP, WARP_BOTTOM}) {
        Target target(8, 8);
        target.image.nWarpMode = mode;
        target.image.nEdgeFrom = -20;
        target.image.nEdgeTo = 30;
        ASSERT_EQ(effect_warp(&target.image, source.image), 1);
        for (LONG i = 0; i < 64; ++i) {
            const uint8_t a = target.image.pAlpha[i];
            EXPECT_TRUE(a == 0 || a == 32);
            if (a) {
                EXPECT_LT(target.image.pPixels[i] % 100, 8);
            }
        }
    }
}

}  // namespace
}  // namespace kesra
