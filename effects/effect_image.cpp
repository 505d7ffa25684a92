/* effect_image.cpp - the effect image record: clearing, freeing, capture from
 * a screen buffer and uniform alpha. Capture rectangles are half-open (right
 * and bottom exclusive); the captured plane is packed at nWidth pixels. */
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/canvas.h"
#include "effects/transforms.h"

namespace kesra {

void effect_clear(tagEFFECTIMAGE* image) {
    if (image) *image = tagEFFECTIMAGE{};
}

int effect_free(tagEFFECTIMAGE* image) {
    if (!image) return 0;
    std::free(image->pPixels);
    std::free(image->pAlpha);
    effect_clear(image);
    return 1;
}

int effect_capture(tagEFFECTIMAGE* image, const Canvas& screen, const RECT& rect) {
    if (!image || !screen.origin) return 0;
    const int64_t width = int64_t{rect.right} - rect.left;
    const int64_t height = int64_t{rect.bottom} - rect.top;
    if (width < 1 || height < 1) return 0;
    const uint64_t count = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    if (width > INT32_MAX || height > INT32_MAX || count > SIZE_MAX / 2) return 0;
    auto* pixels = static_cast<uint16_t*>(std::calloc(count, 2));
    if (!pixels) return 0;

    // Only the part of the rectangle on the screen is read; the rest stays 0.
    const int64_t x0 = std::max<int64_t>(rect.left, 0);
    const int64_t x1 = std::min<int64_t>(rect.right, screen.width);
    const int64_t y0 = std::max<int64_t>(rect.top, 0);
    const int64_t y1 = std::min<int64_t>(rect.bottom, screen.height);
    for (int64_t y = y0; x0 < x1 && y < y1; ++y) {
        uint16_t* out = pixels + (y - rect.top) * width + (x0 - rect.left);
        std::memcpy(out, screen.at(static_cast<int32_t>(x0), static_cast<int32_t>(y)),
                    static_cast<size_t>(x1 - x0) * 2);
    }
    image->nWidth = static_cast<LONG>(width);
    image->nHeight = static_cast<LONG>(height);
    image->pAlpha = nullptr;
    image->pPixels = pixels;
    return 1;
}

int effect_capture(tagEFFECTIMAGE* image, const uint8_t* screen_buffer, const RECT& rect) {
    return effect_capture(image, display_canvas(const_cast<uint8_t*>(screen_buffer)), rect);
}

int effect_set_alpha(tagEFFECTIMAGE* image, int level) {
    if (!image) return 0;
    if (image->nWidth < 1 || image->nHeight < 1) return 1;
    const size_t count = static_cast<size_t>(image->nWidth) * static_cast<size_t>(image->nHeight);
    if (!image->pAlpha) {
        image->pAlpha = static_cast<uint8_t*>(std::malloc(count));
        if (!image->pAlpha) return 0;
        std::memset(image->pAlpha, 32, count);
    }
    uint8_t* alpha = image->pAlpha;
    for (size_t i = 0; i < count; ++i) {
        alpha[i] = static_cast<uint8_t>(static_cast<int>(alpha[i]) * level / 32);
    }
    return 1;
}

}  // namespace kesra
