/* stcf_cache.cpp - open addressing with linear probing over a fixed table;
 * cells live back to back in one arena. Nothing is ever removed alone, so a
 * probe ends at the first unused entry. */
#include "text/stcf_cache.h"

#include <cstring>

namespace kesra::stcf {

namespace {

struct Entry {
    StoreKey key;
    uint32_t offset;
    CellInk ink;
    bool used, drawn;
};

struct Cache {
    Entry entries[kCacheEntries];
    uint8_t arena[kCacheBytes];
    size_t arena_used = 0;
    int count = 0;
};

Cache& cache() {
    static Cache c;
    return c;
}

size_t cell_bytes(const StoreKey& key) { return static_cast<size_t>(key.width) * key.height; }

/* The key's fields paired into words, each word multiplied by its own odd
 * constant (the products overlap), the sum's high half mixed down. */
uint32_t hash_of(const StoreKey& k) {
    auto pair = [](uint32_t low, uint32_t high) { return uint64_t{low} | uint64_t{high} << 32; };
    const uint64_t sum = pair(k.number, k.kind) * 0x9E3779B97F4A7C15ull +
                         pair(k.page, k.levels) * 0xC2B2AE3D27D4EB4Full +
                         pair(k.width, k.height) * 0x165667B19E3779F9ull +
                         pair(k.flags, static_cast<uint32_t>(k.adjust)) * 0xD6E8FEB86659FD93ull +
                         uint64_t{k.font} * 0xFF51AFD7ED558CCDull;
    const uint64_t mixed = (sum ^ sum >> 31) * 0x94D049BB133111EBull;
    return static_cast<uint32_t>(mixed >> 32);
}

/* The entry holding key, or the unused one where it would go. */
Entry& slot_for(Cache& c, const StoreKey& key) {
    uint32_t i = hash_of(key) & (kCacheEntries - 1);
    while (c.entries[i].used && !(c.entries[i].key == key)) i = (i + 1) & (kCacheEntries - 1);
    return c.entries[i];
}

}  // namespace

Cached fetch_cached(const StoreKey& key, uint8_t* cell, CellInk* ink) {
    Cache& c = cache();
    const Entry& e = slot_for(c, key);
    if (!e.used) return Cached::Missing;
    if (!e.drawn) return Cached::Empty;
    std::memcpy(cell, c.arena + e.offset, cell_bytes(key));
    *ink = e.ink;
    return Cached::Drawn;
}

CellInk keep_cached(const StoreKey& key, const uint8_t* cell) {
    Cache& c = cache();
    const size_t bytes = cell ? cell_bytes(key) : 0;
    const CellInk ink =
        cell ? ink_of(cell, static_cast<int>(key.width), static_cast<int>(key.height)) : CellInk{};
    if (bytes > kCacheBytes) return ink;
    // Three quarters full keeps the probes short.
    if (c.count >= kCacheEntries * 3 / 4 || c.arena_used + bytes > kCacheBytes) clear_cache();
    Entry& e = slot_for(c, key);
    if (e.used) return ink;
    e = Entry{key, static_cast<uint32_t>(c.arena_used), ink, true, cell != nullptr};
    if (cell) std::memcpy(c.arena + c.arena_used, cell, bytes);
    c.arena_used += bytes;
    ++c.count;
    return ink;
}

void clear_cache() {
    Cache& c = cache();
    if (c.count == 0) return;
    for (Entry& e : c.entries) e.used = false;
    c.arena_used = 0;
    c.count = 0;
}

}  // namespace kesra::stcf
