/* coverage_blend.h - rows of built-in engine coverage (or of a halo mask)
 * blended into RGB565 pixels, one colour per row: a cell v with
 * 0 < v <= levels blends at level v of 16, every other cell leaves its pixel
 * alone. The widest routine the processor runs is chosen at load time; the
 * plain loop states the result and the others are held to it. */
#ifndef KESRA_TEXT_COVERAGE_BLEND_H
#define KESRA_TEXT_COVERAGE_BLEND_H

#include <cstddef>
#include <cstdint>

#include "core/pixel.h"

namespace kesra {

/* rows x columns cells over as many pixels: row j's pixels from
 * d + j * d_stride, its cells from v + j * v_stride, its colour
 * colors[j * color_step] (a step of 0: one colour for all). Nothing past a
 * row's last cell or pixel is read or written. */
struct CoverageRows {
    uint16_t* d;
    intptr_t d_stride;  // pixels
    const uint8_t* v;
    intptr_t v_stride;  // bytes
    const uint16_t* colors;
    intptr_t color_step;
    int rows, columns;
};

void blend_coverage16(const CoverageRows& box, int levels);

/* Eight pixels a step (AVX2 clone or the baseline), a row's last pixels one by one. */
void blend_coverage16_by8(const CoverageRows& box, int levels);

/* With AVX-512 (only where wide_coverage_blend() says so): rows of at most
 * sixteen cells two a step, wider ones thirty-two cells a step. */
bool wide_coverage_blend();
void blend_coverage16_by32(const CoverageRows& box, int levels);

inline void blend_coverage16_plain(const CoverageRows& box, int levels) {
    for (int j = 0; j < box.rows; ++j) {
        uint16_t* d = box.d + j * box.d_stride;
        const uint8_t* v = box.v + j * box.v_stride;
        const uint16_t color = box.colors[j * box.color_step];
        for (int i = 0; i < box.columns; ++i)
            if (v[i] > 0 && v[i] <= levels) d[i] = blend565_16(d[i], color, v[i]);
    }
}

}  // namespace kesra

#endif
