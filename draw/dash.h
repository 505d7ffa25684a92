/* dash.h - dashed map polylines and railways. Each segment records the
 * positions of an integer walk (start point recorded, end point left to the
 * next segment); the positions are cut into runs of dashLen that alternate
 * dash, gap, dash... across segment ends, and each dash is drawn as one
 * capsule from its first to its last position. Runs are located by counting,
 * so a polyline far off the screen costs only the dashes that can be seen. */
#ifndef KESRA_DRAW_DASH_H
#define KESRA_DRAW_DASH_H

#include <cstdint>

#include "core/canvas.h"
#include "draw/aa_line.h"
#include "draw/walk.h"
#include "wintypes.h"

namespace kesra {

/* Where a dash can leave pixels. The capsule round the chord from `first` to
 * `last` has its points within the chord's box grown by radius + 1 (table
 * points truncate) and held within +-kCapsuleCoordLimit; its fill and outline
 * reach one pixel further; then it moves by the offset and is cut to the clip
 * box and the screen. A dash whose box misses what is visible is left out,
 * which changes no pixel. */
struct DashView {
    int64_t x_lo, x_hi, y_lo, y_hi;  // visible pixels: the clip box within the screen
    int64_t reach;                   // radius + 1
    int64_t offX, offY;

    /* Every dash may show (for callers that want all of them). */
    static DashView everything();
    static DashView of(const Canvas& c, const ClipBox& clip, int radius, int32_t offX, int32_t offY);

    /* The first and the last pixel column (row) the dash can touch. */
    int64_t first_pixel(int64_t u, int64_t v, int64_t off) const;
    int64_t last_pixel(int64_t u, int64_t v, int64_t off) const;
};

/* The positions a segment records: its start point, then one per step of the
 * walk whose error starts at -|dx| whichever axis is major, up to but not
 * including its end point. After k steps the minor coordinate has moved
 * floor(k minor / major) times when x is major and 1 + floor((k - 1) minor /
 * major) times (k >= 1) when y is major, so any position is found directly. */
struct DashSegment {
    int64_t x0, y0;
    int64_t major, minor;  // major = number of positions recorded
    int sx, sy;            // sx is -1 when dx = 0
    bool x_major;

    static DashSegment of(POINT from, POINT to);
    POINT at(int64_t k) const;
};

/* Walks pts[0] ... pts[n - 1] as one string of positions cut into runs of
 * dashLen (dash, gap, dash ... across segment ends) and calls
 * on_dash(first, last) for each dash of at least two positions that the view
 * may show, the last shorter dash included, in the order of the polyline.
 * Runs are found from the position count, not walked; a dash length below 2
 * draws nothing. */
template <class OnDash>
void walk_dashes(const POINT* pts, int64_t n, int dashLen, const DashView& view, OnDash&& on_dash) {
    if (!pts || n < 2 || dashLen < 2) return;
    WalkSteps steps;
    const int64_t len = dashLen;
    auto may_show = [&](POINT f, POINT l) {
        return view.last_pixel(f.x, l.x, view.offX) >= view.x_lo &&
               view.first_pixel(f.x, l.x, view.offX) <= view.x_hi &&
               view.last_pixel(f.y, l.y, view.offY) >= view.y_lo &&
               view.first_pixel(f.y, l.y, view.offY) <= view.y_hi;
    };
    /* Positions are numbered from `phase`, the count so far modulo 2 dashLen,
     * so run r covers numbers r dashLen ... (r + 1) dashLen - 1 and is a dash
     * when r is even. A run left open at a segment's end is carried over. */
    int64_t phase = 0;
    bool open = false, open_dash = false;
    int64_t open_count = 0;
    POINT open_first{0, 0}, last_position{0, 0};
    for (int64_t i = 0; i + 1 < n; ++i) {
        const DashSegment seg = DashSegment::of(pts[i], pts[i + 1]);
        if (seg.major == 0) continue;
        const int64_t end = phase + seg.major;  // numbers phase ... end - 1 lie on this segment
        steps.add();
        if (open) {  // the run carried over ends here, or goes on to the next segment
            const int64_t run_end = (phase / len + 1) * len;
            if (run_end > end) {
                open_count += seg.major;
                phase = end % (2 * len);
                last_position = seg.at(seg.major - 1);
                continue;
            }
            if (open_dash) on_dash(open_first, seg.at(run_end - 1 - phase));
            open = false;
        }
        // Runs that begin and end on this segment; only those that may show.
        int64_t r = (phase + len - 1) / len, r_last = end / len - 1;
        const auto first_of = [&](int64_t run) { return seg.at(run * len - phase); };
        const auto last_of = [&](int64_t run) { return seg.at((run + 1) * len - 1 - phase); };
        if (narrow_steps(
                r, r_last,
                [&](int64_t k) {
                    return view.last_pixel(first_of(k).x, last_of(k).x, view.offX) >= view.x_lo;
                },
                steps) &&
            narrow_steps(
                r, r_last,
                [&](int64_t k) {
                    return view.first_pixel(first_of(k).x, last_of(k).x, view.offX) <= view.x_hi;
                },
                steps) &&
            narrow_steps(
                r, r_last,
                [&](int64_t k) {
                    return view.last_pixel(first_of(k).y, last_of(k).y, view.offY) >= view.y_lo;
                },
                steps) &&
            narrow_steps(
                r, r_last,
                [&](int64_t k) {
                    return view.first_pixel(first_of(k).y, last_of(k).y, view.offY) <= view.y_hi;
                },
                steps)) {
            for (r += r % 2; r <= r_last; r += 2) {
                steps.add();
                const POINT f = first_of(r), l = last_of(r);
                if (may_show(f, l)) on_dash(f, l);
            }
        }
        // A run that begins here and goes on past the segment's end.
        const int64_t tail = (end / len) * len;
        if (tail < end) {
            open = true;
            open_dash = (tail / len) % 2 == 0;
            open_count = end - tail;
            if (tail >= phase) open_first = seg.at(tail - phase);
        }
        phase = end % (2 * len);
        last_position = seg.at(seg.major - 1);
    }
    if (open && open_dash && open_count >= 2) on_dash(open_first, last_position);
}

/* Every dash, seen or not. */
template <class OnDash>
void walk_dashes(const POINT* pts, int64_t n, int dashLen, OnDash&& on_dash) {
    walk_dashes(pts, n, dashLen, DashView::everything(), on_dash);
}

/* Dashes of `dash.fillColor` (fill and edge) with the style's radius, clip
 * box and offset. */
void draw_dash_polyline(const Canvas& c, const POINT* pts, int64_t n, int dashLen, const MapLineStyle& dash);

/* A continuous line in baseColor with dashes of dashColor on top, both with
 * the same radius, clip box and offset. */
void draw_railway(const Canvas& c, const POINT* pts, int64_t n, int dashLen, uint16_t baseColor,
                  uint16_t dashColor, int radius, const ClipBox& clip, int32_t offX, int32_t offY);

}  // namespace kesra

#endif
