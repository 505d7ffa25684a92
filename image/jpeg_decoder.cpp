/* jpeg_decoder.cpp - marker loop, table-driven Huffman decoding, the inverse
 * DCTs and the colour conversion of the baseline JPEG decoder. The bit reader
 * stops in front of any marker and feeds zero bits past it or past the end, so
 * entropy decoding never reads outside the data; the marker loop takes over
 * where the scan stopped. AVX2 lanes, where present, compute exactly what the
 * plain routines compute. */
#include "image/jpeg_decoder.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "core/pixel.h"
#include "winapi.h"

namespace kesra::pic {

namespace {

/* Zig-zag position k to natural (row-major) position. */
constexpr uint8_t kNaturalOrder[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                       12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                       35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                       58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

constexpr int kFastBits = 9;

uint16_t read_be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

uint8_t clamp_sample(int64_t v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

/* Entropy-coded data of one scan: bits most significant first, 0xFF 0x00 as
 * one 0xFF, zero bits once a marker or the end is reached. */
class BitReader {
   public:
    BitReader(const uint8_t* data, size_t size, size_t pos) : data_(data), size_(size), pos_(pos) {}

    size_t position() const { return pos_; }
    /* True once zero bits were fed for want of data (not at a marker). */
    bool ran_out() const { return ran_out_; }
    /* True when the reader stands in front of a marker and every bit it
     * still holds is padding: whatever is decoded next comes from zero bits. */
    bool only_padding_left() const { return at_marker_ && count_ == pad_bits_; }

    void fill() {
        while (count_ <= 24) {
            acc_ |= static_cast<uint32_t>(next_byte()) << (24 - count_);
            count_ += 8;
        }
    }

    uint32_t peek(int bits) const { return acc_ >> (32 - bits); }
    void skip(int bits) {
        acc_ <<= bits;
        count_ -= bits;
        if (pad_bits_ > count_) pad_bits_ = count_;  // padding sits below the data bits
    }

    /* bits (0-16) as an unsigned value. */
    int receive(int bits) {
        if (bits == 0) return 0;
        fill();
        const int value = static_cast<int>(peek(bits));
        skip(bits);
        return value;
    }

    /* Drops the bits held and steps over an RST0-RST7 marker; false without one. */
    bool restart() {
        acc_ = 0;
        count_ = 0;
        pad_bits_ = 0;
        at_marker_ = false;
        while (pos_ < size_ && data_[pos_] == 0xFF && pos_ + 1 < size_ && data_[pos_ + 1] == 0xFF) ++pos_;
        if (pos_ + 1 >= size_ || data_[pos_] != 0xFF || data_[pos_ + 1] < 0xD0 || data_[pos_ + 1] > 0xD7)
            return false;
        pos_ += 2;
        return true;
    }

   private:
    uint8_t next_byte() {
        if (at_marker_) return padding();
        if (pos_ >= size_) {
            ran_out_ = true;
            return padding();
        }
        const uint8_t byte = data_[pos_];
        if (byte != 0xFF) {
            ++pos_;
            return byte;
        }
        if (pos_ + 1 < size_ && data_[pos_ + 1] == 0x00) {
            pos_ += 2;
            return 0xFF;
        }
        at_marker_ = true;  // a marker (or a fill byte before one): stay in front of it
        return padding();
    }

    uint8_t padding() {
        pad_bits_ += 8;
        return 0;
    }

    const uint8_t* data_;
    size_t size_;
    size_t pos_;
    uint32_t acc_ = 0;
    int count_ = 0;
    int pad_bits_ = 0;  // how many of the count_ bits held are padding
    bool at_marker_ = false;
    bool ran_out_ = false;
};

/* A symbol of table, or -1 when the next 16 bits are no code of it. */
inline int decode_symbol(BitReader& bits, const JpegDecoder::Huffman& table) {
    bits.fill();
    const uint16_t fast = table.lookup[bits.peek(kFastBits)];
    if (fast) {
        bits.skip(fast >> 8);
        return fast & 0xFF;
    }
    for (int length = kFastBits + 1; length <= 16; ++length) {
        const int32_t code = static_cast<int32_t>(bits.peek(length));
        if (code <= table.max_code[length]) {
            bits.skip(length);
            return table.symbols[table.first_index[length] + code - table.first_code[length]];
        }
    }
    return -1;
}

/* Frame types other than baseline (progressive, lossless, arithmetic). */
bool other_frame_type(int marker) {
    return marker >= 0xC1 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

/* The status of a segment that cannot be read. */
int segment_status(int marker) {
    if (marker == 0xC0 || other_frame_type(marker)) return kJpegFrameError;
    if (marker == 0xC4) return kJpegHuffmanError;
    if (marker == 0xDB) return kJpegQuantError;
    if (marker == 0xDD) return kJpegRestartError;
    if (marker == 0xDA) return kJpegScanError;
    return kJpegNoEoi;
}

/* A received value of size bits as a signed coefficient. */
int extend(int value, int size) {
    return size && value < (1 << (size - 1)) ? value - (1 << size) + 1 : value;
}

/* The combined look-up of short AC codes and their value bits. */
void fill_fast_ac(JpegDecoder::Huffman* table) {
    for (int bits = 0; bits < (1 << kFastBits); ++bits) {
        const int entry = table->lookup[bits];
        const int length = entry >> 8, symbol = entry & 0xFF;
        const int run = symbol >> 4, size = symbol & 15;
        int32_t fast = 0;
        if (entry && size && length + size <= kFastBits) {
            const int raw = (bits >> (kFastBits - length - size)) & ((1 << size) - 1);
            const uint32_t value = static_cast<uint32_t>(extend(raw, size));
            fast = static_cast<int32_t>(value << 16 | uint32_t(run) << 8 | uint32_t(length) << 4 |
                                        uint32_t(size));
        }
        table->fast_ac[bits] = fast;
    }
}

/* Decodes one block's coefficients, dequantised, in natural order; *ac_set
 * tells whether any coefficient past DC is non-zero. Short codes whose value
 * bits fit the fast window take one look-up for both; the reader is refilled
 * between the code and its value exactly as a separate receive would, so the
 * bytes it has read stay those of the plain walk. */
bool decode_block(BitReader& bits, JpegDecoder::Component& c, const JpegDecoder::Huffman& dc,
                  const JpegDecoder::Huffman& ac, const uint8_t* quant, int32_t* block, bool* ac_set) {
    std::memset(block, 0, 64 * sizeof(int32_t));
    const int size = decode_symbol(bits, dc);
    if (size < 0 || size > 15) return false;
    // The predictor is kept in 16 bits as a sample coefficient is.
    c.predictor = static_cast<int16_t>(c.predictor + extend(bits.receive(size), size));
    block[0] = c.predictor * quant[0];
    int32_t any = 0;
    for (int k = 1; k < 64;) {
        bits.fill();
        const int32_t fast = ac.fast_ac[bits.peek(kFastBits)];
        if (fast) {
            k += (fast >> 8) & 15;
            bits.skip((fast >> 4) & 15);
            bits.fill();
            bits.skip(fast & 15);
            if (k > 63) return false;
            const int32_t value = (fast >> 16) * quant[k];
            block[kNaturalOrder[k]] = value;
            any |= value;
            ++k;
            continue;
        }
        const int symbol = decode_symbol(bits, ac);
        if (symbol < 0) return false;
        const int run = symbol >> 4;
        const int ac_size = symbol & 15;
        if (ac_size == 0) {
            if (run != 15) break;  // end of block
            k += 16;
            continue;
        }
        k += run;
        if (k > 63) return false;
        const int32_t value = extend(bits.receive(ac_size), ac_size) * quant[k];
        block[kNaturalOrder[k]] = value;
        any |= value;
        ++k;
    }
    *ac_set = any != 0;
    return true;
}

}  // namespace

namespace {

/* One 8-point pass of the integer IDCT over in[0], in[step] ... in[7 * step]:
 * the Loeffler-Ligtenberg-Moschytz factorisation in 13-bit fixed point, each
 * output rounded and shifted right by shift. T is wide enough for the values
 * (checked by the caller), so int32_t and int64_t give the same results. */
template <typename T, typename In, typename Out>
void idct_pass(const In* in, int step, Out* out, int out_step, int shift, int bias) {
    constexpr int kConstBits = 13;
    T z2 = in[2 * step], z3 = in[6 * step];
    T z1 = (z2 + z3) * 4433;
    const T t2 = z1 + z3 * -15137;
    const T t3 = z1 + z2 * 6270;
    const T t0 = (T(in[0]) + T(in[4 * step])) * (1 << kConstBits);
    const T t1 = (T(in[0]) - T(in[4 * step])) * (1 << kConstBits);
    const T e10 = t0 + t3, e13 = t0 - t3, e11 = t1 + t2, e12 = t1 - t2;

    T o0 = in[7 * step], o1 = in[5 * step], o2 = in[3 * step], o3 = in[step];
    z1 = o0 + o3;
    z2 = o1 + o2;
    z3 = o0 + o2;
    T z4 = o1 + o3;
    const T z5 = (z3 + z4) * 9633;
    o0 *= 2446;
    o1 *= 16819;
    o2 *= 25172;
    o3 *= 12299;
    z1 *= -7373;
    z2 *= -20995;
    z3 = z3 * -16069 + z5;
    z4 = z4 * -3196 + z5;
    o0 += z1 + z3;
    o1 += z2 + z4;
    o2 += z2 + z3;
    o3 += z1 + z4;
    const T round = T(1) << (shift - 1);
    auto put = [&](int i, T value) {
        const T v = ((value + round) >> shift) + bias;
        if constexpr (sizeof(Out) == 1) {
            out[i * out_step] = static_cast<Out>(v < 0 ? 0 : v > 255 ? 255 : v);
        } else {
            out[i * out_step] = static_cast<Out>(v);
        }
    };
    put(0, e10 + o3);
    put(7, e10 - o3);
    put(1, e11 + o2);
    put(6, e11 - o2);
    put(2, e12 + o1);
    put(5, e12 - o1);
    put(3, e13 + o0);
    put(4, e13 - o0);
}

/* Inputs below this magnitude keep every sum of a pass within 32 bits
 * (a pass's sums stay under 170,000 times its largest input). */
constexpr int32_t kNarrowInput = 10000;

template <typename In>
bool narrow(const In* values, int step) {
    for (int i = 0; i < 8; ++i)
        if (values[i * step] >= kNarrowInput || values[i * step] <= -kNarrowInput) return false;
    return true;
}

}  // namespace

namespace {

// Columns first, keeping 2 extra bits for the rows; 3 more bits of the final
// shift are the transform's scale of 8.
constexpr int kPass1Bits = 2;

/* The samples of a block of DC alone, which is flat: what both passes give. */
uint8_t flat_sample(int32_t dc) {
    return clamp_sample(((int64_t{dc} * (1 << kPass1Bits) + (1 << (kPass1Bits + 2))) >> (kPass1Bits + 3)) +
                        128);
}

void fill_flat(int32_t dc, uint8_t* out, int stride) {
    const uint8_t sample = flat_sample(dc);
    for (int row = 0; row < 8; ++row) std::memset(out + static_cast<size_t>(row) * stride, sample, 8);
}

#if defined(__x86_64__)
/* AVX2: eight 32-bit lanes hold a row of a block, so one pass runs on eight
 * columns (or, transposed, eight rows) at once. With every input narrow the
 * lanes compute exactly what the scalar passes compute. Chosen at load time;
 * other machines take the plain routines. */
#define KESRA_AVX2 __attribute__((target("avx2"), always_inline)) inline

// The helpers are always inlined into AVX2 functions, so no 32-byte vector
// crosses a call and the note on the AVX calling convention does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

bool has_avx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

KESRA_AVX2 __m256i lanes_wide(__m256i v) {
    return _mm256_or_si256(_mm256_cmpgt_epi32(v, _mm256_set1_epi32(kNarrowInput - 1)),
                           _mm256_cmpgt_epi32(_mm256_set1_epi32(1 - kNarrowInput), v));
}

KESRA_AVX2 bool lanes_narrow(const __m256i* v) {
    __m256i wide = lanes_wide(v[0]);
    for (int i = 1; i < 8; ++i) wide = _mm256_or_si256(wide, lanes_wide(v[i]));
    return _mm256_testz_si256(wide, wide);
}

KESRA_AVX2 __m256i mul(__m256i v, int32_t k) { return _mm256_mullo_epi32(v, _mm256_set1_epi32(k)); }
KESRA_AVX2 __m256i add(__m256i a, __m256i b) { return _mm256_add_epi32(a, b); }
KESRA_AVX2 __m256i sub(__m256i a, __m256i b) { return _mm256_sub_epi32(a, b); }

/* (value + round) >> count, plus offset. */
KESRA_AVX2 __m256i descale(__m256i value, __m256i round, __m128i count, __m256i offset) {
    return add(_mm256_sra_epi32(add(value, round), count), offset);
}

/* idct_pass on eight lanes in place: v[k] holds input k of every lane. */
KESRA_AVX2 void lanes_pass(__m256i* v, int shift, int bias) {
    __m256i z1 = mul(add(v[2], v[6]), 4433);
    const __m256i t2 = add(z1, mul(v[6], -15137));
    const __m256i t3 = add(z1, mul(v[2], 6270));
    const __m256i t0 = _mm256_slli_epi32(add(v[0], v[4]), 13);
    const __m256i t1 = _mm256_slli_epi32(sub(v[0], v[4]), 13);
    const __m256i e10 = add(t0, t3), e13 = sub(t0, t3), e11 = add(t1, t2), e12 = sub(t1, t2);
    __m256i o0 = v[7], o1 = v[5], o2 = v[3], o3 = v[1];
    z1 = add(o0, o3);
    __m256i z2 = add(o1, o2), z3 = add(o0, o2), z4 = add(o1, o3);
    const __m256i z5 = mul(add(z3, z4), 9633);
    o0 = mul(o0, 2446);
    o1 = mul(o1, 16819);
    o2 = mul(o2, 25172);
    o3 = mul(o3, 12299);
    z1 = mul(z1, -7373);
    z2 = mul(z2, -20995);
    z3 = add(mul(z3, -16069), z5);
    z4 = add(mul(z4, -3196), z5);
    o0 = add(o0, add(z1, z3));
    o1 = add(o1, add(z2, z4));
    o2 = add(o2, add(z2, z3));
    o3 = add(o3, add(z1, z4));
    const __m256i round = _mm256_set1_epi32(1 << (shift - 1)), offset = _mm256_set1_epi32(bias);
    const __m128i count = _mm_cvtsi32_si128(shift);
    v[0] = descale(add(e10, o3), round, count, offset);
    v[7] = descale(sub(e10, o3), round, count, offset);
    v[1] = descale(add(e11, o2), round, count, offset);
    v[6] = descale(sub(e11, o2), round, count, offset);
    v[2] = descale(add(e12, o1), round, count, offset);
    v[5] = descale(sub(e12, o1), round, count, offset);
    v[3] = descale(add(e13, o0), round, count, offset);
    v[4] = descale(sub(e13, o0), round, count, offset);
}

/* Rows become columns. */
KESRA_AVX2 void lanes_transpose(__m256i* v) {
    __m256i t[8], q[8];
    for (int i = 0; i < 8; i += 2) {
        t[i] = _mm256_unpacklo_epi32(v[i], v[i + 1]);
        t[i + 1] = _mm256_unpackhi_epi32(v[i], v[i + 1]);
    }
    for (int i = 0; i < 8; i += 4) {
        q[i] = _mm256_unpacklo_epi64(t[i], t[i + 2]);
        q[i + 1] = _mm256_unpackhi_epi64(t[i], t[i + 2]);
        q[i + 2] = _mm256_unpacklo_epi64(t[i + 1], t[i + 3]);
        q[i + 3] = _mm256_unpackhi_epi64(t[i + 1], t[i + 3]);
    }
    for (int i = 0; i < 4; ++i) {
        v[i] = _mm256_permute2x128_si256(q[i], q[i + 4], 0x20);
        v[i + 4] = _mm256_permute2x128_si256(q[i], q[i + 4], 0x31);
    }
}

/* Eight lanes, each limited to 0-255 (by the saturating packs), as 8 bytes. */
KESRA_AVX2 void store_limited(uint8_t* out, __m256i v) {
    const __m256i bytes = _mm256_packus_epi16(_mm256_packus_epi32(v, v), _mm256_setzero_si256());
    const __m128i both =
        _mm_unpacklo_epi32(_mm256_castsi256_si128(bytes), _mm256_extracti128_si256(bytes, 1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), both);
}

/* The integer IDCT of a block whose inputs and column results are all narrow;
 * false (nothing written) otherwise. */
__attribute__((target("avx2"))) bool idct_integer_avx2(const int32_t* in, uint8_t* out, int stride) {
    __m256i v[8];
    for (int i = 0; i < 8; ++i) v[i] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 8 * i));
    if (!lanes_narrow(v)) return false;
    lanes_pass(v, 13 - kPass1Bits, 0);
    if (!lanes_narrow(v)) return false;
    lanes_transpose(v);
    lanes_pass(v, 13 + kPass1Bits + 3, 128);
    lanes_transpose(v);
    for (int row = 0; row < 8; ++row) store_limited(out + static_cast<size_t>(row) * stride, v[row]);
    return true;
}

/* (product / 65536) truncated toward zero, as C divides. */
KESRA_AVX2 __m256i divide_65536(__m256i product) {
    const __m256i toward_zero = _mm256_and_si256(_mm256_srai_epi32(product, 31), _mm256_set1_epi32(65535));
    return _mm256_srai_epi32(add(product, toward_zero), 16);
}

KESRA_AVX2 __m256i load_widened(const uint8_t* p) {
    return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}

/* jpeg_ycc_to_rgb eight samples a step; returns how many were converted. */
__attribute__((target("avx2"))) size_t ycc_to_rgb_avx2(uint8_t* y, uint8_t* cb, uint8_t* cr, size_t count) {
    const __m256i half = _mm256_set1_epi32(128);
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i luma = load_widened(y + i);
        const __m256i blue = sub(load_widened(cb + i), half);
        const __m256i red = sub(load_widened(cr + i), half);
        store_limited(y + i, add(luma, divide_65536(mul(red, 91881))));
        store_limited(cb + i, sub(sub(luma, divide_65536(mul(blue, 22553))), divide_65536(mul(red, 46801))));
        store_limited(cr + i, add(luma, divide_65536(mul(blue, 116129))));
    }
    return i;
}

KESRA_AVX2 __m256i widen(const uint8_t* p) {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

/* jpeg_rgb_to_565 sixteen samples a step; returns how many were converted. */
__attribute__((target("avx2"))) size_t rgb_to_565_avx2(const uint8_t* r, const uint8_t* g, const uint8_t* b,
                                                       uint16_t* out, size_t count) {
    const __m256i red_bits = _mm256_set1_epi16(0xF8), green_bits = _mm256_set1_epi16(0xFC);
    size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m256i red = _mm256_slli_epi16(_mm256_and_si256(widen(r + i), red_bits), 8);
        const __m256i green = _mm256_slli_epi16(_mm256_and_si256(widen(g + i), green_bits), 3);
        const __m256i blue = _mm256_srli_epi16(widen(b + i), 3);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i),
                            _mm256_or_si256(red, _mm256_or_si256(green, blue)));
    }
    return i;
}
#endif

