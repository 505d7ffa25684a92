/* run_length.cpp - whole-plane decoding (the expanding loaders) and coding
 * (the pack tool) of run-length planes; drawing decodes runs in place. */
#include "bitmap/run_length.h"

#include <algorithm>

namespace kesra {
namespace {

template <typename T>
size_t decode_runs(const uint8_t* block, size_t bytes, T* out, size_t count) {
    RunReader<T> runs(block, bytes);
    size_t done = 0;
    while (done < count && !runs.exhausted()) {
        T value;
        const size_t k = std::min<size_t>(runs.run(&value), count - done);
        std::fill(out + done, out + done + k, value);
        runs.consume(static_cast<uint32_t>(k));
        done += k;
    }
    std::fill(out + done, out + count, T{0});
    return done;
}

template <typename T>
std::vector<uint8_t> encode_runs(const T* values, size_t count) {
    constexpr size_t max_run = sizeof(T) == 2 ? 0xFFFF : 0xFF;
    std::vector<uint8_t> out;
    for (size_t i = 0; i < count;) {
        size_t n = 1;
        while (i + n < count && n < max_run && values[i + n] == values[i]) ++n;
        const T v = values[i];
        if constexpr (sizeof(T) == 2) {
            out.insert(out.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                                   static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8)});
        } else {
            out.insert(out.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(n)});
        }
        i += n;
    }
    return out;
}

}  // namespace

size_t decode_pixel_runs(const uint8_t* block, size_t bytes, uint16_t* out, size_t count) {
    return decode_runs(block, bytes, out, count);
}
size_t decode_alpha_runs(const uint8_t* block, size_t bytes, uint8_t* out, size_t count) {
    return decode_runs(block, bytes, out, count);
}
std::vector<uint8_t> encode_pixel_runs(const uint16_t* values, size_t count) {
    return encode_runs(values, count);
}
std::vector<uint8_t> encode_alpha_runs(const uint8_t* values, size_t count) {
    return encode_runs(values, count);
}

}  // namespace kesra
