/* ceobject.h - the small value objects a drawing context selects: pens and
 * fonts, told apart by the type tag of their common base. */
#ifndef KESRA_CEOBJECT_H
#define KESRA_CEOBJECT_H

#include "wintypes.h"

KESRA_API_BEGIN

enum { GDI_TYPE_PEN = 10000, GDI_TYPE_FONT = 10001 };

class CKESRAObject {
   public:
    CKESRAObject() {}  // the derived constructors set the tag
    ~CKESRAObject() {}
    CKESRAObject& operator=(const CKESRAObject& other) {
        m_dwType = other.m_dwType;
        return *this;
    }

    DWORD m_dwType;
};

class CCEPen : public CKESRAObject {
   public:
    CCEPen();
    CCEPen(unsigned int style, unsigned int width, unsigned short color);
    ~CCEPen() {}
    int CreatePen(unsigned int style, unsigned int width, unsigned short color);
    CCEPen& operator=(const CCEPen& other);

    DWORD m_dwStyle;  // stored; no drawing operation reads it
    DWORD m_dwWidth;  // line width in pixels
    WORD m_wColor;    // Color16
};

class CCEFont : public CKESRAObject {
   public:
    CCEFont();
    CCEFont(int width, int height, int p9, int weight);
    ~CCEFont() {}
    int CreateFont(int width, int height, int p9);
    CCEFont& operator=(const CCEFont& other);

    LONG m_nWidth;
    LONG m_nHeight;
    LONG m_nWeight;  // for text drawn with the platform's fonts
    LONG m_nP1;      // rendering parameters of the text engine
    LONG m_nP2;      // glyph coverage levels
    LONG m_nP3;
    LONG m_nP4;
    LONG m_nP5;
    LONG m_nP6;
    LONG m_nP7;
    LONG m_nP8;
    LONG m_nP9;

   private:
    void reset_parameters();
};

KESRA_API_END

#endif