/* Repeats each of the 8 x 8 samples sx times across and sy times down. */
void replicate_block(const uint8_t* samples, uint8_t* out, size_t stride, int sx, int sy) {
    for (int row = 0; row < 8; ++row) {
        uint8_t* line = out + static_cast<size_t>(row) * sy * stride;
        const uint8_t* in = samples + row * 8;
        if (sx == 2) {
#if defined(__x86_64__)
            const __m128i eight = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(line), _mm_unpacklo_epi8(eight, eight));
#else
            for (int i = 0; i < 8; ++i) line[2 * i] = line[2 * i + 1] = in[i];
#endif
        } else {
            for (int i = 0; i < 8; ++i)
                for (int k = 0; k < sx; ++k) line[i * sx + k] = in[i];
        }
        for (int copy = 1; copy < sy; ++copy) {
            if (sx == 2)
                std::memcpy(line + copy * stride, line, 16);
            else
                std::memcpy(line + copy * stride, line, size_t(8) * sx);
        }
    }
}

}  // namespace

void jpeg_idct_integer_plain(const int32_t* in, uint8_t* out, int stride) {
    // A block of DC alone is flat: the value of the shortcuts below.
    bool flat = true;
    for (int i = 1; i < 64 && flat; ++i) flat = in[i] == 0;
    if (flat) {
        fill_flat(in[0], out, stride);
        return;
    }
    // Inputs are at most 2^15 * 255 in size, so the columns' results fit 32 bits.
    int32_t work[64];
    for (int col = 0; col < 8; ++col) {
        const int32_t* c = in + col;
        int32_t* w = work + col;
        if (!c[8] && !c[16] && !c[24] && !c[32] && !c[40] && !c[48] && !c[56]) {
            const int32_t dc = c[0] * (1 << kPass1Bits);
            for (int r = 0; r < 8; ++r) w[r * 8] = dc;
        } else if (narrow(c, 8)) {
            idct_pass<int32_t>(c, 8, w, 8, 13 - kPass1Bits, 0);
        } else {
            idct_pass<int64_t>(c, 8, w, 8, 13 - kPass1Bits, 0);
        }
    }
    for (int row = 0; row < 8; ++row) {
        const int32_t* w = work + row * 8;
        uint8_t* o = out + static_cast<size_t>(row) * stride;
        if (!w[1] && !w[2] && !w[3] && !w[4] && !w[5] && !w[6] && !w[7]) {
            const int64_t dc = ((int64_t{w[0]} + (1 << (kPass1Bits + 2))) >> (kPass1Bits + 3)) + 128;
            std::memset(o, clamp_sample(dc), 8);
        } else if (narrow(w, 1)) {
            idct_pass<int32_t>(w, 1, o, 1, 13 + kPass1Bits + 3, 128);
        } else {
            idct_pass<int64_t>(w, 1, o, 1, 13 + kPass1Bits + 3, 128);
        }
    }
}

