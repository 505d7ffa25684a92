/* font_dispatch.h - how the text code reaches the active engine, and the
 * FreeType glue it uses directly: the record's setters, sizing, glyph fetch.
 * Multibyte text is the ANSI code page's (code page 936 by default). */
#ifndef KESRA_TEXT_FONT_DISPATCH_H
#define KESRA_TEXT_FONT_DISPATCH_H

#include <cstdint>

#include "text/font_engine.h"

namespace kesra {

constexpr int kAnsiBufferSize = 260;
constexpr int kMaxGlyphSide = 40;  // the glyph buffers are 40 x 40

/* The first count UTF-16 characters in the ANSI code page, into a zero-filled
 * buffer that always ends in a zero byte; characters that do not fit are left
 * out. Returns the number of bytes. */
int to_ansi(const WCHAR* text, int count, char (&out)[kAnsiBufferSize]);

/* Width in pixels of count UTF-16 characters with the active engine. */
int32_t MeasureText(const WCHAR* text, int count, const CCEFont& font);

/* Built-in engine only: the coverage of the character at ch, with units code
 * units left in its string, into coverage; FreeType leaves buffer and sizes
 * as they are. ink, when given, becomes the coverage's ink where the engine
 * knows it and is left as it is otherwise. */
void RenderGlyphCoverage(int* width, int* height, const WCHAR* ch, int units, uint8_t* coverage,
                         const CCEFont& font, CellInk* ink = nullptr);

/* Code units the character at text takes up with the active engine: 1, or
 * for the built-in engine's inline composite its escape and data; at most units. */
int GlyphUnits(const WCHAR* text, int units);

/* The loaded FreeType record, or null. */
FtFontRecord* LoadedFtRecord();

/* Bytes of the multibyte character at text: 2 for a lead byte with its high
 * bit set that is not followed by the terminator, else 1. */
int AnsiCharBytes(const unsigned char* text);

/* Glyph of the multibyte character at text: returns its byte count (1 or 2,
 * never past a zero byte) or 0 on failure; *bitmap may come back null. With
 * no_cache 0 the glyph cache is consulted and filled. The bitmap stays valid
 * until the next fetch or cache operation. */
int FetchFtGlyph(FtFontRecord* record, int* left, int* top, const unsigned char* text,
                 const FT_Bitmap** bitmap, int no_cache);

/* Zero width takes the height, zero height then the width; 26.6 sizes at 72 dpi. */
void SetFtFontSize(FtFontRecord* record, int width, int height);

/* Setters: a null record is ignored; flags keep their low byte, the colour its low 16 bits. */
void SetFtBold(FtFontRecord* record, int value);
void SetFtItalic(FtFontRecord* record, int value);
void SetFtAntiAlias(FtFontRecord* record, int value);
void SetFtOutline(FtFontRecord* record, int value);
void SetFtOutlineColor(FtFontRecord* record, int value);

}  // namespace kesra

#endif
