/* cephoto.h - CCePhoto, the photo and logo browser: lists the BMP, PNG and
 * JPEG files of one folder (the search path, else "\RES\logo\" below the
 * application's directory) whose size is at most a margin past the screen's,
 * and draws a chosen one resampled into a rectangle of a drawing context.
 * The list only grows, up to 100 records. Decoding goes through the image
 * module (ql.h), whose table the browser sets up and frees. */
#ifndef KESRA_CEPHOTO_H
#define KESRA_CEPHOTO_H

#include "wintypes.h"

KESRA_API_BEGIN

class CCEDraw;

/* One listed file: its name (no folder) and its image module type code
 * (0 BMP, 1 JPEG, 2 PNG). */
typedef struct fileTypeName {
    WCHAR szName[MAX_PATH];
    int nType;
} fileTypeName;

#define CEPHOTO_MAX_PHOTOS 100

class CCePhoto {
   public:
    CCePhoto();
    virtual ~CCePhoto();

    /* The folder to list instead of the logo folder; it must end in a
     * backslash. 0 (and no search path) for a null or empty path. */
    int SetSearchPath(const WCHAR* path);
    /* Lists the folder with the given margins (-1: 200) and returns the count. */
    LONG GetTotalPhoto(LONG extraWidth, LONG extraHeight);
    void LoadMap();
    void LoadMap1();  // *.bmp
    void LoadMap2();  // *.png
    void LoadMap3();  // *.jpg
    void LoadMap4();  // *.jpeg
    /* Whether the file is narrower than the screen plus the extra width and
     * lower than the screen plus the extra height. */
    bool FiltPhoto(fileTypeName* record);

    /* Draws list entry index, or the file at path, resampled into rect
     * (inclusive edges); false with a message box on failure. */
    bool drawPhoto(CCEDraw* pDraw, int index, tagRECT rect);
    bool drawPhoto(CCEDraw* pDraw, const WCHAR* path, tagRECT rect);
    void drawLogo(CCEDraw* pDraw);
    /* Copies the w x h window at (sx, sy) of the photo plane to (x, y). */
    void Draw(CCEDraw* pDraw, int x, int y, int w, int h, int sx, int sy);
    void UnloadBitmap();
    void Save(LONG, LONG) {}
    LONG Get(LONG) { return -1; }

    /* Fields, in this order. */
    int m_nPixelBytes;
    int m_nPitch;
    int m_nWidth;
    int m_nHeight;
    int m_nBitCount;
    unsigned short* m_pImageData;  // the photo being drawn; null between draws
    unsigned char* m_pAlpha;       // levels 0-31; always null
    fileTypeName m_PhotoList[CEPHOTO_MAX_PHOTOS];
    int m_nPhotoCount;
    int m_nLogoIndex;
    int m_nExtraWidth;
    int m_nExtraHeight;

   private:
    void Scan(const char16_t* extension, int type);
    bool DrawFile(CCEDraw* pDraw, const WCHAR* path, const WCHAR* name, int type, tagRECT rect);
};

KESRA_API_END

#endif
