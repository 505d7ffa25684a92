/* A program outside the project: creates a window, draws through CCEDraw,
 * presents and reads the presented pixels back. Exits 0 when they match. */
#include <cstdio>

#include "kesra.h"

int main() {
    HWND window = HostCreateWindow(64, 32);
    CCEDraw dc;
    if (!window || !dc.Create(64, 32, 0, 0, window, 0)) return 1;
    dc.BeginDraw();
    dc.Clear(0x001F);
    dc.DrawPixel(10, 5, 0xF800, 2);
    dc.DrawAlphaPixel(20, 5, 0xFFFF, 16);
    dc.EndDraw();
    dc.FlipBackBuffer(0, 0);
    if (!dc.Flip(3, 0, 0)) return 2;
    tagSIZE font{};
    dc.GetFontSize(font);  // the default font, 16 x 16
    const uint16_t* shown = HostWindowPixels(window);
    const bool ok = shown[5 * 64 + 10] == 0xF800 && shown[6 * 64 + 11] == 0xF800 &&
                    shown[5 * 64 + 20] == 0x7BFF &&  // half of white over blue
                    shown[0] == 0x001F && HostPresentCount(window) == 1 && font.cx == 16 && font.cy == 16;
    dc.Release();
    HostDestroyWindow(window);
    std::printf("consumer: %s\n", ok ? "pixels as drawn" : "pixels differ");
    return ok ? 0 : 3;
}
