/* ft_paint.cpp - glyph bitmaps into the canvas. Rows are pitch bytes apart;
 * one-bit rows are most significant bit first. The edge test looks at the four
 * neighbours inside the bitmap; the ring outside the box is drawn after the
 * box, clipped to the screen but not to the clip box. */
#include "text/ft_paint.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "core/avx512_lanes.h"
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
 * machine picking one at load time (machines with AVX-512 take the thirty-two-pixel
 * blend below instead); elsewhere (ARM: NEON) as it stands. */
#if defined(__x86_64__) && !defined(__SANITIZE_THREAD__)  // resolvers run before TSan's runtime
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
/* Thirty-two cells over thirty-two pixels in 16-bit lanes: four rows of at
 * most eight pixels, two of at most sixteen, or one row thirty-two columns at
 * a time. The packed blend above equals, channel by channel, c + ((k - c) *
 * level >> 5) with an arithmetic shift (no field borrows from another, and
 * the products stay within 16 bits), so each channel is blended on its own.
 * Masked loads read only the rows' cells and the pixels with ink; only
 * pixels with ink are stored; a step whose inked cells are all 255 stores
 * the colour. */
using lanes::half;
using lanes::join;
using lanes::mix;

struct WideInk {
    __m512i red, green, blue;  // the colour's channels in every lane
    __m512i solid;

    KESRA_AVX512 explicit WideInk(uint16_t color)
        : red(_mm512_set1_epi16(static_cast<short>(color >> 11))),
          green(_mm512_set1_epi16(static_cast<short>(color >> 5 & 0x3F))),
          blue(_mm512_set1_epi16(static_cast<short>(color & 0x1F))),
          solid(_mm512_set1_epi16(static_cast<short>(color))) {}

    KESRA_AVX512 __m512i blend(__m256i cover, __m512i pixels) const {
        const __m512i c = _mm512_cvtepu8_epi16(cover);
        const __m512i eighth = _mm512_srli_epi16(c, 3);
        // 255 is level 32, so that it gives the colour itself.
        const __m512i level = _mm512_mask_add_epi16(
            eighth, _mm512_cmpeq_epi16_mask(c, _mm512_set1_epi16(255)), eighth, _mm512_set1_epi16(1));
        const __m512i b = _mm512_and_si512(pixels, _mm512_set1_epi16(0x1F));
        const __m512i g = _mm512_and_si512(_mm512_srli_epi16(pixels, 5), _mm512_set1_epi16(0x3F));
        const __m512i r = _mm512_srli_epi16(pixels, 11);
        return _mm512_ternarylogic_epi32(_mm512_slli_epi16(mix(r, red, level), 11),
                                         _mm512_slli_epi16(mix(g, green, level), 5), mix(b, blue, level),
                                         0xFE);
    }
};

/* One step: `rows` rows (4, 2 or 1) of `lanes` cells (8, 16 or 32); a row
 * past the box has an empty mask and its pointers stay on the first row. */
