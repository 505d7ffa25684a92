/* soak.cpp - kesra-soak: the navigation screen drawn frame after frame for a
 * long run (--frames N, default 10,000), with transitions, animation frames,
 * text in both font engines, temporary bitmaps and screen dumps on the way.
 * Resident memory and the heap in use are sampled every 100 frames; the run
 * fails when either grows past the first hundred frames' level by more than a
 * small allowance. Built with the sanitizers, LeakSanitizer reports any leak
 * when the program ends. */
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "demo/scenes.h"
#include "kesra.h"

using namespace navdemo;

/* Every sanitizer runtime offers this; GCC ships no header that declares it. */
extern "C" size_t __sanitizer_get_current_allocated_bytes(void);

namespace {

constexpr int kSampleEvery = 100;

/* Resident set size in KiB, from /proc/self/status; 0 when unreadable. */
long resident_kib() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, 6, "VmRSS:") == 0) return std::atol(line.c_str() + 6);
    return 0;
}

/* Bytes the program holds on the heap, in KiB, from the sanitizer's
 * allocator (every build of this program links one): unlike the resident
 * size it does not move with the allocator's own pages, so a container that
 * keeps growing shows here even when the pages hide it. */
long heap_in_use_kib() { return static_cast<long>(__sanitizer_get_current_allocated_bytes() / 1024); }

/* The map screen in a view that pans and zooms as the frames go by, so
 * that every layer is redrawn at ever new places. */
void draw_map(CCEDraw& dc, const Assets& assets, int frame) {
    MapView view;
    view.x = (frame % 120) - 60;
    view.y = ((frame / 3) % 80) - 40;
    view.scale = 0.75 + (frame % 9) * 0.125;
    dc.BeginDraw();
    draw_map_screen(dc, assets, view);  // both font engines, temporary bitmaps from the pack
    dc.EndDraw();
}

/* A bitmap of its own (not the pool's) loaded, drawn and dropped. */
void draw_loaded_bitmap(CCEDraw& dc, const Assets& assets, int frame) {
    const std::string path = assets.dir + "/icons.pack";
    const std::u16string wide(path.begin(), path.end());
    if (!CCEBitmap::OpenResource(wide.c_str())) return;
    CCEBitmap bitmap;
    if (bitmap.LoadBitmapW(300 + frame % 5, 24 + frame % 17, 24)) dc.DrawBitmap(&bitmap, 320, 64, 0, 0, 0, 0);
    CCEBitmap::CloseResource();
}

void transition(CCEDraw& map, CCEDraw& menu, int round) {
    static const DWORD kEffects[] = {RF_OUT | RF_FADE, RF_IN | RF_SLIDE_LEFT, RF_OUT | RF_TURN,
                                     RF_OUT | RF_ZOOMFRAME, RF_OUT | RF_SPLIT_V};
    menu.Clear(rgb565(34, 44, 64));
    menu.FillRect(40, 96, 389, 167, rgb565(70, 86, 118));
    map.FlipBackBuffer(0, 0);
    const DWORD effect = kEffects[round % (sizeof kEffects / sizeof kEffects[0])];
    menu.RenderFlip(tagRENDERFLIP_STRUCT{effect, {0, 0, kWidth, kHeight}, 300});
}

void animation_frames(CCEDraw& dc, const Assets& assets, int round) {
    const std::string path = assets.dir + "/badge.ani";
    const std::u16string wide(path.begin(), path.end());
    if (!CAniCtrl::OpenFile(reinterpret_cast<const WCHAR*>(wide.c_str()))) return;
    CAniCtrl ani;
    const int frames = ani.GetFrameNum(300);
    tagANICTRL show{};
    show.nAniID = 300;
    show.pDraw = &dc;
    show.nX = 704;
    show.nY = 160;
    show.bCenter = 1;
    show.bReverse = round % 2;
    show.nFrom = 0;
    show.nTo = frames > 0 ? frames - 1 : 0;
    if (round % 3 == 0) show.nDstWidth = show.nDstHeight = 40;
    ani.ShowFrame(show, 1);
    CAniCtrl::CloseFile();
}

struct Options {
    int frames = 10000;
    long allowance_kib = 4096;
};

bool parse(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--frames") && i + 1 < argc)
            options->frames = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--allowance-kib") && i + 1 < argc)
            options->allowance_kib = std::atol(argv[++i]);
        else
            return false;
    }
    return options->frames >= 2 * kSampleEvery;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, &options)) {
        std::fprintf(stderr, "usage: kesra-soak [--frames N (200 or more)] [--allowance-kib K]\n");
        return 2;
    }
    HostSetSoundHandler([](const uint8_t*, size_t) {});  // the chimes go nowhere
    HWND window = HostCreateWindow(kWidth, kHeight);
    CCEDraw dc, menu;
    if (!window || !dc.Create(kWidth, kHeight, 0, 0, window, 0) ||
        !menu.Create(kWidth, kHeight, 0, 0, nullptr, 0)) {
        std::fprintf(stderr, "kesra-soak: cannot set up the %d x %d screen\n", kWidth, kHeight);
        return 1;
    }
    const Assets assets{KESRA_DEMO_ASSETS};
    std::error_code ignored;  // DumpBuffer writes into "bmp" beside the program
    std::filesystem::create_directories(
        std::filesystem::read_symlink("/proc/self/exe", ignored).parent_path() / "bmp", ignored);
    int dumps = 0;
    const auto start = std::chrono::steady_clock::now();
    long baseline = 0, highest = 0, heap_baseline = 0, heap_highest = 0;
    bool grew = false;
    for (int frame = 1; frame <= options.frames; ++frame) {
        draw_map(dc, assets, frame);
        draw_loaded_bitmap(dc, assets, frame);
        dc.FlipBackBuffer(0, 0);
        dc.Flip(3, 0, 0);
        if (frame % 50 == 25) transition(dc, menu, frame / 50);
        if (frame % 20 == 10) animation_frames(dc, assets, frame / 20);
        if (frame % kSampleEvery != 0) continue;
        dumps += dc.DumpBuffer();
        const long rss = resident_kib(), heap = heap_in_use_kib();
        if (frame == kSampleEvery) baseline = rss, heap_baseline = heap;
        if (rss > highest) highest = rss;
        if (heap > heap_highest) heap_highest = heap;
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("frame %6d  rss %8ld KiB  (%+ld)  heap %7ld KiB  (%+ld)  %.0f s\n", frame, rss,
                    rss - baseline, heap, heap - heap_baseline, seconds);
        std::fflush(stdout);
        if (rss > baseline + options.allowance_kib || heap > heap_baseline + options.allowance_kib)
            grew = true;
    }
    menu.Release();
    dc.Release();
    HostDestroyWindow(window);
    std::printf(
        "kesra-soak: %d frames, %d screen dumps; after the first %d: rss %ld KiB, heap %ld KiB; "
        "highest: rss %ld KiB, heap %ld KiB\n",
        options.frames, dumps, kSampleEvery, baseline, heap_baseline, highest, heap_highest);
    if (dumps == 0) {
        std::fprintf(stderr, "kesra-soak: no screen dump was written\n");
        return 1;
    }
    if (grew) {
        std::fprintf(stderr, "kesra-soak: memory grew by more than %ld KiB after frame %d\n",
                     options.allowance_kib, kSampleEvery);
        return 1;
    }
    return 0;
}
