/* Perspective roads and the route line: widths, discs, corners, fills, bands. */
#include <random>
#include <vector>

#include "core/pixel.h"
#include "draw/perspective.h"
#include "draw/route_line.h"
#include "tests/test_helpers.h"

using kesra::test::Screen;

namespace {

constexpr uint16_t kGround = 0xFFFF;
const RECT kClip{0, 0, 799, 479};

}  // namespace

TEST(PerspectiveWidth, NarrowAtTheTopWideAtTheBottom) {
    EXPECT_EQ(kesra::perspective_width(240, 9, 480), 9);
    EXPECT_EQ(kesra::perspective_width(20, 9, 480), 3);    // trunc(9 x 0.2266) = 2, made odd
    EXPECT_EQ(kesra::perspective_width(460, 9, 480), 33);  // trunc(9 x 3.664) = 32, made odd
    EXPECT_EQ(kesra::perspective_width(0, 9, 480), 3);     // rows are kept within 20 ... H - 20
    EXPECT_EQ(kesra::perspective_width(460, 149, 480), 149);
    EXPECT_EQ(kesra::perspective_width(240, 9, 1), 9);  // no middle row: the width stays
    EXPECT_EQ(kesra::perspective_base(6), 7);           // the base is odd and limited
    EXPECT_EQ(kesra::perspective_base(400), 149);
    EXPECT_EQ(kesra::perspective_base(-8), 1);
}

TEST(DiscTable, ExampleRowsAndTheNarrowRows) {
    const std::vector<std::vector<int>> rows = {
        {1}, {1, 3, 1}, {3, 5, 5, 5, 3}, {3, 5, 7, 7, 7, 5, 3}, {}, {5, 7, 9, 11, 11, 11, 11, 11, 9, 7, 5},
    };
    for (int r = 0; r < 6; ++r)
        for (size_t i = 0; i < rows[r].size(); ++i) EXPECT_EQ(kesra::disc_table_row(r)[i], rows[r][i]) << r;
    const int ten[] = {7, 11, 13, 15, 17, 19, 19, 21, 21, 21, 21, 21, 21, 21, 19, 19, 17, 15, 13, 11, 7};
    for (int i = 0; i < 21; ++i) EXPECT_EQ(kesra::disc_table_row(10)[i], ten[i]) << i;
    // (4, 4) is two narrower than the rule's 5; (25, 25) than the rule's 11.
    EXPECT_EQ(kesra::disc_table_row(4)[0], 3);
    EXPECT_EQ(kesra::disc_table_row(4)[8], 3);
    EXPECT_EQ(kesra::disc_table_row(25)[0], 9);
    for (int r = 0; r < kesra::kDiscTableRows; ++r) {
        const uint8_t* row = kesra::disc_table_row(r);
        for (int i = 0; i <= 2 * r; ++i) {
            ASSERT_EQ(row[i] % 2, 1) << r << " " << i;
            ASSERT_EQ(row[i], row[2 * r - i]) << r;
            ASSERT_LE(row[i], 2 * r + 1);
        }
        for (int i = 2 * r + 1; i < kesra::kDiscTableRowBytes; ++i) ASSERT_EQ(row[i], 0) << r;
    }
}

TEST(PerspectiveSegment, HorizontalSegmentHasCornersStraightAboveAndBelow) {
    const kesra::PerspectiveSegment seg =
        kesra::perspective_segment(POINT{100, 240}, POINT{300, 240}, 9, 480);
    EXPECT_EQ(seg.lower.x, 300);  // equal rows: the second point is the lower end
    EXPECT_EQ(seg.side, -1);
    const kesra::CornerPair c = kesra::segment_corners(seg, seg.lower, seg.lowerWidth);
    EXPECT_EQ(c.first.x, 300);
    EXPECT_EQ(c.first.y, 244);
    EXPECT_EQ(c.second.x, 300);
    EXPECT_EQ(c.second.y, 236);
    const kesra::PerspectiveSegment v = kesra::perspective_segment(POINT{50, 100}, POINT{50, 300}, 9, 480);
    const kesra::CornerPair d = kesra::segment_corners(v, v.upper, 9);
    EXPECT_EQ(d.first.x, 46);
    EXPECT_EQ(d.second.x, 54);
    EXPECT_EQ(d.first.y, 100);
}

TEST(AntiPolyline3D, FillsBetweenTheCornersWithAnAntiAliasedLowerSide) {
    Screen s(800, 480);
    s.fill(kGround);
    POINT pts[2] = {{100, 240}, {300, 240}};
    s.dc->DrawAntiPolyline3D(pts, 2, 0x001F, 9, kClip);
    for (int y = 236; y <= 243; ++y) EXPECT_EQ(s.at(200, y), 0x001F) << y;
    // The side line on row 244 lies exactly on its row: 250 of 255, level 31.
    EXPECT_EQ(s.at(200, 244), kesra::blend565(kGround, 0x001F, 31));
    EXPECT_EQ(s.at(200, 235), kGround);
    EXPECT_EQ(s.at(200, 245), kGround);
    // The disc at the end (radius 4) is limited by the clip rectangle.
    EXPECT_EQ(s.at(303, 240), 0x001F);
    s.fill(kGround);
    s.dc->DrawAntiPolyline3D(pts, 2, 0x001F, 9, RECT{0, 0, 301, 479});
    EXPECT_EQ(s.at(303, 240), kGround);
}

