/* fuzz_pack.cpp - the resource pack readers on arbitrary bytes: the loaders
 * on the pack stream (blocks as stored, expanded, temporary), each result
 * drawn with its planes decoded and read raw, and the in-memory view. */
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bitmap/blit.h"
#include "bitmap/pack_view.h"
#include "cebitmap.h"

namespace {

void draw_everywhere(const CCEBitmap& b) {
    static std::vector<uint16_t> screen(64 * 48);
    const kesra::Canvas canvas{reinterpret_cast<uint8_t*>(screen.data()), 64 * 2, 64, 48};
    kesra::draw_bitmap(canvas, b, -3, 2, 0, 0, 0, 0, true);
    kesra::draw_bitmap(canvas, b, 5, -4, 20, 20, 1, 2, false);
    kesra::blit_bitmap_window(canvas, b, 10, 10, 30, 30, 2, 3);
    kesra::trans_blt(canvas, b, -1, -1, 50, 50, 0, 0, 0xF81F);
    kesra::stretch_blt(canvas, b, 0, 0, 37, 23, 0, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kesra::pack::PackView view;
    std::string error;
    if (view.open(data, size, &error)) {
        for (uint32_t i = 0; i < view.count() && i < 8; ++i) {
            kesra::pack::ImageBlocks image;
            std::vector<uint16_t> pixels;
            std::vector<uint8_t> alpha;
            if (view.image(i, &image, &error) &&
                uint64_t{static_cast<uint32_t>(image.record.width)} * image.record.height < (1u << 22))
                kesra::pack::decode_image(image, &pixels, &alpha, &error);
        }
    }
    if (size == 0) return 0;
    FILE* stream = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!stream) return 0;
    CCEBitmap::m_fpResource = stream;
    for (unsigned id = 299; id < 304; ++id) {
        CCEBitmap stored, temp;
        if (stored.LoadBitmapW(id) &&
            static_cast<uint64_t>(stored.m_nWidth) * static_cast<uint64_t>(stored.m_nHeight) < (1u << 22)) {
            draw_everywhere(stored);
            CCEBitmap expanded;
            if (expanded.LoadBitmapW(id, 0, 0)) draw_everywhere(expanded);
        }
        if (temp.LoadBitmapTemp(id)) draw_everywhere(temp);
    }
    CCEBitmap::CloseResource();
    return 0;
}
