/* route_line.cpp - the route line of the tilted view. Per segment: one
 * atan2 and the perspective widths of both ends; per band: trimmed lower
 * corners, a polygon fill, two table discs and two one-pixel capsule sides.
 * The working array holds one entry per segment for the call. */
#include "draw/route_line.h"

#include <algorithm>
#include <memory>
#include <new>

#include "core/pixel.h"
#include "core/profile.h"
#include "draw/aa_line.h"
#include "draw/context.h"
#include "draw/perspective.h"
#include "draw/polygon.h"
#include "draw/scratch.h"

namespace kesra {

int route_band_count(int lowerWidth) { return std::min(lowerWidth, kMaxRouteWidth) / 4 + 1; }

int route_band_width(int w, int m, int j) {
    const int band = std::min(w, kMaxRouteWidth) * (m - j) / m;
    return band != 0 && band % 2 == 0 ? band - 1 : band;
}

uint16_t route_band_color(uint16_t innerColor, uint16_t outerColor, int m, int j) {
    if (m == 2) return j == 0 ? outerColor : innerColor;
    const uint32_t inner = Color16ToColorRef(innerColor), outer = Color16ToColorRef(outerColor);
    const int step = m > 1 ? 255 / (m - 1) : 0;
    uint32_t ref = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const int in = static_cast<int>((inner >> shift) & 0xFF),
                  out = static_cast<int>((outer >> shift) & 0xFF);
        const int channel = m == 1 ? (in + out) / 2 : out + ((in - out) * step * j) / 256;
        ref |= static_cast<uint32_t>(channel) << shift;
    }
    return ColorRefToColor16(ref);
}

int route_band_in_slot(int m, int slot) {
    // Slots of bands are j * 38 / m; with m <= 38 no two bands share one.
    const int j = (slot * m + kRouteSlots - 1) / kRouteSlots;
    return j < m && j * kRouteSlots / m == slot ? j : -1;
}

void trim_corner_to_box(POINT& corner, POINT other, int64_t boxWidth, int64_t boxHeight) {
    const int64_t x = corner.x, y = corner.y;
    if (x >= 0 && x <= boxWidth && y >= 0 && y <= boxHeight) return;
    const int64_t dx = int64_t{other.x} - x, dy = int64_t{other.y} - y;
    if (dx == 0) {  // vertical: only a line through the box's inside is clamped
        if (x >= 1 && x <= boxWidth - 1) corner.y = static_cast<LONG>(std::clamp<int64_t>(y, 0, boxHeight));
        return;
    }
    if (dy == 0) {
        if (y >= 1 && y <= boxHeight - 1) corner.x = static_cast<LONG>(std::clamp<int64_t>(x, 0, boxWidth));
        return;
    }
    // Where the line meets a border, in integers truncated toward zero.
    auto x_at = [&](int64_t row) { return x + (row - y) * dx / dy; };
    auto y_at = [&](int64_t col) { return y + (col - x) * dy / dx; };
    if (y < 0) {
        const int64_t at = x_at(0);
        if (at > 0 && at < boxWidth) return void(corner = POINT{static_cast<LONG>(at), 0});
    }
    if (x < 0) {
        const int64_t at = y_at(0);
        if (at > 0 && at < boxHeight) return void(corner = POINT{0, static_cast<LONG>(at)});
    }
    if (x > boxWidth) {
        const int64_t at = y_at(boxWidth);
        if (at > 0 && at < boxHeight)
            return void(corner = POINT{static_cast<LONG>(boxWidth), static_cast<LONG>(at)});
    }
    if (y > boxHeight) {
        const int64_t at = x_at(boxHeight);
        if (at > 0 && at < boxWidth)
            return void(corner = POINT{static_cast<LONG>(at), static_cast<LONG>(boxHeight)});
    }
}

