/* pic_bmp.cpp - the picture's BMP reader: uncompressed 24-bit images, rows
 * ((width + 1) * 3) rounded down to a multiple of 4 bytes (the padded size of
 * width B, G, R triples), bottom row first unless the height is negative.
 * The rows are read at the header's pixel offset and must lie in the data. */
#include <cstring>

#include "image/picture.h"

namespace kesra::pic {
namespace {

constexpr size_t kHeadersBytes = 54;  // 14-byte file header, 40-byte information header

uint32_t u32_at(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t u16_at(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

}  // namespace

bool decode_bmp(const uint8_t* data, size_t size, CEPICSTORE& store) {
    release_planes(store);
    if (!data || size < kHeadersBytes || data[0] != 'B' || data[1] != 'M') return false;
    const uint8_t* info = data + 14;
    const int64_t width = static_cast<int32_t>(u32_at(info + 4));
    const int64_t stored_height = static_cast<int32_t>(u32_at(info + 8));
    const uint16_t bit_count = u16_at(info + 14);
    const uint32_t compression = u32_at(info + 16);
    // Files written with a pixel offset of 0 or inside the headers mean 54.
    uint64_t offset = u32_at(data + 10);
    if (offset < kHeadersBytes) offset = kHeadersBytes;
    if (compression != 0 || bit_count != 24) return false;
    const bool top_down = stored_height < 0;
    const int64_t height = top_down ? -stored_height : stored_height;
    if (!allocate_planes(store, width, height, false)) return false;
    const uint64_t row_bytes = static_cast<uint64_t>((width + 1) * 3) & ~uint64_t{3};
    if (offset > size || row_bytes * static_cast<uint64_t>(height) > size - offset) {
        release_planes(store);
        return false;
    }
    for (int64_t r = 0; r < height; ++r) {
        const uint8_t* in = data + offset + static_cast<uint64_t>(r) * row_bytes;
        const int64_t y = top_down ? r : height - 1 - r;
        uint16_t* out = store.pPixels + static_cast<size_t>(y * width);
        for (int64_t i = 0; i < width; ++i, in += 3) out[i] = narrow565(in[2], in[1], in[0]);
    }
    return true;
}

}  // namespace kesra::pic
