/* pic_gif.cpp - the picture's GIF path: the first image of the stream through
 * the GIF decoder, its palette of B, G, R, 0 entries turned into Color16 and
 * every index row (rounded up to a multiple of 4 bytes) mapped through it. */
#include "image/picture.h"

namespace kesra::pic {

/* The GIF decoder is not part of this build yet: every GIF load fails. */
bool decode_gif(const uint8_t*, size_t, CEPICSTORE& store) {
    release_planes(store);
    return false;
}

}  // namespace kesra::pic
