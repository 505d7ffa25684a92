/* pixel_ops.cpp - the pixel-level operations every primitive rests on: a
 * bounds test against the screen, then at most one read and one write. */
#include <cstring>

#include "core/canvas.h"
#include "core/pixel.h"
#include "core/profile.h"
#include "draw/context.h"

using namespace kesra;

void CCEDraw::DrawPixel(LONG x, LONG y, unsigned short color, int size) {
    const Canvas c = canvas_of(*this);
    if (!c.origin || !c.contains(x, y)) return;  // a context without a buffer draws nothing
    *c.at(x, y) = color;
    if (size != 2) return;
    const bool right = x + 1 < c.width, below = y + 1 < c.height;
    if (right) *c.at(x + 1, y) = color;
    if (below) *c.at(x, y + 1) = color;
    if (right && below) *c.at(x + 1, y + 1) = color;
}

void CCEDraw::DrawPixel(unsigned char* p, LONG x, LONG y, unsigned short color) {
    if (!canvas_of(*this).contains(x, y)) return;
    std::memcpy(p, &color, sizeof color);
}

void CCEDraw::FlipPixel(LONG x, LONG y, unsigned short color) {
    Canvas c = canvas_of(*this);
    if (!c.contains(x, y) || !m_pBackBuffer) return;
    c.origin = m_pBackBuffer;
    *c.at(x, y) = color;
}

void CCEDraw::DrawAlphaPixel(LONG x, LONG y, unsigned short color, int alpha) {
    const Canvas c = canvas_of(*this);
    if (!c.origin || !c.contains(x, y) || !(m_DisplayProps.dwFormat & DISPLAY_FORMAT_RGB565)) return;
    uint16_t* p = c.at(x, y);
    *p = blend565(*p, color, alpha);
}

unsigned short CCEDraw::GetBitmapPointColor(unsigned char* p) {
    return narrow565(p[2], p[1], p[0]);  // bytes blue, green, red
}

int CCEDraw::Clear(DWORD color) {
    profile::count(profile::Kind::Fill);
    const Canvas c = canvas_of(*this);
    if (!c.origin) return 1;
    const uint16_t value = static_cast<uint16_t>(color);
    if (int64_t{c.ypitch} == int64_t{c.width} * c.xpitch) {  // rows follow each other: one run
        fill565(c.at(0, 0), int64_t{c.width} * c.height, value);
        return 1;
    }
    for (int32_t y = 0; y < c.height; ++y) fill565(c.at(0, y), c.width, value);
    return 1;
}

/* The copy stops at the end of the instance buffer: a count that runs past it
 * is cut rather than written over foreign memory. */
void CCEDraw::CopyPixels(LONG x, LONG y, unsigned char* src, LONG nBytes) {
    const Canvas c = canvas_of(*this);
    if (!src || nBytes <= 0 || !c.origin || !c.contains(x, y)) return;
    const int64_t offset = static_cast<int64_t>(x) * c.xpitch + static_cast<int64_t>(y) * c.ypitch;
    const int64_t room = static_cast<int64_t>(m_lMemorySize) - offset;
    std::memcpy(c.at(x, y), src, static_cast<size_t>(nBytes < room ? nBytes : room));
}

void CCEDraw::CopyVideoBuffer(unsigned char* src) {
    if (!src || !m_pBuffer) return;
    std::memcpy(m_pBuffer, src, static_cast<size_t>(m_lMemorySize));
}

/* Both contexts share the screen geometry; the block is cut to the screen on
 * both sides, the two corners moving together. */
void CCEDraw::BitBlt(LONG x, LONG y, LONG w, LONG h, CCEDraw* src, LONG sx, LONG sy) {
    profile::count(profile::Kind::Bitmap);
    if (w < 1 || h < 1 || !src || !src->m_pBuffer || !m_pBuffer) return;
    const Canvas d = canvas_of(*this), s = display_canvas(src->m_pBuffer);
    Block b;
    if (!clip_block(x, y, sx, sy, w, h, s.width, s.height, d.width, d.height, &b)) return;
    const size_t row_bytes = static_cast<size_t>(b.w) * Canvas::xpitch;
    const bool upward = s.origin == d.origin && y > sy;  // overlapping block moving down
    for (int32_t i = 0; i < b.h; ++i) {
        const int32_t row = upward ? b.h - 1 - i : i;
        std::memmove(d.at(b.dx, b.dy + row), s.at(b.sx, b.sy + row), row_bytes);
    }
}
