/* fuzz_gif.cpp - the picture class's GIF decoder: from memory (header, block
 * walk, LZW into the index rows) and from a file.
 * Dictionary: fuzz/gif.dict (libFuzzer -dict=fuzz/gif.dict). */
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

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
    static const std::string path = [] {
        char name[] = "/tmp/kesra_fuzz_gif_XXXXXX";
        const int fd = mkstemp(name);
        if (fd >= 0) close(fd);
        return std::string(name);
    }();
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        if (size) std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    const std::u16string wide(path.begin(), path.end());
    if (gif.open_file(wide.c_str())) gif.decode();
    return 0;
}
