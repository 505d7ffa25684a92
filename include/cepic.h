/* cepic.h - CCEPic, one picture (BMP, PNG, GIF or JPEG, from a file or from
 * memory) decoded into an RGB565 plane with an optional alpha plane of
 * 0-255, drawn scaled into a drawing context. Paths are narrow strings in the
 * ANSI code page. A failed load leaves the picture empty. */
#ifndef KESRA_CEPIC_H
#define KESRA_CEPIC_H

#include "wintypes.h"

KESRA_API_BEGIN

class CCEDraw;

/* The picture store: the decoded planes and their geometry. */
typedef struct tagCEPICSTORE {
    int nReserved;       // not used
    int nBytesPerPixel;  // 2
    int nPitch;          // width * 2
    int nWidth;
    int nHeight;
    int nBitCount;            // 16
    unsigned short* pPixels;  // width * height Color16, rows top-down; null when empty
    unsigned char* pAlpha;    // width * height levels 0-255, or null
} CEPICSTORE;

/* Picture type codes of LoadPic. */
#define CEPIC_TYPE_BMP 0
#define CEPIC_TYPE_PNG 1
#define CEPIC_TYPE_GIF 2
#define CEPIC_TYPE_JPEG 3

class CCEPic {
   public:
    CCEPic();
    ~CCEPic();

    /* Decodes a file or a memory image of the given type; 1 on success, 0 on
     * failure (the picture is then empty). */
    int LoadPic(const char* path, unsigned int type);
    int LoadPic(const unsigned char* data, DWORD size, unsigned int type);

    int GetPicWidth();
    int GetPicHeight();

    /* Draws the picture scaled to w x h (0: its own size) at (x, y); (sx, sy)
     * is where the drawn window starts, in destination pixels. */
    void DrawPic(CCEDraw* pDraw, int x, int y, int w, int h, int sx, int sy);

    /* Fields, in this order: refreshed from the store by DrawPic. */
    int m_nWidth;
    int m_nHeight;
    unsigned short* m_pImageData;
    unsigned char* m_pAlpha;
    CEPICSTORE* m_pStore;  // owned; null when its allocation failed

   private:
    CCEPic(const CCEPic&) = delete;
    CCEPic& operator=(const CCEPic&) = delete;
};

KESRA_API_END

#endif
