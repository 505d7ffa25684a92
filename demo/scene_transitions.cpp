/* scene_transitions.cpp - navdemo's transitions from the map to a menu
 * screen, recorded step by step through the host's present handler: a slide
 * and a turn with one PNG per presented step, a contact sheet of every
 * effect's steps (one row per effect, 1/8 size), and the map zoomed in and out. */
#include <cstdio>
#include <string>
#include <vector>

#include "demo/scenes.h"
#include "tools/common/png565.h"

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

bool write(const std::string& path, const uint16_t* pixels, int width, int height) {
    std::string error;
    if (kesra::devutil::write_png565(path, pixels, width, height, width, &error)) return true;
    std::fprintf(stderr, "navdemo: %s\n", error.c_str());
    return false;
}

bool write_steps(const std::string& out_dir, const std::string& name,
                 const std::vector<std::vector<uint16_t>>& steps) {
    for (size_t i = 0; i < steps.size(); ++i) {
        char file[64];
        std::snprintf(file, sizeof file, "/transition_%s_%02zu.png", name.c_str(), i);
        if (!write(out_dir + file, steps[i].data(), kWidth, kHeight)) return false;
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

/* The mean of a 2 x 2 block, so that checker-darkened frames keep their
 * picture in a thumbnail. */
uint16_t average_2x2(const uint16_t* p) {
    const uint16_t q[4] = {p[0], p[1], p[kWidth], p[kWidth + 1]};
    unsigned r = 0, g = 0, b = 0;
    for (uint16_t c : q) {
        r += c >> 11;
        g += (c >> 5) & 63;
        b += c & 31;
    }
    return static_cast<uint16_t>((r / 4) << 11 | (g / 4) << 5 | (b / 4));
}

/* Every effect's steps as 1/8-size thumbnails, one row per effect in the
 * order of kEffects, a dark gap between thumbnails. */
bool write_contact_sheet(const std::string& path, CCEDraw& map, CCEDraw& menu) {
    constexpr int kScale = 8, kThumbW = kWidth / kScale, kThumbH = kHeight / kScale, kGap = 4, kColumns = 12;
    constexpr int kRows = sizeof kEffects / sizeof kEffects[0];
    const int sheet_w = kColumns * (kThumbW + kGap) + kGap, sheet_h = kRows * (kThumbH + kGap) + kGap;
    std::vector<uint16_t> sheet(static_cast<size_t>(sheet_w) * sheet_h, rgb565(24, 24, 24));
    for (int row = 0; row < kRows; ++row) {
        const auto steps = record(map, menu, kEffects[row].bits, 800);
        std::printf("navdemo: contact sheet row %d: %s, %zu steps\n", row, kEffects[row].name, steps.size());
        for (size_t col = 0; col < steps.size() && col < kColumns; ++col) {
            const int x0 = kGap + static_cast<int>(col) * (kThumbW + kGap),
                      y0 = kGap + row * (kThumbH + kGap);
            for (int y = 0; y < kThumbH; ++y)
                for (int x = 0; x < kThumbW; ++x)
                    sheet[static_cast<size_t>(y0 + y) * sheet_w + x0 + x] = average_2x2(
                        steps[col].data() + static_cast<size_t>(y * kScale) * kWidth + x * kScale);
        }
    }
    return write(path, sheet.data(), sheet_w, sheet_h);
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
         write(out_dir + "/map_zoom_in.png", reinterpret_cast<const uint16_t*>(zoomed.GetBuffer()), kWidth,
               kHeight);
    draw_menu(zoomed);
    ok = ok && zoomed.ZoomMap(&map, tagRECT{0, 0, kWidth, kHeight}, 0.5, 0) == 0 &&
         write(out_dir + "/map_zoom_out.png", reinterpret_cast<const uint16_t*>(zoomed.GetBuffer()), kWidth,
               kHeight);
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
