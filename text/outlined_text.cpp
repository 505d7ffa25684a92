/* outlined_text.cpp - halo, drop shadow, gradient, split colours and sheen
 * for built-in engine glyphs. Each glyph is rendered into FontCoverageBuffer
 * and painted in two layers, the back layer (halo or shadow) first; every
 * pixel is a 16-level blend clipped to the rectangle (edges inclusive) and to
 * coverage 1..levels, so the engine's ring markers are never painted here.
 * Halo masks are kept with the ink boxes of mask and glyph, and the layers
 * paint those boxes a block of rows at a time. */
#include "text/outlined_text.h"

#include <algorithm>
#include <cstring>

#include "core/pixel.h"
#include "text/coverage_blend.h"

namespace kesra {

OutlinedState& outlined_state() {
    static OutlinedState state;
    return state;
}

bool build_gradient(GradientTable& table, uint16_t top, uint16_t bottom, int32_t rows) {
    if (rows < 3) return false;
    if (top == table.top && bottom == table.bottom && rows == table.count) return true;
    table.top = top;
    table.bottom = bottom;
    table.count = rows;
    table.rows.fill(0);
    const uint32_t a = Color16ToColorRef(top), b = Color16ToColorRef(bottom);
    auto channel = [&](int shift, int32_t i) {
        const int32_t ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        return static_cast<uint32_t>(ca + i * (cb - ca) / (rows - 1)) & 0xFF;  // truncates toward zero
    };
    for (int32_t i = 0; i < std::min(rows, kGradientRows); ++i)
        table.rows[static_cast<size_t>(i)] =
            ColorRefToColor16(channel(0, i) | channel(8, i) << 8 | channel(16, i) << 16);
    return true;
}

namespace {

/* The kernel 1 2 4 2 1 times itself: a pass along each row, then one down
 * each column, sum the same integers as the 5 x 5 weights. */
void compute_halo(const GlyphCoverage& g, MaskSize size, uint8_t* mask) {
    static constexpr int kTaps[5] = {1, 2, 4, 2, 1};
    // Mask pixel (mx, my) sums glyph pixels mx - 4 .. mx and my - 4 .. my.
    const int rows = std::max(0, std::min({g.height, g.readable_rows, size.height}));
    const int columns = std::min(g.stride, size.width);
    int across[kHaloSide][kHaloSide];  // per glyph row, the row pass at each mask column
    for (int y = 0; y < rows; ++y) {
        int ink[kHaloSide + 4] = {};  // glyph columns -4 .. size.width - 1, counted only in 1..16
        for (int x = 0; x < columns; ++x) {
            const int s = g.data[y * g.stride + x];
            ink[x + 4] = static_cast<unsigned>(s - 1) < 16u ? s : 0;  // 1..16 only
        }
        for (int mx = 0; mx < size.width; ++mx)
            across[y][mx] = ink[mx] + 2 * ink[mx + 1] + 4 * ink[mx + 2] + 2 * ink[mx + 3] + ink[mx + 4];
    }
    for (int my = 0; my < size.height; ++my) {
        int sum[kHaloSide] = {};
        for (int y = std::max(0, my - 4); y <= std::min(rows - 1, my); ++y) {
            const int tap = kTaps[y - my + 4];
            for (int mx = 0; mx < size.width; ++mx) sum[mx] += tap * across[y][mx];
        }
        uint8_t* out = mask + my * size.width;
        for (int mx = 0; mx < size.width; ++mx) out[mx] = static_cast<uint8_t>(std::min(sum[mx] >> 5, 16));
    }
}

/* Cells [x0, x1) x [y0, y1) of a mask or a glyph that hold anything. */
struct InkBox {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

/* The box of the nonzero bytes of a width x height block, rows stride apart. */
InkBox ink_box(const uint8_t* data, int stride, int width, int height) {
    InkBox box{width, height, 0, 0};
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = data + y * stride;
        int first = 0;
        while (first < width && row[first] == 0) ++first;
        if (first == width) continue;
        int last = width - 1;
        while (row[last] == 0) --last;
        box.x0 = std::min(box.x0, first), box.x1 = std::max(box.x1, last + 1);
        box.y0 = std::min(box.y0, y), box.y1 = y + 1;
    }
    if (box.x0 >= box.x1) box = InkBox{};
    return box;
}

/* Labels repeat their glyphs: masks are kept by the coverage they came from
 * (every byte the mask reads, and the sizes) with the ink boxes of both.
 * Open addressing over a fixed table, the bytes back to back in one arena,
 * both emptied whole when either fills; a hit compares all of the bytes. */
struct HaloEntry {
    uint64_t hash;
    int width, height, rows, columns;
    InkBox mask_ink, glyph_ink;  // the glyph's over the rows x columns read
    uint32_t offset;             // of the coverage read, the mask after it
    bool used;
};
constexpr int kHaloEntries = 2048;              // a power of two
constexpr size_t kHaloBytes = size_t{1} << 20;  // coverage and mask bytes held at most

struct HaloMemo {
    HaloEntry entries[kHaloEntries];
    uint8_t arena[kHaloBytes];
    size_t arena_used = 0;
    int count = 0;

