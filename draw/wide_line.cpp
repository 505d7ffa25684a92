/* wide_line.cpp - the clipped 2 x 2 wide line. The walk's error starts at 0
 * and gains the minor extent after each point; after k steps it is
 * k * minor mod major and the minor axis has moved floor(k * minor / major),
 * so the walk starts at the first point the clip box and the screen let
 * through, with the same pixels as a walk from p1. */
#include "draw/wide_line.h"

#include <algorithm>
#include <cstdlib>

#include "core/profile.h"
#include "draw/context.h"
#include "draw/walk.h"

namespace kesra {

namespace {

/* DrawPixel with size 2: the point, then the pixels right, below and
 * diagonal of it that lie on the screen. */
void put_block2(const Canvas& c, int64_t x, int64_t y, uint16_t color) {
    if (x < 0 || y < 0 || x >= c.width || y >= c.height) return;
    const int32_t px = static_cast<int32_t>(x), py = static_cast<int32_t>(y);
    *c.at(px, py) = color;
    const bool right = px + 1 < c.width, below = py + 1 < c.height;
    if (right) *c.at(px + 1, py) = color;
    if (below) *c.at(px, py + 1) = color;
    if (right && below) *c.at(px + 1, py + 1) = color;
}

}  // namespace

void draw_wide_line(const Canvas& c, POINT p1, POINT p2, uint16_t color, const ClipBox& clip) {
    if (!c.origin) return;
    const int64_t dx = int64_t{p2.x} - p1.x, dy = int64_t{p2.y} - p1.y;
    const int64_t adx = std::llabs(dx), ady = std::llabs(dy);
    const int sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
    const bool x_major = adx >= ady;
    const int64_t major = x_major ? adx : ady, minor = x_major ? ady : adx;
    const int s_major = x_major ? sx : sy, s_minor = x_major ? sy : sx;
    const int64_t start_major = x_major ? p1.x : p1.y, start_minor = x_major ? p1.y : p1.x;

    // Major coordinates that can be drawn: inside the clip box and the screen.
    const int64_t lo = x_major ? std::max(clip.left, 0) : std::max(clip.top, 0);
    const int64_t hi = x_major ? std::min(clip.right, c.width - 1) : std::min(clip.bottom, c.height - 1);
    int64_t k = s_major > 0 ? std::max<int64_t>(0, lo - start_major) : std::max<int64_t>(0, start_major - hi);
    const int64_t k_last =
        s_major > 0 ? std::min<int64_t>(major, hi - start_major) : std::min<int64_t>(major, start_major - lo);
    if (k > k_last) return;
    int64_t err = major ? (k * minor) % major : 0;
    int64_t moved = major ? (k * minor) / major : 0;
    WalkSteps steps;
    steps.add(static_cast<uint64_t>(k_last - k + 1));
    for (; k <= k_last; ++k) {
        const int64_t a = start_major + s_major * k, b = start_minor + s_minor * moved;
        const int64_t x = x_major ? a : b, y = x_major ? b : a;
        if (clip.contains(x, y)) put_block2(c, x, y, color);
        err += minor;
        if (err >= major) {
            err -= major;
            ++moved;
        }
    }
}

}  // namespace kesra

using namespace kesra;

void CCEDraw::DrawLine(tagPOINT p1, tagPOINT p2, int, unsigned short color, tagRECT rc) {
    profile::count(profile::Kind::Road);
    draw_wide_line(canvas_of(*this), p1, p2, color, ClipBox::of(rc));
}
