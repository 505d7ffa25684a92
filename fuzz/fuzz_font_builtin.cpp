/* fuzz_font_builtin.cpp - LoadFont of the input as a file of the library's
 * own font format, then a line of text drawn through the public interface in
 * each of the seven encodings, plain and with an edge. Every load that
 * succeeds is released again. */
#include <cstdint>
#include <string>

#include "fuzz/fuzz_font_screen.h"

namespace {

using kesra::fuzz::FontScreen;

std::u16string font_file(const uint8_t* data, size_t size) {
    static const std::string path =
        kesra::fuzz::make_input_path("stcf", ".stcf");  // not .ttf: built-in engine
    return kesra::fuzz::font_input(path, data, size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FontScreen* screen = new FontScreen(120, 40);  // lives for the whole run
    std::u16string path = font_file(data, size);
    if (!LoadFont(path.data())) return 0;
    /* ASCII, a GBK and Big5 pair, a Shift-JIS lead, a CJK ideograph, a lone surrogate. */
    const char16_t text[] = {u'W', u'i', 0xA1A1, 0xB0A1, 0x8140, 0x4E2D, 0xD800, u'7', 0};
    for (LONG encoding = 0; encoding <= 6; ++encoding) {
        CCEFont font(16 + encoding * 4, 16 + encoding * 3, 0, 400);
        font.m_nP1 = encoding;
        font.m_nP2 = 4 + encoding * 2;
        screen->dc.SetGDIObject(&font);
        screen->dc.DrawTextW(text, -1, RECT{0, 0, 119, 39}, DT_CENTER | DT_VCENTER);
        DMX_tag_StringStruct params{1, 0, 0, 0, {0, 0, 255, 0}, {255, 255, 255, 0}};
        screen->dc.DM_DrawText(text, -1, RECT{-5, 10, 119, 39}, &params, 0);
        screen->dc.SetToDefaultFont();
    }
    ReleaseFont();
    return 0;
}