TEST(AntiPolyline3D, CasingLiesOnePixelOutsideTheRoad) {
    Screen s(800, 480);
    s.fill(kGround);
    POINT pts[2] = {{100, 240}, {300, 240}};
    s.dc->DrawAntiPolylineBorder3D(pts, 2, 0x001F, 9, kClip);
    EXPECT_EQ(s.at(200, 245), kesra::blend565(kGround, 0x001F, 31));
    EXPECT_EQ(s.at(200, 235), kesra::blend565(kGround, 0x001F, 31));
    for (int y = 236; y <= 244; ++y) EXPECT_EQ(s.at(200, y), kGround) << y;
    // Ring of radius 5 round the end (300, 240): its axis pixels, not its centre.
    EXPECT_NE(s.at(305, 240), kGround);
    EXPECT_NE(s.at(300, 235), kGround);
    EXPECT_EQ(s.at(300, 240), kGround);
}

TEST(PerspectiveSideLine, SteepLineStartsAtLevelOneAndSharesEachRow) {
    // (10, 10) to (12, 20): m = 200 thousandths per row. Row 11 lies at
    // 10.2: q = (800 * 256) >> 10 = 200, levels 25 and 6; row 15 at 11.0:
    // q = 250, levels 31 and 0. The ends get 1 (top) and 15 (bottom).
    for (const bool reversed : {false, true}) {
        std::vector<uint16_t> px(32 * 32, kGround);
        const kesra::Canvas c{reinterpret_cast<uint8_t*>(px.data()), 64, 32, 32};
        if (reversed)
            kesra::perspective_side_line(c, 12, 20, 10, 10, 0x0000);
        else
            kesra::perspective_side_line(c, 10, 10, 12, 20, 0x0000);
        auto at = [&](int x, int y) { return px[static_cast<size_t>(y) * 32 + x]; };
        auto level = [](int a) { return kesra::blend565(kGround, 0x0000, a); };
        EXPECT_EQ(at(10, 10), level(1));
        EXPECT_EQ(at(12, 20), level(15));
        EXPECT_EQ(at(10, 11), level(25));
        EXPECT_EQ(at(11, 11), level(6));
        EXPECT_EQ(at(11, 15), level(31));
        EXPECT_EQ(at(12, 15), kGround);
    }
}

/* Discs of radius 0 ... 74 under seeded clip boxes, against the reviewed
 * code's pixels; renew with
 *   KESRA_PRINT_GOLDEN=1 build/tests/test_perspective
 * --gtest_filter=PerspectiveDisc.SeededDiscsKeepTheirChecksum */
TEST(PerspectiveDisc, SeededDiscsKeepTheirChecksum) {
    std::mt19937 rng(2707);
    auto uniform = [&](int lo, int hi) { return lo + int(rng() % uint32_t(hi - lo + 1)); };
    kesra::test::Checksum sum;
    for (int r = 0; r <= 74; ++r) {
        kesra::test::Buffer b(200, 200, kGround);
        const int left = uniform(-5, 60), top = uniform(-5, 60), right = uniform(120, 210);
        const kesra::ClipBox clip{left, top, right, uniform(120, 210)};
        const int cx = uniform(40, 160);
        kesra::perspective_disc(b.canvas(), clip, cx, uniform(40, 160), r, 0x0000);
        sum.add(b.pixels);
    }
    kesra::test::expect_golden(sum.value, 0x66030C6A2FF530B9ull);
}

TEST(RouteLine, BandCountsAndColours) {
    EXPECT_EQ(kesra::route_band_count(kesra::perspective_width(240, kesra::perspective_base(3), 480)), 1);
    EXPECT_EQ(kesra::route_band_count(kesra::perspective_width(240, kesra::perspective_base(6), 480)), 2);
    EXPECT_EQ(kesra::route_band_count(149), 38);
    EXPECT_EQ(kesra::route_band_color(0xF800, 0x001F, 2, 0), 0x001F);
    EXPECT_EQ(kesra::route_band_color(0xF800, 0x001F, 2, 1), 0xF800);
    // Three bands from black to white: step 127; 248 * 127 / 256 = 123 -> 15.
    EXPECT_EQ(kesra::route_band_color(0xFFFF, 0x0000, 3, 0), 0x0000);
    EXPECT_EQ(kesra::route_band_color(0xFFFF, 0x0000, 3, 1), 0x7BEF);
    EXPECT_EQ(kesra::route_band_color(0xFFFF, 0x0000, 3, 2), 0xF7DE);
    EXPECT_EQ(kesra::route_band_width(33, 9, 1), 29);  // 33 * 8 / 9 = 29
    EXPECT_EQ(kesra::route_band_width(33, 9, 3), 21);  // 22 -> 21, odd
    EXPECT_EQ(kesra::route_band_width(3, 9, 8), 0);
}

