/* gdi_text.cpp - the system font: CreateFontIndirectW, SetBkMode, SetTextColor
 * and DrawTextW. Placeholder until the FreeType-backed version lands: no font
 * is created and no text is drawn. */
#include "winapi.h"

extern "C" {

HFONT CreateFontIndirectW(const LOGFONTW*) { return nullptr; }
int SetBkMode(HDC, int) { return 0; }
COLORREF SetTextColor(HDC, COLORREF) { return 0; }
int DrawTextW(HDC, LPCWSTR, int, RECT*, UINT) { return 0; }

}  // extern "C"
