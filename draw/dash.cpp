/* dash.cpp - dashed map polylines: the dash walker feeds two-point capsules
 * to one renderer for the whole call, only for the dashes that can be seen. */
#include "draw/dash.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "core/profile.h"
#include "draw/context.h"

namespace kesra {

namespace {

int64_t hold_to_capsule_limit(int64_t v) {
    return std::clamp<int64_t>(v, -kCapsuleCoordLimit, kCapsuleCoordLimit);
}

}  // namespace

DashView DashView::everything() {
    constexpr int64_t far = std::numeric_limits<int64_t>::max() / 4;
    return DashView{-far, far, -far, far, 0, 0, 0};
}

DashView DashView::of(const Canvas& c, const ClipBox& clip, int radius, int32_t offX, int32_t offY) {
    return DashView{std::max<int64_t>(clip.left, 0),
                    std::min<int64_t>(clip.right, int64_t{c.width} - 1),
                    std::max<int64_t>(clip.top, 0),
                    std::min<int64_t>(clip.bottom, int64_t{c.height} - 1),
                    int64_t{std::max(radius, 0)} + 1,
                    offX,
                    offY};
}

int64_t DashView::first_pixel(int64_t u, int64_t v, int64_t off) const {
    return hold_to_capsule_limit(std::min(u, v) - reach) - 1 + off;
}

int64_t DashView::last_pixel(int64_t u, int64_t v, int64_t off) const {
    return hold_to_capsule_limit(std::max(u, v) + reach) + 1 + off;
}

DashSegment DashSegment::of(POINT from, POINT to) {
    const int64_t dx = int64_t{to.x} - from.x, dy = int64_t{to.y} - from.y;
    const int64_t adx = std::llabs(dx), ady = std::llabs(dy);
    const bool x_major = adx >= ady;
    return DashSegment{from.x,           from.y, x_major ? adx : ady, x_major ? ady : adx, dx > 0 ? 1 : -1,
                       dy >= 0 ? 1 : -1, x_major};
}

POINT DashSegment::at(int64_t k) const {
    int64_t moved = 0;
    if (x_major)
        moved = floor_mul_div(k, minor, major);
    else if (k > 0)
        moved = floor_mul_div(k - 1, minor, major) + 1;
    const int64_t x = x_major ? x0 + sx * k : x0 + sx * moved;
    const int64_t y = x_major ? y0 + sy * moved : y0 + sy * k;
    return POINT{static_cast<LONG>(x), static_cast<LONG>(y)};
}

void draw_dash_polyline(const Canvas& c, const POINT* pts, int64_t n, int dashLen, const MapLineStyle& dash) {
    if (!c.origin) return;
    CapsuleRenderer renderer(c, dash.clip, dash.offX, dash.offY, dash.edgeColor);
    walk_dashes(
        pts, n, dashLen, DashView::of(c, dash.clip, dash.radius, dash.offX, dash.offY),
        [&](POINT first, POINT last) { renderer.draw_segment(first, last, dash.radius, dash.fillColor); });
}

}  // namespace kesra

using namespace kesra;

void CCEDraw::DrawDashLine(tagPOINT* pts, LONG n, tagRECT rc, int dashLen, int width, int, unsigned short,
                           unsigned short dashColor, int offX, int offY) {
    profile::count(profile::Kind::Road);
    draw_dash_polyline(canvas_of(*this), pts, n, dashLen,
                       MapLineStyle{dashColor, dashColor, width, ClipBox::of(rc), offX, offY});
}
