/* limits.h - the sizes the loaders accept and the memory the image module may
 * hold. Every plane a loader allocates is bounded by these before it is
 * allocated, so that no file, however small, makes the library ask for more.
 * The README's "Limits" section states them for users. */
#ifndef KESRA_IMAGE_LIMITS_H
#define KESRA_IMAGE_LIMITS_H

#include <cstddef>
#include <cstdint>

namespace kesra::limits {

/* The largest image any loader decodes, expands or resamples to: 16,777,216
 * pixels (4096 x 4096, 32 MB of RGB565, 64 MB in the image module), each side
 * at most 32768. */
constexpr uint64_t kMaxImagePixels = uint64_t{1} << 24;
constexpr uint32_t kMaxImageSide = 32768;

/* The most QLDecompress inflates from one block (64 MB); the pack loaders
 * inflate exactly the plane the record describes and no more. */
constexpr uint64_t kMaxInflatedBytes = uint64_t{64} << 20;

/* The pixels the image module's table may hold at once over all its images
 * (256 MB); a load that would go beyond fails. */
constexpr uint64_t kMaxModuleBytes = uint64_t{256} << 20;

/* deflate never shrinks data by more than this factor (a 258-byte match in
 * about 2 bits): a block of n bytes cannot inflate to more than n times it. */
constexpr uint64_t kMaxDeflateRatio = 1032;

/* width x height within the limits above, both sides at least 1. */
inline bool image_size_ok(int64_t width, int64_t height) {
    return width >= 1 && height >= 1 && width <= kMaxImageSide && height <= kMaxImageSide &&
           static_cast<uint64_t>(width) * static_cast<uint64_t>(height) <= kMaxImagePixels;
}

}  // namespace kesra::limits

#endif
