/* navdemo - draws a navigation screen through libkesra's public interface,
 * presents it on an 800 x 480 window and writes what the window shows to
 * OUT_DIR/navdemo.png. With KESRA_DISPLAY=sdl the frame is shown live until
 * the window is closed (or for --seconds N). --live runs the map as an
 * interactive loop instead (live.cpp). */
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "demo/profile_hud.h"
#include "demo/scenes.h"
#include "kesra.h"
#include "tools/common/png565.h"

using namespace navdemo;

int main(int argc, char** argv) {
    std::string out_dir = "out";
    double seconds = -1;
    bool live = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--live"))
            live = true;
        else if (!std::strcmp(argv[i], "--hud"))
            set_profile_hud(true);
        else if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc)
            seconds = std::atof(argv[++i]);
        else
            out_dir = argv[i];
    }

    HWND window = HostCreateWindow(kWidth, kHeight);
    if (!window) {
        std::fprintf(stderr, "navdemo: cannot create a %d x %d window\n", kWidth, kHeight);
        return 1;
    }
    CCEDraw dc;
    if (!dc.Create(kWidth, kHeight, 0, 0, window, 0)) {
        std::fprintf(stderr, "navdemo: Create failed with error %u\n", dc.GetLastError());
        return 1;
    }

    const Assets assets{KESRA_DEMO_ASSETS};
    if (!record_splash(dc, assets, out_dir)) return 1;
    dc.BeginDraw();
    draw_background(dc);
    draw_areas(dc);
    draw_roads(dc);
    draw_tilted_view(dc);
    draw_street_names(dc);
    draw_icons(dc, assets);
    draw_panels(dc);
    draw_panel_texts(dc);
    profile_frame(dc);
    dc.EndDraw();
    dc.FlipBackBuffer(0, 0);
    dc.Flip(3, 0, 0);
    if (live) {
        const int status = run_live(dc, assets, seconds);
        dc.Release();
        HostDestroyWindow(window);
        return status;
    }

    if (!kesra::devutil::make_directories(out_dir)) {
        std::fprintf(stderr, "navdemo: cannot create the folder %s\n", out_dir.c_str());
        return 1;
    }
    const std::string path = out_dir + "/navdemo.png";
    std::string error;
    if (!kesra::devutil::write_png565(path, HostWindowPixels(window), kWidth, kHeight, kWidth, &error)) {
        std::fprintf(stderr, "navdemo: %s\n", error.c_str());
        return 1;
    }
    std::printf("navdemo: wrote %s (%u frame%s presented)\n", path.c_str(), HostPresentCount(window),
                HostPresentCount(window) == 1 ? "" : "s");
    if (!record_animation(dc, assets, out_dir)) return 1;
    if (!record_overlays(window, dc, assets, out_dir)) return 1;
    std::printf("navdemo: wrote dimmed.png and the loading screen's frames loading_NN.png\n");
    if (!record_transitions(dc, out_dir)) return 1;
    if (!record_photos(dc, out_dir)) return 1;
    if (!record_menu(window, dc, assets, out_dir)) return 1;

    /* On a desktop window the frame stays until the window is closed; --seconds
     * bounds that, and keeps a frame buffer showing for as long. */
    const char* display = std::getenv("KESRA_DISPLAY");
    const bool desktop = display && std::strcmp(display, "sdl") == 0;
    if (desktop || seconds > 0) {
        const auto start = std::chrono::steady_clock::now();
        while (HostPumpEvents()) {
            const double shown =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (seconds >= 0 && shown > seconds) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(16));
        }
    }
    dc.Release();
    HostDestroyWindow(window);
    return 0;
}
