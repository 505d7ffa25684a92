/* transition_spans.cpp - the bitmap alpha blend over runs of pixels in 16-bit
 * lanes (SSE2, AVX2 or NEON through GCC and clang's vector extension):
 * sixteen pixels a step at one level, eight at per-pixel levels. Per field
 * the spread-form blend of core/pixel.h is d + floor((s - d) * level / 32),
 * which fits a 16-bit lane; levels of 31 and above store the colour, as the
 * bitmap blend does. Also the checker row and the nearest-neighbour row
 * gather (32 pixels a permute with AVX-512, one by one elsewhere). */
#include <algorithm>
#include <cstring>
#include <utility>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

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
#if defined(__x86_64__) && !defined(__SANITIZE_THREAD__)  // resolvers run before TSan's runtime
#define KESRA_SPAN_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define KESRA_SPAN_CLONES
#endif

/* The vector helpers are always inlined and take and give vectors by
 * reference, so no 32-byte vector crosses a call or is passed by value
 * where AVX is off (clang refuses that; GCC notes it, -Wpsabi, which is off
 * for this file). */
#pragma GCC diagnostic ignored "-Wpsabi"

template <class V>
inline __attribute__((always_inline)) void load(V& v, const uint16_t* p) {
    std::memcpy(&v, p, sizeof v);
}

template <class V>
inline __attribute__((always_inline)) void store(uint16_t* p, const V& v) {
    std::memcpy(p, &v, sizeof v);
}

/* out = d + floor((s - d) * level / 32) in each field; level 0-32 per lane. */
template <class L, class S>
inline __attribute__((always_inline)) void mix(L& out, const L& d, const L& s, const S& level) {
    const S dr = (S)(d >> 11), sr = (S)(s >> 11);
    const S dg = (S)((d >> 5) & 63), sg = (S)((s >> 5) & 63);
    const S db = (S)(d & 31), sb = (S)(s & 31);
    const L r = (L)(dr + (((sr - dr) * level) >> 5));
    const L g = (L)(dg + (((sg - dg) * level) >> 5));
    const L b = (L)(db + (((sb - db) * level) >> 5));
    out = (L)(r << 11 | g << 5 | b);
}

uint16_t bitmap_blend(uint16_t d, uint16_t s, int level) { return level >= 31 ? s : blend565(d, s, level); }

#if defined(__x86_64__)
bool has_avx512bw() {
    static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
    return has;
}

#define KESRA_HUGE __attribute__((target("avx512f,avx512bw"), always_inline)) inline

/* mix on 32 pixels at one level (1 to 30), each field's change added to d in
 * place (the fields stay in range, so nothing carries between them): red's
 * (s_r - d_r) * level, shifted up 6, holds floor(change / 32) in the top 5
 * bits, all that a change there needs modulo 2^16; green's change comes from
 * the high half of a product (x * level * 64 >> 16 = x * level / 32, floored,
 * for x = 32 * (s_g - d_g)); blue's from its own field. */
KESRA_HUGE __m512i mix_huge(__m512i d, __m512i s, int level) {
    const __m512i l = _mm512_set1_epi16(static_cast<int16_t>(level));
    const __m512i high_level = _mm512_set1_epi16(static_cast<int16_t>(level << 6));
    const __m512i red = _mm512_set1_epi16(static_cast<int16_t>(0xF800));
    const __m512i green = _mm512_set1_epi16(0x07E0), blue = _mm512_set1_epi16(0x001F);
    const __m512i dr = _mm512_sub_epi16(_mm512_srli_epi16(s, 11), _mm512_srli_epi16(d, 11));
    const __m512i red_change = _mm512_and_si512(_mm512_mullo_epi16(dr, high_level), red);
    const __m512i dg = _mm512_sub_epi16(_mm512_and_si512(s, green), _mm512_and_si512(d, green));
    const __m512i green_change = _mm512_slli_epi16(_mm512_mulhi_epi16(dg, high_level), 5);
    const __m512i db = _mm512_sub_epi16(_mm512_and_si512(s, blue), _mm512_and_si512(d, blue));
    const __m512i blue_change = _mm512_srai_epi16(_mm512_mullo_epi16(db, l), 5);
    return _mm512_add_epi16(_mm512_add_epi16(d, red_change), _mm512_add_epi16(green_change, blue_change));
}

