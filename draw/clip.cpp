/* clip.cpp - the clip step of the pen line: a bounding-box test and the move
 * of a segment's end points onto the screen border. Divisions truncate toward
 * zero; products are formed in 128 bits so that no coordinate overflows. */
#include "draw/lines.h"

namespace kesra {

namespace {

int32_t clamp_to(int64_t v, int64_t lo, int64_t hi) {
    return static_cast<int32_t>(v < lo ? lo : (v > hi ? hi : v));
}

/* a * b / d truncated toward zero, cut to the 32-bit range. */
int64_t mul_div(int64_t a, int64_t b, int64_t d) {
    const __int128 q = static_cast<__int128>(a) * b / d;
    if (q > INT32_MAX) return INT32_MAX;
    if (q < INT32_MIN) return INT32_MIN;
    return static_cast<int64_t>(q);
}

struct Point64 {
    int64_t x, y;
};

/* The line through a and b (not horizontal, not vertical) where it meets the
 * top row, the bottom row and a given column. */
struct ClipLine {
    Point64 a, b;
    int64_t height;

    Point64 at_top() const { return {a.x + mul_div(b.x - a.x, a.y, a.y - b.y), 0}; }
    Point64 at_bottom() const { return {a.x + mul_div(height - 1 - a.y, a.x - b.x, a.y - b.y), height - 1}; }
    Point64 at_column(int64_t x) const { return {x, a.y + mul_div(x - a.x, a.y - b.y, a.x - b.x)}; }

    /* The column point, replaced by the top or bottom row point when its row
     * lies above or below the screen. */
    Point64 onto_border(int64_t column) const {
        Point64 p = at_column(column);
        if (p.y < 0) p = at_top();
        if (p.y >= height) p = at_bottom();
        return p;
    }
};

}  // namespace

bool segment_box_meets(const Canvas& c, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    const int32_t left = x1 < x2 ? x1 : x2, right = x1 < x2 ? x2 : x1;
    const int32_t top = y1 < y2 ? y1 : y2, bottom = y1 < y2 ? y2 : y1;
    return !(left >= c.width || right < 0 || top >= c.height || bottom < 0);
}

/* The near point is moved along the line through the two original points;
 * the far point along the line from the moved near point to it, so the
 * truncation of the first move carries into the second. When the near point
 * has moved onto the far point's column that line is vertical, and the
 * original line (distinct in x and in y) stands in for it. A level line is
 * kept: the moved near point lies on a screen row, so the far point stays on
 * that row without a row move (a screen without rows takes the original). */
void clip_segment(const Canvas& c, int32_t& x1, int32_t& y1, int32_t& x2, int32_t& y2) {
    const int64_t w = c.width, h = c.height;
    if (x1 == x2) {
        y1 = clamp_to(y1, 0, h - 1);
        y2 = clamp_to(y2, 0, h - 1);
        return;
    }
    if (y1 == y2) {
        x1 = clamp_to(x1, 0, w - 1);
        x2 = clamp_to(x2, 0, w - 1);
        return;
    }
    const bool swapped = x1 > x2;
    const ClipLine line{swapped ? Point64{x2, y2} : Point64{x1, y1},
                        swapped ? Point64{x1, y1} : Point64{x2, y2}, h};
    const auto row_on_screen = [h](int64_t y) { return y >= 0 && y < h; };

    Point64 a = line.a, b = line.b;
    if (!(a.x >= 0 && row_on_screen(a.y))) a = line.onto_border(0);
    if (!(b.x < w && row_on_screen(b.y))) {
        const bool sloped = a.x != line.b.x && (a.y != line.b.y || row_on_screen(a.y));
        b = (sloped ? ClipLine{a, line.b, h} : line).onto_border(w - 1);
    }
    x1 = clamp_to(a.x, INT32_MIN, INT32_MAX);
    y1 = clamp_to(a.y, INT32_MIN, INT32_MAX);
    x2 = clamp_to(b.x, INT32_MIN, INT32_MAX);
    y2 = clamp_to(b.y, INT32_MIN, INT32_MAX);
}

}  // namespace kesra
