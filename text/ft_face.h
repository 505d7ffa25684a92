/* ft_face.h - how a freshly opened FreeType face gets its first size, and
 * which glyphs it may render. A scalable face waits for the text's font size;
 * a bitmap-only face is drawn at its first fixed size, and one that lists no
 * fixed size cannot draw. */
#ifndef KESRA_TEXT_FT_FACE_H
#define KESRA_TEXT_FT_FACE_H

#include <ft2build.h>
#include FT_FREETYPE_H

#include "text/font_engine.h"

namespace kesra {

/* Sizes record.face (bitmap-only) at its first fixed size and stores that
 * size in the record; false, leaving the record as it is, when the face
 * lists no fixed size. */
bool take_first_fixed_size(FtFontRecord& record);

/* True when the bitmap of an outline (its control box, plus a pixel of
 * antialiasing on each side) would pass 16,777,216 pixels, the largest
 * image: such a glyph is not rendered. */
bool outline_too_large(const FT_Outline& outline);

}  // namespace kesra

#endif
