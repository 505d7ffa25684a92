/* bench_screen.h - an 800 x 480 window with a created drawing context, the
 * screen every benchmark draws on, and the map-like areas they fill. */
#ifndef KESRA_BENCH_SCREEN_H
#define KESRA_BENCH_SCREEN_H

#include <cmath>
#include <string>
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

/* A label's UTF-16 text as UTF-8, for the peers that take that (the labels
 * hold no surrogate pairs). */
inline std::string utf8_of(const std::u16string& s) {
    std::string out;
    for (char16_t c : s) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

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