void jpeg_idct_integer(const int32_t* in, uint8_t* out, int stride) {
#if defined(__x86_64__)
    if (has_avx2() && idct_integer_avx2(in, out, stride)) return;
#endif
    jpeg_idct_integer_plain(in, out, stride);
}

void jpeg_ycc_planes_to_rgb(uint8_t* y, uint8_t* cb, uint8_t* cr, size_t count) {
    size_t i = 0;
#if defined(__x86_64__)
    if (has_avx2()) i = ycc_to_rgb_avx2(y, cb, cr, count);
#endif
    // The four products for every chroma value, truncated alike, and results
    // (within -256 ... 511) limited through a table.
    static const struct Tables {
        int r_cr[256], g_cb[256], g_cr[256], b_cb[256];
        uint8_t limit[768];
        Tables() {
            for (int v = 0; v < 256; ++v) {
                r_cr[v] = (91881 * (v - 128)) / 65536;
                g_cb[v] = (22553 * (v - 128)) / 65536;
                g_cr[v] = (46801 * (v - 128)) / 65536;
                b_cb[v] = (116129 * (v - 128)) / 65536;
            }
            for (int v = 0; v < 768; ++v) limit[v] = clamp_sample(v - 256);
        }
    } t;
    const uint8_t* limited = t.limit + 256;
    for (; i < count; ++i) {
        const int luma = y[i], blue = cb[i], red = cr[i];
        y[i] = limited[luma + t.r_cr[red]];
        cb[i] = limited[luma - t.g_cb[blue] - t.g_cr[red]];
        cr[i] = limited[luma + t.b_cb[blue]];
    }
}

