/* scene_anim.cpp - navdemo's animation: a "turn ahead" badge whose arrow
 * turns once, played over the map from the animation file that kesra-ani
 * built at build time, with its chime. Every presented frame is written out;
 * off a desktop the chime goes to a sound handler that notes it arrived. */
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "demo/scenes.h"
#include "tools/common/png565.h"

namespace navdemo {
namespace {

std::vector<std::vector<uint16_t>> g_frames;  // what the present handler saw

void record_frame(HWND, const uint16_t* pixels, int width, int height) {
    g_frames.emplace_back(pixels, pixels + static_cast<size_t>(width) * height);
}

std::mutex g_sound_mutex;
std::condition_variable g_sound_heard;
size_t g_sound_bytes = 0;

void hear_sound(const uint8_t*, size_t bytes) {
    std::lock_guard<std::mutex> lock(g_sound_mutex);
    g_sound_bytes = bytes;
    g_sound_heard.notify_all();
}

bool on_desktop() {
    const char* display = std::getenv("KESRA_DISPLAY");
    return display && std::strcmp(display, "sdl") == 0;
}

}  // namespace

bool record_animation(CCEDraw& dc, const Assets& assets, const std::string& out_dir) {
    const std::string path = assets.dir + "/badge.ani";
    const std::u16string wide(path.begin(), path.end());
    if (!CAniCtrl::OpenFile(reinterpret_cast<const WCHAR*>(wide.c_str()))) {
        std::fprintf(stderr, "navdemo: cannot open the animation file %s\n", path.c_str());
        return false;
    }
    const size_t bytes = static_cast<size_t>(kWidth) * kHeight * 2;
    std::vector<uint8_t> map(static_cast<uint8_t*>(dc.GetBuffer()),
                             static_cast<uint8_t*>(dc.GetBuffer()) + bytes);
    const bool desktop = on_desktop();
    if (!desktop) HostSetSoundHandler(hear_sound);  // the desktop plays the chime aloud
    g_frames.clear();
    HostSetPresentHandler(record_frame);
    CAniCtrl ani;
    tagANICTRL play{};
    play.nAniID = 300;
    play.pDraw = &dc;
    play.dwTime = 1200;  // 12 frames: 50 ms of work and 50 ms of rest each
    play.nX = 704;
    play.nY = 160;
    const int played = ani.Play(play);
    HostSetPresentHandler(nullptr);
    CAniCtrl::CloseFile();

    bool ok = played == 1 && !g_frames.empty();
    if (!ok) std::fprintf(stderr, "navdemo: the animation did not play\n");
    for (size_t i = 0; ok && i < g_frames.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/anim_%02zu.png", i);
        std::string error;
        ok =
            kesra::devutil::write_png565(out_dir + name, g_frames[i].data(), kWidth, kHeight, kWidth, &error);
        if (!ok) std::fprintf(stderr, "navdemo: %s\n", error.c_str());
    }
    if (ok)
        std::printf("navdemo: wrote the animation's frames anim_00.png ... anim_%02zu.png\n",
                    g_frames.size() - 1);
    if (!desktop) {
        std::unique_lock<std::mutex> lock(g_sound_mutex);
        // Generous: the sound thread only has to hand over bytes it has read.
        if (g_sound_heard.wait_for(lock, std::chrono::seconds(10), [] { return g_sound_bytes > 0; })) {
            std::printf("navdemo: the animation's chime (%zu bytes of WAVE) reached the sound handler\n",
                        g_sound_bytes);
        } else {
            std::fprintf(stderr, "navdemo: the animation's chime never reached the sound handler\n");
            ok = false;
        }
        lock.unlock();
        HostSetSoundHandler(nullptr);
    }
    std::memcpy(dc.GetBuffer(), map.data(), bytes);  // the map again for the scenes that follow
    dc.FlipBackBuffer(0, 0);
    dc.Flip(3, 0, 0);
    return ok;
}

}  // namespace navdemo
