/* cefont.h - the process's one font: loaded from a file (FreeType for a path
 * containing ".ttf" or ".TTF", the library's own format otherwise), released,
 * and the FreeType glyph cache emptied. Use from the drawing thread only. */
#ifndef KESRA_CEFONT_H
#define KESRA_CEFONT_H

#include "wintypes.h"

KESRA_API_BEGIN

/* 1 on success, 0 on failure; a failed load keeps the previous font. */
int LoadFont(WCHAR* path);
void ReleaseFont();
void Reset_Fontcache();

/* The per-string settings of CCEDraw::DM_DrawText. */
typedef struct DMX_tag_StringStruct {
    LONG lBold;      // FreeType: bold; built-in engine: an edge around the glyphs
    LONG lOutline;   // FreeType: an edge in crEdge
    LONG lItalic;    // FreeType: italic
    LONG lAngle;     // degrees, FreeType only; 0 or negative: none
    RGBQUAD crText;  // text colour
    RGBQUAD crEdge;  // edge colour
} DMX_tag_StringStruct;

KESRA_API_END

#endif
