/* cell_ink.h - where a rendered cell has ink: a box outside which every byte
 * is 0, and whether any byte inside lies above the 16 coverage levels (the
 * engine's edge markers). Painters visit only the box, and look for markers
 * only when there are some. */
#ifndef KESRA_TEXT_CELL_INK_H
#define KESRA_TEXT_CELL_INK_H

#include <cstdint>

namespace kesra {

struct CellInk {
    uint8_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // columns x0..x1 - 1, rows y0..y1 - 1
    bool marked = false;

    /* What a painter assumes of a cell it knows nothing about. */
    static CellInk whole() { return CellInk{0, 0, UINT8_MAX, UINT8_MAX, true}; }
};

/* The ink of a width x height cell (rows width bytes apart; sides at most 255). */
inline CellInk ink_of(const uint8_t* cell, int width, int height) {
    CellInk ink{static_cast<uint8_t>(width), static_cast<uint8_t>(height), 0, 0, false};
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = cell + y * width;
        int first = 0, last = width - 1;
        while (first < width && row[first] == 0) ++first;
        if (first == width) continue;
        while (row[last] == 0) --last;
        for (int x = first; x <= last; ++x) ink.marked |= row[x] > 16;
        if (first < ink.x0) ink.x0 = static_cast<uint8_t>(first);
        if (last + 1 > ink.x1) ink.x1 = static_cast<uint8_t>(last + 1);
        if (y < ink.y0) ink.y0 = static_cast<uint8_t>(y);
        ink.y1 = static_cast<uint8_t>(y + 1);
    }
    if (ink.x0 >= ink.x1) ink = CellInk{};
    return ink;
}

}  // namespace kesra

#endif
