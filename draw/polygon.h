/* polygon.h - polygon outlines and the scan fill on a Canvas. Vertices are
 * screen pixels; the polygon closes from the last vertex to the first. The
 * fill keeps an active edge list with x in fixed point of 12 fractional bits;
 * an edge covers rows y_top ... y_bottom - 1, and each span leaves out its left
 * pixel (column floor(x)) except at column 0. */
#ifndef KESRA_DRAW_POLYGON_H
#define KESRA_DRAW_POLYGON_H

#include <cstdint>

#include "core/canvas.h"
#include "draw/lines.h"
#include "wintypes.h"

namespace kesra {

/* True when every vertex lies outside the screen (x < 0, y < 0, x > width or
 * y > height; a vertex on x = width or y = height counts as inside), and for
 * n <= 0. Every polygon operation draws nothing when this holds, also for a
 * polygon around the whole screen. pts must not be null. */
bool all_points_outside(const Canvas& c, const POINT* pts, int n);

/* False at the first vertex beyond the top-left or the bottom-right corner of
 * the screen (both coordinates out on the same side). pts must not be null. */
bool all_points_inside(const Canvas& c, const POINT* pts, int n);

/* The scan fill itself, without the all-outside rule: colour spans, or
 * pattern spans addressed by screen position (nothing for an unusable
 * pattern). Any number of edges is filled; polygons of up to 2000 vertices
 * use tables of the calling thread, larger ones arrays that grow to the
 * largest polygon seen and are kept for later calls. Threads
 * may fill at the same time on canvases of their own. */
void scan_fill(const Canvas& c, const POINT* pts, int n, uint16_t color);
void scan_fill_pattern(const Canvas& c, const POINT* pts, int n, const Pattern& pattern);

/* The scan fill as a linked active list and one comparison sort: the
 * reference scan_fill is held to. */
void scan_fill_plain(const Canvas& c, const POINT* pts, int n, uint16_t color);

/* What FillPolygon does: nothing when all vertices are outside, else the
 * scan fill. pts must not be null. */
void fill_polygon(const Canvas& c, const POINT* pts, int n, uint16_t color);
void fill_polygon_pattern(const Canvas& c, const POINT* pts, int n, const Pattern& pattern);

/* Outlines of pen lines; nothing when all vertices are outside. The closed
 * outline draws vertex i to i + 1 for i = 0 ... n - 2 and then vertex 0 to
 * n - 1 (for n = 1 a line from the vertex to itself); the polyline draws the
 * lines i to i + 1 only and nothing for n < 2. pts must not be null. */
void polygon_outline(const Canvas& c, const POINT* pts, int n, const PenShape& pen);
void polyline(const Canvas& c, const POINT* pts, int n, const PenShape& pen);

}  // namespace kesra

#endif
