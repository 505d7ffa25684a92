/* Polygon outlines and scan fills, with random polygons against a plain
 * row-by-row fill. */
#include <algorithm>
#include <cmath>
#include <vector>

#include "draw/context.h"
#include "draw/polygon.h"
#include "tests/test_helpers.h"

using kesra::test::Screen;

namespace {

constexpr int W = 64, H = 48;
constexpr uint16_t kBack = 0x0000, kInk = 0xFFFF;

struct Probe : CCEDraw {
    using CCEDraw::IsAllPointInside;
    using CCEDraw::IsAllPointOutside;
};

Probe& probe(Screen& s) { return static_cast<Probe&>(*s.dc); }

std::vector<uint16_t> snapshot(const Screen& s) {
    std::vector<uint16_t> out;
    for (int y = 0; y < s.h; ++y)
        for (int x = 0; x < s.w; ++x) out.push_back(s.at(x, y));
    return out;
}

/* The scan fill over every scan line, with per-pixel tests. */
std::vector<uint16_t> reference_fill(const std::vector<POINT>& pts, int w, int h, uint16_t color) {
    struct E {
        long long y_top, y_bottom, x, dxdy;
    };
    std::vector<E> edges;
    const int n = int(pts.size());
    for (int i = 0; i < n; ++i) {
        const POINT cur = pts[i], prev = pts[(i + n - 1) % n];
        if (cur.y == prev.y) continue;
        const POINT up = cur.y < prev.y ? cur : prev;
        edges.push_back({std::min(cur.y, prev.y), std::max(cur.y, prev.y), (long long)up.x * 4096,
                         ((long long)prev.x - cur.x) * 4096 / ((long long)prev.y - cur.y)});
    }
    std::vector<uint16_t> img(size_t(w) * h, kBack);
    if (edges.empty()) return img;
    std::sort(edges.begin(), edges.end(), [](const E& a, const E& b) {
        return a.y_top != b.y_top ? a.y_top < b.y_top : a.x != b.x ? a.x < b.x : a.dxdy < b.dxdy;
    });
    long long yMax = edges[0].y_bottom;
    for (const E& e : edges) yMax = std::max(yMax, e.y_bottom);
    std::vector<E*> active;
    size_t next = 0;
    for (long long y = edges[0].y_top; y <= yMax; ++y) {
        for (; next < edges.size() && edges[next].y_top == y; ++next) {
            E* e = &edges[next];
            auto at = std::find_if(active.begin(), active.end(), [e](const E* a) {
                return a->x > e->x || (a->x == e->x && a->dxdy >= e->dxdy);
            });
            active.insert(at, e);
        }
        active.erase(
            std::remove_if(active.begin(), active.end(), [y](const E* a) { return y >= a->y_bottom; }),
            active.end());
        for (size_t i = 0; i + 1 < active.size(); i += 2) {
            const long long xl = active[i]->x >> 12, xr = active[i + 1]->x >> 12;
            const long long start = xl != 0 ? xl + 1 : 0;
            if (xr > start)
                for (long long x = start; x <= xr; ++x)
                    if (x >= 0 && x < w && y >= 0 && y < h) img[size_t(y) * w + size_t(x)] = color;
            active[i]->x += active[i]->dxdy;
            active[i + 1]->x += active[i + 1]->dxdy;
        }
    }
    return img;
}

/* A closed ring of n vertices with a wobbling radius. */
std::vector<POINT> lake(int n, double cx, double cy, double radius) {
    std::vector<POINT> pts;
    for (int i = 0; i < n; ++i) {
        const double t = 2 * M_PI * i / n;
        const double r = radius * (1.0 + 0.15 * std::sin(7 * t) + 0.05 * std::sin(31 * t));
        pts.push_back({LONG(std::lround(cx + r * std::cos(t))), LONG(std::lround(cy + r * std::sin(t)))});
    }
    return pts;
}

}  // namespace

TEST(ScanFill, WorkedTriangleLeavesOutLeftColumnAndLastRows) {
    Screen s(W, H);
    s.fill(kBack);
    POINT tri[] = {{10, 10}, {20, 10}, {10, 20}};
    EXPECT_EQ(s.dc->FillPolygon(tri, 3, kInk, 0, 0), 1);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const bool inside = y >= 10 && y <= 18 && x >= 11 && x <= 30 - y;
            ASSERT_EQ(s.at(x, y), inside ? kInk : kBack) << x << "," << y;
        }
}

