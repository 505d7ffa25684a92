/* stcf_format.cpp - the built-in engine's format code, not yet written: no
 * image parses, so LoadFont of such a file fails and nothing is drawn. */
#include "text/stcf_format.h"

namespace kesra {

StcfFontRecord* ParseStcfImage(const uint8_t*, size_t) { return nullptr; }

void FreeStcfRecord(StcfFontRecord*) {}

int32_t StcfCharWidth(StcfFontRecord&, WCHAR, int width, int, const CCEFont&) { return width; }

void StcfRenderGlyph(StcfFontRecord&, int*, int*, WCHAR, uint8_t*, const CCEFont&) {}

}  // namespace kesra
