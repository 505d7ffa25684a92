/* polygon_methods.cpp - the polygon methods of CCEDraw: argument checks (a
 * null vertex array or an unusable pattern gives 0) in front of the routines
 * of polygon.h; everything else returns 1, drawn or not. */
#include "core/profile.h"
#include "draw/context.h"
#include "draw/polygon.h"

using namespace kesra;

int CCEDraw::DrawPolygon(tagPOINT* pts, int n) {
    profile::count(profile::Kind::Polygon);
    if (!pts) return 0;
    const PenShape pen = current_pen_shape(*this);
    if (m_pBuffer) polygon_outline(canvas_of(*this), pts, n, pen);
    return 1;
}

int CCEDraw::DrawPolyline(tagPOINT* pts, int n) {
    profile::count(profile::Kind::Polygon);
    if (!pts) return 0;
    const PenShape pen = current_pen_shape(*this);
    if (m_pBuffer) polyline(canvas_of(*this), pts, n, pen);
    return 1;
}

int CCEDraw::FillPolygon(tagPOINT* pts, int n, unsigned short color, int, int) {
    profile::count(profile::Kind::Polygon);
    if (!pts) return 0;
    if (m_pBuffer) fill_polygon(canvas_of(*this), pts, n, color);
    return 1;
}

/* A negative pattern size is refused like a zero one: it has no pixels. */
int CCEDraw::FillPolygon(tagPOINT* pts, int n, int pw, int ph, unsigned short* pattern) {
    profile::count(profile::Kind::Polygon);
    const Pattern tile{pattern, pw, ph};
    if (!pts || !tile.usable()) return 0;
    if (m_pBuffer) fill_polygon_pattern(canvas_of(*this), pts, n, tile);
    return 1;
}

int CCEDraw::IsAllPointOutside(tagPOINT* pts, int n) {
    if (!pts) return 0;
    return all_points_outside(canvas_of(*this), pts, n) ? 1 : 0;
}

int CCEDraw::IsAllPointInside(tagPOINT* pts, int n) {
    if (!pts) return 0;
    return all_points_inside(canvas_of(*this), pts, n) ? 1 : 0;
}
