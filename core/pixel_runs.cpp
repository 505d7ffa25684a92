/* pixel_runs.cpp - the pixel runs in sixteen 16-bit lanes through GCC and
 * clang's vector extension: one 32-byte register with AVX2, two 16-byte ones
 * with SSE2 or NEON. On x86-64 each routine is built for AVX2 beside the
 * baseline and the loader picks one. The blend works per field as
 * d + floor((s - d) * level / 32), which fits a 16-bit lane and equals the
 * spread-form blend565 (each field's result lies between d and s, so no
 * borrow crosses a field). */
#include "core/pixel_runs.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace kesra {

/* clang before 15 checks the AVX calling convention before inlining and
 * refuses the clones' calls to the helpers, and ThreadSanitizer's runtime is
 * not up yet when the loader runs the clones' resolvers: both build the
 * baseline alone. */
#if defined(__x86_64__) && !(defined(__clang__) && __clang_major__ < 15) && !defined(__SANITIZE_THREAD__)
#define KESRA_RUN_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define KESRA_RUN_CLONES
#endif

/* The vector helpers are always inlined, so no 32-byte vector crosses a call
 * and the note on the AVX calling convention (-Wpsabi) does not apply. */
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

typedef uint16_t Lanes __attribute__((vector_size(32)));
typedef int16_t SignedLanes __attribute__((vector_size(32)));
typedef uint64_t Quads __attribute__((vector_size(32)));
typedef uint8_t LevelBytes __attribute__((vector_size(16)));
typedef uint16_t AlignedLanes __attribute__((vector_size(32), aligned(32), may_alias));

constexpr size_t kLanes = 16;

#define KESRA_INLINE inline __attribute__((always_inline))

KESRA_INLINE Lanes load(const void* p) {
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

KESRA_INLINE void store(void* p, Lanes v) { std::memcpy(p, &v, sizeof v); }

KESRA_INLINE bool every_lane(Lanes mask) {
    const Quads q = reinterpret_cast<Quads>(mask);
    return ((q[0] & q[1]) & (q[2] & q[3])) == ~uint64_t{0};
}

/* d + floor((s - d) * level / 32) in each field, level 0 ... 32 per lane
 * (larger levels give garbage that callers mask off). */
KESRA_INLINE Lanes mix(Lanes d, Lanes s, SignedLanes level) {
    const SignedLanes dr = (SignedLanes)(d >> 11), sr = (SignedLanes)(s >> 11);
    const SignedLanes dg = (SignedLanes)((d >> 5) & 63), sg = (SignedLanes)((s >> 5) & 63);
    const SignedLanes db = (SignedLanes)(d & 31), sb = (SignedLanes)(s & 31);
    const Lanes r = (Lanes)(dr + (((sr - dr) * level) >> 5));
    const Lanes g = (Lanes)(dg + (((sg - dg) * level) >> 5));
    const Lanes b = (Lanes)(db + (((sb - db) * level) >> 5));
    return (Lanes)(r << 11 | g << 5 | b);
}

}  // namespace

/* Single pixels up to a 32-byte boundary, then aligned stores, four a step. */
KESRA_RUN_CLONES void fill_run565(uint16_t* p, size_t n, uint16_t color) {
    for (; n > 0 && (reinterpret_cast<uintptr_t>(p) & 31) != 0; --n) *p++ = color;
    const Lanes c = Lanes{} + color;
    AlignedLanes* v = reinterpret_cast<AlignedLanes*>(p);
    for (; n >= 4 * kLanes; n -= 4 * kLanes, v += 4) {
        v[0] = c;
        v[1] = c;
        v[2] = c;
        v[3] = c;
    }
    for (; n >= kLanes; n -= kLanes) *v++ = c;
    p = reinterpret_cast<uint16_t*>(v);
    for (; n > 0; --n) *p++ = color;
}

/* The keyed copy: steps without a keyed pixel are plain copies, steps of
 * keyed pixels alone are skipped, and only mixed steps read the destination.
 * The test wants the compare's lanes as one mask: on x86-64 movemask gives
 * it (AVX2 or SSE2, picked once), elsewhere the lanes are taken apart. */
#if defined(__x86_64__)

namespace {

__attribute__((target("avx2"))) void copy_keyed_avx2(uint16_t* dst, const uint16_t* src, size_t n,
                                                     uint16_t key) {
    const __m256i k = _mm256_set1_epi16(static_cast<int16_t>(key));
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        const __m256i keyed = _mm256_cmpeq_epi16(s, k);
        const uint32_t mask = static_cast<uint32_t>(_mm256_movemask_epi8(keyed));
        __m256i* d = reinterpret_cast<__m256i*>(dst + i);
        if (mask == 0)
            _mm256_storeu_si256(d, s);
        else if (mask != 0xFFFFFFFFu)
            _mm256_storeu_si256(d, _mm256_blendv_epi8(s, _mm256_loadu_si256(d), keyed));
    }
    copy_keyed565_plain(dst + i, src + i, n - i, key);
}

