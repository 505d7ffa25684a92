/* pixel_runs.h - the inner loops over contiguous runs of RGB565 pixels that
 * fills, clears, the colour-keyed copy and the bitmap blends share, each with
 * the widest vectors the processor offers (chosen at load time) and a plain
 * loop beside it that states its result; the two give the same pixels.
 * Nothing here tests bounds: callers pass runs that lie inside their buffers. */
#ifndef KESRA_DRAW_PIXEL_RUNS_H
#define KESRA_DRAW_PIXEL_RUNS_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/canvas.h"
#include "core/pixel.h"

namespace kesra {

/* n pixels of one colour from p on (fill565 hands long runs to this). */
void fill_run565(uint16_t* p, size_t n, uint16_t color);

/* dst[i] = src[i] wherever src[i] is not the key; other pixels are kept. */
void copy_keyed565(uint16_t* dst, const uint16_t* src, size_t n, uint16_t key);

/* The bitmap blend at each pixel's own level: levels of 31 and above copy the
 * source pixel, lower ones blend565 it in (level 0 keeps the pixel). The
 * source colours are read as bytes, two per pixel, at any alignment. */
void blend_bitmap_run565(uint16_t* d, const uint8_t* colors, const uint8_t* levels, size_t n);

/* blend565(d[i], s[i], level) for one level 0 ... 32 (source bytes as above);
 * blend_run565, below, takes runs shorter than a vector step itself. */
void blend_run565_wide(uint16_t* d, const uint8_t* colors, size_t n, int32_t level);

/* blend565(d[i], color, level) for one colour and one level 0 ... 32;
 * blend_color_run565, below, takes short runs itself. */
void blend_color_run565_wide(uint16_t* d, size_t n, uint16_t color, int32_t level);

/* Columns x0 ... x0 + n - 1 of the canvas in one colour, column i from row
 * top[i] to row bottom[i] inclusive (nothing where top[i] > bottom[i]). Every
 * column and every named row lie on the canvas. Written a block of columns
 * at a time, row after row, so stores run along rows rather than down the
 * columns; pixels of a block outside its spans are rewritten unchanged. */
void fill_column_spans(const Canvas& c, int32_t x0, const int16_t* top, const int16_t* bottom, size_t n,
                       uint16_t color);

/* The same with loads and stores of whole blocks (fill_column_spans's choice
 * where the processor lacks masked stores), callable on any processor. */
void fill_column_spans_blended(const Canvas& c, int32_t x0, const int16_t* top, const int16_t* bottom,
                               size_t n, uint16_t color);

/* ---- the plain loops the vector routines are held to ---- */

inline uint16_t load_color(const uint8_t* colors, size_t i) {
    uint16_t v;
    std::memcpy(&v, colors + 2 * i, sizeof v);
    return v;
}

inline void fill_run565_plain(uint16_t* p, size_t n, uint16_t color) {
    for (size_t i = 0; i < n; ++i) p[i] = color;
}

inline void copy_keyed565_plain(uint16_t* dst, const uint16_t* src, size_t n, uint16_t key) {
    for (size_t i = 0; i < n; ++i)
        if (src[i] != key) dst[i] = src[i];
}

inline void blend_bitmap_run565_plain(uint16_t* d, const uint8_t* colors, const uint8_t* levels, size_t n) {
    for (size_t i = 0; i < n; ++i)
        d[i] = levels[i] >= 31 ? load_color(colors, i) : blend565(d[i], load_color(colors, i), levels[i]);
}

inline void blend_run565_plain(uint16_t* d, const uint8_t* colors, size_t n, int32_t level) {
    for (size_t i = 0; i < n; ++i) d[i] = blend565(d[i], load_color(colors, i), level);
}

inline void blend_color_run565_plain(uint16_t* d, size_t n, uint16_t color, int32_t level) {
    for (size_t i = 0; i < n; ++i) d[i] = blend565(d[i], color, level);
}

inline void fill_column_spans_plain(const Canvas& c, int32_t x0, const int16_t* top, const int16_t* bottom,
                                    size_t n, uint16_t color) {
    for (size_t i = 0; i < n; ++i)
        for (int32_t y = top[i]; y <= bottom[i]; ++y) *c.at(x0 + static_cast<int32_t>(i), y) = color;
}

/* Runs shorter than one vector step (the edges of anti-aliased pictures
 * come as runs of a few pixels) are blended in place, without the call. */
constexpr size_t kShortBlendRun = 16;

inline void blend_run565(uint16_t* d, const uint8_t* colors, size_t n, int32_t level) {
    if (n < kShortBlendRun)
        blend_run565_plain(d, colors, n, level);
    else
        blend_run565_wide(d, colors, n, level);
}

inline void blend_color_run565(uint16_t* d, size_t n, uint16_t color, int32_t level) {
    if (n < kShortBlendRun)
        blend_color_run565_plain(d, n, color, level);
    else
        blend_color_run565_wide(d, n, color, level);
}

}  // namespace kesra

#endif
