/* pic_png.cpp - the picture's PNG reader over libpng: grey, grey with alpha,
 * RGB and RGBA images, expanded to 8 bits per channel; palette images are
 * refused. Colour goes to the Color16 plane and alpha (when the image has
 * it) to the alpha plane. libpng errors jump back here, where the reader and
 * the planes are freed. */
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

#include "image/limits.h"
#include "image/picture.h"

namespace kesra::pic {
namespace {

struct Reader {
    const uint8_t* data;
    size_t size;
    size_t cursor;
};

[[noreturn]] void fail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void quiet(png_structp, png_const_charp) {}

void read_span(png_structp png, png_bytep out, png_size_t length) {
    auto* reader = static_cast<Reader*>(png_get_io_ptr(png));
    if (length > reader->size - reader->cursor) png_error(png, "Read Error");
    std::memcpy(out, reader->data + reader->cursor, length);
    reader->cursor += length;
}

/* One row of the expanded image into the planes. */
void convert_row(const uint8_t* in, int colour, uint32_t width, uint16_t* pixels, uint8_t* alpha) {
    for (uint32_t i = 0; i < width; ++i) {
        switch (colour) {
            case PNG_COLOR_TYPE_RGB:
                pixels[i] = narrow565(in[0], in[1], in[2]);
                in += 3;
                break;
            case PNG_COLOR_TYPE_RGB_ALPHA:
                pixels[i] = narrow565(in[0], in[1], in[2]);
                alpha[i] = in[3];
                in += 4;
                break;
            case PNG_COLOR_TYPE_GRAY_ALPHA:
                pixels[i] = narrow565(in[0], in[0], in[0]);
                alpha[i] = in[1];
                in += 2;
                break;
            default:
                pixels[i] = narrow565(in[0], in[0], in[0]);
                in += 1;
                break;
        }
    }
}

/* Everything changed after setjmp is reached through pointers, so it holds
 * its last value when libpng jumps back. */
bool read_image(png_structp png, png_infop info, size_t available, CEPICSTORE* store,
                std::vector<png_bytep>* rows, std::vector<uint8_t>* buffer) {
    if (setjmp(png_jmpbuf(png))) {
        release_planes(*store);
        return false;
    }
    png_read_info(png, info);
    if (png_get_color_type(png, info) == PNG_COLOR_TYPE_PALETTE) return false;
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    // The filtered rows (a filter byte each) deflate at best kMaxDeflateRatio : 1.
    const uint64_t filtered = uint64_t{height} * (uint64_t{png_get_rowbytes(png, info)} + 1);
    if (filtered > uint64_t{available} * limits::kMaxDeflateRatio) return false;
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const int colour = png_get_color_type(png, info);
    const size_t row_bytes = png_get_rowbytes(png, info);
    const size_t channels = png_get_channels(png, info);
    if (png_get_bit_depth(png, info) != 8 || row_bytes != width * channels) return false;
    const bool with_alpha = (colour & PNG_COLOR_MASK_ALPHA) != 0;
    if (!allocate_planes(*store, width, height, with_alpha)) return false;
    buffer->resize(row_bytes * height);
    rows->resize(height);
    for (png_uint_32 y = 0; y < height; ++y) (*rows)[y] = buffer->data() + y * row_bytes;
    png_read_image(png, rows->data());
    for (png_uint_32 y = 0; y < height; ++y) {
        convert_row((*rows)[y], colour, width, store->pPixels + size_t{y} * width,
                    with_alpha ? store->pAlpha + size_t{y} * width : nullptr);
    }
    return true;
}

}  // namespace

bool decode_png(const uint8_t* data, size_t size, CEPICSTORE& store) {
    release_planes(store);
    if (!data || size < 8 || png_sig_cmp(data, 0, 8) != 0) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, fail, quiet);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    png_set_user_limits(png, limits::kMaxImageSide, limits::kMaxImageSide);
    Reader reader{data, size, 0};
    png_set_read_fn(png, &reader, read_span);
    std::vector<png_bytep> rows;
    std::vector<uint8_t> buffer;
    const bool ok = read_image(png, info, size, &store, &rows, &buffer);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok) release_planes(store);
    return ok;
}

}  // namespace kesra::pic
