/* coverage_blend.cpp - the 16-level blend of coverage rows. At levels 0..16
 * blend565_16(p, k, v) is blend565(p, k, 2v): the two shifted products agree
 * in every bit the spread mask keeps. So the vector routines run the 32-level
 * packed blend, and with AVX-512 its channel by channel form in 16-bit lanes,
 * c + ((k - c) * 2v >> 5) with an arithmetic shift. Level counts above 16
 * (which no engine setting paints with) take the plain loop. */
#include "text/coverage_blend.h"

#include <cstring>

#include "core/avx512_lanes.h"

namespace kesra {

#if defined(__x86_64__) && !defined(__SANITIZE_THREAD__)  // resolvers run before TSan's runtime
#define KESRA_COVERAGE_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define KESRA_COVERAGE_CLONES
#endif

KESRA_COVERAGE_CLONES void blend_coverage16_by8(const CoverageRows& box, int levels) {
    if (levels > 16) return blend_coverage16_plain(box, levels);
    typedef uint32_t U32x8 __attribute__((vector_size(32)));
    typedef int32_t I32x8 __attribute__((vector_size(32)));
    typedef uint16_t U16x8 __attribute__((vector_size(16), may_alias));
    typedef uint8_t U8x8 __attribute__((vector_size(8), may_alias));
    const U32x8 top = U32x8{} + static_cast<uint32_t>(levels < 0 ? 0 : levels);
    for (int j = 0; j < box.rows; ++j) {
        uint16_t* d = box.d + j * box.d_stride;
        const uint8_t* v = box.v + j * box.v_stride;
        const uint16_t color = box.colors[j * box.color_step];
        const U32x8 source = U32x8{} + spread565(color);
        int i = 0;
        for (; i + 8 <= box.columns; i += 8) {
            uint64_t cells;
            std::memcpy(&cells, v + i, sizeof cells);
            if (cells == 0) continue;
            U8x8 cover;
            std::memcpy(&cover, &cells, sizeof cover);
            const U32x8 c = __builtin_convertvector(cover, U32x8);
            const U32x8 level = (c + c) & (U32x8)(c - 1 < top);  // 0 where not painted: keeps the pixel
            U16x8 pixels;
            std::memcpy(&pixels, d + i, sizeof pixels);
            const U32x8 p = __builtin_convertvector(pixels, U32x8);
            const U32x8 wide = p | p << 16;
            const U32x8 diff = source - (wide & kSpreadMask);
            const I32x8 scaled = (I32x8)(diff * level) >> 5;
            const U32x8 r = ((wide & 0xFFE0F81Fu) + (U32x8)scaled) & kSpreadMask;
            pixels = __builtin_convertvector(r | r >> 16, U16x8);
            std::memcpy(d + i, &pixels, sizeof pixels);
        }
        for (; i < box.columns; ++i)
            if (v[i] > 0 && v[i] <= levels) d[i] = blend565_16(d[i], color, v[i]);
    }
}

#if defined(__x86_64__)

namespace {

using lanes::half;
using lanes::join;
using lanes::mix;

/* A colour's three channels in every lane (or one colour per half). */
struct Channels {
    __m512i red, green, blue;

    KESRA_AVX512 explicit Channels(__m512i colors)
        : red(_mm512_srli_epi16(colors, 11)),
          green(_mm512_and_si512(_mm512_srli_epi16(colors, 5), _mm512_set1_epi16(0x3F))),
          blue(_mm512_and_si512(colors, _mm512_set1_epi16(0x1F))) {}

