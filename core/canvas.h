/* canvas.h - the plain view of a drawing context that the primitives work on:
 * pixel (x, y) lies at origin + x * xpitch + y * ypitch (bytes), and
 * 0 <= x < width, 0 <= y < height bounds every pixel operation. */
#ifndef KESRA_CORE_CANVAS_H
#define KESRA_CORE_CANVAS_H

#include <cstdint>

namespace kesra {

struct Canvas {
    uint8_t* origin;
    int32_t xpitch;
    int32_t ypitch;
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

}  // namespace kesra

#endif
