/* navdemo - draws a navigation screen through libkesra's public interface,
 * presents it on an 800 x 480 window and writes what the window shows to
 * OUT_DIR/navdemo.png. With KESRA_DISPLAY=sdl the frame is shown live until
 * the window is closed (or for --seconds N). */
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "kesra.h"
#include "png565.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 480;

constexpr unsigned short rgb565(unsigned r, unsigned g, unsigned b) {
    return static_cast<unsigned short>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

/* The map's land: a soft vertical gradient made of plain pixels. */
void draw_background(CCEDraw& dc) {
    dc.Clear(rgb565(236, 232, 222));
    for (int y = 0; y < kHeight; ++y) {
        const unsigned shade = 236 - static_cast<unsigned>(y) * 24 / kHeight;
        for (int x = 0; x < kWidth; ++x)
            if (((x + y) & 7) == 0) dc.DrawPixel(x, y, rgb565(shade, shade - 4, shade - 14), 1);
    }
}

/* A translucent panel and a status bar built from blended pixels. */
void draw_panels(CCEDraw& dc) {
    for (int y = 0; y < 56; ++y)
        for (int x = 0; x < kWidth; ++x) dc.DrawAlphaPixel(x, y, rgb565(20, 40, 80), 22);
    for (int y = 380; y < 470; ++y)
        for (int x = 10; x < 260; ++x) dc.DrawAlphaPixel(x, y, rgb565(255, 255, 255), 20);
    /* 2 x 2 pixels mark a compass rose of dots around the panel's centre. */
    for (int i = 0; i < 16; ++i) {
        const int x = 135 + (i - 8) * 12, y = 425;
        dc.DrawPixel(x, y, rgb565(200, 30, 30), 2);
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string out_dir = "out";
    double seconds = -1;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) seconds = std::atof(argv[++i]);
        else out_dir = argv[i];
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

    dc.BeginDraw();
    draw_background(dc);
    draw_panels(dc);
    dc.EndDraw();
    dc.FlipBackBuffer(0, 0);
    dc.Flip(3, 0, 0);

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

    const char* display = std::getenv("KESRA_DISPLAY");
    if (display && std::strcmp(display, "headless") != 0) {
        const auto start = std::chrono::steady_clock::now();
        while (HostPumpEvents()) {
            if (seconds >= 0 && std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() > seconds)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(16));
        }
    }
    dc.Release();
    HostDestroyWindow(window);
    return 0;
}
