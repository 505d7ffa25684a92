/* line_methods.cpp - the line, span and rectangle methods of CCEDraw: each
 * checks its arguments and hands plain values to the routines of lines.h and
 * rect.h. All of them draw into the instance buffer and return 1. */
#include "core/profile.h"
#include "draw/context.h"
#include "draw/lines.h"
#include "draw/rect.h"

using namespace kesra;

int CCEDraw::DrawLine(LONG x1, LONG y1, LONG x2, LONG y2) {
    profile::count(profile::Kind::Line);
    const PenShape pen = current_pen_shape(*this);
    if (m_pBuffer) pen_line(canvas_of(*this), x1, y1, x2, y2, pen);
    return 1;
}

int CCEDraw::DrawLine(tagPOINT& p1, tagPOINT& p2) { return DrawLine(p1.x, p1.y, p2.x, p2.y); }

int CCEDraw::IsLineNeedDraw(LONG x1, LONG y1, LONG x2, LONG y2) {
    return segment_box_meets(canvas_of(*this), x1, y1, x2, y2) ? 1 : 0;
}

void CCEDraw::IsPixelInLineNeedDraw(LONG& x1, LONG& y1, LONG& x2, LONG& y2) {
    clip_segment(canvas_of(*this), x1, y1, x2, y2);
}

/* The stamp is placed by (x, y) in the instance buffer; p, which callers
 * compute for the same point, is not trusted with the writes. */
int CCEDraw::DrawLinePixel(unsigned char*, LONG x, LONG y, int) {
    const PenShape pen = current_pen_shape(*this);
    if (m_pBuffer) pen_stamp(canvas_of(*this), x, y, pen);
    return 1;
}

int CCEDraw::DrawLinePort(unsigned char*, int x, int y) {
    const PenShape pen = current_pen_shape(*this);
    if (m_pBuffer) pen_cap(canvas_of(*this), x, y, pen);
    return 1;
}

int CCEDraw::DrawHLine(LONG x1, LONG y1, LONG x2, LONG y2, unsigned short color) {
    profile::count(profile::Kind::Line);
    if (m_pBuffer && y1 == y2) hspan(canvas_of(*this), x1, x2, y1, color);
    return 1;
}

int CCEDraw::DrawHLine(LONG x1, LONG y1, LONG x2, LONG y2, unsigned short* pattern, LONG pw, LONG ph) {
    profile::count(profile::Kind::Line);
    if (m_pBuffer && y1 == y2) hspan_pattern(canvas_of(*this), x1, x2, y1, Pattern{pattern, pw, ph});
    return 1;
}

int CCEDraw::DrawVLine(LONG x1, LONG y1, LONG x2, LONG y2, unsigned short color) {
    profile::count(profile::Kind::Line);
    if (m_pBuffer && x1 == x2) vspan(canvas_of(*this), x1, y1, y2, color);
    return 1;
}

int CCEDraw::DrawRect(LONG x1, LONG y1, LONG x2, LONG y2, unsigned short color) {
    profile::count(profile::Kind::Line);
    if (m_pBuffer) rect_outline(canvas_of(*this), x1, y1, x2, y2, color);
    return 1;
}

int CCEDraw::FillRect(LONG x1, LONG y1, LONG x2, LONG y2, unsigned short color) {
    profile::count(profile::Kind::Fill);
    if (m_pBuffer) fill_rect(canvas_of(*this), x1, y1, x2, y2, color);
    return 1;
}

int CCEDraw::FillRect(LONG x1, LONG y1, LONG x2, LONG y2, unsigned short color, float alpha) {
    profile::count(profile::Kind::Fill);
    if (m_pBuffer) fill_rect_blended(canvas_of(*this), x1, y1, x2, y2, color, alpha);
    return 1;
}

int CCEDraw::FillRect(tagRECT& rc, unsigned short color, float alpha) {
    return FillRect(rc.left, rc.top, rc.right, rc.bottom, color, alpha);
}
