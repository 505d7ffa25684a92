/* builtin_text.cpp - the built-in engine's routes: each UTF-16 character is
 * rendered into FontCoverageBuffer (rows one font width apart, at most 40 x 40)
 * and painted: coverage 1..levels blends the text colour in 16 levels, 17 and
 * 19 mark the engine's edge pixels. Only the part of a cell inside the
 * rectangle is visited; DrawTextW visits only the cell's ink inside it, the
 * levels through the block blend and the markers where the cell has some. */
#include <algorithm>

#include "core/pixel.h"
#include "text/coverage_blend.h"
#include "text/font_dispatch.h"
#include "text/text_draw.h"
#include "winapi.h"

namespace kesra {

namespace {

bool is_ink(int v, int levels) { return v > 0 && v <= levels; }
bool is_edge_marker(int v) { return v == 17 || v == 19; }

/* The part of a glyph's cell that is painted: inside the buffer's rows, the
 * advance, the rectangle (edges inclusive) and, with clip_to_screen, the
 * screen; glyph columns c0..c1 - 1 of rows r0..r1 - 1. */
struct GlyphWindow {
    int c0, c1, r0, r1;
    bool empty() const { return c0 >= c1 || r0 >= r1; }
};

GlyphWindow glyph_window(const TextJob& job, int width, int height, int32_t pen, int32_t line,
                         bool clip_to_screen) {
    const int stride = job.font->m_nWidth;
    int64_t left = job.rect.left, right = int64_t{job.rect.right} + 1;
    int64_t top = job.rect.top, bottom = int64_t{job.rect.bottom} + 1;
    if (clip_to_screen) {
        left = std::max<int64_t>(left, 0), right = std::min<int64_t>(right, job.canvas.width);
        top = std::max<int64_t>(top, 0), bottom = std::min<int64_t>(bottom, job.canvas.height);
    }
    const int columns = std::min(width, stride);
    const int rows = std::min(height, kMaxGlyphSide * kMaxGlyphSide / stride);
    auto clamp = [](int64_t v, int hi) { return static_cast<int>(std::clamp<int64_t>(v, 0, hi)); };
    return GlyphWindow{clamp(left - pen, columns), clamp(right - pen, columns), clamp(top - line, rows),
                       clamp(bottom - line, rows)};
}

/* Renders one character into the coverage buffer; returns its advance and
 * sets *window to what of it is painted (empty when nothing is) and, when
 * given, *ink to the cell's ink (the whole cell where the engine does not
 * know it). */
int32_t render_glyph(const TextJob& job, int n, int32_t pen, int32_t line, bool clip_to_screen,
                     GlyphWindow* window, CellInk* ink = nullptr) {
    const CCEFont& font = *job.font;
    int width = font.m_nWidth, height = font.m_nHeight;
    if (ink) *ink = CellInk::whole();
    RenderGlyphCoverage(&width, &height, job.text + n, job.count - n, font_state().FontCoverageBuffer, font,
                        ink);
    *window = font.m_nWidth > 0 ? glyph_window(job, width, height, pen, line, clip_to_screen)
                                : GlyphWindow{0, 0, 0, 0};
    return width;
}

/* The window narrowed to the ink. */
GlyphWindow inked(GlyphWindow w, const CellInk& ink) {
    return GlyphWindow{std::max<int>(w.c0, ink.x0), std::min<int>(w.c1, ink.x1), std::max<int>(w.r0, ink.y0),
                       std::min<int>(w.r1, ink.y1)};
}

/* Renders one character and calls visit(x, y, v) for each of its pixels inside
 * the rectangle; returns the glyph's advance. Never reads past the buffer. */
template <typename Visit>
int32_t visit_glyph(const TextJob& job, int n, int32_t pen, int32_t line, Visit visit) {
    GlyphWindow w;
    const int32_t advance = render_glyph(job, n, pen, line, false, &w);
    const uint8_t* coverage = font_state().FontCoverageBuffer;
    const int stride = job.font->m_nWidth;
    for (int j = w.r0; j < w.r1; ++j)
        for (int i = w.c0; i < w.c1; ++i) visit(pen + i, line + j, coverage[j * stride + i]);
    return advance;
}

/* DrawTextW's painting of one glyph straight into the screen: ink blends in
 * 16 levels (RGB565 screens only), edge markers take the edge colour. */
int32_t paint_glyph(const TextJob& job, int n, int32_t pen, int32_t line, int levels, uint16_t ink,
                    uint16_t edge) {
    GlyphWindow w;
    CellInk cell_ink;
    const int32_t advance = render_glyph(job, n, pen, line, true, &w, &cell_ink);
    w = inked(w, cell_ink);
    if (w.empty() || !job.canvas.origin) return advance;
    const uint8_t* coverage = font_state().FontCoverageBuffer;
    const int stride = job.font->m_nWidth;
    const intptr_t pitch = job.canvas.ypitch / Canvas::xpitch;
    if (job.rgb565)
        blend_coverage16(
            CoverageRows{job.canvas.at(pen + w.c0, line + w.r0), pitch, coverage + w.r0 * stride + w.c0,
                         stride, &ink, 0, w.r1 - w.r0, w.c1 - w.c0},
            levels);
    if (!cell_ink.marked) return advance;
    for (int j = w.r0; j < w.r1; ++j) {
        const uint8_t* row = coverage + j * stride;
        uint16_t* screen = job.canvas.at(pen + w.c0, line + j);
        for (int i = w.c0; i < w.c1; ++i, ++screen)
            if (!is_ink(row[i], levels) && is_edge_marker(row[i])) *screen = edge;
    }
    return advance;
}

/* Only centring and right alignment need the string's width. */
TextStart start_of(const TextJob& job, UINT format) {
    const int32_t width = format & (DT_CENTER | DT_RIGHT) ? MeasureText(job.text, job.count, *job.font) : 0;
    return align_text(job.rect, format, width, job.font->m_nHeight);
}

}  // namespace

void builtin_draw_text(CCEDraw& dc, const TextJob& job, UINT format) {
    const TextStart start = start_of(job, format);
    const int levels = job.font->m_nP2;
    int32_t pen = start.x;
    for (int n = 0; n < job.count; n += GlyphUnits(job.text + n, job.count - n))
        pen += paint_glyph(job, n, pen, start.y, levels, dc.m_wTextColor, dc.m_wTextOutColor);
}

void builtin_draw_label(CCEDraw& dc, const TextJob& job, UINT format, const DMX_tag_StringStruct& params) {
    const TextStart start = start_of(job, format);
    const int levels = job.font->m_nP2;
    const uint16_t color = color16_of(params.crText), edge = color16_of(params.crEdge);
    if (params.lBold && job.count > 0) {
        // The whole ring first, so that no later ring covers an earlier glyph.
        int32_t pen = start.x;
        for (int n = 0; n < job.count; n += GlyphUnits(job.text + n, job.count - n))
            pen += visit_glyph(job, n, pen, start.y, [&](int32_t x, int32_t y, int v) {
                if (!is_ink(v, levels) && !is_edge_marker(v)) return;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        if (dx || dy) dc.DrawPixel(x + dx, y + dy, edge, 1);
            });
    }
    int32_t pen = start.x;
    for (int n = 0; n < job.count; n += GlyphUnits(job.text + n, job.count - n))
        pen += visit_glyph(job, n, pen, start.y, [&](int32_t x, int32_t y, int v) {
            if (is_ink(v, levels)) {
                dc.DM_DrawAlphaPixel2(x, y, color, v);
                dc.DM_DrawAlphaPixel2(x, y, color, v / 2);
            } else if (is_edge_marker(v)) {
                dc.DrawPixel(x, y, color, 1);
            }
        });
}

}  // namespace kesra
