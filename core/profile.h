/* profile.h - the counting side of the frame profiler. One flag, read once
 * from KESRA_PROFILE when the library loads, guards every count; counters are
 * relaxed atomics because the overlay thread draws and presents too. */
#ifndef KESRA_CORE_PROFILE_H
#define KESRA_CORE_PROFILE_H

#include <atomic>
#include <cstdint>

namespace kesra::profile {

enum class Kind : int {
    Line,
    Polygon,
    Road,
    TextRun,
    Bitmap,
    Fill,
    Transition,
    GlyphHit,
    GlyphMiss,
    ImageHit,
    ImageMiss,
    Allocation,
    Count_
};

extern std::atomic<bool> g_on;
void add(Kind kind);

/* The one branch a primitive pays when profiling is off. */
inline void count(Kind kind) {
    if (__builtin_expect(g_on.load(std::memory_order_relaxed), false)) add(kind);
}

/* Brackets the presentation of one frame: flip_begins gives the time the
 * Flip started (0 when off), flip_ends closes the frame with it. */
int64_t flip_begins();
void flip_ends(int64_t started);

}  // namespace kesra::profile

#endif