void jpeg_rgb_to_565(const uint8_t* r, const uint8_t* g, const uint8_t* b, uint16_t* out, size_t count) {
    size_t i = 0;
#if defined(__x86_64__)
    if (has_avx2()) i = rgb_to_565_avx2(r, g, b, out, count);
#endif
    for (; i < count; ++i) out[i] = narrow565(r[i], g[i], b[i]);
}

void jpeg_idct_float(const int32_t* in, uint8_t* out, int stride) {
    // The same factorisation in single precision; the result is scaled by 1/8.
    float work[64];
    auto pass = [](const float* c, int step, float* o, int out_step) {
        const float z1 = (c[2 * step] + c[6 * step]) * 0.5411961f;
        const float t2 = z1 - c[6 * step] * 1.847759f;
        const float t3 = z1 + c[2 * step] * 0.76536685f;
        const float t0 = c[0] + c[4 * step], t1 = c[0] - c[4 * step];
        const float e10 = t0 + t3, e13 = t0 - t3, e11 = t1 + t2, e12 = t1 - t2;
        float o0 = c[7 * step], o1 = c[5 * step], o2 = c[3 * step], o3 = c[step];
        float y1 = o0 + o3, y2 = o1 + o2, y3 = o0 + o2, y4 = o1 + o3;
        const float y5 = (y3 + y4) * 1.175875602f;
        o0 *= 0.298631336f;
        o1 *= 2.053119869f;
        o2 *= 3.072711026f;
        o3 *= 1.501321110f;
        y1 *= -0.899976223f;
        y2 *= -2.562915447f;
        y3 = y3 * -1.961570560f + y5;
        y4 = y4 * -0.390180644f + y5;
        o0 += y1 + y3;
        o1 += y2 + y4;
        o2 += y2 + y3;
        o3 += y1 + y4;
        o[0] = e10 + o3;
        o[7 * out_step] = e10 - o3;
        o[out_step] = e11 + o2;
        o[6 * out_step] = e11 - o2;
        o[2 * out_step] = e12 + o1;
        o[5 * out_step] = e12 - o1;
        o[3 * out_step] = e13 + o0;
        o[4 * out_step] = e13 - o0;
    };
    float coefficients[64];
    for (int i = 0; i < 64; ++i) coefficients[i] = static_cast<float>(in[i]);
    for (int col = 0; col < 8; ++col) pass(coefficients + col, 8, work + col, 8);
    for (int row = 0; row < 8; ++row) {
        float samples[8];
        pass(work + row * 8, 1, samples, 1);
        for (int i = 0; i < 8; ++i)
            out[row * stride + i] =
                clamp_sample(static_cast<int64_t>(std::floor(samples[i] / 8.0f + 128.5f)));
    }
}

