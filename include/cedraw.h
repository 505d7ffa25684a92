/* cedraw.h - CCEDraw, the drawing context: a surface that draws into its own
 * RGB565 instance buffer. Pixel (x, y) lies at m_pBuffer + x * lXPitch +
 * y * lYPitch; the screen (0 <= x < width, 0 <= y < height) bounds every pixel
 * operation. Rectangles given to the primitives are inclusive on all edges.
 * Alpha levels are out of 32 (0 keeps the pixel, 32 gives the colour). */
#ifndef KESRA_CEDRAW_H
#define KESRA_CEDRAW_H

#include "cegraphics.h"
#include "ceobject.h"

KESRA_API_BEGIN

class CCEBitmap;

class CCEDraw : public CCEGraphics {
public:
    CCEDraw();
    ~CCEDraw();
    CCEDraw& operator=(const CCEDraw& other);

    /* Pixels. */
    void DrawPixel(LONG x, LONG y, unsigned short color, int size);
    void DrawPixel(unsigned char* p, LONG x, LONG y, unsigned short color);
    void FlipPixel(LONG x, LONG y, unsigned short color);
    void DrawAlphaPixel(LONG x, LONG y, unsigned short color, int alpha);
    unsigned short GetBitmapPointColor(unsigned char* p);
    int Clear(DWORD color);
    void CopyPixels(LONG x, LONG y, unsigned char* src, LONG nBytes);
    void CopyVideoBuffer(unsigned char* src);
    void BitBlt(LONG x, LONG y, LONG w, LONG h, CCEDraw* src, LONG sx, LONG sy);

    /* Lines, rectangles and clipping. */

    /* Polygons. */

    /* Anti-aliased map lines. */

    /* Dashed lines, railways and wide lines. */

    /* Perspective road and route lines. */

    /* Bitmaps. */

    /* The drawing-object slot: a pen or a font, chosen by the object's tag. */
    CKESRAObject* SetGDIObject(CKESRAObject* obj);
    CKESRAObject* GetGDIObject(DWORD type);
    void SetToDefaultPen();
    void SetToDefaultFont();

    /* Text colours and font size. */
    unsigned short SetTextColor(unsigned short color);
    unsigned short SetTextOutColor(unsigned short color);
    SIZE GetFontSize();

    /* Instance fields after those of CCEGraphics, in this order. */
    CCEPen* m_pPen;
    CCEFont* m_pFont;
    WORD m_wTextColor;
    WORD m_wTextOutColor;
    int m_nReserved[4];  // 280, 480, 640, 200: kept for the application

    static CCEPen m_PenDefault;
    static CCEFont m_FontDefault;
    static int m_bInited;
    static int m_bSysFont;

private:
    CCEDraw(const CCEDraw&) = delete;
};

KESRA_API_END

#endif
