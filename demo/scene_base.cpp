/* scene_base.cpp - the land under the map and the translucent panels over it,
 * made of plain and blended pixels; the view that places the map on the
 * screen, and the layers of the navigation screen in their order. */
#include <algorithm>
#include <cmath>

#include "demo/scenes.h"

namespace navdemo {

POINT MapView::at(double map_x, double map_y) const {
    return {static_cast<LONG>(std::lround(kWidth / 2.0 + (map_x - kWidth / 2.0) * scale + x)),
            static_cast<LONG>(std::lround(kHeight / 2.0 + (map_y - kHeight / 2.0) * scale + y))};
}

int MapView::size(double map_pixels) const {
    return std::max(1, static_cast<int>(std::lround(map_pixels * scale)));
}

void draw_map_screen(CCEDraw& dc, const Assets& assets, const MapView& view) {
    draw_background(dc);
    draw_areas(dc, view);
    draw_roads(dc, view);
    draw_route(dc, view);
    draw_tilted_view(dc);
    draw_street_names(dc, view);
    draw_icons(dc, assets, view);
    draw_legend(dc);
    draw_panels(dc);
    draw_panel_texts(dc);
}

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
