/* stcf_store.h - the small-glyph store: 100 finished cells of up to 24 x 24,
 * kept with their key and an age (0 free, 1 the most recently used, 100 the
 * oldest, which is the one replaced). Process-wide, drawing thread only. */
#ifndef KESRA_TEXT_STCF_STORE_H
#define KESRA_TEXT_STCF_STORE_H

#include <cstdint>

namespace kesra::stcf {

constexpr int kStoreSlots = 100;
constexpr int kStoreMaxSide = 24;
constexpr uint32_t kOldest = 100;

/* What a stored cell was rendered from. Besides the glyph, page, level count,
 * size and rings, the key holds every flag and the size adjustment, which
 * change the cell too, and the font it came from. */
struct StoreKey {
    uint32_t number, kind, page, levels, width, height, flags;
    int32_t adjust;
    uint32_t font;
    bool operator==(const StoreKey& o) const {
        return number == o.number && kind == o.kind && page == o.page && levels == o.levels &&
               width == o.width && height == o.height && flags == o.flags && adjust == o.adjust &&
               font == o.font;
    }
};

/* On a hit copies width * height bytes to cell, makes the slot the most
 * recent and ages the others; a miss changes nothing. */
bool fetch_stored(const StoreKey& key, uint8_t* cell);

/* Keeps the cell in the first free slot or else the first slot of age 100;
 * every other slot in use ages. With all slots younger than 100 nothing is
 * kept. */
void store_cell(const StoreKey& key, const uint8_t* cell);

/* Frees the slots of one font (a released record), or all with font 0. */
void forget_font(uint32_t font);

/* The age of a slot, for tests: 0 when free. */
uint32_t slot_age(int slot);

}  // namespace kesra::stcf

#endif
