/* line_walker.cpp - the integer Bresenham walk that lists every point of a
 * line, one per step along its major axis, from ptStart to ptEnd. Points are
 * computed running upward along the major axis and reversed afterwards when
 * the line runs the other way, so both directions give the same points. */
#include <algorithm>
#include <cstdlib>
#include <utility>

#include "effects/transforms.h"

namespace kesra {
namespace {

/* Walks from (x0, y0) to (x1, y1) with x0 <= x1 along the major axis u;
 * put(u, v) stores one point. */
template <typename Put>
void bresenham(LONG u0, LONG v0, LONG u1, LONG v1, Put put) {
    const int64_t d = int64_t{u1} - u0;
    const int64_t e = std::llabs(int64_t{v1} - v0);
    const LONG step = int64_t{v1} - v0 >= 1 ? 1 : -1;
    int64_t err = -d;
    LONG v = v0;
    for (int64_t u = u0; u <= u1; ++u) {
        err += e;
        if (err > 0) {
            v += step;
            err -= d;
        }
        put(static_cast<LONG>(u), v);
    }
}

}  // namespace

int walk_line(tagLINEWALKER* walker) {
    if (!walker) return 0;
    const int64_t dx = std::llabs(int64_t{walker->ptEnd.x} - walker->ptStart.x);
    const int64_t dy = std::llabs(int64_t{walker->ptEnd.y} - walker->ptStart.y);
    const int64_t count = std::max(dx, dy) + 1;
    if (count - 1 < 1 || count > INT32_MAX) return 0;
    auto* points = static_cast<POINT*>(std::malloc(static_cast<size_t>(count) * sizeof(POINT)));
    if (!points) return 0;

    const bool x_major = dx > dy;
    const bool backward = x_major ? walker->ptStart.x > walker->ptEnd.x : walker->ptStart.y > walker->ptEnd.y;
    if (backward) {
        std::swap(walker->ptStart, walker->ptEnd);
        walker->bSwapped = 1;
    }
    const POINT a = walker->ptStart, b = walker->ptEnd;
    size_t n = 0;
    if (x_major) {
        bresenham(a.x, a.y, b.x, b.y, [&](LONG x, LONG y) { points[n++] = POINT{x, y}; });
    } else {
        bresenham(a.y, a.x, b.y, b.x, [&](LONG y, LONG x) { points[n++] = POINT{x, y}; });
    }
    if (walker->bSwapped) {
        std::swap(walker->ptStart, walker->ptEnd);
        std::reverse(points, points + n);
        walker->bSwapped = 0;
    }
    walker->nCount = static_cast<LONG>(count);
    walker->pPoints = points;
    return 1;
}

int free_line_walker(tagLINEWALKER* walker) {
    if (!walker) return 0;
    std::free(walker->pPoints);
    *walker = tagLINEWALKER{};
    return 1;
}

}  // namespace kesra
