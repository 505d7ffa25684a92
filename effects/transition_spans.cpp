/* transition_spans.cpp - the bitmap alpha blend over runs of pixels, eight at
 * a time in 16-bit lanes (SSE2 or NEON through GCC and clang's vector
 * extension). Per field the spread-form blend of core/pixel.h is
 * d + floor((s - d) * level / 32), which fits a 16-bit lane; levels of 31 and
 * above store the colour, as the bitmap blend does. */
#include <cstring>

#include "core/pixel.h"
#include "effects/transition.h"

namespace kesra {
namespace {

typedef uint16_t Lanes __attribute__((vector_size(16)));
typedef int16_t SignedLanes __attribute__((vector_size(16)));
typedef uint8_t Bytes __attribute__((vector_size(8)));

Lanes load(const uint16_t* p) {
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

void store(uint16_t* p, Lanes v) { std::memcpy(p, &v, sizeof v); }

/* d + floor((s - d) * level / 32) in each field; level 0-32 per lane. */
Lanes mix(Lanes d, Lanes s, SignedLanes level) {
    const SignedLanes dr = (SignedLanes)(d >> 11), sr = (SignedLanes)(s >> 11);
    const SignedLanes dg = (SignedLanes)((d >> 5) & 63), sg = (SignedLanes)((s >> 5) & 63);
    const SignedLanes db = (SignedLanes)(d & 31), sb = (SignedLanes)(s & 31);
    const Lanes r = (Lanes)(dr + (((sr - dr) * level) >> 5));
    const Lanes g = (Lanes)(dg + (((sg - dg) * level) >> 5));
    const Lanes b = (Lanes)(db + (((sb - db) * level) >> 5));
    return (Lanes)(r << 11 | g << 5 | b);
}

uint16_t bitmap_blend(uint16_t d, uint16_t s, int level) { return level >= 31 ? s : blend565(d, s, level); }

}  // namespace

void blend_span(uint16_t* d, const uint16_t* s, size_t n, int level) {
    if (level <= 0) return;
    if (level >= 31) {
        std::memcpy(d, s, n * 2);
        return;
    }
    const SignedLanes l = SignedLanes{} + static_cast<int16_t>(level);
    size_t i = 0;
    for (; i + 8 <= n; i += 8) store(d + i, mix(load(d + i), load(s + i), l));
    for (; i < n; ++i) d[i] = blend565(d[i], s[i], level);
}

void blend_span_color(uint16_t* d, size_t n, uint16_t color, int level) {
    if (level <= 0) return;
    if (level >= 31) {
        fill565(d, static_cast<int64_t>(n), color);
        return;
    }
    const SignedLanes l = SignedLanes{} + static_cast<int16_t>(level);
    const Lanes c = Lanes{} + color;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) store(d + i, mix(load(d + i), c, l));
    for (; i < n; ++i) d[i] = blend565(d[i], color, level);
}

void blend_span_alpha(uint16_t* d, const uint16_t* s, const uint8_t* alpha, size_t n) {
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        Bytes bytes;
        std::memcpy(&bytes, alpha + i, sizeof bytes);
        const SignedLanes level = __builtin_convertvector(bytes, SignedLanes);
        const Lanes opaque = (Lanes)(level >= 31);
        const Lanes sv = load(s + i);
        store(d + i, (sv & opaque) | (mix(load(d + i), sv, level) & ~opaque));
    }
    for (; i < n; ++i) d[i] = bitmap_blend(d[i], s[i], alpha[i]);
}

}  // namespace kesra
