/* pic_draw.cpp - the picture drawn scaled by nearest neighbour: destination
 * (x + i, y + j) samples source ((sx + i) * fx, (sy + j) * fy) truncated, the
 * scale factors in single precision. The destination is cut to the canvas
 * and a sample that falls past the plane is skipped. */
#include <algorithm>

#include "bitmap/blit.h"
#include "image/picture.h"

namespace kesra::pic {

void draw_scaled(const Canvas& dst, const CEPICSTORE& pic, int32_t x, int32_t y, int32_t w, int32_t h,
                 int32_t sx, int32_t sy) {
    if (!pic.pPixels || w <= 0 || h <= 0 || !dst.contains(x, y)) return;
    const int32_t width = pic.nWidth, height = pic.nHeight;
    const float fx = static_cast<float>(width) / static_cast<float>(w);
    const float fy = static_cast<float>(height) / static_cast<float>(h);
    const int32_t columns = std::min(w, dst.width - x);
    const int32_t rows = std::min(h, dst.height - y);
    for (int32_t j = 0; j < rows; ++j) {
        const int32_t row = static_cast<int32_t>(static_cast<float>(sy + j) * fy);
        if (row >= height) break;  // rows only grow from here
        const size_t row_start = static_cast<size_t>(row) * static_cast<size_t>(width);
        uint16_t* out = dst.at(x, y + j);
        for (int32_t i = 0; i < columns; ++i) {
            const int32_t column = static_cast<int32_t>(static_cast<float>(sx + i) * fx);
            if (column >= width) break;
            const size_t at = row_start + static_cast<size_t>(column);
            if (!pic.pAlpha) {
                out[i] = pic.pPixels[at];
            } else if (pic.pAlpha[at] != 0) {
                blend_bitmap_pixel(out + i, pic.pPixels[at], pic.pAlpha[at] / 8u);
            }
        }
    }
}

}  // namespace kesra::pic
