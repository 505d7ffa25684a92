/* pic_gif.cpp - the picture's GIF path: the first image of the stream through
 * the GIF decoder, its palette of B, G, R, 0 entries turned into Color16 and
 * every index row (rounded up to a multiple of 4 bytes) mapped through it.
 * The transparent index and the other control values are not applied. */
#include <array>

#include "image/gif_decoder.h"
#include "image/picture.h"

namespace kesra::pic {

bool decode_gif(const uint8_t* data, size_t size, CEPICSTORE& store) {
    release_planes(store);
    GifDecoder gif;
    if (!gif.open_memory(data, size)) return false;
    const uint8_t* palette = gif.decode();
    if (!palette) return false;
    const int width = gif.width(), height = gif.height();
    const uint64_t row_size = static_cast<uint64_t>(gif.row_size());
    if (width < 1 || height < 1 || kGifRowsOffset + row_size * height > gif.buffer_size()) return false;
    if (!allocate_planes(store, width, height, false)) return false;
    std::array<uint16_t, 256> colours;
    for (size_t i = 0; i < colours.size(); ++i) {
        const uint8_t* entry = palette + i * 4;
        colours[i] = narrow565(entry[2], entry[1], entry[0]);
    }
    const uint8_t* rows = gif.indices();
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = rows + static_cast<size_t>(y) * row_size;
        uint16_t* out = store.pPixels + static_cast<size_t>(y) * width;
        for (int x = 0; x < width; ++x) out[x] = colours[in[x]];
    }
    return true;
}

}  // namespace kesra::pic
