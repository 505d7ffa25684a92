/* ft_run.h - a multibyte string's characters decoded once for FreeType: each
 * character's byte count, glyph index and the memo slot that knows its cache
 * entry, so that measuring and drawing a label decode it only once. At most
 * one character per byte of the 260-byte ANSI buffer. */
#ifndef KESRA_TEXT_FT_RUN_H
#define KESRA_TEXT_FT_RUN_H

#include <cstdint>

#include "text/font_dispatch.h"

namespace kesra {

struct GlyphRun {
    static constexpr int kMaxChars = kAnsiBufferSize;
    int count = 0;
    uint32_t index[kMaxChars];  // glyph index, or the code point when the face has no charmap
    int16_t memo[kMaxChars];    // the face's memo slot of the character, -1: none
    uint8_t bytes[kMaxChars];   // 1 or 2
    bool wide_next[kMaxChars];  // the byte after the character has its high bit set
};

}  // namespace kesra

#endif
