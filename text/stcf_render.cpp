/* stcf_render.cpp - one character from code to coverage: encoding and lookup,
 * the glyph's outlines (one, or the components of a composite) on the scan
 * converter, reduction to levels, the post-steps, the small-glyph store and
 * the style. Below the store, a cache of finished cells spares the rasteriser
 * every glyph it has drawn before. Work happens in the process-wide cell; the target is written at
 * the end, whole, or only where the glyph is with style background 256. */
#include <algorithm>
#include <cstring>

#include "core/profile.h"
#include "text/stcf_cache.h"
#include "text/stcf_encoding.h"
#include "text/stcf_engine.h"
#include "text/stcf_levels.h"
#include "text/stcf_outline.h"
#include "text/stcf_state.h"
#include "text/stcf_store.h"

namespace kesra::stcf {

namespace {

constexpr char16_t kInlineComposite = 0xFFFF;
constexpr int kMinSide = 5;
constexpr int32_t kMaxAdjust = 1 << 20;

bool cell_size_ok(int32_t w, int32_t h) {
    return w >= kMinSide && w <= kMaxCell && h >= kMinSide && h <= kMaxCell;
}

struct ResolvedGlyph {
    GlyphRef glyph;
    int page = 1;  // the Latin page in use, 1-based
};

ResolvedGlyph resolve(const StcfFontRecord& font, char16_t code, const FontParams& params) {
    const CharIndex ci = char_index(font, code, params.encoding);
    ResolvedGlyph r;
    r.glyph = lookup_glyph(font.charset_kind, ci.index, font.composite_count);
    const int wanted = ci.latin_page ? ci.latin_page : params.page;
    r.page = wanted >= 1 && wanted <= font.page_count() ? wanted : 1;
    return r;
}

int32_t latin_advance(const StcfFontRecord& font, const ResolvedGlyph& r, int32_t width) {
    const int64_t units = font.pages[static_cast<size_t>(r.page - 1)][r.glyph.number];
    return static_cast<int32_t>(std::min<int64_t>(units * width / 128, width));
}

/* The bytes of an inline composite: from 4 bytes after the escape unit. */
ImageReader inline_bytes(CharRef ch) {
    if (!ch.text || ch.units < 2) return ImageReader(nullptr, 0);
    return ImageReader(reinterpret_cast<const uint8_t*>(ch.text + 2), (ch.units - 2) * 2);
}

int32_t inline_advance(CharRef ch, int32_t width) {
    uint32_t byte;
    if (!inline_bytes(ch).u8(0, &byte)) return width;
    return static_cast<int32_t>(int64_t{width} * byte / 128);
}

/* Component count from the lowest set bit of flags bits 0..6: bit 6 gives
 * one component, bit 5 two, and so on. */
int component_count(uint32_t flags) {
    for (int bit = 0; bit <= 6; ++bit)
        if (flags & (1u << bit)) return 7 - bit;
    return 0;
}

/* Bytes of an inline composite's data (width byte, flags, components), or 0
 * when they run past the string. */
uint64_t inline_data_bytes(const ImageReader& in) {
    uint32_t flags;
    if (!in.u8(1, &flags)) return 0;
    uint64_t at = 2;
    const int count = component_count(flags);
    for (int i = 0; i < count; ++i) {
        uint32_t kind;
        if (!in.u8(at++, &kind)) return 0;
        at += (kind == 1 ? 2 : 0) + 2 + ((flags & (0x80u >> i)) ? 2 : 0);
    }
    return in.has(0, at) ? at : 0;
}

class GlyphDrawer {
   public:
    GlyphDrawer(const StcfFontRecord& font, const Grid& grid, ScanConverter& scan)
        : font_(font), in_(font.reader()), grid_(grid), scan_(scan) {}

    bool entry(uint64_t number, const Placement& place) {
        return entry_at(font_.outline_table + 3 * number, place);
    }

    bool composite(uint32_t number) {
        uint32_t offset;
        if (!in_.u24(font_.composite_table + 3 * uint64_t{number}, &offset)) return false;
        return components(in_, uint64_t{font_.component_records} + offset, false);
    }

