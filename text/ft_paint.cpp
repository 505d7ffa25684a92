/* ft_paint.cpp - glyph bitmaps into the canvas. Rows are pitch bytes apart;
 * one-bit rows are most significant bit first. The edge test looks at the four
 * neighbours inside the bitmap; the ring outside the box is drawn after the
 * box, clipped to the screen but not to the clip box. */
#include "text/ft_paint.h"

#include <algorithm>
#include <cstring>

#include "core/pixel.h"

namespace kesra {

namespace {

/* Coverage of bitmap pixel (i, j): 0..255 for grey, 0 or 1 for one-bit. */
struct Coverage {
    const uint8_t* buffer;
    int32_t pitch, width, rows;
    bool mono;

    uint8_t operator()(int32_t i, int32_t j) const {
        const uint8_t* row = buffer + static_cast<intptr_t>(j) * pitch;
        return mono ? (row[i >> 3] >> (7 - (i & 7))) & 1 : row[i];
    }
    bool touches_ink(int32_t i, int32_t j) const {
        return (j > 0 && (*this)(i, j - 1)) || (i + 1 < width && (*this)(i + 1, j)) ||
               (i > 0 && (*this)(i - 1, j)) || (j + 1 < rows && (*this)(i, j + 1));
    }
};

/* A bitmap we can read: grey or one-bit, rows downwards, rows wide enough. */
bool readable(const FT_Bitmap& b, Coverage& cov) {
    const bool mono = b.pixel_mode == FT_PIXEL_MODE_MONO;
    if (!mono && b.pixel_mode != FT_PIXEL_MODE_GRAY) return false;
    if (!b.buffer || b.rows == 0 || b.width == 0 || b.pitch <= 0) return false;
    if (b.width > 0x7FFF || b.rows > 0x7FFF) return false;
    const int32_t width = static_cast<int32_t>(b.width);
    if (b.pitch < (mono ? (width + 7) / 8 : width)) return false;
    cov = Coverage{b.buffer, b.pitch, width, static_cast<int32_t>(b.rows), mono};
    return true;
}

/* The ring just outside the box, beside every edge pixel that has ink. */
template <typename Plot>
void edge_ring(const Coverage& cov, int32_t x0, int32_t y0, Plot plot) {
    for (int32_t i = 0; i < cov.width; ++i) {
        if (cov(i, 0)) plot(int64_t{x0} + i, int64_t{y0} - 1);
        if (cov(i, cov.rows - 1)) plot(int64_t{x0} + i, int64_t{y0} + cov.rows);
    }
    for (int32_t j = 0; j < cov.rows; ++j) {
        if (cov(0, j)) plot(int64_t{x0} - 1, int64_t{y0} + j);
        if (cov(cov.width - 1, j)) plot(int64_t{x0} + cov.width, int64_t{y0} + j);
    }
}

/* A block of grey coverage over a block of pixels, rows apart by the strides;
 * the ends bound what may be read and written past a row's last pixel. */
struct GreyBox {
    uint16_t* d;
    intptr_t d_stride;  // pixels
    const uint16_t* d_end;
    const uint8_t* v;
    intptr_t v_stride;  // bytes
    const uint8_t* v_end;
    int32_t rows, columns;
};

/* On x86-64 the blend is built for AVX-512 and AVX2 beside the baseline, the
 * machine picking one at load time; elsewhere (ARM: NEON) as it stands. */
#if defined(__x86_64__)
#define KESRA_PIXEL_CLONES __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#else
#define KESRA_PIXEL_CLONES
#endif

/* Every pixel goes through the packed blend at level v / 8, with 255 taken to
 * level 32 (which gives the colour exactly) and 0..7 to level 0 (which gives
 * the pixel back), so eight pixels at a time need no branch; equal, pixel for
 * pixel, to the three-way rule. A row's last pixels are blended as eight with
 * the coverage past the row cut to 0, where both buffers reach that far. */
KESRA_PIXEL_CLONES void blend_grey_box(const GreyBox& box, uint16_t color) {
    typedef uint32_t U32x8 __attribute__((vector_size(32)));
    typedef int32_t I32x8 __attribute__((vector_size(32)));
    typedef uint16_t U16x8 __attribute__((vector_size(16), may_alias));
    typedef uint8_t U8x8 __attribute__((vector_size(8), may_alias));
    const U32x8 source = U32x8{} + spread565(color);
    auto blend8 = [&](uint16_t* out, const uint16_t* q, uint64_t cells) {
        U8x8 cover;
        std::memcpy(&cover, &cells, sizeof cover);
        const U32x8 c = __builtin_convertvector(cover, U32x8);
        const U32x8 level = (c >> 3) - (U32x8)(c == 255);  // 255 -> 32
        U16x8 pixels;
        std::memcpy(&pixels, q, sizeof pixels);
        const U32x8 p = __builtin_convertvector(pixels, U32x8);
        const U32x8 wide = p | p << 16;
        const U32x8 diff = source - (wide & kSpreadMask);
        const I32x8 scaled = (I32x8)(diff * level) >> 5;
        const U32x8 r = ((wide & 0xFFE0F81Fu) + (U32x8)scaled) & kSpreadMask;
        pixels = __builtin_convertvector(r | r >> 16, U16x8);
        std::memcpy(out, &pixels, sizeof pixels);
    };
    for (int32_t j = 0; j < box.rows; ++j) {
        uint16_t* d = box.d + j * box.d_stride;
        const uint8_t* v = box.v + j * box.v_stride;
        int32_t i = 0;
        uint64_t cells;
        for (; i + 8 <= box.columns; i += 8) {
            std::memcpy(&cells, v + i, sizeof cells);
            if (cells != 0) blend8(d + i, d + i, cells);  // all zero: nothing to blend
        }
        if (i == box.columns) continue;
        constexpr bool little_endian = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;
        if (little_endian && v + i + 8 <= box.v_end && d + i + 8 <= box.d_end) {
            std::memcpy(&cells, v + i, sizeof cells);
            const int32_t rest = box.columns - i;
            cells &= ~uint64_t{0} >> (64 - 8 * rest);  // the row's bytes are the low ones
            if (cells == 0) continue;
            // Only the row's own pixels are stored: the next glyph reads the ones after them.
            uint16_t out[8];
            blend8(out, d + i, cells);
            for (int32_t k = 0; k < rest; ++k) d[i + k] = out[k];
            continue;
        }
        for (; i < box.columns; ++i)
            if (v[i]) d[i] = blend565(d[i], color, (v[i] >> 3) + (v[i] == 255));
    }
}

bool on_screen(const Canvas& c, int64_t x, int64_t y) {
    return x >= 0 && y >= 0 && x < c.width && y < c.height;
}

}  // namespace

void paint_ft_glyph(const Canvas& c, const FT_Bitmap& bitmap, int32_t x0, int32_t y0, const TextClip& clip,
                    const GlyphInk& ink) {
    Coverage cov;
    if (!c.origin || !readable(bitmap, cov)) return;
    // The bitmap's columns and rows that fall inside both the clip box and the screen.
    const int64_t left = std::max<int64_t>({clip.left, 0, x0}),
                  right = std::min<int64_t>({clip.right, c.width - 1, int64_t{x0} + cov.width - 1});
    const int64_t top = std::max<int64_t>({clip.top, 0, y0}),
                  bottom = std::min<int64_t>({clip.bottom, c.height - 1, int64_t{y0} + cov.rows - 1});
    const int32_t i0 = static_cast<int32_t>(left - x0), i1 = static_cast<int32_t>(right - x0);
    const int32_t j0 = static_cast<int32_t>(top - y0), j1 = static_cast<int32_t>(bottom - y0);
    const uint16_t color = ink.color;
    if (left > right || top > bottom) {
        // Nothing of the box is visible; the edge ring may still be.
    } else if (!cov.mono && !ink.outline && ink.rgb565 && c.ypitch > 0) {
        // The common case: grey coverage without an edge, rows of contiguous pixels.
        const GreyBox box{c.at(static_cast<int32_t>(left), static_cast<int32_t>(top)),
                          c.ypitch / 2,
                          c.at(c.width - 1, c.height - 1) + 1,
                          cov.buffer + static_cast<intptr_t>(j0) * cov.pitch + i0,
                          cov.pitch,
                          cov.buffer + static_cast<intptr_t>(cov.rows) * cov.pitch,
                          j1 - j0 + 1,
                          i1 - i0 + 1};
        blend_grey_box(box, color);
    } else {
        for (int32_t j = j0; j <= j1; ++j) {
            uint16_t* d = c.at(static_cast<int32_t>(left), y0 + j);
            for (int32_t i = i0; i <= i1; ++i, ++d) {
                const uint8_t v = cov(i, j);
                if (v == 255 || (cov.mono && v))
                    *d = color;
                else if (v != 0) {
                    if (ink.rgb565) *d = blend565(*d, color, v >> 3);
                } else if (ink.outline && cov.touches_ink(i, j))
                    *d = ink.outline_color;
            }
        }
    }
    if (ink.outline)
        edge_ring(cov, x0, y0, [&](int64_t x, int64_t y) {
            if (on_screen(c, x, y))
                *c.at(static_cast<int32_t>(x), static_cast<int32_t>(y)) = ink.outline_color;
        });
}

void paint_ft_glyph_reference(CCEDraw& dc, const FT_Bitmap& bitmap, int32_t x0, int32_t y0,
                              const TextClip& clip, const GlyphInk& ink) {
    Coverage cov;
    if (!readable(bitmap, cov)) return;
    for (int32_t j = 0; j < cov.rows; ++j)
        for (int32_t i = 0; i < cov.width; ++i) {
            const int64_t x = int64_t{x0} + i, y = int64_t{y0} + j;
            if (x < clip.left || x > clip.right || y < clip.top || y > clip.bottom) continue;
            const LONG px = static_cast<LONG>(x), py = static_cast<LONG>(y);
            const uint8_t v = cov(i, j);
            if (cov.mono ? v != 0 : v == 255)
                dc.DrawPixel(px, py, ink.color, 1);
            else if (v != 0)
                dc.DrawAlphaPixel(px, py, ink.color, v * 32 / 256);
            else if (ink.outline && cov.touches_ink(i, j))
                dc.DrawPixel(px, py, ink.outline_color, 1);
        }
    if (ink.outline)
        edge_ring(cov, x0, y0, [&](int64_t x, int64_t y) {
            if (x >= INT32_MIN && x <= INT32_MAX && y >= INT32_MIN && y <= INT32_MAX)
                dc.DrawPixel(static_cast<LONG>(x), static_cast<LONG>(y), ink.outline_color, 1);
        });
}

}  // namespace kesra
