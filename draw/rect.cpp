/* rect.cpp - rectangle outlines and fills. A rectangle is drawn only when one
 * of its corners is on the screen; its rows and columns are then clamped once
 * and written through the pitch. The blended fill mixes channels in single
 * precision through per-channel tables built from the one-pixel blend. */
#include "draw/rect.h"

#include "draw/lines.h"
#include "draw/span_row.h"

namespace kesra {

namespace {

struct Box {
    int64_t left, top, right, bottom;
};

bool either_corner_on_screen(const Canvas& c, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    return c.contains(x1, y1) || c.contains(x2, y2);
}

Box ordered(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    return {x1 < x2 ? x1 : x2, y1 < y2 ? y1 : y2, x1 < x2 ? x2 : x1, y1 < y2 ? y2 : y1};
}

/* The drawable part of a rectangle; false when there is none. */
bool clamped_box(const Canvas& c, int32_t x1, int32_t y1, int32_t x2, int32_t y2, Box& box) {
    if (!either_corner_on_screen(c, x1, y1, x2, y2)) return false;
    box = ordered(x1, y1, x2, y2);
    return clamp_run(box.left, box.right, c.width) && clamp_run(box.top, box.bottom, c.height);
}

/* The float-to-unsigned truncation of the blend; the value is never negative
 * once alpha is held to 0 ... 1. */
uint32_t trunc_channel(float v) { return static_cast<uint32_t>(v); }

/* Each step in its own statement: no fused multiply-add may change the
 * rounding of the sum. */
uint32_t blend_channel(uint32_t d, uint32_t s, float alpha) {
    const float kept = static_cast<float>(d) * (1.0f - alpha);
    const float added = static_cast<float>(s) * alpha;
    const float sum = static_cast<float>(trunc_channel(kept)) + added;
    return trunc_channel(sum);
}

float held_opacity(float alpha) {
    if (!(alpha > 0.0f)) return 0.0f;
    return alpha > 1.0f ? 1.0f : alpha;
}

}  // namespace

void rect_outline(const Canvas& c, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint16_t color) {
    if (!either_corner_on_screen(c, x1, y1, x2, y2)) return;
    const Box b = ordered(x1, y1, x2, y2);
    const auto l = static_cast<int32_t>(b.left), r = static_cast<int32_t>(b.right);
    const auto t = static_cast<int32_t>(b.top), bo = static_cast<int32_t>(b.bottom);
    hspan(c, l, r, t, color);
    hspan(c, l, r, bo, color);
    vspan(c, l, t, bo, color);
    vspan(c, r, t, bo, color);
}

void fill_rect(const Canvas& c, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint16_t color) {
    Box b;
    if (!clamped_box(c, x1, y1, x2, y2, b)) return;
    uint8_t* row =
        reinterpret_cast<uint8_t*>(c.at(static_cast<int32_t>(b.left), static_cast<int32_t>(b.top)));
    const int64_t width = b.right - b.left + 1;
    if (width == c.width && int64_t{c.ypitch} == width * c.xpitch) {  // whole rows, back to back
        fill565(reinterpret_cast<uint16_t*>(row), width * (b.bottom - b.top + 1), color);
        return;
    }
    for (int64_t y = b.top; y <= b.bottom; ++y, row += c.ypitch) store_run(row, c.xpitch, width, color);
}

uint16_t blend_opacity565(uint16_t d, uint16_t s, float alpha) {
    alpha = held_opacity(alpha);
    const uint32_t r = blend_channel(d >> 11, s >> 11, alpha);
    const uint32_t g = blend_channel((d >> 5) & 63, (s >> 5) & 63, alpha);
    const uint32_t b = blend_channel(d & 31, s & 31, alpha);
    return static_cast<uint16_t>(b | g << 5 | r << 11);
}

/* A channel's result depends only on its destination value, so 128 blends
 * made up front stand for every pixel; each pixel is then three look-ups. */
void fill_rect_blended(const Canvas& c, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint16_t color,
                       float alpha) {
    if (alpha == 1.0f) {
        fill_rect(c, x1, y1, x2, y2, color);
        return;
    }
    Box b;
    if (!clamped_box(c, x1, y1, x2, y2, b)) return;
    alpha = held_opacity(alpha);
    uint16_t red[32], green[64], blue[32];
    for (uint32_t v = 0; v < 32; ++v) {
        red[v] = static_cast<uint16_t>(blend_channel(v, color >> 11, alpha) << 11);
        blue[v] = static_cast<uint16_t>(blend_channel(v, color & 31, alpha));
    }
    for (uint32_t v = 0; v < 64; ++v)
        green[v] = static_cast<uint16_t>(blend_channel(v, (color >> 5) & 63, alpha) << 5);

    uint8_t* row =
        reinterpret_cast<uint8_t*>(c.at(static_cast<int32_t>(b.left), static_cast<int32_t>(b.top)));
    const int64_t count = b.right - b.left + 1;
    for (int64_t y = b.top; y <= b.bottom; ++y, row += c.ypitch) {
        uint8_t* p = row;
        for (int64_t i = 0; i < count; ++i, p += c.xpitch) {
            uint16_t& px = *reinterpret_cast<uint16_t*>(p);
            px = static_cast<uint16_t>(red[px >> 11] | green[(px >> 5) & 63] | blue[px & 31]);
        }
    }
}

}  // namespace kesra
