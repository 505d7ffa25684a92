/* Rectangle fills, pen lines and polygon scan fills on an 800 x 480 screen.
 * The polygons are map-like: wobbling rings of tens to thousands of vertices
 * reaching past the screen edges. */
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "bench/bench_harness.h"
#include "bench/bench_screen.h"

namespace {

/* memset of the very bytes the fill writes, so that both find them alike in
 * the caches. */
std::vector<kesra_bench::RatioCase> fill_cases() {
    auto s = std::make_shared<BenchScreen>();
    return {{"FillRect solid 800 x 480", "memset", [s] { s->dc.FillRect(0, 0, 799, 479, 0x7BEF); },
             [s] { std::memset(s->dc.GetBuffer(), 0x7B, 800 * 480 * 2); }, 1.1}};
}
KESRA_RATIO_CASES(fill_cases);

void BM_FillRectSolid(benchmark::State& state) {
    BenchScreen s;
    for (auto _ : state) s.dc.FillRect(0, 0, 799, 479, 0x7BEF);
    state.SetItemsProcessed(state.iterations() * 800 * 480);
}
BENCHMARK(BM_FillRectSolid);

void BM_FillRectBlended(benchmark::State& state) {
    BenchScreen s;
    for (auto _ : state) s.dc.FillRect(100, 60, 699, 419, 0x001F, 0.4f);
    state.SetItemsProcessed(state.iterations() * 600 * 360);
}
BENCHMARK(BM_FillRectBlended);

/* A fan of 64 lines across the screen with a pen of the given width. */
void BM_DrawLine(benchmark::State& state) {
    BenchScreen s;
    CCEPen pen(1, static_cast<unsigned>(state.range(0)), 0xF800);
    s.dc.SetGDIObject(&pen);
    for (auto _ : state)
        for (int i = 0; i < 64; ++i) s.dc.DrawLine(400, 240, (i * 97) % 900 - 50, (i * 53) % 580 - 50);
    state.SetItemsProcessed(state.iterations() * 64);
}
BENCHMARK(BM_DrawLine)->Arg(1)->Arg(5);

void BM_FillPolygonColour(benchmark::State& state) {
    BenchScreen s;
    std::vector<POINT> pts = map_area(static_cast<int>(state.range(0)), 400, 240, 330);
    const unsigned short color = 0x9E7F;
    for (auto _ : state) s.dc.FillPolygon(pts.data(), static_cast<int>(pts.size()), color, 0, 0);
    state.SetItemsProcessed(state.iterations() * 800 * 480);
}
BENCHMARK(BM_FillPolygonColour)->Arg(24)->Arg(400)->Arg(2000)->Arg(8000);

void BM_FillPolygonPattern(benchmark::State& state) {
    BenchScreen s;
    std::vector<POINT> pts = map_area(static_cast<int>(state.range(0)), 400, 240, 330);
    std::vector<unsigned short> tile(8 * 8);
    for (int i = 0; i < 64; ++i) tile[i] = static_cast<unsigned short>((i % 3) ? 0x9E7F : 0x7C1F);
    for (auto _ : state) s.dc.FillPolygon(pts.data(), static_cast<int>(pts.size()), 8, 8, tile.data());
    state.SetItemsProcessed(state.iterations() * 800 * 480);
}
BENCHMARK(BM_FillPolygonPattern)->Arg(24)->Arg(400)->Arg(2000)->Arg(8000);

}  // namespace