    void clear() {
        for (HaloEntry& e : entries) e.used = false;
        arena_used = 0;
        count = 0;
    }
};

HaloMemo& halo_memo() {
    static HaloMemo memo;
    return memo;
}

/* Four FNV-1a lanes over 8-byte words (so that the multiplications overlap),
 * then the bytes left over. */
uint64_t hash_bytes(const uint8_t* p, size_t n, uint64_t seed) {
    constexpr uint64_t kPrime = 1099511628211ull;
    auto word = [p](size_t at) {
        uint64_t w;
        std::memcpy(&w, p + at, sizeof w);
        return w;
    };
    uint64_t h0 = seed, h1 = seed ^ 1, h2 = seed ^ 2, h3 = seed ^ 3;
    size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        h0 = (h0 ^ word(i)) * kPrime;
        h1 = (h1 ^ word(i + 8)) * kPrime;
        h2 = (h2 ^ word(i + 16)) * kPrime;
        h3 = (h3 ^ word(i + 24)) * kPrime;
    }
    uint64_t r = (h0 ^ (h1 << 1 | h1 >> 63)) * kPrime;
    r = (r ^ h2) * kPrime;
    r = (r ^ h3) * kPrime;
    for (; i < n; ++i) r = (r ^ p[i]) * kPrime;
    return r ^ r >> 29;
}

/* A glyph's halo ready to paint: the mask (rows size.width apart), its ink,
 * and the ink of the glyph's rows x columns that the mask was made from. */
struct HaloView {
    const uint8_t* mask;
    MaskSize size;
    InkBox mask_ink, glyph_ink;
    int rows, columns;
};

/* The halo of g, kept or made; masks too large to keep are made in scratch. */
HaloView halo_view(const GlyphCoverage& g, uint8_t* scratch) {
    const MaskSize size{std::clamp(g.width, 0, kMaxGlyphSide) + 2 * kHaloMargin,
                        std::clamp(g.height, 0, kMaxGlyphSide) + 2 * kHaloMargin};
    const int rows = std::max(0, std::min({g.height, g.readable_rows, size.height}));
    const int columns = std::min(g.stride, size.width);
    const size_t read = static_cast<size_t>(rows) * columns;
    if (read > kMaxGlyphSide * kMaxGlyphSide) {
        compute_halo(g, size, scratch);
        return HaloView{scratch,
                        size,
                        ink_box(scratch, size.width, size.width, size.height),
                        ink_box(g.data, g.stride, columns, rows),
                        rows,
                        columns};
    }
    // The rows read lie back to back in the buffer unless the mask is narrower than it.
    uint8_t packed[kMaxGlyphSide * kMaxGlyphSide];
    const uint8_t* seen = g.data;
    if (columns != g.stride) {
        for (int y = 0; y < rows; ++y) std::memcpy(packed + y * columns, g.data + y * g.stride, columns);
        seen = packed;
    }
    const uint64_t hash =
        hash_bytes(seen, read,
                   14695981039346656037ull ^ (uint64_t(size.width) << 8 | uint64_t(size.height) << 16 |
                                              uint64_t(rows) << 24 | uint64_t(columns) << 32));
    const size_t mask_bytes = static_cast<size_t>(size.width) * size.height;
    HaloMemo& memo = halo_memo();
    auto find = [&]() -> HaloEntry& {
        for (uint32_t i = static_cast<uint32_t>(hash) & (kHaloEntries - 1);;
             i = (i + 1) & (kHaloEntries - 1)) {
            const HaloEntry& e = memo.entries[i];
            if (!e.used ||
                (e.hash == hash && e.width == size.width && e.height == size.height && e.rows == rows &&
                 e.columns == columns && std::memcmp(memo.arena + e.offset, seen, read) == 0))
                return memo.entries[i];
        }
    };
    HaloEntry* e = &find();
    if (!e->used) {
        // Three quarters full keeps the probes short.
        if (memo.count >= kHaloEntries * 3 / 4 || memo.arena_used + read + mask_bytes > kHaloBytes) {
            memo.clear();
            e = &find();
        }
        uint8_t* kept = memo.arena + memo.arena_used;
        std::memcpy(kept, seen, read);
        compute_halo(g, size, kept + read);
        *e = HaloEntry{hash,
                       size.width,
                       size.height,
                       rows,
                       columns,
                       ink_box(kept + read, size.width, size.width, size.height),
                       ink_box(seen, columns, columns, rows),
                       static_cast<uint32_t>(memo.arena_used),
                       true};
        memo.arena_used += read + mask_bytes;
        ++memo.count;
    }
    return HaloView{memo.arena + e->offset + read, size, e->mask_ink, e->glyph_ink, rows, columns};
}

}  // namespace

