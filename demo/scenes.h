/* scenes.h - the layers of navdemo's frame, one file each, drawn in order. */
#ifndef KESRA_DEMO_SCENES_H
#define KESRA_DEMO_SCENES_H

#include <string>
#include <vector>

#include "core/pixel.h"
#include "kesra.h"

namespace navdemo {

constexpr int kWidth = 800;
constexpr int kHeight = 480;

constexpr unsigned short rgb565(uint8_t r, uint8_t g, uint8_t b) { return kesra::narrow565(r, g, b); }

/* Where the demo's generated files (packs, images) are found at run time. */
struct Assets {
    std::string dir;
};

void draw_background(CCEDraw& dc);                   // scene_base.cpp
void draw_areas(CCEDraw& dc);                        // scene_areas.cpp
void draw_roads(CCEDraw& dc);                        // scene_roads.cpp
void draw_tilted_view(CCEDraw& dc);                  // scene_roads.cpp
void draw_icons(CCEDraw& dc, const Assets& assets);  // scene_icons.cpp
void draw_panels(CCEDraw& dc);                       // scene_base.cpp
void draw_street_names(CCEDraw& dc);                 // scene_labels.cpp
void draw_panel_texts(CCEDraw& dc);                  // scene_labels.cpp

/* The map's street grid (scene_roads.cpp): grid point (gx, gy) on the screen,
 * and the centre lines of street column i and street row j. */
POINT street_point(double gx, double gy);
std::vector<POINT> street_column(int i);
std::vector<POINT> street_row(int j);
constexpr double kGridAngle = 0.21;  // radians, clockwise on the screen

/* The shown map dimmed, and a loading screen under the turning busy
 * indicator, written as PNG files into out_dir; false when one is missing. */
bool record_overlays(HWND window, CCEDraw& dc, const Assets& assets,
                     const std::string& out_dir);  // scene_overlays.cpp
/* Transitions from the map to a menu, each step written to out_dir. */
bool record_transitions(CCEDraw& map, const std::string& out_dir);  // scene_transitions.cpp
/* A folder of pictures listed and drawn by the photo browser, to out_dir/photos.png. */
bool record_photos(CCEDraw& map, const std::string& out_dir);  // scene_photos.cpp
/* The start-up splash played from splash.pack by CGifPlay, each frame written
 * to out_dir/splash_NN.png; false unless every frame was shown. */
bool record_splash(CCEDraw& dc, const Assets& assets, const std::string& out_dir);  // scene_splash.cpp
/* The main menu laid out by menu.ini, presented and written to out_dir/menu.png. */
bool record_menu(HWND window, CCEDraw& dc, const Assets& assets,
                 const std::string& out_dir);  // scene_menu.cpp

/* The map as an interactive loop until Esc, a closed window or the given
 * seconds (negative: no limit); the exit status. */
int run_live(CCEDraw& dc, const Assets& assets, double seconds);  // live.cpp
/* The badge animation played over the map with its chime, each frame written
 * to out_dir; the map is put back afterwards. */
bool record_animation(CCEDraw& dc, const Assets& assets, const std::string& out_dir);  // scene_anim.cpp

}  // namespace navdemo

#endif
