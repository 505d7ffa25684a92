/* perspective.cpp - perspective roads and their casings: per segment one
 * atan2, widths once per end, a polygon fill, midpoint discs or rings at the
 * joints and two fixed-point anti-aliased sides. Corners are kept within
 * +-kCapsuleCoordLimit so that the fills and walks never overflow. */
#include "draw/perspective.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/pixel.h"
#include "core/profile.h"
#include "draw/context.h"
#include "draw/polygon.h"
#include "draw/walk.h"

namespace kesra {

namespace {

LONG saturate(int64_t v) {
    return static_cast<LONG>(std::clamp<int64_t>(v, -kCapsuleCoordLimit, kCapsuleCoordLimit));
}

void blend_on_screen(const Canvas& c, int64_t x, int64_t y, uint16_t color, int32_t alpha) {
    if (x < 0 || y < 0 || x >= c.width || y >= c.height) return;
    uint16_t* p = c.at(static_cast<int32_t>(x), static_cast<int32_t>(y));
    *p = blend565(*p, color, alpha);
}

/* The exact position v (in thousandths) shared between the pixel it falls in
 * and the next one: q = ((1000 - r) * 256) >> 10 of 255, scaled to 32. */
void blend_across(const Canvas& c, int64_t v, int64_t along, bool shallow, uint16_t color) {
    const int64_t whole = v / 1000, r = v - 1000 * whole;
    const int64_t q = ((1000 - r) * 256) >> 10;
    const int32_t near_level = static_cast<int32_t>((q & 255) / 8);
    const int32_t far_level = static_cast<int32_t>((255 - (q & 255)) / 8);
    if (shallow) {
        blend_on_screen(c, along, whole, color, near_level);
        blend_on_screen(c, along, whole + 1, color, far_level);
    } else {
        blend_on_screen(c, whole, along, color, near_level);
        blend_on_screen(c, whole + 1, along, color, far_level);
    }
}

/* One step of the midpoint circle walk through the octant from the top: x
 * moves on, and y down where the midpoint d says the circle does. */
template <typename T>
void midpoint_step(T& x, T& y, T& d) {
    ++x;
    if (d < 0) {
        d += 2 * x + 1;
    } else {
        --y;
        d += 2 * (x - y) + 1;
    }
}

void fill_quad(const Canvas& c, const CornerPair& lower, const CornerPair& upper, uint16_t color) {
    POINT quad[5] = {lower.first, upper.first, upper.second, lower.second, lower.first};
    fill_polygon(c, quad, 5, color);
}

}  // namespace

int perspective_base(int width) {
    if (width < 1) return 1;
    if (width >= kMaxPerspectiveWidth) return kMaxPerspectiveWidth;
    return width % 2 == 0 ? width + 1 : width;
}

int perspective_width(int32_t y, int base, int64_t clipHeight) {
    int64_t row = std::max<int64_t>(y, 20);
    row = std::min<int64_t>(row, clipHeight - 20);
    const int64_t half = clipHeight / 2;
    // A clip box less than two rows high has no middle: the width stays as it is.
    const double scale =
        half == 0 ? 1.0 : 9.0 * row * row / (8.0 * half * half) - 3.0 * row / (4.0 * clipHeight) + 0.25;
    const double scaled = scale * base;
    int w = scaled >= kMaxPerspectiveWidth ? kMaxPerspectiveWidth : static_cast<int>(scaled);
    if (w % 2 == 0) ++w;
    return std::min(w, kMaxPerspectiveWidth);
}

PerspectiveSegment perspective_segment(POINT a, POINT b, int base, int64_t clipHeight) {
    PerspectiveSegment seg;
    seg.lower = a.y > b.y ? a : b;
    seg.upper = a.y > b.y ? b : a;
    seg.lowerWidth = perspective_width(seg.lower.y, base, clipHeight);
    seg.upperWidth = perspective_width(seg.upper.y, base, clipHeight);
    const double theta = std::atan2(std::fabs(static_cast<double>(seg.lower.y) - seg.upper.y),
                                    std::fabs(static_cast<double>(seg.upper.x) - seg.lower.x));
    seg.sinTheta = std::sin(theta);
    seg.cosTheta = std::cos(theta);
    seg.side = seg.lower.x > seg.upper.x ? -1 : 1;
    return seg;
}

CornerPair segment_corners(const PerspectiveSegment& seg, POINT e, int w) {
    const int64_t ox = static_cast<int64_t>(w * seg.sinTheta * 0.5);
    const int64_t oy = static_cast<int64_t>(w * seg.cosTheta * 0.5) * seg.side;
    return CornerPair{POINT{saturate(int64_t{e.x} - ox), saturate(int64_t{e.y} - oy)},
                      POINT{saturate(int64_t{e.x} + ox), saturate(int64_t{e.y} + oy)}};
}

void perspective_side_line(const Canvas& c, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint16_t color) {
    const int64_t adx = std::llabs(int64_t{x1} - x0), ady = std::llabs(int64_t{y1} - y0);
    const bool shallow = adx >= ady;
    if (shallow ? x0 > x1 : y0 > y1) {
        std::swap(x0, x1);
        std::swap(y0, y1);
    }
    blend_on_screen(c, x0, y0, color, shallow ? 15 : 1);
    blend_on_screen(c, x1, y1, color, 15);
    if (shallow && adx == 0) return;  // a single point: no slope, nothing between

    // Slope in thousandths, in single precision as the fixed-point walk expects.
    const float dx = static_cast<float>(int64_t{x1} - x0), dy = static_cast<float>(int64_t{y1} - y0);
    const float ratio = shallow ? dy / dx : dx / dy;
    const int64_t m = static_cast<int64_t>(ratio * 1000.0f);
    const int64_t start = shallow ? x0 : y0, end = shallow ? x1 : y1;
    const int64_t across0 = shallow ? y0 : x0;
    // Only the steps strictly between the ends that fall on the screen.
    const int64_t lo = std::max<int64_t>(start + 1, 0);
    const int64_t hi = std::min<int64_t>(end - 1, (shallow ? c.width : c.height) - 1);
    WalkSteps steps;
    if (lo <= hi) steps.add(static_cast<uint64_t>(hi - lo + 1));
    for (int64_t along = lo; along <= hi; ++along)
        blend_across(c, 1000 * across0 + m * (along - start), along, shallow, color);
}

void perspective_disc(const Canvas& c, const ClipBox& clip, int32_t cx, int32_t cy, int r, uint16_t color) {
    if (r < 0 || r > kMaxPerspectiveWidth) return;
    int half[kMaxPerspectiveWidth + 1];  // half height of the column dx from the centre, -1 when none
    std::fill(half, half + r + 1, -1);
    int x = 0, y = r, d = 1 - r;
    while (x < y) {
        midpoint_step(x, y, d);
        half[x] = std::max(half[x], y);
        half[y] = std::max(half[y], x);
    }
    half[0] = std::max(half[0], r);
    for (int dx = -r; dx <= r; ++dx) {
        const int h = half[dx < 0 ? -dx : dx];
        const int64_t col = int64_t{cx} + dx;
        if (h < 0 || col < clip.left || col > clip.right) continue;
        const int64_t top = std::max<int64_t>(int64_t{cy} - h, clip.top);
        const int64_t bottom = std::min<int64_t>(int64_t{cy} + h, clip.bottom);
        // Both ends lie within the clip box's rows here; vspan keeps to the screen.
        if (top <= bottom)
            vspan(c, static_cast<int32_t>(col), static_cast<int32_t>(top), static_cast<int32_t>(bottom),
                  color);
    }
}

void perspective_ring(const Canvas& c, int32_t cx, int32_t cy, int r, uint16_t color) {
    constexpr int32_t kLevel = 11;
    const int64_t x0 = cx, y0 = cy;
    int64_t i = 0, y = r, d = 1 - int64_t{r};
    do {
        midpoint_step(i, y, d);
        for (const int64_t sy : {-y, y}) {
            blend_on_screen(c, x0 + i, y0 + sy, color, kLevel);
            blend_on_screen(c, x0 + i - 1, y0 + sy, color, kLevel);
            blend_on_screen(c, x0 - i, y0 + sy, color, kLevel);
            blend_on_screen(c, x0 - i + 1, y0 + sy, color, kLevel);
        }
        for (const int64_t si : {-i, i}) {
            blend_on_screen(c, x0 + y, y0 + si, color, kLevel);
            blend_on_screen(c, x0 + y - 1, y0 + si, color, kLevel);
            blend_on_screen(c, x0 - y, y0 + si, color, kLevel);
            blend_on_screen(c, x0 - y + 1, y0 + si, color, kLevel);
        }
    } while (i < y);
    blend_on_screen(c, x0 - r, y0, color, kLevel);
    blend_on_screen(c, x0, y0 - r, color, kLevel);
    blend_on_screen(c, x0, y0 - r + 1, color, kLevel);
    blend_on_screen(c, x0 + r, y0, color, kLevel);
    blend_on_screen(c, x0, y0 + r, color, kLevel);
    blend_on_screen(c, x0, y0 + r - 1, color, kLevel);
}

namespace {

/* Each segment of the polyline pts[0..n) in turn with its corners at its
 * lower and upper ends; nothing for fewer than two points. */
template <typename Draw>
void for_each_segment(const Canvas& c, const POINT* pts, int64_t n, int width, const ClipBox& clip,
                      Draw draw) {
    if (!pts || n < 2 || !c.origin) return;
    const int base = perspective_base(width);
    const int64_t height = int64_t{clip.bottom} - clip.top;
    for (int64_t i = 0; i + 1 < n; ++i) {
        const PerspectiveSegment seg = perspective_segment(pts[i], pts[i + 1], base, height);
        draw(seg, segment_corners(seg, seg.lower, seg.lowerWidth),
             segment_corners(seg, seg.upper, seg.upperWidth));
    }
}

/* The two anti-aliased sides from the lower corners to the upper ones. */
void draw_sides(const Canvas& c, const CornerPair& lower, const CornerPair& upper, uint16_t color) {
    perspective_side_line(c, lower.first.x, lower.first.y, upper.first.x, upper.first.y, color);
    perspective_side_line(c, lower.second.x, lower.second.y, upper.second.x, upper.second.y, color);
}

/* The corners one pixel further out, along x for a steep segment, else along y. */
void widen_by_a_pixel(const PerspectiveSegment& seg, CornerPair* lower, CornerPair* upper) {
    const bool steep =
        std::llabs(int64_t{seg.upper.x} - seg.lower.x) < std::llabs(int64_t{seg.lower.y} - seg.upper.y);
    for (CornerPair* pair : {lower, upper}) {
        if (steep) {
            pair->first.x = saturate(int64_t{pair->first.x} - 1);
            pair->second.x = saturate(int64_t{pair->second.x} + 1);
        } else {
            pair->first.y = saturate(int64_t{pair->first.y} - seg.side);
            pair->second.y = saturate(int64_t{pair->second.y} + seg.side);
        }
    }
}

}  // namespace

void draw_anti_polyline_3d(const Canvas& c, const POINT* pts, int64_t n, uint16_t color, int width,
                           const ClipBox& clip) {
    for_each_segment(c, pts, n, width, clip,
                     [&](const PerspectiveSegment& seg, const CornerPair& lower, const CornerPair& upper) {
                         fill_quad(c, lower, upper, color);
                         perspective_disc(c, clip, seg.lower.x, seg.lower.y, seg.lowerWidth / 2, color);
                         perspective_disc(c, clip, seg.upper.x, seg.upper.y, seg.upperWidth / 2, color);
                         draw_sides(c, lower, upper, color);
                     });
}

void draw_anti_polyline_border_3d(const Canvas& c, const POINT* pts, int64_t n, uint16_t color, int width,
                                  const ClipBox& clip) {
    for_each_segment(c, pts, n, width, clip,
                     [&](const PerspectiveSegment& seg, CornerPair lower, CornerPair upper) {
                         widen_by_a_pixel(seg, &lower, &upper);
                         perspective_ring(c, seg.lower.x, seg.lower.y, seg.lowerWidth / 2 + 1, color);
                         perspective_ring(c, seg.upper.x, seg.upper.y, seg.upperWidth / 2 + 1, color);
                         draw_sides(c, lower, upper, color);
                     });
}

}  // namespace kesra

using namespace kesra;

void CCEDraw::DrawAntiPolyline3D(tagPOINT* pts, LONG n, unsigned short color, int width, tagRECT rc) {
    profile::count(profile::Kind::Road);
    draw_anti_polyline_3d(canvas_of(*this), pts, n, color, width, ClipBox::of(rc));
}

void CCEDraw::DrawAntiPolylineBorder3D(tagPOINT* pts, LONG n, unsigned short color, int width, tagRECT rc) {
    profile::count(profile::Kind::Road);
    draw_anti_polyline_border_3d(canvas_of(*this), pts, n, color, width, ClipBox::of(rc));
}
