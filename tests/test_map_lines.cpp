/* Map lines, dashes, railways and the wide line, with plain walk-everything
 * renderers kept equal to the windowed ones over seeded random roads. */
#include <array>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include "core/pixel.h"
#include "draw/aa_line.h"
#include "draw/capsule.h"
#include "draw/dash.h"
#include "draw/trig_tables.h"
#include "draw/wide_line.h"
#include "tests/test_helpers.h"

using kesra::ClipBox;
using kesra::test::Buffer;
using kesra::test::Screen;

namespace {

constexpr uint16_t kBackground = 0xFFFF;
constexpr uint16_t kRoad = 0x8410;
const RECT kWholeScreen{0, 0, 799, 479};

/* The capsule walked edge by edge with column tables as wide as the capsule. */
struct ReferenceCapsule {
    Buffer& out;
    ClipBox clip;
    int offX, offY;

    void put(long long x, long long y, uint16_t color) {
        x += offX;
        y += offY;
        if (clip.contains(x, y) && x >= 0 && y >= 0 && x < out.w && y < out.h) out.at(int(x), int(y)) = color;
    }
    void blend(long long x, long long y, uint16_t color, int a) {
        x += offX;
        y += offY;
        if (clip.contains(x, y) && x >= 0 && y >= 0 && x < out.w && y < out.h)
            out.at(int(x), int(y)) = kesra::blend565(out.at(int(x), int(y)), color, a);
    }

    void draw(POINT a, POINT b, int radius, uint16_t fill, uint16_t edge) {
        const kesra::CapsulePolygon poly = kesra::capsule_polygon(a, b, radius);
        const long long x_start = poly[0].x, columns = poly[6].x - x_start + 1;
        std::vector<long long> first(columns > 0 ? columns : 0, 0), last(columns > 0 ? columns : 0, -1);
        // first[] / last[] per octant: {writes, bias}; y-major writers also take the start row.
        const int rules[8][2][2] = {{{1, 1}, {1, 0}},  {{1, 0}, {1, -1}}, {{0, 0}, {1, 0}},
                                    {{0, 0}, {1, -1}}, {{1, 1}, {1, 1}},  {{0, 0}, {1, 0}},
                                    {{1, 0}, {1, -1}}, {{0, 0}, {1, -1}}};
        for (int i = 0; i < 12; ++i) {
            const long long x0 = poly[i].x, y0 = poly[i].y, x1 = poly[i + 1].x, y1 = poly[i + 1].y;
            const long long adx = std::llabs(x1 - x0), ady = std::llabs(y1 - y0);
            if (!adx && !ady) continue;
            const int octant = kesra::edge_octant(int(x1 - x0), int(y1 - y0));
            const int* rule = rules[octant][i < 6 ? 0 : 1];
            std::vector<long long>& table = i < 6 ? first : last;
            auto write = [&](long long x, long long v) {
                if (rule[0] && x - x_start >= 0 && x - x_start < columns) table[x - x_start] = v;
            };
            const int sx = x1 >= x0 ? 1 : -1, sy = y1 >= y0 ? 1 : -1;
            long long x = x0, y = y0, e = 0;
            if (adx >= ady) {
                for (long long k = 0; k <= adx; ++k, x += sx) {
                    write(x, y + rule[1]);
                    e += ady;
                    if (e >= adx) e -= adx, y += sy;
                }
            } else {
                write(x, y0);
                for (long long k = 0; k <= ady; ++k, y += sy) {
                    e += adx;
                    if (e >= ady) e -= ady, x += sx, write(x, y + rule[1]);
                }
            }
        }
        for (long long c = 0; c < columns; ++c)
            for (long long y = first[c]; y <= last[c]; ++y) put(x_start + c, y, fill);
        for (int i = 0; i < 12; ++i) {
            const long long x0 = poly[i].x, y0 = poly[i].y, x1 = poly[i + 1].x, y1 = poly[i + 1].y;
            const long long adx = std::llabs(x1 - x0), ady = std::llabs(y1 - y0);
            if (!adx && !ady) continue;
            const int sx = x1 >= x0 ? 1 : -1, sy = y1 >= y0 ? 1 : -1;
            const bool x_major = adx >= ady;
            const long long major = x_major ? adx : ady, minor = x_major ? ady : adx;
            long long x = x0, y = y0, e = 0;
            for (long long k = 0; k <= major; ++k) {
                const int level = int(e * 32 / major);
                blend(x, y, edge, 32 - level);
                if (x_major)
                    blend(x, y + sy, edge, level);
                else
                    blend(x + sx, y, edge, level);
                e += minor;
                if (x_major) {
                    x += sx;
                    if (e >= major) e -= major, y += sy;
                } else {
                    y += sy;
                    if (e >= major) e -= major, x += sx;
                }
            }
        }
    }
};

}  // namespace

