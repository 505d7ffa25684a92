/* line_pen.cpp - the pen line: a plus-shaped stamp at every point of an
 * integer Bresenham walk, with a diamond cap at each end. A width of W gives
 * arms of h = W / 2 up and left and e = h - 1 (W even) or h (W odd) down and
 * right. The walk carries the byte offset of its point along with it and
 * starts at the first point whose stamp can reach the screen. */
#include "draw/lines.h"
#include "draw/span_row.h"
#include "draw/walk.h"

namespace kesra {

namespace {

struct Arms {
    int64_t before;  // left of and above the centre
    int64_t after;   // right of and below the centre
};

Arms arms_of(uint32_t width) {
    const int64_t h = width / 2;
    const int64_t e = (width % 2 == 0) ? h - 1 : h;
    return {h, e < 0 ? 0 : e};  // width 0 has no arms either way
}

int64_t offset_of(const Canvas& c, int64_t x, int64_t y) { return x * c.xpitch + y * c.ypitch; }

void store_at(const Canvas& c, int64_t offset, uint16_t color) {
    *reinterpret_cast<uint16_t*>(c.origin + offset) = color;
}

/* The stamp's row and column, each clamped to the screen. */
void stamp_clipped(const Canvas& c, int64_t x, int64_t y, const Arms& arms, uint16_t color) {
    if (y >= 0 && y < c.height) {
        int64_t lo = x - arms.before, hi = x + arms.after;
        if (clamp_run(lo, hi, c.width))
            store_run(c.origin + offset_of(c, lo, y), c.xpitch, hi - lo + 1, color);
    }
    if (x >= 0 && x < c.width) {
        int64_t lo = y - arms.before, hi = y + arms.after;
        if (clamp_run(lo, hi, c.height))
            store_run(c.origin + offset_of(c, x, lo), c.ypitch, hi - lo + 1, color);
    }
}

/* The whole plus lies on the screen: no tests, straight from the offset. */
void stamp_inside(const Canvas& c, int64_t offset, const Arms& arms, uint16_t color) {
    store_at(c, offset, color);
    for (int64_t i = 1; i <= arms.before; ++i) {
        store_at(c, offset - i * c.xpitch, color);
        store_at(c, offset - i * c.ypitch, color);
    }
    for (int64_t i = 1; i <= arms.after; ++i) {
        store_at(c, offset + i * c.xpitch, color);
        store_at(c, offset + i * c.ypitch, color);
    }
}

struct Stamper {
    const Canvas& c;
    Arms arms;
    uint16_t color;

    bool fits(int64_t x, int64_t y) const {
        return x - arms.before >= 0 && y - arms.before >= 0 && x + arms.after < c.width &&
               y + arms.after < c.height;
    }
    void operator()(int64_t x, int64_t y, int64_t offset) const {
        if (fits(x, y))
            stamp_inside(c, offset, arms, color);
        else
            stamp_clipped(c, x, y, arms, color);
    }
};

}  // namespace

void pen_stamp(const Canvas& c, int32_t x, int32_t y, const PenShape& pen) {
    const Stamper stamp{c, arms_of(pen.width), pen.color};
    stamp(x, y, offset_of(c, x, y));
}

/* Rows and columns of the diamond are cut to the screen first, so that even
 * a very wide pen costs at most one screen of tests. */
void pen_cap(const Canvas& c, int32_t x, int32_t y, const PenShape& pen) {
    const int64_t reach = static_cast<int64_t>(pen.width / 2) - 1;
    if (reach < 1) return;
    const int64_t dy_lo = reach < y ? -reach : -static_cast<int64_t>(y);
    const int64_t dy_hi = reach < c.height - 1 - int64_t{y} ? reach : c.height - 1 - int64_t{y};
    for (int64_t dy = dy_lo; dy <= dy_hi; ++dy) {
        const int64_t r = reach - (dy < 0 ? -dy : dy);
        const int64_t dx_lo = r < x ? -r : -static_cast<int64_t>(x);
        const int64_t dx_hi = r < c.width - 1 - int64_t{x} ? r : c.width - 1 - int64_t{x};
        for (int64_t dx = dx_lo; dx <= dx_hi; ++dx) {
            const int64_t step = dx * c.xpitch + dy * c.ypitch;
            if (step > 0) store_at(c, offset_of(c, x, y) + step, pen.color);
        }
    }
}

void pen_line(const Canvas& c, int32_t x1, int32_t y1, int32_t x2, int32_t y2, const PenShape& pen) {
    if (!segment_box_meets(c, x1, y1, x2, y2)) return;
    clip_segment(c, x1, y1, x2, y2);
    pen_cap(c, x1, y1, pen);
    pen_cap(c, x2, y2, pen);

    const Stamper stamp{c, arms_of(pen.width), pen.color};
    const int64_t dx = x2 > x1 ? int64_t{x2} - x1 : int64_t{x1} - x2;
    const int64_t dy = y2 > y1 ? int64_t{y2} - y1 : int64_t{y1} - y2;
    const bool x_major = dx >= dy;
    const MidpointWalk walk{x_major ? int64_t{x1} : int64_t{y1},
                            x_major ? int64_t{y1} : int64_t{x1},
                            x_major ? dx : dy,
                            x_major ? dy : dx,
                            (x_major ? x1 > x2 : y1 > y2) ? -1 : 1,
                            (x_major ? y1 > y2 : x1 > x2) ? -1 : 1};

    /* A stamp reaches the screen only from points within its arms of it. */
    WalkSteps steps;
    const int64_t major_limit = x_major ? c.width : c.height, minor_limit = x_major ? c.height : c.width;
    const Arms& arms = stamp.arms;
    int64_t i = 0, last = walk.major;
    if (!narrow_steps(
            i, last, [&](int64_t k) { return walk.major_at(k) >= -arms.after; }, steps) ||
        !narrow_steps(
            i, last, [&](int64_t k) { return walk.major_at(k) <= major_limit - 1 + arms.before; }, steps) ||
        !narrow_steps(
            i, last, [&](int64_t k) { return walk.minor_at(k) >= -arms.after; }, steps) ||
        !narrow_steps(
            i, last, [&](int64_t k) { return walk.minor_at(k) <= minor_limit - 1 + arms.before; }, steps))
        return;

    const int64_t step_major = walk.s_major * (x_major ? c.xpitch : c.ypitch);
    const int64_t step_minor = walk.s_minor * (x_major ? c.ypitch : c.xpitch);
    int64_t a = walk.major_at(i), b = walk.minor_at(i);
    int64_t offset = x_major ? offset_of(c, a, b) : offset_of(c, b, a);
    int64_t error = walk.error_at(i);
    for (; i <= last; ++i) {
        steps.add();
        if (x_major)
            stamp(a, b, offset);
        else
            stamp(b, a, offset);
        a += walk.s_major;
        offset += step_major;
        if (error > 0) {
            error += 2 * walk.minor - 2 * walk.major;
            b += walk.s_minor;
            offset += step_minor;
        } else {
            error += 2 * walk.minor;
        }
    }
}

}  // namespace kesra