/* The uniform-level blend 32 pixels a step; returns how many it wrote. */
__attribute__((target("avx512f,avx512bw"))) size_t blend_huge(uint16_t* out, const uint16_t* d,
                                                              const uint16_t* s, size_t n, int level) {
    size_t i = 0;
    for (; i + 32 <= n; i += 32)
        _mm512_storeu_si512(out + i, mix_huge(_mm512_loadu_si512(d + i), _mm512_loadu_si512(s + i), level));
    return i;
}
#endif

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
#if defined(__x86_64__)
    if (has_avx512bw()) i = blend_huge(out, d, s, n, level);
#endif
    for (; i + 16 <= n; i += 16) {
        WideLanes below, above, mixed;
        load(below, d + i);
        load(above, s + i);
        mix(mixed, below, above, l);
        store(out + i, mixed);
    }
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
    for (; i + 16 <= n; i += 16) {
        WideLanes below, mixed;
        load(below, d + i);
        mix(mixed, below, c, l);
        store(out + i, mixed);
    }
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
        Lanes sv, dv, mixed;
        load(sv, s + i);
        load(dv, d + i);
        mix(mixed, dv, sv, level);
        store(d + i, Lanes((sv & opaque) | (mixed & ~opaque)));
    }
    for (; i < n; ++i) d[i] = bitmap_blend(d[i], s[i], alpha[i]);
}

#if defined(__x86_64__)
namespace {

/* The checker row 32 pixels a step: masked stores of black, nothing read. */
__attribute__((target("avx512f,avx512bw"))) size_t checker_huge(uint16_t* row, size_t n, int first) {
    const __mmask32 black = first ? 0xAAAAAAAAu : 0x55555555u;
    size_t i = 0;
    for (; i + 32 <= n; i += 32) _mm512_mask_storeu_epi16(row + i, black, _mm512_setzero_si512());
    return i;
}

}  // namespace
#endif

KESRA_SPAN_CLONES void checker_span(uint16_t* row, size_t n, int first) {
    size_t i = 0;
#if defined(__x86_64__)
    if (has_avx512bw()) {
        i = checker_huge(row, n, first);
        for (i += static_cast<size_t>(first); i < n; i += 2) row[i] = 0;
        return;
    }
#endif
    WideLanes keep{};
    for (int k = 0; k < 16; ++k) keep[k] = ((k + first) & 1) ? 0xFFFF : 0;
    for (; i + 16 <= n; i += 16) {
        WideLanes pixels;
        load(pixels, row + i);
        pixels &= keep;
        store(row + i, pixels);
    }
    for (i += static_cast<size_t>(first); i < n; i += 2) row[i] = 0;
}

