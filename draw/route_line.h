/* route_line.h - the navigation route in the tilted view: each segment is a
 * tube of up to 38 concentric bands graded from the outer to the inner
 * colour, widest first. Bands are drawn slot by slot over the whole route so
 * that inner bands lie on top of outer ones at every joint. Widths follow the
 * perspective rule; discs at the joints come from a constant disc table. */
#ifndef KESRA_DRAW_ROUTE_LINE_H
#define KESRA_DRAW_ROUTE_LINE_H

#include <cstdint>

#include "core/canvas.h"
#include "draw/capsule.h"
#include "wintypes.h"

namespace kesra {

constexpr int kDiscTableRows = 75;       // radii 0 ... 74
constexpr int kDiscTableRowBytes = 150;  // widths of the 2r + 1 rows, then zeros
constexpr int kRouteSlots = 38;
constexpr int kMaxRouteWidth = 148;

/* Row r of the disc table: the span widths of a filled disc of diameter
 * 2r + 1, top to bottom; 0 <= r < kDiscTableRows. */
const uint8_t* disc_table_row(int r);

/* The number of bands of a segment whose lower end is w wide (1 ... 38). */
int route_band_count(int lowerWidth);

/* The width of band j of m at an end of width w (widths above 148 count as
 * 148): w (m - j) / m, made odd by taking 1 off an even non-zero width. */
int route_band_width(int w, int m, int j);

/* Band j of m: outerColor for the widest band, graded towards innerColor in
 * 8-bit channels; one band is the average of the two. */
uint16_t route_band_color(uint16_t innerColor, uint16_t outerColor, int m, int j);

/* The band of m that occupies slot `slot` (slot of band j is j * 38 / m), or
 * -1 when the slot is empty. */
int route_band_in_slot(int m, int slot);

/* Moves a corner that lies outside the box 0 ... boxWidth x 0 ... boxHeight
 * along the line towards `other` onto the first border it meets strictly
 * inside (top, left, right, bottom tried in that order). Axis-parallel lines
 * only clamp their running coordinate, and only when they pass through the
 * box's inside; otherwise the corner stays where it is. */
void trim_corner_to_box(POINT& corner, POINT other, int64_t boxWidth, int64_t boxHeight);

/* A disc of diameter D (even diameters, 0 too, gain 1; at most 149) from the table,
 * centred on (cx, cy), kept inside the clip box. */
void draw_table_disc(const Canvas& c, const ClipBox& clip, int32_t cx, int32_t cy, int diameter,
                     uint16_t color);

/* The whole route; nothing for n < 2, null pts or when the working arrays
 * (one entry per segment) cannot be had. */
void draw_route_line_3d(const Canvas& c, const POINT* pts, int64_t n, uint16_t innerColor,
                        uint16_t outerColor, int width, const ClipBox& clip);

}  // namespace kesra

#endif
