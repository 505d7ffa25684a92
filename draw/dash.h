/* dash.h - dashed map polylines and railways. The dash walker steps along
 * each segment with an integer walk (start point recorded, end point left to
 * the next segment) and cuts the positions into runs of dashLen; runs
 * alternate dash, gap, dash... across segment ends, and each dash is drawn as
 * one capsule from its first to its last position. */
#ifndef KESRA_DRAW_DASH_H
#define KESRA_DRAW_DASH_H

#include <cstdint>
#include <cstdlib>

#include "aa_line.h"
#include "core/canvas.h"
#include "wintypes.h"

namespace kesra {

/* The current run: only its first and last positions are drawn, so a run of
 * any length is kept in three values. The phase starts as a dash. */
struct DashRun {
    POINT first{0, 0};
    POINT last{0, 0};
    int64_t count = 0;
    bool dash = true;
};

/* Walks pts[0] ... pts[n - 1] and calls on_dash(first, last) for each dash
 * of at least two positions, the last shorter dash included. The error of the
 * walk starts at -|dx| whichever axis is major; a segment with dx = 0 steps
 * toward smaller x. A dash length below 2 draws nothing. */
template <class OnDash>
void walk_dashes(const POINT* pts, int64_t n, int dashLen, OnDash&& on_dash) {
    if (!pts || n < 2) return;
    DashRun run;
    auto record = [&](int64_t x, int64_t y) {
        const POINT p{static_cast<LONG>(x), static_cast<LONG>(y)};
        if (run.count++ == 0) run.first = p;
        run.last = p;
        if (run.count >= dashLen) {
            if (run.dash && run.count >= 2) on_dash(run.first, run.last);
            run.count = 0;
            run.dash = !run.dash;
        }
    };
    for (int64_t i = 0; i + 1 < n; ++i) {
        const int64_t dx = int64_t{pts[i + 1].x} - pts[i].x, dy = int64_t{pts[i + 1].y} - pts[i].y;
        const int64_t adx = std::llabs(dx), ady = std::llabs(dy);
        const int sx = dx > 0 ? 1 : -1, sy = dy >= 0 ? 1 : -1;
        int64_t x = pts[i].x, y = pts[i].y, err = -adx;
        if (adx >= ady) {
            for (int64_t k = 0; k < adx; ++k) {
                record(x, y);
                x += sx;
                err += ady;
                if (err >= 0) {
                    y += sy;
                    err -= adx;
                }
            }
        } else {
            for (int64_t k = 0; k < ady; ++k) {
                record(x, y);
                y += sy;
                err += adx;
                if (err >= 0) {
                    x += sx;
                    err -= ady;
                }
            }
        }
    }
    if (run.dash && run.count >= 2) on_dash(run.first, run.last);
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
