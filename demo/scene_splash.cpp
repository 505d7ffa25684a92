/* scene_splash.cpp - the start-up splash: the frames of splash.pack (a
 * compressed frame pack closed by a 4-pixel-wide end marker) played by
 * CGifPlay at 40 ms a frame. Each presented frame is recorded through the
 * present handler and written to out_dir as splash_NN.png. */
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <vector>

#include "demo/scenes.h"
#include "tools/common/png565.h"

namespace navdemo {
namespace {

constexpr int kSplashFrames = 8;  // as navdemo-splash draws them
constexpr LONG kFirstFrame = 300;
constexpr DWORD kFrameDelay = 40;

/* One slot more than the pack holds, so that a frame too many shows up. */
std::vector<uint16_t> g_frames[kSplashFrames + 1];
std::atomic<int> g_frame_count{0};

void record_frame(HWND, const uint16_t* pixels, int width, int height) {
    const int n = g_frame_count.load();
    if (n > kSplashFrames) return;
    g_frames[n].assign(pixels, pixels + static_cast<size_t>(width) * height);
    g_frame_count = n + 1;
}

}  // namespace

bool record_splash(CCEDraw& dc, const Assets& assets, const std::string& out_dir) {
    const std::string path = assets.dir + "/splash.pack";
    tagGIFPLAY params{};
    params.nFirstID = kFirstFrame;
    params.pDraw = &dc;
    params.nDelay = kFrameDelay;
    if (path.size() >= sizeof params.szPath / sizeof params.szPath[0]) {
        std::fprintf(stderr, "navdemo: the path %s is too long\n", path.c_str());
        return false;
    }
    std::copy(path.begin(), path.end(), params.szPath);

    CGifPlay player;
    if (!player.OnInit(&params)) {
        std::fprintf(stderr, "navdemo: CGifPlay refused its parameters\n");
        return false;
    }
    g_frame_count = 0;
    HostSetPresentHandler(record_frame);
    player.Play();
    HostSetPresentHandler(nullptr);

    const int shown = g_frame_count.load();
    if (!player.IsEnd() || shown != kSplashFrames) {
        std::fprintf(stderr, "navdemo: the splash showed %d of %d frames from %s\n", shown, kSplashFrames,
                     path.c_str());
        return false;
    }
    if (!kesra::devutil::make_directories(out_dir)) {
        std::fprintf(stderr, "navdemo: cannot create the folder %s\n", out_dir.c_str());
        return false;
    }
    for (int i = 0; i < shown; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/splash_%02d.png", i);
        std::string error;
        if (!kesra::devutil::write_png565(out_dir + name, g_frames[i].data(), kWidth, kHeight, kWidth,
                                          &error)) {
            std::fprintf(stderr, "navdemo: %s\n", error.c_str());
            return false;
        }
    }
    std::printf("navdemo: wrote the splash's frames splash_00.png ... splash_%02d.png\n", shown - 1);
    return true;
}

}  // namespace navdemo