MaskSize make_halo_mask(const GlyphCoverage& g, uint8_t (&mask)[kHaloSide * kHaloSide]) {
    std::memset(mask, 0, sizeof mask);
    const HaloView view = halo_view(g, mask);
    if (view.mask != mask)
        std::memcpy(mask, view.mask, static_cast<size_t>(view.size.width) * view.size.height);
    return view.size;
}

int highlight_level(int32_t distance) {
    // Stripes of falling strength with gaps between them, nearest the origin first.
    static constexpr uint8_t kSheen[33] = {12, 12, 12, 12, 12, 0, 0, 10, 10, 10, 10, 10, 10, 10, 0, 0, 8,
                                           8,  8,  8,  0,  0,  6, 6, 6,  6,  0,  0,  4,  4,  0,  2, 2};
    return distance >= 1 && distance <= 33 ? kSheen[distance - 1] : 0;
}

namespace {

uint16_t low16(DWORD v) { return static_cast<uint16_t>(v); }
uint16_t high16(DWORD v) { return static_cast<uint16_t>(v >> 16); }

/* Paints one string's glyphs: knows the canvas, the clip, the colours. */
class OutlinedPainter {
   public:
    OutlinedPainter(const TextJob& job, const tagDISTINCT_STRUCT& params)
        : job_(job), p_(params), levels_(job.font->m_nP2) {}

    void back_layer_halo(const GlyphCoverage& g, int32_t pen, int32_t line) {
        const HaloView halo = halo_view(g, outlined_state().HaloMaskBuffer);
        // The mask's ink inside the rectangle and the screen.
        const int32_t x0 = pen - kHaloMargin, y0 = line - kHaloMargin;
        const Span across = clip_columns(int64_t{x0} + halo.mask_ink.x0, int64_t{x0} + halo.mask_ink.x1);
        const Span down = clip_rows(int64_t{y0} + halo.mask_ink.y0, int64_t{y0} + halo.mask_ink.y1);
        if (!down.empty())
            for_each_part(across, [&](Span part, bool left) {
                const uint16_t color = low16(left ? p_.dwLeftBackColor : p_.dwBackColor);
                const uint8_t* cells = halo.mask + (down.begin - y0) * halo.size.width + (part.begin - x0);
                paint_rows(part, down, cells, halo.size.width, &color, 0);
            });
        last_glyph_ink_ = halo.rows >= visible_rows(g) && halo.columns >= visible_columns(g)
                              ? halo.glyph_ink
                              : InkBox{0, 0, visible_columns(g), visible_rows(g)};
    }

