/* glyph_cache.h - the FreeType glyph bitmaps already rendered, keyed by
 * (glyph index, pixel width, pixel height). ActiveList holds up to 100 entries
 * sorted by hit count, highest first (ties: the latest inserted or hit first);
 * entries pushed out of it go to the head of OverflowList, which keeps at most
 * 300 and is searched unchanged. Each entry owns the FreeType glyph behind its
 * bitmap; a bitmap handed out stays valid until the next Add or Clear. An
 * index over both lists finds a key's entry (keys are unique: a glyph is added
 * after its lookup missed); the lists alone decide order and eviction. A
 * caller may keep a hint to an entry, checked against a count of drops. */
#ifndef KESRA_TEXT_GLYPH_CACHE_H
#define KESRA_TEXT_GLYPH_CACHE_H

#include <ft2build.h>

#include "core/profile.h"
#include FT_FREETYPE_H
#include FT_GLYPH_H

#include <cstdint>
#include <utility>
#include <vector>

namespace kesra {

/* What a lookup hands out: the bearings and the bitmap descriptor. */
struct CachedGlyph {
    int32_t top;   // FreeType bitmap_top
    int32_t left;  // FreeType bitmap_left
    FT_Bitmap bitmap;
};

struct GlyphKey {
    uint32_t index;  // glyph index, or the code point when the face has no charmap
    int32_t width;
    int32_t height;
    bool operator==(const GlyphKey& o) const {
        return index == o.index && width == o.width && height == o.height;
    }
};

class GlyphCache {
   public:
    static constexpr int kActiveCap = 100;
    static constexpr int kOverflowCap = 300;

    GlyphCache() = default;
    ~GlyphCache() { Clear(); }
    GlyphCache(const GlyphCache&) = delete;
    GlyphCache& operator=(const GlyphCache&) = delete;

    /* Where a key's entry was last found: still good while no entry has been
     * dropped since, and only for the key that entry holds. */
    struct Hint {
        const void* entry = nullptr;
        uint64_t generation = 0;
    };

    /* The cached glyph, or null. A hit in ActiveList counts and moves it. */
    const CachedGlyph* Lookup(const GlyphKey& key);
    /* The same lookup, trying the hint before the index and leaving the
     * entry found in it. */
    const CachedGlyph* Lookup(const GlyphKey& key, Hint& hint) {
        Entry* e =
            hint.generation == generation_ ? static_cast<Entry*>(const_cast<void*>(hint.entry)) : nullptr;
        return e && e->key == key ? hit(e) : lookup_unhinted(key, hint);
    }
    /* Caches a bitmap and takes ownership of owner (may be null). Returns the
     * new entry's glyph, or null when it could not be allocated: then the
     * caller keeps owner. */
    const CachedGlyph* Add(const FT_Bitmap& bitmap, FT_Glyph owner, const GlyphKey& key, int32_t top,
                           int32_t left);
    /* Drops every entry and releases its glyph. */
    void Clear();

    int active_count() const { return active_.count; }
    int overflow_count() const { return overflow_.count; }
    /* Keys and hit counts from head to tail, for inspection. */
    std::vector<std::pair<GlyphKey, int>> active_entries() const { return active_.entries(); }
    std::vector<std::pair<GlyphKey, int>> overflow_entries() const { return overflow_.entries(); }

   private:
    struct Entry {
        Entry* prev;
        Entry* next;
        CachedGlyph glyph;
        GlyphKey key;
        int32_t hits;
        FT_Glyph owner;
        bool active;  // in ActiveList, else in OverflowList
    };
    struct List {
        Entry* head = nullptr;
        Entry* tail = nullptr;
        int count = 0;
        void unlink(Entry* e);
        void push_front(Entry* e);
        void insert_before(Entry* at, Entry* e);  // at null: append
        std::vector<std::pair<GlyphKey, int>> entries() const;
    };

    void insert_ordered(Entry* e);
    void destroy(Entry* e);
    /* Counts a hit: an ActiveList entry moves ahead of the entries whose
     * count its own has reached; an OverflowList entry stays as it is. */
    const CachedGlyph* hit(Entry* e) {
        profile::count(profile::Kind::GlyphHit);
        if (e->active) {
            ++e->hits;
            if (e->prev && e->prev->hits <= e->hits) move_up(e);
        }
        return &e->glyph;
    }
    void move_up(Entry* e);
    const CachedGlyph* lookup_unhinted(const GlyphKey& key, Hint& hint);

    /* Open addressing with linear probing; at most 401 of the slots are used. */
    static constexpr uint32_t kSlots = 1024;
    static uint32_t slot_of(const GlyphKey& key);
    Entry* index_find(const GlyphKey& key) const;
    void index_insert(Entry* e);
    void index_erase(const Entry* e);

    /* A slot holds its entry's key beside it, so a probe reads no entry. */
    struct Slot {
        GlyphKey key;
        Entry* entry;  // null: empty
    };

    List active_;
    List overflow_;
    uint64_t generation_ = 0;  // entries dropped so far: a hint from before is void
    Slot slots_[kSlots] = {};
};

}  // namespace kesra

#endif
