/* span.cpp - horizontal and vertical spans in a colour or from a pattern.
 * End points are inclusive and come in either order; each span is clamped to
 * the screen once and then written through the pitch without tests. */
#include "draw/lines.h"
#include "draw/span_row.h"

namespace kesra {

void hspan(const Canvas& c, int32_t x1, int32_t x2, int32_t y, uint16_t color) {
    if (y < 0 || y >= c.height) return;
    int64_t lo = x1 < x2 ? x1 : x2, hi = x1 < x2 ? x2 : x1;
    if (!clamp_run(lo, hi, c.width)) return;
    store_run(reinterpret_cast<uint8_t*>(c.at(static_cast<int32_t>(lo), y)), c.xpitch, hi - lo + 1, color);
}

void vspan(const Canvas& c, int32_t x, int32_t y1, int32_t y2, uint16_t color) {
    if (x < 0 || x >= c.width) return;
    int64_t lo = y1 < y2 ? y1 : y2, hi = y1 < y2 ? y2 : y1;
    if (!clamp_run(lo, hi, c.height)) return;
    store_run(reinterpret_cast<uint8_t*>(c.at(x, static_cast<int32_t>(lo))), c.ypitch, hi - lo + 1, color);
}

void hspan_pattern(const Canvas& c, int32_t x1, int32_t x2, int32_t y, const Pattern& pattern) {
    if (!pattern.usable() || y < 0 || y >= c.height) return;
    int64_t lo = x1 < x2 ? x1 : x2, hi = x1 < x2 ? x2 : x1;
    if (!clamp_run(lo, hi, c.width)) return;
    store_pattern_run(c, static_cast<int32_t>(lo), static_cast<int32_t>(hi), y, pattern);
}

}  // namespace kesra
