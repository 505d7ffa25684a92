/* System-font text drawn into DIB sections equals FreeType's own bitmaps of
 * the font blended in the text colour. */
#include <ft2build.h>
#include <gtest/gtest.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/pixel.h"
#include "kesra.h"

namespace {

constexpr const char* kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr const char* kDroid = "/usr/share/fonts/truetype/droid/DroidSansFallbackFull.ttf";
constexpr int kPixels = 20;
constexpr uint16_t kPaper = 0xFFFF;
constexpr COLORREF kNavy = 0x00802010;  // red 0x10, green 0x20, blue 0x80

struct Section {
    Section(int width, int height, int bits_per_pixel = 16) : w(width), h(height), bpp(bits_per_pixel) {
        struct {
            BITMAPINFOHEADER header;
            DWORD masks[3];
        } info{};
        info.header.biSize = 40;
        info.header.biWidth = width;
        info.header.biHeight = bpp == 16 ? -height : height;
        info.header.biPlanes = 1;
        info.header.biBitCount = static_cast<WORD>(bpp);
        info.header.biCompression = bpp == 16 ? BI_BITFIELDS : BI_RGB;
        info.masks[0] = 0xF800;
        info.masks[1] = 0x07E0;
        info.masks[2] = 0x001F;
        dc = CreateCompatibleDC(nullptr);
        void* pixels = nullptr;
        bitmap =
            CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &pixels, nullptr, 0);
        bits = static_cast<uint8_t*>(pixels);
        old = SelectObject(dc, bitmap);
        stride = (w * bpp / 8 + 3) / 4 * 4;
        std::fill(bits, bits + static_cast<size_t>(stride) * h, 0xFF);
    }
    ~Section() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    uint8_t* at(int x, int y) const {
        return bits + static_cast<size_t>(bpp == 16 ? y : h - 1 - y) * stride + x * (bpp / 8);
    }
    uint16_t pixel16(int x, int y) const { return *reinterpret_cast<const uint16_t*>(at(x, y)); }
    std::vector<uint8_t> bytes() const {
        return std::vector<uint8_t>(bits, bits + static_cast<size_t>(stride) * h);
    }

    int w, h, bpp, stride = 0;
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    uint8_t* bits = nullptr;
};

struct SelectedFont {
    SelectedFont(HDC dc_, COLORREF color, LONG height = kPixels, LONG weight = 400) : dc(dc_) {
        LOGFONTW description{};
        description.lfHeight = height;
        description.lfWeight = weight;
        font = CreateFontIndirectW(&description);
        previous = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, color);
    }
    ~SelectedFont() {
        SelectObject(dc, previous);
        DeleteObject(font);
    }
    HDC dc;
    HFONT font;
    HGDIOBJ previous;
};

class Reference {
   public:
    explicit Reference(const char* path = kDejaVu) {
        ok_ = FT_Init_FreeType(&library_) == 0 && FT_New_Face(library_, path, 0, &face_) == 0 &&
              FT_Set_Pixel_Sizes(face_, 0, kPixels) == 0;
    }
    ~Reference() {
        if (face_) FT_Done_Face(face_);
        if (library_) FT_Done_FreeType(library_);
    }
    bool ok() const { return ok_; }
    int ascent() const { return static_cast<int>((face_->size->metrics.ascender + 63) >> 6); }
    int line_height() const {
        return ascent() + static_cast<int>((-face_->size->metrics.descender + 63) >> 6);
    }

    void draw(Section& s, const std::u32string& text, int x, int top, COLORREF color) const {
        const int baseline = top + ascent();
        for (char32_t c : text) {
            ASSERT_EQ(FT_Load_Char(face_, c, FT_LOAD_RENDER), 0);
            const FT_Bitmap& b = face_->glyph->bitmap;
            for (unsigned row = 0; row < b.rows; ++row)
                for (unsigned col = 0; col < b.width; ++col) {
                    const unsigned v = b.buffer[row * b.pitch + col];
                    const int px = x + face_->glyph->bitmap_left + static_cast<int>(col);
                    const int py = baseline - face_->glyph->bitmap_top + static_cast<int>(row);
                    if (v == 0 || px < 0 || py < 0 || px >= s.w || py >= s.h) continue;
                    blend(s, px, py, color, v);
                }
            x += static_cast<int>((face_->glyph->advance.x + 32) >> 6);
        }
    }

