/* stcf_encoding.cpp - the encodings and the glyph lookup ranges. Table-based
 * encodings read two bytes per cell from tables inside the font file; a
 * missing table, or a cell outside the image, gives no character. */
#include "text/stcf_encoding.h"

namespace kesra::stcf {

namespace {

bool in(uint32_t v, uint32_t lo, uint32_t hi) { return v >= lo && v <= hi; }

/* ASCII bytes share one index rule in every encoding that has them. */
uint32_t ascii_index(uint32_t b) { return b - 29; }

bool table_u16(const StcfFontRecord& font, uint32_t table, uint64_t cell, uint32_t* out) {
    return table != 0 && font.reader().u16(table + 2 * cell, out);
}

/* A Big5 or Shift-JIS cell holds a code (G0, G1) in the GB2312 layout. */
uint32_t resolve_gb_cell(const StcfFontRecord& font, uint32_t table, uint32_t cell) {
    uint32_t code = 0;
    if (!table_u16(font, table, cell, &code)) return kNoIndex;
    const uint32_t g0 = code & 0xFF, g1 = code >> 8;
    if (g1 == 0) return g0 >= 29 ? ascii_index(g0) : kNoIndex;
    if (in(g0, 0xA1, 0xA7) && in(g1, 0xA1, 0xFE)) return g1 + 94 * g0 - 14295;
    if (!in(g0, 0xA8, 0xA9)) return cell + 3000;
    if (in(g1, 0x40, 0x7E)) return g1 + 190 * g0 - 30326;
    if (in(g1, 0x80, 0xFE)) return g1 + 190 * g0 - 30327;
    return cell;
}

CharIndex big5_index(const StcfFontRecord& font, uint32_t b0, uint32_t b1) {
    if (in(b0, 0x20, 0x7F)) return {ascii_index(b0), 0};
    if (!in(b0, 0x81, 0xFE)) return {};
    uint32_t cell;
    if (in(b1, 0x40, 0x7E))
        cell = b1 + 157 * b0 - 20317;
    else if (in(b1, 0xA1, 0xFE))
        cell = b1 + 157 * b0 - 20351;
    else
        return {};
    return {resolve_gb_cell(font, font.big5_table, cell), 0};
}

CharIndex shift_jis_index(const StcfFontRecord& font, uint32_t b0, uint32_t b1) {
    if (in(b0, 0x20, 0x7F)) return {ascii_index(b0), 0};
    if (in(b0, 0xA1, 0xDF)) return {ascii_index(b0), 2};
    uint32_t base;
    if (in(b0, 0x81, 0x9F))
        base = 188 * b0 - 24316;
    else if (in(b0, 0xE0, 0xFC))
        base = 188 * b0 - 36348;
    else
        return {};
    uint32_t cell;
    if (in(b1, 0x40, 0x7E))
        cell = b1 + base;
    else if (in(b1, 0x80, 0xFC))
        cell = b1 + base - 1;
    else
        return {};
    return {resolve_gb_cell(font, font.shift_jis_table, cell), 0};
}

CharIndex euc_index(const StcfFontRecord& font, uint32_t b0, uint32_t b1) {
    if (in(b0, 0x20, 0x7F)) return {ascii_index(b0), 0};
    if (b0 < 0x80) return {};
    if (b0 == 0x8E && in(b1, 0xA1, 0xDF)) return {ascii_index(b1), 2};
    uint32_t sjis = 0;
    if (!table_u16(font, font.euc_table, ((b0 << 8) | b1) - 32768, &sjis)) return {};
    return shift_jis_index(font, sjis & 0xFF, sjis >> 8);
}

CharIndex utf16_index(const StcfFontRecord& font, uint32_t code) {
    uint32_t index = 0;
    if (!table_u16(font, font.utf16_table, code, &index)) return {};
    return {index, 0};
}

CharIndex mode6_index(const StcfFontRecord& font, uint32_t b0, uint32_t b1) {
    if (in(b0, 0x20, 0x7F)) return {ascii_index(b0), 0};
    if (b0 < 0x80) return {};
    uint32_t code = 0;
    if (!table_u16(font, font.mode6_table, ((b0 - 0x80) << 8) | b1, &code)) return {};
    return utf16_index(font, code);
}

}  // namespace

uint32_t gbk_index(uint32_t lead, uint32_t trail) {
    if (in(lead, 0x20, 0x7F)) return ascii_index(lead);
    const bool low_trail = in(trail, 0x40, 0x7E);
    auto pick = [&](uint32_t high_lo, uint32_t high_hi, uint32_t row, int32_t low_k,
                    int32_t high_k) -> uint32_t {
        if (low_trail) return static_cast<uint32_t>(static_cast<int32_t>(trail + row * lead) - low_k);
        if (in(trail, high_lo, high_hi))
            return static_cast<uint32_t>(static_cast<int32_t>(trail + row * lead) - high_k);
        return kNoIndex;
    };
    if (in(lead, 0x81, 0xA0)) return pick(0x80, 0xFE, 190, 23581, 23582);
    if (in(lead, 0xA1, 0xA7)) return in(trail, 0xA1, 0xFE) ? trail + 94 * lead - 8222 : kNoIndex;
    if (in(lead, 0xA8, 0xA9)) return pick(0x80, 0xFE, 190, 24253, 24254);
    if (in(lead, 0xAA, 0xAF)) return pick(0x80, 0xA0, 96, 8273, 8274);
    if (in(lead, 0xB0, 0xF7)) {
        if (lead == 0xD7 && in(trail, 0xFA, 0xFE)) return kNoIndex;
        return pick(0x80, 0xFE, 190, 24817, 24818);
    }
    if (lead == 0xF8) return pick(0x80, 0xA0, 96, 1505, 1506);
    if (in(lead, 0xF9, 0xFE)) return pick(0x80, 0xA0, 96, 1411, 1412);
    return kNoIndex;
}

CharIndex char_index(const StcfFontRecord& font, uint16_t code, int encoding) {
    const uint32_t b0 = code & 0xFFu, b1 = code >> 8;
    switch (encoding) {
        case 0:
            return {b0 >= 29 ? ascii_index(b0) : kNoIndex, 0};  // control bytes below 29 have no index
        case 1:
            return {gbk_index(b0, b1), 0};
        case 2:
            return utf16_index(font, code);
        case 3:
            return big5_index(font, b0, b1);
        case 4:
            return shift_jis_index(font, b0, b1);
        case 5:
            return euc_index(font, b0, b1);
        case 6:
            return mode6_index(font, b0, b1);
        default:
            return {};
    }
}

GlyphRef lookup_glyph(uint32_t charset_kind, uint32_t index, int64_t composite_count) {
    GlyphRef glyph;
    if (index == kNoIndex) return glyph;
    auto set = [&](GlyphKind kind, uint32_t number) { glyph = {kind, number}; };
    if (charset_kind > 6 || charset_kind == 5) return glyph;
    if (in(index, 3, 226)) {
        set(GlyphKind::Latin, index - 3);
    } else if (charset_kind == 0) {
        if (in(index, 7073, 7730))
            set(GlyphKind::Single, index - 7073);
        else if (in(index, 7827, 7920))
            set(GlyphKind::Single, index - 7169);
        else if (in(index, 8017, 8110))
            set(GlyphKind::Single, index - 7265);
        else if (in(index, 8687, 22366)) {
            const uint32_t r = index - 8687, row = r / 190, column = r % 190;
            if (column >= 96) set(GlyphKind::Composite, column + 94 * row - 96);
        }
    } else if (charset_kind <= 2) {
        if (in(index, 7073, 8110))
            set(GlyphKind::Single, index - 7073);
        else if (in(index, 993, 7072))
            set(GlyphKind::Composite, index - 993);
        else if (in(index, 8111, 22462) || index >= 22557)
            set(GlyphKind::Composite, index - 2031);
    } else {
        if (in(index, 1000, 2999))
            set(GlyphKind::Single, index - 1000);
        else if (index >= 3000)
            set(GlyphKind::Composite, index - 3000);
    }
    if (glyph.kind == GlyphKind::Composite && int64_t{glyph.number} >= composite_count) glyph = {};
    return glyph;
}

}  // namespace kesra::stcf
