/* pic_jpeg.cpp - the picture's JPEG path: the baseline decoder with the
 * integer inverse DCT, its R, G and B planes (plane width apart) turned into
 * the Color16 plane. */
#include "image/picture.h"

namespace kesra::pic {

/* The JPEG decoder is not part of this build yet: every JPEG load fails. */
bool decode_jpeg(const uint8_t*, size_t, CEPICSTORE& store) {
    release_planes(store);
    return false;
}

}  // namespace kesra::pic