   private:
    /* RGB565 mixes in 32 levels (coverage 255 is level 32), 8-bit channels in 255. */
    static void blend(Section& s, int x, int y, COLORREF color, unsigned v) {
        if (s.bpp == 16) {
            auto* p = reinterpret_cast<uint16_t*>(s.at(x, y));
            *p = kesra::blend565(*p, kesra::ColorRefToColor16(color),
                                 static_cast<int32_t>((v * 32 + 127) / 255));
            return;
        }
        uint8_t* p = s.at(x, y);
        const unsigned bgr[3] = {(color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF};
        for (int i = 0; i < 3; ++i) p[i] = static_cast<uint8_t>((p[i] * (255 - v) + bgr[i] * v + 127) / 255);
    }

    FT_Library library_ = nullptr;
    FT_Face face_ = nullptr;
    bool ok_ = false;
};

int draw(Section& s, const std::u16string& text, RECT rect, UINT format, COLORREF color = 0) {
    SelectedFont font(s.dc, color);
    return DrawTextW(s.dc, text.c_str(), static_cast<int>(text.size()), &rect, format);
}

int measured_width(const std::u16string& text) {
    Section probe(4, 4);
    SelectedFont font(probe.dc, 0);
    RECT extent{0, 0, 0, 0};
    DrawTextW(probe.dc, text.c_str(), static_cast<int>(text.size()), &extent, DT_CALCRECT);
    return extent.right;
}

int count_differences(const Section& a, const Section& b) {
    const std::vector<uint8_t> x = a.bytes(), y = b.bytes();
    int differences = 0;
    for (size_t i = 0; i < x.size(); ++i) differences += x[i] != y[i];
    return differences;
}

TEST(SystemFont, GlyphsAreFreeTypesOwnBitmapsInTheTextColour) {
    Reference reference;
    ASSERT_TRUE(reference.ok());
    for (int bpp : {16, 24, 32}) {
        Section drawn(80, 40, bpp), expected(80, 40, bpp);
        const int height = draw(drawn, u"Hg\u00e9\u5317", {3, 2, 80, 40}, DT_SINGLELINE, kNavy);
        EXPECT_EQ(height, reference.line_height());
        reference.draw(expected, U"Hg\u00e9\u5317", 3, 2, kNavy);
        EXPECT_EQ(count_differences(drawn, expected), 0) << bpp << " bits";
        EXPECT_NE(count_differences(drawn, Section(80, 40, bpp)), 0);  // something was drawn
    }
}

TEST(SystemFont, SurrogatesAndCountsDrawWhatTheyCanAndStopAtCount) {
    Reference reference;
    ASSERT_TRUE(reference.ok());
    const RECT rect{0, 0, 100, 30};
    Section pair(100, 30), pair_expected(100, 30);
    draw(pair, u"a\U00010300b", rect, DT_SINGLELINE);
    reference.draw(pair_expected, U"a\U00010300b", 0, 0, 0);
    EXPECT_EQ(count_differences(pair, pair_expected), 0);

    Section lone(100, 30), lone_expected(100, 30);
    draw(lone, std::u16string{u'a', 0xDC00, u'b', 0xD800}, rect, DT_SINGLELINE);
    reference.draw(lone_expected, U"a\uFFFDb\uFFFD", 0, 0, 0);
    EXPECT_EQ(count_differences(lone, lone_expected), 0);

    // A count of 2 ends in the middle of a pair: the high half stands alone.
    Section cut(100, 30), cut_expected(100, 30);
    const char16_t text[] = u"a\U00010300";
    RECT r = rect;
    {
        SelectedFont font(cut.dc, 0);
        EXPECT_GT(DrawTextW(cut.dc, text, 2, &r, DT_SINGLELINE), 0);
    }
    reference.draw(cut_expected, U"a\uFFFD", 0, 0, 0);
    EXPECT_EQ(count_differences(cut, cut_expected), 0);

    Section empty(100, 30);
    EXPECT_EQ(draw(empty, u"", rect, DT_SINGLELINE), reference.line_height());
    EXPECT_EQ(count_differences(empty, Section(100, 30)), 0);
}

TEST(SystemFont, AlignmentMovesTheWholeLine) {
    Reference reference;
    ASSERT_TRUE(reference.ok());
    Section probe(10, 10);
    RECT extent{5, 7, 5, 7};
    {
        SelectedFont font(probe.dc, 0);
        EXPECT_EQ(DrawTextW(probe.dc, u"Wave", -1, &extent, DT_CALCRECT | DT_SINGLELINE),
                  reference.line_height());
    }
    EXPECT_EQ(count_differences(probe, Section(10, 10)), 0);  // measuring draws nothing
    const int width = extent.right - 5, height = extent.bottom - 7;
    ASSERT_GT(width, 20);
    ASSERT_EQ(height, reference.line_height());

    const RECT box{10, 6, 111, 57};  // 101 x 51
    const int slack_x = 101 - width, slack_y = 51 - height;
    struct Case {
        UINT format;
        int dx, dy, result;
    };
    const Case cases[] = {
        {DT_SINGLELINE | DT_RIGHT, slack_x, 0, height},
        {DT_SINGLELINE | DT_CENTER | DT_RIGHT, slack_x / 2, 0, height},
        {DT_SINGLELINE | DT_BOTTOM, 0, slack_y, slack_y + height},
        {DT_SINGLELINE | DT_VCENTER | DT_BOTTOM | DT_RIGHT, slack_x, slack_y / 2, slack_y / 2 + height},
        {DT_VCENTER | DT_RIGHT, slack_x, 0, height},  // vertical alignment needs a single line
    };
    for (const Case& c : cases) {
        Section drawn(130, 70), expected(130, 70);
        EXPECT_EQ(draw(drawn, u"Wave", box, c.format), c.result) << c.format;
        reference.draw(expected, U"Wave", box.left + c.dx, box.top + c.dy, 0);
        EXPECT_EQ(count_differences(drawn, expected), 0) << c.format;
    }

    // Text 5 pixels wider than its box overhangs 3 on the left, 2 on the right.
    Section wide(130, 70), wide_expected(130, 70);
    draw(wide, u"Wave", {40, 6, 40 + width - 5, 57}, DT_SINGLELINE | DT_CENTER | DT_NOCLIP);
    reference.draw(wide_expected, U"Wave", 40 - 3, 6, 0);
    EXPECT_EQ(count_differences(wide, wide_expected), 0);

    Section lines(130, 80), lines_expected(130, 80);
    EXPECT_EQ(draw(lines, u"ab\r\nWave\ncd", {0, 0, 130, 80}, DT_RIGHT | DT_VCENTER), 3 * height);
    reference.draw(lines_expected, U"ab", 130 - measured_width(u"ab"), 0, 0);
    reference.draw(lines_expected, U"Wave", 130 - width, height, 0);
    reference.draw(lines_expected, U"cd", 130 - measured_width(u"cd"), 2 * height, 0);
    EXPECT_EQ(count_differences(lines, lines_expected), 0);
}

TEST(SystemFont, ClipsToTheRectangleAndTheSurface) {
    Reference reference;
    ASSERT_TRUE(reference.ok());
    Section clipped(60, 40), expected(60, 40);
    draw(clipped, u"Wave", {10, 5, 40, 20}, DT_SINGLELINE);
    reference.draw(expected, U"Wave", 10, 5, 0);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x)
            if (x < 10 || x >= 40 || y < 5 || y >= 20)
                *reinterpret_cast<uint16_t*>(expected.at(x, y)) = kPaper;
    EXPECT_EQ(count_differences(clipped, expected), 0);
    bool ink_on_last_column = false;
    for (int y = 5; y < 20; ++y) ink_on_last_column |= clipped.pixel16(39, y) != kPaper;
    EXPECT_TRUE(ink_on_last_column);  // the clip did not cut inside the rectangle