void draw_table_disc(const Canvas& c, const ClipBox& clip, int32_t cx, int32_t cy, int diameter,
                     uint16_t color) {
    if (diameter < 0) return;
    if (diameter % 2 == 0) ++diameter;  // a band 0 pixels wide at its upper end ends in one pixel
    diameter = std::min(diameter, 2 * kDiscTableRows - 1);
    const int r = (diameter - 1) / 2;
    const uint8_t* widths = disc_table_row(r);
    for (int i = 0; i < diameter; ++i) {
        const int64_t row = int64_t{cy} - r + i;
        if (row < clip.top || row > clip.bottom) continue;
        const int64_t left = std::max<int64_t>(int64_t{cx} - r + (diameter - widths[i]) / 2, clip.left);
        const int64_t right =
            std::min<int64_t>(int64_t{cx} - r + (diameter - widths[i]) / 2 + widths[i] - 1, clip.right);
        // Both ends lie within the clip box's columns here; hspan keeps to the screen.
        if (left <= right)
            hspan(c, static_cast<int32_t>(left), static_cast<int32_t>(right), static_cast<int32_t>(row),
                  color);
    }
}

namespace {

struct RouteSegment {
    PerspectiveSegment geometry;
    int bands;
};

struct RouteColors {
    uint16_t inner, outer;
};

void draw_band(const Canvas& c, const ClipBox& clip, const RouteSegment& s, int j,
               const RouteColors& colors) {
    const PerspectiveSegment& g = s.geometry;
    const int lowerWidth = route_band_width(g.lowerWidth, s.bands, j);
    if (lowerWidth == 0) return;
    const int upperWidth = route_band_width(g.upperWidth, s.bands, j);
    const uint16_t color = route_band_color(colors.inner, colors.outer, s.bands, j);
    CornerPair lower = segment_corners(g, g.lower, lowerWidth);
    const CornerPair upper = segment_corners(g, g.upper, upperWidth);

    // Only the lower corners are brought back to the box the route lives in.
    const int64_t boxWidth = int64_t{clip.right} - clip.left, boxHeight = int64_t{clip.bottom} - clip.top;
    trim_corner_to_box(lower.first, upper.first, boxWidth, boxHeight);
    trim_corner_to_box(lower.second, upper.second, boxWidth, boxHeight);

    POINT quad[5] = {lower.first, upper.first, upper.second, lower.second, lower.first};
    fill_polygon(c, quad, 5, color);
    draw_table_disc(c, clip, g.lower.x, g.lower.y, lowerWidth, color);
    draw_table_disc(c, clip, g.upper.x, g.upper.y, upperWidth, color);

    const MapLineStyle side{color, color, 1, clip, 0, 0};
    const POINT first_side[2] = {lower.first, upper.first};
    const POINT second_side[2] = {lower.second, upper.second};
    draw_anti_polyline(c, first_side, 2, side);
    draw_anti_polyline(c, second_side, 2, side);
}

}  // namespace

void draw_route_line_3d(const Canvas& c, const POINT* pts, int64_t n, uint16_t innerColor,
                        uint16_t outerColor, int width, const ClipBox& clip) {
    if (!pts || n < 2 || !c.origin) return;
    const int64_t count = n - 1;
    // The segments' working array is kept from call to call: a frame allocates nothing.
    thread_local ScratchArray<RouteSegment> scratch;
    RouteSegment* segments = scratch.take(static_cast<size_t>(count));
    if (!segments) return;

    const int base = perspective_base(width);
    const int64_t height = int64_t{clip.bottom} - clip.top;
    for (int64_t i = 0; i < count; ++i) {
        segments[i].geometry = perspective_segment(pts[i], pts[i + 1], base, height);
        segments[i].bands = route_band_count(segments[i].geometry.lowerWidth);
    }
    const RouteColors colors{innerColor, outerColor};
    for (int slot = 0; slot < kRouteSlots; ++slot) {
        for (int64_t i = 0; i < count; ++i) {
            const int j = route_band_in_slot(segments[i].bands, slot);
            if (j >= 0) draw_band(c, clip, segments[i], j, colors);
        }
    }
}

}  // namespace kesra

using namespace kesra;

void CCEDraw::DrawAntiRouteline3D(tagPOINT* pts, LONG n, unsigned short innerColor, unsigned short outerColor,
                                  int width, tagRECT rc) {
    profile::count(profile::Kind::Road);
    draw_route_line_3d(canvas_of(*this), pts, n, innerColor, outerColor, width, ClipBox::of(rc));
}
