/* image_pool.cpp - the pool, the temporary-bitmap table and placement. The
 * end of the last record is measured from the pool's start; a record whose
 * planes lie outside the pool (an empty record) ends at 0. */
#include "bitmap/image_pool.h"

#include <cstring>

#include "core/profile.h"

namespace kesra::pool {
namespace {

alignas(16) uint8_t g_pool[kPoolBytes];

struct Table {
    int count;
    TempRecord records[kTableRecords];
};
Table g_table;

/* Offset from the pool's start of the end of the last record's planes, or 0
 * when the record does not point into the pool. */
size_t end_of_last_record() {
    const TempRecord& last = g_table.records[g_table.count > 0 ? g_table.count - 1 : 0];
    const uint8_t* plane = last.alpha ? last.alpha : last.pixels;
    const int32_t size = last.alpha ? last.alpha_size : last.pixel_size;
    const uintptr_t start = reinterpret_cast<uintptr_t>(g_pool);
    const uintptr_t at = reinterpret_cast<uintptr_t>(plane);
    if (!plane || at < start || at > start + kPoolBytes || size < 0) return 0;
    const size_t end = (at - start) + static_cast<size_t>(size);
    return round4(end);
}

}  // namespace

uint8_t* base() { return g_pool; }

const TempRecord* find(int32_t id) {
    const TempRecord* found = nullptr;
    for (int i = 0; i < g_table.count && !found; ++i)
        if (g_table.records[i].id == id) found = &g_table.records[i];
    profile::count(found ? profile::Kind::ImageHit : profile::Kind::ImageMiss);
    return found;
}

int count() { return g_table.count; }

const TempRecord& record(int position) { return g_table.records[position]; }

void clear_table() { std::memset(&g_table, 0, sizeof g_table); }

void append(const TempRecord& r) {
    if (g_table.count >= kTableRecords) clear_table();
    g_table.records[g_table.count++] = r;
}

/* The planes go behind the last record when their sizes leave at least one
 * byte of the pool; the padding before the alpha plane is counted on top, so
 * the alpha plane never ends past the pool. */
Placement place(size_t pixel_size, size_t alpha_size, size_t* pixel_offset) {
    const size_t needed = round4(pixel_size) + alpha_size;
    const size_t end = end_of_last_record();
    if (pixel_size != 0 && end + pixel_size + alpha_size < kPoolBytes && end + needed <= kPoolBytes) {
        *pixel_offset = end;
        return Placement::Behind;
    }
    if (pixel_size + alpha_size >= kPoolBytes || needed > kPoolBytes) return Placement::TooLarge;
    clear_table();
    *pixel_offset = 0;
    return Placement::Restart;
}

}  // namespace kesra::pool