    Section off_edges(30, 12), off_expected(30, 12);  // starts left of and runs below the surface
    draw(off_edges, u"Wave", {-15, -3, 200, 200}, DT_SINGLELINE);
    reference.draw(off_expected, U"Wave", -15, -3, 0);
    EXPECT_EQ(count_differences(off_edges, off_expected), 0);
}

TEST(SystemFont, OpaqueModeFillsTheLineBoxInWhite) {
    Reference reference;
    ASSERT_TRUE(reference.ok());
    Section drawn(90, 40), expected(90, 40);
    std::fill(drawn.bits, drawn.bits + drawn.stride * 40, 0);
    std::fill(expected.bits, expected.bits + expected.stride * 40, 0);
    const int width = measured_width(u"Wave");
    {
        SelectedFont font(drawn.dc, kNavy);
        EXPECT_EQ(SetBkMode(drawn.dc, OPAQUE), TRANSPARENT);
        RECT rect{4, 3, 90, 40};
        EXPECT_GT(DrawTextW(drawn.dc, u"Wave", 4, &rect, DT_SINGLELINE), 0);
    }
    for (int y = 3; y < 3 + reference.line_height(); ++y)
        for (int x = 4; x < 4 + width; ++x) *reinterpret_cast<uint16_t*>(expected.at(x, y)) = kPaper;
    reference.draw(expected, U"Wave", 4, 3, kNavy);
    EXPECT_EQ(count_differences(drawn, expected), 0);
}