void jpeg_ycc_to_rgb(int y, int cb, int cr, uint8_t* r, uint8_t* g, uint8_t* b) {
    cb -= 128;
    cr -= 128;
    *r = clamp_sample(y + (91881 * cr) / 65536);
    *g = clamp_sample(y - (22553 * cb) / 65536 - (46801 * cr) / 65536);
    *b = clamp_sample(y + (116129 * cb) / 65536);
}

void JpegDecoder::release() {
    std::vector<std::vector<uint8_t>>().swap(planes_);
    status_ = kJpegOk;
    width_ = height_ = plane_width_ = plane_height_ = 0;
    h_max_ = v_max_ = mcus_across_ = mcus_down_ = 0;
    restart_interval_ = 0;
    frame_seen_ = false;
    scans_ = 0;
    std::memset(quant_, 0, sizeof quant_);
    std::memset(quant_defined_, 0, sizeof quant_defined_);
    for (Huffman& table : dc_) table.defined = false;
    for (Huffman& table : ac_) table.defined = false;
    for (Component& c : frame_) c = Component{};
}

bool JpegDecoder::decode_memory(const uint8_t* data, size_t size, int idct) {
    release();
    if (!data || size < 2) {
        status_ = kJpegNoEoi;
        return false;
    }
    if (run(data, size, idct)) return true;
    const int status = status_ == kJpegOk ? kJpegNoEoi : status_;
    release();
    status_ = status;
    return false;
}

