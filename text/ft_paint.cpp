/* ft_paint.cpp - glyph bitmaps into the canvas. Rows are pitch bytes apart;
 * one-bit rows are most significant bit first. The edge test looks at the four
 * neighbours inside the bitmap; the ring outside the box is drawn after the
 * box, clipped to the screen but not to the clip box. */
#include "text/ft_paint.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

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

/* On x86-64 the eight-pixel blend is built for AVX2 beside the baseline, the
 * machine picking one at load time (machines with AVX-512 take the sixteen-pixel
 * blend below instead); elsewhere (ARM: NEON) as it stands. */
#if defined(__x86_64__)
#define KESRA_PIXEL_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define KESRA_PIXEL_CLONES
#endif

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
            if (cells == ~uint64_t{0})
                std::fill_n(d + i, 8, color);
            else if (cells != 0)
                blend8(d + i, d + i, cells);
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

#if defined(__x86_64__)
/* Sixteen cells over sixteen pixels: masked loads read only the lanes in
 * reach and only lanes with ink are stored; a step whose cells are all 0 or
 * 255 stores the colour without blending. The pixels come in by load and go
 * out by store, each taking the lane mask and a pointer per half (one row or
 * two rows of at most eight). */
struct WideInk {
    typedef uint32_t U32x16 __attribute__((vector_size(64)));
    typedef int32_t I32x16 __attribute__((vector_size(64)));
    U32x16 source;
    __m256i solid;

    __attribute__((target("avx512f,avx512bw,avx512vl"))) __m256i blend(__m128i cover, __mmask16 ink,
                                                                       __m256i pixels) const {
        // The arithmetic in vector types, the widenings as masked intrinsics
        // (GCC's unmasked AVX-512 ones set off -Wmaybe-uninitialized).
        const U32x16 c = (U32x16)_mm512_maskz_cvtepu8_epi32(ink, cover);
        const U32x16 level = (c >> 3) - (U32x16)(c == 255);  // 255 -> 32
        const U32x16 p = (U32x16)_mm512_maskz_cvtepu16_epi32(ink, pixels);
        const U32x16 wide = p | p << 16;
        const U32x16 diff = source - (wide & kSpreadMask);
        const I32x16 scaled = (I32x16)(diff * level) >> 5;
        const U32x16 r = ((wide & 0xFFE0F81Fu) + (U32x16)scaled) & kSpreadMask;
        return _mm512_maskz_cvtepi32_epi16(ink, (__m512i)(r | r >> 16));
    }
    /* The cells' lanes with ink and whether they are all 255. */
    __attribute__((target("avx512f,avx512bw,avx512vl"))) static __mmask16 inked(__m128i cover, bool& opaque) {
        const __mmask16 ink = _mm_test_epi8_mask(cover, cover);
        opaque = _mm_cmpeq_epi8_mask(cover, _mm_set1_epi8(-1)) == ink;
        return ink;
    }
};

__attribute__((target("avx512f,avx512bw,avx512vl"))) void blend_grey_box_16(const GreyBox& box,
                                                                            uint16_t color) {
    const WideInk wide{WideInk::U32x16{} + spread565(color), _mm256_set1_epi16(static_cast<short>(color))};
    // The box is copied: the stores below could otherwise alias it for the compiler.
    const int32_t rows = box.rows, columns = box.columns;
    const intptr_t d_stride = box.d_stride, v_stride = box.v_stride;
    uint16_t* d = box.d;
    const uint8_t* v = box.v;
    int32_t j = 0;
    if (columns <= 8) {
        // Narrow glyphs: two rows a step, the first in the low eight lanes.
        const __mmask16 row = static_cast<__mmask16>(0xFFu >> (8 - columns));
        for (; j + 2 <= rows; j += 2, d += 2 * d_stride, v += 2 * v_stride) {
            const __m128i cover =
                _mm_unpacklo_epi64(_mm_maskz_loadu_epi8(row, v), _mm_maskz_loadu_epi8(row, v + v_stride));
            bool opaque;
            const __mmask16 ink = WideInk::inked(cover, opaque);
            if (!ink) continue;
            const __mmask8 low = static_cast<__mmask8>(ink), high = static_cast<__mmask8>(ink >> 8);
            __m256i out = wide.solid;
            if (!opaque) {
                const __m256i pixels =
                    _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_maskz_loadu_epi16(low, d)),
                                            _mm_maskz_loadu_epi16(high, d + d_stride), 1);
                out = wide.blend(cover, ink, pixels);
            }
            _mm_mask_storeu_epi16(d, low, _mm256_castsi256_si128(out));
            _mm_mask_storeu_epi16(d + d_stride, high, _mm256_extracti128_si256(out, 1));
        }
    }
    for (; j < rows; ++j, d += d_stride, v += v_stride) {
        for (int32_t i = 0; i < columns; i += 16) {
            const int32_t n = std::min(columns - i, 16);
            const __mmask16 row = static_cast<__mmask16>(0xFFFFu >> (16 - n));
            const __m128i cover = _mm_maskz_loadu_epi8(row, v + i);
            bool opaque;
            const __mmask16 ink = WideInk::inked(cover, opaque);
            if (!ink) continue;
            const __m256i out =
                opaque ? wide.solid : wide.blend(cover, ink, _mm256_maskz_loadu_epi16(ink, d + i));
            _mm256_mask_storeu_epi16(d + i, ink, out);
        }
    }
}

bool machine_has_avx512() {
    static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                            __builtin_cpu_supports("avx512vl");
    return has;
}
#endif

std::atomic<bool> wide_blend_allowed{true};

void blend_grey(const GreyBox& box, uint16_t color) {
#if defined(__x86_64__)
    if (machine_has_avx512() && wide_blend_allowed.load(std::memory_order_relaxed))
        return blend_grey_box_16(box, color);
#endif
    blend_grey_box(box, color);
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
        blend_grey(box, color);
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

bool allow_wide_glyph_blend(bool allowed) {
    wide_blend_allowed.store(allowed, std::memory_order_relaxed);
#if defined(__x86_64__)
    return allowed && machine_has_avx512();
#else
    return false;
#endif
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
