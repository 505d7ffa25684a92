/* Lines far off the screen: the pixels of the plain walks, and a step budget
 * for the far-off cases. */
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <random>
#include <utility>
#include <vector>

#include "draw/capsule.h"
#include "draw/dash.h"
#include "draw/lines.h"
#include "draw/walk.h"
#include "tests/test_helpers.h"

using kesra::ClipBox;
using kesra::test::Buffer;
using kesra::test::Screen;

namespace {

constexpr uint16_t kBackground = 0x0841;

/* The pen line as it was walked: clip, caps, a stamp at every point. */
void plain_pen_line(const kesra::Canvas& c, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                    const kesra::PenShape& pen) {
    if (!kesra::segment_box_meets(c, x1, y1, x2, y2)) return;
    kesra::clip_segment(c, x1, y1, x2, y2);
    kesra::pen_cap(c, x1, y1, pen);
    kesra::pen_cap(c, x2, y2, pen);
    const int64_t dx = std::llabs(int64_t{x2} - x1), dy = std::llabs(int64_t{y2} - y1);
    const int64_t sx = x1 > x2 ? -1 : 1, sy = y1 > y2 ? -1 : 1;
    int64_t x = x1, y = y1;
    if (dx >= dy) {
        int64_t error = 2 * dy - dx;
        for (int64_t i = 0; i <= dx; ++i) {
            kesra::pen_stamp(c, int32_t(x), int32_t(y), pen);
            x += sx;
            if (error > 0) {
                error += 2 * dy - 2 * dx;
                y += sy;
            } else {
                error += 2 * dy;
            }
        }
    } else {
        int64_t error = 2 * dx - dy;
        for (int64_t i = 0; i <= dy; ++i) {
            kesra::pen_stamp(c, int32_t(x), int32_t(y), pen);
            y += sy;
            if (error > 0) {
                error += 2 * dx - 2 * dy;
                x += sx;
            } else {
                error += 2 * dx;
            }
        }
    }
}

/* The dash walker as it was: every position recorded, runs counted out. */
std::vector<std::pair<POINT, POINT>> plain_dashes(const POINT* pts, int64_t n, int dashLen) {
    std::vector<std::pair<POINT, POINT>> out;
    POINT first{0, 0}, last{0, 0};
    int64_t count = 0;
    bool dash = true;
    auto record = [&](int64_t x, int64_t y) {
        const POINT p{LONG(x), LONG(y)};
        if (count++ == 0) first = p;
        last = p;
        if (count >= dashLen) {
            if (dash && count >= 2) out.emplace_back(first, last);
            count = 0;
            dash = !dash;
        }
    };
    for (int64_t i = 0; i + 1 < n; ++i) {
        const int64_t dx = int64_t{pts[i + 1].x} - pts[i].x, dy = int64_t{pts[i + 1].y} - pts[i].y;
        const int64_t adx = std::llabs(dx), ady = std::llabs(dy);
        const int sx = dx > 0 ? 1 : -1, sy = dy >= 0 ? 1 : -1;
        int64_t x = pts[i].x, y = pts[i].y, err = -adx;
        const bool x_major = adx >= ady;
        for (int64_t k = 0; k < (x_major ? adx : ady); ++k) {
            record(x, y);
            if (x_major) {
                x += sx;
                err += ady;
                if (err >= 0) y += sy, err -= adx;
            } else {
                y += sy;
                err += adx;
                if (err >= 0) x += sx, err -= ady;
            }
        }
    }
    if (dash && count >= 2) out.emplace_back(first, last);
    return out;
}

struct Rng {
    std::mt19937 engine;
    int operator()(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(engine); }
};

uint64_t steps_of(const std::function<void()>& draw) {
    const uint64_t before = kesra::t_walk_steps;
    draw();
    return kesra::t_walk_steps - before;
}

TEST(FarLines, MidpointWalkStateAtAnyStepIsTheSteppedState) {
    Rng rng{std::mt19937(2207)};
    for (int round = 0; round < 400; ++round) {
        const int64_t major = rng(0, 300), minor = rng(0, int(major));
        const kesra::MidpointWalk walk{rng(-50, 50), rng(-50, 50),       major,
                                       minor,        rng(0, 1) ? 1 : -1, rng(0, 1) ? 1 : -1};
        int64_t b = walk.start_minor, error = 2 * minor - major;
        for (int64_t i = 0; i <= major; ++i) {
            ASSERT_EQ(walk.minor_at(i), b) << major << "/" << minor << " step " << i;
            ASSERT_EQ(walk.error_at(i), error) << major << "/" << minor << " step " << i;
            if (error > 0) {
                error += 2 * minor - 2 * major;
                b += walk.s_minor;
            } else {
                error += 2 * minor;
            }
        }
    }
}

TEST(FarLines, PenLineStartsWhereTheScreenIsReachedWithThePlainWalksPixels) {
    Rng rng{std::mt19937(9101)};
    for (int round = 0; round < 6000; ++round) {
        Buffer fast(64, 48, kBackground), plain(64, 48, kBackground);
        const int reach = round % 3 == 0 ? 4000 : 200;  // long lines miss the screen more often
        int x1 = rng(-reach, reach), y1 = rng(-reach, reach), x2 = rng(-reach, reach),
            y2 = rng(-reach, reach);
        if (round % 2 == 0) {
            // Small whole slopes through a point just off a corner of the screen.
            const int a = rng(-4, 4), b = rng(-4, 4), t1 = rng(1, 900), t2 = rng(1, 900);
            const int cx = rng(0, 1) ? -rng(1, 12) : 63 + rng(1, 12),
                      cy = rng(0, 1) ? -rng(1, 12) : 47 + rng(1, 12);
            x1 = cx - a * t1;
            y1 = cy - b * t1;
            x2 = cx + a * t2;
            y2 = cy + b * t2;
        } else if (round % 4 == 1) {
            // Long, nearly level lines: a far end may land on the top or bottom row.
            y1 = rng(-150, 150);
            y2 = rng(-150, 150);
            if (round % 8 == 1) std::swap(x1, y1), std::swap(x2, y2);
        }
        const kesra::PenShape pen{uint32_t(round % 3 == 0 ? rng(0, 6) : rng(0, 40)),
                                  uint16_t(rng(1, 0xFFFF))};
        plain_pen_line(plain.canvas(), x1, y1, x2, y2, pen);
        kesra::pen_line(fast.canvas(), x1, y1, x2, y2, pen);
        ASSERT_EQ(fast.pixels, plain.pixels) << "round " << round << ": (" << x1 << "," << y1 << ")-(" << x2
                                             << "," << y2 << ") width " << pen.width;
    }
}

TEST(FarLines, DashRunsAreFoundAsTheWalkCountedThem) {
    Rng rng{std::mt19937(5513)};
    for (int round = 0; round < 2000; ++round) {
        POINT pts[6];
        const int n = rng(2, 6), spread = round % 4 == 0 ? 600 : 40;
        for (int i = 0; i < n; ++i) pts[i] = POINT{rng(-spread, spread), rng(-spread, spread)};
        if (round % 7 == 0) pts[1] = pts[0];  // a segment of no length records nothing
        const int dashLen = round % 5 == 0 ? rng(-2, 3) : rng(2, 90);
        std::vector<std::pair<POINT, POINT>> found;
        kesra::walk_dashes(pts, n, dashLen, [&](POINT f, POINT l) { found.emplace_back(f, l); });
        const auto expected = plain_dashes(pts, n, dashLen);
        const auto same = [](const std::pair<POINT, POINT>& a, const std::pair<POINT, POINT>& b) {
            return a.first.x == b.first.x && a.first.y == b.first.y && a.second.x == b.second.x &&
                   a.second.y == b.second.y;
        };
        ASSERT_TRUE(std::equal(found.begin(), found.end(), expected.begin(), expected.end(), same))
            << "round " << round;
    }
}

TEST(FarLines, DashedLinesDrawOnlyWhatCanBeSeenWithThePlainWalksPixels) {
    Rng rng{std::mt19937(4471)};
    for (int round = 0; round < 1500; ++round) {
        Buffer fast(96, 64, kBackground), plain(96, 64, kBackground);
        POINT pts[5];
        const int n = rng(2, 5), spread = round % 3 == 0 ? 3000 : 250;
        for (int i = 0; i < n; ++i) pts[i] = POINT{rng(-spread, spread), rng(-spread, spread)};
        const int dashLen = rng(2, 40), radius = round % 6 == 0 ? rng(-3, 120) : rng(0, 8);
        const ClipBox clip{rng(-20, 60), rng(-20, 40), rng(30, 120), rng(20, 90)};
        const int offX = rng(-60, 60), offY = rng(-60, 60);
        const uint16_t color = uint16_t(rng(1, 0xFFFF));
        kesra::CapsuleRenderer renderer(plain.canvas(), clip, offX, offY, color);
        for (const auto& d : plain_dashes(pts, n, dashLen))
            renderer.draw_segment(d.first, d.second, radius, color);
        kesra::draw_dash_polyline(fast.canvas(), pts, n, dashLen,
                                  kesra::MapLineStyle{color, color, radius, clip, offX, offY});
        ASSERT_EQ(fast.pixels, plain.pixels) << "round " << round;
    }
}

/* A walk over the far-off part would take about 2^31 steps. */
constexpr uint64_t kStepBudget = 200000;

TEST(FarLines, FarOffCasesStayWithinTheStepBudget) {
    Screen s(800, 480);
    const RECT whole{0, 0, 799, 479};
    const LONG far = 1 << 30;
    POINT across[2] = {{-far, 240}, {far, 240}};
    POINT slanted[3] = {{-far, -far / 3}, {far, far / 5}, {-far, 100}};
    POINT route[2] = {{66, 2147483646}, {-5, 22}};
    POINT steep_far[2] = {{300, -(1 << 28) + 100}, {307, -100}};  // near-vertical, above the screen's columns
    POINT steep_near[2] = {{300, -far}, {310, far}};              // near-vertical, across the screen
    struct Case {
        const char* name;
        std::function<void()> draw;
    } cases[] = {
        {"dash across", [&] { s.dc->DrawDashLine(across, 2, whole, 10, 3, 0, 0, 0xF800, 0, 0); }},
        {"dash slanted", [&] { s.dc->DrawDashLine(slanted, 3, whole, 7, 2, 0, 0, 0xF800, 5, -5); }},
        {"railway across", [&] { s.dc->DrawRailway(across, 2, whole, 10, 3, 0, 0x07E0, 0xF800, 0, 0); }},
        {"railway slanted", [&] { s.dc->DrawRailway(slanted, 3, whole, 12, 4, 0, 0x07E0, 0xF800, 0, 0); }},
        {"route", [&] { s.dc->DrawAntiRouteline3D(route, 2, 0xF800, 0x001F, 21, whole); }},
        {"capsule far", [&] { s.dc->DrawAntiPolyline(steep_far, 2, 0x001F, 6, whole, 0, 0); }},
        {"capsule near", [&] { s.dc->DrawAntiPolyline(steep_near, 2, 0x001F, 6, whole, 0, 0); }},
        {"dash steep", [&] { s.dc->DrawDashLine(steep_near, 2, whole, 9, 3, 0, 0, 0xF800, 0, 0); }},
        {"pen line missing", [&] { s.dc->DrawLine(-far, -far + 100, far, far - 2000); }},
        {"pen line across", [&] { s.dc->DrawLine(-far, 100, far, 300); }},
        {"pen line steep", [&] { s.dc->DrawLine(600, -far, 905, far); }},
        {"pen line clipped far", [&] { s.dc->DrawLine(-1073814722, 2622, 1702764668, 479); }},
        {"wide line",
         [&] {
             s.dc->DrawLine(POINT{-far, -far}, POINT{far, far}, 0, 0x1234, whole);
         }},
    };
    for (const Case& c : cases) {
        s.fill(kBackground);
        const uint64_t steps = steps_of(c.draw);
        EXPECT_LE(steps, kStepBudget) << c.name;
    }
}

TEST(FarLines, FarOffDashedLineShowsTheDashesOfItsVisiblePart) {
    // Positions count from x = -1073741820, a multiple of 20: dashes at x = 0-9, 20-29, ...
    Screen s(800, 480);
    s.fill(kBackground);
    POINT across[2] = {{-1073741820, 240}, {1 << 30, 240}};
    s.dc->DrawDashLine(across, 2, RECT{0, 0, 799, 479}, 10, 1, 0, 0, 0xF800, 0, 0);
    for (int x = 2; x < 798; ++x) {  // 1 ... 8 of each 20 in a dash, 11 ... 18 in a gap
        const int phase = x % 20;
        EXPECT_TRUE(phase % 10 == 0 || phase % 10 == 9 || s.at(x, 240) == (phase < 10 ? 0xF800 : kBackground))
            << x;
    }
}

}  // namespace
