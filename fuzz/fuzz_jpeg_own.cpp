/* fuzz_jpeg_own.cpp - the picture class's own baseline JPEG decoder, from
 * memory with each inverse DCT, and from a file.
 * Dictionary: fuzz/jpeg.dict (libFuzzer -dict=fuzz/jpeg.dict). */
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz/fuzz_input_file.h"
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
    static const std::string path = kesra::fuzz::make_input_path("jpeg_own", "");
    kesra::fuzz::write_input(path, data, size);
    jpeg.decode_file(path.c_str());
    return 0;
}
