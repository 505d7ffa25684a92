/* scene_areas.cpp - city blocks, parks and water: filled polygons in a tilted
 * street grid, a river and a lake filled with a wave tile that stays fixed to
 * the screen, block outlines drawn with a pen, and a blended legend panel
 * with a name per kind. */
#include <algorithm>
#include <cmath>
#include <vector>

#include "demo/scenes.h"

namespace navdemo {

namespace {

const unsigned short kBlock = rgb565(226, 218, 204);
const unsigned short kBlockEdge = rgb565(186, 176, 160);
const unsigned short kPark = rgb565(176, 214, 150);
const unsigned short kParkEdge = rgb565(120, 170, 100);
const unsigned short kWaterEdge = rgb565(100, 150, 200);

constexpr double kGridAngle = 0.21;  // radians the street grid is turned by
constexpr double kRiverHalfWidth = 26;

/* The river's centre line: it enters on the left and leaves at the bottom. */
double river_y(double x) { return 150 + 0.42 * x + 18 * std::sin(x / 55.0); }

/* An 8 x 8 tile of water with a wave of lighter pixels. */
std::vector<unsigned short> water_tile() {
    std::vector<unsigned short> tile(64, rgb565(150, 190, 230));
    const int wave[8] = {3, 2, 2, 3, 4, 5, 5, 4};
    for (int x = 0; x < 8; ++x) {
        tile[wave[x] * 8 + x] = rgb565(185, 215, 242);
        tile[((wave[x] + 4) % 8) * 8 + x] = rgb565(138, 180, 222);
    }
    return tile;
}

/* The river as one polygon: the north bank left to right, the south bank
 * back. It runs well past the screen's sides so that a moved view still sees it. */
constexpr int kRiverReach = 900;
std::vector<POINT> river(const MapView& view) {
    std::vector<POINT> pts;
    for (int x = -kRiverReach; x <= kWidth + kRiverReach; x += 4) {
        const double w = kRiverHalfWidth + 6 * std::sin(x / 23.0);
        pts.push_back(view.at(x, river_y(x) - w));
    }
    for (int x = kWidth + kRiverReach; x >= -kRiverReach; x -= 4) {
        const double w = kRiverHalfWidth + 5 * std::cos(x / 31.0);
        pts.push_back(view.at(x, river_y(x) + w));
    }
    return pts;
}

/* A lake with a finely traced shore: thousands of vertices, as map data has. */
std::vector<POINT> lake(const MapView& view, double cx, double cy, double rx, double ry, int n) {
    std::vector<POINT> pts;
    for (int i = 0; i < n; ++i) {
        const double t = 2 * M_PI * i / n;
        const double r =
            1.0 + 0.12 * std::sin(3 * t + 1) + 0.06 * std::sin(11 * t) + 0.015 * std::sin(97 * t);
        pts.push_back(view.at(cx + rx * r * std::cos(t), cy + ry * r * std::sin(t)));
    }
    return pts;
}

/* Corner (i, j) of the street grid, turned about the screen centre. */
POINT grid_point(double gx, double gy) {
    const double c = std::cos(kGridAngle), s = std::sin(kGridAngle);
    const double x = gx - kWidth / 2.0, y = gy - kHeight / 2.0;
    return {static_cast<LONG>(std::lround(kWidth / 2.0 + x * c - y * s)),
            static_cast<LONG>(std::lround(kHeight / 2.0 + x * s + y * c))};
}

bool near_water(const POINT& p, double lake_x, double lake_y) {
    const double dx = (p.x - lake_x) / 150.0, dy = (p.y - lake_y) / 105.0;
    return std::fabs(p.y - river_y(p.x)) < kRiverHalfWidth + 26 || dx * dx + dy * dy < 1.0;
}

/* A park: a block with its corners pulled about, like a green space between streets. */
std::vector<POINT> park_shape(const POINT q[4]) {
    std::vector<POINT> pts;
    for (int k = 0; k < 4; ++k) {
        const POINT a = q[k], b = q[(k + 1) % 4];
        for (int step = 0; step < 3; ++step) {
            const double t = step / 3.0;
            const double bump = step == 1 ? 4 * std::sin(a.x * 0.7 + a.y) : 0;
            pts.push_back({static_cast<LONG>(std::lround(a.x + (b.x - a.x) * t + bump)),
                           static_cast<LONG>(std::lround(a.y + (b.y - a.y) * t - bump))});
        }
    }
    return pts;
}

/* Whether a quadrilateral's bounding box meets the screen. */
bool on_screen_box(const POINT q[4]) {
    LONG left = q[0].x, right = q[0].x, top = q[0].y, bottom = q[0].y;
    for (int k = 1; k < 4; ++k) {
        left = std::min(left, q[k].x);
        right = std::max(right, q[k].x);
        top = std::min(top, q[k].y);
        bottom = std::max(bottom, q[k].y);
    }
    return right >= 0 && left < kWidth && bottom >= 0 && top < kHeight;
}

std::vector<POINT> on_screen(const MapView& view, const std::vector<POINT>& map) {
    std::vector<POINT> pts;
    for (const POINT& p : map) pts.push_back(view.at(p.x, p.y));
    return pts;
}

/* Blocks past the screen's edges too, for a view that was moved. */
void draw_blocks(CCEDraw& dc, const MapView& view, double lake_x, double lake_y) {
    CCEPen edge(1, 1, kBlockEdge);
    CCEPen park_edge(1, 1, kParkEdge);
    constexpr double kPitch = 58, kStreet = 12;
    for (int j = -12; j < 21; ++j) {
        for (int i = -14; i < 30; ++i) {
            const double x0 = i * kPitch, y0 = j * kPitch * 0.8;
            const double x1 = x0 + kPitch - kStreet, y1 = y0 + kPitch * 0.8 - kStreet;
            const POINT map_q[4] = {grid_point(x0, y0), grid_point(x1, y0), grid_point(x1, y1),
                                    grid_point(x0, y1)};
            const POINT centre = grid_point((x0 + x1) / 2, (y0 + y1) / 2);
            if (near_water(centre, lake_x, lake_y)) continue;
            POINT q[4];
            for (int k = 0; k < 4; ++k) q[k] = view.at(map_q[k].x, map_q[k].y);
            if (!on_screen_box(q)) continue;
            if ((i * 7 + j * 5) % 11 == 0) {
                std::vector<POINT> park = on_screen(view, park_shape(map_q));
                dc.FillPolygon(park.data(), static_cast<int>(park.size()), kPark, 0, 0);
                dc.SetGDIObject(&park_edge);
                dc.DrawPolygon(park.data(), static_cast<int>(park.size()));
            } else {
                dc.FillPolygon(q, 4, kBlock, 0, 0);
                dc.SetGDIObject(&edge);
                dc.DrawPolygon(q, 4);
            }
        }
    }
    dc.SetToDefaultPen();
}

void draw_water(CCEDraw& dc, const MapView& view, double lake_x, double lake_y) {
    std::vector<unsigned short> tile = water_tile();
    CCEPen shore(1, 2, kWaterEdge);
    dc.SetGDIObject(&shore);

    std::vector<POINT> r = river(view);
    dc.FillPolygon(r.data(), static_cast<int>(r.size()), 8, 8, tile.data());
    const int half = static_cast<int>(r.size()) / 2;
    dc.DrawPolyline(r.data(), half);
    dc.DrawPolyline(r.data() + half, half);

    std::vector<POINT> l = lake(view, lake_x, lake_y, 120, 80, 2600);
    dc.FillPolygon(l.data(), static_cast<int>(l.size()), 8, 8, tile.data());
    dc.DrawPolygon(l.data(), static_cast<int>(l.size()));
    dc.SetToDefaultPen();
}

}  // namespace

void draw_areas(CCEDraw& dc, const MapView& view) {
    const double lake_x = 610, lake_y = 330;
    draw_blocks(dc, view, lake_x, lake_y);
    draw_water(dc, view, lake_x, lake_y);
}

/* A translucent legend in the top-right corner with a swatch and a name per
 * area kind; it stays put while the map moves beneath it. */
void draw_legend(CCEDraw& dc) {
    dc.FillRect(606, 66, 748, 150, rgb565(255, 255, 255), 0.8f);
    dc.DrawRect(606, 66, 748, 150, rgb565(120, 120, 130));
    const unsigned short swatches[3] = {kBlock, kPark, rgb565(150, 190, 230)};
    const char16_t* const names[3] = {u"Blocks", u"Parks", u"Water"};
    dc.UseSysFont(1);
    CCEFont font(16, 16, 2, 400);
    CKESRAObject* previous = dc.SetGDIObject(&font);
    dc.SetTextColor(rgb565(50, 50, 60));
    for (int k = 0; k < 3; ++k) {
        const LONG top = 76 + k * 24;
        dc.FillRect(618, top, 640, top + 14, swatches[k]);
        dc.DrawRect(618, top, 640, top + 14, rgb565(90, 90, 100));
        dc.DrawTextW(names[k], -1, RECT{650, top - 4, 744, top + 18}, DT_LEFT | DT_VCENTER);
    }
    dc.SetGDIObject(previous);
    dc.UseSysFont(0);
}

}  // namespace navdemo
