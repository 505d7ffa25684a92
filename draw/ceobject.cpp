/* ceobject.cpp - pens and fonts. CreateFont keeps the weight; only the
 * 4-argument constructor sets it. */
#include "ceobject.h"

CCEPen::CCEPen() : m_dwStyle(0), m_dwWidth(1), m_wColor(0) { m_dwType = GDI_TYPE_PEN; }

CCEPen::CCEPen(unsigned int style, unsigned int width, unsigned short color)
    : m_dwStyle(style), m_dwWidth(width), m_wColor(color) {
    m_dwType = GDI_TYPE_PEN;
}

int CCEPen::CreatePen(unsigned int style, unsigned int width, unsigned short color) {
    m_dwStyle = style;
    m_dwWidth = width;
    m_wColor = color;
    return 1;
}

CCEPen& CCEPen::operator=(const CCEPen& other) {
    CKESRAObject::operator=(other);
    m_dwStyle = other.m_dwStyle;
    m_dwWidth = other.m_dwWidth;
    m_wColor = other.m_wColor;
    return *this;
}

/* The default constructor leaves the weight unset in the system; it starts at
 * 0 here so that no font carries undefined memory. */
CCEFont::CCEFont() : m_nWidth(12), m_nHeight(12), m_nWeight(0), m_nP9(0) {
    m_dwType = GDI_TYPE_FONT;
    reset_parameters();
}

CCEFont::CCEFont(int width, int height, int p9, int weight)
    : m_nWidth(width), m_nHeight(height), m_nWeight(weight), m_nP9(p9) {
    m_dwType = GDI_TYPE_FONT;
    reset_parameters();
}

void CCEFont::reset_parameters() {
    m_nP1 = 2;
    m_nP2 = 16;
    m_nP3 = 0;
    m_nP4 = -1;
    m_nP5 = 1;
    m_nP6 = -1;
    m_nP7 = -1;
    m_nP8 = 0;
}

int CCEFont::CreateFont(int width, int height, int p9) {
    m_nWidth = width;
    m_nHeight = height;
    m_nP9 = p9;
    reset_parameters();
    return 1;
}

CCEFont& CCEFont::operator=(const CCEFont& other) {
    CKESRAObject::operator=(other);
    m_nWidth = other.m_nWidth;
    m_nHeight = other.m_nHeight;
    m_nWeight = other.m_nWeight;
    m_nP1 = other.m_nP1;
    m_nP2 = other.m_nP2;
    m_nP3 = other.m_nP3;
    m_nP4 = other.m_nP4;
    m_nP5 = other.m_nP5;
    m_nP6 = other.m_nP6;
    m_nP7 = other.m_nP7;
    m_nP8 = other.m_nP8;
    m_nP9 = other.m_nP9;
    return *this;
}
