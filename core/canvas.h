/* canvas.h - the plain view of a buffer that every kernel draws on, and the
 * display geometry that all surfaces of the process share. Pixels are RGB565,
 * 2 bytes each and contiguous along a row: pixel (x, y) lies at
 * origin + x * 2 + y * ypitch (bytes), and 0 <= x < width, 0 <= y < height
 * bounds every pixel operation. */
#ifndef KESRA_CORE_CANVAS_H
#define KESRA_CORE_CANVAS_H

#include <algorithm>
#include <cstdint>

#include "wintypes.h"

namespace kesra {

struct Canvas {
    static constexpr int32_t xpitch = 2;  // bytes from one pixel to the next on its row

    uint8_t* origin;
    int32_t ypitch;  // bytes from one row to the next
    int32_t width;
    int32_t height;

    bool contains(int32_t x, int32_t y) const {
        return static_cast<uint32_t>(x) < static_cast<uint32_t>(width) &&
               static_cast<uint32_t>(y) < static_cast<uint32_t>(height);
    }
    uint16_t* at(int32_t x, int32_t y) const {
        return reinterpret_cast<uint16_t*>(origin + static_cast<intptr_t>(x) * xpitch +
                                           static_cast<intptr_t>(y) * ypitch);
    }
};

enum : DWORD { DISPLAY_FORMAT_RGB565 = 0x80 };

/* The display properties: one set per process, filled by the first surface
 * created (surface/cegraphics.cpp). Pixel (x, y) of an instance buffer or of
 * the back buffer lies at buffer + x * lXPitch + y * lYPitch; lXPitch is 2. */
struct DisplayProps {
    DWORD dwFormat;
    DWORD dwBitsPerPixel;
    DWORD dwWidth;
    DWORD dwHeight;
    DWORD dwBytesPerPixel;
    DWORD dwRowBytes;
    LONG lXPitch;
    LONG lYPitch;
};

extern DisplayProps m_DisplayProps;

/* A buffer laid out as the display: an instance buffer or the back buffer. */
inline Canvas display_canvas(uint8_t* buffer) {
    return Canvas{buffer, m_DisplayProps.lYPitch, static_cast<int32_t>(m_DisplayProps.dwWidth),
                  static_cast<int32_t>(m_DisplayProps.dwHeight)};
}

/* A block copy after clipping: source (sx + i, sy + j) goes to
 * (dx + i, dy + j) for 0 <= i < w, 0 <= j < h. */
struct Block {
    int32_t dx, dy;  // destination of the block's top-left pixel
    int32_t sx, sy;  // the block's top-left pixel in the source
    int32_t w, h;
};

/* Cuts the w x h block from (sx, sy) to (dx, dy) to the source's and the
 * destination's rectangles, the two corners moving together; false when
 * nothing is left. Sizes come in 64 bits so that no sum overflows. */
inline bool clip_block(int64_t dx, int64_t dy, int64_t sx, int64_t sy, int64_t w, int64_t h,
                       int32_t src_width, int32_t src_height, int32_t dst_width, int32_t dst_height,
                       Block* out) {
    const int64_t left = std::max<int64_t>({0, -sx, -dx});
    const int64_t top = std::max<int64_t>({0, -sy, -dy});
    const int64_t right = std::min<int64_t>({w, int64_t{src_width} - sx, int64_t{dst_width} - dx});
    const int64_t bottom = std::min<int64_t>({h, int64_t{src_height} - sy, int64_t{dst_height} - dy});
    if (right <= left || bottom <= top) return false;
    *out = Block{static_cast<int32_t>(dx + left),    static_cast<int32_t>(dy + top),
                 static_cast<int32_t>(sx + left),    static_cast<int32_t>(sy + top),
                 static_cast<int32_t>(right - left), static_cast<int32_t>(bottom - top)};
    return true;
}

}  // namespace kesra

#endif
