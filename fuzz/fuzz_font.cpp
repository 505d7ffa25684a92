/* fuzz_font.cpp - LoadFont of the input as a .ttf file, then a label drawn
 * with it: upright through the glyph cache, and bold, outlined and turned.
 * Every load that succeeds is released again. */
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "fuzz/fuzz_font_screen.h"

namespace {

using kesra::fuzz::FontScreen;

std::u16string font_file(const uint8_t* data, size_t size) {
    static const std::string path = kesra::fuzz::make_input_path("font", ".ttf");  // .ttf chooses FreeType
    return kesra::fuzz::font_input(path, data, size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FontScreen* screen = new FontScreen(160, 48);  // lives for the whole run
    std::u16string path = font_file(data, size);
    if (!LoadFont(path.data())) return 0;
    const char16_t text[] = {u'W', u'a', u'y', 0xD800, u'9', 0x4E2D, 0};
    screen->dc.DrawTextW(text, -1, RECT{0, 0, 159, 47}, DT_CENTER | DT_VCENTER);
    DMX_tag_StringStruct params{1, 1, 1, 30, {0, 0, 255, 0}, {255, 255, 255, 0}};
    screen->dc.DM_DrawText(text, -1, RECT{4, 24, 159, 47}, &params, 0);
    ReleaseFont();
    return 0;
}
