/* scene_icons.cpp - icons from the demo's resource pack (built by kesra-pack
 * from the PNG files navdemo-icons draws), drawn with alpha over the map.
 * IDs follow the order of the pack: 300 arrow, 301 compass, 302-304 POIs. */
#include <cstdio>

#include "demo/scenes.h"

namespace navdemo {
namespace {

enum : unsigned { kArrow = 300, kCompass = 301, kFuel = 302, kParking = 303, kFood = 304 };

struct Placed {
    unsigned id;
    int x, y;     // centre on the map, or on the screen for the tilted view's
    bool on_map;  // moves with the map's view
};

constexpr Placed kPoints[] = {
    {kFuel, 182, 150, false}, {kParking, 560, 196, true}, {kFood, 318, 352, true},
    {kFuel, 664, 330, true},  {kFood, 470, 110, true},
};
constexpr int kMapLeft = 301, kMapTop = 57;  // right of the tilted view, below the top panel

/* Temporary bitmaps: pack images redrawn every frame live in the image pool. */
void draw_centred(CCEDraw& dc, unsigned id, int cx, int cy) {
    CCEBitmap bitmap;
    if (!bitmap.LoadBitmapTemp(id)) {
        std::fprintf(stderr, "navdemo: icon %u is missing from the pack\n", id);
        return;
    }
    dc.DrawBitmap(&bitmap, cx - bitmap.GetWidth() / 2, cy - bitmap.GetHeight() / 2, 0, 0, 0, 0);
}

}  // namespace

void draw_icons(CCEDraw& dc, const Assets& assets, const MapView& view) {
    const std::string path = assets.dir + "/icons.pack";
    const std::u16string wide(path.begin(), path.end());  // the build folder's path is ASCII
    if (!CCEBitmap::OpenResource(wide.c_str())) {
        std::fprintf(stderr, "navdemo: cannot open %s; icons are left out\n", path.c_str());
        return;
    }
    for (const Placed& p : kPoints) {
        const POINT at = p.on_map ? view.at(p.x, p.y) : POINT{p.x, p.y};
        if (!p.on_map || (at.x >= kMapLeft && at.y >= kMapTop)) draw_centred(dc, p.id, at.x, at.y);
    }
    draw_centred(dc, kCompass, kWidth - 40, kHeight - 40);   // clear of the panels and the legend
    draw_centred(dc, kArrow, kWidth / 2, kHeight / 2 + 40);  // the vehicle stays where the driver looks
    CCEBitmap::CloseResource();
}

}  // namespace navdemo
