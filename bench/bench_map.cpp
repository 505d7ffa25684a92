/* A map frame on an 800 x 480 screen (bench/map_scene.h): the whole frame,
 * the roads alone, the tilted view, and a road far off the screen. The frame
 * beside cairo drawing the same is a ratio case of bench_peers. */
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/map_scene.h"

namespace {

void BM_MapFrame(benchmark::State& state) {
    BenchScreen s;
    const MapScene scene;
    for (auto _ : state) scene.draw(s.dc);
    state.SetItemsProcessed(state.iterations() * 3000);
}
BENCHMARK(BM_MapFrame)->Unit(benchmark::kMillisecond);

void BM_RoadSegments(benchmark::State& state) {
    BenchScreen s;
    const MapScene scene;
    for (auto _ : state) scene.draw_roads(s.dc);
    state.SetItemsProcessed(state.iterations() * 3000);
}
BENCHMARK(BM_RoadSegments)->Unit(benchmark::kMillisecond);

void BM_TiltedView(benchmark::State& state) {
    BenchScreen s;
    MapScene scene;
    POINT* route = scene.route.data();
    for (auto _ : state) {
        s.dc.DrawAntiPolyline3D(route, 8, 0xFFFF, 15, scene.screen);
        s.dc.DrawAntiPolylineBorder3D(route, 8, 0x0000, 21, scene.screen);
        s.dc.DrawAntiRouteline3D(route, 8, 0xFE60, 0xA800, 21, scene.screen);
    }
}
BENCHMARK(BM_TiltedView)->Unit(benchmark::kMicrosecond);

void BM_RoadFarOffScreen(benchmark::State& state) {
    BenchScreen s;
    const RECT screen{0, 0, 799, 479};
    POINT far[2] = {{-100000000, 240}, {100000000, 250}};
    for (auto _ : state) s.dc.DrawAntiPolyline(far, 2, 0x1234, 8, screen, 0, 0);
}
BENCHMARK(BM_RoadFarOffScreen)->Unit(benchmark::kMicrosecond);

}  // namespace
