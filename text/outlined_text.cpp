/* outlined_text.cpp - halo, drop shadow, gradient, split colours and sheen
 * for built-in engine glyphs. Each glyph is rendered into FontCoverageBuffer
 * and painted in two layers, the back layer (halo or shadow) first; every
 * pixel is a 16-level blend clipped to the rectangle (edges inclusive) and to
 * coverage 1..levels, so the engine's ring markers are never painted here. */
#include "text/outlined_text.h"

#include <algorithm>
#include <cstring>

#include "core/pixel.h"

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

/* Labels repeat their glyphs: masks are kept by the coverage they came
 * from (every byte the mask reads, and the sizes), in a direct-mapped table. */
struct HaloMemo {
    bool used = false;
    int width = 0, height = 0, rows = 0, columns = 0;
    uint8_t coverage[kMaxGlyphSide * kMaxGlyphSide];
    uint8_t mask[kHaloSide * kHaloSide];
};
constexpr int kHaloMemos = 256;

HaloMemo& halo_memo(uint64_t hash) {
    static HaloMemo memos[kHaloMemos];
    return memos[hash % kHaloMemos];
}

uint64_t hash_bytes(const uint8_t* p, size_t n, uint64_t h) {
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

}  // namespace

MaskSize make_halo_mask(const GlyphCoverage& g, uint8_t (&mask)[kHaloSide * kHaloSide]) {
    std::memset(mask, 0, sizeof mask);
    const MaskSize size{std::clamp(g.width, 0, kMaxGlyphSide) + 2 * kHaloMargin,
                        std::clamp(g.height, 0, kMaxGlyphSide) + 2 * kHaloMargin};
    const int rows = std::max(0, std::min({g.height, g.readable_rows, size.height}));
    const int columns = std::min(g.stride, size.width);
    const size_t read = static_cast<size_t>(rows) * columns;
    if (read > sizeof HaloMemo::coverage) {
        compute_halo(g, size, mask);
        return size;
    }
    uint8_t seen[kMaxGlyphSide * kMaxGlyphSide];
    for (int y = 0; y < rows; ++y) std::memcpy(seen + y * columns, g.data + y * g.stride, columns);
    const uint64_t hash =
        hash_bytes(seen, read,
                   14695981039346656037ull ^ (uint64_t(size.width) << 8 | uint64_t(size.height) << 16 |
                                              uint64_t(rows) << 24 | uint64_t(columns) << 32));
    HaloMemo& m = halo_memo(hash);
    const size_t bytes = static_cast<size_t>(size.width) * size.height;
    if (m.used && m.width == size.width && m.height == size.height && m.rows == rows &&
        m.columns == columns && std::memcmp(m.coverage, seen, read) == 0) {
        std::memcpy(mask, m.mask, bytes);
        return size;
    }
    compute_halo(g, size, mask);
    m.used = true;
    m.width = size.width, m.height = size.height, m.rows = rows, m.columns = columns;
    std::memcpy(m.coverage, seen, read);
    std::memcpy(m.mask, mask, bytes);
    return size;
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
        uint8_t(&mask)[kHaloSide * kHaloSide] = outlined_state().HaloMaskBuffer;
        const MaskSize size = make_halo_mask(g, mask);
        if (!job_.rgb565) return;
        // The mask's part inside the rectangle and the screen, a row at a time.
        const int32_t x0 = pen - kHaloMargin, y0 = line - kHaloMargin;
        const RECT& r = job_.rect;
        const int64_t left = std::max<int64_t>({r.left, 0, x0}),
                      right = std::min<int64_t>(
                          {int64_t{r.right} + 1, job_.canvas.width, int64_t{x0} + size.width});
        const int64_t top = std::max<int64_t>({r.top, 0, y0}),
                      bottom = std::min<int64_t>(
                          {int64_t{r.bottom} + 1, job_.canvas.height, int64_t{y0} + size.height});
        for (int64_t y = top; y < bottom; ++y) {
            const uint8_t* row = mask + (y - y0) * size.width - x0;
            uint16_t* screen = job_.canvas.at(0, static_cast<int32_t>(y));
            for (int64_t x = left; x < right; ++x) {
                const int v = row[x];
                if (v > 0 && v <= levels_)
                    screen[x] = blend565_16(screen[x], back_color(static_cast<int32_t>(x)), v);
            }
        }
    }

    /* The glyph itself, 1 right and 2 down, at half strength. */
    void back_layer_shadow(const GlyphCoverage& g, int32_t pen, int32_t line) {
        for_each_pixel(g, [&](int c, int r, int v) {
            const int32_t x = pen + c + 1, y = line + r + 2;
            if (paintable(x, y, v)) blend(x, y, back_color(x), v / 2);
        });
    }

    void glyph_layer(const GlyphCoverage& g, int32_t pen, int32_t line) {
        OutlinedState& s = outlined_state();
        build_gradient(s.RowGradientTable, low16(p_.dwColors), high16(p_.dwColors), g.height);
        build_gradient(s.AltRowGradientTable, low16(p_.dwLeftColors), high16(p_.dwLeftColors), g.height);
        for_each_pixel(g, [&](int c, int r, int v) {
            const int32_t x = pen + c, y = line + r;
            if (!paintable(x, y, v)) return;
            if (left_part(x)) {
                blend(x, y, s.AltRowGradientTable.at(r), v);
                return;
            }
            blend(x, y, s.RowGradientTable.at(r), v);
            if (p_.bHighlight) {
                const int32_t d = p_.nHighlightDir ? x - p_.nHighlightX : p_.nHighlightX - x;
                if (const int level = highlight_level(d)) blend(x, y, 0xFFFF, level);
            }
        });
    }

   private:
    template <typename Visit>
    void for_each_pixel(const GlyphCoverage& g, Visit visit) const {
        const int columns = std::min(g.width, g.stride), rows = std::min(g.height, g.readable_rows);
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
        painter.glyph_layer(glyph, pen, start.y);
        pen += width;
    }
}

}  // namespace kesra
