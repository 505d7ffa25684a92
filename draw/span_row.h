/* span_row.h - the inner loops shared by spans, rectangle fills and the scan
 * fill: a run of pixels starting at a given address, stepping by a pitch.
 * Callers have clamped the run to the screen; nothing here tests bounds. */
#ifndef KESRA_DRAW_SPAN_ROW_H
#define KESRA_DRAW_SPAN_ROW_H

#include <cstdint>
#include <cstring>

#include "core/canvas.h"
#include "core/pixel.h"
#include "draw/lines.h"

namespace kesra {

/* count pixels of one colour from p on, step bytes apart: along a row
 * (Canvas::xpitch, contiguous) or down a column (the canvas's ypitch). */
inline void store_run(uint8_t* p, int32_t step, int64_t count, uint16_t color) {
    if (step == Canvas::xpitch) {
        fill565(reinterpret_cast<uint16_t*>(p), count, color);
        return;
    }
    for (int64_t i = 0; i < count; ++i, p += step) *reinterpret_cast<uint16_t*>(p) = color;
}

/* Columns lo ... hi (on the screen, lo <= hi) of row y from the pattern: the
 * pattern column runs one ahead of the screen column, modulo the width. */
inline void store_pattern_run(const Canvas& c, int32_t lo, int32_t hi, int32_t y, const Pattern& pat) {
    const uint16_t* row = pat.pixels + static_cast<int64_t>(y % pat.height) * pat.width;
    int32_t col = lo % pat.width;
    uint16_t* p = c.at(lo, y);
    // Pixels of a row are contiguous: copy the pattern row in pieces up to its end.
    int64_t left = int64_t{hi} - lo + 1;
    col = col + 1 == pat.width ? 0 : col + 1;
    while (left > 0) {
        const int64_t piece = left < pat.width - col ? left : pat.width - col;
        std::memcpy(p, row + col, static_cast<size_t>(piece) * sizeof(uint16_t));
        p += piece;
        left -= piece;
        col = 0;
    }
}

/* The part of lo ... hi inside 0 ... limit - 1; false when none is. */
inline bool clamp_run(int64_t& lo, int64_t& hi, int32_t limit) {
    if (lo > hi || hi < 0 || lo >= limit) return false;
    if (lo < 0) lo = 0;
    if (hi > limit - 1) hi = limit - 1;
    return true;
}

}  // namespace kesra

#endif
