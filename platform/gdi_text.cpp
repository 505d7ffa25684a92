/* gdi_text.cpp - the system font: CreateFontIndirectW, SetBkMode, SetTextColor
 * and DrawTextW, rendered by FreeType from a font file on the machine
 * (KESRA_SYSTEM_FONT, else DejaVu Sans) into the pixels of a DC. Rectangles
 * are the platform's: right and bottom edges exclusive. Glyph coverage 0-255
 * is blended in the text colour; a font is a GDI object like a DIB section. */
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/pixel.h"
#include "platform/platform_internal.h"
#include "winapi.h"

namespace kesra::platform {
namespace {

constexpr const char* kDefaultFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr int kStockPixelHeight = 16;
constexpr int64_t kMaxPixelHeight = 1024;
constexpr LONG kBoldWeight = 600;  // semi-bold and heavier are emboldened
/* There is no SetBkColor: the opaque background is the platform's default. */
constexpr COLORREF kOpaqueBackground = 0x00FFFFFF;
constexpr COLORREF kInvalidColor = 0xFFFFFFFF;

}  // namespace

/* One font file opened by FreeType, shared by the fonts made from it. */
struct SystemFontFace {
    FT_Face face = nullptr;
    std::string path;
    int pixel_height = 0;  // the size the face is set to now
    ~SystemFontFace() {
        if (face) FT_Done_Face(face);
    }
};

}  // namespace kesra::platform

/* A logical font: a pixel height and a style over the face of the system font
 * file that was current when it was made (none for the stock font: it takes
 * the current one at each call). */
struct HFONT__ {
    int pixel_height = 0;
    bool bold = false;
    bool italic = false;
    std::shared_ptr<kesra::platform::SystemFontFace> face;
    int selections = 0;  // DCs it is selected into; deletion waits for 0
};

namespace kesra::platform {
namespace {

/* FreeType's library, the current system face and the live fonts. One mutex
 * guards them all: FreeType objects serve one thread at a time. The state is
 * never destroyed, so that fonts outliving static destruction stay valid. */
struct TextState {
    std::mutex mutex;
    FT_Library library = nullptr;
    std::shared_ptr<SystemFontFace> face;  // of the file named last
    std::set<std::string> reported;        // files already reported as unusable
    HFONT__ stock;
    std::unordered_set<const void*> fonts;

