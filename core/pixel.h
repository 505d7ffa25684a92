/* pixel.h - RGB565 arithmetic shared by every layer, and the one conversion
 * between RGB565 and 8-bit channels that displays, image files and tools use.
 * A Color16 is red in bits 15-11, green in 10-5, blue in 4-0. The spread form
 * S(c) = (c | c << 16) & 0x07E0F81F moves green to bits 26-21 so that the gaps
 * between the fields absorb carries and borrows; one multiplication then
 * mixes all three channels. Levels are out of 32. */
#ifndef KESRA_CORE_PIXEL_H
#define KESRA_CORE_PIXEL_H

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kesra {

constexpr uint32_t kSpreadMask = 0x07E0F81Fu;

constexpr uint32_t spread565(uint16_t c) { return (c | static_cast<uint32_t>(c) << 16) & kSpreadMask; }

constexpr uint16_t unspread565(uint32_t r) { return static_cast<uint16_t>(r | r >> 16); }

/* d + ((s - d) * level >> 5) per channel, in wrapping signed 32-bit arithmetic;
 * level 0 keeps d, 32 gives s. The destination term keeps a copy of red in
 * bits 31-27 (mask 0xFFE0F81F); the final mask drops it. */
constexpr uint16_t blend565(uint16_t d, uint16_t s, int32_t level) {
    const uint32_t dd = (d | static_cast<uint32_t>(d) << 16) & 0xFFE0F81Fu;
    const uint32_t diff = spread565(s) - spread565(d);
    const int32_t scaled = static_cast<int32_t>(diff * static_cast<uint32_t>(level)) >> 5;
    const uint32_t r = (dd + static_cast<uint32_t>(scaled)) & kSpreadMask;
    return unspread565(r);
}

/* The 16-level blend of glyph coverage: P + ((K - P) * level >> 4) in the
 * spread form, wrapping signed 32-bit arithmetic; level 0 keeps p, 16 gives k. */
constexpr uint16_t blend565_16(uint16_t p, uint16_t k, int32_t level) {
    const uint32_t sp = spread565(p);
    const int32_t scaled = static_cast<int32_t>((spread565(k) - sp) * static_cast<uint32_t>(level)) >> 4;
    return unspread565((sp + static_cast<uint32_t>(scaled)) & kSpreadMask);
}

/* Each channel times (32 - level) / 32, truncated: the screen dimming. */
constexpr uint16_t dim565(uint16_t p, uint32_t level) {
    const uint32_t r = ((spread565(p) * (32 - level)) >> 5) & kSpreadMask;
    return unspread565(r);
}

struct Rgb888 {
    uint8_t r, g, b;
};

/* 5- and 6-bit fields widen by repeating their top bits below them, so 0
 * stays 0 and a full field gives 255: white stays white on a 24-bit display
 * and in a PNG file. */
constexpr uint8_t widen5(uint32_t v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); }
constexpr uint8_t widen6(uint32_t v) { return static_cast<uint8_t>((v << 2) | (v >> 4)); }

constexpr Rgb888 widen565(uint16_t c) {
    return Rgb888{widen5(c >> 11), widen6((c >> 5) & 0x3F), widen5(c & 0x1F)};
}

/* 8-bit channels narrow by keeping their top 5, 6 and 5 bits; so
 * narrow565(widen565(c)) == c for every Color16. */
constexpr uint16_t narrow565(uint8_t r, uint8_t g, uint8_t b) {
    return static_cast<uint16_t>(((r & 0xF8u) << 8) | ((g & 0xFCu) << 3) | (b >> 3));
}

/* Color16 <-> the platform's 0x00BBGGRR colour. The colour arithmetic of the
 * route line's bands is defined on these values, so the widening here leaves
 * the low bits of each channel 0 rather than repeating the top bits. */
constexpr uint32_t Color16ToColorRef(uint16_t c) {
    const uint32_t red = (c >> 8) & 0xF8, green = (c >> 3) & 0xFC, blue = (c << 3) & 0xF8;
    return red | green << 8 | blue << 16;
}

constexpr uint16_t ColorRefToColor16(uint32_t ref) {
    return narrow565(static_cast<uint8_t>(ref), static_cast<uint8_t>(ref >> 8),
                     static_cast<uint8_t>(ref >> 16));
}

/* n pixels of one colour with the widest stores the processor offers, chosen
 * at load time (core/pixel_runs.cpp). */
void fill_run565(uint16_t* p, size_t n, uint16_t color);

/* count contiguous pixels of one colour: long runs go to fill_run565; short
 * ones are single pixels up to a 16-byte boundary, then eight pixels per
 * vector store (SSE2 or NEON with GCC and clang's vector extension). */
inline void fill565(uint16_t* q, int64_t count, uint16_t color) {
    constexpr int64_t kLongRun = 64;
    if (count >= kLongRun) {
        fill_run565(q, static_cast<size_t>(count), color);
        return;
    }
    typedef uint16_t EightPixels __attribute__((vector_size(16), may_alias));
    for (; count > 0 && (reinterpret_cast<uintptr_t>(q) & 15) != 0; --count) *q++ = color;
    const EightPixels eight = {color, color, color, color, color, color, color, color};
    EightPixels* v = reinterpret_cast<EightPixels*>(q);
    for (; count >= 8; count -= 8) *v++ = eight;
    q = reinterpret_cast<uint16_t*>(v);
    for (; count > 0; --count) *q++ = color;
}

static_assert(blend565(0x0000, 0xFFFF, 16) == 0x7BEF, "half of white over black");
static_assert(blend565(0xFFFF, 0x0000, 16) == 0x7BEF, "half of black over white");
static_assert(blend565_16(0x0000, 0xFFFF, 8) == 0x7BEF, "half of white over black, 16 levels");

}  // namespace kesra

#endif
