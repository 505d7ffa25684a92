/* polygon_outline.cpp - the vertex tests every polygon operation starts with,
 * closed outlines and open polylines of pen lines, and the fills behind the
 * all-outside rule. A vertex on x = width or y = height counts as inside. */
#include "draw/polygon.h"

namespace kesra {

bool all_points_outside(const Canvas& c, const POINT* pts, int n) {
    for (int i = 0; i < n; ++i) {
        const POINT& p = pts[i];
        if (!(p.x > c.width || p.y > c.height || p.x < 0 || p.y < 0)) return false;
    }
    return true;
}

bool all_points_inside(const Canvas& c, const POINT* pts, int n) {
    for (int i = 0; i < n; ++i) {
        const POINT& p = pts[i];
        if ((p.x < 0 && p.y < 0) || (p.x >= c.width && p.y >= c.height)) return false;
    }
    return true;
}

void fill_polygon(const Canvas& c, const POINT* pts, int n, uint16_t color) {
    if (all_points_outside(c, pts, n)) return;
    scan_fill(c, pts, n, color);
}

void fill_polygon_pattern(const Canvas& c, const POINT* pts, int n, const Pattern& pattern) {
    if (all_points_outside(c, pts, n)) return;
    scan_fill_pattern(c, pts, n, pattern);
}

void polygon_outline(const Canvas& c, const POINT* pts, int n, const PenShape& pen) {
    if (all_points_outside(c, pts, n)) return;
    for (int i = 0; i + 1 < n; ++i) pen_line(c, pts[i].x, pts[i].y, pts[i + 1].x, pts[i + 1].y, pen);
    pen_line(c, pts[0].x, pts[0].y, pts[n - 1].x, pts[n - 1].y, pen);
}

void polyline(const Canvas& c, const POINT* pts, int n, const PenShape& pen) {
    if (n < 2 || all_points_outside(c, pts, n)) return;
    for (int i = 0; i + 1 < n; ++i) pen_line(c, pts[i].x, pts[i].y, pts[i + 1].x, pts[i + 1].y, pen);
}

}  // namespace kesra