TEST(RouteLine, SlotsFollowTheBandsRelativeDepth) {
    EXPECT_EQ(kesra::route_band_in_slot(2, 0), 0);
    EXPECT_EQ(kesra::route_band_in_slot(2, 19), 1);
    EXPECT_EQ(kesra::route_band_in_slot(2, 18), -1);
    for (int m = 1; m <= 38; ++m) {
        int bands = 0;
        for (int slot = 0; slot < kesra::kRouteSlots; ++slot)
            bands += kesra::route_band_in_slot(m, slot) >= 0;
        EXPECT_EQ(bands, m);
    }
}

TEST(RouteLine, TwoBandsAtMidHeightOuterThenInner) {
    Screen s(800, 480);
    s.fill(kGround);
    POINT pts[2] = {{100, 240}, {300, 240}};
    s.dc->DrawAntiRouteline3D(pts, 2, 0xF800, 0x001F, 5, kClip);
    // Band 0 is 5 wide (rows 238 ... 242, sides as one-pixel capsules round
    // rows 238 and 242); band 1 is 1 wide, a one-pixel capsule round row 240.
    const uint16_t column[] = {kGround, 0x001F, 0x001F, 0xF800, 0xF800, 0xF800, 0x001F, 0x001F, kGround};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(s.at(200, 236 + i), column[i]) << 236 + i;
    s.dc->DrawAntiRouteline3D(pts, 2, 0xF800, 0x001F, 3, kClip);
    EXPECT_EQ(s.at(200, 240), 0x780F);  // one band: red and blue averaged in 8-bit channels
}

TEST(RouteLine, LongRoutesAndRoutesFarOffTheScreen) {
    Screen s(320, 240);
    s.fill(kGround);
    std::vector<POINT> pts;
    for (int i = 0; i < 3000; ++i) pts.push_back(POINT{(i * 37) % 700 - 200, (i * 53) % 500 - 100});
    s.dc->DrawAntiRouteline3D(pts.data(), static_cast<LONG>(pts.size()), 0xF800, 0x001F, 20,
                              RECT{0, 0, 319, 239});
    EXPECT_NE(s.pixels(), std::vector<uint16_t>(size_t(s.w) * s.h, kGround));  // the long route was drawn
    POINT far[3] = {{-2000000000, 5}, {2000000000, 200}, {100, -2000000000}};
    s.dc->DrawAntiRouteline3D(far, 3, 0xF800, 0x001F, 20, RECT{0, 0, 319, 239});
    s.dc->DrawAntiPolyline3D(far, 3, 0xF800, 20, RECT{0, 0, 319, 239});
    s.dc->DrawAntiPolylineBorder3D(far, 3, 0xF800, 20, RECT{0, 0, 319, 239});
    const std::vector<uint16_t> before = s.pixels();
    s.dc->DrawAntiRouteline3D(pts.data(), 1, 0xF800, 0x001F, 20, RECT{0, 0, 319, 239});
    EXPECT_EQ(s.pixels(), before);  // one point is no route
}

TEST(CornerTrim, MovesLowerCornersOntoTheBox) {
    POINT c{50, -20};
    kesra::trim_corner_to_box(c, POINT{60, 20}, 100, 100);  // meets y = 0 at x = 55
    EXPECT_EQ(c.x, 55);
    EXPECT_EQ(c.y, 0);
    c = POINT{120, 50};
    kesra::trim_corner_to_box(c, POINT{80, 70}, 100, 100);  // meets x = 100 at y = 60
    EXPECT_EQ(c.x, 100);
    EXPECT_EQ(c.y, 60);
    c = POINT{-10, -10};
    kesra::trim_corner_to_box(c, POINT{10, 10}, 100, 100);  // through the corner: not strictly inside
    EXPECT_EQ(c.x, -10);
    c = POINT{40, 130};
    kesra::trim_corner_to_box(c, POINT{40, 50}, 100, 100);  // vertical: y clamped
    EXPECT_EQ(c.y, 100);
    c = POINT{0, 130};
    kesra::trim_corner_to_box(c, POINT{0, 50}, 100, 100);  // vertical on the border: left alone
    EXPECT_EQ(c.y, 130);
}

TEST(TableDisc, RowsCentredOnTheCentre) {
    Screen s(40, 40);
    s.fill(kGround);
    kesra::draw_table_disc(kesra::Canvas{reinterpret_cast<uint8_t*>(s.dc->GetBuffer()), 80, 40, 40},
                           kesra::ClipBox{0, 0, 39, 39}, 10, 10, 5, 0x0000);
    const int widths[5] = {3, 5, 5, 5, 3};
    for (int i = 0; i < 5; ++i)
        for (int x = 5; x < 15; ++x) {
            const bool inside = x >= 10 - widths[i] / 2 && x <= 10 + widths[i] / 2;
            EXPECT_EQ(s.at(x, 8 + i), inside ? 0x0000 : kGround) << x << "," << 8 + i;
        }
}