void copy_keyed_sse2(uint16_t* dst, const uint16_t* src, size_t n, uint16_t key) {
    const __m128i k = _mm_set1_epi16(static_cast<int16_t>(key));
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i keyed = _mm_cmpeq_epi16(s, k);
        const int mask = _mm_movemask_epi8(keyed);
        __m128i* d = reinterpret_cast<__m128i*>(dst + i);
        if (mask == 0)
            _mm_storeu_si128(d, s);
        else if (mask != 0xFFFF)
            _mm_storeu_si128(
                d, _mm_or_si128(_mm_andnot_si128(keyed, s), _mm_and_si128(keyed, _mm_loadu_si128(d))));
    }
    copy_keyed565_plain(dst + i, src + i, n - i, key);
}

}  // namespace

void copy_keyed565(uint16_t* dst, const uint16_t* src, size_t n, uint16_t key) {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    (avx2 ? copy_keyed_avx2 : copy_keyed_sse2)(dst, src, n, key);
}

#else

namespace {

KESRA_INLINE bool no_lane(Lanes mask) {
    const Quads q = reinterpret_cast<Quads>(mask);
    return ((q[0] | q[1]) | (q[2] | q[3])) == 0;
}

}  // namespace

void copy_keyed565(uint16_t* dst, const uint16_t* src, size_t n, uint16_t key) {
    const Lanes k = Lanes{} + key;
    size_t i = 0;
    for (; i + kLanes <= n; i += kLanes) {
        const Lanes s = load(src + i);
        const Lanes keyed = (Lanes)(s == k);
        if (no_lane(keyed))
            store(dst + i, s);
        else if (!every_lane(keyed))
            store(dst + i, (s & ~keyed) | (load(dst + i) & keyed));
    }
    copy_keyed565_plain(dst + i, src + i, n - i, key);
}

#endif

KESRA_RUN_CLONES void blend_bitmap_run565(uint16_t* d, const uint8_t* colors, const uint8_t* levels,
                                          size_t n) {
    size_t i = 0;
    for (; i + kLanes <= n; i += kLanes) {
        LevelBytes bytes;
        std::memcpy(&bytes, levels + i, sizeof bytes);
        const SignedLanes level = __builtin_convertvector(bytes, SignedLanes);
        const Lanes blank = (Lanes)(level == 0);
        if (every_lane(blank)) continue;
        const Lanes opaque = (Lanes)(level >= 31);
        const Lanes s = load(colors + 2 * i);
        if (every_lane(opaque)) {
            store(d + i, s);
            continue;
        }
        store(d + i, (s & opaque) | (mix(load(d + i), s, level) & ~opaque));
    }
    blend_bitmap_run565_plain(d + i, colors + 2 * i, levels + i, n - i);
}

KESRA_RUN_CLONES void blend_run565_wide(uint16_t* d, const uint8_t* colors, size_t n, int32_t level) {
    const SignedLanes l = SignedLanes{} + static_cast<int16_t>(level);
    size_t i = 0;
    for (; i + kLanes <= n; i += kLanes) store(d + i, mix(load(d + i), load(colors + 2 * i), l));
    blend_run565_plain(d + i, colors + 2 * i, n - i, level);
}

KESRA_RUN_CLONES void blend_color_run565_wide(uint16_t* d, size_t n, uint16_t color, int32_t level) {
    const SignedLanes l = SignedLanes{} + static_cast<int16_t>(level);
    const Lanes c = Lanes{} + color;
    size_t i = 0;
    for (; i + kLanes <= n; i += kLanes) store(d + i, mix(load(d + i), c, l));
    blend_color_run565_plain(d + i, n - i, color, level);
}

/* Blocks of sixteen columns (the last one moved back to end at the last
 * column: filling a pixel twice gives the same pixel); each block is written
 * row by row from its highest span's top to its lowest span's bottom. */
