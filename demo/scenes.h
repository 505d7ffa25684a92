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

/* Where the map is seen from. Map coordinates are the screen's pixels of the
 * view at rest; map point p shows at centre + (p - centre) * scale + offset.
 * The panels, the legend and the tilted view stay fixed to the screen. */
struct MapView {
    double x = 0, y = 0;  // the offset, in screen pixels
    double scale = 1;
    POINT at(double map_x, double map_y) const;
    /* A width or radius on the map as screen pixels, at least 1. */
    int size(double map_pixels) const;
};

void draw_background(CCEDraw& dc);                                        // scene_base.cpp
void draw_areas(CCEDraw& dc, const MapView& view);                        // scene_areas.cpp
void draw_roads(CCEDraw& dc, const MapView& view);                        // scene_roads.cpp
void draw_route(CCEDraw& dc, const MapView& view);                        // scene_roads.cpp
void draw_tilted_view(CCEDraw& dc);                                       // scene_roads.cpp
void draw_icons(CCEDraw& dc, const Assets& assets, const MapView& view);  // scene_icons.cpp
void draw_legend(CCEDraw& dc);                                            // scene_areas.cpp
void draw_panels(CCEDraw& dc);                                            // scene_base.cpp
void draw_street_names(CCEDraw& dc, const MapView& view);                 // scene_labels.cpp
void draw_panel_texts(CCEDraw& dc);                                       // scene_labels.cpp
/* Every layer above in order: the whole navigation screen for a view. */
void draw_map_screen(CCEDraw& dc, const Assets& assets, const MapView& view);  // scene_base.cpp

/* The map's street grid (scene_roads.cpp): grid point (gx, gy) on the screen,
 * and the centre lines of street column i and street row j. */
POINT street_point(const MapView& view, double gx, double gy);
std::vector<POINT> street_column(const MapView& view, int i);
std::vector<POINT> street_row(const MapView& view, int j);
constexpr double kGridAngle = 0.21;  // radians, clockwise on the screen

/* The main menu laid out by menu.ini, drawn into dc (scene_menu.cpp); false
 * when the configuration cannot be read or holds no buttons. */
bool draw_menu_page(CCEDraw& dc, const Assets& assets);
/* The photo browser over a folder of pictures that it first writes to dir,
 * one of them the map as dc shows it (scene_photos.cpp); false on a failure. */
bool draw_photo_screen(CCEDraw& dc, CCEDraw& map, const std::string& dir);

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

/* live.cpp: the map, the menu and the photo screen as one loop driven by the
 * pointer and keys. run_live runs it on the display until Esc on the map, a
 * closed window or the given seconds (negative: no limit); run_frames runs
 * it for frames steps of a seeded path of input and writes what the window
 * showed first and last and a contact sheet to out_dir (both return the
 * exit status, 0 on success); draw_first_frame presents the loop's opening
 * frame. Photos go to work_dir/photos. */
int run_live(CCEDraw& dc, const Assets& assets, const std::string& work_dir, double seconds);
int run_frames(HWND window, CCEDraw& dc, const Assets& assets, int frames, const std::string& out_dir);
void draw_first_frame(CCEDraw& dc, const Assets& assets);
/* The badge animation played over the map with its chime, each frame written
 * to out_dir; the map is put back afterwards. */
bool record_animation(CCEDraw& dc, const Assets& assets, const std::string& out_dir);  // scene_anim.cpp

}  // namespace navdemo

#endif