    TextState() {
        stock.pixel_height = kStockPixelHeight;
        fonts.insert(&stock);
    }
};

TextState& state() {
    static TextState* s = new TextState;
    return *s;
}

std::string system_font_file() {
    const char* named = std::getenv("KESRA_SYSTEM_FONT");
    return named && *named ? named : kDefaultFontFile;
}

/* The face of the system font file named now, loaded when the name changed;
 * null when it cannot be loaded, which is said once per file. */
std::shared_ptr<SystemFontFace> system_face(TextState& s) {
    const std::string path = system_font_file();
    if (s.face && s.face->path == path) return s.face;
    FT_Face face = nullptr;
    if ((s.library || FT_Init_FreeType(&s.library) == 0) &&
        FT_New_Face(s.library, path.c_str(), 0, &face) == 0) {
        auto loaded = std::make_shared<SystemFontFace>();
        loaded->face = face;
        loaded->path = path;
        s.face = loaded;
        return loaded;
    }
    if (s.reported.insert(path).second)
        std::fprintf(stderr,
                     "kesra: system font \"%s\" could not be loaded; text in the system font is not drawn\n",
                     path.c_str());
    return nullptr;
}

bool set_pixel_height(SystemFontFace& face, int pixel_height) {
    if (face.pixel_height == pixel_height) return true;
    if (FT_Set_Pixel_Sizes(face.face, 0, static_cast<FT_UInt>(pixel_height)) != 0) return false;
    face.pixel_height = pixel_height;
    return true;
}

/* Loads the glyph of a code point into the face's slot in the font's style,
 * rendered to an anti-aliased bitmap when asked. */
bool load_glyph(FT_Face face, const HFONT__& font, char32_t code_point, bool render) {
    if (FT_Load_Glyph(face, FT_Get_Char_Index(face, code_point), FT_LOAD_DEFAULT) != 0) return false;
    if (font.bold) FT_GlyphSlot_Embolden(face->glyph);
    if (font.italic) FT_GlyphSlot_Oblique(face->glyph);
    if (!render || face->glyph->format == FT_GLYPH_FORMAT_BITMAP) return true;
    return FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) == 0;
}

int advance_of(FT_GlyphSlot slot) { return static_cast<int>((slot->advance.x + 32) >> 6); }

bool is_line_break(char16_t unit) { return unit == u'\r' || unit == u'\n'; }

/* Walks the code points of [begin, end): a surrogate pair is one code point,
 * an unpaired surrogate reads as U+FFFD; nothing past end is read. */
template <typename Visit>
void for_each_code_point(const char16_t* text, size_t begin, size_t end, Visit visit) {
    for (size_t i = begin; i < end; ++i) {
        const char16_t unit = text[i];
        char32_t code_point = unit;
        if (unit >= 0xD800 && unit <= 0xDFFF) {
            code_point = 0xFFFD;
            if (unit <= 0xDBFF && i + 1 < end && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
                code_point = 0x10000 + ((unit - 0xD800u) << 10) + (text[i + 1] - 0xDC00u);
                ++i;
            }
        }
        visit(code_point);
    }
}

struct Line {
    size_t begin = 0, end = 0;
    int width = 0;
};

/* Lines end at CR, LF or CR LF, unless the text is one line; a line break
 * inside a single line is neither drawn nor measured. */
std::vector<Line> split_lines(const char16_t* text, size_t units, bool single_line) {
    std::vector<Line> lines;
    size_t begin = 0;
    for (size_t i = 0; i < units && !single_line; ++i) {
        if (!is_line_break(text[i])) continue;
        lines.push_back({begin, i, 0});
        if (text[i] == u'\r' && i + 1 < units && text[i + 1] == u'\n') ++i;
        begin = i + 1;
    }
    lines.push_back({begin, units, 0});
    return lines;
}

int measure(FT_Face face, const HFONT__& font, const char16_t* text, const Line& line) {
    int width = 0;
    for_each_code_point(text, line.begin, line.end, [&](char32_t code_point) {
        if (code_point == u'\r' || code_point == u'\n') return;
        if (load_glyph(face, font, code_point, false)) width += advance_of(face->glyph);
    });
    return width;
}

/* The pixels text is drawn into: a memory DC's DIB section of 16, 24 or 32
 * bits, or a window. */
bool target_of(HDC dc, PixelView& target) {
    if (!view_of(dc, target)) return false;
    return target.bits_per_pixel == 16 || target.bits_per_pixel == 24 || target.bits_per_pixel == 32;
}

/* A half-open box of pixels: x0 <= x < x1, y0 <= y < y1. */
struct Box {
    int64_t x0, y0, x1, y1;
};

Box intersect(const Box& a, const Box& b) {
    return {std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
}

/* The text colour in the target's format; coverage 255 gives it exactly,
 * 0 leaves the pixel. RGB565 mixes in 32 levels, 8-bit channels in 255. */
struct Ink {
    COLORREF color;
    uint16_t color16;

    explicit Ink(COLORREF c) : color(c), color16(ColorRefToColor16(c)) {}

    void blend(const PixelView& target, int x, int y, unsigned coverage) const {
        uint8_t* p = target.pixel(x, y);
        if (target.bits_per_pixel == 16) {
            auto* pixel = reinterpret_cast<uint16_t*>(p);
            *pixel = blend565(*pixel, color16, static_cast<int32_t>((coverage * 32 + 127) / 255));
            return;
        }
        const unsigned source[3] = {(color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF};  // B, G, R
        for (int i = 0; i < 3; ++i)
            p[i] = static_cast<uint8_t>((p[i] * (255 - coverage) + source[i] * coverage + 127) / 255);
    }
};

void fill_box(const PixelView& target, const Box& box, const Ink& ink) {
    for (int64_t y = box.y0; y < box.y1; ++y)
        for (int64_t x = box.x0; x < box.x1; ++x)
            ink.blend(target, static_cast<int>(x), static_cast<int>(y), 255);
}

/* Blends the slot's bitmap with its top-left pixel at (left, top). */
void paint_bitmap(const PixelView& target, const Box& clip, const FT_Bitmap& bitmap, int64_t left,
                  int64_t top, const Ink& ink) {
    const bool mono = bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
    if (!mono && bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) return;
    const Box box = intersect(clip, {left, top, left + bitmap.width, top + bitmap.rows});
    for (int64_t y = box.y0; y < box.y1; ++y) {
        const unsigned char* row = bitmap.buffer + (y - top) * bitmap.pitch;
        for (int64_t x = box.x0; x < box.x1; ++x) {
            const int64_t i = x - left;
            const unsigned coverage = mono ? ((row[i >> 3] >> (7 - (i & 7))) & 1) * 255 : row[i];
            if (coverage) ink.blend(target, static_cast<int>(x), static_cast<int>(y), coverage);
        }
    }
}

void draw_line(FT_Face face, const HFONT__& font, const char16_t* text, const Line& line, int64_t x,
               int64_t baseline, const PixelView& target, const Box& clip, const Ink& ink) {
    for_each_code_point(text, line.begin, line.end, [&](char32_t code_point) {
        if (code_point == u'\r' || code_point == u'\n') return;
        if (!load_glyph(face, font, code_point, true)) return;
        const FT_GlyphSlot slot = face->glyph;
        paint_bitmap(target, clip, slot->bitmap, x + slot->bitmap_left, baseline - slot->bitmap_top, ink);
        x += advance_of(slot);
    });
}

int64_t floor_half(int64_t value) { return value >= 0 ? value / 2 : -((-value + 1) / 2); }

}  // namespace

bool is_font_object(HGDIOBJ object) {
    if (!object) return false;
    TextState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.fonts.count(object) == 1;
}

HGDIOBJ select_font(HDC dc, HFONT font) {
    TextState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.fonts.count(font) == 0) return nullptr;
    HFONT previous = dc->text.font ? dc->text.font : &s.stock;
    if (dc->text.font) --dc->text.font->selections;
    dc->text.font = font == &s.stock ? nullptr : font;
    if (dc->text.font) ++dc->text.font->selections;
    return previous;
}

BOOL delete_font(HFONT font) {
    TextState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (font == &s.stock || s.fonts.count(font) == 0 || font->selections > 0) return FALSE;
    s.fonts.erase(font);
    delete font;
    return TRUE;
}

}  // namespace kesra::platform

