/* perspective.h - roads of the tilted map view: widths scale with the screen
 * row of each segment end (narrow at the top, wide at the bottom), segments
 * are filled quadrilaterals with round joints and 1000-step fixed-point
 * anti-aliased sides. Rows and columns are screen pixels; the clip box
 * (inclusive) limits only the discs, the fill and the sides are limited by
 * the screen. */
#ifndef KESRA_DRAW_PERSPECTIVE_H
#define KESRA_DRAW_PERSPECTIVE_H

#include <cstdint>

#include "core/canvas.h"
#include "draw/capsule.h"
#include "wintypes.h"

namespace kesra {

constexpr int kMaxPerspectiveWidth = 149;

/* The nominal width made odd (an even width gains 1) within 1 ... 149. */
int perspective_base(int width);

/* The width at row y of a road of nominal width `base` in a clip box of
 * height clipHeight: odd, at least 1, at most 149. The scale is 1 at
 * mid-height and follows 9y^2 / (8(H/2)^2) - 3y / (4H) + 1/4 with y kept
 * within 20 ... H - 20. */
int perspective_width(int32_t y, int base, int64_t clipHeight);

/* One segment seen from its lower end L (larger y; the second point on equal
 * rows) towards its upper end U, with the widths there and the direction
 * of the band across the segment. */
struct PerspectiveSegment {
    POINT lower, upper;
    int lowerWidth, upperWidth;
    double sinTheta, cosTheta;  // theta = atan2(|yL - yU|, |xU - xL|)
    int side;                   // -1 when xL > xU, else +1
};

PerspectiveSegment perspective_segment(POINT a, POINT b, int base, int64_t clipHeight);

/* The two corners across end point e for a band of width w:
 * e1 = e - (ox, side * oy), e2 = e + (ox, side * oy) with ox = trunc(w sin / 2)
 * and oy = trunc(w cos / 2). */
struct CornerPair {
    POINT first, second;
};
CornerPair segment_corners(const PerspectiveSegment& seg, POINT e, int w);

/* Anti-aliased side line, 1000 steps per pixel: the two pixels across the
 * exact position share 255 levels scaled to 32; the end points get fixed
 * levels (15 and 15 when shallow, 1 and 15 when steep). */
void perspective_side_line(const Canvas& c, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint16_t color);

/* Midpoint disc of radius r round (cx, cy), one vertical span per column,
 * kept inside the clip box. */
void perspective_disc(const Canvas& c, const ClipBox& clip, int32_t cx, int32_t cy, int r, uint16_t color);

/* Anti-aliased ring of radius r: two pixels at level 11 at each step of the
 * midpoint circle on each of its 8 arcs, then the axis pixels; pixels met
 * twice are blended twice. Limited by the screen only. */
void perspective_ring(const Canvas& c, int32_t cx, int32_t cy, int r, uint16_t color);

void draw_anti_polyline_3d(const Canvas& c, const POINT* pts, int64_t n, uint16_t color, int width,
                           const ClipBox& clip);
void draw_anti_polyline_border_3d(const Canvas& c, const POINT* pts, int64_t n, uint16_t color, int width,
                                  const ClipBox& clip);

}  // namespace kesra

#endif
