/* capsule.cpp - the capsule renderer: polygon from the degree tables, column
 * fill from two chains of integer walks, 32-level outline by octant routines.
 * The walks may start part-way along an edge: after k steps of a walk with
 * extents (major, minor) the error is k * minor mod major and the minor axis
 * has moved floor(k * minor / major), so skipping what cannot be seen gives
 * the same pixels as walking from the start; a y-major fill edge finds the
 * row of each column step directly. A capsule seen whole (every pixel its
 * walks touch inside the clip box and the screen) is walked without clip
 * tests, its fill walks writing the block fill's rows directly. */
#include "draw/capsule.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "core/pixel.h"
#include "core/pixel_runs.h"
#include "draw/lines.h"
#include "draw/trig_tables.h"
#include "draw/walk.h"

namespace kesra {

namespace {

/* All ones when v is negative, else 0 (an arithmetic shift in GCC and clang). */
constexpr int64_t sign_mask(int64_t v) { return v >> 63; }

/* trunc(v) kept within the coordinate limit (also for NaN-free huge values). */
int32_t truncate_coordinate(double v) {
    if (v > kCapsuleCoordLimit) return kCapsuleCoordLimit;
    if (v < -kCapsuleCoordLimit) return -kCapsuleCoordLimit;
    return static_cast<int32_t>(v);
}

/* Steps k in [0, count] whose coordinate start + dir * k lies in [lo, hi];
 * false when there are none. */
bool steps_within(int64_t start, int dir, int64_t count, int64_t lo, int64_t hi, int64_t& first,
                  int64_t& last) {
    if (dir > 0) {
        first = std::max<int64_t>(0, lo - start);
        last = std::min<int64_t>(count, hi - start);
    } else {
        first = std::max<int64_t>(0, start - hi);
        last = std::min<int64_t>(count, start - lo);
    }
    return first <= last;
}

/* What each chain writes into its column table, per octant: x-major edges
 * write every column with row y + bias; y-major edges write their start
 * column with the start row and each column they step into with y + bias
 * (y being the row of that iteration before it steps). */
struct ColumnRule {
    bool writes;
    int8_t bias;
};

constexpr ColumnRule kColumnRules[8][2] = {
    /* first chain     last chain */
    {{true, 1}, {true, 0}},    // 0
    {{true, 0}, {true, -1}},   // 1
    {{false, 0}, {true, 0}},   // 2
    {{false, 0}, {true, -1}},  // 3
    {{true, 1}, {true, 1}},    // 4
    {{false, 0}, {true, 0}},   // 5
    {{true, 0}, {true, -1}},   // 6
    {{false, 0}, {true, -1}},  // 7
};

void blend_clipped(const CapsuleRenderer::Target& t, int64_t x, int64_t y, int32_t alpha) {
    if (alpha == 0) return;  // level 0 leaves the pixel as it is
    x += t.offX;
    y += t.offY;
    if (!t.clip.contains(x, y) || x < 0 || y < 0 || x >= t.canvas.width || y >= t.canvas.height) return;
    uint16_t* p = t.canvas.at(static_cast<int32_t>(x), static_cast<int32_t>(y));
    *p = blend565(*p, t.edgeColor, alpha);
}

/* The walks of edges whose extents are below kShortWalk divide by the extent
 * d through a product with short_reciprocal(d) = (2^38 + r) / d, 0 <= r < d:
 * n * reciprocal / 2^38 exceeds n / d by n * r / (d * 2^38), less than 1 / d
 * for n < 2^24, so it never reaches the next whole number and
 * n * reciprocal >> 38 is floor(n / d). The fill walks' numerators stay below
 * 2^24 (an extent times another, plus one). The reciprocals of the short
 * extents map edges have come from a table, not a division per edge. */
constexpr int32_t kShortWalk = 1 << 12;
constexpr int kShortShift = 38;
constexpr int kTabledExtents = 512;

constexpr uint64_t divided_reciprocal(int64_t d) {
    return ((uint64_t{1} << kShortShift) + static_cast<uint64_t>(d) - 1) / static_cast<uint64_t>(d);
}

struct ReciprocalTable {
    uint64_t of[kTabledExtents];
};

constexpr ReciprocalTable tabled_reciprocals() {
    ReciprocalTable table{};
    for (int d = 1; d < kTabledExtents; ++d) table.of[d] = divided_reciprocal(d);
    return table;
}

constexpr ReciprocalTable kReciprocals = tabled_reciprocals();

/* d >= 1. */
inline uint64_t short_reciprocal(int64_t d) {
    return d < kTabledExtents ? kReciprocals.of[d] : divided_reciprocal(d);
}

/* One outline step's two blends: the line's pixel p at 32 - level and its far
 * neighbour q at level, in the edge colour spread as spread565 does. Each
 * field is formed as (d * (32 - l) + s * l) / 32, which is blend565's
 * d + floor((s - d) * l / 32) without a signed shift; the products fit their
 * fields' room in the spread form, and the colour's two products add to 32
 * times the colour, so one product serves both pixels. */
inline void blend_step(uint16_t* p, uint16_t* q, uint32_t color_spread, uint32_t level) {
    const uint32_t d_near = *p, d_far = *q;
    const uint32_t far_share = color_spread * level, near_share = color_spread * 32 - far_share;
    *p = unspread565(((spread565(static_cast<uint16_t>(d_near)) * level + near_share) >> 5) & kSpreadMask);
    *q = unspread565(((spread565(static_cast<uint16_t>(d_far)) * (32 - level) + far_share) >> 5) &
                     kSpreadMask);
}

/* The octant routine: the major axis is walked pixel by pixel from the start
 * to the end point (major + 1 pixels); the pixel on the line gets 32 - a and
 * its neighbour one step further along the minor axis gets a, with
 * a = e * 32 / major. Only steps whose major coordinate can be seen are
 * walked. This plain form divides at every step. */
template <int Octant>
void outline_octant_plain(const CapsuleRenderer::Target& t, const CapsuleRenderer::Edge& edge) {
    constexpr bool x_major = Octant < 4;
    constexpr int sx = (Octant == 2 || Octant == 3 || Octant == 5 || Octant == 7) ? -1 : 1;
    constexpr int sy = (Octant == 1 || Octant == 3 || Octant == 6 || Octant == 7) ? -1 : 1;
    const int64_t major = x_major ? edge.adx : edge.ady;
    const int64_t minor = x_major ? edge.ady : edge.adx;
    const int64_t lo =
        x_major ? int64_t{std::max(t.clip.left, 0)} - t.offX : int64_t{std::max(t.clip.top, 0)} - t.offY;
    const int64_t hi = x_major ? int64_t{std::min(t.clip.right, t.canvas.width - 1)} - t.offX
                               : int64_t{std::min(t.clip.bottom, t.canvas.height - 1)} - t.offY;
    int64_t k, k_last;
    if (!steps_within(x_major ? edge.x0 : edge.y0, x_major ? sx : sy, major, lo, hi, k, k_last)) return;
    int64_t e = (k * minor) % major;
    int64_t moved = (k * minor) / major;
    WalkSteps steps;
    steps.add(static_cast<uint64_t>(k_last - k + 1));
    for (; k <= k_last; ++k) {
        const int32_t a = static_cast<int32_t>((e * 32) / major);
        if (x_major) {
            const int64_t x = edge.x0 + sx * k, y = edge.y0 + sy * moved;
            blend_clipped(t, x, y, 32 - a);
            blend_clipped(t, x, y + sy, a);
        } else {
            const int64_t x = edge.x0 + sx * moved, y = edge.y0 + sy * k;
            blend_clipped(t, x, y, 32 - a);
            blend_clipped(t, x + sx, y, a);
        }
        e += minor;
        if (e >= major) {
            e -= major;
            ++moved;
        }
    }
}

/* The steps of an edge whose every pixel (the line's and its far neighbour,
 * one further along the minor axis) can be seen, from the line's pixel
 * `near` with the error err (0 <= err < major) on: no clip tests. Each step
 * moves major_bytes, and far_off more when the error wraps; the far
 * neighbour lies far_off from the line's pixel. The extents are below 2^16.
 * The level err * 32 / major comes from a product with the rounded-up
 * reciprocal ceil(2^38 / major): the product exceeds err * 32 / major * 2^33
 * by less than err < 2^16, too little to reach the next whole level, which
 * lies at least 2^33 / major > 2^17 above when it is not reached exactly. */
void walk_outline_seen(uint8_t* near, intptr_t major_bytes, intptr_t far_off, int32_t major, int32_t minor,
                       int32_t err, int64_t steps, uint16_t color) {
    const uint64_t reciprocal = short_reciprocal(major);
    const uint32_t color_spread = spread565(color);
    for (int64_t step = 0; step < steps; ++step) {
        const uint32_t level =
            static_cast<uint32_t>((static_cast<uint64_t>(err) * reciprocal) >> (kShortShift - 5));
        blend_step(reinterpret_cast<uint16_t*>(near), reinterpret_cast<uint16_t*>(near + far_off),
                   color_spread, level);
        const int32_t err_wrap = err + (minor - major);
        const int32_t err_stays = err_wrap >> 31;
        err = err_wrap + (major & err_stays);
        near += major_bytes + (far_off & ~intptr_t{err_stays});
    }
}

/* The same walk without a division per step: a = e * 32 / major is carried
 * with its remainder, gaining 32 * minor / major (and a carry) per step and
 * losing 32 when e wraps. The major coordinate of every walked step can be
 * seen, so only the minor one is tested. */
template <int Octant>
void outline_octant(const CapsuleRenderer::Target& t, const CapsuleRenderer::Edge& edge) {
    constexpr bool x_major = Octant < 4;
    constexpr int sx = (Octant == 2 || Octant == 3 || Octant == 5 || Octant == 7) ? -1 : 1;
    constexpr int sy = (Octant == 1 || Octant == 3 || Octant == 6 || Octant == 7) ? -1 : 1;
    constexpr int s_major = x_major ? sx : sy, s_minor = x_major ? sy : sx;
    const int64_t major = x_major ? edge.adx : edge.ady;
    const int64_t minor = x_major ? edge.ady : edge.adx;
    const int64_t lo =
        x_major ? int64_t{std::max(t.clip.left, 0)} - t.offX : int64_t{std::max(t.clip.top, 0)} - t.offY;
    const int64_t hi = x_major ? int64_t{std::min(t.clip.right, t.canvas.width - 1)} - t.offX
                               : int64_t{std::min(t.clip.bottom, t.canvas.height - 1)} - t.offY;
    // The minor coordinates that can be seen, in the edge's own coordinates.
    const int64_t minor_lo =
        x_major ? int64_t{std::max(t.clip.top, 0)} - t.offY : int64_t{std::max(t.clip.left, 0)} - t.offX;
    const int64_t minor_hi = x_major ? int64_t{std::min(t.clip.bottom, t.canvas.height - 1)} - t.offY
                                     : int64_t{std::min(t.clip.right, t.canvas.width - 1)} - t.offX;
    const int64_t major0 = x_major ? edge.x0 : edge.y0, minor0 = x_major ? edge.y0 : edge.x0;
    int64_t k, k_last;
    if (!steps_within(major0, s_major, major, lo, hi, k, k_last)) return;
    // A walk from its first step (the usual case) starts with everything 0:
    // no division for it.
    int64_t e = 0, at = minor0, a = 0, a_rest = 0;  // at: the minor coordinate of the line's pixel
    if (k > 0) {
        e = (k * minor) % major;
        at += s_minor * ((k * minor) / major);
        a = (e * 32) / major;
        a_rest = (e * 32) % major;
    }
    const int64_t a_gain = (32 * minor) / major, a_rest_gain = (32 * minor) % major;
    WalkSteps steps;
    steps.add(static_cast<uint64_t>(k_last - k + 1));
    const int64_t major_off = x_major ? t.offX : t.offY, minor_off = x_major ? t.offY : t.offX;
    const intptr_t major_step = x_major ? Canvas::xpitch : t.canvas.ypitch;
    const intptr_t minor_step = x_major ? t.canvas.ypitch : Canvas::xpitch;
    uint8_t* const first = t.canvas.origin + (major0 + s_major * k + major_off) * major_step;
    const uint16_t color = t.edgeColor;
    // When every pixel the steps can touch (the line's and its far neighbour)
    // lies inside the clip box and the screen, the steps run without tests; a
    // blend at level 0 gives back the pixel, so the far pixel is blended even
    // then.
    // The line's minor coordinate moves monotonically from at to at most the
    // end point's.
    const int64_t minor_end = minor0 + s_minor * minor;
    const int64_t reach_lo = std::min(at, minor_end) - 1, reach_hi = std::max(at, minor_end) + 1;
    const bool all_seen = reach_lo >= minor_lo && reach_hi <= minor_hi;
    // Both remainders wrap by arithmetic on a sign, not by a branch: slopes
    // make the carries irregular, so a branch would often be mispredicted.
    int64_t err = e, level = a, rest = a_rest;
    auto advance = [&]() {
        const int64_t rest_wrap = rest + (a_rest_gain - major);
        const int64_t rest_stays = sign_mask(rest_wrap);
        rest = rest_wrap + (major & rest_stays);
        const int64_t err_wrap = err + (minor - major);
        const int64_t err_stays = sign_mask(err_wrap);
        err = err_wrap + (major & err_stays);
        level += a_gain + 1 + rest_stays - (32 & ~err_stays);
        return ~err_stays;  // all ones when the line's pixel moves along the minor axis
    };
    if (!all_seen) {
        uint8_t* base = first;
        for (int64_t step = k, near = at; step <= k_last; ++step, base += s_major * major_step) {
            const int64_t far = near + s_minor;
            if (near >= minor_lo && near <= minor_hi) {
                uint16_t* p = reinterpret_cast<uint16_t*>(base + (near + minor_off) * minor_step);
                *p = blend565(*p, color, static_cast<int32_t>(32 - level));
            }
            if (level != 0 && far >= minor_lo && far <= minor_hi) {
                uint16_t* p = reinterpret_cast<uint16_t*>(base + (far + minor_off) * minor_step);
                *p = blend565(*p, color, static_cast<int32_t>(level));
            }
            near += s_minor & advance();
        }
        return;
    }
    // Wholly seen: the line's pixel is carried as an address, moving one
    // major step per step and one minor step more when the error wraps, and
    // its far neighbour lies a fixed distance from it.
    uint8_t* near = first + (at + minor_off) * minor_step;
    if (major < (int64_t{1} << 16)) {
        walk_outline_seen(near, s_major * major_step, s_minor * minor_step, static_cast<int32_t>(major),
                          static_cast<int32_t>(minor), static_cast<int32_t>(e), k_last - k + 1, color);
        return;
    }
    const intptr_t far_off = s_minor * minor_step, major_bytes = s_major * major_step;
    const uint32_t color_spread = spread565(color);
    for (int64_t step = k; step <= k_last; ++step) {
        blend_step(reinterpret_cast<uint16_t*>(near), reinterpret_cast<uint16_t*>(near + far_off),
                   color_spread, static_cast<uint32_t>(level));
        near += major_bytes + (far_off & advance());
    }
}

constexpr CapsuleRenderer::OctantRoutine kOctantRoutines[8] = {
    outline_octant<0>, outline_octant<1>, outline_octant<2>, outline_octant<3>,
    outline_octant<4>, outline_octant<5>, outline_octant<6>, outline_octant<7>,
};

constexpr CapsuleRenderer::OctantRoutine kPlainOctantRoutines[8] = {
    outline_octant_plain<0>, outline_octant_plain<1>, outline_octant_plain<2>, outline_octant_plain<3>,
    outline_octant_plain<4>, outline_octant_plain<5>, outline_octant_plain<6>, outline_octant_plain<7>,
};

}  // namespace

int edge_octant(int32_t sdx, int32_t sdy) {
    const int64_t adx = std::abs(int64_t{sdx}), ady = std::abs(int64_t{sdy});
    if (adx >= ady) return sdx >= 0 ? (sdy >= 0 ? 0 : 1) : (sdy >= 0 ? 2 : 3);
    return sdy >= 0 ? (sdx >= 0 ? 4 : 5) : (sdx >= 0 ? 6 : 7);
}

int direction_index_plain(int64_t dx, int64_t dy) {
    const double angle = std::atan2(static_cast<double>(dy), static_cast<double>(dx));
    return static_cast<int>(angle * 57.29578 + 360.0) + 90;
}

namespace {

/* The direction indices of the short segments map roads are made of, worked
 * out once by direction_index_plain; stored less kFirstDirection. */
constexpr int kTabledDirection = 64;  // |dx| and |dy| below this
constexpr int kFirstDirection = 359;

struct DirectionTable {
    uint8_t of[kTabledDirection][2 * kTabledDirection - 1];  // [dx][dy + kTabledDirection - 1]