TEST(ScanFill, LeftEdgeOnColumnZeroIsFilled) {
    Screen s(W, H);
    s.fill(kBack);
    POINT sq[] = {{0, 5}, {10, 5}, {10, 15}, {0, 15}};
    s.dc->FillPolygon(sq, 4, kInk, 0, 0);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            ASSERT_EQ(s.at(x, y), (y >= 5 && y <= 14 && x <= 10) ? kInk : kBack) << x << "," << y;
}

TEST(ScanFill, AllVerticesOutsideDrawsNothingInsideRejectsCorners) {
    Screen s(W, H);
    s.fill(kBack);
    POINT left[] = {{-30, 5}, {-1, 5}, {-1, 40}};
    POINT around[] = {{-10, -10}, {W + 10, -10}, {W + 10, H + 10}, {-10, H + 10}};
    EXPECT_EQ(s.dc->FillPolygon(left, 3, kInk, 0, 0), 1);
    EXPECT_EQ(s.dc->FillPolygon(around, 4, kInk, 0, 0), 1);
    EXPECT_EQ(s.dc->DrawPolygon(around, 4), 1);
    EXPECT_EQ(probe(s).IsAllPointOutside(around, 4), 1);
    EXPECT_EQ(snapshot(s), std::vector<uint16_t>(size_t(W) * H, kBack));
    // A vertex on x = width counts as inside.
    POINT edge[] = {{W, 10}, {-10, -10}};
    EXPECT_EQ(probe(s).IsAllPointOutside(edge, 2), 0);
    EXPECT_EQ(probe(s).IsAllPointOutside(nullptr, 2), 0);
    POINT beside[] = {{-5, 10}, {10, H + 3}};
    POINT corner[] = {{5, 5}, {W, H}};
    EXPECT_EQ(probe(s).IsAllPointInside(beside, 2), 1);
    EXPECT_EQ(probe(s).IsAllPointInside(corner, 2), 0);
    EXPECT_EQ(probe(s).IsAllPointInside(nullptr, 2), 0);
}

TEST(ScanFill, BadArgumentsReturnZero) {
    Screen s(W, H);
    uint16_t tile[4] = {1, 2, 3, 4};
    POINT tri[] = {{1, 1}, {9, 1}, {1, 9}};
    EXPECT_EQ(s.dc->FillPolygon(nullptr, 3, kInk, 0, 0), 0);
    EXPECT_EQ(s.dc->FillPolygon(tri, 3, 2, 2, nullptr), 0);
    EXPECT_EQ(s.dc->FillPolygon(tri, 3, 0, 2, tile), 0);
    EXPECT_EQ(s.dc->FillPolygon(tri, 3, 2, 0, tile), 0);
    EXPECT_EQ(s.dc->FillPolygon(tri, 3, -2, 2, tile), 0);
    EXPECT_EQ(s.dc->DrawPolygon(nullptr, 3), 0);
    EXPECT_EQ(s.dc->DrawPolyline(nullptr, 3), 0);
    EXPECT_EQ(s.dc->FillPolygon(tri, 0, kInk, 0, 0), 1);
}

TEST(ScanFill, PatternStaysFixedToTheScreen) {
    std::vector<uint16_t> tile(64);
    for (int i = 0; i < 64; ++i) tile[i] = uint16_t(0x0841 * (i + 1));
    for (POINT offset : {POINT{0, 0}, POINT{-7, 2}, POINT{13, -4}}) {
        Screen s(W, H);
        s.fill(kBack);
        std::vector<POINT> pts = lake(40, 30 + offset.x, 24 + offset.y, 18);
        s.dc->FillPolygon(pts.data(), int(pts.size()), 8, 8, tile.data());
        const std::vector<uint16_t> shape = reference_fill(pts, W, H, kInk);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const uint16_t want = shape[size_t(y) * W + x] ? tile[(y % 8) * 8 + (x + 1) % 8] : kBack;
                ASSERT_EQ(s.at(x, y), want) << x << "," << y << " offset " << offset.x << "," << offset.y;
            }
    }
}

TEST(ScanFill, MatchesPlainFillOnRandomPolygons) {
    Screen s(W, H);
    std::mt19937 rng(12345);
    for (int round = 0; round < 1500; ++round) {
        const int n = 3 + int(rng() % 14);
        const int spread = round % 3 == 0 ? 400 : 120;
        std::vector<POINT> pts(n);
        for (POINT& p : pts)
            p = {LONG(int(rng() % spread) - spread / 2 + 32), LONG(int(rng() % spread) - spread / 2 + 24)};
        s.fill(kBack);
        s.dc->FillPolygon(pts.data(), n, kInk, 0, 0);
        const bool outside = probe(s).IsAllPointOutside(pts.data(), n);
        const std::vector<uint16_t> want =
            outside ? std::vector<uint16_t>(size_t(W) * H, kBack) : reference_fill(pts, W, H, kInk);
        ASSERT_EQ(snapshot(s), want) << "round " << round;
    }
}

