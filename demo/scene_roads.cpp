/* scene_roads.cpp - roads, a railway and a ferry on the map, and a tilted
 * view of the route on the left of the frame. Map roads run along the
 * streets of the area layer's grid; the tilted view projects a small street
 * plan onto the screen, the perspective lines narrowing it towards the top. */
#include <cmath>
#include <initializer_list>
#include <vector>

#include "demo/scenes.h"

namespace navdemo {

namespace {
const RECT kFrame{0, 0, kWidth - 1, kHeight - 1};
}  // namespace

/* The street grid of the area layer: turned by 0.21 radians about the screen
 * centre, blocks 58 x 46.4 pixels apart with 12-pixel streets between them. */
constexpr double kPitchX = 58, kPitchY = 58 * 0.8, kStreet = 12;

POINT street_point(const MapView& view, double gx, double gy) {
    const double c = std::cos(kGridAngle), s = std::sin(kGridAngle);
    const double x = gx - kWidth / 2.0, y = gy - kHeight / 2.0;
    return view.at(kWidth / 2.0 + x * c - y * s, kHeight / 2.0 + x * s + y * c);
}

/* The centre line of street column i (between block columns i - 1 and i). */
std::vector<POINT> street_column(const MapView& view, int i) {
    std::vector<POINT> pts;
    const double gx = i * kPitchX - kStreet / 2;
    for (int j = -3; j <= 12; j += 3) pts.push_back(street_point(view, gx, j * kPitchY - kStreet / 2));
    return pts;
}

std::vector<POINT> street_row(const MapView& view, int j) {
    std::vector<POINT> pts;
    const double gy = j * kPitchY - kStreet / 2;
    for (int i = -3; i <= 18; i += 3) pts.push_back(street_point(view, i * kPitchX - kStreet / 2, gy));
    return pts;
}

namespace {

std::vector<POINT> on_screen(const MapView& view, std::initializer_list<POINT> map) {
    std::vector<POINT> pts;
    for (const POINT& p : map) pts.push_back(view.at(p.x, p.y));
    return pts;
}

void draw_polyline(CCEDraw& dc, std::vector<POINT>& pts, unsigned short fill, unsigned short side,
                   int radius) {
    dc.DrawAntiPolylineSide(pts.data(), static_cast<int>(pts.size()), fill, side, radius, kFrame);
}

/* The tilted view: ground point (x across, z ahead) seen from above the near
 * edge; the horizon lies at row 64, x = 0 at column 150. */
constexpr int kTiltRight = 299;
constexpr double kHorizon = 64, kNear = 80;

POINT ground_point(double x, double z) {
    const double scale = kNear / (z + kNear);
    return {static_cast<LONG>(std::lround(150 + x * scale)),
            static_cast<LONG>(std::lround(kHorizon + (kHeight - 1 - kHorizon) * scale))};
}

std::vector<POINT> ground_line(double x0, double z0, double x1, double z1, int steps) {
    std::vector<POINT> pts;
    for (int i = 0; i <= steps; ++i) {
        const double t = static_cast<double>(i) / steps;
        pts.push_back(ground_point(x0 + (x1 - x0) * t, z0 + (z1 - z0) * t));
    }
    return pts;
}

}  // namespace

void draw_roads(CCEDraw& dc, const MapView& view) {
    const unsigned short kStreetFill = rgb565(255, 255, 255), kStreetSide = rgb565(168, 160, 150);
    const unsigned short kMainFill = rgb565(255, 214, 120), kMainSide = rgb565(200, 140, 60);

    for (int i = 0; i < 16; i += 2) {
        std::vector<POINT> street = street_column(view, i);
        draw_polyline(dc, street, kStreetFill, kStreetSide, view.size(3));
    }
    for (int j = 0; j < 12; j += 2) {
        std::vector<POINT> street = street_row(view, j);
        draw_polyline(dc, street, kStreetFill, kStreetSide, view.size(3));
    }
    // Two main roads with a bend where they meet the river.
    std::vector<POINT> avenue = street_row(view, 5);
    draw_polyline(dc, avenue, kMainFill, kMainSide, view.size(5));
    std::vector<POINT> boulevard = street_column(view, 9);
    draw_polyline(dc, boulevard, kMainFill, kMainSide, view.size(5));
    std::vector<POINT> highway = on_screen(
        view,
        {{-620, 520}, {-20, 430}, {180, 400}, {330, 330}, {420, 250}, {560, 190}, {820, 170}, {1400, 150}});
    dc.DrawAntiPolylineSide(highway.data(), static_cast<int>(highway.size()), rgb565(250, 170, 80),
                            rgb565(180, 90, 30), view.size(7), kFrame);

    // The railway crosses the whole map; a ferry crosses the lake.
    std::vector<POINT> rail =
        on_screen(view, {{-600, 40}, {-10, 90}, {200, 130}, {380, 120}, {560, 160}, {810, 150}, {1400, 180}});
    dc.DrawRailway(rail.data(), static_cast<LONG>(rail.size()), kFrame, 10, 2, 0, rgb565(90, 90, 100),
                   rgb565(255, 255, 255), 0, 0);
    std::vector<POINT> ferry = on_screen(view, {{490, 300}, {560, 340}, {650, 320}, {735, 360}});
    dc.DrawDashLine(ferry.data(), static_cast<LONG>(ferry.size()), kFrame, 7, 1, 0, 0, rgb565(40, 90, 200), 0,
                    0);
}

/* The route on the map: along Harbour Avenue to the boulevard, then south
 * on it, a light line in a dark edge over the roads. */
void draw_route(CCEDraw& dc, const MapView& view) {
    const std::vector<POINT> avenue = street_row(view, 5), boulevard = street_column(view, 9);
    std::vector<POINT> route(avenue.begin() + 1, avenue.begin() + 4);
    route.push_back(street_point(view, 9 * kPitchX - kStreet / 2, 5 * kPitchY - kStreet / 2));
    route.insert(route.end(), boulevard.begin() + 3, boulevard.end());
    dc.DrawAntiPolylineSide(route.data(), static_cast<int>(route.size()), rgb565(120, 200, 255),
                            rgb565(20, 70, 190), view.size(4), kFrame);
}

void draw_tilted_view(CCEDraw& dc) {
    // Sky above the horizon, ground below it, and a frame line on the right.
    dc.FillRect(0, 0, kTiltRight, static_cast<LONG>(kHorizon), rgb565(160, 200, 235));
    dc.FillRect(0, static_cast<LONG>(kHorizon) + 1, kTiltRight, kHeight - 1, rgb565(214, 222, 200));
    dc.DrawVLine(kTiltRight + 1, 0, kTiltRight + 1, kHeight - 1, rgb565(60, 60, 70));
    const RECT view{0, 0, kTiltRight, kHeight - 1};

    std::vector<std::vector<POINT>> roads;
    roads.push_back(ground_line(0, 0, 0, 900, 12));  // the road ahead
    for (const double z : {40.0, 130.0, 320.0}) {    // cross streets
        // The fill and the sides keep only to the screen: end them inside the view.
        const double reach = (kTiltRight / 2 - 12) * (z + kNear) / kNear;
        roads.push_back(ground_line(-reach, z, reach, z, 16));
    }
    roads.push_back(ground_line(-60, 0, -700, 260, 10));  // a road leaving to the left
    roads.push_back(ground_line(120, 40, 120, 900, 12));  // a side street on the right
    for (auto& road : roads)
        dc.DrawAntiPolylineBorder3D(road.data(), static_cast<LONG>(road.size()), rgb565(110, 110, 110), 11,
                                    view);
    for (auto& road : roads)
        dc.DrawAntiPolyline3D(road.data(), static_cast<LONG>(road.size()), rgb565(250, 250, 250), 11, view);

    // The route: ahead to the second cross street, then right and ahead again.
    std::vector<POINT> route = ground_line(0, 0, 0, 130, 5);
    const std::vector<POINT> turn = ground_line(0, 130, 120, 130, 3);
    const std::vector<POINT> onward = ground_line(120, 130, 120, 900, 10);
    route.insert(route.end(), turn.begin() + 1, turn.end());
    route.insert(route.end(), onward.begin() + 1, onward.end());
    dc.DrawAntiRouteline3D(route.data(), static_cast<LONG>(route.size()), rgb565(120, 200, 255),
                           rgb565(20, 70, 190), 9, view);
}

}  // namespace navdemo
