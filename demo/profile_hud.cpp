/* profile_hud.cpp - navdemo's profiler output: the last presented frame's
 * figures once a second on standard error and, with --hud, the counts of the
 * frame about to be presented as a panel in the top-left corner, drawn with
 * the library's own text (the system font). */
#include "demo/profile_hud.h"

#include <chrono>
#include <cstdio>

namespace navdemo {
namespace {

bool g_hud = false;
std::chrono::steady_clock::time_point g_last_line{};

std::u16string widen(const std::string& s) { return std::u16string(s.begin(), s.end()); }

/* The frame about to be presented: its counts so far, and the times of the
 * last one (this one's are known only once it is presented). */
KesraFrameStats about_to_present() {
    KesraFrameStats last{}, f{};
    KesraProfileLastFrame(&last);
    KesraProfileCurrentFrame(&f);
    f.frame = last.frame + 1;
    f.draw_us = last.draw_us;
    f.flip_us = last.flip_us;
    return f;
}

void print_once_a_second() {
    const auto now = std::chrono::steady_clock::now();
    KesraFrameStats f{};
    if (now - g_last_line < std::chrono::seconds(1) || !KesraProfileLastFrame(&f)) return;
    g_last_line = now;
    std::fprintf(stderr, "navdemo: %s\n", profile_line(f).c_str());
}

void draw_panel(CCEDraw& dc, const KesraFrameStats& f) {
    char rows[4][96];
    std::snprintf(rows[0], sizeof rows[0], "frame %u  (last: draw %.1f ms  flip %.1f ms)", f.frame,
                  f.draw_us / 1000.0, f.flip_us / 1000.0);
    std::snprintf(rows[1], sizeof rows[1], "lines %u  polygons %u  roads %u  fills %u", f.lines, f.polygons,
                  f.roads, f.fills);
    std::snprintf(rows[2], sizeof rows[2], "text %u  bitmaps %u  transitions %u", f.text_runs, f.bitmaps,
                  f.transitions);
    std::snprintf(rows[3], sizeof rows[3], "glyphs %u/%u  images %u/%u  allocs %u", f.glyph_hits,
                  f.glyph_hits + f.glyph_misses, f.image_hits, f.image_hits + f.image_misses, f.allocations);
    constexpr LONG kLeft = 4, kTop = 4, kRow = 19, kWidth = 330;
    dc.FillRect(kLeft, kTop, kLeft + kWidth, kTop + 4 * kRow + 6, 0x0000, 0.6f);
    const int previous_font = dc.GetSysFont();
    const unsigned short previous_colour = dc.SetTextColor(0xFFE0);  // yellow
    dc.UseSysFont(1);
    for (int i = 0; i < 4; ++i) {
        const std::u16string row = widen(rows[i]);
        const LONG top = kTop + 3 + i * kRow;
        dc.DrawTextW(row.c_str(), static_cast<int>(row.size()),
                     RECT{kLeft + 4, top, kLeft + kWidth, top + kRow}, 0);
    }
    dc.UseSysFont(previous_font);
    dc.SetTextColor(previous_colour);
}

}  // namespace

void set_profile_hud(bool shown) {
    g_hud = shown;
    if (shown && !KesraProfileEnabled()) KesraProfileSetEnabled(1);
}

void profile_frame(CCEDraw& dc) {
    if (!KesraProfileEnabled()) return;
    print_once_a_second();
    if (g_hud) draw_panel(dc, about_to_present());
}

std::string profile_line(const KesraFrameStats& f) {
    char line[256];
    std::snprintf(
        line, sizeof line,
        "frame %u draw %u us flip %u us | lines %u polygons %u roads %u text %u bitmaps %u fills %u "
        "transitions %u | glyph hits %u misses %u | image hits %u misses %u | allocations %u",
        f.frame, f.draw_us, f.flip_us, f.lines, f.polygons, f.roads, f.text_runs, f.bitmaps, f.fills,
        f.transitions, f.glyph_hits, f.glyph_misses, f.image_hits, f.image_misses, f.allocations);
    return line;
}

}  // namespace navdemo
