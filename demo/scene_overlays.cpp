/* scene_overlays.cpp - the overlays over navdemo's map: a dimmed frame, and a
 * loading screen under the busy indicator (pack image 305, eight frames)
 * whose frames the overlay thread presents on its own while the demo idles.
 * Each frame is recorded through the present handler. */
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "demo/scenes.h"
#include "tools/common/png565.h"

namespace navdemo {
namespace {

enum : unsigned { kSandglass = 305 };
constexpr int kSandglassFrames = 8;
constexpr int kRecordedFrames = kSandglassFrames;

/* The frames the overlay thread presents, kept until they are written. */
std::vector<uint16_t> g_recorded[kRecordedFrames];
std::atomic<int> g_recorded_count{0};

void record_frame(HWND, const uint16_t* pixels, int width, int height) {
    const int n = g_recorded_count.load();
    if (n >= kRecordedFrames) return;
    g_recorded[n].assign(pixels, pixels + static_cast<size_t>(width) * height);
    g_recorded_count = n + 1;
}

bool write_frame(const std::string& path, const uint16_t* pixels) {
    std::string error;
    if (kesra::devutil::write_png565(path, pixels, kWidth, kHeight, kWidth, &error)) return true;
    std::fprintf(stderr, "navdemo: %s\n", error.c_str());
    return false;
}

void draw_loading_screen(CCEDraw& dc) {
    dc.Clear(rgb565(24, 32, 48));
    dc.FillRect(250, 320, 549, 331, rgb565(60, 72, 96));
    dc.FillRect(250, 320, 429, 331, rgb565(120, 180, 240));  // 60 % loaded
}

}  // namespace

bool record_overlays(HWND window, CCEDraw& dc, const Assets& assets, const std::string& out_dir) {
    /* The map, dimmed by half at the next presentation. */
    dc.SetBlackSrceenLevel(16);
    dc.FlipBackBuffer(0, 0);
    dc.Flip(3, 0, 0);
    dc.SetBlackSrceenLevel(0);
    if (!write_frame(out_dir + "/dimmed.png", HostWindowPixels(window))) return false;

    const std::string path = assets.dir + "/icons.pack";
    const std::u16string wide(path.begin(), path.end());
    if (!CCEBitmap::OpenResource(wide.c_str())) {
        std::fprintf(stderr, "navdemo: cannot open %s\n", path.c_str());
        return false;
    }
    const auto* shown_map = reinterpret_cast<const uint16_t*>(dc.GetBuffer());
    const std::vector<uint16_t> map(shown_map, shown_map + static_cast<size_t>(kWidth) * kHeight);
    dc.BeginDraw();
    draw_loading_screen(dc);
    dc.EndDraw();
    dc.FlipBackBuffer(0, 0);
    dc.Flip(3, 0, 0);

    /* Shown, the sandglass turns by itself: the demo only waits. */
    dc.SetSandglass(tagSANDGLASS_STRUCT{kSandglass, kSandglassFrames, kWidth / 2, kHeight / 2});
    HostSetPresentHandler(record_frame);
    dc.ShowSandglass(1);
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (g_recorded_count.load() < kRecordedFrames && std::chrono::steady_clock::now() < give_up)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    HostSetPresentHandler(nullptr);
    dc.ShowSandglass(0);
    CCEBitmap::CloseResource();

    bool ok = g_recorded_count.load() == kRecordedFrames;
    if (!ok)
        std::fprintf(stderr, "navdemo: the overlay thread presented %d frames\n", g_recorded_count.load());
    for (int i = 0; ok && i < kRecordedFrames; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "/loading_%02d.png", i);
        ok = write_frame(out_dir + name, g_recorded[i].data());
    }

    /* Back to the map. */
    dc.BeginDraw();
    std::memcpy(dc.GetBuffer(), map.data(), map.size() * sizeof map[0]);
    dc.EndDraw();
    dc.FlipBackBuffer(0, 0);
    dc.Flip(3, 0, 0);
    return ok;
}

}  // namespace navdemo
