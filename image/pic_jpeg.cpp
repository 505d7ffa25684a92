/* pic_jpeg.cpp - the picture's JPEG path: the baseline decoder with the
 * integer inverse DCT, its R, G and B planes (plane width apart) turned into
 * the Color16 plane. A greyscale image takes its one plane for all three
 * channels; images of 2 or 4 components are refused. */
#include "image/jpeg_decoder.h"
#include "image/picture.h"

namespace kesra::pic {

bool decode_jpeg(const uint8_t* data, size_t size, CEPICSTORE& store) {
    release_planes(store);
    JpegDecoder jpeg;
    if (!data || !jpeg.decode_memory(data, size, kJpegIdctInteger)) return false;
    const int width = jpeg.width(), height = jpeg.height(), components = jpeg.components();
    const size_t stride = static_cast<size_t>(jpeg.plane_width());
    if ((components != 3 && components != 1) || width < 1 || height < 1 || jpeg.plane_width() < width ||
        jpeg.plane_height() < height) {
        return false;
    }
    if (!allocate_planes(store, width, height, false)) return false;
    const uint8_t* r = jpeg.plane(0);
    const uint8_t* g = components == 3 ? jpeg.plane(1) : r;
    const uint8_t* b = components == 3 ? jpeg.plane(2) : r;
    for (int y = 0; y < height; ++y) {
        const size_t row = static_cast<size_t>(y) * stride;
        jpeg_rgb_to_565(r + row, g + row, b + row, store.pPixels + static_cast<size_t>(y) * width,
                        static_cast<size_t>(width));
    }
    return true;
}

}  // namespace kesra::pic
