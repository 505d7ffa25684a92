/* fuzz_bitmap_files.cpp - the bitmap loaders that take a length or a file
 * and sit above the image module: the BMP in memory with its size, the PNG
 * file with alpha (read whole into the image pool), and a PNG, BMP or JPEG
 * file resampled to a small size. The BMP data is copied into a buffer of
 * exactly its size, so a read past it is caught. */
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_image_common.h"

namespace {

/* The input as a file named with ext, for the loaders that pick by name. */
std::u16string input_file_named(const uint8_t* data, size_t size, const char* ext) {
    const std::u16string plain = kesra::fuzz::input_file(data, size);
    const std::string from(plain.begin(), plain.end()), to = from + ext;
    std::rename(from.c_str(), to.c_str());
    return std::u16string(to.begin(), to.end());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kesra;
    fuzz::setup_module();
    if (size <= static_cast<size_t>(INT32_MAX)) {
        std::vector<uint8_t> exact(data, data + size);
        for (auto [w, h] : {std::pair{0, 0}, std::pair{7, 5}}) {
            CCEBitmap b;
            b.LoadBitmapW(exact.data(), static_cast<int>(size), 0xFFFE, w, h);
        }
    }
    for (const char* ext : {".png", ".bmp", ".jpg"}) {
        const std::u16string path = input_file_named(data, size, ext);
        CCEBitmap b;
        if (std::strcmp(ext, ".png") == 0) b.LoadBitmapW(path.c_str());
        b.LoadBitmapW(path.c_str(), 7, 5);
        const std::string name(path.begin(), path.end());
        std::remove(name.c_str());
    }
    return 0;
}
