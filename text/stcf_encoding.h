/* stcf_encoding.h - from a character code to a glyph: the seven encodings turn
 * a UTF-16 code unit (low byte first) into a character index, and the font's
 * character-set kind splits the index space into Latin, single-outline and
 * composite glyphs. kNoIndex (0xFFFF) is "no character". */
#ifndef KESRA_TEXT_STCF_ENCODING_H
#define KESRA_TEXT_STCF_ENCODING_H

#include <cstdint>

#include "text/stcf_file.h"

namespace kesra::stcf {

constexpr uint32_t kNoIndex = 0xFFFF;

/* A character index; latin_page is 2 for half-width katakana, which live on
 * the second Latin page, and 0 where the font's page applies. */
struct CharIndex {
    uint32_t index = kNoIndex;
    int latin_page = 0;
};

enum class GlyphKind : uint32_t { None = 0, Latin = 1, Single = 2, Composite = 3 };

struct GlyphRef {
    GlyphKind kind = GlyphKind::None;
    uint32_t number = 0;
};

CharIndex char_index(const StcfFontRecord& font, uint16_t code, int encoding);

/* The glyph of an index under a character-set kind; composite numbers not
 * below composite_count are none. */
GlyphRef lookup_glyph(uint32_t charset_kind, uint32_t index, int64_t composite_count);

/* Index of a GBK byte pair (lead, trail), or kNoIndex. */
uint32_t gbk_index(uint32_t lead, uint32_t trail);

}  // namespace kesra::stcf

#endif
