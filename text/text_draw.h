/* text_draw.h - strings laid out and painted by the glyph engines: the
 * FreeType routes of DrawTextW and DM_DrawText, and the built-in engine's.
 * Rectangles are inclusive; format flags 1/2 centre or right-align, 4/8 centre
 * vertically or bottom-align, centring winning. */
#ifndef KESRA_TEXT_TEXT_DRAW_H
#define KESRA_TEXT_TEXT_DRAW_H

#include <cstdint>

#include "cedraw.h"
#include "cefont.h"
#include "core/canvas.h"
#include "text/font_engine.h"

namespace kesra {

struct TextStart {
    int32_t x, y;
};

/* Where a line text_width wide starts inside rect for the format flags. */
TextStart align_text(const RECT& rect, UINT format, int32_t text_width, int32_t font_height);

/* What the routes draw with: the canvas, whether it blends, the font, the
 * string (count characters, count >= 0) and its rectangle. */
struct TextJob {
    Canvas canvas;
    bool rgb565;
    const CCEFont* font;
    const WCHAR* text;
    int count;
    RECT rect;
};

/* FreeType DrawTextW: 0 when no FreeType font is loaded, else 1. */
int ft_draw_text(const TextJob& job, UINT format, uint16_t color);

/* FreeType DM_DrawText; nothing without a FreeType font. */
void ft_draw_label(const TextJob& job, const DMX_tag_StringStruct& params);

/* Built-in engine: DrawTextW, and DM_DrawText with its optional edge pass. */
void builtin_draw_text(CCEDraw& dc, const TextJob& job, UINT format);
void builtin_draw_label(CCEDraw& dc, const TextJob& job, UINT format, const DMX_tag_StringStruct& params);

/* A colour record (blue, green, red, reserved) as a Color16. */
constexpr uint16_t color16_of(const RGBQUAD& c) {
    return static_cast<uint16_t>((c.rgbRed >> 3) << 11 | (c.rgbGreen >> 2) << 5 | c.rgbBlue >> 3);
}

}  // namespace kesra

#endif
