/* wide_line.h - the two-pixel-wide aliased line clipped to a rectangle: a
 * Bresenham walk visits every major coordinate from p1 to p2 inclusive and
 * stamps a 2 x 2 block (right and down, cut at the screen) at each visited
 * point inside the inclusive clip box. */
#ifndef KESRA_DRAW_WIDE_LINE_H
#define KESRA_DRAW_WIDE_LINE_H

#include <cstdint>

#include "core/canvas.h"
#include "draw/capsule.h"
#include "wintypes.h"

namespace kesra {

void draw_wide_line(const Canvas& c, POINT p1, POINT p2, uint16_t color, const ClipBox& clip);

}  // namespace kesra

#endif
