/* glyph_cache.cpp - the two lists of rendered glyphs. Searches are linear over
 * at most 100 + 300 entries; nothing is allocated on a hit. */
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

GlyphCache::Entry* GlyphCache::List::find(const GlyphKey& key) const {
    for (Entry* e = head; e; e = e->next)
        if (e->key == key) return e;
    return nullptr;
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
    if (e->owner) FT_Done_Glyph(e->owner);
    delete e;
}

const CachedGlyph* GlyphCache::Lookup(const GlyphKey& key) {
    if (Entry* e = active_.find(key)) {
        // The list is sorted by count: with one more hit the entry's place
        // (in front of the first entry whose count is not above its own) is
        // found walking back from where it stands.
        ++e->hits;
        Entry* at = e->next;
        Entry* before = e->prev;
        active_.unlink(e);
        while (before && before->hits <= e->hits) {
            at = before;
            before = before->prev;
        }
        active_.insert_before(at, e);
        return &e->glyph;
    }
    if (Entry* e = overflow_.find(key)) return &e->glyph;
    return nullptr;
}

const CachedGlyph* GlyphCache::Add(const FT_Bitmap& bitmap, FT_Glyph owner, const GlyphKey& key, int32_t top,
                                   int32_t left) {
    if (active_.count >= kActiveCap) {
        Entry* evicted = active_.tail;
        active_.unlink(evicted);
        overflow_.push_front(evicted);
        if (overflow_.count > kOverflowCap) {  // full: the overflow keeps the ones it has
            overflow_.unlink(evicted);
            destroy(evicted);
        }
    }
    Entry* e = new (std::nothrow) Entry{nullptr, nullptr, CachedGlyph{top, left, bitmap}, key, 1, owner};
    if (!e) {
        std::printf("no memory.\n");
        return nullptr;
    }
    insert_ordered(e);
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
