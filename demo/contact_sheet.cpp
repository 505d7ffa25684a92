/* contact_sheet.cpp - thumbnails of whole frames laid out on a grid; see
 * contact_sheet.h. */
#include "demo/contact_sheet.h"

#include <cstdio>

#include "demo/scenes.h"
#include "tools/common/png565.h"

namespace navdemo {
namespace {

constexpr int kScale = 8, kThumbW = kWidth / kScale, kThumbH = kHeight / kScale, kGap = 4;

uint16_t average_2x2(const uint16_t* p) {
    const uint16_t q[4] = {p[0], p[1], p[kWidth], p[kWidth + 1]};
    unsigned r = 0, g = 0, b = 0;
    for (uint16_t c : q) {
        r += c >> 11;
        g += (c >> 5) & 63;
        b += c & 31;
    }
    return static_cast<uint16_t>((r / 4) << 11 | (g / 4) << 5 | (b / 4));
}

}  // namespace

ContactSheet::ContactSheet(int columns, int rows)
    : columns_(columns),
      rows_(rows),
      width_(columns * (kThumbW + kGap) + kGap),
      height_(rows * (kThumbH + kGap) + kGap),
      pixels_(static_cast<size_t>(width_) * height_, rgb565(24, 24, 24)) {}

void ContactSheet::place(int column, int row, const uint16_t* frame) {
    if (column < 0 || column >= columns_ || row < 0 || row >= rows_) return;
    const int x0 = kGap + column * (kThumbW + kGap), y0 = kGap + row * (kThumbH + kGap);
    for (int y = 0; y < kThumbH; ++y)
        for (int x = 0; x < kThumbW; ++x)
            pixels_[static_cast<size_t>(y0 + y) * width_ + x0 + x] =
                average_2x2(frame + static_cast<size_t>(y * kScale) * kWidth + x * kScale);
}

bool ContactSheet::write(const std::string& path) const {
    return write_picture(path, pixels_.data(), width_, height_);
}

bool write_picture(const std::string& path, const uint16_t* pixels, int width, int height) {
    std::string error;
    if (kesra::devutil::write_png565(path, pixels, width, height, width, &error)) return true;
    std::fprintf(stderr, "navdemo: %s\n", error.c_str());
    return false;
}

}  // namespace navdemo
