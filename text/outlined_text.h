/* outlined_text.h - built-in engine text that stays legible on a busy map: a
 * blurred halo or a drop shadow behind each glyph, a vertical colour gradient
 * through it, a second colour scheme left of a split column and a sheen of
 * white stripes. The halo mask and the two gradient tables are process-wide
 * (OutlinedState) and used from the drawing thread only. */
#ifndef KESRA_TEXT_OUTLINED_TEXT_H
#define KESRA_TEXT_OUTLINED_TEXT_H

#include <array>
#include <cstdint>

#include "cedraw.h"
#include "text/font_dispatch.h"
#include "text/text_draw.h"

namespace kesra {

constexpr int kHaloMargin = 2;                              // the mask reaches 2 pixels past the glyph
constexpr int kHaloSide = kMaxGlyphSide + 2 * kHaloMargin;  // 44
constexpr int kGradientRows = kMaxGlyphSide;

/* One colour per glyph row, and the arguments it was last built from. */
struct GradientTable {
    std::array<uint16_t, kGradientRows> rows{};
    uint16_t top = 0, bottom = 0;
    int32_t count = 0;

    /* The colour of glyph row r; rows past the table take its last entry. */
    uint16_t at(int r) const { return rows[r < kGradientRows ? r : kGradientRows - 1]; }
};

struct OutlinedState {
    uint8_t HaloMaskBuffer[kHaloSide * kHaloSide] = {};  // rows (glyph width + 4) apart
    GradientTable RowGradientTable;                      // the main colours
    GradientTable AltRowGradientTable;                   // the colours left of the split
};

OutlinedState& outlined_state();

/* Fills table for rows rows from top to bottom, each channel stepping by
 * (bottom - top) / (rows - 1) in 8 bits. Fewer than 3 rows leave it as it is
 * and fail; the arguments it was last built from cost nothing. */
bool build_gradient(GradientTable& table, uint16_t top, uint16_t bottom, int32_t rows);

/* One glyph as the engine left it in the coverage buffer: rows stride bytes
 * apart, width x height of it painted, readable_rows rows inside the buffer. */
struct GlyphCoverage {
    const uint8_t* data;
    int stride;  // the font width
    int width;   // the glyph's advance
    int height;
    int readable_rows;

    /* Coverage at (x, y), 0 outside the glyph or the buffer. */
    int at(int x, int y) const {
        if (x < 0 || x >= stride || y < 0 || y >= height || y >= readable_rows) return 0;
        return data[y * stride + x];
    }
};

/* The halo of glyph g into mask: (width + 4) x (height + 4) values, rows
 * width + 4 apart, each the 5 x 5 weighted sum of coverage 1..16 around it
 * >> 5, at most 16; glyph pixel (x, y) lies under mask pixel (x + 2, y + 2).
 * The whole mask buffer is cleared first. Returns the mask's width and height
 * (at most 44 x 44: taller or wider glyphs lose the part past it). */
struct MaskSize {
    int width, height;
};
MaskSize make_halo_mask(const GlyphCoverage& g, uint8_t (&mask)[kHaloSide * kHaloSide]);

/* Sheen level added at distance d from the highlight's origin (0 past 33). */
int highlight_level(int32_t distance);

/* Modes 0 (halo) and 1 (drop shadow) of DrawTextWithDistinct on the built-in
 * engine: job.count >= 0 characters laid out by format in job.rect. */
void draw_outlined_text(const TextJob& job, UINT format, const tagDISTINCT_STRUCT& params);

}  // namespace kesra

#endif
