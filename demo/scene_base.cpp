/* scene_base.cpp - the land under the map and the translucent panels over it,
 * made of plain and blended pixels. */
#include "scenes.h"

namespace navdemo {

void draw_background(CCEDraw& dc) {
    dc.Clear(rgb565(236, 232, 222));
    for (int y = 0; y < kHeight; ++y) {
        const unsigned shade = 236 - static_cast<unsigned>(y) * 24 / kHeight;
        for (int x = 0; x < kWidth; ++x)
            if (((x + y) & 7) == 0) dc.DrawPixel(x, y, rgb565(shade, shade - 4, shade - 14), 1);
    }
}

void draw_panels(CCEDraw& dc) {
    for (int y = 0; y < 56; ++y)
        for (int x = 0; x < kWidth; ++x) dc.DrawAlphaPixel(x, y, rgb565(20, 40, 80), 22);
    for (int y = 380; y < 470; ++y)
        for (int x = 10; x < 260; ++x) dc.DrawAlphaPixel(x, y, rgb565(255, 255, 255), 20);
    for (int i = 0; i < 16; ++i) dc.DrawPixel(135 + (i - 8) * 12, 425, rgb565(200, 30, 30), 2);
}

}  // namespace navdemo
