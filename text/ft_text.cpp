/* ft_text.cpp - the FreeType routes: the string goes to the ANSI code page,
 * each multibyte character's glyph is fetched (through the glyph cache unless
 * the text is rotated) and painted at its box, and the pen moves on. A
 * character whose glyph cannot be fetched advances like an empty glyph. */
#include <algorithm>
#include <cstdint>

#include "draw/trig_tables.h"
#include "text/font_dispatch.h"
#include "text/ft_paint.h"
#include "text/ft_run.h"
#include "text/text_draw.h"
#include "winapi.h"

namespace kesra {

TextStart align_text(const RECT& rect, UINT format, int32_t text_width, int32_t font_height) {
    TextStart s{rect.left, rect.top};
    if (format & DT_CENTER)
        s.x = rect.left + ((rect.right - text_width - rect.left) >> 1);
    else if (format & DT_RIGHT)
        s.x = rect.right - text_width;
    if (format & DT_VCENTER)
        s.y = rect.top + ((rect.bottom - rect.top - font_height) >> 1);
    else if (format & DT_BOTTOM)
        s.y = rect.bottom - font_height;
    return s;
}

namespace {

TextClip clip_of(const RECT& r) { return TextClip{r.left, r.top, r.right, r.bottom}; }

/* The pen's advance after a glyph Wb wide with left bearing L. */
int32_t advance(int32_t bitmap_width, int32_t left, int32_t font_width, int32_t narrow_extra) {
    int32_t w = bitmap_width == 0 ? font_width / 2 : bitmap_width;
    if (w < font_width) w += narrow_extra;
    return w + left;
}

/* Sizes the face for the font and turns anti-aliasing on, as both routes do. */
void prepare(FtFontRecord* record, const CCEFont& font) {
    SetFtFontSize(record, font.m_nWidth, font.m_nHeight);
    SetFtAntiAlias(record, 1);
}

/* The x of a one-byte character's box in a label turned by angle degrees. */
int32_t label_x(int32_t pen, int32_t angle, int left, int top, int32_t bitmap_width, int32_t font_width) {
    if (angle < 0 || angle >= 360) return pen;
    if (angle < 90) return pen + left + font_width / 4;
    if (angle < 180) return pen + font_width / 2 - bitmap_width;
    if (angle < 270) return pen - font_width / 2 - top;
    return pen - font_width / 4;
}

}  // namespace

int ft_draw_text(const TextJob& job, UINT format, uint16_t color) {
    FtFontRecord* record = LoadedFtRecord();
    if (!record) return 0;
    const CCEFont& font = *job.font;
    prepare(record, font);
    // One conversion and one decoding serve the measuring (MeasureText's
    // FreeType side) and the drawing; each still looks its glyphs up in turn.
    char ansi[kAnsiBufferSize];
    to_ansi(job.text, job.count, ansi);
    FreeTypeEngine& engine = font_state().freetype;
    GlyphRun run;
    engine.Decode(record, reinterpret_cast<const unsigned char*>(ansi), job.count, run);
    const int32_t width = engine.MeasureRun(record, run);
    const TextStart start = align_text(job.rect, format, width, font.m_nHeight);
    const FT_Size_Metrics& metrics = record->face->size->metrics;
    const int32_t baseline = start.y + 2 + static_cast<int32_t>(metrics.ascender >> 6) +
                             static_cast<int32_t>(metrics.descender >> 6);
    const GlyphInk ink{color, record->outline != 0, record->outline_color, job.rgb565};
    const TextClip clip = clip_of(job.rect);
    int32_t pen = start.x;
    for (int n = 0; n < run.count; ++n) {
        int left = 0, top = 0;
        const FT_Bitmap* bitmap = nullptr;
        engine.FetchRun(record, run, n, &left, &top, &bitmap);
        if (!bitmap) {
            pen += advance(0, 0, font.m_nWidth, 1);
            continue;
        }
        paint_ft_glyph(job.canvas, *bitmap, pen + left, baseline - top, clip, ink);
        pen += advance(static_cast<int32_t>(bitmap->width), left, font.m_nWidth, 1);
    }
    return 1;
}

void ft_draw_label(const TextJob& job, const DMX_tag_StringStruct& params) {
    FtFontRecord* record = LoadedFtRecord();
    if (!record) return;
    const CCEFont& font = *job.font;
    prepare(record, font);
    const uint16_t color = color16_of(params.crText);
    if (params.lOutline) {
        SetFtOutlineColor(record, color16_of(params.crEdge));
        SetFtOutline(record, 1);
    }
    if (params.lBold) SetFtBold(record, 1);
    if (params.lItalic) SetFtItalic(record, 1);
    const int32_t angle = params.lAngle;
    if (angle > 0) {
        // The tables hold three turns; any angle folds into the first.
        const int folded = fold_degrees(angle);
        FT_Matrix m;
        m.xx = m.yy = static_cast<FT_Fixed>(table_cos(folded) * 65536);
        m.xy = static_cast<FT_Fixed>(-table_sin(folded) * 65536);
        m.yx = static_cast<FT_Fixed>(table_sin(folded) * 65536);
        FT_Set_Transform(record->face, &m, nullptr);
    }
    char ansi[kAnsiBufferSize];
    to_ansi(job.text, job.count, ansi);
    const GlyphInk ink{color, record->outline != 0, record->outline_color, job.rgb565};
    // The left and top edges are the label's anchor (the pen's start and the
    // centre line), and glyphs are placed before and above them: only the
    // right and bottom edges bound the label.
    const int32_t centre = job.rect.top;
    const TextClip clip{INT32_MIN, INT32_MIN, job.rect.right, job.rect.bottom};
    int32_t pen = job.rect.left;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(ansi);
    for (int n = 0; n < job.count && *p; ++n) {
        int left = 0, top = 0;
        const FT_Bitmap* bitmap = nullptr;
        const int bytes = AnsiCharBytes(p);
        const bool wide = p[0] >= 0x80 && bytes == 2;
        FetchFtGlyph(record, &left, &top, p, &bitmap, angle);
        p += bytes;
        if (!bitmap) {
            pen += advance(0, 0, font.m_nWidth, 2);
            continue;
        }
        const int32_t bw = static_cast<int32_t>(bitmap->width), rows = static_cast<int32_t>(bitmap->rows);
        const int32_t x0 = wide ? pen - bw / 2 : label_x(pen, angle, left, top, bw, font.m_nWidth);
        const int32_t y0 = wide ? centre - rows / 2 : centre + font.m_nHeight / 4 - top;
        paint_ft_glyph(job.canvas, *bitmap, x0, y0, clip, ink);
        pen += advance(bw, left, font.m_nWidth, 2);
    }
    if (angle > 0) FT_Set_Transform(record->face, nullptr, nullptr);
    if (params.lOutline) SetFtOutline(record, 0);
    if (params.lBold) SetFtBold(record, 0);
    if (params.lItalic) SetFtItalic(record, 0);
}

}  // namespace kesra
