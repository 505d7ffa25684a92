/* Pixel operations and presentation on an 800 x 480 screen; Clear and the
 * copies to the back buffer and the window as ratios to memset and memcpy
 * of the same bytes. */
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "bench/bench_harness.h"
#include "bench/bench_screen.h"

namespace {

constexpr size_t kScreenBytes = 800 * 480 * 2;

/* The references write the very bytes our calls write (the instance buffer,
 * the back buffer), so that both find the same data in the caches. */
struct Yardstick {
    BenchScreen screen;
    std::vector<uint8_t> window_copy = std::vector<uint8_t>(kScreenBytes);
    uint8_t* instance() { return screen.dc.GetBuffer(); }
    uint8_t* back() { return CCEGraphics::m_pBackBuffer; }
};

std::vector<kesra_bench::RatioCase> screen_cases() {
    auto y = std::make_shared<Yardstick>();
    HostSetForegroundWindow(y->screen.window);
    auto copy_to_back = [y] { std::memcpy(y->back(), y->instance(), kScreenBytes); };
    /* A frame for the colour-keyed copy, drawn at its first call: the key
     * over the right third of the screen (an overlay's see-through part),
     * the map colour elsewhere. */
    auto keyed_frame = std::make_shared<bool>(false);
    return {
        /* The same call on both sides: the harness's own bias, which should read 1. */
        {"harness check: memcpy 800 x 480", "memcpy", copy_to_back, copy_to_back, 0},
        {"Clear 800 x 480", "memset", [y] { y->screen.dc.Clear(0x1234); },
         [y] { std::memset(y->instance(), 0x34, kScreenBytes); }, 1.1},
        {"FlipBackBuffer 800 x 480", "memcpy", [y] { y->screen.dc.FlipBackBuffer(0, 0); }, copy_to_back, 1.1},
        {"FlipBackBuffer colour key 800 x 480", "memcpy",
         [y, keyed_frame] {
             if (!*keyed_frame) {
                 y->screen.dc.Clear(0xEF7D);
                 y->screen.dc.FillRect(500, 0, 799, 479, 0xF81F);
                 *keyed_frame = true;
             }
             y->screen.dc.FlipBackBuffer(1, 0xF81F);
         },
         copy_to_back, 2.0},
        {"Flip 800 x 480", "memcpy", [y] { y->screen.dc.Flip(3, 0, 0); },
         [y] { std::memcpy(y->window_copy.data(), y->back(), kScreenBytes); }, 0},
    };
}
KESRA_RATIO_CASES(screen_cases);

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
