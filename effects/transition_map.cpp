/* transition_map.cpp - the whole-buffer effects of a drawing context: the map
 * zoom (a zoomed-in or zoomed-out copy of another frame), the fade pass that
 * lets every field borrow, and the checker shadow behind pop-ups. Frames are
 * whole screens; doubles become integers by truncation. */
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "cedraw.h"
#include "effects/scale_internal.h"
#include "effects/transition.h"

namespace kesra {
namespace {

/* For each of target rows (or columns) of a copy scaled from source ones,
 * the source row it takes, from offset on: as effect_scale picks them. */
std::vector<LONG> nearest_map(int64_t target, int64_t source, int64_t offset) {
    const double f = 1.0 / (static_cast<double>(target) / static_cast<double>(source));
    std::vector<LONG> map(static_cast<size_t>(target));
    for (int64_t i = 0; i < target; ++i)
        map[static_cast<size_t>(i)] = static_cast<LONG>(
            offset + std::min<int64_t>(nearest_index(static_cast<LONG>(i) * f), source - 1));
    return map;
}

/* The w x h part of src from (sx, sy) (rows W apart) scaled to tw x th and
 * drawn at (x, y) on dst, cut to the screen; a row that takes the same
 * source row as the one above is a copy of it. */
void draw_scaled(const Canvas& dst, const uint16_t* src, int64_t W, int64_t sx, int64_t sy, int64_t w,
                 int64_t h, int64_t tw, int64_t th, int64_t x, int64_t y) {
    Block b;
    if (tw < 1 || th < 1 ||
        !clip_block(x, y, 0, 0, tw, th, static_cast<int32_t>(tw), static_cast<int32_t>(th), dst.width,
                    dst.height, &b))
        return;
    const std::vector<LONG> rows = nearest_map(th, h, sy);
    std::vector<LONG> columns = nearest_map(tw, w, sx);
    columns.erase(columns.begin() + b.sx + b.w, columns.end());
    columns.erase(columns.begin(), columns.begin() + b.sx);
    const ColumnGather plan(std::move(columns), static_cast<LONG>(W));
    for (int32_t j = 0; j < b.h; ++j) {
        uint16_t* out = dst.at(b.dx, b.dy + j);
        const LONG row = rows[static_cast<size_t>(b.sy + j)];
        if (j > 0 && row == rows[static_cast<size_t>(b.sy + j - 1)])
            std::memcpy(out, dst.at(b.dx, b.dy + j - 1), static_cast<size_t>(b.w) * 2);
        else
            plan.gather(out, src + static_cast<size_t>(row) * static_cast<size_t>(W));
    }
}

/* Whether the W x H source frame shares bytes with dst. */
bool overlaps(const Canvas& dst, const uint16_t* src, size_t pixels) {
    const auto* s = reinterpret_cast<const uint8_t*>(src);
    const uint8_t* d = dst.origin;
    const size_t dst_bytes = static_cast<size_t>(dst.ypitch) * static_cast<size_t>(dst.height);
    return s < d + dst_bytes && d < s + pixels * 2;
}

}  // namespace

/* Zoom in: the central 1/zoom part of the source (at least one pixel, however
 * large the zoom) enlarged to the whole frame. Zoom out: the whole source
 * reduced by zoom, drawn centred over what dst holds. A source that shares
 * bytes with dst is copied first. */
int zoom_map(const Canvas& dst, const uint16_t* src, double zoom) {
    if (!(zoom > 0.0)) return -1;
    if (!dst.origin || !src || dst.width < 1 || dst.height < 1) return 0;
    const int64_t W = dst.width, H = dst.height;
    std::vector<uint16_t> copy;
    if (overlaps(dst, src, static_cast<size_t>(W * H))) {
        try {
            copy.assign(src, src + W * H);
        } catch (const std::bad_alloc&) {
            return 0;
        }
        src = copy.data();
    }
    if (zoom >= 1.0) {
        const int64_t w = std::max<int64_t>(static_cast<int64_t>(W * (1 / zoom)), 1);
        const int64_t h = std::max<int64_t>(static_cast<int64_t>(H * (1 / zoom)), 1);
        draw_scaled(dst, src, W, (W - w) / 2, (H - h) / 2, w, h, W, H, 0, 0);
    } else {
        const int64_t tw = static_cast<LONG>(static_cast<int32_t>(W) * zoom);
        const int64_t th = static_cast<LONG>(static_cast<int32_t>(H) * zoom);
        const int64_t x = static_cast<int64_t>(((1 - zoom) * static_cast<int32_t>(W)) * 0.5);
        const int64_t y = static_cast<int64_t>(((1 - zoom) * static_cast<int32_t>(H)) * 0.5);
        draw_scaled(dst, src, W, 0, 0, W, H, tw, th, x, y);
    }
    return 0;
}

void fade_pixels(uint16_t* pixels, size_t count, uint32_t v) {
    for (size_t i = 0; i < count; ++i) {
        const uint32_t p = pixels[i];
        const uint32_t green = ((p & 0x07E0u) - 32u * v) & 0x1FE0u;
        const uint32_t red = (p & 0xF800u) - 2048u * v;
        const uint32_t blue = ((p & 0x001Fu) - v) & 0x00FFu;
        pixels[i] = static_cast<uint16_t>(green | red | blue);
    }
}

}  // namespace kesra
