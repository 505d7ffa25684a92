/* transition_map.cpp - the whole-buffer effects of a drawing context: the map
 * zoom (a zoomed-in or zoomed-out copy of another frame), the fade pass that
 * lets every field borrow, and the checker shadow behind pop-ups. Frames are
 * whole screens; doubles become integers by truncation. */
#include <algorithm>
#include <cstring>

#include "cedraw.h"
#include "effects/transition.h"

namespace kesra {
namespace {

void copy_plane_to(const Canvas& dst, const uint16_t* pixels, int32_t w, int32_t h, int64_t x, int64_t y) {
    Block b;
    if (!clip_block(x, y, 0, 0, w, h, w, h, dst.width, dst.height, &b)) return;
    for (int32_t j = 0; j < b.h; ++j) {
        const uint16_t* row = pixels + static_cast<size_t>(b.sy + j) * static_cast<size_t>(w) + b.sx;
        std::memcpy(dst.at(b.dx, b.dy + j), row, static_cast<size_t>(b.w) * 2);
    }
}

/* The central 1/zoom part of the source, enlarged to the whole frame. At
 * least one source pixel is taken, however large the zoom. */
void zoom_in(const Canvas& dst, const Canvas& src, double zoom) {
    const int64_t W = dst.width, H = dst.height;
    const int64_t w = std::max<int64_t>(static_cast<int64_t>(W * (1 / zoom)), 1);
    const int64_t h = std::max<int64_t>(static_cast<int64_t>(H * (1 / zoom)), 1);
    const int64_t x0 = (W - w) / 2, y0 = (H - h) / 2;
    tagEFFECTIMAGE capture{};
    if (!effect_capture(&capture, src, RECT{LONG(x0), LONG(y0), LONG(x0 + w), LONG(y0 + h)})) return;
    tagEFFECTIMAGE scaled{};
    scaled.nWidth = dst.width;
    scaled.nHeight = dst.height;
    if (effect_scale(&scaled, capture)) copy_plane_to(dst, scaled.pPixels, dst.width, dst.height, 0, 0);
    effect_free(&scaled);
    effect_free(&capture);
}

/* The whole source reduced by zoom, drawn centred over what dst holds. */
void zoom_out(const Canvas& dst, const uint16_t* src, double zoom) {
    const int32_t W = dst.width, H = dst.height;
    tagEFFECTIMAGE whole{};
    whole.pPixels = const_cast<uint16_t*>(src);
    whole.nWidth = W;
    whole.nHeight = H;
    tagEFFECTIMAGE scaled{};
    scaled.nWidth = static_cast<LONG>(W * zoom);
    scaled.nHeight = static_cast<LONG>(H * zoom);
    if (effect_scale(&scaled, whole)) {
        const int64_t x = static_cast<int64_t>(((1 - zoom) * W) * 0.5);
        const int64_t y = static_cast<int64_t>(((1 - zoom) * H) * 0.5);
        copy_plane_to(dst, scaled.pPixels, scaled.nWidth, scaled.nHeight, x, y);
    }
    effect_free(&scaled);
}

}  // namespace

int zoom_map(const Canvas& dst, const uint16_t* src, double zoom) {
    if (!(zoom > 0.0)) return -1;
    if (!dst.origin || !src || dst.width < 1 || dst.height < 1) return 0;
    const Canvas source{reinterpret_cast<uint8_t*>(const_cast<uint16_t*>(src)), dst.width * 2, dst.width,
                        dst.height};
    if (zoom >= 1.0)
        zoom_in(dst, source, zoom);
    else
        zoom_out(dst, src, zoom);
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