template <int kRows>
KESRA_AVX512 inline void blend_step(const WideInk& ink, uint16_t* d, intptr_t d_stride, const uint8_t* v,
                                    intptr_t v_stride, int present, uint32_t row_mask) {
    constexpr int kLanes = 32 / kRows;
    uint16_t* dr[kRows];
    const uint8_t* vr[kRows];
    uint32_t rm[kRows];
    for (int k = 0; k < kRows; ++k) {
        const bool here = k < present;
        dr[k] = here ? d + k * d_stride : d;
        vr[k] = here ? v + k * v_stride : v;
        rm[k] = here ? row_mask : 0;
    }
    __m256i cover;
    if (kRows == 4) {
        const __m128i low = _mm_unpacklo_epi64(_mm_maskz_loadu_epi8(static_cast<__mmask16>(rm[0]), vr[0]),
                                               _mm_maskz_loadu_epi8(static_cast<__mmask16>(rm[1]), vr[1]));
        const __m128i high = _mm_unpacklo_epi64(_mm_maskz_loadu_epi8(static_cast<__mmask16>(rm[2]), vr[2]),
                                                _mm_maskz_loadu_epi8(static_cast<__mmask16>(rm[3]), vr[3]));
        cover = _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
    } else if (kRows == 2) {
        cover = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_maskz_loadu_epi8(static_cast<__mmask16>(rm[0]), vr[0])),
            _mm_maskz_loadu_epi8(static_cast<__mmask16>(rm[1]), vr[1]), 1);
    } else {
        cover = _mm256_maskz_loadu_epi8(rm[0], vr[0]);
    }
    const __mmask32 inked = _mm256_test_epi8_mask(cover, cover);
    if (!inked) return;
    const bool opaque = _mm256_cmpeq_epi8_mask(cover, _mm256_set1_epi8(-1)) == inked;
    constexpr uint32_t kRowBits = kLanes == 32 ? ~0u : (1u << kLanes) - 1;
    uint32_t ink_of[kRows];
    for (int k = 0; k < kRows; ++k) ink_of[k] = (inked >> (k * kLanes)) & kRowBits;
    __m512i out = ink.solid;
    if (!opaque) {
        __m512i pixels;
        if (kRows == 4) {
            const __m256i low = _mm256_inserti128_si256(
                _mm256_castsi128_si256(_mm_maskz_loadu_epi16(static_cast<__mmask8>(ink_of[0]), dr[0])),
                _mm_maskz_loadu_epi16(static_cast<__mmask8>(ink_of[1]), dr[1]), 1);
            const __m256i high = _mm256_inserti128_si256(
                _mm256_castsi128_si256(_mm_maskz_loadu_epi16(static_cast<__mmask8>(ink_of[2]), dr[2])),
                _mm_maskz_loadu_epi16(static_cast<__mmask8>(ink_of[3]), dr[3]), 1);
            pixels = join(low, high);
        } else if (kRows == 2) {
            pixels = join(_mm256_maskz_loadu_epi16(static_cast<__mmask16>(ink_of[0]), dr[0]),
                          _mm256_maskz_loadu_epi16(static_cast<__mmask16>(ink_of[1]), dr[1]));
        } else {
            pixels = _mm512_maskz_loadu_epi16(ink_of[0], dr[0]);
        }
        out = ink.blend(cover, pixels);
    }
    if (kRows == 4) {
        const __m256i low = half<0>(out), high = half<1>(out);
        _mm_mask_storeu_epi16(dr[0], static_cast<__mmask8>(ink_of[0]), _mm256_castsi256_si128(low));
        _mm_mask_storeu_epi16(dr[1], static_cast<__mmask8>(ink_of[1]), _mm256_extracti128_si256(low, 1));
        _mm_mask_storeu_epi16(dr[2], static_cast<__mmask8>(ink_of[2]), _mm256_castsi256_si128(high));
        _mm_mask_storeu_epi16(dr[3], static_cast<__mmask8>(ink_of[3]), _mm256_extracti128_si256(high, 1));
    } else if (kRows == 2) {
        _mm256_mask_storeu_epi16(dr[0], static_cast<__mmask16>(ink_of[0]), half<0>(out));
        _mm256_mask_storeu_epi16(dr[1], static_cast<__mmask16>(ink_of[1]), half<1>(out));
    } else {
        _mm512_mask_storeu_epi16(dr[0], ink_of[0], out);
    }
}

KESRA_AVX512 void blend_grey_box_32(const GreyBox& box, uint16_t color) {
    const WideInk ink(color);
    // The box is copied: the stores could otherwise alias it for the compiler.
    const int32_t rows = box.rows, columns = box.columns;
    const intptr_t d_stride = box.d_stride, v_stride = box.v_stride;
    uint16_t* d = box.d;
    const uint8_t* v = box.v;
    if (columns <= 8) {
        const uint32_t row = (1u << columns) - 1;
        for (int32_t j = 0; j < rows; j += 4, d += 4 * d_stride, v += 4 * v_stride)
            blend_step<4>(ink, d, d_stride, v, v_stride, std::min(rows - j, 4), row);
    } else if (columns <= 16) {
        const uint32_t row = (1u << columns) - 1;
        for (int32_t j = 0; j < rows; j += 2, d += 2 * d_stride, v += 2 * v_stride)
            blend_step<2>(ink, d, d_stride, v, v_stride, std::min(rows - j, 2), row);
    } else {
        for (int32_t j = 0; j < rows; ++j, d += d_stride, v += v_stride)
            for (int32_t i = 0; i < columns; i += 32) {
                const int32_t n = std::min(columns - i, 32);
                blend_step<1>(ink, d + i, d_stride, v + i, v_stride, 1, n == 32 ? ~0u : (1u << n) - 1);
            }
    }
}

#endif

using GreyBlend = void (*)(const GreyBox&, uint16_t);

/* The widest blend the machine runs. */
GreyBlend widest_blend() {
#if defined(__x86_64__)
    __builtin_cpu_init();  // may run before the constructors that would do it
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vl"))
        return blend_grey_box_32;
#endif
    return blend_grey_box;
}

/* The blend in use: the widest unless a test narrowed it. */
std::atomic<GreyBlend> grey_blend{widest_blend()};

void blend_grey(const GreyBox& box, uint16_t color) {
    grey_blend.load(std::memory_order_relaxed)(box, color);
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
    const GreyBlend widest = widest_blend();
    grey_blend.store(allowed ? widest : blend_grey_box, std::memory_order_relaxed);
    return allowed && widest != blend_grey_box;
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
