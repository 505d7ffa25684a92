/* charset.cpp - the character index space of the fonts kesra-font writes:
 * GBK two-byte codes numbered by region, Latin page bytes in the
 * Windows-1252 layout (index = byte - 29), and where an index lives (Latin
 * page, single outline or composite) for each character-set kind. */
#include <array>

#include "tools/kesra-font/font_tool.h"

namespace kesra_font {

uint16_t gbk_index(int lead, int trail) {
    const bool low_trail = trail >= 0x40 && trail <= 0x7E;
    auto pick = [&](int high_first, int high_last, int base_low, int base_high) -> uint16_t {
        if (low_trail) return static_cast<uint16_t>(trail + base_low);
        if (trail >= high_first && trail <= high_last) return static_cast<uint16_t>(trail + base_high);
        return kNoIndex;
    };
    if (lead >= 0x81 && lead <= 0xA0) return pick(0x80, 0xFE, 190 * lead - 23581, 190 * lead - 23582);
    if (lead >= 0xA1 && lead <= 0xA7) {
        if (trail < 0xA1 || trail > 0xFE) return kNoIndex;
        return static_cast<uint16_t>(trail + 94 * lead - 8222);
    }
    if (lead >= 0xA8 && lead <= 0xA9) return pick(0x80, 0xFE, 190 * lead - 24253, 190 * lead - 24254);
    if (lead >= 0xAA && lead <= 0xAF) return pick(0x80, 0xA0, 96 * lead - 8273, 96 * lead - 8274);
    if (lead >= 0xB0 && lead <= 0xF7) {
        if (lead == 0xD7 && trail >= 0xFA && trail <= 0xFE) return kNoIndex;
        return pick(0x80, 0xFE, 190 * lead - 24817, 190 * lead - 24818);
    }
    if (lead == 0xF8) return pick(0x80, 0xA0, 96 * lead - 1505, 96 * lead - 1506);
    if (lead >= 0xF9 && lead <= 0xFE) return pick(0x80, 0xA0, 96 * lead - 1411, 96 * lead - 1412);
    return kNoIndex;
}

int big5_cell(int lead, int trail) {
    if (lead < 0x81 || lead > 0xFE) return -1;
    if (trail >= 0x40 && trail <= 0x7E) return trail + 157 * lead - 20317;
    if (trail >= 0xA1 && trail <= 0xFE) return trail + 157 * lead - 20351;
    return -1;
}

int sjis_cell(int lead, int trail) {
    int base;
    if (lead >= 0x81 && lead <= 0x9F)
        base = 188 * lead - 24316;
    else if (lead >= 0xE0 && lead <= 0xFC)
        base = 188 * lead - 36348;
    else
        return -1;
    if (trail >= 0x40 && trail <= 0x7E) return trail + base;
    if (trail >= 0x80 && trail <= 0xFC) return trail + base - 1;
    return -1;
}

namespace {

/* Windows-1252 bytes 0x80..0x9F; 0 where the byte has no character. */
constexpr std::array<uint16_t, 32> kCp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

uint32_t latin_code_point(int byte) {
    if (byte < 0x20 || byte > 0xFF || byte == 0x7F) return 0;
    if (byte >= 0x80 && byte <= 0x9F) return kCp1252High[byte - 0x80];
    return static_cast<uint32_t>(byte);
}

int latin_byte(uint32_t code_point) {
    if (code_point >= 0x20 && code_point <= 0xFF)
        return latin_code_point(static_cast<int>(code_point)) ? static_cast<int>(code_point) : -1;
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == code_point && code_point) return 0x80 + i;
    return -1;
}

GlyphRef glyph_of_index(int kind, uint32_t index) {
    GlyphRef g;
    auto set = [&](GlyphKind k, uint32_t number) {
        g.kind = k;
        g.number = number;
        return g;
    };
    if (index == kNoIndex || kind < 0 || kind == 5 || kind > 6) return g;
    if (index >= 3 && index <= 226) return set(GlyphKind::Latin, index - 3);
    if (kind == 0) {
        if (index >= 7073 && index <= 7730) return set(GlyphKind::Single, index - 7073);
        if (index >= 7827 && index <= 7920) return set(GlyphKind::Single, index - 7169);
        if (index >= 8017 && index <= 8110) return set(GlyphKind::Single, index - 7265);
        if (index >= 8687 && index <= 22366) {
            const uint32_t r = index - 8687, row = r / 190, column = r % 190;
            if (column >= 96) return set(GlyphKind::Composite, column + 94 * row - 96);
        }
        return g;
    }
    if (kind == 1 || kind == 2) {
        if (index >= 7073 && index <= 8110) return set(GlyphKind::Single, index - 7073);
        if (index >= 993 && index <= 7072) return set(GlyphKind::Composite, index - 993);
        if ((index >= 8111 && index <= 22462) || index >= 22557)
            return set(GlyphKind::Composite, index - 2031);
        return g;
    }
    if (index >= 1000 && index <= 2999) return set(GlyphKind::Single, index - 1000);
    if (index >= 3000) return set(GlyphKind::Composite, index - 3000);
    return g;
}

/* Every kind but 0 holds all of the GBK symbol rows 0xA1..0xA9 in one order. */
uint32_t single_slots(int kind) { return kind == 0 ? 846 : 1038; }

/* Kind 0 holds the GB2312 hanzi rows 0xB0..0xF7; kinds 1 and 2 run to the
 * last GBK index, 0xFE 0xA0; kinds 3 and 4 have a slot per table cell. */
uint32_t composite_slots(int kind) {
    if (kind == 0) return 72 * 94;
    if (kind == 3) return kBig5Cells;
    if (kind == 4) return SJIS_CELLS;
    return gbk_index(0xFE, 0xA0) - 2031 + 1;
}

}  // namespace kesra_font
