/* Pixel operations and presentation on an 800 x 480 screen. */
#include <benchmark/benchmark.h>

#include "bench/bench_screen.h"

namespace {

void BM_Clear(benchmark::State& state) {
    BenchScreen s;
    for (auto _ : state) s.dc.Clear(0x1234);
    state.SetBytesProcessed(state.iterations() * 800 * 480 * 2);
}
BENCHMARK(BM_Clear);

void BM_DrawAlphaPixel(benchmark::State& state) {
    BenchScreen s;
    for (auto _ : state)
        for (int y = 0; y < 480; y += 4)
            for (int x = 0; x < 800; ++x) s.dc.DrawAlphaPixel(x, y, 0xF81F, 12);
    state.SetItemsProcessed(state.iterations() * 800 * 120);
}
BENCHMARK(BM_DrawAlphaPixel);

void BM_FlipBackBufferColourKey(benchmark::State& state) {
    BenchScreen s;
    for (auto _ : state) s.dc.FlipBackBuffer(1, 0xF81F);
    state.SetBytesProcessed(state.iterations() * 800 * 480 * 2);
}
BENCHMARK(BM_FlipBackBufferColourKey);

void BM_FlipWithDimming(benchmark::State& state) {
    BenchScreen s;
    s.dc.SetBlackSrceenLevel(state.range(0));
    for (auto _ : state) s.dc.Flip(3, 0, 0);
    s.dc.SetBlackSrceenLevel(0);
}
BENCHMARK(BM_FlipWithDimming)->Arg(0)->Arg(16);

}  // namespace
