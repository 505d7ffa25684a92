/* dash.cpp - dashed map polylines: the dash walker feeds two-point capsules
 * to one renderer for the whole call. */
#include "draw/dash.h"

#include "draw/context.h"

namespace kesra {

void draw_dash_polyline(const Canvas& c, const POINT* pts, int64_t n, int dashLen, const MapLineStyle& dash) {
    if (!c.origin) return;
    CapsuleRenderer renderer(c, dash.clip, dash.offX, dash.offY, dash.edgeColor);
    walk_dashes(pts, n, dashLen,
                [&](POINT first, POINT last) { renderer.draw_segment(first, last, dash.radius, dash.fillColor); });
}

}  // namespace kesra

using namespace kesra;

void CCEDraw::DrawDashLine(tagPOINT* pts, LONG n, tagRECT rc, int dashLen, int width, int, unsigned short,
                           unsigned short dashColor, int offX, int offY) {
    draw_dash_polyline(canvas_of(*this), pts, n, dashLen,
                       MapLineStyle{dashColor, dashColor, width, ClipBox::of(rc), offX, offY});
}
