/* stcf_cache.cpp - open addressing with linear probing over a fixed table;
 * cells live back to back in one arena. Nothing is ever removed alone, so a
 * probe ends at the first unused entry. */
#include "text/stcf_cache.h"

#include <cstring>
#include <initializer_list>

namespace kesra::stcf {

namespace {

struct Entry {
    StoreKey key;
    uint32_t offset;
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

uint32_t hash_of(const StoreKey& k) {
    uint32_t h = 2166136261u;
    for (uint32_t v : {k.number, k.kind, k.page, k.levels, k.width, k.height, k.flags,
                       static_cast<uint32_t>(k.adjust), k.font})
        h = (h ^ v) * 16777619u;
    return h ^ (h >> 15);
}

/* The entry holding key, or the unused one where it would go. */
Entry& slot_for(Cache& c, const StoreKey& key) {
    uint32_t i = hash_of(key) & (kCacheEntries - 1);
    while (c.entries[i].used && !(c.entries[i].key == key)) i = (i + 1) & (kCacheEntries - 1);
    return c.entries[i];
}

}  // namespace

Cached fetch_cached(const StoreKey& key, uint8_t* cell) {
    Cache& c = cache();
    const Entry& e = slot_for(c, key);
    if (!e.used) return Cached::Missing;
    if (!e.drawn) return Cached::Empty;
    std::memcpy(cell, c.arena + e.offset, cell_bytes(key));
    return Cached::Drawn;
}

void keep_cached(const StoreKey& key, const uint8_t* cell) {
    Cache& c = cache();
    const size_t bytes = cell ? cell_bytes(key) : 0;
    if (bytes > kCacheBytes) return;
    // Three quarters full keeps the probes short.
    if (c.count >= kCacheEntries * 3 / 4 || c.arena_used + bytes > kCacheBytes) clear_cache();
    Entry& e = slot_for(c, key);
    if (e.used) return;
    e = Entry{key, static_cast<uint32_t>(c.arena_used), true, cell != nullptr};
    if (cell) std::memcpy(c.arena + c.arena_used, cell, bytes);
    c.arena_used += bytes;
    ++c.count;
}

void clear_cache() {
    Cache& c = cache();
    if (c.count == 0) return;
    for (Entry& e : c.entries) e.used = false;
    c.arena_used = 0;
    c.count = 0;
}

}  // namespace kesra::stcf
