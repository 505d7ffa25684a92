/* ql_module.h - the image module's internals: one decoded image (ARGB bytes,
 * rows top-down, width * 4 bytes each, malloc'ed), the decoders and encoders
 * of each format working on plain files and byte spans, and the table.
 * Decoders never read outside their input and fail on sizes past the limits. */
#ifndef KESRA_IMAGE_QL_MODULE_H
#define KESRA_IMAGE_QL_MODULE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "image/limits.h"
#include "ql.h"

namespace kesra::ql {

/* Limits of a decoded image: each side and the whole pixel count. */
constexpr uint32_t kMaxSide = limits::kMaxImageSide;
constexpr uint64_t kMaxPixels = limits::kMaxImagePixels;

/* A decoded image; pixels is malloc'ed and owned by whoever holds the image. */
struct Image {
    int alpha_flag = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    int pixel_depth = 0;
    uint8_t* pixels = nullptr;
};

void free_image(Image& image);

/* width * height * 4 when both sides are 1 ... kMaxSide and the count is within
 * kMaxPixels; false otherwise. */
bool image_bytes(uint64_t width, uint64_t height, size_t* bytes);

/* Allocates the ARGB plane of image (filled with fill); false when the size is
 * refused, when the table would then hold more than limits::kMaxModuleBytes,
 * or when memory is short. */
bool allocate_pixels(Image& image, uint32_t width, uint32_t height, uint8_t fill);

/* A decoding problem, with where it happened: one line on standard error,
 * unless reports were turned off (the fuzz harnesses do, for speed). */
void report(const char* where, const char* what);
void set_reports(bool on);

/* Formats. The file routines take an open stream positioned at the start;
 * the caller closes it. */
bool bmp_decode_file(std::FILE* file, const char* where, Image& out);
bool bmp_read_size(std::FILE* file, const char* where, uint32_t* width, uint32_t* height);
bool bmp_encode_file(const Image& image, std::FILE* file, const char* where);

bool jpeg_decode_file(std::FILE* file, const char* where, Image& out);
bool jpeg_decode_memory(const uint8_t* data, size_t size, Image& out);
bool jpeg_read_size(std::FILE* file, const char* where, uint32_t* width, uint32_t* height);
bool jpeg_encode_file(const Image& image, std::FILE* file, const char* where);
/* Bytes up to and including the EOI marker, found by walking the segments;
 * 0 when no EOI lies within limit bytes. */
size_t jpeg_extent(const uint8_t* data, size_t limit);

/* The file routines expect the 8 signature bytes already read and checked.
 * An image whose rows need more than kMaxDeflateRatio times the bytes of its
 * data (or file) cannot be backed by them and is refused before allocating. */
bool png_decode_file(std::FILE* file, const char* where, Image& out);
bool png_decode_memory(const uint8_t* data, size_t size, Image& out);
bool png_read_size(std::FILE* file, const char* where, uint32_t* width, uint32_t* height);
bool png_encode_file(const Image& image, std::FILE* file, const char* where);
/* Bytes up to and including the IEND chunk; 0 when none lies within limit or
 * a chunk on the way is malformed (IHDR not first, a type that is not four
 * letters): the walk stops at the first damage instead of following a length
 * it cannot trust. */
size_t png_extent(const uint8_t* data, size_t limit);

/* The table: pushes a decoded image as the new current image (taking its
 * pixels) or refuses it when the table is full (the pixels are then freed). */
bool push_image(Image& image);
/* The current image, or null when the current index holds no record. */
const Image* current_image();

/* QLLoadResource with the data's length known: never reads past size bytes.
 * Returns 1 when an image was pushed. Loaders that read a file into a buffer
 * use this one. */
int load_resource(const uint8_t* data, size_t size, int type);

/* Inflates one zlib block into exactly out_bytes bytes: false when the block
 * is damaged, gives fewer bytes, or would give more (inflating stops there). */
bool inflate_exact(const uint8_t* in, size_t in_bytes, uint8_t* out, size_t out_bytes);

}  // namespace kesra::ql

#endif