    DirectionTable() {
        for (int dx = 0; dx < kTabledDirection; ++dx)
            for (int dy = 1 - kTabledDirection; dy < kTabledDirection; ++dy)
                of[dx][dy + kTabledDirection - 1] =
                    static_cast<uint8_t>(direction_index_plain(dx, dy) - kFirstDirection);
    }
};

}  // namespace

int direction_index(int64_t dx, int64_t dy) {
    if (dx >= 0 && dx < kTabledDirection && dy > -kTabledDirection && dy < kTabledDirection) {
        static const DirectionTable table;
        return table.of[dx][dy + kTabledDirection - 1] + kFirstDirection;
    }
    return direction_index_plain(dx, dy);
}

CapsulePolygon capsule_polygon(POINT a, POINT b, int radius) {
    if (a.x > b.x) std::swap(a, b);
    const double w = radius < 0 ? 0.0 : radius;
    // The last point used is 360 degrees past theta, inside the tables' three turns.
    const int theta = direction_index(int64_t{b.x} - a.x, int64_t{b.y} - a.y);

    POINT p[12];
    for (int k = 0; k < 6; ++k) {
        const int i = theta + 36 * k, j = theta + 180 + 36 * k;
        p[k] =
            POINT{truncate_coordinate(table_cos(i) * w + a.x), truncate_coordinate(table_sin(i) * w + a.y)};
        p[6 + k] =
            POINT{truncate_coordinate(table_cos(j) * w + b.x), truncate_coordinate(table_sin(j) * w + b.y)};
    }
    int start = 0;
    for (int k = 1; k < 6; ++k)
        if (p[k].x < p[start].x) start = k;

    CapsulePolygon out;
    for (int i = 0; i < 12; ++i) out[i] = p[(start + i) % 12];
    out[12] = out[0];
    return out;
}

CapsuleRenderer::CapsuleRenderer(const Canvas& canvas, const ClipBox& clip, int32_t offX, int32_t offY,
                                 uint16_t edgeColor)
    : target_{canvas, clip, offX, offY, edgeColor}, edge_{-1, 0, 0, 0, 0, 0, 0, 0, 0} {}

void CapsuleRenderer::draw_segment(POINT a, POINT b, int radius, uint16_t fillColor) {
    const CapsulePolygon poly = capsule_polygon(a, b, radius);
    fill(poly, fillColor);
    outline(poly);
}

bool CapsuleRenderer::set_up_edge(POINT from, POINT to) {
    edge_.x0 = from.x;
    edge_.y0 = from.y;
    edge_.x1 = to.x;
    edge_.y1 = to.y;
    edge_.sdx = to.x - from.x;
    edge_.sdy = to.y - from.y;
    edge_.adx = edge_.sdx < 0 ? -edge_.sdx : edge_.sdx;
    edge_.ady = edge_.sdy < 0 ? -edge_.sdy : edge_.sdy;
    if (edge_.adx == 0 && edge_.ady == 0) {
        edge_.octant = -1;
        return false;
    }
    edge_.octant = edge_octant(edge_.sdx, edge_.sdy);
    return true;
}

/* Writes the current edge's rows into the chain's table for the columns of
 * the window [window_start, window_start + kCapsuleColumns). */
template <class Row>
void CapsuleRenderer::walk_fill_edge(int chain, int32_t window_start, bool plain, Row* table, int32_t shift) {
    const Edge e = edge_;  // a copy: the table's stores cannot alias it
    const ColumnRule rule = kColumnRules[e.octant][chain];
    if (!rule.writes) return;
    const int64_t lo = window_start, hi = int64_t{window_start} + kCapsuleColumns - 1;
    const int sx = e.sdx >= 0 ? 1 : -1, sy = e.sdy >= 0 ? 1 : -1;

    if (e.octant < 4) {  // x-major: every column of the edge
        int64_t k, k_last;
        if (!steps_within(e.x0, sx, e.adx, lo, hi, k, k_last)) return;
        int64_t err = 0, y = e.y0 + rule.bias;  // a walk from its first column divides nothing
        if (k > 0) {
            err = (k * e.ady) % e.adx;
            y += sy * ((k * e.ady) / e.adx);
        }
        WalkSteps steps;
        steps.add(static_cast<uint64_t>(k_last - k + 1));
        Row* column = table + (e.x0 + sx * k - lo);
        if (plain) {
            for (; k <= k_last; ++k, column += sx) {
                *column = static_cast<Row>(y + shift);
                err += e.ady;
                if (err >= e.adx) {
                    err -= e.adx;
                    y += sy;
                }
            }
            return;
        }
        if (e.adx < kShortWalk) {
            // The row moves floor((err + i * ady) / adx) times in i columns (one
            // wrap at most per column, as ady <= adx): each column's row comes
            // from a product, so no column waits for the one before it.
            const uint64_t reciprocal = short_reciprocal(e.adx);
            const int64_t y0 = y + shift;
            uint64_t reached = static_cast<uint64_t>(err);
            for (; k <= k_last; ++k, column += sx, reached += static_cast<uint64_t>(e.ady))
                *column =
                    static_cast<Row>(y0 + sy * static_cast<int64_t>((reached * reciprocal) >> kShortShift));
            return;
        }
        // The error wraps by arithmetic on the sign of err + ady - adx, not by
        // a branch: slopes make the wraps irregular.
        const int64_t wrapped_gain = int64_t{e.ady} - e.adx;
        for (; k <= k_last; ++k, column += sx) {
            *column = static_cast<Row>(y + shift);
            const int64_t wrap = err + wrapped_gain;
            const int64_t stays = sign_mask(wrap);
            err = wrap + (e.adx & stays);
            y += sy & ~stays;
        }
        return;
    }

    // y-major: the start column, then each column the walk steps into.
    if (e.x0 >= lo && e.x0 <= hi) table[e.x0 - lo] = static_cast<Row>(e.y0 + shift);
    int64_t j, j_last;  // column steps 1 ... adx that land in the window
    if (e.adx == 0 || !steps_within(e.x0, sx, e.adx, lo, hi, j, j_last)) return;
    j = std::max<int64_t>(j, 1);
    if (j > j_last) return;
    // Step j happens in the first row iteration k with (k + 1) * adx >= j * ady,
    // each iteration stepping at most once: the row is found, not walked.
    WalkSteps steps;
    steps.add(static_cast<uint64_t>(j_last - j + 1));
    if (plain) {
        for (; j <= j_last; ++j) {
            const int64_t k = (j * e.ady + e.adx - 1) / e.adx - 1;
            table[e.x0 + sx * j - lo] = static_cast<Row>(e.y0 + sy * k + rule.bias + shift);
        }
        return;
    }
    Row* column = table + (e.x0 + sx * j - lo);
    if (e.ady < kShortWalk) {
        // k + 1 = ceil(j * ady / adx) from a product for each column.
        const uint64_t reciprocal = short_reciprocal(e.adx);
        const int64_t row0 = e.y0 - sy + rule.bias + shift;
        uint64_t reached = static_cast<uint64_t>(j * e.ady + e.adx - 1);
        for (; j <= j_last; ++j, column += sx, reached += static_cast<uint64_t>(e.ady))
            *column =
                static_cast<Row>(row0 + sy * static_cast<int64_t>((reached * reciprocal) >> kShortShift));
        return;
    }
    // k + 1 = ceil(j * ady / adx), carried from column to column with its
    // remainder: it gains ady / adx (and a carry) per column.
    const int64_t numerator = j * e.ady + e.adx - 1;
    int64_t rows = numerator / e.adx, rest = numerator % e.adx;
    const int64_t gain = e.ady / e.adx, rest_gain = e.ady % e.adx;
    for (; j <= j_last; ++j, column += sx) {
        *column = static_cast<Row>(e.y0 + sy * (rows - 1) + rule.bias + shift);
        const int64_t wrap = rest + (rest_gain - e.adx);
        const int64_t stays = sign_mask(wrap);
        rest = wrap + (e.adx & stays);
        rows += gain + 1 + stays;
    }
}

void CapsuleRenderer::fill_window(const CapsulePolygon& poly, int32_t window_start, int32_t window_end,
                                  uint16_t color, bool plain) {
    const int32_t columns = window_end - window_start + 1;
    const Target& t = target_;
    const int64_t row_lo = std::max(t.clip.top, 0), row_hi = std::min(t.clip.bottom, t.canvas.height - 1);
    const int64_t x0 = int64_t{window_start} + t.offX;
    const bool short_rows = t.canvas.height <= INT16_MAX;  // rows fit the block fill's 16-bit lanes
    if (!plain && short_rows && rows_seen_whole(poly, row_lo, row_hi)) {
        // Every row the walks write lies inside the clip rows and the screen:
        // they write the block fill's rows directly, moved by the offset. An
        // unwritten column keeps the empty span 0 .. -1, moved and cut.
        std::fill(top_rows_, top_rows_ + columns, static_cast<int16_t>(std::max<int64_t>(t.offY, row_lo)));
        std::fill(bottom_rows_, bottom_rows_ + columns,
                  static_cast<int16_t>(std::min<int64_t>(int64_t{t.offY} - 1, row_hi)));
        for (int i = 0; i < 12; ++i)
            if (set_up_edge(poly[i], poly[i + 1]))
                walk_fill_edge(i < 6 ? 0 : 1, window_start, false, i < 6 ? top_rows_ : bottom_rows_, t.offY);
        fill_column_spans(t.canvas, static_cast<int32_t>(x0), top_rows_, bottom_rows_,
                          static_cast<size_t>(columns), color);
        return;
    }
    std::fill(first_, first_ + columns, 0);  // an unwritten column stays an empty span
    std::fill(last_, last_ + columns, -1);
    for (int i = 0; i < 12; ++i)
        if (set_up_edge(poly[i], poly[i + 1]))
            walk_fill_edge(i < 6 ? 0 : 1, window_start, plain, i < 6 ? first_ : last_, 0);

    // Each column's span cut to the clip rows and the screen; an upside-down
    // clip box lets nothing through.
    if (plain || !short_rows) {
        for (int32_t c = 0; c < columns; ++c) {
            const int64_t x = x0 + c;
            const int64_t top = std::max(int64_t{first_[c]} + t.offY, row_lo);
            const int64_t bottom = std::min(int64_t{last_[c]} + t.offY, row_hi);
            if (x >= t.clip.left && x <= t.clip.right && x >= 0 && x < t.canvas.width && top <= bottom)
                vspan(t.canvas, static_cast<int32_t>(x), static_cast<int32_t>(top),
                      static_cast<int32_t>(bottom), color);
        }
        return;
    }
    // The window's columns lie inside the clip box and the screen (fill_columns
    // chose them so); only the rows are cut.
    for (int32_t c = 0; c < columns; ++c) {
        const int64_t top = std::max(int64_t{first_[c]} + t.offY, row_lo);
        const int64_t bottom = std::min(int64_t{last_[c]} + t.offY, row_hi);
        const bool seen = top <= bottom;
        top_rows_[c] = seen ? static_cast<int16_t>(top) : INT16_MAX;
        bottom_rows_[c] = seen ? static_cast<int16_t>(bottom) : int16_t{-1};
    }
    fill_column_spans(t.canvas, static_cast<int32_t>(x0), top_rows_, bottom_rows_,
                      static_cast<size_t>(columns), color);
}

bool CapsuleRenderer::rows_seen_whole(const CapsulePolygon& poly, int64_t row_lo, int64_t row_hi) const {
    // An offset this small keeps every moved row and the moved empty span
    // within the block fill's 16-bit lanes.
    constexpr int32_t kShortShift = 1 << 14;
    if (target_.offY < -kShortShift || target_.offY > kShortShift) return false;
    int64_t y_lo = poly[0].y, y_hi = poly[0].y;
    for (int i = 1; i < 12; ++i) {
        y_lo = std::min<int64_t>(y_lo, poly[i].y);
        y_hi = std::max<int64_t>(y_hi, poly[i].y);
    }
    // The walks write rows of their edges moved by at most one.
    return y_lo - 1 + target_.offY >= row_lo && y_hi + 1 + target_.offY <= row_hi;
}

void CapsuleRenderer::fill_columns(const CapsulePolygon& poly, uint16_t color, bool plain) {
    const Target& t = target_;
    // Columns of the capsule that can be seen: inside the clip box and the screen.
    const int64_t visible_lo = int64_t{std::max(t.clip.left, 0)} - t.offX;
    const int64_t visible_hi = int64_t{std::min(t.clip.right, t.canvas.width - 1)} - t.offX;
    const int64_t lo = std::max<int64_t>(poly[0].x, visible_lo);
    const int64_t hi = std::min<int64_t>(poly[6].x, visible_hi);
    for (int64_t start = lo; start <= hi; start += kCapsuleColumns)
        fill_window(poly, static_cast<int32_t>(start),
                    static_cast<int32_t>(std::min<int64_t>(hi, start + kCapsuleColumns - 1)), color, plain);
}

void CapsuleRenderer::fill(const CapsulePolygon& poly, uint16_t color) { fill_columns(poly, color, false); }

void CapsuleRenderer::fill_plain(const CapsulePolygon& poly, uint16_t color) {
    fill_columns(poly, color, true);
}

void CapsuleRenderer::outline_edge(POINT from, POINT to) {
    if (set_up_edge(from, to)) kOctantRoutines[edge_.octant](target_, edge_);
}

/* Extents of a capsule outlined without clip tests stay below this. */
constexpr int64_t kShortExtent = int64_t{1} << 16;

bool CapsuleRenderer::outline_seen_whole(const CapsulePolygon& poly) const {
    const Target& t = target_;
    int64_t x_lo = poly[0].x, x_hi = poly[0].x, y_lo = poly[0].y, y_hi = poly[0].y;
    for (int i = 1; i < 12; ++i) {
        x_lo = std::min<int64_t>(x_lo, poly[i].x);
        x_hi = std::max<int64_t>(x_hi, poly[i].x);
        y_lo = std::min<int64_t>(y_lo, poly[i].y);
        y_hi = std::max<int64_t>(y_hi, poly[i].y);
    }
    if (x_hi - x_lo >= kShortExtent || y_hi - y_lo >= kShortExtent) return false;
    // Every pixel an edge touches lies within one of its end points' box.
    return t.clip.contains(x_lo - 1 + t.offX, y_lo - 1 + t.offY) &&
           t.clip.contains(x_hi + 1 + t.offX, y_hi + 1 + t.offY) && x_lo - 1 + t.offX >= 0 &&
           y_lo - 1 + t.offY >= 0 && x_hi + 1 + t.offX < t.canvas.width &&
           y_hi + 1 + t.offY < t.canvas.height;
}

void CapsuleRenderer::outline(const CapsulePolygon& poly) {
    if (!outline_seen_whole(poly)) {
        for (int i = 0; i < 12; ++i) outline_edge(poly[i], poly[i + 1]);
        return;
    }
    // One walk serves every direction: the edge's signs and major axis only
    // choose the two byte steps, so no call depends on the edge's octant.
    WalkSteps steps;
    const intptr_t ypitch = target_.canvas.ypitch;
    for (int i = 0; i < 12; ++i) {
        const POINT from = poly[i], to = poly[i + 1];
        const int32_t sdx = to.x - from.x, sdy = to.y - from.y;
        const int32_t adx = sdx < 0 ? -sdx : sdx, ady = sdy < 0 ? -sdy : sdy;
        if (adx == 0 && ady == 0) continue;
        const bool x_major = adx >= ady;  // as edge_octant counts them
        const intptr_t x_bytes = sdx < 0 ? -Canvas::xpitch : Canvas::xpitch;
        const intptr_t y_bytes = sdy < 0 ? -ypitch : ypitch;
        const int32_t major = x_major ? adx : ady;
        steps.add(static_cast<uint64_t>(major) + 1);
        uint8_t* start =
            reinterpret_cast<uint8_t*>(target_.canvas.at(from.x + target_.offX, from.y + target_.offY));
        walk_outline_seen(start, x_major ? x_bytes : y_bytes, x_major ? y_bytes : x_bytes, major,
                          x_major ? ady : adx, 0, int64_t{major} + 1, target_.edgeColor);
    }
}

void CapsuleRenderer::outline_plain(const CapsulePolygon& poly) {
    for (int i = 0; i < 12; ++i)
        if (set_up_edge(poly[i], poly[i + 1])) kPlainOctantRoutines[edge_.octant](target_, edge_);
}

}  // namespace kesra