    /* The glyph itself, 1 right and 2 down, at half strength. */
    void back_layer_shadow(const GlyphCoverage& g, int32_t pen, int32_t line) {
        for_each_pixel(g, [&](int c, int r, int v) {
            const int32_t x = pen + c + 1, y = line + r + 2;
            if (paintable(x, y, v)) blend(x, y, back_color(x), v / 2);
        });
    }

    void glyph_layer(const GlyphCoverage& g, int32_t pen, int32_t line, bool ink_known) {
        OutlinedState& s = outlined_state();
        build_gradient(s.RowGradientTable, low16(p_.dwColors), high16(p_.dwColors), g.height);
        build_gradient(s.AltRowGradientTable, low16(p_.dwLeftColors), high16(p_.dwLeftColors), g.height);
        const InkBox ink = ink_known ? last_glyph_ink_ : InkBox{0, 0, visible_columns(g), visible_rows(g)};
        const Span across =
            clip_columns(int64_t{pen} + ink.x0, int64_t{pen} + std::min(ink.x1, visible_columns(g)));
        const Span down =
            clip_rows(int64_t{line} + ink.y0, int64_t{line} + std::min(ink.y1, visible_rows(g)));
        if (down.empty()) return;
        for_each_part(across, [&](Span part, bool left) {
            const GradientTable& table = left ? s.AltRowGradientTable : s.RowGradientTable;
            const uint8_t* cells = g.data + (down.begin - line) * g.stride + (part.begin - pen);
            // Rows past the table take its last colour.
            const int64_t r0 = down.begin - line,
                          in_table = std::clamp<int64_t>(kGradientRows - r0, 0, down.length());
            paint_rows(part, Span{down.begin, down.begin + in_table}, cells, g.stride,
                       table.rows.data() + std::min<int64_t>(r0, kGradientRows - 1), 1);
            paint_rows(part, Span{down.begin + in_table, down.end}, cells + in_table * g.stride, g.stride,
                       &table.rows[kGradientRows - 1], 0);
            if (!left && p_.bHighlight)
                for (int64_t y = down.begin; y < down.end; ++y)
                    add_sheen(job_.canvas.at(0, static_cast<int32_t>(y)),
                              g.data + (y - line) * g.stride - pen, part);
        });
    }

   private:
    /* Screen columns or rows [begin, end). */
    struct Span {
        int64_t begin, end;
        int64_t length() const { return end - begin; }
        bool empty() const { return begin >= end; }
    };

    /* Blends the cells (rows stride apart) over the screen's columns x rows. */
    void paint_rows(Span columns, Span rows, const uint8_t* cells, int stride, const uint16_t* colors,
                    intptr_t color_step) const {
        if (rows.empty() || columns.empty()) return;
        if (job_.canvas.ypitch % Canvas::xpitch != 0) {  // rows not whole pixels apart: one at a time
            for (int64_t y = rows.begin; y < rows.end; ++y, cells += stride, colors += color_step)
                paint_rows(columns, Span{y, y + 1}, cells, stride, colors, 0);
            return;
        }
        blend_coverage16(CoverageRows{job_.canvas.at(static_cast<int32_t>(columns.begin),
                                                     static_cast<int32_t>(rows.begin)),
                                      job_.canvas.ypitch / Canvas::xpitch, cells, stride, colors, color_step,
                                      static_cast<int>(rows.length()), static_cast<int>(columns.length())},
                         levels_);
    }

    /* Columns [from, to) inside the rectangle and the screen; empty where
     * nothing may be painted (not an RGB565 screen). */
    Span clip_columns(int64_t from, int64_t to) const {
        if (!job_.rgb565 || !job_.canvas.origin) return Span{0, 0};
        const int64_t begin = std::max<int64_t>({job_.rect.left, 0, from});
        return Span{
            begin, std::max(begin, std::min<int64_t>({int64_t{job_.rect.right} + 1, job_.canvas.width, to}))};
    }
    Span clip_rows(int64_t from, int64_t to) const {
        const int64_t begin = std::max<int64_t>({job_.rect.top, 0, from});
        return Span{
            begin,
            std::max(begin, std::min<int64_t>({int64_t{job_.rect.bottom} + 1, job_.canvas.height, to}))};
    }

