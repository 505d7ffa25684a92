/* fuzz_jpeg_own.cpp - the picture class's own baseline JPEG decoder, from
 * memory with each inverse DCT, and from a file.
 * Dictionary: fuzz/jpeg.dict (libFuzzer -dict=fuzz/jpeg.dict). */
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "image/jpeg_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kesra::pic;
    JpegDecoder jpeg;
    for (int idct : {kJpegIdctInteger, kJpegIdctFloat, kJpegIdctNone}) {
        if (!jpeg.decode_memory(data, size, idct)) continue;
        // Touch every plane sample, so that a plane shorter than claimed shows.
        unsigned sum = 0;
        const size_t samples = size_t(jpeg.plane_width()) * jpeg.plane_height();
        for (int c = 0; c < jpeg.components(); ++c)
            for (size_t i = 0; i < samples; ++i) sum += jpeg.plane(c)[i];
        (void)sum;
    }
    static const std::string path = [] {
        char name[] = "/tmp/kesra_fuzz_jpeg_own_XXXXXX";
        const int fd = mkstemp(name);
        if (fd >= 0) close(fd);
        return std::string(name);
    }();
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        if (size) std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    jpeg.decode_file(path.c_str());
    return 0;
}