TEST(DegreeTables, EveryEntryIsTheRoundedSineAndCosine) {
    const double pi = std::acos(-1.0);
    for (int i = 0; i < kesra::kTrigTableSize; ++i) {
        ASSERT_EQ(kesra::table_sin(i), std::round(std::sin(i * pi / 180) * 10000) / 10000) << i;
        ASSERT_EQ(kesra::table_cos(i), std::round(std::cos(i * pi / 180) * 10000) / 10000) << i;
    }
    EXPECT_EQ(kesra::table_sin(1079), kesra::table_sin(359));
    EXPECT_EQ(kesra::fold_degrees(-30), 330);
}

TEST(CapsulePolygon, HorizontalSegmentStartsAtItsLeftmostPoint) {
    const kesra::CapsulePolygon p = kesra::capsule_polygon(POINT{100, 100}, POINT{200, 100}, 10);
    const POINT expected[13] = {{90, 103},  {90, 96},  {94, 91},   {100, 90},  {200, 90},
                                {205, 91},  {209, 96}, {209, 103}, {205, 108}, {200, 110},
                                {100, 110}, {94, 108}, {90, 103}};
    for (int i = 0; i < 13; ++i) {
        EXPECT_EQ(p[i].x, expected[i].x) << i;
        EXPECT_EQ(p[i].y, expected[i].y) << i;
    }
    const kesra::CapsulePolygon q = kesra::capsule_polygon(POINT{200, 100}, POINT{100, 100}, 10);
    for (int i = 0; i < 13; ++i) EXPECT_EQ(q[i].x, p[i].x);  // reversed: the same capsule
    // Beyond x = 1000 the leftmost point still starts the polygon.
    const kesra::CapsulePolygon r = kesra::capsule_polygon(POINT{1100, 100}, POINT{1200, 100}, 10);
    EXPECT_EQ(r[0].x, 1090);
    EXPECT_EQ(r[0].y, 103);
    EXPECT_EQ(r[6].x, 1209);
}

TEST(AntiPolyline, HorizontalRoadFillsColumnFromRow90To110) {
    Screen s(800, 480);
    s.fill(kBackground);
    POINT pts[2] = {{100, 100}, {200, 100}};
    s.dc->DrawAntiPolyline(pts, 2, kRoad, 10, kWholeScreen, 0, 0);
    for (int y = 90; y <= 110; ++y) EXPECT_EQ(s.at(150, y), kRoad) << y;
    EXPECT_EQ(s.at(150, 89), kBackground);
    EXPECT_EQ(s.at(150, 111), kBackground);
    EXPECT_EQ(s.at(89, 100), kBackground);
    EXPECT_EQ(s.at(90, 100), kRoad);
    EXPECT_EQ(s.at(210, 100), kBackground);
    s.fill(kBackground);
    s.dc->DrawAntiPolylineSide(pts, 2, kRoad, 0x001F, 10, kWholeScreen);
    EXPECT_EQ(s.at(150, 90), 0x001F);  // outline row at full level
    EXPECT_EQ(s.at(150, 110), 0x001F);
    EXPECT_EQ(s.at(150, 100), kRoad);
}

TEST(AntiPolyline, SingleVertexDrawsNothing) {
    Screen s(64, 64);
    s.fill(kBackground);
    POINT pts[2] = {{10, 10}, {50, 50}};
    s.dc->DrawAntiPolyline(pts, 1, kRoad, 5, RECT{0, 0, 63, 63}, 0, 0);
    s.dc->DrawAntiPolyline(nullptr, 2, kRoad, 5, RECT{0, 0, 63, 63}, 0, 0);
    EXPECT_EQ(s.pixels(), std::vector<uint16_t>(64 * 64, kBackground));
}

TEST(AntiPolyline, OnePixelClipLetsExactlyThatPixelThrough) {
    Screen s(800, 480);
    s.fill(kBackground);
    POINT pts[3] = {{50, 60}, {300, 200}, {420, 90}};
    s.dc->DrawAntiPolyline(pts, 3, kRoad, 8, RECT{175, 130, 175, 130}, 0, 0);
    std::vector<uint16_t> want(800 * 480, kBackground);
    want[130 * 800 + 175] = kRoad;
    EXPECT_EQ(s.pixels(), want);
}

