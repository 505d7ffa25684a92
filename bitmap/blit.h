/* blit.h - drawing bitmap planes onto a canvas. A window of the bitmap maps
 * one to one onto the canvas: source (sx + i, sy + j) goes to (dx + i, dy + j).
 * Raw planes are addressed by row (pixels m_nPitch bytes apart, alpha width
 * bytes apart) and never read past their held size; run-length planes are
 * decoded while drawing. The bitmap alpha blend copies at 31 and above, keeps
 * the pixel at 0 and mixes in 32 steps between. */
#ifndef KESRA_BITMAP_BLIT_H
#define KESRA_BITMAP_BLIT_H

#include <cstddef>
#include <cstdint>

#include "bitmap/run_length.h"
#include "cebitmap.h"
#include "core/canvas.h"
#include "core/pixel.h"

namespace kesra {

/* The bitmap alpha blend of one pixel, without bounds. */
inline void blend_bitmap_pixel(uint16_t* p, uint16_t color, uint32_t alpha) {
    *p = alpha >= 31 ? color : blend565(*p, color, static_cast<int32_t>(alpha));
}

struct PlaneSource {
    const uint8_t* data = nullptr;  // null: no such plane
    size_t bytes = 0;               // bytes held
    bool coded = false;
};

struct BitmapSource {
    int32_t width = 0;
    int32_t height = 0;
    int32_t pitch = 0;  // bytes between raw pixel rows
    PlaneSource pixels;
    PlaneSource alpha;
};

/* The planes of a bitmap. With honour_coding a plane whose size field differs
 * from its raw size is run-length coded; without it both planes are read as
 * raw within the bytes they hold. A size field of 0 on a plane that exists
 * (planes wrapped or filled by hand) is taken as the raw size. */
BitmapSource bitmap_source(const CCEBitmap& bitmap, bool honour_coding);

/* A window of the bitmap is a block copy from the bitmap to the canvas. */
using BlitWindow = Block;

/* Kernels on a clipped window. */
void blit_opaque(const Canvas& dst, const BitmapSource& src, const BlitWindow& win);
void blit_keyed(const Canvas& dst, const BitmapSource& src, const BlitWindow& win, uint16_t key);
void blit_alpha(const Canvas& dst, const BitmapSource& src, const BlitWindow& win);

/* The three blits of a bitmap with their own clipping rules; the arguments
 * are those of CCEBitmap::Draw, TransBlt and StretchBlt. */
void draw_bitmap(const Canvas& dst, const CCEBitmap& bitmap, int64_t x, int64_t y, int64_t w, int64_t h,
                 int64_t sx, int64_t sy, bool coded);
void trans_blt(const Canvas& dst, const CCEBitmap& bitmap, int64_t x, int64_t y, int64_t w, int64_t h,
               int64_t sx, int64_t sy, uint16_t key);
void stretch_blt(const Canvas& dst, const CCEBitmap& bitmap, int64_t x, int64_t y, int64_t w, int64_t h,
                 int64_t sx, int64_t sy);

/* The w x h window at (sx, sy) of the bitmap onto a canvas at (x, y), every
 * plane decoded as its size field says: BitBackBuffer's rule. */
void blit_bitmap_window(const Canvas& dst, const CCEBitmap& bitmap, int64_t x, int64_t y, int64_t w,
                        int64_t h, int64_t sx, int64_t sy);

}  // namespace kesra

#endif
