/* stcf_raster.cpp - em to subsample scaling in fixed point (13 fractional bits
 * for the em position, 26.6 on the grid), curve flattening, crossings and the
 * even-odd span fill. A vertex exactly on a scanline is moved up by 1/64 of a
 * subsample, so that no edge ends on a sample line. */
#include "text/stcf_raster.h"

#include <algorithm>
#include <cstring>

#include "text/stcf_state.h"

namespace kesra::stcf {

namespace {

/* Keeps the grid arithmetic inside 32 bits for any adjustment or scale. */
constexpr int64_t kGridLimit = int64_t{1} << 26;

int32_t clamp_grid(int64_t v) { return static_cast<int32_t>(std::clamp(v, -kGridLimit, kGridLimit)); }

int64_t floor_div(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

/* em position in 13-bit fixed point to 26.6 subsamples along one axis. */
int32_t axis_to_grid(int64_t em13, int cell, int adjust, int per_pixel) {
    const int64_t span = int64_t{cell} + adjust;
    const int64_t scaled = (em13 * span * per_pixel) >> 14;  // em13 * span / 128 pixels, in 1/64 subsamples
    return clamp_grid(scaled - int64_t{adjust} * per_pixel * 32 - 32);
}

GridPoint bezier_at(GridPoint p0, GridPoint c1, GridPoint c2, GridPoint p3, int k, int n) {
    const int64_t a = n - k, d = int64_t{n} * n * n;
    const int64_t w0 = a * a * a, w1 = 3 * a * a * k, w2 = 3 * a * k * k, w3 = int64_t{k} * k * k;
    return {static_cast<int32_t>(floor_div(w0 * p0.x + w1 * c1.x + w2 * c2.x + w3 * p3.x, d)),
            static_cast<int32_t>(floor_div(w0 * p0.y + w1 * c1.y + w2 * c2.y + w3 * p3.y, d))};
}

const uint8_t kBitsInNibble[16] = {0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4};

}  // namespace

bool make_grid(int levels, int width, int height, int adjust, Grid* grid) {
    int across, down;
    switch (levels) {
        case 16:
            across = 4, down = 4;
            break;
        case 12:
            across = 4, down = 3;
            break;
        case 8:
            across = 4, down = 2;
            break;
        case 6:
            across = 2, down = 3;
            break;
        case 4:
            across = 2, down = 2;
            break;
        default:
            return false;
    }
    *grid = Grid{width, height, adjust, across, down};
    return true;
}

GridPoint to_grid(const Grid& grid, const Placement& place, int32_t x, int32_t y) {
    const int64_t ex = int64_t{place.dx} * 8192 + int64_t{x} * place.sx * 64;
    const int64_t ey = int64_t{place.dy} * 8192 + int64_t{y} * place.sy * 64;
    return {axis_to_grid(ex, grid.width, grid.adjust, grid.across),
            axis_to_grid(ey, grid.height, grid.adjust, grid.down)};
}

ScanConverter::ScanConverter(const Grid& grid) : grid_(grid) {
    std::memset(workspace().crossing_count, 0, sizeof workspace().crossing_count);
}

void ScanConverter::line_to(GridPoint p) {
    add_edge(current_, p);
    current_ = p;
}

/* Small cells take two pieces through the midpoint when the curve is short
 * (under 641/64 subsamples both ways), else three; larger cells more. */
int ScanConverter::pieces_for(GridPoint p0, GridPoint c1, GridPoint c2, GridPoint p3) const {
    if (grid_.width > 36 || grid_.height > 36) return 6;
    if (grid_.width > 24 || grid_.height > 24) return 4;
    const auto extent = [](int32_t a, int32_t b, int32_t c, int32_t d) {
        return int64_t{std::max({a, b, c, d})} - std::min({a, b, c, d});
    };
    const bool short_curve = extent(p0.x, c1.x, c2.x, p3.x) < 641 && extent(p0.y, c1.y, c2.y, p3.y) < 641;
    return short_curve ? 2 : 3;
}

void ScanConverter::cubic_to(GridPoint c1, GridPoint c2, GridPoint p) {
    const GridPoint p0 = current_;
    const int pieces = pieces_for(p0, c1, c2, p);
    if (pieces == 2) {
        const GridPoint mid{
            static_cast<int32_t>((int64_t{p0.x} + 3 * int64_t{c1.x} + 3 * int64_t{c2.x} + p.x) >> 3),
            static_cast<int32_t>((int64_t{p0.y} + 3 * int64_t{c1.y} + 3 * int64_t{c2.y} + p.y) >> 3)};
        line_to(mid);
    } else {
        for (int k = 1; k < pieces; ++k) line_to(bezier_at(p0, c1, c2, p, k, pieces));
    }
    line_to(p);
}

void ScanConverter::add_edge(GridPoint a, GridPoint b) {
    if (++edges_ > kMaxEdges) return;
    if ((a.y & 63) == 0) ++a.y;
    if ((b.y & 63) == 0) ++b.y;
    if (a.y == b.y) return;
    if (a.y > b.y) std::swap(a, b);
    Workspace& ws = workspace();
    const int first = std::max<int32_t>((a.y >> 6) + 1, 0);
    const int last = std::min<int32_t>(b.y >> 6, grid_.rows() - 1);
    const int64_t dx = int64_t{b.x} - a.x, dy = int64_t{b.y} - a.y;
    for (int j = first; j <= last; ++j) {
        uint8_t& count = ws.crossing_count[j];
        if (count >= kMaxCrossings) continue;
        ws.crossings[j][count++] = static_cast<int32_t>(a.x + (int64_t{64} * j - a.y) * dx / dy);
    }
}

void ScanConverter::fill(uint8_t* bits) {
    Workspace& ws = workspace();
    const int stride = grid_.bits_stride(), last_column = grid_.columns() - 1;
    for (int j = 0; j < grid_.rows(); ++j) {
        int32_t* xs = ws.crossings[j];
        const int count = ws.crossing_count[j];
        std::sort(xs, xs + count);
        uint8_t* row = bits + static_cast<size_t>(grid_.rows() - 1 - j) * stride;
        for (int i = 0; i + 1 < count; i += 2) {
            const int32_t start = (xs[i] + 63) >> 6;
            const int32_t end = std::min(std::max(xs[i + 1] >> 6, start), last_column);
            for (int32_t c = std::max(start, 0); c <= end; ++c)
                row[c >> 3] |= static_cast<uint8_t>(0x80 >> (c & 7));
        }
        ws.crossing_count[j] = 0;
    }
}

void reduce_bits(const Grid& grid, const uint8_t* bits, uint8_t* coverage) {
    const int stride = grid.bits_stride();
    for (int py = 0; py < grid.height; ++py)
        for (int px = 0; px < grid.width; ++px) {
            int count = 0;
            for (int r = 0; r < grid.down; ++r) {
                const uint8_t byte =
                    bits[static_cast<size_t>(py * grid.down + r) * stride + px * grid.across / 8];
                if (grid.across == 4)
                    count += kBitsInNibble[(px & 1) ? byte & 0x0F : byte >> 4];
                else
                    count += kBitsInNibble[(byte >> (6 - 2 * (px & 3))) & 3];
            }
            coverage[py * grid.width + px] = static_cast<uint8_t>(count);
        }
}

}  // namespace kesra::stcf
