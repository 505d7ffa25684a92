/* bench_screen.h - an 800 x 480 window with a created drawing context, the
 * screen every benchmark draws on, and the map-like areas they fill. */
#ifndef KESRA_BENCH_SCREEN_H
#define KESRA_BENCH_SCREEN_H

#include <cmath>
#include <vector>

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

/* A wobbling ring of n vertices around (cx, cy), flattened like a map area. */
inline std::vector<POINT> map_area(int n, double cx, double cy, double radius) {
    std::vector<POINT> pts;
    for (int i = 0; i < n; ++i) {
        const double t = 2 * M_PI * i / n;
        const double r = radius * (1.0 + 0.2 * std::sin(5 * t) + 0.07 * std::sin(37 * t));
        pts.push_back(
            {LONG(std::lround(cx + r * std::cos(t))), LONG(std::lround(cy + 0.7 * r * std::sin(t)))});
    }
    return pts;
}

#endif