using namespace kesra::platform;

DcText::~DcText() {
    if (!font) return;
    std::lock_guard<std::mutex> lock(state().mutex);
    --font->selections;
}

extern "C" {

/* Any face name gives the system font; lfHeight is the pixel height of its em
 * (0: the stock 16), weights from semi-bold up are emboldened. */
HFONT CreateFontIndirectW(const LOGFONTW* description) {
    if (!description) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    int64_t pixel_height = description->lfHeight;
    if (pixel_height < 0) pixel_height = -pixel_height;
    if (pixel_height == 0) pixel_height = kStockPixelHeight;
    if (pixel_height > kMaxPixelHeight) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    TextState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    std::shared_ptr<SystemFontFace> face = system_face(s);
    if (!face) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    auto* font = new HFONT__;
    font->pixel_height = static_cast<int>(pixel_height);
    font->bold = description->lfWeight >= kBoldWeight;
    font->italic = description->lfItalic != 0;
    font->face = std::move(face);
    s.fonts.insert(font);
    return font;
}

int SetBkMode(HDC dc, int mode) {
    if (!gdi_object_is_live(dc) || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
    const int previous = dc->text.background_mode;
    dc->text.background_mode = mode;
    return previous;
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
    if (!gdi_object_is_live(dc)) return kInvalidColor;
    const COLORREF previous = dc->text.color;
    dc->text.color = color;
    return previous;
}

/* Returns the height of the text (with DT_VCENTER or DT_BOTTOM on one line:
 * from rect->top to the text's bottom), 0 on failure. DT_CALCRECT only sets
 * rect->right and rect->bottom to the text's extent. Lines break at CR and LF
 * unless DT_SINGLELINE; vertical alignment applies to a single line only. */
int DrawTextW(HDC dc, LPCWSTR text, int count, RECT* rect, UINT format) {
    if (!gdi_object_is_live(dc) || !text || !rect || count < -1) return 0;
    size_t units = static_cast<size_t>(count);
    if (count == -1)
        for (units = 0; text[units];) ++units;

    TextState& s = state();
    std::unique_lock<std::mutex> lock(s.mutex);
    const HFONT__& font = dc->text.font ? *dc->text.font : s.stock;
    std::shared_ptr<SystemFontFace> face = font.face ? font.face : system_face(s);
    if (!face || !set_pixel_height(*face, font.pixel_height)) return 0;
    const FT_Size_Metrics& metrics = face->face->size->metrics;
    const int ascent = static_cast<int>((metrics.ascender + 63) >> 6);
    const int line_height = ascent + static_cast<int>((-metrics.descender + 63) >> 6);

    const bool single_line = (format & DT_SINGLELINE) != 0;
    std::vector<Line> lines = split_lines(text, units, single_line);
    int widest = 0;
    for (Line& line : lines) {
        line.width = measure(face->face, font, text, line);
        widest = std::max(widest, line.width);
    }
    const int64_t text_height = static_cast<int64_t>(lines.size()) * line_height;
    if (format & DT_CALCRECT) {
        rect->right = static_cast<LONG>(std::min<int64_t>(INT32_MAX, int64_t{rect->left} + widest));
        rect->bottom = static_cast<LONG>(std::min<int64_t>(INT32_MAX, rect->top + text_height));
        return static_cast<int>(std::min<int64_t>(INT32_MAX, text_height));
    }

    const auto shown = lock_display_for(dc);  // a window is drawn and presented whole
    PixelView target;
    if (!target_of(dc, target)) return 0;
    const Box surface{0, 0, target.width, target.height};
    const Box clip = (format & DT_NOCLIP)
                         ? surface
                         : intersect(surface, {rect->left, rect->top, rect->right, rect->bottom});
    int64_t top = rect->top;
    if (single_line && (format & DT_VCENTER))
        top += floor_half(int64_t{rect->bottom} - rect->top - line_height);
    else if (single_line && (format & DT_BOTTOM))
        top = int64_t{rect->bottom} - line_height;

    const Ink ink(dc->text.color);
    const Ink background(kOpaqueBackground);
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        int64_t left = rect->left;
        if (format & DT_CENTER)
            left += floor_half(int64_t{rect->right} - rect->left - line.width);
        else if (format & DT_RIGHT)
            left = int64_t{rect->right} - line.width;
        const int64_t line_top = top + static_cast<int64_t>(i) * line_height;
        if (dc->text.background_mode == OPAQUE)
            fill_box(target, intersect(clip, {left, line_top, left + line.width, line_top + line_height}),
                     background);
        draw_line(face->face, font, text, line, left, line_top + ascent, target, clip, ink);
    }
    face.reset();  // a face's last holder lets it go under the lock
    lock.unlock();
    if (target.window) present_window(target.window);
    const int64_t result = text_height + (single_line ? top - rect->top : 0);
    return static_cast<int>(std::clamp<int64_t>(result, 1, INT32_MAX));
}

}  // extern "C"
