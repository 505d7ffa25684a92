/* bench_bitmap.cpp - CCEBitmap::Draw of a 256 x 256 image onto an 800 x 480
 * screen: raw opaque rows, a run-length pixel plane, and alpha planes raw and
 * coded (the icon case: long runs of transparent and opaque pixels). */
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "bench/bench_screen.h"
#include "bitmap/run_length.h"

namespace {

constexpr int kSide = 256;

struct Bench : BenchScreen {
    Bench() {
        HostSetForegroundWindow(window);
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) {
                pixels.push_back(static_cast<uint16_t>(((x / 16) * 0x0841) ^ (y / 8)));
                const int d = std::abs(x - kSide / 2) + std::abs(y - kSide / 2);
                alpha.push_back(static_cast<uint8_t>(d < 90 ? 31 : d < 110 ? (110 - d) * 31 / 20 : 0));
            }
        coded_pixels = kesra::encode_pixel_runs(pixels.data(), pixels.size());
        coded_alpha = kesra::encode_alpha_runs(alpha.data(), alpha.size());
    }
    /* Planes held by the caller, with size fields saying raw or coded. */
    void wrap(CCEBitmap& b, bool coded_px, bool with_alpha, bool coded_alpha_plane) {
        b.LoadBitmapTemp(coded_px ? coded_pixels.data() : reinterpret_cast<unsigned char*>(pixels.data()),
                         with_alpha ? (coded_alpha_plane ? coded_alpha.data() : alpha.data()) : nullptr,
                         kSide, kSide);
        b.m_nPixelSize = coded_px ? static_cast<int>(coded_pixels.size()) : kSide * kSide * 2;
        b.m_nAlphaSize = !with_alpha         ? 0
                         : coded_alpha_plane ? static_cast<int>(coded_alpha.size())
                                             : kSide * kSide;
    }
    std::vector<uint16_t> pixels;
    std::vector<uint8_t> alpha, coded_pixels, coded_alpha;
};

void run(benchmark::State& state, bool coded_px, bool with_alpha, bool coded_alpha) {
    Bench bench;
    CCEBitmap b;
    bench.wrap(b, coded_px, with_alpha, coded_alpha);
    for (auto _ : state) {
        b.Draw(&bench.dc, 100, 50, 0, 0, 0, 0, 1);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void BM_DrawRawOpaque(benchmark::State& s) { run(s, false, false, false); }
void BM_DrawCodedOpaque(benchmark::State& s) { run(s, true, false, false); }
void BM_DrawRawAlpha(benchmark::State& s) { run(s, false, true, false); }
void BM_DrawCodedAlpha(benchmark::State& s) { run(s, true, true, true); }
void BM_DrawRawPixelsCodedAlpha(benchmark::State& s) { run(s, false, true, true); }

}  // namespace

BENCHMARK(BM_DrawRawOpaque);
BENCHMARK(BM_DrawCodedOpaque);
BENCHMARK(BM_DrawRawAlpha);
BENCHMARK(BM_DrawCodedAlpha);
BENCHMARK(BM_DrawRawPixelsCodedAlpha);
