/* ql_png.cpp - PNG through libpng: decoding from a file or a byte span into
 * the module's ARGB rows, reading the size, and saving RGBA. Every colour type
 * and bit depth is normalised by libpng's transforms to 8-bit A, R, G, B, so
 * no conversion can read beyond a row; libpng errors longjmp back here, where
 * the structures and the pixels are freed. */
#include <png.h>
#include <sys/stat.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "image/ql_module.h"

namespace kesra::ql {
namespace {

struct PngContext {
    const char* where;
};

[[noreturn]] void png_fail(png_structp png, png_const_charp message) {
    auto* context = static_cast<PngContext*>(png_get_error_ptr(png));
    report(context ? context->where : nullptr, message);
    png_longjmp(png, 1);
}

void png_quiet_warning(png_structp, png_const_charp) {}

struct MemoryReader {
    const uint8_t* data;
    size_t size;
    size_t cursor;
};

void png_read_memory(png_structp png, png_bytep out, png_size_t length) {
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (length > reader->size - reader->cursor) png_error(png, "the data ends inside the image");
    std::memcpy(out, reader->data + reader->cursor, length);
    reader->cursor += length;
}

png_structp create_reader(PngContext* context) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, context, png_fail, png_quiet_warning);
    if (png) png_set_user_limits(png, kMaxSide, kMaxSide);
    return png;
}

/* Sets up the transforms that give 8-bit A, R, G, B for any colour type. */
void set_argb_transforms(png_structp png, png_infop info) {
    const int colour = png_get_color_type(png, info);
    const int depth = png_get_bit_depth(png, info);
    const bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colour == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (trns) png_set_tRNS_to_alpha(png);
    if (depth == 16) png_set_strip_16(png);
    if (!(colour & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(png);
    if ((colour & PNG_COLOR_MASK_ALPHA) || trns) {
        png_set_swap_alpha(png);
    } else {
        png_set_filler(png, 0xFF, PNG_FILLER_BEFORE);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
}

/* Decodes after the stream is set up; false (everything freed) on any error.
 * Only fields of *out and *rows are changed after setjmp, through pointers,
 * so they hold their last values when libpng jumps back. */
bool decode(png_structp png, png_infop info, bool from_memory, uint64_t available, Image* out,
            png_bytep** rows) {
    if (setjmp(png_jmpbuf(png))) {
        std::free(*rows);
        *rows = nullptr;
        free_image(*out);
        return false;
    }
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int bit_depth = 0, colour = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &bit_depth, &colour, &interlace, nullptr, nullptr);
    const bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    const bool alpha_channel = (colour & PNG_COLOR_MASK_ALPHA) != 0;
    out->pixel_depth = bit_depth * png_get_channels(png, info);
    // Files report an alpha channel; from memory only a tRNS chunk counts.
    out->alpha_flag = from_memory ? trns : (alpha_channel || trns);
    // The filtered rows (a filter byte each) deflate at best kMaxDeflateRatio : 1.
    const uint64_t filtered = uint64_t{height} * (uint64_t{png_get_rowbytes(png, info)} + 1);
    if (filtered > available * limits::kMaxDeflateRatio)
        png_error(png, "the data is too short for the image size");

    set_argb_transforms(png, info);
    if (png_get_rowbytes(png, info) != static_cast<size_t>(width) * 4) {
        png_error(png, "unexpected row size after the transforms");
    }
    if (!allocate_pixels(*out, width, height, 0)) png_error(png, "image size refused");
    *rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * height));
    if (!*rows) png_error(png, "out of memory");
    for (png_uint_32 y = 0; y < height; ++y) (*rows)[y] = out->pixels + static_cast<size_t>(y) * width * 4;
    png_read_image(png, *rows);
    png_read_end(png, info);
    std::free(*rows);
    *rows = nullptr;
    return true;
}

bool decode_stream(png_structp png, bool from_memory, uint64_t available, Image& out) {
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    png_bytep* rows = nullptr;
    Image image;
    const bool ok = decode(png, info, from_memory, available, &image, &rows);
    png_destroy_read_struct(&png, &info, nullptr);
    if (ok) out = image;
    return ok;
}

}  // namespace

bool png_decode_file(std::FILE* file, const char* where, Image& out) {
    PngContext context{where};
    png_structp png = create_reader(&context);
    if (!png) return false;
    png_init_io(png, file);
    png_set_sig_bytes(png, 8);
    struct stat st {};
    const uint64_t available =
        fstat(fileno(file), &st) == 0 && st.st_size > 0 ? static_cast<uint64_t>(st.st_size) : 0;
    return decode_stream(png, false, available, out);
}

bool png_decode_memory(const uint8_t* data, size_t size, Image& out) {
    if (!data) return false;
    PngContext context{nullptr};
    png_structp png = create_reader(&context);
    if (!png) return false;
    MemoryReader reader{data, size, 0};
    png_set_read_fn(png, &reader, png_read_memory);
    return decode_stream(png, true, size, out);
}

namespace {

bool read_header(png_structp png, png_infop info, uint32_t* width, uint32_t* height) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_info(png, info);
    *width = png_get_image_width(png, info);
    *height = png_get_image_height(png, info);
    return true;
}

}  // namespace

bool png_read_size(std::FILE* file, const char* where, uint32_t* width, uint32_t* height) {
    PngContext context{where};
    png_structp png = create_reader(&context);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    bool ok = false;
    if (info) {
        png_init_io(png, file);
        png_set_sig_bytes(png, 8);
        ok = read_header(png, info, width, height);
    }
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    return ok;
}

namespace {

bool write_rows(png_structp png, png_infop info, std::FILE* file, const Image* image, png_bytep** rows) {
    if (setjmp(png_jmpbuf(png))) {
        std::free(*rows);
        *rows = nullptr;
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, image->width, image->height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_swap_alpha(png);  // the rows are handed over as A, R, G, B
    *rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * image->height));
    if (!*rows) png_error(png, "out of memory");
    for (uint32_t y = 0; y < image->height; ++y) {
        (*rows)[y] = image->pixels + static_cast<size_t>(y) * image->width * 4;
    }
    png_write_image(png, *rows);
    png_write_end(png, info);
    std::free(*rows);
    *rows = nullptr;
    return true;
}

}  // namespace

bool png_encode_file(const Image& image, std::FILE* file, const char* where) {
    PngContext context{where};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &context, png_fail, png_quiet_warning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = false;
    if (info) {
        png_bytep* rows = nullptr;
        ok = write_rows(png, info, file, &image, &rows);
    }
    if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
    return ok;
}

namespace {

bool is_chunk_type(const uint8_t* type) {
    for (int i = 0; i < 4; ++i)
        if (!((type[i] >= 'A' && type[i] <= 'Z') || (type[i] >= 'a' && type[i] <= 'z'))) return false;
    return true;
}

}  // namespace

size_t png_extent(const uint8_t* data, size_t limit) {
    if (!data || limit < 8) return 0;
    size_t at = 8;
    while (limit - at >= 12) {
        const uint32_t length = png_get_uint_32(data + at);
        const uint8_t* type = data + at + 4;
        if (length > PNG_UINT_31_MAX || !is_chunk_type(type) || limit - at - 12 < length) return 0;
        if (at == 8 && (std::memcmp(type, "IHDR", 4) != 0 || length != 13)) return 0;
        const size_t end = at + 12 + length;
        if (std::memcmp(type, "IEND", 4) == 0) return end;
        at = end;
    }
    return 0;
}

}  // namespace kesra::ql
