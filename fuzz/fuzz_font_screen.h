/* fuzz_font_screen.h - what the font harnesses share: a small window with a
 * drawing context in white text, and the input written to a font file whose
 * extension chooses the engine (.ttf FreeType, anything else built-in). */
#ifndef KESRA_FUZZ_FONT_SCREEN_H
#define KESRA_FUZZ_FONT_SCREEN_H

#include <cstdint>
#include <string>

#include "fuzz/fuzz_input_file.h"
#include "kesra.h"

namespace kesra::fuzz {

struct FontScreen {
    FontScreen(int width, int height) : window(HostCreateWindow(width, height)) {
        HostSetForegroundWindow(window);
        dc.Create(width, height, 0, 0, window, 0);
        dc.SetTextColor(0xFFFF);
    }
    HWND window;
    CCEDraw dc;
};

/* The input as the file `path` (made once by the caller), as a wide path. */
inline std::u16string font_input(const std::string& path, const uint8_t* data, size_t size) {
    write_input(path, data, size);
    return std::u16string(path.begin(), path.end());
}

}  // namespace kesra::fuzz

#endif
