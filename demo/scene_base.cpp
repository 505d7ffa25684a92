/* scene_base.cpp - the land under the map and the translucent panels over it,
 * made of plain and blended pixels. */
#include "demo/scenes.h"

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
    /* The next-turn panel over the tilted view. */
    for (int y = 392; y < 468; ++y)
        for (int x = 12; x < 288; ++x) dc.DrawAlphaPixel(x, y, rgb565(20, 40, 80), 20);
}

}  // namespace navdemo
