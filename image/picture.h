/* picture.h - the picture class's internals: the store's planes, one decoder
 * per format working on a byte span (files are read whole first), and the
 * scaled draw. A decoder empties the store first and leaves it empty when it
 * fails; it never reads outside its span nor makes a plane past the limits. */
#ifndef KESRA_IMAGE_PICTURE_H
#define KESRA_IMAGE_PICTURE_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "cepic.h"
#include "core/canvas.h"
#include "core/pixel.h"

namespace kesra::pic {

/* Frees both planes and clears the size fields. */
void release_planes(CEPICSTORE& store);

/* Releases what the store holds, then gives it a width x height pixel plane
 * (and an alpha plane with with_alpha), geometry set; false (store empty)
 * when the size is outside the image limits or memory is short. */
bool allocate_planes(CEPICSTORE& store, int64_t width, int64_t height, bool with_alpha);

/* The whole file at an ANSI-code-page path; false when it cannot be opened,
 * is empty or is larger than any picture the decoders take. */
bool read_file(const char* path, std::vector<uint8_t>& out);

/* The decoders, each on exactly size bytes. */
bool decode_bmp(const uint8_t* data, size_t size, CEPICSTORE& store);
bool decode_png(const uint8_t* data, size_t size, CEPICSTORE& store);
bool decode_gif(const uint8_t* data, size_t size, CEPICSTORE& store);
bool decode_jpeg(const uint8_t* data, size_t size, CEPICSTORE& store);

/* Whether a path may be given to the PNG reader: a path longer than 4
 * characters must end in ".png" in any case. */
bool png_path_ok(const char* path);

/* Destination (x + i, y + j) for 0 <= i < w, 0 <= j < h takes source column
 * (int)((sx + i) * fx) and row (int)((sy + j) * fy), with fx = width / w and
 * fy = height / h in single precision. Pixels of alpha 0 are skipped, others
 * blend at alpha / 8 (bitmap alpha blend); sources outside the plane and
 * destinations outside the canvas are skipped. */
void draw_scaled(const Canvas& dst, const CEPICSTORE& pic, int32_t x, int32_t y, int32_t w, int32_t h,
                 int32_t sx, int32_t sy);

}  // namespace kesra::pic

#endif
