/* coverage_blend.cpp - the 16-level blend of a coverage row. At levels 0..16
 * blend565_16(p, k, v) is blend565(p, k, 2v): the two shifted products agree
 * in every bit the spread mask keeps. So the vector routines run the 32-level
 * packed blend, and with AVX-512 its channel by channel form in 16-bit lanes,
 * c + ((k - c) * 2v >> 5) with an arithmetic shift. Level counts above 16
 * (which no engine setting paints with) take the plain loop. */
#include "text/coverage_blend.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <atomic>
#include <cstring>

namespace kesra {

#if defined(__x86_64__) && !defined(__SANITIZE_THREAD__)  // resolvers run before TSan's runtime
#define KESRA_COVERAGE_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define KESRA_COVERAGE_CLONES
#endif

KESRA_COVERAGE_CLONES void blend_coverage16_by8(uint16_t* d, const uint8_t* v, size_t n, uint16_t color,
                                                int levels) {
    if (levels > 16) return blend_coverage16_plain(d, v, n, color, levels);
    typedef uint32_t U32x8 __attribute__((vector_size(32)));
    typedef int32_t I32x8 __attribute__((vector_size(32)));
    typedef uint16_t U16x8 __attribute__((vector_size(16), may_alias));
    typedef uint8_t U8x8 __attribute__((vector_size(8), may_alias));
    const U32x8 source = U32x8{} + spread565(color);
    const U32x8 top = U32x8{} + static_cast<uint32_t>(levels < 0 ? 0 : levels);
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
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
    blend_coverage16_plain(d + i, v + i, n - i, color, levels);
}

#if defined(__x86_64__)
#define KESRA_AVX512 __attribute__((target("avx512f,avx512bw,avx512vl")))

namespace {

/* One channel: from + ((to - from) * level >> 5). */
KESRA_AVX512 inline __m512i mix(__m512i from, __m512i to, __m512i level) {
    return _mm512_add_epi16(from,
                            _mm512_srai_epi16(_mm512_mullo_epi16(_mm512_sub_epi16(to, from), level), 5));
}

}  // namespace

KESRA_AVX512 void blend_coverage16_by32(uint16_t* d, const uint8_t* v, size_t n, uint16_t color, int levels) {
    if (levels > 16) return blend_coverage16_plain(d, v, n, color, levels);
    const __m512i red = _mm512_set1_epi16(static_cast<short>(color >> 11));
    const __m512i green = _mm512_set1_epi16(static_cast<short>(color >> 5 & 0x3F));
    const __m512i blue = _mm512_set1_epi16(static_cast<short>(color & 0x1F));
    const __m512i top = _mm512_set1_epi16(static_cast<short>(levels < 0 ? 0 : levels));
    for (size_t i = 0; i < n; i += 32) {
        const size_t left = n - i;
        const __mmask32 row = left >= 32 ? ~__mmask32{0} : (__mmask32{1} << left) - 1;
        const __m512i c = _mm512_cvtepu8_epi16(_mm256_maskz_loadu_epi8(row, v + i));
        // 0 < c <= levels: the cells that paint, and the only pixels read or written.
        const __mmask32 paint = _mm512_mask_cmple_epu16_mask(_mm512_test_epi16_mask(c, c), c, top);
        if (!paint) continue;
        const __m512i level = _mm512_add_epi16(c, c);
        const __m512i pixels = _mm512_maskz_loadu_epi16(paint, d + i);
        const __m512i b = _mm512_and_si512(pixels, _mm512_set1_epi16(0x1F));
        const __m512i g = _mm512_and_si512(_mm512_srli_epi16(pixels, 5), _mm512_set1_epi16(0x3F));
        const __m512i r = _mm512_srli_epi16(pixels, 11);
        const __m512i out =
            _mm512_ternarylogic_epi32(_mm512_slli_epi16(mix(r, red, level), 11),
                                      _mm512_slli_epi16(mix(g, green, level), 5), mix(b, blue, level), 0xFE);
        _mm512_mask_storeu_epi16(d + i, paint, out);
    }
}

bool wide_coverage_blend() {
    __builtin_cpu_init();  // may run before the constructors that would do it
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vl");
}
#else
bool wide_coverage_blend() { return false; }
void blend_coverage16_by32(uint16_t* d, const uint8_t* v, size_t n, uint16_t color, int levels) {
    blend_coverage16_by8(d, v, n, color, levels);
}
#endif

namespace {

using CoverageBlend = void (*)(uint16_t*, const uint8_t*, size_t, uint16_t, int);

}  // namespace

void blend_coverage16(uint16_t* d, const uint8_t* v, size_t n, uint16_t color, int levels) {
    static const CoverageBlend widest = wide_coverage_blend() ? blend_coverage16_by32 : blend_coverage16_by8;
    widest(d, v, n, color, levels);
}

}  // namespace kesra
