/* walk.h - what the integer line walks share: narrowing a range of steps to
 * those a monotone test lets through (by bisection, so a walk far off the
 * screen costs a few dozen probes), the state of a walk at any step, and the
 * count of steps each walk takes, which tests read to bound the work of a
 * call without timing it. */
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

/* floor(a * b / d) for d > 0; the product is formed in 128 bits. */
inline int64_t floor_mul_div(int64_t a, int64_t b, int64_t d) {
    const __int128 p = static_cast<__int128>(a) * b;
    __int128 q = p / d;
    if (p % d != 0 && p < 0) --q;
    return static_cast<int64_t>(q);
}

/* The pen line's walk along its major axis (the midpoint scheme): the error
 * starts at 2 minor - major and gains 2 minor per step, losing 2 major (while
 * the minor coordinate moves) whenever it was positive. Before step i the
 * minor coordinate has moved max(0, ceil((2 minor i - major) / (2 major)))
 * times, so the walk can start at any step with the state of a walk from 0. */
struct MidpointWalk {
    int64_t start_major, start_minor;
    int64_t major, minor;  // extents, major >= minor >= 0
    int64_t s_major, s_minor;

    int64_t minor_moves(int64_t i) const {
        const __int128 num = static_cast<__int128>(2 * minor) * i - major;
        if (num <= 0) return 0;
        return static_cast<int64_t>((num + 2 * major - 1) / (2 * major));
    }
    int64_t major_at(int64_t i) const { return start_major + s_major * i; }
    int64_t minor_at(int64_t i) const { return start_minor + s_minor * minor_moves(i); }
    int64_t error_at(int64_t i) const {
        const __int128 e = static_cast<__int128>(2 * minor) * (i + 1) - major -
                           static_cast<__int128>(2 * major) * minor_moves(i);
        return static_cast<int64_t>(e);
    }
};

}  // namespace kesra

#endif
