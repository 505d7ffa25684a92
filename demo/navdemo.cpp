/* navdemo - draws a navigation screen through libkesra's public interface,
 * presents it on an 800 x 480 window as the opening frame of its loop
 * (live.cpp) and writes what the window shows to OUT_DIR/navdemo.png, then
 * the other scenes. With KESRA_DISPLAY=sdl the frame is shown until the
 * window is closed (or for --seconds N). --live runs the loop interactively
 * instead; --frames N --out DIR runs it on a seeded path of input for N
 * frames and writes the first and last frames and a contact sheet. */
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
    int frames = 0;  // --frames: at least 1
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--live"))
            live = true;
        else if (!std::strcmp(argv[i], "--hud"))
            set_profile_hud(true);
        else if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc)
            seconds = std::atof(argv[++i]);
        else if (!std::strcmp(argv[i], "--frames") && i + 1 < argc && std::atoi(argv[i + 1]) > 0)
            frames = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--out") && i + 1 < argc)
            out_dir = argv[++i];
        else if (argv[i][0] == '-') {
            std::fprintf(stderr, "usage: navdemo [OUT_DIR] [--seconds S] [--live] [--frames N --out DIR]\n");
            return 2;
        } else
            out_dir = argv[i];
    }
    if ((live || frames > 0) && !kesra::devutil::make_directories(out_dir)) {
        std::fprintf(stderr, "navdemo: cannot create the folder %s\n", out_dir.c_str());
        return 1;
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
    if (live || frames > 0) {
        const int status =
            live ? run_live(dc, assets, out_dir, seconds) : run_frames(window, dc, assets, frames, out_dir);
        dc.Release();
        HostDestroyWindow(window);
        return status;
    }
    if (!record_splash(dc, assets, out_dir)) return 1;
    draw_first_frame(dc, assets);

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
