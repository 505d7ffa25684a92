/* run_length.h - the run-length planes of the pack: pairs (value, count) in
 * image order, rows concatenated, runs flowing across row ends. Pixel pairs
 * are (Color16, 16-bit count), alpha pairs (byte, byte), little-endian. A
 * count of 0 covers one pixel, like 1. The reader never reads past the
 * block's end: past the last whole pair every pixel reads as 0. */
#ifndef KESRA_BITMAP_RUN_LENGTH_H
#define KESRA_BITMAP_RUN_LENGTH_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kesra {

template <typename T>
class RunReader {
   public:
    static constexpr size_t kPairBytes = 2 * sizeof(T);

    RunReader(const uint8_t* block, size_t bytes)
        : next_(block), end_(block + bytes / kPairBytes * kPairBytes) {}

    /* The value of the current pixel and how many pixels from here share it
     * (at least 1; past the end of the block, a very large count of zeros). */
    uint32_t run(T* value) {
        if (left_ == 0) load();
        *value = value_;
        return left_;
    }
    /* Moves past n pixels of the current run (n <= what run() returned). */
    void consume(uint32_t n) { left_ -= n; }

    T next() {
        T v;
        run(&v);
        --left_;
        return v;
    }

    /* Moves past n pixels, a run at a time. */
    void skip(uint64_t n) {
        while (n > 0) {
            if (left_ == 0) load();
            const uint32_t k = n < left_ ? static_cast<uint32_t>(n) : left_;
            left_ -= k;
            n -= k;
        }
    }

    bool exhausted() const { return next_ >= end_ && left_ == 0; }

   private:
    void load() {
        if (next_ < end_) {
            if constexpr (sizeof(T) == 2) {
                value_ = static_cast<T>(next_[0] | next_[1] << 8);
                const uint32_t count = static_cast<uint32_t>(next_[2] | next_[3] << 8);
                left_ = count ? count : 1;
            } else {
                value_ = next_[0];
                left_ = next_[1] ? next_[1] : 1;
            }
            next_ += kPairBytes;
        } else {
            value_ = 0;
            left_ = UINT32_MAX;
        }
    }

    const uint8_t* next_;
    const uint8_t* end_;
    T value_ = 0;
    uint32_t left_ = 0;
};

using PixelRuns = RunReader<uint16_t>;
using AlphaRuns = RunReader<uint8_t>;

/* Decodes a block into count values; the values the pairs do not cover are 0.
 * Returns the number of values the pairs covered (at most count). */
size_t decode_pixel_runs(const uint8_t* block, size_t bytes, uint16_t* out, size_t count);
size_t decode_alpha_runs(const uint8_t* block, size_t bytes, uint8_t* out, size_t count);

/* Codes values as pairs with the longest runs the count field holds. */
std::vector<uint8_t> encode_pixel_runs(const uint16_t* values, size_t count);
std::vector<uint8_t> encode_alpha_runs(const uint8_t* values, size_t count);

}  // namespace kesra

#endif
