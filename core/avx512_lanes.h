/* avx512_lanes.h - the small AVX-512 pieces the wide RGB565 blends share:
 * joining two 256-bit halves, taking one back, and mixing one 5- or 6-bit
 * channel toward a colour by a level of 0-32. Each function carries its own
 * target attribute, so files that include this need no special flags, and
 * callers pick these routines only after checking the processor. */
#pragma once

#if defined(__x86_64__)
#include <immintrin.h>

#define KESRA_AVX512 __attribute__((target("avx512f,avx512bw,avx512vl")))

namespace kesra {
namespace lanes {

/* Two halves joined and a half taken, through the masked forms: GCC 12's
 * unmasked AVX-512 insertions and extractions set off -Wmaybe-uninitialized. */
KESRA_AVX512 inline __m512i join(__m256i low, __m256i high) {
    return _mm512_maskz_inserti64x4(0xFF, _mm512_maskz_inserti64x4(0xFF, _mm512_setzero_si512(), low, 0),
                                    high, 1);
}
template <int kHalf>
KESRA_AVX512 inline __m256i half(__m512i v) {
    return _mm512_maskz_extracti64x4_epi64(0xF, v, kHalf);
}

/* One channel: from + ((to - from) * level >> 5), the shift arithmetic. */
KESRA_AVX512 inline __m512i mix(__m512i from, __m512i to, __m512i level) {
    return _mm512_add_epi16(from,
                            _mm512_srai_epi16(_mm512_mullo_epi16(_mm512_sub_epi16(to, from), level), 5));
}

}  // namespace lanes
}  // namespace kesra

#endif
