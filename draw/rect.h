/* rect.h - rectangle outlines, solid fills and fills blended with a float
 * opacity on a Canvas. Corners come in any order and both are inclusive.
 * Nothing is drawn unless at least one corner lies on the screen. */
#ifndef KESRA_DRAW_RECT_H
#define KESRA_DRAW_RECT_H

#include <cstdint>

#include "core/canvas.h"

namespace kesra {

/* The four one-pixel sides, each a span clipped to the screen. */
void rect_outline(const Canvas& c, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint16_t color);

/* The rectangle clamped to the screen, one span per row. */
void fill_rect(const Canvas& c, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint16_t color);

/* Each pixel mixed with the colour per channel in single precision:
 * channel = trunc(trunc(d * (1 - alpha)) + s * alpha). Alpha 1.0 fills solid;
 * alpha is held to 0 ... 1 (NaN counts as 0). */
void fill_rect_blended(const Canvas& c, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint16_t color,
                       float alpha);

/* The blend of one pixel as fill_rect_blended does it; the plain reference
 * for the table-driven fill. */
uint16_t blend_opacity565(uint16_t d, uint16_t s, float alpha);

}  // namespace kesra

#endif
