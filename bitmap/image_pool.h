/* image_pool.h - the shared 1,000,000-byte image pool and the table of the 50
 * temporary bitmaps that live in it. Temporary bitmaps are placed one behind
 * the other at 4-byte boundaries; when the next one does not fit, the table
 * is cleared and placing starts again at the pool's start. The PNG-file and
 * real-scene loaders also use the pool as their file buffer. One thread. */
#ifndef KESRA_BITMAP_IMAGE_POOL_H
#define KESRA_BITMAP_IMAGE_POOL_H

#include <cstddef>
#include <cstdint>

namespace kesra::pool {

constexpr size_t kPoolBytes = 1000000;
constexpr int kTableRecords = 50;

struct TempRecord {
    int32_t id;
    int32_t width;
    int32_t height;
    int32_t pixel_size;
    int32_t alpha_size;
    uint8_t* pixels;
    uint8_t* alpha;
};

uint8_t* base();

/* The first record holding id, or null. */
const TempRecord* find(int32_t id);
int count();
const TempRecord& record(int position);
void clear_table();
/* Writes at position count; a full table is cleared first. */
void append(const TempRecord& record);

enum class Placement { Behind, Restart, TooLarge };

/* Where a temporary bitmap of these block sizes goes: behind the last record
 * (Behind), at the pool's start after the table was cleared (Restart), or
 * nowhere (TooLarge: the two blocks with the alpha plane's alignment do not
 * fit in the pool at all). *pixel_offset receives the pixel plane's offset. */
Placement place(size_t pixel_size, size_t alpha_size, size_t* pixel_offset);

/* The alpha plane follows the pixel plane at the next 4-byte boundary. */
constexpr size_t round4(size_t n) { return (n + 3) & ~size_t{3}; }

}  // namespace kesra::pool

#endif
