/* fuzz_pic.cpp - the picture class: the input as a memory image of each of
 * the four types and as a file, and every picture that loads drawn scaled
 * onto a small canvas from a corner chosen by the input's first bytes. */
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz/fuzz_input_file.h"
#include "image/picture.h"
#include "kesra.h"

namespace {

const std::string& input_path() {
    static const std::string path =
        kesra::fuzz::make_input_path("pic", ".png");  // the PNG reader wants the extension
    return path;
}

void draw(const CCEPic& pic, const uint8_t* data, size_t size) {
    static std::vector<uint16_t> pixels(64 * 48);
    const kesra::Canvas canvas{reinterpret_cast<uint8_t*>(pixels.data()), 64 * 2, 64, 48};
    const int32_t sx = size > 0 ? data[0] % 8 : 0, sy = size > 1 ? data[1] % 8 : 0;
    kesra::pic::draw_scaled(canvas, *pic.m_pStore, 3, 2, 61, 46, sx, sy);
    kesra::pic::draw_scaled(canvas, *pic.m_pStore, 0, 0, 5, 200, 0, sy);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CCEPic pic;
    for (unsigned type = CEPIC_TYPE_BMP; type <= CEPIC_TYPE_JPEG; ++type) {
        if (pic.LoadPic(data, static_cast<DWORD>(size), type)) draw(pic, data, size);
    }
    kesra::fuzz::write_input(input_path(), data, size);
    for (unsigned type = CEPIC_TYPE_BMP; type <= CEPIC_TYPE_JPEG; ++type) {
        if (pic.LoadPic(input_path().c_str(), type)) draw(pic, data, size);
    }
    return 0;
}
