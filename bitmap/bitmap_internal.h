/* bitmap_internal.h - what the loaders share: the log messages of a failed
 * plane allocation, plane allocation and release, and the 8-bit component to
 * Color16 rule. Planes are malloc'ed and freed with std::free. */
#ifndef KESRA_BITMAP_BITMAP_INTERNAL_H
#define KESRA_BITMAP_BITMAP_INTERNAL_H

#include <cstddef>
#include <cstdint>

#include "cebitmap.h"
#include "core/pixel.h"

namespace kesra::bitmap {

/* A zeroed plane of bytes bytes; null on failure, after the log message. */
uint8_t* allocate_pixel_plane(size_t bytes);
uint8_t* allocate_alpha_plane(size_t bytes);

/* Frees the planes the bitmap owns and forgets both pointers; the bitmap then
 * owns whatever it is given next. Other fields are left alone. */
void release_planes(CCEBitmap& bitmap);

/* Fields of a freshly loaded raw image: 2 bytes per pixel, packed rows, size
 * fields that say "raw" (the alpha size 0 without an alpha plane). */
void set_raw_geometry(CCEBitmap& bitmap, int width, int height);

/* Resamples both raw planes to w x h with the image scaler; on failure the
 * bitmap keeps its planes. */
bool resample_planes(CCEBitmap& bitmap, int w, int h);

inline uint16_t color_from_rgb(uint32_t red, uint32_t green, uint32_t blue) {
    return ColorRefToColor16(red | green << 8 | blue << 16);
}

}  // namespace kesra::bitmap

#endif
