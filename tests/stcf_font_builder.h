/* stcf_font_builder.h - STCF font images made in code for the engine's tests
 * and the fuzz seeds: outlines written operation by operation, entries,
 * composites, width pages and the optional code tables. */
#ifndef KESRA_TESTS_STCF_FONT_BUILDER_H
#define KESRA_TESTS_STCF_FONT_BUILDER_H

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace kesra::test {

/* One outline's data: contours of operations with their operand bytes. */
class OutlineWriter {
   public:
    /* Starts a contour at (x, y); force_wide writes the count as 0 + u16. */
    OutlineWriter& contour(int x, int y, bool force_wide = false) {
        contours_.push_back({static_cast<uint8_t>(x), static_cast<uint8_t>(y), {}, {}, force_wide});
        return *this;
    }
    OutlineWriter& op(int code, std::initializer_list<int> operands) {
        contours_.back().codes.push_back(static_cast<uint8_t>(code));
        for (int v : operands) contours_.back().operands.push_back(static_cast<uint8_t>(v));
        return *this;
    }
    std::vector<uint8_t> bytes() const {
        std::vector<uint8_t> out{static_cast<uint8_t>(contours_.size())};
        for (const Contour& c : contours_) {
            out.push_back(c.x);
            out.push_back(c.y);
            const size_t n = c.codes.size();
            if (n > 255 || c.wide) {
                out.insert(out.end(), {0, static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8)});
            } else {
                out.push_back(static_cast<uint8_t>(n));
            }
            for (size_t i = 0; i < n; i += 2)
                out.push_back(static_cast<uint8_t>(c.codes[i] << 4 | (i + 1 < n ? c.codes[i + 1] : 0)));
            out.insert(out.end(), c.operands.begin(), c.operands.end());
        }
        return out;
    }

   private:
    struct Contour {
        uint8_t x, y;
        std::vector<uint8_t> codes, operands;
        bool wide;
    };
    std::vector<Contour> contours_;
};

/* A delta-pair byte: dx in the high nibble, dy in the low (-8..7 each). */
constexpr int delta_pair(int dx, int dy) {
    return ((dx < 0 ? (dx == -8 ? 8 : 8 - dx) : dx) << 4) | (dy < 0 ? (dy == -8 ? 8 : 8 - dy) : dy);
}

/* A component of a composite: outline-table entry, offset, optional scales. */
struct Component {
    uint32_t entry;
    int dx, dy;
    int sx = -1, sy = -1;  // -1: no scales
};

class FontBuilder {
   public:
    FontBuilder() { empty_outline_ = add_outline(std::vector<uint8_t>{0}); }

    uint32_t charset_kind = 0;
    uint32_t first_single = 0;  // outline-table entries: singles from here,
    uint32_t first_latin = 16;  // Latin pages from here (224 per page)
    int page_count = 1;
    std::vector<std::array<uint32_t, 224>> widths;             // per page; missing pages are all 64
    std::vector<uint16_t> utf16, big5, shift_jis, euc, mode6;  // empty: absent

    /* Appends outline data; returns its offset in the outline data. */
    uint32_t add_outline(const std::vector<uint8_t>& bytes) {
        const uint32_t at = static_cast<uint32_t>(data_.size());
        data_.insert(data_.end(), bytes.begin(), bytes.end());
        return at;
    }
    uint32_t add_outline(const OutlineWriter& w) { return add_outline(w.bytes()); }
    void set_entry(uint32_t entry, uint32_t data_offset) { entries_at(entry) = data_offset; }
    void set_latin(int page, int number, const OutlineWriter& w) {
        set_entry(first_latin + 224 * (page - 1) + number, add_outline(w));
    }
    void set_single(int number, const OutlineWriter& w) { set_entry(first_single + number, add_outline(w)); }
    /* Appends a composite glyph; the flags byte is made from the components. */
    void add_composite(const std::vector<Component>& parts) {
        std::vector<uint8_t> record;
        int flags = 1 << (7 - parts.size());
        for (size_t i = 0; i < parts.size(); ++i)
            if (parts[i].sx >= 0) flags |= 0x80 >> i;
        record.push_back(static_cast<uint8_t>(flags));
        for (const Component& c : parts) {
            const uint32_t ref = entry_count() * 3 <= 65535 ? 3 * c.entry : c.entry;
            record.insert(record.end(), {static_cast<uint8_t>(ref), static_cast<uint8_t>(ref >> 8),
                                         static_cast<uint8_t>(c.dx), static_cast<uint8_t>(c.dy)});
            if (c.sx >= 0)
                record.insert(record.end(), {static_cast<uint8_t>(c.sx), static_cast<uint8_t>(c.sy)});
        }
        composites_.push_back(record);
    }
    uint32_t entry_count() const {
        return std::max<uint32_t>(static_cast<uint32_t>(entries_.size()), first_latin + 224 * page_count);
    }

    std::vector<uint8_t> build() {
        const uint32_t entries = entry_count();
        entries_at(entries - 1);
        std::vector<uint8_t> out(1104 + 896 * (page_count - 1), 0);
        std::memcpy(out.data(), "STCF", 4);
        for (int p = 0; p < page_count; ++p)
            for (int i = 0; i < 224; ++i)
                put32(out, (p == 0 ? 208 : 1104 + 896 * (p - 1)) + 4 * i,
                      p < static_cast<int>(widths.size()) ? widths[p][i] : 64);
        put32(out, 136, charset_kind);
        put32(out, 156, first_single);
        put32(out, 160, first_latin);
        put32(out, 176, 3 * entries);
        put32(out, 168, 3 * static_cast<uint32_t>(composites_.size()));
        put32(out, 184, 0);
        put32(out, 148, static_cast<uint32_t>(out.size()));
        for (uint32_t e = 0; e < entries; ++e) put24(out, entries_[e]);
        std::vector<uint8_t> components;
        put32(out, 140, static_cast<uint32_t>(out.size()));
        for (const auto& c : composites_) {
            put24(out, static_cast<uint32_t>(components.size()));
            components.insert(components.end(), c.begin(), c.end());
        }
        put32(out, 144, static_cast<uint32_t>(out.size()));
        out.insert(out.end(), components.begin(), components.end());
        put32(out, 152, static_cast<uint32_t>(out.size()));
        out.insert(out.end(), data_.begin(), data_.end());
        table(out, 164, utf16);
        table(out, 192, big5);
        table(out, 196, shift_jis);
        table(out, 200, euc);
        table(out, 204, mode6);
        return out;
    }

   private:
    uint32_t& entries_at(uint32_t entry) {
        if (entry >= entries_.size()) entries_.resize(entry + 1, empty_outline_);
        return entries_[entry];
    }
    static void put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
    static void put24(std::vector<uint8_t>& out, uint32_t v) {
        out.insert(out.end(),
                   {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16)});
    }
    static void table(std::vector<uint8_t>& out, size_t field, const std::vector<uint16_t>& cells) {
        if (cells.empty()) return;
        put32(out, field, static_cast<uint32_t>(out.size()));
        for (uint16_t c : cells)
            out.insert(out.end(), {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8)});
    }

    uint32_t empty_outline_ = 0;
    std::vector<uint32_t> entries_;
    std::vector<uint8_t> data_;
    std::vector<std::vector<uint8_t>> composites_;
};

}  // namespace kesra::test

#endif
