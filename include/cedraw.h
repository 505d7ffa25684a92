/* cedraw.h - CCEDraw, the drawing context: a surface that draws into its own
 * RGB565 instance buffer. Pixel (x, y) lies at m_pBuffer + x * lXPitch +
 * y * lYPitch; the screen (0 <= x < width, 0 <= y < height) bounds every pixel
 * operation. Rectangles given to the primitives are inclusive on all edges.
 * Alpha levels are out of 32 (0 keeps the pixel, 32 gives the colour). */
#ifndef KESRA_CEDRAW_H
#define KESRA_CEDRAW_H

#include "cefont.h"
#include "cegraphics.h"
#include "ceobject.h"

KESRA_API_BEGIN

class CCEBitmap;

/* A transition: a direction bit and an effect bit, the animated area and a
 * speed (steps = nTime / 100, held per effect). */
struct tagRENDERFLIP_STRUCT {
    DWORD dwEffect;
    tagRECT rcArea;
    LONG nTime;
};

enum : DWORD {
    RF_OUT = 0x1,  // the old frame moves away
    RF_IN = 0x2,   // the new frame comes in
    RF_SPLIT_V = 0x100,
    RF_SPLIT_H = 0x200,
    RF_FADE = 0x400,
    RF_ZOOMFRAME = 0x800,
    RF_ZOOM = 0x1000,
    RF_SWING = 0x2000,
    RF_SLIDE_UP = 0x4000,
    RF_SLIDE_DOWN = 0x8000,
    RF_SLIDE_LEFT = 0x10000,
    RF_SLIDE_RIGHT = 0x20000,
    RF_TURN = 0x40000,
};

/* Outlined text (DrawTextWithDistinct), passed by value: ten 32-bit fields.
 * Colour pairs hold the glyph's top-row Color16 in the low 16 bits and its
 * bottom-row Color16 in the high 16 bits; back colours use the low 16 bits. */
struct tagDISTINCT_STRUCT {
    LONG nMode;             // -1 plain DrawTextW, 0 halo, 1 drop shadow; other values draw nothing
    DWORD dwColors;         // the glyphs' gradient
    DWORD dwBackColor;      // the halo or shadow
    LONG bSplit;            // nonzero: pixels with x < nSplitX take the left colours
    LONG nSplitX;           // screen x
    DWORD dwLeftColors;     // the gradient left of the split
    DWORD dwLeftBackColor;  // the halo or shadow left of the split
    LONG bHighlight;        // nonzero: a sheen of white stripes on the main part
    LONG nHighlightX;       // screen x of the sheen's origin
    LONG nHighlightDir;     // 0: the stripes lie left of the origin, nonzero: right of it
};

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
    int DrawLine(LONG x1, LONG y1, LONG x2, LONG y2);
    int DrawLine(tagPOINT& p1, tagPOINT& p2);
    int IsLineNeedDraw(LONG x1, LONG y1, LONG x2, LONG y2);
    void IsPixelInLineNeedDraw(LONG& x1, LONG& y1, LONG& x2, LONG& y2);
    int DrawLinePixel(unsigned char* p, LONG x, LONG y, int dir);
    int DrawLinePort(unsigned char* p, int x, int y);
    int DrawHLine(LONG x1, LONG y1, LONG x2, LONG y2, unsigned short color);
    int DrawHLine(LONG x1, LONG y1, LONG x2, LONG y2, unsigned short* pattern, LONG pw, LONG ph);
    int DrawVLine(LONG x1, LONG y1, LONG x2, LONG y2, unsigned short color);
    int DrawRect(LONG x1, LONG y1, LONG x2, LONG y2, unsigned short color);
    int FillRect(LONG x1, LONG y1, LONG x2, LONG y2, unsigned short color);
    int FillRect(LONG x1, LONG y1, LONG x2, LONG y2, unsigned short color, float alpha);
    int FillRect(tagRECT& rc, unsigned short color, float alpha);

    /* Polygons. */
    int DrawPolygon(tagPOINT* pts, int n);
    int DrawPolyline(tagPOINT* pts, int n);
    int FillPolygon(tagPOINT* pts, int n, unsigned short color, int, int);
    int FillPolygon(tagPOINT* pts, int n, int pw, int ph, unsigned short* pattern);

   protected:
    int IsAllPointOutside(tagPOINT* pts, int n);
    int IsAllPointInside(tagPOINT* pts, int n);

   public:
    /* Anti-aliased map lines. */
    void DrawAntiPolyline(tagPOINT* pts, LONG n, unsigned short color, int width, tagRECT rc, int offX,
                          int offY);
    void DrawAntiPolylineSide(tagPOINT* pts, int n, unsigned short fillColor, unsigned short edgeColor,
                              int width, tagRECT rc);

    /* Dashed lines, railways and wide lines. */
    void DrawDashLine(tagPOINT* pts, LONG n, tagRECT rc, int dashLen, int width, int,
                      unsigned short baseColor, unsigned short dashColor, int offX, int offY);
    void DrawRailway(tagPOINT* pts, LONG n, tagRECT rc, int dashLen, int width, int, unsigned short baseColor,
                     unsigned short dashColor, int offX, int offY);
    void DrawLine(tagPOINT p1, tagPOINT p2, int, unsigned short color, tagRECT rc);

    /* Perspective road and route lines. */
    void DrawAntiPolyline3D(tagPOINT* pts, LONG n, unsigned short color, int width, tagRECT rc);
    void DrawAntiPolylineBorder3D(tagPOINT* pts, LONG n, unsigned short color, int width, tagRECT rc);
    void DrawAntiRouteline3D(tagPOINT* pts, LONG n, unsigned short innerColor, unsigned short outerColor,
                             int width, tagRECT rc);

    /* Bitmaps. */
    void DrawBitmap(CCEBitmap* bmp, int a1, int a2, int a3, int a4, int a5, int a6);

    /* Transitions, map zoom, fade and shadow. */
    LONG RenderFlip(tagRENDERFLIP_STRUCT rf);
    int ZoomMap(CCEDraw* src, tagRECT rc, double zoom, unsigned short);
    void FadeOut(DWORD step);
    void ShadowBackground(tagRECT rc);

    /* The drawing-object slot: a pen or a font, chosen by the object's tag. */
    CKESRAObject* SetGDIObject(CKESRAObject* obj);
    CKESRAObject* GetGDIObject(DWORD type);
    void SetToDefaultPen();
    void SetToDefaultFont();

    /* Text colours and font size. */
    unsigned short SetTextColor(unsigned short color);
    unsigned short SetTextOutColor(unsigned short color);
    void GetFontSize(tagSIZE& size);  // the current font's width and height, 0 x 0 without one

    /* Text: the system font (UseSysFont), else the loaded font's engine. */
    int DrawTextW(const WCHAR* text, int count, tagRECT rect, unsigned int format);
    void DM_DrawText(const WCHAR* text, int count, tagRECT rect, DMX_tag_StringStruct* params,
                     unsigned int format);
    /* 0 when refused as DrawTextW refuses, else 1 (also for modes that draw nothing). */
    int DrawTextWithDistinct(const WCHAR* text, int count, tagRECT rect, unsigned int format,
                             tagDISTINCT_STRUCT params);
    void DM_DrawAlphaPixel2(LONG x, LONG y, unsigned short color, int level);  // level 0..16
    void BlendPixel16(unsigned char* p, LONG x, LONG y, unsigned short color, int level);
    void UseSysFont(int use);
    int GetSysFont();

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
    int RenderFlip_Effect(tagRENDERFLIP_STRUCT rf);
};

KESRA_API_END

#endif
