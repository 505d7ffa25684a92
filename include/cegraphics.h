/* cegraphics.h - CCEGraphics, the display surface: the window's device
 * contexts, the shared RGB565 back buffer with its presentation, and the
 * cursor, busy-indicator and dimming overlays. Results are 1 or 0; errors are
 * kept in the surface (GetLastError). */
#ifndef KESRA_CEGRAPHICS_H
#define KESRA_CEGRAPHICS_H

#include "wintypes.h"

KESRA_API_BEGIN

class CCEBitmap;

/* Error codes kept in m_dwLastError. */
enum {
    CEG_ERR_NO_SPARE_BUFFER = 102,
    CEG_ERR_SUSPENDED = 105,
    CEG_ERR_BEGIN_NO_BUFFER = 106,
    CEG_ERR_NO_BUFFER = 112,
    CEG_ERR_NULL_OBJECT = 113,
};

/* The cursor: a strip of nFrames frames side by side, id 300 or more. */
struct tagCURSOR_STRUCT {
    LONG nResID;
    LONG nFrames;
};

/* The busy indicator (sandglass), centred on (x, y). */
struct tagSANDGLASS_STRUCT {
    LONG nResID;
    LONG nFrames;
    LONG x;
    LONG y;
};

class CCEGraphics {
   public:
    CCEGraphics();
    ~CCEGraphics();

    /* width, height and window are used; the other arguments are not. */
    LONG Create(int width, int height, int, int, HWND window, int);
    LONG Release();
    LONG BeginDraw();
    LONG EndDraw();
    LONG Flip(int, int, unsigned short);
    LONG FlipBackBuffer(int bTransparent, unsigned short wKey);
    void SetFlipBk(int bFlipBk);
    void BitBackBuffer(LONG x, LONG y, LONG w, LONG h, CCEBitmap* pBitmap, LONG sx, LONG sy);
    LONG Suspend();
    LONG Resume();
    int IsSuspend();

    unsigned char* GetBuffer() { return m_pBuffer; }
    unsigned char* GetBackBuffer() { return m_pBackBuffer; }
    HDC GetMyDC() { return m_hMemDC; }
    HWND GetWindowHandle() { return m_hWnd; }
    int IsGXInit();
    DWORD GetLastError() { return __atomic_load_n(&m_dwLastError, __ATOMIC_RELAXED); }

    /* Overlays over every presented frame. */
    int SetCursor(tagCURSOR_STRUCT cs);
    void ShowCursor(int bShow);
    int SetSandglass(tagSANDGLASS_STRUCT ss);
    void ShowSandglass(int bShow);
    int SetBlackSrceenLevel(LONG level);

    /* Saves what the display shows as "<app dir>\bmp\MMDDhhmmss.bmp". */
    int DumpBuffer();

    CCEGraphics& operator=(const CCEGraphics& other);

    /* Instance fields, in this order. */
    DWORD m_dwLastError;
    int m_bDrawing;
    HDC m_hMemDC;
    HBITMAP m_hBitmap;
    HGDIOBJ m_hOldBitmap;
    unsigned char* m_pBits;
    unsigned char* m_pBuffer;
    int m_bCreated;
    int m_bSuspend;

    /* Shared by every surface of the process. */
    static HWND m_hWnd;
    static unsigned char* m_pBackBuffer;
    static unsigned char* m_pDoubleBuffer2;
    static LONG m_lMemorySize;
    static DWORD m_dwRefCount;
    static int m_bFlipBk;
    static LONG m_uBlackScreen;

   private:
    CCEGraphics(const CCEGraphics&) = delete;
    void DrawAnimation();
    void DrawBlackScreen();
};

KESRA_API_END

#endif
