/* scene_transitions.cpp - navdemo's transitions from the map to a menu
 * screen, recorded step by step through the host's present handler: a slide
 * and a turn with one PNG per presented step, a contact sheet of every
 * effect's steps (one row per effect), and the map zoomed in and out. */
#include <cstdio>
#include <string>
#include <vector>

#include "demo/contact_sheet.h"
#include "demo/scenes.h"

namespace navdemo {
namespace {

std::vector<std::vector<uint16_t>> g_steps;  // what the present handler saw

void record_step(HWND, const uint16_t* pixels, int width, int height) {
    g_steps.emplace_back(pixels, pixels + static_cast<size_t>(width) * height);
}

/* A settings menu: a title bar and two columns of buttons. */
void draw_menu(CCEDraw& menu) {
    menu.Clear(rgb565(34, 44, 64));
    menu.FillRect(0, 0, kWidth - 1, 63, rgb565(20, 90, 160));
    for (int i = 0; i < 8; ++i) {
        const int x = 40 + (i % 2) * 370, y = 96 + (i / 2) * 92;
        menu.FillRect(x, y, x + 349, y + 71, rgb565(70, 86, 118));
        menu.FillRect(x + 12, y + 16, x + 51, y + 55, rgb565(240, 170, 40));
        menu.FillRect(x + 70, y + 28, x + 70 + 30 * (i + 3), y + 43, rgb565(220, 226, 236));
    }
}

/* Runs one effect from the map (on the screen) to the menu and returns the
 * frames it presented. */
std::vector<std::vector<uint16_t>> record(CCEDraw& map, CCEDraw& menu, DWORD effect, LONG time) {
    map.FlipBackBuffer(0, 0);  // the map is what the screen shows
    draw_menu(menu);           // the zoom frame darkens the new frame: draw it afresh
    g_steps.clear();
    HostSetPresentHandler(record_step);
    menu.RenderFlip(tagRENDERFLIP_STRUCT{effect, {0, 0, kWidth, kHeight}, time});
    HostSetPresentHandler(nullptr);
    return g_steps;
}

bool write_steps(const std::string& out_dir, const std::string& name,
                 const std::vector<std::vector<uint16_t>>& steps) {
    for (size_t i = 0; i < steps.size(); ++i) {
        char file[64];
        std::snprintf(file, sizeof file, "/transition_%s_%02zu.png", name.c_str(), i);
        if (!write_picture(out_dir + file, steps[i].data(), kWidth, kHeight)) return false;
    }
    return true;
}

struct Effect {
    const char* name;
    DWORD bits;
};

constexpr Effect kEffects[] = {
    {"out zoom frame", RF_OUT | RF_ZOOMFRAME},
    {"out fade", RF_OUT | RF_FADE},
    {"out split v", RF_OUT | RF_SPLIT_V},
    {"out split h", RF_OUT | RF_SPLIT_H},
    {"out zoom", RF_OUT | RF_ZOOM},
    {"out swing", RF_OUT | RF_SWING},
    {"out turn", RF_OUT | RF_TURN},
    {"out slide up", RF_OUT | RF_SLIDE_UP},
    {"out slide down", RF_OUT | RF_SLIDE_DOWN},
    {"out slide left", RF_OUT | RF_SLIDE_LEFT},
    {"out slide right", RF_OUT | RF_SLIDE_RIGHT},
    {"in fade", RF_IN | RF_FADE},
    {"in split v", RF_IN | RF_SPLIT_V},
    {"in split h", RF_IN | RF_SPLIT_H},
    {"in turn", RF_IN | RF_TURN},
    {"in slide up", RF_IN | RF_SLIDE_UP},
    {"in slide down", RF_IN | RF_SLIDE_DOWN},
    {"in slide left", RF_IN | RF_SLIDE_LEFT},
    {"in slide right", RF_IN | RF_SLIDE_RIGHT},
};

/* Every effect's steps as thumbnails, one row per effect in the order of kEffects. */
bool write_contact_sheet(const std::string& path, CCEDraw& map, CCEDraw& menu) {
    constexpr int kColumns = 12, kRows = sizeof kEffects / sizeof kEffects[0];
    ContactSheet sheet(kColumns, kRows);
    for (int row = 0; row < kRows; ++row) {
        const auto steps = record(map, menu, kEffects[row].bits, 800);
        std::printf("navdemo: contact sheet row %d: %s, %zu steps\n", row, kEffects[row].name, steps.size());
        for (size_t col = 0; col < steps.size(); ++col)
            sheet.place(static_cast<int>(col), row, steps[col].data());
    }
    return sheet.write(path);
}

}  // namespace

bool record_transitions(CCEDraw& map, const std::string& out_dir) {
    CCEDraw menu, zoomed;
    if (!menu.Create(kWidth, kHeight, 0, 0, nullptr, 0) || !zoomed.Create(kWidth, kHeight, 0, 0, nullptr, 0))
        return false;
    bool ok = write_steps(out_dir, "slide", record(map, menu, RF_IN | RF_SLIDE_LEFT, 1000)) &&
              write_steps(out_dir, "turn", record(map, menu, RF_OUT | RF_TURN, 0)) &&
              write_contact_sheet(out_dir + "/transitions_sheet.png", map, menu);

    // The map zoomed in twice over, and reduced to half size over the menu.
    ok = ok && zoomed.ZoomMap(&map, tagRECT{0, 0, kWidth, kHeight}, 2.0, 0) == 0 &&
         write_picture(out_dir + "/map_zoom_in.png", reinterpret_cast<const uint16_t*>(zoomed.GetBuffer()),
                       kWidth, kHeight);
    draw_menu(zoomed);
    ok = ok && zoomed.ZoomMap(&map, tagRECT{0, 0, kWidth, kHeight}, 0.5, 0) == 0 &&
         write_picture(out_dir + "/map_zoom_out.png", reinterpret_cast<const uint16_t*>(zoomed.GetBuffer()),
                       kWidth, kHeight);
    if (ok)
        std::printf("navdemo: wrote the transition steps, %s/transitions_sheet.png and the map zooms\n",
                    out_dir.c_str());
    map.FlipBackBuffer(0, 0);
    map.Flip(3, 0, 0);
    zoomed.Release();
    menu.Release();
    return ok;
}

}  // namespace navdemo
