/* stcf_engine.h - the built-in outline font engine behind LoadFont: parse an
 * STCF image, measure a character, render its coverage, release. The record
 * points into the image, which must outlive it unchanged (finished cells are
 * cached by glyph and settings). Every read from the image is
 * checked against its size; the engine's work buffers and small-glyph store
 * are process-wide (text/stcf_state.h) and used from the drawing thread only. */
#ifndef KESRA_TEXT_STCF_ENGINE_H
#define KESRA_TEXT_STCF_ENGINE_H

#include <cstddef>
#include <cstdint>

#include "text/cell_ink.h"

namespace kesra {

struct StcfFontRecord;

namespace stcf {

/* The nine rendering integers of a CCEFont after width, height and weight. */
struct FontParams {
    int32_t encoding = 2;     // 0 single byte, 1 GBK, 2 UTF-16, 3 Big5, 4 Shift-JIS, 5 EUC-JP, 6 table pair
    int32_t levels = 16;      // 4, 6, 8, 12 or 16; anything else renders nothing
    int32_t adjust = 0;       // the em is drawn W + adjust by H + adjust, centred
    int32_t style = -1;       // 0..99 maps the coverage through the style table
    int32_t page = 1;         // Latin page, 1-based; out of range means 1
    int32_t background = -1;  // 0..255 fills empty pixels, 256 leaves them, else the style's own
    int32_t ring_value = -1;  // written into the style's ring entries when rings are on
    int32_t store = 0;        // nonzero: cells up to 24 x 24 go through the small-glyph store
    int32_t flags = 0;        // 1 smoothing, 2 sharpening, 4 edge rings, 8 a second ring
};

/* A character in its string: code units from text[0], units of them readable
 * (the inline composite 0xFFFF reads its data from text[2] on). */
struct CharRef {
    const char16_t* text;
    size_t units;
};

/* The record of an image beginning with "STCF", or null (wrong magic, no
 * Latin page, pages outside the image, no memory). */
StcfFontRecord* parse(const uint8_t* image, size_t size);

/* Frees the record and forgets its glyphs in the small-glyph store. */
void release(StcfFontRecord* record);

/* Code units the character at ch.text takes up: 1, or for an inline
 * composite the escape, the unit after it and its data (all of ch.units when
 * the data runs past them). Never more than ch.units, never less than 1. */
size_t char_units(CharRef ch);

/* Advance of one character: width unless the record exists, 5 <= width,
 * height <= 100 and the character is a Latin glyph or an inline composite. */
int32_t char_width(const StcfFontRecord* record, CharRef ch, int32_t width, int32_t height,
                   const FontParams& params);

/* True when render draws a width x height cell into capacity bytes. */
bool renders_cell(int32_t width, int32_t height, size_t capacity);

/* Renders one character into target (rows *width bytes apart, capacity bytes):
 * coverage 0..levels, 17 and 19 for ring pixels, or the style's bytes. A cell
 * outside 5..100 or larger than capacity leaves target and sizes untouched.
 * *width becomes the advance. With ink given, an unstyled cell written sets
 * *ink to its ink; anything else leaves *ink as it is. */
void render(const StcfFontRecord* record, CharRef ch, const FontParams& params, uint8_t* target,
            size_t capacity, int32_t* width, int32_t* height, CellInk* ink = nullptr);

}  // namespace stcf
}  // namespace kesra

#endif
