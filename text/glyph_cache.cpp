/* glyph_cache.cpp - the two lists of rendered glyphs and the index that finds
 * a key's entry in either; nothing is allocated on a hit. */
#include "text/glyph_cache.h"

#include <cstdio>
#include <new>

namespace kesra {

void GlyphCache::List::unlink(Entry* e) {
    (e->prev ? e->prev->next : head) = e->next;
    (e->next ? e->next->prev : tail) = e->prev;
    e->prev = e->next = nullptr;
    --count;
}

void GlyphCache::List::push_front(Entry* e) { insert_before(head, e); }

void GlyphCache::List::insert_before(Entry* at, Entry* e) {
    e->next = at;
    e->prev = at ? at->prev : tail;
    (e->prev ? e->prev->next : head) = e;
    (at ? at->prev : tail) = e;
    ++count;
}

std::vector<std::pair<GlyphKey, int>> GlyphCache::List::entries() const {
    std::vector<std::pair<GlyphKey, int>> out;
    for (const Entry* e = head; e; e = e->next) out.emplace_back(e->key, e->hits);
    return out;
}

/* In front of the first entry whose count is not above its own. */
void GlyphCache::insert_ordered(Entry* e) {
    Entry* at = active_.head;
    while (at && at->hits > e->hits) at = at->next;
    active_.insert_before(at, e);
}

void GlyphCache::destroy(Entry* e) {
    ++generation_;
    index_erase(e);
    if (e->owner) FT_Done_Glyph(e->owner);
    delete e;
}

uint32_t GlyphCache::slot_of(const GlyphKey& key) {
    const uint32_t h = key.index * 0x9E3779B1u ^ static_cast<uint32_t>(key.width) * 0x85EBCA77u ^
                       static_cast<uint32_t>(key.height) * 0xC2B2AE3Du;
    return (h ^ h >> 15) & (kSlots - 1);
}

GlyphCache::Entry* GlyphCache::index_find(const GlyphKey& key) const {
    for (uint32_t i = slot_of(key);; i = (i + 1) & (kSlots - 1)) {
        if (!slots_[i].entry) return nullptr;
        if (slots_[i].key == key) return slots_[i].entry;
    }
}

void GlyphCache::index_insert(Entry* e) {
    uint32_t i = slot_of(e->key);
    while (slots_[i].entry) i = (i + 1) & (kSlots - 1);
    slots_[i] = Slot{e->key, e};
}

/* Removal moves later members of the probe run back, so no search stops early. */
void GlyphCache::index_erase(const Entry* e) {
    uint32_t hole = slot_of(e->key);
    while (slots_[hole].entry != e) hole = (hole + 1) & (kSlots - 1);
    for (uint32_t j = (hole + 1) & (kSlots - 1); slots_[j].entry; j = (j + 1) & (kSlots - 1)) {
        const uint32_t home = slot_of(slots_[j].key);
        // slots_[j] may fill the hole unless its home lies cyclically in (hole, j].
        const bool stays = hole <= j ? (home > hole && home <= j) : (home > hole || home <= j);
        if (stays) continue;
        slots_[hole] = slots_[j];
        hole = j;
    }
    slots_[hole] = Slot{};
}

const CachedGlyph* GlyphCache::Lookup(const GlyphKey& key) {
    Entry* e = index_find(key);
    if (!e) profile::count(profile::Kind::GlyphMiss);
    return e ? hit(e) : nullptr;
}

const CachedGlyph* GlyphCache::lookup_unhinted(const GlyphKey& key, Hint& hint) {
    Entry* e = index_find(key);
    if (!e) profile::count(profile::Kind::GlyphMiss);
    if (!e) return nullptr;
    hint = Hint{e, generation_};
    return hit(e);
}

/* The list is sorted by count: with one more hit the entry's place (in front
 * of the first entry whose count is not above its own) is found walking back
 * from where it stands. */
void GlyphCache::move_up(Entry* e) {
    Entry* before = e->prev;
    Entry* at = e->next;
    active_.unlink(e);
    while (before && before->hits <= e->hits) {
        at = before;
        before = before->prev;
    }
    active_.insert_before(at, e);
}

const CachedGlyph* GlyphCache::Add(const FT_Bitmap& bitmap, FT_Glyph owner, const GlyphKey& key, int32_t top,
                                   int32_t left) {
    if (active_.count >= kActiveCap) {
        Entry* evicted = active_.tail;
        active_.unlink(evicted);
        evicted->active = false;
        overflow_.push_front(evicted);
        if (overflow_.count > kOverflowCap) {  // full: the overflow keeps the ones it has
            overflow_.unlink(evicted);
            destroy(evicted);
        }
    }
    Entry* e =
        new (std::nothrow) Entry{nullptr, nullptr, CachedGlyph{top, left, bitmap}, key, 1, owner, true};
    if (!e) {
        std::printf("no memory.\n");
        return nullptr;
    }
    insert_ordered(e);
    index_insert(e);
    return &e->glyph;
}

void GlyphCache::Clear() {
    for (List* list : {&overflow_, &active_}) {
        while (Entry* e = list->head) {
            list->unlink(e);
            destroy(e);
        }
        *list = List{};
    }
}

}  // namespace kesra
