/* blit.cpp - Draw, TransBlt, StretchBlt and BitBackBuffer of a bitmap. Each
 * applies its own clipping rules and then hands a window that lies inside the
 * bitmap and the canvas to a kernel. Raw opaque rows are copied whole, alpha
 * blends work on the packed 0x07E0F81F form, and run-length planes are walked
 * a run at a time. Canvas pixels are 2 bytes apart (xpitch 2). */
#include "bitmap/blit.h"

#include <algorithm>
#include <cstring>

#include "bitmap/pack_format.h"
#include "cedraw.h"
#include "core/pixel_runs.h"
#include "core/profile.h"
#include "draw/context.h"

namespace kesra {
namespace {

inline uint16_t load16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline uint16_t* row_at(const Canvas& dst, int32_t x, int32_t y) { return dst.at(x, y); }

/* Sequential reader of one plane, raw or run-length, by (row, column). A
 * run-length plane only moves forward; a seek backwards starts it again. */
template <typename T>
class PlaneCursor {
   public:
    PlaneCursor(const PlaneSource& plane, int32_t width, size_t row_bytes)
        : plane_(plane),
          width_(static_cast<uint64_t>(std::max(width, 0))),
          row_bytes_(row_bytes),
          runs_(plane.data, plane.coded ? plane.bytes : 0) {}

    void seek(int32_t r, int32_t c) {
        if (plane_.coded) {
            const uint64_t target = static_cast<uint64_t>(r) * width_ + static_cast<uint64_t>(c);
            if (target < pos_) {
                runs_ = RunReader<T>(plane_.data, plane_.bytes);
                pos_ = 0;
            }
            runs_.skip(target - pos_);
            pos_ = target;
        } else {
            offset_ = static_cast<uint64_t>(r) * row_bytes_ + static_cast<uint64_t>(c) * sizeof(T);
        }
    }

    /* The current value and how many pixels from here share it. */
    uint32_t run(T* value) {
        if (plane_.coded) return runs_.run(value);
        if (offset_ + sizeof(T) > plane_.bytes) {
            *value = 0;
        } else if constexpr (sizeof(T) == 2) {
            *value = load16(plane_.data + offset_);
        } else {
            *value = plane_.data[offset_];
        }
        return 1;
    }

    void consume(uint32_t n) {
        if (plane_.coded) {
            runs_.consume(n);
            pos_ += n;
        } else {
            offset_ += static_cast<uint64_t>(n) * sizeof(T);
        }
    }

    T value() {
        T v;
        run(&v);
        return v;
    }