    /* Pixels blended towards the colour at cells c, channel by channel. */
    KESRA_AVX512 __m512i blend(__m512i pixels, __m512i c) const {
        const __m512i level = _mm512_add_epi16(c, c);
        const __m512i r = mix(_mm512_srli_epi16(pixels, 11), red, level);
        const __m512i g =
            mix(_mm512_and_si512(_mm512_srli_epi16(pixels, 5), _mm512_set1_epi16(0x3F)), green, level);
        const __m512i b = mix(_mm512_and_si512(pixels, _mm512_set1_epi16(0x1F)), blue, level);
        return _mm512_ternarylogic_epi32(_mm512_slli_epi16(r, 11), _mm512_slli_epi16(g, 5), b, 0xFE);
    }
};

KESRA_AVX512 inline Channels channels_of(uint16_t low, uint16_t high) {
    return Channels(
        join(_mm256_set1_epi16(static_cast<short>(low)), _mm256_set1_epi16(static_cast<short>(high))));
}

/* 0 < c <= levels: the cells that paint, and the only pixels read or written. */
KESRA_AVX512 inline __mmask32 painted(__m512i c, __m512i top) {
    return _mm512_mask_cmple_epu16_mask(_mm512_test_epi16_mask(c, c), c, top);
}

}  // namespace

KESRA_AVX512 void blend_coverage16_by32(const CoverageRows& box, int levels) {
    if (levels > 16) return blend_coverage16_plain(box, levels);
    const __m512i top = _mm512_set1_epi16(static_cast<short>(levels < 0 ? 0 : levels));
    // The box is copied: the stores could otherwise alias it for the compiler.
    const int rows = box.rows, columns = box.columns;
    const intptr_t d_stride = box.d_stride, v_stride = box.v_stride, color_step = box.color_step;
    if (columns <= 0) return;
    if (columns <= 16) {
        const __mmask16 row = static_cast<__mmask16>((1u << columns) - 1);
        Channels ink = channels_of(box.colors[0], box.colors[0]);  // for all rows where the step is 0
        for (int j = 0; j < rows; j += 2) {
            // A second row past the box has an empty mask and the first row's pointers.
            const bool two = j + 1 < rows;
            uint16_t* d0 = box.d + j * d_stride;
            uint16_t* d1 = two ? d0 + d_stride : d0;
            const uint8_t* v0 = box.v + j * v_stride;
            const uint8_t* v1 = two ? v0 + v_stride : v0;
            const __m256i cover =
                _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_maskz_loadu_epi8(row, v0)),
                                        _mm_maskz_loadu_epi8(two ? row : __mmask16{0}, v1), 1);
            const __m512i c = _mm512_cvtepu8_epi16(cover);
            const __mmask32 paint = painted(c, top);
            if (!paint) continue;
            const __mmask16 paint0 = static_cast<__mmask16>(paint),
                            paint1 = static_cast<__mmask16>(paint >> 16);
            if (color_step != 0) {
                const uint16_t color0 = box.colors[j * color_step];
                ink = channels_of(color0, two ? box.colors[(j + 1) * color_step] : color0);
            }
            const __m512i pixels =
                join(_mm256_maskz_loadu_epi16(paint0, d0), _mm256_maskz_loadu_epi16(paint1, d1));
            const __m512i out = ink.blend(pixels, c);
            _mm256_mask_storeu_epi16(d0, paint0, half<0>(out));
            _mm256_mask_storeu_epi16(d1, paint1, half<1>(out));
        }
        return;
    }
    for (int j = 0; j < rows; ++j) {
        uint16_t* d = box.d + j * d_stride;
        const uint8_t* v = box.v + j * v_stride;
        const uint16_t color = box.colors[j * color_step];
        const Channels ink = channels_of(color, color);
        for (int i = 0; i < columns; i += 32) {
            const int left = columns - i;
            const __mmask32 row = left >= 32 ? ~__mmask32{0} : (__mmask32{1} << left) - 1;
            const __m512i c = _mm512_cvtepu8_epi16(_mm256_maskz_loadu_epi8(row, v + i));
            const __mmask32 paint = painted(c, top);
            if (!paint) continue;
            const __m512i out = ink.blend(_mm512_maskz_loadu_epi16(paint, d + i), c);
            _mm512_mask_storeu_epi16(d + i, paint, out);
        }
    }
}

bool wide_coverage_blend() {
    __builtin_cpu_init();  // may run before the constructors that would do it
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vl");
}
#else
bool wide_coverage_blend() { return false; }
void blend_coverage16_by32(const CoverageRows& box, int levels) { blend_coverage16_by8(box, levels); }
#endif

namespace {

using CoverageBlend = void (*)(const CoverageRows&, int);

/* The widest blend the machine runs. */
const CoverageBlend widest_coverage_blend =
    wide_coverage_blend() ? blend_coverage16_by32 : blend_coverage16_by8;

}  // namespace

void blend_coverage16(const CoverageRows& box, int levels) { widest_coverage_blend(box, levels); }

}  // namespace kesra
