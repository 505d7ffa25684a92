/* bench_screen.h - an 800 x 480 window with a created drawing context, the
 * screen every benchmark draws on. */
#ifndef KESRA_BENCH_SCREEN_H
#define KESRA_BENCH_SCREEN_H

#include "kesra.h"

struct BenchScreen {
    BenchScreen() : window(HostCreateWindow(800, 480)) { dc.Create(800, 480, 0, 0, window, 0); }
    ~BenchScreen() {
        dc.Release();
        HostDestroyWindow(window);
    }
    HWND window;
    CCEDraw dc;
};

#endif