    /* A component record: a flags byte, then per component an outline
     * reference (or, inline, a kind byte and maybe an outline number),
     * offsets and, where the flags say so, scales. */
    bool components(const ImageReader& in, uint64_t at, bool inline_form) {
        uint32_t flags;
        if (!in.u8(at++, &flags)) return false;
        const int count = component_count(flags);
        bool have_outline = false;
        uint64_t table_offset = 0;
        for (int i = 0; i < count; ++i) {
            uint32_t ref = 0, dx, dy, sx = 128, sy = 128;
            if (inline_form) {
                uint32_t kind;
                if (!in.u8(at++, &kind)) return false;
                if (kind == 1) {
                    if (!in.u16(at, &ref)) return false;
                    at += 2;
                    table_offset = 3 * uint64_t{ref};
                    have_outline = true;
                }
            } else {
                if (!in.u16(at, &ref)) return false;
                at += 2;
                table_offset = uint64_t{font_.entry_count} * 3 <= 65535 ? ref : 3 * uint64_t{ref};
                have_outline = true;
            }
            if (!in.u8(at, &dx) || !in.u8(at + 1, &dy)) return false;
            at += 2;
            if (flags & (0x80u >> i)) {
                if (!in.u8(at, &sx) || !in.u8(at + 1, &sy)) return false;
                at += 2;
            }
            if (!have_outline || table_offset / 3 >= font_.entry_count) continue;
            const Placement place{static_cast<int8_t>(dx), static_cast<int8_t>(dy) + 25,
                                  static_cast<int32_t>(sx), static_cast<int32_t>(sy)};
            if (!entry_at(font_.outline_table + table_offset, place)) return false;
        }
        return true;
    }

   private:
    bool entry_at(uint64_t table_at, const Placement& place) {
        uint32_t offset;
        if (!in_.u24(table_at, &offset)) return false;
        return draw_outline(in_, uint64_t{font_.outline_data} + offset, grid_, place, scan_);
    }

