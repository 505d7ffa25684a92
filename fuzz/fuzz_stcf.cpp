/* fuzz_stcf.cpp - the built-in font engine on arbitrary font images: parse,
 * then measure and render characters of every encoding at several cell sizes,
 * level counts and post-steps, with the store and styles on and off. The last
 * bytes of the input pick more characters, and the input also serves as the
 * data of an inline composite. */
#include <cstdint>
#include <iterator>
#include <vector>

#include "text/stcf_engine.h"

using namespace kesra::stcf;

namespace {

struct Setting {
    int width, height, levels, flags, style, background, store, adjust;
};

const Setting kSettings[] = {
    {16, 16, 16, 0, -1, -1, 0, 0},   {12, 12, 4, 1, -1, -1, 1, 0},  {24, 24, 6, 3, 0, 7, 1, 2},
    {30, 20, 8, 5, 3, 256, 0, -3},   {40, 40, 12, 15, 5, -1, 0, 4}, {5, 5, 16, 13, 83, 3, 1, -40},
    {100, 16, 16, 4, -1, -1, 0, 90},
};

const char16_t kCodes[] = {0x41,   0x20,   0xA1A1, 0xA1B0, 0xA2B0, 0x4E00,
                           0x4081, 0x8081, 0xB18E, 0xB1,   0x4EC4, 0xFEFE};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kesra::StcfFontRecord* font = parse(data, size);
    if (!font) return 0;
    std::vector<char16_t> codes(std::begin(kCodes), std::end(kCodes));
    for (size_t i = 0; i + 1 < size && i < 16; i += 2)
        codes.push_back(static_cast<char16_t>(data[size - 1 - i] | data[size - 2 - i] << 8));
    std::vector<char16_t> escape(2 + (size < 64 ? size : 64) / 2, 0);
    escape[0] = 0xFFFF;
    for (size_t i = 2; i < escape.size(); ++i)
        escape[i] = static_cast<char16_t>(data[2 * i - 4] | data[2 * i - 3] << 8);
    static uint8_t target[40 * 40];
    /* Each encoding with every character, the settings taken in turn. */
    size_t turn = 0;
    for (int encoding = 0; encoding <= 6; ++encoding) {
        for (char16_t code : codes) {
            const Setting& s = kSettings[turn++ % std::size(kSettings)];
            FontParams p;
            p.encoding = encoding;
            p.levels = s.levels;
            p.flags = s.flags;
            p.style = s.style;
            p.background = s.background;
            p.store = s.store;
            p.adjust = s.adjust;
            p.page = encoding;
            p.ring_value = 17;
            const CharRef ch{&code, 1};
            int32_t w = s.width, h = s.height;
            char_width(font, ch, w, h, p);
            render(font, ch, p, target, sizeof target, &w, &h);
        }
        int32_t w = 24, h = 24;
        render(font, CharRef{escape.data(), escape.size()}, FontParams{}, target, sizeof target, &w, &h);
    }
    release(font);
    return 0;
}
