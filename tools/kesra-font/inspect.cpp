/* inspect.cpp - kesra-font info: the header of an STCF font, its Latin
 * pages and its glyph counts. Every table is checked against the file's
 * length before it is read, so a damaged file is named, never overrun. */
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/common/whole_file.h"
#include "tools/kesra-font/font_tool.h"

namespace kesra_font {

namespace {

uint32_t u32(const std::vector<uint8_t>& d, size_t at) {
    return d[at] | (d[at + 1] << 8) | (d[at + 2] << 16) | (static_cast<uint32_t>(d[at + 3]) << 24);
}
uint32_t u24(const std::vector<uint8_t>& d, size_t at) {
    return d[at] | (d[at + 1] << 8) | (d[at + 2] << 16);
}

/* True when [offset, offset + bytes) lies inside the file. */
bool inside(const std::vector<uint8_t>& d, uint64_t offset, uint64_t bytes) {
    return offset <= d.size() && bytes <= d.size() - offset;
}

bool check(const std::string& path, const std::vector<uint8_t>& d, const char* what, uint64_t offset,
           uint64_t bytes, std::string* error) {
    if (inside(d, offset, bytes)) return true;
    *error = path + ": " + what + " at " + std::to_string(offset) + " (" + std::to_string(bytes) +
             " bytes) runs past the end of the file (" + std::to_string(d.size()) + " bytes)";
    return false;
}

}  // namespace

bool read_file(const std::string& path, std::vector<uint8_t>* data, std::string* error) {
    return kesra::cli::read_whole_file(path, data, {"cannot open: %s", "read error"}, error);
}

bool info(const std::string& path, const std::vector<uint8_t>& d, std::string* error) {
    if (d.size() < field::WIDTH_PAGES + kPageBytes || std::memcmp(d.data(), "STCF", 4) != 0) {
        *error =
            path + (d.size() < 4 || std::memcmp(d.data(), "STCF", 4) ? ": not an STCF font (no STCF magic)"
                                                                     : ": too short for an STCF header");
        return false;
    }
    const uint32_t kind = u32(d, field::KIND), composite_table = u32(d, field::COMPOSITE_TABLE);
    const uint32_t records = u32(d, field::COMPONENTS), outline_table = u32(d, field::OUTLINE_TABLE);
    const uint32_t outline_data = u32(d, field::OUTLINE_DATA), first_single = u32(d, field::FIRST_SINGLE);
    const uint32_t first_latin = u32(d, field::FIRST_LATIN), utf16 = u32(d, field::UTF16_TABLE);
    const uint32_t entries = u32(d, field::OUTLINE_COUNT_X3) / 3;
    const int64_t composites =
        static_cast<int64_t>(u32(d, field::COMPOSITE_COUNT_X3) / 3) - u32(d, field::COMPOSITE_BIAS);
    const int64_t pages = (static_cast<int64_t>(entries) - first_latin) / static_cast<int64_t>(kPageGlyphs);
    if (pages < 1) {
        *error = path + ": no Latin page (outline entries " + std::to_string(entries) +
                 ", first Latin entry " + std::to_string(first_latin) + ")";
        return false;
    }
    if (!check(path, d, "the width pages", field::WIDTH_PAGES, kPageBytes * static_cast<uint64_t>(pages),
               error) ||
        !check(path, d, "the outline table", outline_table, 3ull * entries, error) ||
        !check(path, d, "the composite table", composite_table, 3ull * (composites > 0 ? composites : 0),
               error) ||
        (utf16 && !check(path, d, "the UTF-16 table", utf16, 2 * 0x10000ull, error)) ||
        !check(path, d, "the component records", records, 0, error) ||
        !check(path, d, "the outline data", outline_data, 0, error))
        return false;

    char tag[field::KIND - field::TAG + 1] = {};
    std::memcpy(tag, d.data() + field::TAG, field::KIND - field::TAG);
    for (char& c : tag)
        if (c && (c < 0x20 || c > 0x7E)) c = '?';
    std::printf("%s: STCF font, %zu bytes\n", path.c_str(), d.size());
    std::printf("  tag                 %s\n", tag);
    std::printf("  character-set kind  %u\n", kind);
    std::printf("  composite table     at %u, %lld glyphs\n", composite_table,
                static_cast<long long>(composites));
    std::printf("  component records   at %u\n", records);
    std::printf("  outline table       at %u, %u entries (single outlines from %u, Latin from %u)\n",
                outline_table, entries, first_single, first_latin);
    std::printf("  outline data        at %u\n", outline_data);
    size_t mapped = 0;
    if (utf16)
        for (uint32_t u = 0; u < 0x10000; ++u)
            mapped += (d[utf16 + 2 * u] | (d[utf16 + 2 * u + 1] << 8)) != kNoIndex;
    if (utf16)
        std::printf("  UTF-16 table        at %u, %zu code units mapped\n", utf16, mapped);
    else
        std::printf("  UTF-16 table        absent\n");
    const struct {
        const char* name;
        size_t at, bytes;
    } tables[] = {{"Big5 table", field::BIG5_TABLE, 2 * kBig5Cells},
                  {"Shift-JIS table", field::SJIS_TABLE, 2 * SJIS_CELLS},
                  {"EUC table", field::EUC_TABLE, 2 * EUC_ENTRIES},
                  {"mode-6 table", field::MODE6_TABLE, 2 * 0x8000}};
    for (const auto& t : tables) {
        const uint32_t at = u32(d, t.at);
        if (!at) continue;
        if (!check(path, d, t.name, at, t.bytes, error)) return false;
        std::printf("  %-19s at %u, %zu cells\n", t.name, at, t.bytes / 2);
    }

    /* An outline entry is drawn when its data starts with a contour count above 0. */
    auto entry_drawn = [&](uint64_t entry) {
        if (entry >= entries) return false;
        const uint64_t at = static_cast<uint64_t>(outline_data) + u24(d, outline_table + 3 * entry);
        return inside(d, at, 1) && d[at] > 0;
    };
    for (int64_t p = 0; p < pages; ++p) {
        uint32_t lo = 0xFFFFFFFF, hi = 0;
        size_t drawn = 0;
        for (size_t i = 0; i < kPageGlyphs; ++i) {
            const uint32_t w = u32(d, field::WIDTH_PAGES + kPageBytes * p + 4 * i);
            lo = std::min(lo, w);
            hi = std::max(hi, w);
            drawn += entry_drawn(first_latin + kPageGlyphs * p + i);
        }
        std::printf("  Latin page %-3lld     %zu of 224 glyphs drawn, advances %u..%u of 128\n",
                    static_cast<long long>(p + 1), drawn, lo, hi);
    }
    /* The single-outline block's length follows from the kind: the GBK symbol rows. */
    const uint64_t singles_end = std::min<uint64_t>(
        entries, first_single + uint64_t{single_slots(kind <= 4 ? static_cast<int>(kind) : 1)});
    size_t singles_drawn = 0;
    for (uint64_t e = first_single; e < singles_end; ++e) singles_drawn += entry_drawn(e);
    std::printf("  single outlines     %zu drawn\n", singles_drawn);

    size_t by_count[7] = {}, scaled = 0, bad_refs = 0;
    const bool by_offset = 3ull * entries <= 0xFFFF;
    for (int64_t c = 0; c < composites; ++c) {
        const uint64_t at = static_cast<uint64_t>(records) + u24(d, composite_table + 3 * c);
        if (!inside(d, at, 1)) {
            ++bad_refs;
            continue;
        }
        const uint8_t flags = d[at];
        /* The lowest set bit of 1..6 gives the count (bit 6: one, bit 1: six); the bits above it say
         * which components carry scales. */
        int n = 0;
        for (int bit = 0; bit <= 6 && !n; ++bit)
            if (flags & (1 << bit)) n = bit ? 7 - bit : -1;
        if (n < 0) n = 0;
        ++by_count[n];
        uint64_t p = at + 1;
        for (int i = 0; i < n; ++i) {
            const bool has_scale = flags & (0x80 >> i);
            if (!inside(d, p, has_scale ? 6 : 4)) {
                ++bad_refs;
                break;
            }
            const uint32_t ref = d[p] | (d[p + 1] << 8);
            if ((by_offset ? ref / 3 : ref) >= entries) ++bad_refs;
            scaled += has_scale;
            p += has_scale ? 6 : 4;
        }
    }
    std::printf("  composites          %lld: %zu empty", static_cast<long long>(composites), by_count[0]);
    for (int n = 1; n <= 6; ++n)
        if (by_count[n]) std::printf(", %zu of %d component%s", by_count[n], n, n > 1 ? "s" : "");
    std::printf("; %zu scaled components\n", scaled);
    if (bad_refs) {
        *error = path + ": " + std::to_string(bad_refs) +
                 " composite glyphs point outside the file or the outline table";
        return false;
    }
    return true;
}

}  // namespace kesra_font
