/* profile.cpp - the frame profiler's state: the switch, the counters of the
 * frame being drawn and the last presented frame. A frame closes when a Flip
 * ends; its counters are taken and zeroed at once, so a count made meanwhile
 * on another thread lands in one frame or the next, never in none. */
#include "core/profile.h"

#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <mutex>

#include "kesra_profile.h"

#ifndef KESRA_COUNTS_ALLOCATIONS
#define KESRA_COUNTS_ALLOCATIONS 0
#endif

namespace kesra::profile {
namespace {

bool environment_asks() {
    const char* v = std::getenv("KESRA_PROFILE");
    return v && v[0] && std::strcmp(v, "0") != 0;
}

int64_t now_us() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

struct State {
    std::array<std::atomic<uint32_t>, static_cast<size_t>(Kind::Count_)> counts{};
    std::mutex closing;  // guards what follows
    int64_t last_flip_end = now_us();
    uint32_t frames = 0;
    bool have_last = false;
    KesraFrameStats last{};
};

State& state() {
    static State s;
    return s;
}

uint32_t clamp_us(int64_t us) { return us < 0 ? 0 : us > INT32_MAX ? INT32_MAX : static_cast<uint32_t>(us); }

/* The stats field each counter fills, in the order of Kind. */
constexpr uint32_t KesraFrameStats::*kCountFields[] = {
    &KesraFrameStats::lines,       &KesraFrameStats::polygons,     &KesraFrameStats::roads,
    &KesraFrameStats::text_runs,   &KesraFrameStats::bitmaps,      &KesraFrameStats::fills,
    &KesraFrameStats::transitions, &KesraFrameStats::glyph_hits,   &KesraFrameStats::glyph_misses,
    &KesraFrameStats::image_hits,  &KesraFrameStats::image_misses, &KesraFrameStats::allocations,
};
static_assert(std::size(kCountFields) == static_cast<size_t>(Kind::Count_),
              "a stats field for every counter");

/* Copies (and, when take, zeroes) the counters into stats' count fields. */
void read_counts(KesraFrameStats& stats, bool take) {
    auto& counts = state().counts;
    for (size_t k = 0; k < counts.size(); ++k)
        stats.*kCountFields[k] = take ? counts[k].exchange(0, std::memory_order_relaxed)
                                      : counts[k].load(std::memory_order_relaxed);
}

void start_afresh() {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.closing);
    for (auto& a : s.counts) a.store(0, std::memory_order_relaxed);
    s.last_flip_end = now_us();
    s.frames = 0;
    s.have_last = false;
    s.last = KesraFrameStats{};
}

}  // namespace

std::atomic<bool> g_on{environment_asks()};

void add(Kind kind) { state().counts[static_cast<size_t>(kind)].fetch_add(1, std::memory_order_relaxed); }

int64_t flip_begins() { return g_on.load(std::memory_order_relaxed) ? now_us() : 0; }

void flip_ends(int64_t started) {
    if (!started || !g_on.load(std::memory_order_relaxed)) return;
    const int64_t ended = now_us();
    State& s = state();
    std::lock_guard<std::mutex> lock(s.closing);
    KesraFrameStats frame{};
    read_counts(frame, true);
    frame.frame = ++s.frames;
    frame.draw_us = s.last_flip_end ? clamp_us(started - s.last_flip_end) : 0;
    frame.flip_us = clamp_us(ended - started);
    s.last_flip_end = ended;
    s.last = frame;
    s.have_last = true;
}

}  // namespace kesra::profile

using namespace kesra::profile;

extern "C" {

int KesraProfileEnabled(void) { return g_on.load(std::memory_order_relaxed) ? 1 : 0; }

void KesraProfileSetEnabled(int on) {
    g_on.store(false, std::memory_order_relaxed);
    start_afresh();
    g_on.store(on != 0, std::memory_order_relaxed);
}

int KesraProfileLastFrame(KesraFrameStats* stats) {
    if (!stats) return 0;
    State& s = state();
    std::lock_guard<std::mutex> lock(s.closing);
    *stats = s.have_last ? s.last : KesraFrameStats{};
    return s.have_last ? 1 : 0;
}

int KesraProfileCurrentFrame(KesraFrameStats* stats) {
    if (!stats) return 0;
    *stats = KesraFrameStats{};
    read_counts(*stats, false);
    return 1;
}

int KesraProfileCountsAllocations(void) { return KESRA_COUNTS_ALLOCATIONS; }

}  // extern "C"