TEST(AntiPolyline, OffsetShiftsTheRoadAndTheClipAppliesAfterIt) {
    Screen plain(800, 480), shifted(800, 480);
    plain.fill(kBackground);
    shifted.fill(kBackground);
    POINT pts[3] = {{100, 100}, {260, 180}, {300, 40}};
    plain.dc->DrawAntiPolylineSide(pts, 3, kRoad, 0x001F, 9, kWholeScreen);
    shifted.dc->DrawAntiPolyline(pts, 3, kRoad, 9, RECT{200, 0, 799, 479}, 5, 0);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 795; ++x) {
            if (x + 5 < 200) {
                ASSERT_EQ(shifted.at(x + 5, y), kBackground);
            } else if (plain.at(x, y) == kBackground) {
                ASSERT_EQ(shifted.at(x + 5, y), kBackground) << x << "," << y;
            } else if (plain.at(x, y) == kRoad) {
                ASSERT_EQ(shifted.at(x + 5, y), kRoad) << x << "," << y;  // filled in both
            }
        }
    EXPECT_EQ(shifted.at(230 + 5, 165), kRoad);
}

TEST(AntiPolyline, CapsuleWiderThanTheColumnTablesDrawsItsVisiblePart) {
    Screen s(800, 480);
    s.fill(kBackground);
    POINT pts[2] = {{-5000, 240}, {6000, 240}};
    s.dc->DrawAntiPolyline(pts, 2, kRoad, 10, kWholeScreen, 0, 0);
    for (int x = 0; x < 800; x += 7) {
        ASSERT_EQ(s.at(x, 230), kRoad) << x;
        ASSERT_EQ(s.at(x, 250), kRoad) << x;
        ASSERT_EQ(s.at(x, 229), kBackground) << x;
    }
    s.fill(kBackground);
    POINT dot[2] = {{400, 240}, {400, 240}};
    s.dc->DrawAntiPolyline(dot, 2, kRoad, 3000, kWholeScreen, 0, 0);
    for (int y = 0; y < 480; y += 5)
        for (int x = 0; x < 800; x += 5) ASSERT_EQ(s.at(x, y), kRoad) << x << "," << y;
}

TEST(AntiPolyline, WindowedRendererMatchesThePlainWalkOverRandomRoads) {
    std::mt19937 rng(7302);
    auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int round = 0; round < 400; ++round) {
        Buffer fast(160, 120, kBackground), plain(160, 120, kBackground);
        const POINT a{uniform(-200, 360), uniform(-150, 270)}, b{uniform(-200, 360), uniform(-150, 270)};
        const int radius = round % 10 == 0 ? uniform(0, 2600) : uniform(0, 40);
        ClipBox clip{uniform(-20, 100), uniform(-20, 80), uniform(60, 200), uniform(40, 150)};
        const int offX = uniform(-30, 30), offY = uniform(-30, 30);
        const uint16_t fill = uint16_t(rng()), edge = uint16_t(rng());
        ReferenceCapsule{plain, clip, offX, offY}.draw(a, b, radius, fill, edge);
        kesra::CapsuleRenderer(fast.canvas(), clip, offX, offY, edge).draw_segment(a, b, radius, fill);
        ASSERT_EQ(fast.pixels, plain.pixels) << "round " << round << " radius " << radius;
    }
}

/* The first and last point of every dash: x, y, x, y. */
using Ends = std::vector<std::array<LONG, 4>>;

Ends dash_ends(std::vector<POINT> pts, int dashLen) {
    Ends ends;
    kesra::walk_dashes(pts.data(), int(pts.size()), dashLen, [&](POINT f, POINT l) {
        ends.push_back({f.x, f.y, l.x, l.y});
    });
    return ends;
}

