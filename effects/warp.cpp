/* warp.cpp - the trapezoid warp: the source is scaled into the target, then
 * each row (short edge at the bottom or top) or column (short edge on the
 * right or left) is squeezed between the two slanted edges, which the line
 * walker follows with one point per row or column. Everything outside the
 * trapezoid ends with alpha 0. Spans are clipped to the target. */
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "effects/scale_internal.h"
#include "effects/transforms.h"

namespace kesra {
namespace {

struct WarpEdges {
    tagLINEWALKER a{};
    tagLINEWALKER b{};
    ~WarpEdges() {
        free_line_walker(&a);
        free_line_walker(&b);
    }
};

void set_line(tagLINEWALKER& walker, LONG x0, LONG y0, LONG x1, LONG y1) {
    walker.ptStart = POINT{x0, y0};
    walker.ptEnd = POINT{x1, y1};
}

/* Squeezes the n entries of one line (pixels and alpha bytes step apart) into
 * positions a ... b - 1; every other entry becomes 0. */
void squeeze_line(uint16_t* pixels, uint8_t* alpha, size_t step, LONG n, LONG a, LONG b,
                  std::vector<uint16_t>& line_pixels, std::vector<uint8_t>& line_alpha) {
    for (LONG i = 0; i < n; ++i) {
        const size_t at = static_cast<size_t>(i) * step;
        line_pixels[static_cast<size_t>(i)] = pixels[at];
        line_alpha[static_cast<size_t>(i)] = alpha[at];
        pixels[at] = 0;
        alpha[at] = 0;
    }
    const int64_t span = int64_t{b} - a;
    if (span <= 0) return;
    const double s = static_cast<double>(span) / n;
    const double r = 1.0 / s;
    for (int64_t i = 0; i < span; ++i) {
        const int64_t pos = a + i;
        if (pos < 0 || pos >= n) continue;  // an edge beyond the image
        int from = nearest_index(static_cast<double>(i) * r);
        if (from > n - 1) from = n - 1;
        const size_t at = static_cast<size_t>(pos) * step;
        pixels[at] = line_pixels[static_cast<size_t>(from)];
        alpha[at] = line_alpha[static_cast<size_t>(from)];
    }
}

/* The walker's coordinate for line index i: x for rows, y for columns. */
LONG edge_at(const tagLINEWALKER& walker, LONG i, bool rows) {
    if (i >= walker.nCount) i = walker.nCount - 1;
    const POINT& p = walker.pPoints[i];
    return rows ? p.x : p.y;
}

}  // namespace

int effect_warp(tagEFFECTIMAGE* target, const tagEFFECTIMAGE& source) {
    if (!target || target->nHeight < 1 || target->nWidth < 1 || target->nWarpMode == 0) return 0;
    if (target->nEdgeFrom > target->nEdgeTo) std::swap(target->nEdgeFrom, target->nEdgeTo);

    effect_scale(target, source);
    if (!target->pPixels) return 0;  // nothing to warp when the scale was refused
    const LONG W = target->nWidth, H = target->nHeight;
    const LONG e = target->nEdgeFrom, f = target->nEdgeTo;
    const size_t count = static_cast<size_t>(W) * static_cast<size_t>(H);
    if (!target->pAlpha) {
        target->pAlpha = static_cast<uint8_t*>(std::malloc(count));
        if (!target->pAlpha) return 0;
        std::memset(target->pAlpha, 32, count);
    }

    WarpEdges edges;
    switch (target->nWarpMode) {
        case WARP_BOTTOM:
            set_line(edges.a, 0, 0, e, H);
            set_line(edges.b, W, 0, f, H);
            break;
        case WARP_TOP:
            set_line(edges.a, e, 0, 0, H);
            set_line(edges.b, f, 0, W, H);
            break;
        case WARP_RIGHT:
            set_line(edges.a, 0, 0, W, e);
            set_line(edges.b, 0, H, W, f);
            break;
        case WARP_LEFT:
            set_line(edges.a, 0, e, W, 0);
            set_line(edges.b, 0, f, W, H);
            break;
        default:
            return 1;  // only scaled
    }
    if (!walk_line(&edges.a) || !walk_line(&edges.b)) return 1;

    const bool rows = target->nWarpMode == WARP_BOTTOM || target->nWarpMode == WARP_TOP;
    const LONG lines = rows ? H : W;
    const LONG length = rows ? W : H;
    std::vector<uint16_t> line_pixels(static_cast<size_t>(length));
    std::vector<uint8_t> line_alpha(static_cast<size_t>(length));
    for (LONG i = 0; i < lines; ++i) {
        const size_t start = rows ? static_cast<size_t>(i) * static_cast<size_t>(W) : static_cast<size_t>(i);
        const size_t step = rows ? 1 : static_cast<size_t>(W);
        squeeze_line(target->pPixels + start, target->pAlpha + start, step, length, edge_at(edges.a, i, rows),
                     edge_at(edges.b, i, rows), line_pixels, line_alpha);
    }
    return 1;
}

}  // namespace kesra
