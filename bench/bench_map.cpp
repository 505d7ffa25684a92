/* A map frame on an 800 x 480 screen: a few thousand road segments of radius
 * 2 to 12 with side lines, a railway, a dashed ferry line, and the route with
 * its casing in the tilted view. The roads are a seeded random street grid. */
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "bench/bench_screen.h"

namespace {

const RECT kScreen{0, 0, 799, 479};

/* Polylines of 6 points wandering across (and a little beyond) the screen. */
std::vector<std::vector<POINT>> street_grid(int roads) {
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

std::vector<POINT> route_points() {
    return {{420, 470}, {440, 400}, {470, 330}, {460, 260}, {520, 200}, {600, 150}, {640, 90}, {700, 40}};
}

void draw_roads(CCEDraw& dc, const std::vector<std::vector<POINT>>& roads) {
    int k = 0;
    for (const auto& road : roads) {
        const int radius = 2 + (k++ % 11);
        dc.DrawAntiPolylineSide(const_cast<POINT*>(road.data()), static_cast<int>(road.size()), 0xFFFF,
                                0x8410, radius, kScreen);
    }
}

void BM_MapFrame(benchmark::State& state) {
    BenchScreen s;
    const auto roads = street_grid(600);  // 3000 segments
    std::vector<POINT> rail{{-20, 300}, {200, 280}, {420, 310}, {820, 260}};
    std::vector<POINT> ferry{{0, 60}, {300, 120}, {790, 90}};
    std::vector<POINT> route = route_points();
    for (auto _ : state) {
        s.dc.Clear(0xEF7D);
        draw_roads(s.dc, roads);
        s.dc.DrawRailway(rail.data(), 4, kScreen, 12, 2, 0, 0x4208, 0xFFFF, 0, 0);
        s.dc.DrawDashLine(ferry.data(), 3, kScreen, 8, 1, 0, 0, 0x041F, 0, 0);
        s.dc.DrawAntiPolylineBorder3D(route.data(), 8, 0x0000, 21, kScreen);
        s.dc.DrawAntiRouteline3D(route.data(), 8, 0xFE60, 0xA800, 21, kScreen);
    }
    state.SetItemsProcessed(state.iterations() * 3000);
}
BENCHMARK(BM_MapFrame)->Unit(benchmark::kMillisecond);

void BM_RoadSegments(benchmark::State& state) {
    BenchScreen s;
    const auto roads = street_grid(600);
    for (auto _ : state) draw_roads(s.dc, roads);
    state.SetItemsProcessed(state.iterations() * 3000);
}
BENCHMARK(BM_RoadSegments)->Unit(benchmark::kMillisecond);

void BM_TiltedView(benchmark::State& state) {
    BenchScreen s;
    std::vector<POINT> route = route_points();
    for (auto _ : state) {
        s.dc.DrawAntiPolyline3D(route.data(), 8, 0xFFFF, 15, kScreen);
        s.dc.DrawAntiPolylineBorder3D(route.data(), 8, 0x0000, 21, kScreen);
        s.dc.DrawAntiRouteline3D(route.data(), 8, 0xFE60, 0xA800, 21, kScreen);
    }
}
BENCHMARK(BM_TiltedView)->Unit(benchmark::kMicrosecond);

void BM_RoadFarOffScreen(benchmark::State& state) {
    BenchScreen s;
    POINT far[2] = {{-100000000, 240}, {100000000, 250}};
    for (auto _ : state) s.dc.DrawAntiPolyline(far, 2, 0x1234, 8, kScreen, 0, 0);
}
BENCHMARK(BM_RoadFarOffScreen)->Unit(benchmark::kMicrosecond);

}  // namespace
