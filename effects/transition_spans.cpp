/* transition_spans.cpp - the bitmap alpha blend over runs of pixels in 16-bit
 * lanes (SSE2, AVX2 or NEON through GCC and clang's vector extension):
 * sixteen pixels a step at one level, eight at per-pixel levels. Per field
 * the spread-form blend of core/pixel.h is d + floor((s - d) * level / 32),
 * which fits a 16-bit lane; levels of 31 and above store the colour, as the
 * bitmap blend does. */
#include <cstring>

#include "core/pixel.h"
#include "effects/transition.h"

namespace kesra {
namespace {

typedef uint16_t Lanes __attribute__((vector_size(16)));
typedef int16_t SignedLanes __attribute__((vector_size(16)));
typedef uint16_t WideLanes __attribute__((vector_size(32)));
typedef int16_t SignedWideLanes __attribute__((vector_size(32)));
typedef uint8_t Bytes __attribute__((vector_size(8)));

/* On x86-64 the uniform-level span blends are built for AVX2 beside the
 * baseline (sixteen pixels per 32-byte vector there, two 16-byte halves in
 * the baseline), the machine picking one at load time. */
#if defined(__x86_64__)
#define KESRA_SPAN_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define KESRA_SPAN_CLONES
#endif

/* The vector helpers are always inlined, so no 32-byte vector crosses a call
 * and the compiler's note on the AVX calling convention (-Wpsabi, given as
 * the file ends) does not apply; it is off for this file. */
#pragma GCC diagnostic ignored "-Wpsabi"

template <class V>
inline __attribute__((always_inline)) V load(const uint16_t* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class V>
inline __attribute__((always_inline)) void store(uint16_t* p, V v) {
    std::memcpy(p, &v, sizeof v);
}

/* d + floor((s - d) * level / 32) in each field; level 0-32 per lane. */
template <class L, class S>
inline __attribute__((always_inline)) L mix(L d, L s, S level) {
    const S dr = (S)(d >> 11), sr = (S)(s >> 11);
    const S dg = (S)((d >> 5) & 63), sg = (S)((s >> 5) & 63);
    const S db = (S)(d & 31), sb = (S)(s & 31);
    const L r = (L)(dr + (((sr - dr) * level) >> 5));
    const L g = (L)(dg + (((sg - dg) * level) >> 5));
    const L b = (L)(db + (((sb - db) * level) >> 5));
    return (L)(r << 11 | g << 5 | b);
}

uint16_t bitmap_blend(uint16_t d, uint16_t s, int level) { return level >= 31 ? s : blend565(d, s, level); }

}  // namespace

KESRA_SPAN_CLONES void blend_span_into(uint16_t* out, const uint16_t* d, const uint16_t* s, size_t n,
                                       int level) {
    if (level <= 0) {
        if (out != d) std::memcpy(out, d, n * 2);
        return;
    }
    if (level >= 31) {
        std::memcpy(out, s, n * 2);
        return;
    }
    const SignedWideLanes l = SignedWideLanes{} + static_cast<int16_t>(level);
    size_t i = 0;
    for (; i + 16 <= n; i += 16) store(out + i, mix(load<WideLanes>(d + i), load<WideLanes>(s + i), l));
    for (; i < n; ++i) out[i] = blend565(d[i], s[i], level);
}

KESRA_SPAN_CLONES void blend_span_color_into(uint16_t* out, const uint16_t* d, size_t n, uint16_t color,
                                             int level) {
    if (level <= 0) {
        if (out != d) std::memcpy(out, d, n * 2);
        return;
    }
    if (level >= 31) {
        fill565(out, static_cast<int64_t>(n), color);
        return;
    }
    const SignedWideLanes l = SignedWideLanes{} + static_cast<int16_t>(level);
    const WideLanes c = WideLanes{} + color;
    size_t i = 0;
    for (; i + 16 <= n; i += 16) store(out + i, mix(load<WideLanes>(d + i), c, l));
    for (; i < n; ++i) out[i] = blend565(d[i], color, level);
}

void blend_span(uint16_t* d, const uint16_t* s, size_t n, int level) { blend_span_into(d, d, s, n, level); }

void blend_span_color(uint16_t* d, size_t n, uint16_t color, int level) {
    blend_span_color_into(d, d, n, color, level);
}

void blend_span_alpha(uint16_t* d, const uint16_t* s, const uint8_t* alpha, size_t n) {
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        Bytes bytes;
        std::memcpy(&bytes, alpha + i, sizeof bytes);
        const SignedLanes level = __builtin_convertvector(bytes, SignedLanes);
        const Lanes opaque = (Lanes)(level >= 31);
        const Lanes sv = load<Lanes>(s + i);
        store(d + i, (sv & opaque) | (mix(load<Lanes>(d + i), sv, level) & ~opaque));
    }
    for (; i < n; ++i) d[i] = bitmap_blend(d[i], s[i], alpha[i]);
}

}  // namespace kesra
