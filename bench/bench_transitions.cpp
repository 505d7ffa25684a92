/* One step of each transition on an 800 x 480 screen, as the ratio of its
 * cost to a memcpy of the whole screen measured in the same run (counter
 * x_memcpy). A step is a whole transition's time divided by the frames it
 * presents (its finish included), on plain buffers without a window; and
 * the map zoom of a whole screen, in and out. */
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#include "cedraw.h"
#include "effects/transition.h"

namespace {

constexpr int kWidth = 800, kHeight = 480;
constexpr size_t kBytes = size_t(kWidth) * kHeight * 2;

struct Screens {
    Screens() : old_frame(kBytes / 2), new_frame(kBytes / 2), out(kBytes / 2) {
        for (size_t i = 0; i < old_frame.size(); ++i) {
            old_frame[i] = static_cast<uint16_t>(i * 2654435761u >> 16);
            new_frame[i] = static_cast<uint16_t>(i * 40503u);
        }
    }
    kesra::Canvas canvas(std::vector<uint16_t>& v) {
        return kesra::Canvas{reinterpret_cast<uint8_t*>(v.data()), kWidth * 2, kWidth, kHeight};
    }
    std::vector<uint16_t> old_frame, new_frame, out;
};

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

/* The fastest of several runs of 50 whole-screen copies, per copy. */
double memcpy_seconds() {
    static const double seconds = [] {
        std::vector<uint16_t> a(kBytes / 2, 1), b(kBytes / 2);
        double best = 1e9;
        for (int run = 0; run < 20; ++run) {
            const auto start = std::chrono::steady_clock::now();
            for (int i = 0; i < 50; ++i) {
                std::memcpy(b.data(), a.data(), kBytes);
                benchmark::DoNotOptimize(b.data());
                benchmark::ClobberMemory();
            }
            best = std::min(best, seconds_since(start) / 50);
        }
        return best;
    }();
    return seconds;
}

void BM_Memcpy(benchmark::State& state) {
    std::vector<uint16_t> a(kBytes / 2, 1), b(kBytes / 2);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), kBytes);
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    state.counters["x_memcpy"] = 1.0;
}
BENCHMARK(BM_Memcpy);

void BM_TransitionStep(benchmark::State& state) {
    const DWORD effect = static_cast<DWORD>(state.range(0));
    Screens s;
    const kesra::TransitionFrames frames{s.canvas(s.old_frame), s.canvas(s.new_frame), s.canvas(s.out),
                                         kBytes};
    size_t steps = 0;
    double per_step = 1e9;  // the fastest run, as for the memcpy
    const kesra::PresentSink count{[](void* n) { ++*static_cast<size_t*>(n); }, &steps};
    for (auto _ : state) {
        steps = 0;
        const auto start = std::chrono::steady_clock::now();
        kesra::run_transition(frames, effect, RECT{0, 0, kWidth, kHeight}, 500, count);
        per_step = std::min(per_step, seconds_since(start) / static_cast<double>(std::max<size_t>(steps, 1)));
        benchmark::DoNotOptimize(s.out.data());
    }
    state.counters["steps"] = static_cast<double>(steps);
    state.counters["x_memcpy"] = per_step / memcpy_seconds();
}

/* The map zoom of a whole screen by zoom / 100, as a ratio to the memcpy. */
void BM_ZoomMap(benchmark::State& state) {
    const double zoom = static_cast<double>(state.range(0)) / 100;
    Screens s;
    double best = 1e9;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        kesra::zoom_map(s.canvas(s.out), s.new_frame.data(), zoom);
        best = std::min(best, seconds_since(start));
        benchmark::DoNotOptimize(s.out.data());
    }
    state.counters["x_memcpy"] = best / memcpy_seconds();
}

}  // namespace

BENCHMARK(BM_ZoomMap)->ArgName("zoom_percent")->Arg(200)->Arg(137)->Arg(50)->Unit(benchmark::kMicrosecond);

BENCHMARK(BM_TransitionStep)
    ->ArgName("effect")
    ->Arg(RF_OUT | RF_ZOOMFRAME)
    ->Arg(RF_OUT | RF_FADE)
    ->Arg(RF_OUT | RF_SPLIT_V)
    ->Arg(RF_OUT | RF_SPLIT_H)
    ->Arg(RF_IN | RF_SPLIT_V)
    ->Arg(RF_OUT | RF_ZOOM)
    ->Arg(RF_OUT | RF_SLIDE_UP)
    ->Arg(RF_OUT | RF_SLIDE_DOWN)
    ->Arg(RF_OUT | RF_SLIDE_LEFT)
    ->Arg(RF_OUT | RF_SLIDE_RIGHT)
    ->Arg(RF_IN | RF_SLIDE_LEFT)
    ->Arg(RF_OUT | RF_SWING)
    ->Arg(RF_OUT | RF_TURN)
    ->Unit(benchmark::kMicrosecond);
