/* builtin_text.cpp - the built-in engine's routes: each UTF-16 character is
 * rendered into FontCoverageBuffer (rows one font width apart, at most 40 x 40)
 * and painted pixel by pixel: coverage 1..levels blends the text colour in 16
 * levels, 17 and 19 mark the engine's edge pixels. */
#include <algorithm>

#include "text/font_dispatch.h"
#include "text/text_draw.h"

namespace kesra {

namespace {

bool is_ink(int v, int levels) { return v > 0 && v <= levels; }
bool is_edge_marker(int v) { return v == 17 || v == 19; }

/* Renders one character and calls visit(x, y, v) for each of its pixels inside
 * the rectangle; returns the glyph's advance. Never reads past the buffer. */
template <typename Visit>
int32_t visit_glyph(const TextJob& job, int n, int32_t pen, int32_t line, Visit visit) {
    const CCEFont& font = *job.font;
    int width = font.m_nWidth, height = font.m_nHeight;
    uint8_t* coverage = font_state().FontCoverageBuffer;
    RenderGlyphCoverage(&width, &height, job.text + n, job.count - n, coverage, font);
    const int stride = font.m_nWidth;
    if (stride <= 0) return width;
    const int columns = std::min(width, stride);
    const int rows = std::min(height, kMaxGlyphSide * kMaxGlyphSide / stride);
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < columns; ++i) {
            const int32_t x = pen + i, y = line + j;
            if (x < job.rect.left || x > job.rect.right || y < job.rect.top || y > job.rect.bottom) continue;
            visit(x, y, coverage[j * stride + i]);
        }
    return width;
}

TextStart start_of(const TextJob& job, UINT format) {
    return align_text(job.rect, format, MeasureText(job.text, job.count, *job.font), job.font->m_nHeight);
}

}  // namespace

void builtin_draw_text(CCEDraw& dc, const TextJob& job, UINT format) {
    const TextStart start = start_of(job, format);
    const int levels = job.font->m_nP2;
    int32_t pen = start.x;
    for (int n = 0; n < job.count; n += GlyphUnits(job.text + n, job.count - n))
        pen += visit_glyph(job, n, pen, start.y, [&](int32_t x, int32_t y, int v) {
            if (is_ink(v, levels))
                dc.DM_DrawAlphaPixel2(x, y, dc.m_wTextColor, v);
            else if (is_edge_marker(v))
                dc.DrawPixel(x, y, dc.m_wTextOutColor, 1);
        });
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
