/* text_methods.cpp - the text methods of CCEDraw: each checks the request
 * (text, a font at most 40 pixels wide, a rectangle that reaches the screen)
 * and hands it to the system font, the FreeType routes or the built-in
 * engine's (text/text_draw.h); outlined text goes to text/outlined_text.h.
 * The 16-level blends of glyph coverage live here too. */
#include <cstring>
#include <string>

#include "core/pixel.h"
#include "core/profile.h"
#include "draw/context.h"
#include "text/font_dispatch.h"
#include "text/outlined_text.h"
#include "text/text_draw.h"
#include "winapi.h"

using namespace kesra;

namespace {

/* The checks every text method makes before it draws. */
bool text_request_valid(const CCEDraw& dc, const WCHAR* text, const RECT& rect) {
    const LONG width = static_cast<LONG>(m_DisplayProps.dwWidth),
               height = static_cast<LONG>(m_DisplayProps.dwHeight);
    return text && dc.m_pFont && dc.m_pFont->m_nWidth <= kMaxGlyphSide && rect.left < width &&
           rect.right >= 1 && rect.top < height && rect.bottom >= 1;
}

TextJob job_of(const CCEDraw& dc, const WCHAR* text, int count, const RECT& rect) {
    if (count == -1) count = static_cast<int>(std::char_traits<WCHAR>::length(text));
    return TextJob{canvas_of(dc),
                   (m_DisplayProps.dwFormat & DISPLAY_FORMAT_RGB565) != 0,
                   dc.m_pFont,
                   text,
                   count < 0 ? 0 : count,
                   rect};
}

/* The platform's text in its system font, in the text colour, on a
 * transparent background; everything changed in the DC is put back. */
int draw_system_text(CCEDraw& dc, const WCHAR* text, int count, RECT rect, UINT format) {
    LOGFONTW logfont{};
    logfont.lfHeight = dc.m_pFont->m_nWidth;
    logfont.lfWeight = dc.m_pFont->m_nWeight;
    logfont.lfCharSet = 0;
    const std::u16string face = u"System";
    face.copy(logfont.lfFaceName, face.size());
    HDC hdc = dc.GetMyDC();
    HFONT font = CreateFontIndirectW(&logfont);
    HGDIOBJ old_font = SelectObject(hdc, font);
    const int old_mode = SetBkMode(hdc, TRANSPARENT);
    const COLORREF old_color = ::SetTextColor(hdc, Color16ToColorRef(dc.m_wTextColor));
    ::DrawTextW(hdc, text, count, &rect, format | DT_SINGLELINE);
    ::SetTextColor(hdc, old_color);
    SetBkMode(hdc, old_mode);
    SelectObject(hdc, old_font);
    DeleteObject(font);
    return 1;
}

}  // namespace

int CCEDraw::DrawTextW(const WCHAR* text, int count, tagRECT rect, unsigned int format) {
    profile::count(profile::Kind::TextRun);
    if (!text_request_valid(*this, text, rect)) return 0;
    if (m_bSysFont) return draw_system_text(*this, text, count, rect, format);
    const TextJob job = job_of(*this, text, count, rect);
    if (!font_state().UseBuiltinEngine) return ft_draw_text(job, format, m_wTextColor);
    builtin_draw_text(*this, job, format);
    return 1;
}

void CCEDraw::DM_DrawText(const WCHAR* text, int count, tagRECT rect, DMX_tag_StringStruct* params,
                          unsigned int format) {
    profile::count(profile::Kind::TextRun);
    if (!params || !text_request_valid(*this, text, rect)) return;
    const TextJob job = job_of(*this, text, count, rect);
    if (!font_state().UseBuiltinEngine)
        ft_draw_label(job, *params);
    else
        builtin_draw_label(*this, job, format, *params);
}

int CCEDraw::DrawTextWithDistinct(const WCHAR* text, int count, tagRECT rect, unsigned int format,
                                  tagDISTINCT_STRUCT params) {
    if (!text_request_valid(*this, text, rect)) return 0;
    if (params.nMode == -1) {
        DrawTextW(text, count, rect, format);
        return 1;
    }
    profile::count(profile::Kind::TextRun);
    // The halo and the shadow are made from the built-in engine's coverage;
    // FreeType leaves none, so they draw nothing then.
    if ((params.nMode == 0 || params.nMode == 1) && font_state().UseBuiltinEngine)
        draw_outlined_text(job_of(*this, text, count, rect), format, params);
    return 1;
}

void CCEDraw::DM_DrawAlphaPixel2(LONG x, LONG y, unsigned short color, int level) {
    const Canvas c = canvas_of(*this);
    if (!c.origin || !c.contains(x, y) || !(m_DisplayProps.dwFormat & DISPLAY_FORMAT_RGB565)) return;
    uint16_t* p = c.at(x, y);
    *p = blend565_16(*p, color, level);
}

void CCEDraw::BlendPixel16(unsigned char* p, LONG x, LONG y, unsigned short color, int level) {
    if (!p || !canvas_of(*this).contains(x, y) || !(m_DisplayProps.dwFormat & DISPLAY_FORMAT_RGB565)) return;
    uint16_t pixel;
    std::memcpy(&pixel, p, sizeof pixel);
    pixel = blend565_16(pixel, color, level);
    std::memcpy(p, &pixel, sizeof pixel);
}

void CCEDraw::UseSysFont(int use) { m_bSysFont = use; }

int CCEDraw::GetSysFont() { return m_bSysFont; }