TEST(DashWalker, DashesAlternateWithGapsCountingPositionsAcrossBends) {
    EXPECT_EQ(dash_ends({{0, 5}, {100, 5}}, 10),
              (Ends{{0, 5, 9, 5}, {20, 5, 29, 5}, {40, 5, 49, 5}, {60, 5, 69, 5}, {80, 5, 89, 5}}));
    // 15 positions, then 15 on the diagonal: position 20 is its sixth.
    EXPECT_EQ(dash_ends({{0, 0}, {15, 0}, {30, 15}}, 10), (Ends{{0, 0, 9, 0}, {20, 5, 29, 14}}));
    // Positions 0 ... 20: dash, gap, then one position; two make a short last dash.
    EXPECT_EQ(dash_ends({{0, 0}, {21, 0}}, 10).size(), 1u);
    EXPECT_EQ(dash_ends({{0, 0}, {22, 0}}, 10), (Ends{{0, 0, 9, 0}, {20, 0, 21, 0}}));
    EXPECT_EQ(dash_ends({{50, 0}, {50, 10}}, 10), (Ends{{50, 0, 49, 9}}));  // steps left at its first step
    // Dashes longer than 500 positions.
    EXPECT_EQ(dash_ends({{0, 0}, {2000, 0}}, 800), (Ends{{0, 0, 799, 0}, {1600, 0, 1999, 0}}));
}

TEST(DashLine, GapsKeepTheBackgroundAndRailwaysShowTheBase) {
    Screen s(800, 480);
    s.fill(kBackground);
    POINT pts[2] = {{100, 100}, {300, 100}};
    s.dc->DrawDashLine(pts, 2, kWholeScreen, 20, 3, 0, 0x07E0, 0xF800, 0, 0);
    EXPECT_EQ(s.at(110, 100), 0xF800);       // first dash: 100 ... 119
    EXPECT_EQ(s.at(130, 100), kBackground);  // gap: 120 ... 139 (caps reach 3 pixels in)
    EXPECT_EQ(s.at(150, 100), 0xF800);
    s.fill(kBackground);
    s.dc->DrawRailway(pts, 2, kWholeScreen, 20, 3, 0, 0x07E0, 0xF800, 0, 50);
    EXPECT_EQ(s.at(110, 150), 0xF800);
    EXPECT_EQ(s.at(130, 150), 0x07E0);
    EXPECT_EQ(s.at(130, 100), kBackground);
}

TEST(WideLine, TwoByTwoBlocksAtPointsInsideTheRectangle) {
    Screen s(100, 100);
    s.fill(kBackground);
    s.dc->DrawLine(POINT{10, 10}, POINT{20, 15}, 0, 0x001F, RECT{12, 0, 15, 99});
    // Points of the walk (error from 0): x 12 -> y 11, 13 -> 11, 14 -> 12, 15 -> 12.
    const int ys[4] = {11, 11, 12, 12};
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) {
            bool drawn = false;
            for (int i = 0; i < 4; ++i)
                drawn |= (x == 12 + i || x == 13 + i) && (y == ys[i] || y == ys[i] + 1);
            ASSERT_EQ(s.at(x, y), drawn ? 0x001F : kBackground) << x << "," << y;
        }
    EXPECT_EQ(s.at(16, 12), 0x001F);  // the block of x = 15 reaches past the right edge
}

TEST(WideLine, MatchesAPlainWalkInEveryDirection) {
    std::mt19937 rng(4411);
    auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int round = 0; round < 300; ++round) {
        Buffer fast(90, 70, kBackground), plain(90, 70, kBackground);
        const POINT p1{uniform(-300, 400), uniform(-300, 400)}, p2{uniform(-300, 400), uniform(-300, 400)};
        const ClipBox clip{uniform(-10, 50), uniform(-10, 40), uniform(30, 120), uniform(20, 100)};
        kesra::draw_wide_line(fast.canvas(), p1, p2, 0x1234, clip);
        const long long dx = std::llabs(p2.x - p1.x), dy = std::llabs(p2.y - p1.y);
        const int sx = p2.x < p1.x ? -1 : 1, sy = p2.y < p1.y ? -1 : 1;
        long long x = p1.x, y = p1.y, e = 0;
        const long long major = std::max(dx, dy), minor = std::min(dx, dy);
        for (long long k = 0; k <= major; ++k) {
            if (clip.contains(x, y) && x >= 0 && y >= 0 && x < 90 && y < 70)
                for (int by = 0; by < 2; ++by)
                    for (int bx = 0; bx < 2; ++bx)
                        if (x + bx < 90 && y + by < 70) plain.at(int(x + bx), int(y + by)) = 0x1234;
            e += minor;
            if (dx >= dy) {
                x += sx;
                if (e >= major) e -= major, y += sy;
            } else {
                y += sy;
                if (e >= major) e -= major, x += sx;
            }
        }
        ASSERT_EQ(fast.pixels, plain.pixels) << "round " << round;
    }
}
