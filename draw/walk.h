/* walk.h - what the integer line walks share: narrowing a range of steps to
 * those a monotone test lets through (by bisection, so a walk far off the
 * screen costs a few dozen probes), and the count of steps each walk takes,
 * which tests read to bound the work of a call without timing it. */
#ifndef KESRA_DRAW_WALK_H
#define KESRA_DRAW_WALK_H

#include <cstdint>

namespace kesra {

/* Steps, probes and positions visited by this thread's line walks so far.
 * Each walk adds its count once, when it ends. */
inline thread_local uint64_t t_walk_steps = 0;

/* Counts a walk's steps locally and adds them to t_walk_steps when done. */
class WalkSteps {
public:
    WalkSteps() = default;
    WalkSteps(const WalkSteps&) = delete;
    WalkSteps& operator=(const WalkSteps&) = delete;
    ~WalkSteps() { t_walk_steps += count_; }

    void add(uint64_t n = 1) { count_ += n; }

private:
    uint64_t count_ = 0;
};

/* Narrows [lo, hi] to the steps where holds(k) is true, for a test whose true
 * steps are a prefix or a suffix of the range (a coordinate of the walk
 * compared with a bound). False when no step is left. */
template <class Test>
bool narrow_steps(int64_t& lo, int64_t& hi, Test holds, WalkSteps& steps) {
    if (lo > hi) return false;
    const bool at_lo = holds(lo), at_hi = holds(hi);
    steps.add(2);
    if (at_lo && at_hi) return true;
    if (!at_lo && !at_hi) return false;
    // One boundary between lo and hi: bisect for it.
    int64_t a = lo, b = hi;  // holds(a) == at_lo, holds(b) == at_hi
    while (b - a > 1) {
        const int64_t mid = a + (b - a) / 2;
        steps.add();
        (holds(mid) == at_lo ? a : b) = mid;
    }
    if (at_lo)
        hi = a;
    else
        lo = b;
    return true;
}

/* floor(a * b / d) for d > 0 and a * b >= 0 or < 0, without overflow. */
inline int64_t floor_mul_div(int64_t a, int64_t b, int64_t d) {
    const __int128 p = static_cast<__int128>(a) * b;
    __int128 q = p / d;
    if (p % d != 0 && p < 0) --q;
    return static_cast<int64_t>(q);
}

}  // namespace kesra

#endif
