/* cebitmap.h - CCEBitmap, the library's image object: an RGB565 pixel plane
 * (rows top-down, m_nPitch bytes apart) with an optional alpha plane of levels
 * 0-31 (0 transparent, 31 and above opaque). Either plane may be held raw or
 * run-length coded as stored in the resource pack; a plane is coded when its
 * size field differs from width x height x 2 (pixels) or width x height
 * (alpha). Images of the pack are addressed by ID = 300 + index. */
#ifndef KESRA_CEBITMAP_H
#define KESRA_CEBITMAP_H

#include "wintypes.h"

KESRA_API_BEGIN

class CCEDraw;

class CCEBitmap {
   public:
    CCEBitmap();
    CCEBitmap(unsigned int nID);  // loads the pack image nID
    ~CCEBitmap();
    /* Copies every field; the target then shares the planes without owning them. */
    CCEBitmap& operator=(const CCEBitmap& other);

    /* The resource pack: a stdio stream for the loaders, and a read-only view. */
    static int OpenResource(const WCHAR* path);
    static void CloseResource();
    static int OpenResMapView(const WCHAR* path);
    static void CloseResMapView();

    /* Loaders; 1 on success, 0 on failure. */
    int LoadBitmapW(unsigned int nID);                // pack image, blocks as stored
    int LoadBitmapW(unsigned int nID, int w, int h);  // pack image expanded, resampled if w, h
    int LoadBitmapTemp(unsigned int nID);             // pack image in the shared pool
    int LoadBitmapTemp(unsigned char* pixels, unsigned char* alpha, int w, int h);  // always 0
    int LoadBitmapGIF(const WCHAR* path, LONG nID);                                 // compressed pack image
    int LoadBitmapW(const WCHAR* path);                                             // PNG file with alpha
    int LoadBitmapW(const WCHAR* path, int w, int h);               // PNG, BMP or JPEG file resampled
    int LoadBitmap3D(const WCHAR* path, LONG index, tagRECT rect);  // real-scene image
    int LoadBitmapW(unsigned char* data, int size, unsigned short key, int w, int h);  // BMP in memory
    int LoadGif(unsigned char* data, int w, int h);  // 256-colour palette and indices
    void UnloadBitmap();

    unsigned char* GetImageData() { return m_pImageData; }
    unsigned char* GetAlphaData() { return m_pAlpha; }
    int GetWidth() { return m_nWidth; }
    int GetHeight() { return m_nHeight; }
    int GetPixelSize() { return m_nPixelSize; }
    int GetAlphaSize() { return m_nAlphaSize; }
    static int GetLastTempBitmapID();

    /* Blits into pDraw's buffer: the w x h window at (sx, sy) of the bitmap
     * goes to (x, y); w or h of 0 means the bitmap's own size. */
    void Draw(CCEDraw* pDraw, int x, int y, int w, int h, int sx, int sy, int bCoded);
    void TransBlt(CCEDraw* pDraw, int x, int y, int w, int h, int sx, int sy, unsigned short key);
    void StretchBlt(CCEDraw* pDraw, int x, int y, int w, int h, int sx, int sy);

    /* Fields, in this order. */
    int m_nUser;  // left to the application: no operation reads or sets it
    int m_nID;
    int m_nPixelBytes;
    int m_nPitch;
    int m_bShared;
    int m_bResource;
    int m_nWidth;
    int m_nHeight;
    int m_nBitCount;
    int m_nPixelSize;
    int m_nAlphaSize;
    unsigned char* m_pImageData;
    unsigned char* m_pAlpha;

    /* Shared by every bitmap. */
    static void* m_fpResource;  // the pack's stdio stream (FILE*), null when none is open
    static HANDLE m_hRes;
    static HANDLE m_hMap;
    static unsigned char* m_pResMap;  // the last view made by OpenResMapView
    static const WCHAR* const m_hMapView;
    static int m_LastTempBitmapID;

   private:
    CCEBitmap(const CCEBitmap&) = delete;
};

KESRA_API_END

#endif