namespace {

/* Outputs per group such that every group's columns lie within 64 source
 * pixels from its first one on, or 0 when not even 16 do. */
int permute_group(const std::vector<LONG>& columns) {
    for (int group : {32, 16}) {
        bool fits = true;
        for (size_t i = 0; i < columns.size() && fits; ++i) {
            const LONG from = columns[i - i % static_cast<size_t>(group)];
            fits = columns[i] >= from && columns[i] - from < 64;
        }
        if (fits) return group;
    }
    return 0;
}

#if defined(__x86_64__)

/* The first count lanes of a 32-lane mask (none for count 0). */
__mmask32 first_lanes(size_t count) { return count >= 32 ? ~__mmask32{0} : (__mmask32{1} << count) - 1; }

/* The 32 pixels index picks from the 64 at in + base, of which the masked
 * loads take only the width - base (at least 1) that the row holds. */
__attribute__((target("avx512f,avx512bw"))) __m512i pick_held(const uint16_t* in, LONG base, LONG width,
                                                              const uint16_t* index) {
    const LONG held = width - base;
    const __m512i a = _mm512_maskz_loadu_epi16(first_lanes(static_cast<size_t>(held)), in + base);
    const __m512i b =
        _mm512_maskz_loadu_epi16(first_lanes(held > 32 ? static_cast<size_t>(held - 32) : 0), in + base + 32);
    return _mm512_permutex2var_epi16(a, _mm512_loadu_si512(index), b);
}

/* Each group of outputs picked by one permute from the 64 pixels at its
 * first column; the masked loads take only pixels that the row holds. */
__attribute__((target("avx512f,avx512bw"))) void gather_groups(uint16_t* out, const uint16_t* in,
                                                               const LONG* columns, size_t n, int group,
                                                               const uint16_t* index, LONG width) {
    const size_t step = static_cast<size_t>(group);
    size_t g = 0;
    // Groups that end inside the row and whose 64 pixels do too: plain loads.
    for (; g + 32 <= n && columns[g] + 64 <= width; g += step, index += 32) {
        const __m512i a = _mm512_loadu_si512(in + columns[g]);
        const __m512i b = _mm512_loadu_si512(in + columns[g] + 32);
        _mm512_storeu_si512(out + g, _mm512_permutex2var_epi16(a, _mm512_loadu_si512(index), b));
    }
    for (; g < n; g += step, index += 32) {
        const __m512i picked = pick_held(in, columns[g], width, index);
        const size_t count = std::min(n - g, step);
        const __mmask32 written = first_lanes(count);
        _mm512_mask_storeu_epi16(out + g, written, picked);
    }
}

/* gather_groups and blend_span_into in one pass: each group's picked pixels
 * blended over under at level (1 to 30) into out, which may be under. Stores
 * are masked to the group's own outputs, so no later group reads a pixel of
 * under already written. */
__attribute__((target("avx512f,avx512bw"))) void gather_blend_groups(uint16_t* out, const uint16_t* under,
                                                                     const uint16_t* in, const LONG* columns,
                                                                     size_t n, int group,
                                                                     const uint16_t* index, LONG width,
                                                                     int level) {
    const size_t step = static_cast<size_t>(group);
    size_t g = 0;
    // Whole groups of 32 whose 64 pixels lie inside the row: plain loads and stores.
    for (; group == 32 && g + 32 <= n && columns[g] + 64 <= width; g += 32, index += 32) {
        const __m512i a = _mm512_loadu_si512(in + columns[g]);
        const __m512i b = _mm512_loadu_si512(in + columns[g] + 32);
        const __m512i picked = _mm512_permutex2var_epi16(a, _mm512_loadu_si512(index), b);
        _mm512_storeu_si512(out + g, mix_huge(_mm512_loadu_si512(under + g), picked, level));
    }
    for (; g < n; g += step, index += 32) {
        const __m512i picked = pick_held(in, columns[g], width, index);
        const size_t count = std::min(n - g, step);
        const __mmask32 mine = first_lanes(count);
        const __m512i below = _mm512_maskz_loadu_epi16(mine, under + g);
        _mm512_mask_storeu_epi16(out + g, mine, mix_huge(below, picked, level));
    }
}
#endif

}  // namespace

ColumnGather::ColumnGather(std::vector<LONG> columns, LONG source_width)
    : columns_(std::move(columns)), source_width_(source_width) {
    for (size_t i = 1; i < columns_.size() && contiguous_; ++i)
        contiguous_ = columns_[i] == columns_[i - 1] + 1;
#if defined(__x86_64__)
    if (contiguous_ || !has_avx512bw()) return;
    group_ = permute_group(columns_);
    if (!group_) return;
    const size_t groups = (columns_.size() + static_cast<size_t>(group_) - 1) / static_cast<size_t>(group_);
    index_.assign(groups * 32, 0);
    for (size_t i = 0; i < columns_.size(); ++i) {
        const size_t g = i / static_cast<size_t>(group_);
        index_[g * 32 + i % static_cast<size_t>(group_)] =
            static_cast<uint16_t>(columns_[i] - columns_[g * static_cast<size_t>(group_)]);
    }
#endif
}

void ColumnGather::blend_into(uint16_t* out, const uint16_t* under, const uint16_t* in, int level,
                              uint16_t* scratch) const {
#if defined(__x86_64__)
    if (group_ && level > 0 && level < 31) {
        gather_blend_groups(out, under, in, columns_.data(), columns_.size(), group_, index_.data(),
                            source_width_, level);
        return;
    }
#endif
    gather(scratch, in);
    blend_span_into(out, under, scratch, columns_.size(), level);
}

void ColumnGather::gather(uint16_t* out, const uint16_t* in) const {
#if defined(__x86_64__)
    if (group_) {
        gather_groups(out, in, columns_.data(), columns_.size(), group_, index_.data(), source_width_);
        return;
    }
#endif
    for (size_t i = 0; i < columns_.size(); ++i) out[i] = in[columns_[i]];
}

}  // namespace kesra
