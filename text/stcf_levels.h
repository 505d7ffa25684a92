/* stcf_levels.h - the steps after rasterising, on a cell of byte coverage
 * (rows width bytes apart, values 0..levels): smoothing of horizontal edges,
 * sharpening, edge rings (17 around the glyph, 19 around that), and the style
 * table that maps levels 0..16 and ring values 17..19 to output bytes. */
#ifndef KESRA_TEXT_STCF_LEVELS_H
#define KESRA_TEXT_STCF_LEVELS_H

#include <cstdint>

namespace kesra::stcf {

constexpr uint8_t kRing = 17;
constexpr uint8_t kSecondRing = 19;
constexpr int kStyleCount = 100;
constexpr int kStyleEntryBytes = 20;

/* Softens horizontal edges in rows 1 .. height - 2, in memory order. */
void smooth_edges(uint8_t* cell, int width, int height, int levels);

/* Each partial pixel becomes (24 v - its eight neighbours) / 16, within
 * 0..levels, from the cell as it was before; neighbours outside count 0.
 * before must hold width * height bytes. */
void sharpen(uint8_t* cell, int width, int height, int levels, uint8_t* before);

/* Marks empty neighbours of the glyph with 17 and, with second, empty
 * neighbours of those with 19. The border pixels are never centres. */
void add_rings(uint8_t* cell, int width, int height, bool second);

/* The process-wide style table, writable (ring values are stored into it). */
uint8_t* style_entry(int style);

}  // namespace kesra::stcf

#endif
