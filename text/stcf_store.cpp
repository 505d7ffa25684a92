/* stcf_store.cpp - the small-glyph store. Slots are scanned in order and the
 * used ones are packed at the front: a free slot ends a search, and forgetting
 * a font moves the slots after it down. */
#include "text/stcf_store.h"

#include <cstring>

namespace kesra::stcf {

namespace {

struct Slot {
    StoreKey key;
    uint32_t age;  // 0 free
    uint8_t cell[kStoreMaxSide * kStoreMaxSide];
};

Slot* slots() {
    static Slot store[kStoreSlots];
    return store;
}

size_t cell_bytes(const StoreKey& key) { return static_cast<size_t>(key.width) * key.height; }

}  // namespace

bool fetch_stored(const StoreKey& key, uint8_t* cell) {
    Slot* s = slots();
    int hit = -1;
    for (int i = 0; i < kStoreSlots && s[i].age != 0; ++i)
        if (s[i].key == key) {
            hit = i;
            break;
        }
    if (hit < 0) return false;
    std::memcpy(cell, s[hit].cell, cell_bytes(key));
    for (int i = 0; i < kStoreSlots; ++i)
        if (s[i].age != 0 && s[i].age < kOldest) ++s[i].age;
    s[hit].age = 1;
    return true;
}

void store_cell(const StoreKey& key, const uint8_t* cell) {
    if (key.width > kStoreMaxSide || key.height > kStoreMaxSide) return;
    Slot* s = slots();
    int i = 0;
    for (; i < kStoreSlots; ++i) {
        if (s[i].age == 0 || s[i].age == kOldest) break;
        ++s[i].age;
    }
    if (i == kStoreSlots) return;
    s[i].key = key;
    s[i].age = 1;
    std::memcpy(s[i].cell, cell, cell_bytes(key));
    for (int j = i + 1; j < kStoreSlots; ++j)
        if (s[j].age != 0 && s[j].age < kOldest) ++s[j].age;
}

void forget_font(uint32_t font) {
    Slot* s = slots();
    int kept = 0;
    for (int i = 0; i < kStoreSlots; ++i)
        if (s[i].age != 0 && font != 0 && s[i].key.font != font) {
            if (kept != i) s[kept] = s[i];
            ++kept;
        }
    for (int i = kept; i < kStoreSlots; ++i) s[i].age = 0;
}

uint32_t slot_age(int slot) { return slot >= 0 && slot < kStoreSlots ? slots()[slot].age : 0; }

}  // namespace kesra::stcf