TEST(ScanFill, FarOffVerticesDoNotWrap) {
    Screen s(W, H);
    s.fill(kBack);
    // A wedge whose 12-bit fraction would not fit a 32-bit x.
    std::vector<POINT> pts = {{-3000000, -2000000}, {40, 30}, {20, 40}};
    s.dc->FillPolygon(pts.data(), 3, kInk, 0, 0);
    EXPECT_EQ(snapshot(s), reference_fill(pts, W, H, kInk));
    EXPECT_NE(s.at(30, 33), kBack);
}

TEST(ScanFill, MoreEdgesThanTheStaticTables) {
    Screen s(320, 240);
    for (int n : {1999, 2000, 2001, 6000}) {
        const std::vector<POINT> pts = lake(n, 160, 120, 100);
        int sloped = 0;
        for (int i = 0; i < n; ++i) sloped += pts[i].y != pts[(i + n - 1) % n].y;
        s.fill(kBack);
        s.dc->FillPolygon(const_cast<POINT*>(pts.data()), n, kInk, 0, 0);
        ASSERT_EQ(snapshot(s), reference_fill(pts, 320, 240, kInk))
            << n << " vertices, " << sloped << " edges";
        EXPECT_EQ(s.at(160, 120), kInk);
    }
    // A comb of 2400 teeth: past 2000 sloped edges for sure.
    std::vector<POINT> comb;
    for (int i = 0; i < 2400; ++i) comb.push_back({LONG(i / 8), LONG(i % 2 ? 200 : 20)});
    comb.push_back({299, 230});
    comb.push_back({0, 230});
    s.fill(kBack);
    s.dc->FillPolygon(comb.data(), int(comb.size()), kInk, 0, 0);
    EXPECT_EQ(snapshot(s), reference_fill(comb, 320, 240, kInk));
    uint16_t tile[4] = {0x1111, 0x2222, 0x3333, 0x4444};
    s.fill(kBack);
    s.dc->FillPolygon(comb.data(), int(comb.size()), 2, 2, tile);
    const std::vector<uint16_t> shape = reference_fill(comb, 320, 240, kInk);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            ASSERT_EQ(s.at(x, y), shape[size_t(y) * 320 + x] ? tile[(y % 2) * 2 + (x + 1) % 2] : kBack);
}

TEST(Outline, SingleVertexStampsAndPolylineNeedsTwo) {
    Screen s(W, H);
    s.fill(kBack);
    CCEPen pen(1, 3, kInk);
    s.dc->SetGDIObject(&pen);
    POINT one[] = {{20, 20}};
    EXPECT_EQ(s.dc->DrawPolyline(one, 1), 1);
    EXPECT_EQ(snapshot(s), std::vector<uint16_t>(size_t(W) * H, kBack));
    EXPECT_EQ(s.dc->DrawPolygon(one, 1), 1);
    std::vector<uint16_t> want(size_t(W) * H, kBack);
    for (auto [x, y] : {std::pair{20, 20}, {19, 20}, {21, 20}, {20, 19}, {20, 21}})
        want[size_t(y) * W + x] = kInk;
    EXPECT_EQ(snapshot(s), want);
}

TEST(Outline, ClosingLineRunsFromFirstVertexToLast) {
    Screen s(W, H);
    CCEPen pen(1, 1, kInk);
    s.dc->SetGDIObject(&pen);
    POINT pts[] = {{5, 5}, {30, 8}, {12, 27}};
    s.fill(kBack);
    s.dc->DrawPolygon(pts, 3);
    // From vertex 0 the closing line passes (8, 16); from vertex 2, (9, 16).
    EXPECT_EQ(s.at(8, 16), kInk);
    EXPECT_EQ(s.at(9, 16), kBack);
    const std::vector<uint16_t> closed = snapshot(s);
    s.fill(kBack);
    s.dc->DrawLine(5, 5, 30, 8);
    s.dc->DrawLine(30, 8, 12, 27);
    s.dc->DrawLine(5, 5, 12, 27);
    EXPECT_EQ(closed, snapshot(s));
    s.fill(kBack);
    s.dc->DrawPolyline(pts, 3);
    EXPECT_EQ(s.at(5, 5), kInk);
    EXPECT_EQ(s.at(12, 27), kInk);
    EXPECT_EQ(s.at(8, 16), kBack);  // on the closing line only
}