   private:
    PlaneSource plane_;
    uint64_t width_;
    size_t row_bytes_;
    RunReader<T> runs_;
    uint64_t pos_ = 0;
    uint64_t offset_ = 0;
};

/* Pixels of raw row r readable from column c, at most want. */
int32_t raw_pixels_left(const PlaneSource& plane, size_t row_bytes, int32_t r, int32_t c, int32_t want,
                        size_t bytes_per_pixel) {
    const uint64_t at = static_cast<uint64_t>(r) * row_bytes + static_cast<uint64_t>(c) * bytes_per_pixel;
    if (at >= plane.bytes) return 0;
    const uint64_t left = (plane.bytes - at) / bytes_per_pixel;
    return static_cast<int32_t>(std::min<uint64_t>(left, static_cast<uint64_t>(want)));
}

/* The window of (dx, dy, sx, sy, w, h) that lies inside both the bitmap and
 * the canvas; false when it is empty. */
bool make_window(int64_t dx, int64_t dy, int64_t sx, int64_t sy, int64_t w, int64_t h, int32_t width,
                 int32_t height, const Canvas& dst, BlitWindow* out) {
    return clip_block(dx, dy, sx, sy, w, h, width, height, dst.width, dst.height, out);
}

void blit_window(const Canvas& dst, const BitmapSource& src, const BlitWindow& win) {
    if (src.alpha.data)
        blit_alpha(dst, src, win);
    else
        blit_opaque(dst, src, win);
}

}  // namespace

BitmapSource bitmap_source(const CCEBitmap& b, bool honour_coding) {
    BitmapSource s;
    s.width = b.m_nWidth;
    s.height = b.m_nHeight;
    s.pitch = b.m_nPitch > 0 ? b.m_nPitch : std::max(b.m_nWidth, 0) * 2;
    const uint64_t raw_pixels = pack::raw_pixel_bytes(s.width, s.height);
    const uint64_t raw_alpha = pack::raw_alpha_bytes(s.width, s.height);
    const uint64_t pixel_extent =
        raw_pixels
            ? static_cast<uint64_t>(s.height - 1) * static_cast<uint64_t>(s.pitch) + uint64_t{2} * s.width
            : 0;

    s.pixels.data = b.m_pImageData;
    if (b.m_pImageData) {
        const uint64_t held = b.m_nPixelSize > 0 ? static_cast<uint64_t>(b.m_nPixelSize) : 0;
        s.pixels.coded = honour_coding && held != 0 && held != raw_pixels;
        s.pixels.bytes = static_cast<size_t>(held ? held : pixel_extent);
    }
    s.alpha.data = b.m_pAlpha;
    if (b.m_pAlpha) {
        const uint64_t held = b.m_nAlphaSize > 0 ? static_cast<uint64_t>(b.m_nAlphaSize) : 0;
        s.alpha.coded = honour_coding && held != 0 && held != raw_alpha;
        s.alpha.bytes = static_cast<size_t>(held ? held : raw_alpha);
    }
    return s;
}

void blit_opaque(const Canvas& dst, const BitmapSource& src, const BlitWindow& win) {
    const PlaneSource& pixels = src.pixels;
    if (!pixels.coded) {
        for (int32_t j = 0; j < win.h; ++j) {
            const int32_t r = win.sy + j;
            const int32_t n = raw_pixels_left(pixels, static_cast<size_t>(src.pitch), r, win.sx, win.w, 2);
            if (n <= 0) break;  // later rows lie further on
            const uint8_t* from = pixels.data + static_cast<size_t>(r) * static_cast<size_t>(src.pitch) +
                                  static_cast<size_t>(win.sx) * 2;
            std::memcpy(row_at(dst, win.dx, win.dy + j), from, static_cast<size_t>(n) * 2);
        }
        return;
    }
    PlaneCursor<uint16_t> cursor(pixels, src.width, static_cast<size_t>(src.pitch));
    for (int32_t j = 0; j < win.h; ++j) {
        cursor.seek(win.sy + j, win.sx);
        uint16_t* out = row_at(dst, win.dx, win.dy + j);
        for (int32_t i = 0; i < win.w;) {
            uint16_t v;
            const uint32_t n = std::min<uint32_t>(cursor.run(&v), static_cast<uint32_t>(win.w - i));
            std::fill(out + i, out + i + n, v);
            cursor.consume(n);
            i += static_cast<int32_t>(n);
        }
    }
}

void blit_keyed(const Canvas& dst, const BitmapSource& src, const BlitWindow& win, uint16_t key) {
    PlaneCursor<uint16_t> cursor(src.pixels, src.width, static_cast<size_t>(src.pitch));
    for (int32_t j = 0; j < win.h; ++j) {
        const int32_t r = win.sy + j;
        const int32_t w = src.pixels.coded ? win.w
                                           : raw_pixels_left(src.pixels, static_cast<size_t>(src.pitch), r,
                                                             win.sx, win.w, 2);
        cursor.seek(r, win.sx);
        uint16_t* out = row_at(dst, win.dx, win.dy + j);
        for (int32_t i = 0; i < w;) {
            uint16_t v;
            const uint32_t n = std::min<uint32_t>(cursor.run(&v), static_cast<uint32_t>(w - i));
            if (v != key) std::fill(out + i, out + i + n, v);
            cursor.consume(n);
            i += static_cast<int32_t>(n);
        }
    }
}

void blit_alpha(const Canvas& dst, const BitmapSource& src, const BlitWindow& win) {
    const size_t pitch = static_cast<size_t>(src.pitch), alpha_pitch = static_cast<size_t>(src.width);
    if (!src.pixels.coded && !src.alpha.coded) {
        for (int32_t j = 0; j < win.h; ++j) {
            const int32_t r = win.sy + j;
            const int32_t n = std::min(raw_pixels_left(src.pixels, pitch, r, win.sx, win.w, 2),
                                       raw_pixels_left(src.alpha, alpha_pitch, r, win.sx, win.w, 1));
            const uint8_t* colors =
                src.pixels.data + static_cast<size_t>(r) * pitch + static_cast<size_t>(win.sx) * 2;
            const uint8_t* alpha =
                src.alpha.data + static_cast<size_t>(r) * alpha_pitch + static_cast<size_t>(win.sx);
            if (n > 0)
                blend_bitmap_run565(row_at(dst, win.dx, win.dy + j), colors, alpha, static_cast<size_t>(n));
        }
        return;
    }
    PlaneCursor<uint16_t> pixels(src.pixels, src.width, pitch);
    PlaneCursor<uint8_t> alpha(src.alpha, src.width, alpha_pitch);
    if (!src.pixels.coded) {
        /* Raw pixels under coded alpha (pack icons): whole alpha runs at once. */
        for (int32_t j = 0; j < win.h; ++j) {
            const int32_t r = win.sy + j;
            const int32_t w = raw_pixels_left(src.pixels, pitch, r, win.sx, win.w, 2);
            const uint8_t* colors =
                src.pixels.data + static_cast<size_t>(r) * pitch + static_cast<size_t>(win.sx) * 2;
            uint16_t* out = row_at(dst, win.dx, win.dy + j);
            alpha.seek(r, win.sx);
            for (int32_t i = 0; i < w;) {
                uint8_t a;
                const uint32_t n = std::min(alpha.run(&a), static_cast<uint32_t>(w - i));
                if (a >= 31)
                    std::memcpy(out + i, colors + 2 * static_cast<size_t>(i), n * 2u);
                else if (a != 0)
                    blend_run565(out + i, colors + 2 * static_cast<size_t>(i), n, a);
                alpha.consume(n);
                i += static_cast<int32_t>(n);
            }
        }
        return;
    }
    for (int32_t j = 0; j < win.h; ++j) {
        pixels.seek(win.sy + j, win.sx);
        alpha.seek(win.sy + j, win.sx);
        uint16_t* out = row_at(dst, win.dx, win.dy + j);
        for (int32_t i = 0; i < win.w;) {
            uint16_t v;
            uint8_t a;
            const uint32_t n = std::min(
                {pixels.run(&v), static_cast<uint32_t>(alpha.run(&a)), static_cast<uint32_t>(win.w - i)});
            if (a >= 31)
                std::fill(out + i, out + i + n, v);
            else if (a != 0)
                blend_color_run565(out + i, n, v, a);
            pixels.consume(n);
            alpha.consume(n);
            i += static_cast<int32_t>(n);
        }
    }
}

/* Draw's rules: w or h of 0 takes the bitmap's size; a window wholly off the
 * bitmap or the screen draws nothing; negative x or y move the window's start
 * into the bitmap. Planes read raw (coded false) must start inside the
 * bitmap. A coded plane without alpha is walked from its first pixel, so a
 * negative sx or sy only shortens the window. */
void draw_bitmap(const Canvas& dst, const CCEBitmap& b, int64_t x, int64_t y, int64_t w, int64_t h,
                 int64_t sx, int64_t sy, bool coded) {
    if (!b.m_pImageData || !dst.origin) return;
    const int64_t width = b.m_nWidth, height = b.m_nHeight;
    if (w == 0) w = width;
    if (h == 0) h = height;
    if (w + sx < 1 || sx >= width || h + sy < 0 || sy >= height || x + w < 1 || x >= dst.width || y + h < 1 ||
        y >= dst.height)
        return;
    if (x < 0) {
        w += x;
        sx -= x;
        x = 0;
    }
    if (y < 0) {
        h += y;
        sy -= y;
        y = 0;
    }
    if (w + sx > width) w = width - sx;
    if (h + sy > height) h = height - sy;
    if (x + w > dst.width) w = dst.width - x;
    if (y + h > dst.height) h = dst.height - y;
    const bool starts_inside = sx >= 0 && sy >= 0;  // x, y and the upper bounds hold already

    const BitmapSource src = bitmap_source(b, coded);
    if (!src.alpha.data) {
        if (!src.pixels.coded && !starts_inside) return;
        if (sx < 0) {
            w += sx;
            sx = 0;
        }
        if (sy < 0) {
            h += sy;
            sy = 0;
        }
    } else if (!coded && !starts_inside) {
        return;
    }
    BlitWindow win;
    if (make_window(x, y, sx, sy, w, h, b.m_nWidth, b.m_nHeight, dst, &win)) blit_window(dst, src, win);
}

/* Colour-key copy. The device clips only at the right and bottom; the window
 * is cut at every edge here, so no pixel outside the planes or the buffer is
 * touched. Run-length planes are decoded. */
void trans_blt(const Canvas& dst, const CCEBitmap& b, int64_t x, int64_t y, int64_t w, int64_t h, int64_t sx,
               int64_t sy, uint16_t key) {
    if (!b.m_pImageData || !dst.origin) return;
    BlitWindow win;
    if (!make_window(x, y, sx, sy, w, h, b.m_nWidth, b.m_nHeight, dst, &win)) return;
    blit_keyed(dst, bitmap_source(b, true), win, key);
}

/* Nearest-neighbour scaling in single precision: destination (x + i, y + j)
 * takes source ((int)((sx + i) * fx), (int)((sy + j) * fy)). Source positions
 * past the bitmap are not drawn. */
void stretch_blt(const Canvas& dst, const CCEBitmap& b, int64_t x, int64_t y, int64_t w, int64_t h,
                 int64_t sx, int64_t sy) {
    const int32_t width = b.m_nWidth, height = b.m_nHeight;
    if (!b.m_pImageData || !dst.origin) return;
    if (sx < 0 || sx >= width || sy < 0 || sy >= height || x < 0 || x >= dst.width || y < 0 ||
        y >= dst.height)
        return;
    if (w == 0) w = width;
    if (h == 0) h = height;
    if (w == width && h == height) {
        draw_bitmap(dst, b, x, y, w, h, sx, sy, true);
        return;
    }
    if (w < 1 || h < 1) return;
    const float fx = static_cast<float>(width) / static_cast<float>(w);
    const float fy = static_cast<float>(height) / static_cast<float>(h);
    const BitmapSource src = bitmap_source(b, true);
    PlaneCursor<uint16_t> pixel_rows(src.pixels, width, static_cast<size_t>(src.pitch));
    PlaneCursor<uint8_t> alpha_rows(src.alpha, width, static_cast<size_t>(width));
    const int64_t rows = std::min<int64_t>(h, dst.height - y), cols = std::min<int64_t>(w, dst.width - x);
    for (int64_t j = 0; j < rows; ++j) {
        const int64_t r = static_cast<int64_t>(static_cast<float>(sy + j) * fy);
        if (r >= height) break;  // rows only grow
        pixel_rows.seek(static_cast<int32_t>(r), 0);
        if (src.alpha.data) alpha_rows.seek(static_cast<int32_t>(r), 0);
        PlaneCursor<uint16_t> pixels = pixel_rows;
        PlaneCursor<uint8_t> alpha = alpha_rows;
        uint16_t* out = row_at(dst, static_cast<int32_t>(x), static_cast<int32_t>(y + j));
        for (int64_t i = 0; i < cols; ++i) {
            const int64_t c = static_cast<int64_t>(static_cast<float>(sx + i) * fx);
            if (c >= width) break;  // columns only grow
            pixels.seek(static_cast<int32_t>(r), static_cast<int32_t>(c));
            const uint16_t v = pixels.value();
            if (!src.alpha.data) {
                out[i] = v;
                continue;
            }
            alpha.seek(static_cast<int32_t>(r), static_cast<int32_t>(c));
            const uint8_t a = alpha.value();
            if (a != 0) blend_bitmap_pixel(out + i, v, a);
        }
    }
}

void blit_bitmap_window(const Canvas& dst, const CCEBitmap& b, int64_t x, int64_t y, int64_t w, int64_t h,
                        int64_t sx, int64_t sy) {
    if (!b.m_pImageData || !dst.origin) return;
    BlitWindow win;
    if (make_window(x, y, sx, sy, w, h, b.m_nWidth, b.m_nHeight, dst, &win))
        blit_window(dst, bitmap_source(b, true), win);
}

}  // namespace kesra

