/* wintypes.h - the platform types of the Win32-like layer.
 * Integer types keep their Windows widths (LONG is 32 bits), wide characters
 * are UTF-16 code units, handles are opaque pointers. Records that live in
 * files keep their exact byte layouts. */
#ifndef KESRA_WINTYPES_H
#define KESRA_WINTYPES_H

#include <stddef.h>
#include <stdint.h>

/* Public headers wrap their declarations in these: the library is built with
 * hidden visibility and exports only what they declare. */
#define KESRA_API_BEGIN _Pragma("GCC visibility push(default)")
#define KESRA_API_END _Pragma("GCC visibility pop")

typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef unsigned int UINT;
typedef char16_t WCHAR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef void* LPVOID;
typedef DWORD COLORREF;
typedef uintptr_t WPARAM; /* a window message's two parameters */
typedef intptr_t LPARAM;

typedef void* HANDLE;
typedef struct HWND__* HWND;
typedef struct HDC__* HDC;
typedef struct HBITMAP__* HBITMAP;
typedef struct HFONT__* HFONT;
typedef struct HINSTANCE__* HMODULE;
typedef void* HGDIOBJ;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT;

typedef struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT;

typedef struct tagSIZE {
    LONG cx;
    LONG cy;
} SIZE;

typedef struct tagSYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
} SYSTEMTIME;

#pragma pack(push, 2)
typedef struct tagBITMAPFILEHEADER {
    WORD bfType;
    DWORD bfSize;
    WORD bfReserved1;
    WORD bfReserved2;
    DWORD bfOffBits;
} BITMAPFILEHEADER;
#pragma pack(pop)

typedef struct tagBITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
} BITMAPINFOHEADER;

typedef struct tagRGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
} RGBQUAD;

typedef struct tagBITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
} BITMAPINFO;

#ifdef __cplusplus
static_assert(sizeof(BITMAPFILEHEADER) == 14, "file header is 14 bytes");
static_assert(sizeof(BITMAPINFOHEADER) == 40, "information header is 40 bytes");
#endif

#define BI_RGB 0
#define BI_BITFIELDS 3
#define DIB_RGB_COLORS 0
#define SRCCOPY 0x00CC0020u
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0u
#define WAIT_TIMEOUT 0x102u
#define WAIT_FAILED 0xFFFFFFFFu
#define MAX_PATH 260
#define CP_ACP 0
#define MB_OK 0

typedef DWORD (*LPTHREAD_START_ROUTINE)(LPVOID parameter);

#endif