TEST(SystemFont, FontsAreGdiObjects) {
    HDC dc = CreateCompatibleDC(nullptr);
    LOGFONTW description{};
    description.lfHeight = -12;
    HFONT a = CreateFontIndirectW(&description);
    HFONT b = CreateFontIndirectW(&description);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);

    const HGDIOBJ stock = SelectObject(dc, a);
    ASSERT_NE(stock, nullptr);
    EXPECT_EQ(SelectObject(dc, b), a);
    EXPECT_TRUE(DeleteObject(a));
    EXPECT_FALSE(DeleteObject(a));            // already gone
    EXPECT_EQ(SelectObject(dc, a), nullptr);  // a deleted font is refused
    EXPECT_FALSE(DeleteObject(b));            // still selected

    HDC other = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SelectObject(other, b), stock);  // one font, two DCs
    EXPECT_EQ(SelectObject(dc, stock), b);
    EXPECT_FALSE(DeleteObject(b));  // the other DC still holds it
    EXPECT_TRUE(DeleteDC(other));   // and lets go when it goes
    EXPECT_TRUE(DeleteObject(b));
    EXPECT_FALSE(DeleteObject(stock));

    RECT rect{0, 0, 50, 50};
    EXPECT_EQ(DrawTextW(dc, u"a", 1, &rect, 0), 0);            // no DIB section selected
    EXPECT_GT(DrawTextW(dc, u"a", 1, &rect, DT_CALCRECT), 0);  // measuring needs none
    EXPECT_EQ(DrawTextW(dc, u"a", -2, &rect, DT_CALCRECT), 0);
    EXPECT_EQ(DrawTextW(dc, nullptr, 1, &rect, DT_CALCRECT), 0);
    EXPECT_EQ(DrawTextW(dc, u"a", 1, nullptr, DT_CALCRECT), 0);
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_EQ(DrawTextW(dc, u"a", 1, &rect, DT_CALCRECT), 0);

    EXPECT_EQ(CreateFontIndirectW(nullptr), nullptr);
    description.lfHeight = 5000;
    EXPECT_EQ(CreateFontIndirectW(&description), nullptr);
}

TEST(SystemFont, TheFontFileComesFromTheEnvironment) {
    Reference droid(kDroid);
    ASSERT_TRUE(droid.ok());
    Reference dejavu;
    ASSERT_TRUE(dejavu.ok());
    const RECT rect{0, 0, 60, 30};
    LOGFONTW description{};
    description.lfHeight = kPixels;
    HFONT made_before = CreateFontIndirectW(&description);
    ASSERT_NE(made_before, nullptr);

    setenv("KESRA_SYSTEM_FONT", kDroid, 1);
    Section chinese(60, 30), chinese_expected(60, 30);
    draw(chinese, u"\u5317\u4EAC", rect, DT_SINGLELINE);
    droid.draw(chinese_expected, U"\u5317\u4EAC", 0, 0, 0);
    EXPECT_EQ(count_differences(chinese, chinese_expected), 0);

    Section earlier(60, 30), earlier_expected(60, 30);  // a font keeps the file it was made from
    const HGDIOBJ previous = SelectObject(earlier.dc, made_before);
    SetBkMode(earlier.dc, TRANSPARENT);
    RECT r = rect;
    DrawTextW(earlier.dc, u"\u5317", 1, &r, DT_SINGLELINE);
    SelectObject(earlier.dc, previous);
    EXPECT_TRUE(DeleteObject(made_before));
    dejavu.draw(earlier_expected, U"\u5317", 0, 0, 0);
    EXPECT_EQ(count_differences(earlier, earlier_expected), 0);

    const std::string missing = "/nonexistent/kesra-font.ttf";
    setenv("KESRA_SYSTEM_FONT", missing.c_str(), 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(CreateFontIndirectW(&description), nullptr);
    EXPECT_EQ(CreateFontIndirectW(&description), nullptr);
    Section nothing(20, 20);
    r = {0, 0, 20, 20};
    EXPECT_EQ(DrawTextW(nothing.dc, u"a", 1, &r, 0), 0);  // the stock font has no file either
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find(missing), std::string::npos) << said;
    EXPECT_EQ(count_differences(nothing, Section(20, 20)), 0);
    unsetenv("KESRA_SYSTEM_FONT");
}

TEST(SystemFont, DrawsIntoAWindowAndPresentsIt) {
    HWND window = HostCreateWindow(40, 30);
    HDC dc = GetDC(window);
    const unsigned presented = HostPresentCount(window);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, 0x00FFFFFF);
    RECT rect{0, 0, 40, 30};
    EXPECT_GT(DrawTextW(dc, u"W", 1, &rect, DT_SINGLELINE), 0);
    EXPECT_EQ(HostPresentCount(window), presented + 1);
    const uint16_t* pixels = HostWindowPixels(window);
    EXPECT_GT(std::count(pixels, pixels + 40 * 30, 0xFFFF), 10);  // white ink on the black window
    ReleaseDC(window, dc);
    HostDestroyWindow(window);
}

}  // namespace
