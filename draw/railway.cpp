/* railway.cpp - railways: a continuous anti-aliased line in the base colour
 * with dashes of the second colour and the same radius drawn over it. */
#include "core/profile.h"
#include "draw/context.h"
#include "draw/dash.h"

namespace kesra {

void draw_railway(const Canvas& c, const POINT* pts, int64_t n, int dashLen, uint16_t baseColor,
                  uint16_t dashColor, int radius, const ClipBox& clip, int32_t offX, int32_t offY) {
    draw_anti_polyline(c, pts, n, MapLineStyle{baseColor, baseColor, radius, clip, offX, offY});
    draw_dash_polyline(c, pts, n, dashLen, MapLineStyle{dashColor, dashColor, radius, clip, offX, offY});
}

}  // namespace kesra

using namespace kesra;

void CCEDraw::DrawRailway(tagPOINT* pts, LONG n, tagRECT rc, int dashLen, int width, int,
                          unsigned short baseColor, unsigned short dashColor, int offX, int offY) {
    profile::count(profile::Kind::Road);
    draw_railway(canvas_of(*this), pts, n, dashLen, baseColor, dashColor, width, ClipBox::of(rc), offX, offY);
}
