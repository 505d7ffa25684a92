/* coverage_blend.h - one row of built-in engine coverage (or a halo mask)
 * blended into RGB565 pixels in one colour: a cell v with 0 < v <= levels
 * blends at level v of 16, every other cell leaves its pixel alone. The
 * widest routine the processor runs is chosen at load time; the plain loop
 * states the result and the others are held to it. */
#ifndef KESRA_TEXT_COVERAGE_BLEND_H
#define KESRA_TEXT_COVERAGE_BLEND_H

#include <cstddef>
#include <cstdint>

#include "core/pixel.h"

namespace kesra {

/* n pixels from d, their cells from v; reads and writes nothing past either. */
void blend_coverage16(uint16_t* d, const uint8_t* v, size_t n, uint16_t color, int levels);

/* Eight pixels a step (AVX2 clone or the baseline), the row's last pixels one by one. */
void blend_coverage16_by8(uint16_t* d, const uint8_t* v, size_t n, uint16_t color, int levels);

/* Thirty-two pixels a step with AVX-512; only where wide_coverage_blend() says so. */
bool wide_coverage_blend();
void blend_coverage16_by32(uint16_t* d, const uint8_t* v, size_t n, uint16_t color, int levels);

inline void blend_coverage16_plain(uint16_t* d, const uint8_t* v, size_t n, uint16_t color, int levels) {
    for (size_t i = 0; i < n; ++i)
        if (v[i] > 0 && v[i] <= levels) d[i] = blend565_16(d[i], color, v[i]);
}

}  // namespace kesra

#endif
