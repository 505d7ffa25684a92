/* map_scene.h - the map frame the map benchmarks draw on an 800 x 480
 * screen: a seeded street grid of 600 roads (3000 segments) of radius 2 to
 * 12 with side lines, a railway, a dashed ferry line, and the route with its
 * casing in the tilted view. */
#ifndef KESRA_BENCH_MAP_SCENE_H
#define KESRA_BENCH_MAP_SCENE_H

#include <random>
#include <vector>

#include "bench/bench_screen.h"

struct MapScene {
    static constexpr unsigned short kGround = 0xEF7D, kRoad = 0xFFFF, kRoadSide = 0x8410;
    static constexpr unsigned short kRail = 0x4208, kFerry = 0x041F, kRoute = 0xFE60, kRouteEdge = 0xA800,
                                    kCasing = 0x0000;
    static constexpr int kRouteWidth = 21;

    /* Polylines of 6 points wandering across (and a little beyond) the screen. */
    static std::vector<std::vector<POINT>> street_grid(int roads) {
        std::mt19937 rng(1881);
        std::uniform_int_distribution<int> start_x(-50, 850), start_y(-50, 530), step(-60, 60);
        std::vector<std::vector<POINT>> out(static_cast<size_t>(roads));
        for (auto& road : out) {
            POINT p{start_x(rng), start_y(rng)};
            for (int i = 0; i < 6; ++i) {
                road.push_back(p);
                p.x += step(rng);
                p.y += step(rng);
            }
        }
        return out;
    }
    static int road_radius(size_t k) { return 2 + static_cast<int>(k % 11); }

    std::vector<std::vector<POINT>> roads = street_grid(600);
    std::vector<POINT> rail{{-20, 300}, {200, 280}, {420, 310}, {820, 260}};
    std::vector<POINT> ferry{{0, 60}, {300, 120}, {790, 90}};
    std::vector<POINT> route{{420, 470}, {440, 400}, {470, 330}, {460, 260},
                             {520, 200}, {600, 150}, {640, 90},  {700, 40}};
    RECT screen{0, 0, 799, 479};

    void draw_roads(CCEDraw& dc) const {
        for (size_t k = 0; k < roads.size(); ++k)
            dc.DrawAntiPolylineSide(const_cast<POINT*>(roads[k].data()), static_cast<int>(roads[k].size()),
                                    kRoad, kRoadSide, road_radius(k), screen);
    }

    void draw(CCEDraw& dc) const {
        dc.Clear(kGround);
        draw_roads(dc);
        dc.DrawRailway(const_cast<POINT*>(rail.data()), 4, screen, 12, 2, 0, kRail, 0xFFFF, 0, 0);
        dc.DrawDashLine(const_cast<POINT*>(ferry.data()), 3, screen, 8, 1, 0, 0, kFerry, 0, 0);
        dc.DrawAntiPolylineBorder3D(const_cast<POINT*>(route.data()), 8, kCasing, kRouteWidth, screen);
        dc.DrawAntiRouteline3D(const_cast<POINT*>(route.data()), 8, kRoute, kRouteEdge, kRouteWidth, screen);
    }
};

#endif
