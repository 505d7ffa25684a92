/* fuzz_gif.cpp - the picture class's GIF decoder: from memory (header, block
 * walk, LZW into the index rows) and from a file.
 * Dictionary: fuzz/gif.dict (libFuzzer -dict=fuzz/gif.dict). */
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz/fuzz_input_file.h"
#include "image/gif_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using kesra::pic::GifDecoder;
    GifDecoder gif;
    if (gif.open_memory(data, size) && gif.decode()) {
        // Touch every index byte, so that a row beyond the buffer shows.
        unsigned sum = 0;
        const size_t bytes = size_t(gif.row_size()) * gif.height();
        for (size_t i = 0; i < bytes; ++i) sum += gif.indices()[i];
        (void)sum;
    }
    static const std::string path = kesra::fuzz::make_input_path("gif", "");
    kesra::fuzz::write_input(path, data, size);
    const std::u16string wide(path.begin(), path.end());
    if (gif.open_file(wide.c_str())) gif.decode();
    return 0;
}
