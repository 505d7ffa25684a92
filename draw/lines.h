/* lines.h - the clip step, colour and pattern spans and the pen line on a
 * Canvas. Coordinates are screen pixels; every end point is inclusive; the
 * screen 0 <= x < width, 0 <= y < height bounds every write. Spans clamp once
 * per call and then write through the pitch without per-pixel tests. */
#ifndef KESRA_DRAW_LINES_H
#define KESRA_DRAW_LINES_H

#include <cstdint>

#include "core/canvas.h"

namespace kesra {

/* A repeating tile of width x height Color16 values, row after row. It is
 * addressed by screen position, so a pattern stays fixed to the screen. */
struct Pattern {
    const uint16_t* pixels;
    int32_t width;
    int32_t height;

    bool usable() const { return pixels && width > 0 && height > 0; }
};

/* ---- Clipping (clip.cpp) ---- */

/* True when the bounding box of the segment meets the screen. */
bool segment_box_meets(const Canvas& c, int32_t x1, int32_t y1, int32_t x2, int32_t y2);

/* Moves the end points of a segment onto the screen border where they lie
 * outside it. Vertical and horizontal segments are clamped per coordinate.
 * Otherwise the point with the smaller x comes back in (x1, y1) and the other
 * in (x2, y2), so the points may be exchanged. The first point moves along
 * the original line, the second along the line from the moved first point
 * (integer division truncating toward zero; the original line when the moved
 * first point shares the second's column); a segment that misses the screen
 * may come back still outside it, which the pen stamps tolerate. */
void clip_segment(const Canvas& c, int32_t& x1, int32_t& y1, int32_t& x2, int32_t& y2);

/* ---- Spans (span.cpp) ---- */

/* Row y from x1 to x2 (either order, inclusive) in one colour. Nothing when y
 * is off the screen or both x lie on the same side outside it; otherwise the
 * range is clamped to the screen. */
void hspan(const Canvas& c, int32_t x1, int32_t x2, int32_t y, uint16_t color);

/* Column x from y1 to y2 (either order, inclusive); the same rules with x and
 * y exchanged. */
void vspan(const Canvas& c, int32_t x, int32_t y1, int32_t y2, uint16_t color);

/* Row y from x1 to x2 with pixels of the pattern: pixel (x, y) takes
 * pattern[(y mod ph) * pw + ((x + 1) mod pw)]. Nothing when the pattern is
 * unusable (null pixels or a size below 1). */
void hspan_pattern(const Canvas& c, int32_t x1, int32_t x2, int32_t y, const Pattern& pattern);

/* ---- The pen line (line_pen.cpp) ---- */

/* The pen's geometry: a width of W pixels gives arms of h = W / 2 pixels to
 * the left and above, and e = h - 1 (W even) or h (W odd) to the right and
 * below, so the plus sign is W pixels across (1 pixel for W = 0 or 1). */
struct PenShape {
    uint32_t width;
    uint16_t color;
};

/* The pen's plus sign centred on (x, y); pixels off the screen are skipped. */
void pen_stamp(const Canvas& c, int32_t x, int32_t y, const PenShape& pen);

/* The end cap at (x, y): the pixels of the diamond |dx| + |dy| <= h - 1 whose
 * byte offset dx * xpitch + dy * ypitch from (x, y) is positive, that is the
 * half below the point and the pixels right of it on its row. Empty for
 * widths below 4. Pixels off the screen are skipped. */
void pen_cap(const Canvas& c, int32_t x, int32_t y, const PenShape& pen);

/* The pen line from (x1, y1) to (x2, y2): nothing when the segment's box
 * misses the screen; else the segment is clipped with clip_segment, both caps
 * are drawn, and the integer Bresenham walk stamps the pen at every point
 * from the first clipped point to the second. */
void pen_line(const Canvas& c, int32_t x1, int32_t y1, int32_t x2, int32_t y2, const PenShape& pen);

}  // namespace kesra

#endif