    /* The span cut at the split column: part(columns, true) left of it. */
    template <typename Part>
    void for_each_part(Span s, Part part) const {
        if (s.begin >= s.end) return;
        const int64_t split = p_.bSplit ? std::clamp<int64_t>(p_.nSplitX, s.begin, s.end) : s.begin;
        if (split > s.begin) part(Span{s.begin, split}, true);
        if (s.end > split) part(Span{split, s.end}, false);
    }

    /* The sheen over the blended glyph pixels of a main-colour span: white at
     * the level of each pixel's distance from the highlight's origin. */
    void add_sheen(uint16_t* screen, const uint8_t* row, Span part) const {
        const int64_t origin = p_.nHighlightX;
        const int64_t from =
            p_.nHighlightDir ? std::max(part.begin, origin + 1) : std::max(part.begin, origin - 33);
        const int64_t to = p_.nHighlightDir ? std::min(part.end, origin + 34) : std::min(part.end, origin);
        for (int64_t x = from; x < to; ++x) {
            const int v = row[x];
            if (v <= 0 || v > levels_) continue;
            const int32_t d = static_cast<int32_t>(p_.nHighlightDir ? x - origin : origin - x);
            if (const int level = highlight_level(d)) screen[x] = blend565_16(screen[x], 0xFFFF, level);
        }
    }

    int visible_columns(const GlyphCoverage& g) const { return std::max(0, std::min(g.width, g.stride)); }
    int visible_rows(const GlyphCoverage& g) const {
        return std::max(0, std::min(g.height, g.readable_rows));
    }

    template <typename Visit>
    void for_each_pixel(const GlyphCoverage& g, Visit visit) const {
        const int columns = visible_columns(g), rows = visible_rows(g);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c) visit(c, r, g.data[r * g.stride + c]);
    }

    bool left_part(int32_t x) const { return p_.bSplit && x < p_.nSplitX; }
    uint16_t back_color(int32_t x) const { return low16(left_part(x) ? p_.dwLeftBackColor : p_.dwBackColor); }

    bool paintable(int32_t x, int32_t y, int v) const {
        const RECT& r = job_.rect;
        return v > 0 && v <= levels_ && x >= r.left && x <= r.right && y >= r.top && y <= r.bottom;
    }

    /* The 16-level blend of one screen pixel, on RGB565 screens only. */
    void blend(int32_t x, int32_t y, uint16_t color, int level) const {
        if (!job_.rgb565 || !job_.canvas.contains(x, y)) return;
        uint16_t* p = job_.canvas.at(x, y);
        *p = blend565_16(*p, color, level);
    }

    const TextJob& job_;
    const tagDISTINCT_STRUCT& p_;
    const int levels_;
    InkBox last_glyph_ink_;  // of the glyph whose halo was painted last
};

}  // namespace

void draw_outlined_text(const TextJob& job, UINT format, const tagDISTINCT_STRUCT& params) {
    if (params.nMode != 0 && params.nMode != 1) return;
    const CCEFont& font = *job.font;
    const TextStart start =
        align_text(job.rect, format, MeasureText(job.text, job.count, font), font.m_nHeight);
    uint8_t* coverage = font_state().FontCoverageBuffer;
    const int stride = font.m_nWidth;
    if (stride <= 0) return;
    const int readable_rows = static_cast<int>(sizeof font_state().FontCoverageBuffer) / stride;
    OutlinedPainter painter(job, params);
    int32_t pen = start.x;
    for (int n = 0; n < job.count; n += GlyphUnits(job.text + n, job.count - n)) {
        int width = font.m_nWidth, height = font.m_nHeight;
        RenderGlyphCoverage(&width, &height, job.text + n, job.count - n, coverage, font);
        const GlyphCoverage glyph{coverage, stride, width, height, readable_rows};
        if (params.nMode == 0)
            painter.back_layer_halo(glyph, pen, start.y);
        else
            painter.back_layer_shadow(glyph, pen, start.y);
        painter.glyph_layer(glyph, pen, start.y, params.nMode == 0);
        pen += width;
    }
}

}  // namespace kesra
