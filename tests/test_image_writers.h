/* test_image_writers.h - PNG and JPEG files made in memory by libpng and
 * libjpeg, so that the readers are tested on what another program writes. */
#ifndef KESRA_TESTS_IMAGE_WRITERS_H
#define KESRA_TESTS_IMAGE_WRITERS_H

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <vector>
// jpeglib.h wants FILE and size_t first.
#include <jpeglib.h>

namespace kesra::test {

inline void append_png_bytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

/* A PNG of the colour type and depth, with packed rows as libpng takes them,
 * and a palette and tRNS chunk where given. */
inline std::vector<uint8_t> make_png(uint32_t width, uint32_t height, int colour, int depth,
                                     const std::vector<uint8_t>& rows,
                                     const std::vector<png_color>& palette = {},
                                     const std::vector<uint8_t>& trns = {}) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        ADD_FAILURE() << "libpng refused the test image";
        return {};
    }
    png_set_write_fn(png, &out, append_png_bytes, nullptr);
    png_set_IHDR(png, info, width, height, depth, colour, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    if (!trns.empty()) png_set_tRNS(png, info, trns.data(), static_cast<int>(trns.size()), nullptr);
    png_write_info(png, info);
    const size_t row_bytes = rows.size() / height;
    for (uint32_t y = 0; y < height; ++y)
        png_write_row(png, const_cast<png_bytep>(rows.data() + y * row_bytes));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

/* A JPEG at quality 100: 1 (grey), 3 (RGB) or 4 (CMYK, stored inverted as
 * Adobe writes it) components, each sample given by sample(x, y, channel). */
template <typename Sample>
std::vector<uint8_t> make_jpeg(int width, int height, int components, Sample sample) {
    jpeg_compress_struct c;
    jpeg_error_mgr errors;
    c.err = jpeg_std_error(&errors);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long out_size = 0;
    jpeg_mem_dest(&c, &out, &out_size);
    c.image_width = static_cast<JDIMENSION>(width);
    c.image_height = static_cast<JDIMENSION>(height);
    c.input_components = components;
    c.in_color_space = components == 4 ? JCS_CMYK : components == 3 ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 100, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(static_cast<size_t>(width) * components);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            for (int k = 0; k < components; ++k)
                row[static_cast<size_t>(x) * components + k] = sample(x, y, k);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::vector<uint8_t> bytes(out, out + out_size);
    std::free(out);
    return bytes;
}

}  // namespace kesra::test

#endif
