/* scene_labels.cpp - street and place names on the map and the panels'
 * texts. Street names come from DejaVu Sans and Droid Sans Fallback (both
 * TrueType: ".ttf" in the name picks FreeType), set a character at a time
 * along sloped roads, each turned to the road's direction. Place names stand
 * upright with a halo or a drop shadow, drawn by the built-in engine in the
 * outline font that the build makes with kesra-font (labels.stcf). One font
 * is loaded at a time. The panels use the system font. */
#include <cmath>
#include <cstdio>
#include <string>

#include "demo/scenes.h"

namespace navdemo {
namespace {

const char* const kLatinFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char* const kChineseFont = "/usr/share/fonts/truetype/droid/DroidSansFallbackFull.ttf";
const RECT kMap{301, 57, kWidth - 1, kHeight - 1};  // right of the tilted view, below the top panel

bool load_font(const char* path) {
    std::u16string wide(path, path + std::char_traits<char>::length(path));
    if (LoadFont(wide.data())) return true;
    std::fprintf(stderr, "navdemo: cannot load %s; its labels are left out\n", path);
    return false;
}

RGBQUAD quad(unsigned short c) {
    return RGBQUAD{static_cast<BYTE>((c & 0x1F) << 3), static_cast<BYTE>((c >> 5 & 0x3F) << 2),
                   static_cast<BYTE>((c >> 11) << 3), 0};
}

/* A name along the line from a to b, centred on its middle: one character at
 * a time, advance pixels apart, each turned to the line (angles count
 * anticlockwise on the screen), with a white edge. */
void name_along(CCEDraw& dc, const std::u16string& name, POINT a, POINT b, double advance,
                unsigned short color) {
    const double dx = b.x - a.x, dy = b.y - a.y, length = std::hypot(dx, dy);
    const double ux = dx / length, uy = dy / length;
    int angle = static_cast<int>(std::lround(std::atan2(-dy, dx) * 180 / M_PI));
    if (angle < 0) angle += 360;
    DMX_tag_StringStruct params{0, 1, 0, angle, quad(color), quad(rgb565(255, 255, 255))};
    const double start = length / 2 - advance * (name.size() - 1) / 2;
    for (size_t i = 0; i < name.size(); ++i) {
        const double t = start + advance * i;
        const LONG x = static_cast<LONG>(std::lround(a.x + ux * t)),
                   y = static_cast<LONG>(std::lround(a.y + uy * t));
        const char16_t one[2] = {name[i], 0};
        // The pen starts at the rectangle's left edge; its top is the centre line.
        dc.DM_DrawText(one, 1, RECT{x, y, kMap.right, kMap.bottom}, &params, 0);
    }
}

/* The outline font that the build makes for the place names. */
bool load_label_font() { return load_font((std::string(KESRA_DEMO_ASSETS) + "/labels.stcf").c_str()); }

/* Top and bottom colours of an outlined label's gradient. */
DWORD gradient(unsigned short top, unsigned short bottom) { return top | static_cast<DWORD>(bottom) << 16; }

/* An upright outlined name centred on (cx, cy). */
void outlined_at(CCEDraw& dc, const std::u16string& name, POINT c, const tagDISTINCT_STRUCT& style) {
    dc.DrawTextWithDistinct(name.c_str(), -1, RECT{c.x - 150, c.y - 15, c.x + 150, c.y + 15},
                            DT_CENTER | DT_VCENTER, style);
}

/* Place names in the outline font: parks in green on a white halo, districts
 * in dark grey with a shadow. */
void draw_place_names(CCEDraw& dc, const MapView& view) {
    if (!load_label_font()) return;
    CCEFont font(20, 20, 1, 400);  // smoothed horizontal edges
    CKESRAObject* previous = dc.SetGDIObject(&font);
    const unsigned short white = rgb565(255, 255, 255);
    const tagDISTINCT_STRUCT park{
        0, gradient(rgb565(40, 120, 50), rgb565(10, 70, 20)), white, 0, 0, 0, 0, 0, 0, 0};
    outlined_at(dc, u"Lake Park", view.at(640, 370), park);
    outlined_at(dc, u"人民公园", view.at(660, 418), park);
    const tagDISTINCT_STRUCT district{
        1, gradient(rgb565(90, 90, 100), rgb565(40, 40, 50)), rgb565(120, 120, 120), 0, 0, 0, 0, 0, 0, 0};
    outlined_at(dc, u"Old Town", view.at(470, 150), district);
    outlined_at(dc, u"老城区", view.at(470, 178), district);
    dc.SetGDIObject(previous);
    ReleaseFont();
}

/* The next turn's street in the top panel, in the outline font, with the
 * part of its name already read out greyed and a sheen across the rest. */
void draw_next_turn(CCEDraw& dc) {
    if (!load_label_font()) return;
    CCEFont font(20, 20, 1, 400);
    CKESRAObject* previous = dc.SetGDIObject(&font);
    const unsigned short white = rgb565(255, 255, 255);
    const LONG turn_x = 330, turn_y = 28;
    const tagDISTINCT_STRUCT turn{0,
                                  gradient(rgb565(200, 60, 20), rgb565(130, 30, 10)),
                                  white,
                                  1,
                                  turn_x + 40,
                                  gradient(rgb565(150, 150, 150), rgb565(110, 110, 110)),
                                  white,
                                  1,
                                  turn_x + 110,
                                  0};
    dc.DrawTextWithDistinct(u"Mill Lane 磨坊路", -1, RECT{turn_x, turn_y - 15, turn_x + 239, turn_y + 15},
                            DT_VCENTER, turn);
    dc.SetGDIObject(previous);
    ReleaseFont();
}

}  // namespace

void draw_street_names(CCEDraw& dc, const MapView& view) {
    CCEFont font(14, 14, 2, 400);
    CKESRAObject* previous = dc.SetGDIObject(&font);
    const unsigned short ink = rgb565(50, 50, 60);
    if (load_font(kLatinFont)) {
        const std::vector<POINT> avenue = street_row(view, 5), lower = street_row(view, 9);
        name_along(dc, u"Harbour Avenue", avenue[4], avenue[5], 9, ink);
        name_along(dc, u"Mill Lane", lower[4], lower[5], 9, ink);
        // The highway climbs to the right: the label turns with it.
        name_along(dc, u"Ring Expressway", view.at(330, 330), view.at(420, 250), 9, rgb565(120, 50, 10));
        ReleaseFont();
    }
    if (load_font(kChineseFont)) {
        const std::vector<POINT> row = street_row(view, 3), column = street_column(view, 9);
        name_along(dc, u"中山路", row[4], row[5], 16, ink);
        // A north-south road: the characters stand upright, one under another.
        const POINT top = column[1], bottom = column[2];
        const std::u16string name = u"解放大道";
        DMX_tag_StringStruct params{0, 1, 0, 0, quad(ink), quad(rgb565(255, 255, 255))};
        for (size_t i = 0; i < name.size(); ++i) {
            const double t = 0.25 + 0.15 * static_cast<double>(i);
            const LONG x = static_cast<LONG>(std::lround(top.x + (bottom.x - top.x) * t)) + 14;
            const LONG y = static_cast<LONG>(std::lround(top.y + (bottom.y - top.y) * t));
            const char16_t one[2] = {name[i], 0};
            dc.DM_DrawText(one, 1, RECT{x, y, kMap.right, kMap.bottom}, &params, 0);
        }
        ReleaseFont();
    }
    dc.SetGDIObject(previous);
    draw_place_names(dc, view);
}

void draw_panel_texts(CCEDraw& dc) {
    dc.UseSysFont(1);
    CCEFont large(30, 30, 2, 700), small(18, 18, 2, 400);
    CKESRAObject* previous = dc.SetGDIObject(&large);
    dc.SetTextColor(rgb565(255, 255, 255));
    dc.DrawTextW(u"14:25", -1, RECT{kWidth - 160, 0, kWidth - 12, 55}, DT_RIGHT | DT_VCENTER);
    dc.DrawTextW(u"350 m", -1, RECT{90, 396, 284, 432}, DT_LEFT | DT_VCENTER);
    dc.SetGDIObject(&small);
    dc.DrawTextW(u"Harbour Avenue", -1, RECT{90, 432, 284, 464}, DT_LEFT | DT_VCENTER);
    dc.DrawTextW(u"ETA 14:41  12.4 km", -1, RECT{12, 0, 400, 55}, DT_LEFT | DT_VCENTER);
    dc.SetGDIObject(previous);
    dc.UseSysFont(0);
    draw_next_turn(dc);
}

}  // namespace navdemo