bool JpegDecoder::decode_file(const char* path, int idct) {
    release();
    status_ = kJpegNoEoi;
    if (!path) return false;
    WCHAR wide[260];
    const int length = MultiByteToWideChar(CP_ACP, 0, path, -1, wide, 260);
    if (length <= 0) return false;
    std::FILE* file = _wfopen(wide, u"rb");
    if (!file) return false;
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(file);
    return decode_memory(bytes.data(), bytes.size(), idct);
}

bool JpegDecoder::run(const uint8_t* data, size_t size, int idct) {
    idct_ = idct;
    if (data[0] != 0xFF || data[1] != 0xD8) {
        status_ = kJpegNoEoi;
        return false;
    }
    size_t pos = 2;
    for (;;) {
        if (pos >= size || data[pos] != 0xFF) {
            status_ = kJpegNoEoi;
            return false;
        }
        while (pos < size && data[pos] == 0xFF) ++pos;  // fill bytes
        if (pos >= size) {
            status_ = kJpegNoEoi;
            return false;
        }
        const int marker = data[pos++];
        if (marker == 0xD9) {
            if (!frame_seen_ || scans_ == 0) {
                status_ = kJpegNoEoi;
                return false;
            }
            convert_colours();
            return true;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // stand-alone markers
        if (size - pos < 2) {
            status_ = kJpegNoEoi;
            return false;
        }
        const size_t length = read_be16(data + pos);
        if (length < 2 || size - pos < length) {
            status_ = segment_status(marker);
            return false;
        }
        const uint8_t* body = data + pos + 2;
        const size_t body_length = length - 2;
        switch (marker) {
            case 0xC0:
                if (!read_frame(body, body_length)) {
                    status_ = kJpegFrameError;
                    return false;
                }
                break;
            case 0xC4:
                if (!read_huffman(body, body_length)) {
                    status_ = kJpegHuffmanError;
                    return false;
                }
                break;
            case 0xDB:
                if (!read_quant(body, body_length)) {
                    status_ = kJpegQuantError;
                    return false;
                }
                break;
            case 0xDD:
                if (body_length != 2) {
                    status_ = kJpegRestartError;
                    return false;
                }
                restart_interval_ = read_be16(body);
                break;
            case 0xDA: {
                size_t after = pos;
                if (!read_scan(data, size, &after, length)) {
                    if (status_ == kJpegOk) status_ = kJpegScanError;
                    return false;
                }
                pos = after;
                continue;
            }
            default:
                // Every other frame type (progressive, lossless, arithmetic) is refused.
                if (other_frame_type(marker)) {
                    status_ = kJpegFrameError;
                    return false;
                }
                break;
        }
        pos += length;
    }
}

bool JpegDecoder::read_frame(const uint8_t* p, size_t length) {
    if (frame_seen_ || length < 6 || p[0] != 8) return false;
    height_ = read_be16(p + 1);
    width_ = read_be16(p + 3);
    const int count = p[5];
    if (!width_ || !height_ || count < 1 || count > kJpegMaxComponents || length != 6 + size_t(count) * 3)
        return false;
    h_max_ = v_max_ = 1;
    for (int i = 0; i < count; ++i) {
        const uint8_t* c = p + 6 + i * 3;
        Component& component = frame_[i];
        component.id = c[0];
        component.h = c[1] >> 4;
        component.v = c[1] & 15;
        component.quant = c[2];
        if (component.id > 5 || component.h < 1 || component.h > 4 || component.v < 1 || component.v > 4 ||
            component.quant > 3)
            return false;
        for (int j = 0; j < i; ++j)
            if (frame_[j].id == component.id) return false;
        if (component.h > h_max_) h_max_ = component.h;
        if (component.v > v_max_) v_max_ = component.v;
    }
    // Replication needs whole factors: Hmax / H and Vmax / V.
    for (int i = 0; i < count; ++i)
        if (h_max_ % frame_[i].h || v_max_ % frame_[i].v) return false;
    mcus_across_ = (width_ + 8 * h_max_ - 1) / (8 * h_max_);
    mcus_down_ = (height_ + 8 * v_max_ - 1) / (8 * v_max_);
    plane_width_ = mcus_across_ * 8 * h_max_;
    plane_height_ = mcus_down_ * 8 * v_max_;
    const uint64_t samples = uint64_t(plane_width_) * uint64_t(plane_height_);
    if (samples * count > kJpegMaxPlaneSamples) return false;
    planes_.resize(count);
    for (std::vector<uint8_t>& plane : planes_) plane.assign(samples, 0);
    frame_seen_ = true;
    return true;
}

bool JpegDecoder::read_huffman(const uint8_t* p, size_t length) {
    size_t at = 0;
    while (at < length) {
        if (length - at < 17) return false;
        const int table_class = p[at] >> 4;
        const int number = p[at] & 15;
        if (table_class > 1 || number > 1) return false;
        Huffman& table = table_class ? ac_[number] : dc_[number];
        const uint8_t* counts = p + at + 1;
        size_t total = 0;
        for (int i = 0; i < 16; ++i) total += counts[i];
        if (total > 256 || length - at - 17 < total) return false;
        std::memcpy(table.symbols, p + at + 17, total);
        std::memset(table.lookup, 0, sizeof table.lookup);
        // Canonical codes: each length continues from the last code, doubled.
        int32_t code = 0;
        int index = 0;
        for (int len = 1; len <= 16; ++len) {
            table.first_index[len] = index;
            table.first_code[len] = code;
            for (int i = 0; i < counts[len - 1]; ++i, ++index, ++code) {
                if (code >= (1 << len)) return false;  // more codes than the length has room for
                if (len <= kFastBits) {
                    const int shift = kFastBits - len;
                    for (int fill = 0; fill < (1 << shift); ++fill)
                        table.lookup[(code << shift) | fill] =
                            static_cast<uint16_t>(len << 8 | table.symbols[index]);
                }
            }
            table.max_code[len] = counts[len - 1] ? code - 1 : -1;
            code <<= 1;
        }
        table.max_code[17] = INT32_MAX;
        fill_fast_ac(&table);
        table.defined = true;
        at += 17 + total;
    }
    return true;
}

bool JpegDecoder::read_quant(const uint8_t* p, size_t length) {
    size_t at = 0;
    while (at < length) {
        if (length - at < 65) return false;
        const int precision = p[at] >> 4;
        const int number = p[at] & 15;
        if (precision != 0 || number > 3) return false;
        std::memcpy(quant_[number], p + at + 1, 64);
        quant_defined_[number] = true;
        at += 65;
    }
    return true;
}

bool JpegDecoder::read_scan(const uint8_t* data, size_t size, size_t* pos, size_t length) {
    const uint8_t* p = data + *pos + 2;
    if (!frame_seen_ || length < 3) return false;
    const int count = p[0];
    if (count < 1 || count > 4 || length != 6 + size_t(count) * 2) return false;
    int members[kJpegMaxComponents];
    for (int i = 0; i < count; ++i) {
        const int id = p[1 + i * 2];
        const int dc = p[2 + i * 2] >> 4, ac = p[2 + i * 2] & 15;
        int found = -1;
        for (int j = 0; j < static_cast<int>(planes_.size()); ++j)
            if (frame_[j].id == id) found = j;
        if (found < 0 || dc > 1 || ac > 1 || !dc_[dc].defined || !ac_[ac].defined ||
            !quant_defined_[frame_[found].quant])
            return false;
        for (int j = 0; j < i; ++j)
            if (members[j] == found) return false;
        frame_[found].dc_table = dc;
        frame_[found].ac_table = ac;
        frame_[found].predictor = 0;
        members[i] = found;
    }

    BitReader bits(data, size, *pos + length);
    int32_t block[64];
    uint8_t samples[64];
    const size_t stride = static_cast<size_t>(plane_width_);
    auto decode_at = [&](int ci, int block_x, int block_y) {
        Component& c = frame_[ci];
        bool ac_set = false;
        if (bits.only_padding_left()) {
            // The scan's data stopped at a marker before this block: it and
            // the rest up to the next restart stay blank (all coefficients
            // zero) instead of being decoded from zero bits, which can cost
            // a whole large frame's work for a few bytes of input.
            std::memset(block, 0, sizeof block);
        } else if (!decode_block(bits, c, dc_[c.dc_table], ac_[c.ac_table], quant_[c.quant], block,
                                 &ac_set)) {
            return false;
        }
        const int sx = h_max_ / c.h, sy = v_max_ / c.v;
        uint8_t* out = planes_[ci].data() + static_cast<size_t>(block_y) * 8 * sy * stride +
                       static_cast<size_t>(block_x) * 8 * sx;
        // Full-resolution blocks go straight into the plane.
        const bool direct = sx == 1 && sy == 1;
        uint8_t* target = direct ? out : samples;
        const int target_stride = direct ? static_cast<int>(stride) : 8;
        if (idct_ == kJpegIdctInteger) {
            if (ac_set)
                jpeg_idct_integer(block, target, target_stride);
            else
                fill_flat(block[0], target, target_stride);
        } else if (idct_ == kJpegIdctFloat) {
            jpeg_idct_float(block, target, target_stride);
        } else {
            for (int row = 0; row < 8; ++row)  // no transform: entropy decoding alone
                std::memset(target + row * target_stride, 128, 8);
        }
        if (!direct) replicate_block(samples, out, stride, sx, sy);
        return true;
    };

    // One component alone is not interleaved: its blocks cover the component's
    // own sample grid, one block per MCU.
    int units_across = mcus_across_, units_down = mcus_down_;
    if (count == 1) {
        const Component& c = frame_[members[0]];
        units_across = ((width_ * c.h + h_max_ - 1) / h_max_ + 7) / 8;
        units_down = ((height_ * c.v + v_max_ - 1) / v_max_ + 7) / 8;
    }
    const long total = static_cast<long>(units_across) * units_down;
    for (long unit = 0; unit < total; ++unit) {
        if (restart_interval_ && unit && unit % restart_interval_ == 0) {
            if (!bits.restart()) return false;
            for (int i = 0; i < count; ++i) frame_[members[i]].predictor = 0;
        }
        // Data that ends inside the scan can never reach EOI: stop here
        // rather than decode the rest of a large frame from zero bits.
        if (bits.ran_out()) {
            status_ = kJpegNoEoi;
            return false;
        }
        const int ux = static_cast<int>(unit % units_across), uy = static_cast<int>(unit / units_across);
        if (count == 1) {
            if (!decode_at(members[0], ux, uy)) return false;
            continue;
        }
        for (int i = 0; i < count; ++i) {
            const Component& c = frame_[members[i]];
            for (int by = 0; by < c.v; ++by)
                for (int bx = 0; bx < c.h; ++bx)
                    if (!decode_at(members[i], ux * c.h + bx, uy * c.v + by)) return false;
        }
    }
    *pos = bits.position();
    ++scans_;
    return true;
}

void JpegDecoder::convert_colours() {
    if (planes_.size() != 3) return;
    jpeg_ycc_planes_to_rgb(planes_[0].data(), planes_[1].data(), planes_[2].data(), planes_[0].size());
}

}  // namespace kesra::pic