using namespace kesra;

void CCEBitmap::Draw(CCEDraw* pDraw, int x, int y, int w, int h, int sx, int sy, int bCoded) {
    profile::count(profile::Kind::Bitmap);
    if (!pDraw) return;
    draw_bitmap(canvas_of(*pDraw), *this, x, y, w, h, sx, sy, bCoded != 0);
}

void CCEBitmap::TransBlt(CCEDraw* pDraw, int x, int y, int w, int h, int sx, int sy, unsigned short key) {
    profile::count(profile::Kind::Bitmap);
    if (!pDraw) return;
    trans_blt(canvas_of(*pDraw), *this, x, y, w, h, sx, sy, key);
}

void CCEBitmap::StretchBlt(CCEDraw* pDraw, int x, int y, int w, int h, int sx, int sy) {
    profile::count(profile::Kind::Bitmap);
    if (!pDraw) return;
    stretch_blt(canvas_of(*pDraw), *this, x, y, w, h, sx, sy);
}

void CCEDraw::DrawBitmap(CCEBitmap* bmp, int a1, int a2, int a3, int a4, int a5, int a6) {
    if (bmp) bmp->Draw(this, a1, a2, a3, a4, a5, a6, 1);
}

/* Into the shared back buffer, laid out as the display. */
void CCEGraphics::BitBackBuffer(LONG x, LONG y, LONG w, LONG h, CCEBitmap* pBitmap, LONG sx, LONG sy) {
    if (!pBitmap || !pBitmap->m_pImageData || !m_pBackBuffer) return;
    blit_bitmap_window(display_canvas(m_pBackBuffer), *pBitmap, x, y, w, h, sx, sy);
}
