/* ft_face.h - how a freshly opened FreeType face gets its first size. A
 * scalable face waits for the text's font size; a bitmap-only face is drawn
 * at its first fixed size, and one that lists no fixed size cannot draw. */
#ifndef KESRA_TEXT_FT_FACE_H
#define KESRA_TEXT_FT_FACE_H

#include "text/font_engine.h"

namespace kesra {

/* Sizes record.face (bitmap-only) at its first fixed size and stores that
 * size in the record; false, leaving the record as it is, when the face
 * lists no fixed size. */
bool take_first_fixed_size(FtFontRecord& record);

}  // namespace kesra

#endif
