/* stcf_format.h - the format code of the built-in engine: a parsed font
 * record over a file image that begins with "STCF", character widths and
 * glyph coverage. The tables of a record point into the image it was parsed
 * from, which stays allocated while the record lives. */
#ifndef KESRA_TEXT_STCF_FORMAT_H
#define KESRA_TEXT_STCF_FORMAT_H

#include <cstddef>
#include <cstdint>

#include "ceobject.h"
#include "text/cell_ink.h"

namespace kesra {

struct StcfFontRecord;

/* The record of a well-formed image, or null. */
StcfFontRecord* ParseStcfImage(const uint8_t* image, size_t size);
void FreeStcfRecord(StcfFontRecord* record);

/* A character is read from text with units code units left in its string:
 * an inline composite (0xFFFF) carries its data in the units after it. */

/* Code units the character at text takes up, 1..units (units >= 1). */
int StcfCharUnits(const WCHAR* text, int units);

/* Advance width of one character; width and height start as the font's size. */
int32_t StcfCharWidth(StcfFontRecord& record, const WCHAR* text, int units, int width, int height,
                      const CCEFont& font);

/* One character's coverage (1..levels, 17 and 19 edge markers) into coverage
 * (40 x 40 bytes, or at least the cell's), rows *width bytes apart; *width and
 * *height become the glyph's. A cell the engine cannot render is cleared.
 * With ink given, it becomes the cell's ink where that is known (see
 * stcf::render) and is left as it is otherwise. */
void StcfRenderGlyph(StcfFontRecord& record, int* width, int* height, const WCHAR* text, int units,
                     uint8_t* coverage, const CCEFont& font, CellInk* ink = nullptr);

}  // namespace kesra

#endif