    const StcfFontRecord& font_;
    ImageReader in_;
    const Grid& grid_;
    ScanConverter& scan_;
};

/* Rasterises into cell; false leaves the cell empty. */
bool rasterise(const StcfFontRecord& font, const ResolvedGlyph& r, CharRef ch, const Grid& grid,
               uint8_t* cell) {
    Workspace& ws = workspace();
    ScanConverter scan(grid);
    GlyphDrawer drawer(font, grid, scan);
    const Placement upright;
    bool ok = false;
    if (ch.text[0] == kInlineComposite)
        ok = drawer.components(inline_bytes(ch), 1, true);
    else if (r.glyph.kind == GlyphKind::Latin)
        ok = drawer.entry(uint64_t{font.first_latin_entry} + r.glyph.number + 224 * uint64_t(r.page - 1),
                          upright);
    else if (r.glyph.kind == GlyphKind::Single)
        ok = drawer.entry(uint64_t{font.first_single_entry} + r.glyph.number, upright);
    else if (r.glyph.kind == GlyphKind::Composite)
        ok = drawer.composite(r.glyph.number);
    if (!ok || scan.overflowed()) return false;
    std::memset(ws.bits, 0, static_cast<size_t>(grid.bits_stride()) * grid.rows());
    scan.fill(ws.bits);
    reduce_bits(grid, ws.bits, cell);
    return true;
}

void post_steps(uint8_t* cell, const Grid& grid, int levels, int flags) {
    if (flags & 1) smooth_edges(cell, grid.width, grid.height, levels);
    if (flags & 2) sharpen(cell, grid.width, grid.height, levels, workspace().before);
    if (flags & 4) add_rings(cell, grid.width, grid.height, (flags & 8) != 0);
}

/* The cell after the post-steps, from the cache or else rasterised (and then
 * kept), and its ink; false when the glyph rasterises to nothing. Inline
 * composites carry their outlines in the string and are always rasterised. */
bool finished_cell(const StcfFontRecord& font, const ResolvedGlyph& r, CharRef ch, const Grid& grid,
                   const FontParams& params, const StoreKey& key, uint8_t* cell, CellInk* ink) {
    const bool cacheable = ch.text[0] != kInlineComposite;
    if (cacheable) {
        const Cached c = fetch_cached(key, cell, ink);
        profile::count(c != Cached::Missing ? profile::Kind::GlyphHit : profile::Kind::GlyphMiss);
        if (c != Cached::Missing) return c == Cached::Drawn;
    }
    const bool drawn = rasterise(font, r, ch, grid, cell);
    if (drawn) post_steps(cell, grid, params.levels, params.flags);
    if (cacheable)
        *ink = keep_cached(key, drawn ? cell : nullptr);
    else if (drawn)
        *ink = ink_of(cell, grid.width, grid.height);
    return drawn;
}

void write_target(const uint8_t* cell, size_t n, const FontParams& params, uint8_t* target) {
    const bool styled = params.style >= 0 && params.style < kStyleCount;
    if (!styled) {
        std::memcpy(target, cell, n);
        return;
    }
    const uint8_t* entry = style_entry(params.style);
    if (params.background == 256) {
        for (size_t i = 0; i < n; ++i)
            if (cell[i]) target[i] = entry[cell[i]];
        return;
    }
    const uint8_t empty = params.background >= 0 && params.background <= 255
                              ? static_cast<uint8_t>(params.background)
                              : entry[0];
    for (size_t i = 0; i < n; ++i) target[i] = cell[i] ? entry[cell[i]] : empty;
}

}  // namespace

size_t char_units(CharRef ch) {
    if (!ch.text || ch.units <= 1 || ch.text[0] != kInlineComposite) return 1;
    const uint64_t bytes = inline_data_bytes(inline_bytes(ch));
    if (bytes == 0) return ch.units;
    return static_cast<size_t>(2 + (bytes + 1) / 2);
}

int32_t char_width(const StcfFontRecord* record, CharRef ch, int32_t width, int32_t height,
                   const FontParams& params) {
    if (!record || !ch.text || ch.units < 1 || !cell_size_ok(width, height)) return width;
    if (ch.text[0] == kInlineComposite) return inline_advance(ch, width);
    const ResolvedGlyph r = resolve(*record, ch.text[0], params);
    return r.glyph.kind == GlyphKind::Latin ? latin_advance(*record, r, width) : width;
}

bool renders_cell(int32_t w, int32_t h, size_t capacity) {
    return cell_size_ok(w, h) && static_cast<size_t>(w) * static_cast<size_t>(h) <= capacity;
}

void render(const StcfFontRecord* record, CharRef ch, const FontParams& params, uint8_t* target,
            size_t capacity, int32_t* width, int32_t* height, CellInk* ink) {
    if (!record || !ch.text || ch.units < 1 || !target || !width || !height) return;
    const int32_t w = *width, h = *height;
    if (!renders_cell(w, h, capacity)) return;
    const size_t n = static_cast<size_t>(w) * h;
    const bool styled = params.style >= 0 && params.style < kStyleCount;
    const bool rings = (params.flags & 4) != 0, second_ring = rings && (params.flags & 8) != 0;
    // Beyond a few cell sizes every glyph lies outside the cell; the clamp only
    // keeps the arithmetic from overflowing.
    int32_t adjust = std::clamp(params.adjust, -kMaxAdjust, kMaxAdjust);
    if (styled && rings) {
        uint8_t* entry = style_entry(params.style);
        std::fill(entry + 17, entry + 20, static_cast<uint8_t>(params.ring_value));
        adjust -= second_ring ? 4 : 2;
    }
    uint8_t* cell = workspace().cell;
    std::memset(cell, 0, n);
    CellInk cell_ink;  // none until a glyph is drawn
    Grid grid;
    const bool inline_glyph = ch.text[0] == kInlineComposite;
    const ResolvedGlyph r = inline_glyph ? ResolvedGlyph{} : resolve(*record, ch.text[0], params);
    const bool has_glyph = inline_glyph || r.glyph.kind != GlyphKind::None;
    if (has_glyph)
        *width = inline_glyph                       ? inline_advance(ch, w)
                 : r.glyph.kind == GlyphKind::Latin ? latin_advance(*record, r, w)
                                                    : w;
    if (has_glyph && make_grid(params.levels, w, h, adjust, &grid)) {
        const bool use_store = params.store && !inline_glyph && w <= kStoreMaxSide && h <= kStoreMaxSide;
        const StoreKey key{r.glyph.number,
                           static_cast<uint32_t>(r.glyph.kind),
                           static_cast<uint32_t>(r.glyph.kind == GlyphKind::Latin ? r.page : 0),
                           static_cast<uint32_t>(params.levels),
                           static_cast<uint32_t>(w),
                           static_cast<uint32_t>(h),
                           static_cast<uint32_t>(params.flags & 15),
                           adjust,
                           record->serial};
        const bool stored = use_store && fetch_stored(key, cell);
        if (stored) {
            profile::count(profile::Kind::GlyphHit);
            cell_ink = ink_of(cell, w, h);
        }
        if (!stored && finished_cell(*record, r, ch, grid, params, key, cell, &cell_ink) && use_store)
            store_cell(key, cell);
    }
    write_target(cell, n, params, target);
    // A style maps the bytes (and may fill the empty ones): its cells keep the caller's guess.
    if (ink && !styled) *ink = cell_ink;
}

}  // namespace kesra::stcf
