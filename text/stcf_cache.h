/* stcf_cache.h - finished cells (after the post-steps, before any style) kept
 * by everything that shapes them, so that a glyph drawn again is copied
 * instead of rasterised. A fixed table and byte arena, emptied whole when
 * either fills: bounded, never allocating. Drawing thread only. */
#ifndef KESRA_TEXT_STCF_CACHE_H
#define KESRA_TEXT_STCF_CACHE_H

#include <cstddef>
#include <cstdint>

#include "text/cell_ink.h"
#include "text/stcf_store.h"

namespace kesra::stcf {

constexpr int kCacheEntries = 8192;              // a power of two
constexpr size_t kCacheBytes = size_t{2} << 20;  // cell bytes held at most

enum class Cached { Missing, Drawn, Empty };

/* On Drawn copies the key's width * height bytes to cell and sets *ink to
 * their ink; Empty means the glyph rasterised to nothing (the cell stays as
 * it is); Missing: not kept. */
Cached fetch_cached(const StoreKey& key, uint8_t* cell, CellInk* ink);

/* Keeps the cell (null: the glyph rasterised to nothing) under key, with its
 * ink, found once here; returns that ink. */
CellInk keep_cached(const StoreKey& key, const uint8_t* cell);

/* Empties the cache (a released font, or tests). */
void clear_cache();

}  // namespace kesra::stcf

#endif
