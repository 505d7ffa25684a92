/* fuzz_frame_pack.cpp - the compressed frame pack (zlib blocks) and the
 * real-scene file (PNG payloads), both read from the input as a file: the
 * first frames by ID and the first scene indices at two target sizes. Every
 * bitmap that loads is drawn, so a plane shorter than its size claims shows. */
#include <cstdint>
#include <string>
#include <vector>

#include "bitmap/blit.h"
#include "fuzz/fuzz_image_common.h"

namespace {

void draw(const CCEBitmap& b) {
    static std::vector<uint16_t> screen(48 * 32);
    const kesra::Canvas canvas{reinterpret_cast<uint8_t*>(screen.data()), 48 * 2, 48, 32};
    kesra::draw_bitmap(canvas, b, -2, 3, 0, 0, 0, 0, true);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kesra;
    fuzz::setup_module();
    const std::u16string path = fuzz::input_file(data, size);
    for (LONG id = 299; id < 303; ++id) {
        CCEBitmap frame;
        if (frame.LoadBitmapGIF(path.c_str(), id) &&
            static_cast<uint64_t>(frame.m_nWidth) * static_cast<uint64_t>(frame.m_nHeight) < (1u << 22))
            draw(frame);
    }
    for (LONG index = 0; index < 3; ++index) {
        for (tagRECT rect : {tagRECT{0, 0, 15, 9}, tagRECT{3, 4, 2, 40}}) {
            CCEBitmap scene;
            if (scene.LoadBitmap3D(path.c_str(), index, rect)) draw(scene);
        }
    }
    return 0;
}