KESRA_RUN_CLONES void fill_column_spans_blended(const Canvas& c, int32_t x0, const int16_t* top,
                                                const int16_t* bottom, size_t n, uint16_t color) {
    if (n < kLanes) {
        fill_column_spans_plain(c, x0, top, bottom, n, color);
        return;
    }
    const Lanes paint = Lanes{} + color;
    for (size_t start = 0; start < n; start += kLanes) {
        const size_t b = start + kLanes <= n ? start : n - kLanes;
        SignedLanes tops, bottoms;
        std::memcpy(&tops, top + b, sizeof tops);
        std::memcpy(&bottoms, bottom + b, sizeof bottoms);
        int32_t y0 = top[b], y1 = bottom[b];
        for (size_t i = 1; i < kLanes; ++i) {
            y0 = top[b + i] < y0 ? top[b + i] : y0;
            y1 = bottom[b + i] > y1 ? bottom[b + i] : y1;
        }
        if (y0 > y1) continue;
        uint8_t* row = reinterpret_cast<uint8_t*>(c.at(x0 + static_cast<int32_t>(b), y0));
        for (int32_t y = y0; y <= y1; ++y, row += c.ypitch) {
            const SignedLanes rows = SignedLanes{} + static_cast<int16_t>(y);
            const Lanes inside = (Lanes)((rows >= tops) & (rows <= bottoms));
            store(row, (load(row) & ~inside) | (paint & inside));
        }
    }
}

/* With AVX-512 (BW and VL) each row of a block is one store under a mask of
 * the columns whose span holds the row: nothing is read back, so a row just
 * written by the blend of an outline costs no wait for the store to land,
 * and a short last block needs no overlap. */
#if defined(__x86_64__) && !(defined(__clang__) && __clang_major__ < 15) && !defined(__SANITIZE_THREAD__)
#define KESRA_MASKED_SPANS 1

namespace {

__attribute__((target("avx2,avx512f,avx512bw,avx512vl"))) int16_t lowest(__m256i v) {
    __m128i m = _mm_min_epi16(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    m = _mm_min_epi16(m, _mm_shuffle_epi32(m, 0x4E));
    m = _mm_min_epi16(m, _mm_shuffle_epi32(m, 0xB1));
    m = _mm_min_epi16(m, _mm_shufflelo_epi16(m, 0xB1));
    return static_cast<int16_t>(_mm_cvtsi128_si32(m));
}

__attribute__((target("avx2,avx512f,avx512bw,avx512vl"))) int16_t highest(__m256i v) {
    __m128i m = _mm_max_epi16(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    m = _mm_max_epi16(m, _mm_shuffle_epi32(m, 0x4E));
    m = _mm_max_epi16(m, _mm_shuffle_epi32(m, 0xB1));
    m = _mm_max_epi16(m, _mm_shufflelo_epi16(m, 0xB1));
    return static_cast<int16_t>(_mm_cvtsi128_si32(m));
}

__attribute__((target("avx2,avx512f,avx512bw,avx512vl"))) void fill_column_spans_masked(
    const Canvas& c, int32_t x0, const int16_t* top, const int16_t* bottom, size_t n, uint16_t color) {
    const __m256i paint = _mm256_set1_epi16(static_cast<int16_t>(color));
    const __m256i none_top = _mm256_set1_epi16(INT16_MAX), none_bottom = _mm256_set1_epi16(INT16_MIN);
    for (size_t start = 0; start < n; start += kLanes) {
        const size_t lanes = n - start < kLanes ? n - start : kLanes;
        const __mmask16 present = static_cast<__mmask16>((1u << lanes) - 1);
        // Columns past the end hold the empty span INT16_MAX ... INT16_MIN.
        const __m256i tops = _mm256_mask_loadu_epi16(none_top, present, top + start);
        const __m256i bottoms = _mm256_mask_loadu_epi16(none_bottom, present, bottom + start);
        const int32_t y0 = lowest(tops), y1 = highest(bottoms);
        if (y0 > y1) continue;
        uint8_t* row = reinterpret_cast<uint8_t*>(c.at(x0 + static_cast<int32_t>(start), y0));
        for (int32_t y = y0; y <= y1; ++y, row += c.ypitch) {
            const __m256i rows = _mm256_set1_epi16(static_cast<int16_t>(y));
            const __mmask16 inside =
                _mm256_mask_cmple_epi16_mask(_mm256_cmple_epi16_mask(tops, rows), rows, bottoms);
            _mm256_mask_storeu_epi16(row, inside, paint);
        }
    }
}

}  // namespace

#endif

void fill_column_spans(const Canvas& c, int32_t x0, const int16_t* top, const int16_t* bottom, size_t n,
                       uint16_t color) {
#if defined(KESRA_MASKED_SPANS)
    static const bool masked = __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl");
    if (masked) {
        fill_column_spans_masked(c, x0, top, bottom, n, color);
        return;
    }
#endif
    fill_column_spans_blended(c, x0, top, bottom, n, color);
}

}  // namespace kesra
