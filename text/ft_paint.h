/* ft_paint.h - painting one FreeType glyph bitmap (grey or one-bit) into an
 * RGB565 canvas. The glyph's top-left pixel lands at (x0, y0); a pixel is drawn
 * only inside the inclusive clip box and the screen. Grey 255 stores the
 * colour, grey 1..254 blends it at level v * 32 / 256 (RGB565 screens only). */
#ifndef KESRA_TEXT_FT_PAINT_H
#define KESRA_TEXT_FT_PAINT_H

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdint>

#include "cedraw.h"
#include "core/canvas.h"

namespace kesra {

struct TextClip {
    int32_t left, top, right, bottom;  // inclusive on all four edges
};

struct GlyphInk {
    uint16_t color;
    bool outline;  // a one-pixel edge in outline_color around the glyph
    uint16_t outline_color;
    bool rgb565;  // the screen format allows blending
};

/* The fast painter: straight from the bitmap into the rows of the canvas. */
void paint_ft_glyph(const Canvas& canvas, const FT_Bitmap& bitmap, int32_t x0, int32_t y0,
                    const TextClip& clip, const GlyphInk& ink);

/* Whether the grey painter may take thirty-two pixels a step where the machine
 * has AVX-512 (the default), so that tests reach both blends; returns whether
 * it now does. */
bool allow_wide_glyph_blend(bool allowed);

/* The plain reference: one DrawPixel or DrawAlphaPixel call per glyph pixel.
 * paint_ft_glyph must leave exactly the same pixels. */
void paint_ft_glyph_reference(CCEDraw& dc, const FT_Bitmap& bitmap, int32_t x0, int32_t y0,
                              const TextClip& clip, const GlyphInk& ink);

}  // namespace kesra

#endif
