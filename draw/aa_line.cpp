/* aa_line.cpp - the anti-aliased map polylines of CCEDraw: thin skins over
 * draw_anti_polyline, which draws each segment as a filled, outlined capsule. */
#include "draw/aa_line.h"

#include "core/profile.h"
#include "draw/context.h"

namespace kesra {

void draw_anti_polyline(const Canvas& c, const POINT* pts, int64_t n, const MapLineStyle& style) {
    if (!pts || n < 2 || !c.origin) return;
    CapsuleRenderer renderer(c, style.clip, style.offX, style.offY, style.edgeColor);
    for (int64_t i = 0; i + 1 < n; ++i)
        renderer.draw_segment(pts[i], pts[i + 1], style.radius, style.fillColor);
}

}  // namespace kesra

using namespace kesra;

void CCEDraw::DrawAntiPolyline(tagPOINT* pts, LONG n, unsigned short color, int width, tagRECT rc, int offX,
                               int offY) {
    profile::count(profile::Kind::Road);
    draw_anti_polyline(canvas_of(*this), pts, n,
                       MapLineStyle{color, color, width, ClipBox::of(rc), offX, offY});
}

void CCEDraw::DrawAntiPolylineSide(tagPOINT* pts, int n, unsigned short fillColor, unsigned short edgeColor,
                                   int width, tagRECT rc) {
    profile::count(profile::Kind::Road);
    draw_anti_polyline(canvas_of(*this), pts, n,
                       MapLineStyle{fillColor, edgeColor, width, ClipBox::of(rc), 0, 0});
}
