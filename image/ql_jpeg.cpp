/* ql_jpeg.cpp - JPEG through libjpeg (the 6b interface): decoding from a file
 * or a byte span (fed in pieces of 4096 bytes) into the module's ARGB rows,
 * reading the size, and saving RGB at quality 80. libjpeg errors longjmp back
 * here, where the decompressor, the file and the pixels are released; data
 * that ends before the image does is only a warning, so the part that arrived
 * is kept and the rest decodes as libjpeg fills it. */
#include <sys/stat.h>

#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "image/ql_module.h"

namespace kesra::ql {
namespace {

constexpr size_t kMemoryPiece = 4096;

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    const char* where;
};

[[noreturn]] void jpeg_fail(j_common_ptr cinfo) {
    auto* error = reinterpret_cast<JpegError*>(cinfo->err);
    char message[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, message);
    report(error->where, message);
    std::longjmp(error->jump, 1);
}

/* Warnings (corrupt data, the data ending early) pass silently. */
void jpeg_message(j_common_ptr cinfo, int level) {
    if (level < 0) cinfo->err->num_warnings++;
}

[[noreturn]] void refuse(JpegError* error, const char* what) {
    report(error->where, what);
    std::longjmp(error->jump, 1);
}

void init_error(JpegError& error, const char* where) {
    jpeg_std_error(&error.manager);
    error.manager.error_exit = jpeg_fail;
    error.manager.emit_message = jpeg_message;
    error.where = where;
}

/* The memory source: the next 4096 bytes per fill; past the end, a warning
 * and an EOI marker, as the file source does. */
struct MemorySource {
    jpeg_source_mgr manager;
    const uint8_t* data;
    size_t size;
    size_t cursor;
};

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

void memory_init(j_decompress_ptr) {}
void memory_term(j_decompress_ptr) {}

boolean memory_fill(j_decompress_ptr cinfo) {
    auto* source = reinterpret_cast<MemorySource*>(cinfo->src);
    if (source->cursor >= source->size) {
        WARNMS(cinfo, JWRN_JPEG_EOF);
        source->manager.next_input_byte = kEndOfImage;
        source->manager.bytes_in_buffer = 2;
        return TRUE;
    }
    const size_t piece = std::min(kMemoryPiece, source->size - source->cursor);
    source->manager.next_input_byte = source->data + source->cursor;
    source->manager.bytes_in_buffer = piece;
    source->cursor += piece;
    return TRUE;
}

void memory_skip(j_decompress_ptr cinfo, long count) {
    auto* source = reinterpret_cast<MemorySource*>(cinfo->src);
    if (count <= 0) return;
    size_t skip = static_cast<size_t>(count);
    while (skip > source->manager.bytes_in_buffer) {
        skip -= source->manager.bytes_in_buffer;
        source->manager.bytes_in_buffer = 0;
        memory_fill(cinfo);
    }
    source->manager.next_input_byte += skip;
    source->manager.bytes_in_buffer -= skip;
}

void set_memory_source(j_decompress_ptr cinfo, MemorySource& source, const uint8_t* data, size_t size) {
    source.manager.init_source = memory_init;
    source.manager.fill_input_buffer = memory_fill;
    source.manager.skip_input_data = memory_skip;
    source.manager.resync_to_restart = jpeg_resync_to_restart;
    source.manager.term_source = memory_term;
    source.manager.bytes_in_buffer = 0;
    source.manager.next_input_byte = nullptr;
    source.data = data;
    source.size = size;
    source.cursor = 0;
    cinfo->src = &source.manager;
}

uint8_t clamp_byte(int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

/* One decoded row into A, R, G, B. CMYK rows come from Adobe files (inverted
 * inks) or plain ones. */
void convert_row(const JSAMPLE* in, uint8_t* out, JDIMENSION width, J_COLOR_SPACE space, bool inverted) {
    if (space == JCS_CMYK) {
        for (JDIMENSION x = 0; x < width; ++x, in += 4, out += 4) {
            int c = in[0], m = in[1], y = in[2], k = in[3];
            if (!inverted) {
                c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
            }
            out[0] = 255;
            out[1] = clamp_byte(c * k / 255);
            out[2] = clamp_byte(m * k / 255);
            out[3] = clamp_byte(y * k / 255);
        }
        return;
    }
    for (JDIMENSION x = 0; x < width; ++x, in += 3, out += 4) {
        out[0] = 255;
        out[1] = in[0];
        out[2] = in[1];
        out[3] = in[2];
    }
}

/* After the source is set: header, decode, finish. Only fields reached
 * through the pointers change after setjmp. Every 8 x 8 block of the image
 * costs at least one bit of coded data (a DC difference), so data of
 * `available` bytes cannot describe more than 8 x available blocks: larger
 * claims are refused before the decoder allocates for them. */
bool decode(jpeg_decompress_struct* cinfo, JpegError* error, uint64_t available, Image* out) {
    if (setjmp(error->jump)) {
        free_image(*out);
        return false;
    }
    jpeg_read_header(cinfo, TRUE);
    const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    size_t bytes = 0;
    if (!image_bytes(cinfo->image_width, cinfo->image_height, &bytes)) {
        refuse(error, "image size refused");
    }
    const uint64_t blocks =
        (uint64_t{cinfo->image_width} + 7) / 8 * ((uint64_t{cinfo->image_height} + 7) / 8);
    if (blocks > available * 8) refuse(error, "the data is too short for the image size");
    jpeg_start_decompress(cinfo);
    if (!allocate_pixels(*out, cinfo->output_width, cinfo->output_height, 0)) {
        refuse(error, "image size refused or out of memory");
    }
    out->pixel_depth = 24;
    out->alpha_flag = 0;
    const JDIMENSION stride = cinfo->output_width * static_cast<JDIMENSION>(cinfo->output_components);
    JSAMPARRAY row =
        (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, stride, 1);
    while (cinfo->output_scanline < cinfo->output_height) {
        uint8_t* target = out->pixels + static_cast<size_t>(cinfo->output_scanline) * out->width * 4;
        if (jpeg_read_scanlines(cinfo, row, 1) != 1) ERREXIT(cinfo, JERR_INPUT_EOF);
        convert_row(row[0], target, cinfo->output_width, cinfo->out_color_space, cinfo->saw_Adobe_marker);
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

bool read_header(jpeg_decompress_struct* cinfo, JpegError* error, uint32_t* width, uint32_t* height) {
    if (setjmp(error->jump)) return false;
    jpeg_read_header(cinfo, TRUE);
    *width = cinfo->image_width;
    *height = cinfo->image_height;
    return true;
}

}  // namespace

bool jpeg_decode_file(std::FILE* file, const char* where, Image& out) {
    jpeg_decompress_struct cinfo;
    JpegError error;
    init_error(error, where);
    cinfo.err = &error.manager;
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file);
    struct stat st {};
    const uint64_t available =
        fstat(fileno(file), &st) == 0 && st.st_size > 0 ? static_cast<uint64_t>(st.st_size) : 0;
    Image image;
    const bool ok = decode(&cinfo, &error, available, &image);
    jpeg_destroy_decompress(&cinfo);
    if (ok) out = image;
    return ok;
}

bool jpeg_decode_memory(const uint8_t* data, size_t size, Image& out) {
    if (!data) return false;
    jpeg_decompress_struct cinfo;
    JpegError error;
    init_error(error, nullptr);
    cinfo.err = &error.manager;
    jpeg_create_decompress(&cinfo);
    MemorySource source;
    set_memory_source(&cinfo, source, data, size);
    Image image;
    const bool ok = decode(&cinfo, &error, size, &image);
    jpeg_destroy_decompress(&cinfo);
    if (ok) out = image;
    return ok;
}

bool jpeg_read_size(std::FILE* file, const char* where, uint32_t* width, uint32_t* height) {
    jpeg_decompress_struct cinfo;
    JpegError error;
    init_error(error, where);
    cinfo.err = &error.manager;
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file);
    const bool ok = read_header(&cinfo, &error, width, height);
    jpeg_destroy_decompress(&cinfo);
    return ok;
}

namespace {

bool encode(jpeg_compress_struct* cinfo, JpegError* error, const Image* image, std::FILE* file,
            uint8_t** row) {
    if (setjmp(error->jump)) return false;
    jpeg_stdio_dest(cinfo, file);
    cinfo->image_width = image->width;
    cinfo->image_height = image->height;
    cinfo->input_components = 3;
    cinfo->in_color_space = JCS_RGB;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, 80, TRUE);
    jpeg_start_compress(cinfo, TRUE);
    *row = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(image->width) * 3));
    if (!*row) refuse(error, "out of memory");
    while (cinfo->next_scanline < cinfo->image_height) {
        const uint8_t* in = image->pixels + static_cast<size_t>(cinfo->next_scanline) * image->width * 4;
        uint8_t* out = *row;
        for (uint32_t x = 0; x < image->width; ++x, in += 4, out += 3) {
            out[0] = in[1];
            out[1] = in[2];
            out[2] = in[3];
        }
        JSAMPROW rows[1] = {*row};
        jpeg_write_scanlines(cinfo, rows, 1);
    }
    jpeg_finish_compress(cinfo);
    return true;
}

}  // namespace

bool jpeg_encode_file(const Image& image, std::FILE* file, const char* where) {
    jpeg_compress_struct cinfo;
    JpegError error;
    init_error(error, where);
    cinfo.err = &error.manager;
    jpeg_create_compress(&cinfo);
    uint8_t* row = nullptr;
    const bool ok = encode(&cinfo, &error, &image, file, &row);
    std::free(row);
    jpeg_destroy_compress(&cinfo);
    return ok;
}

size_t jpeg_extent(const uint8_t* data, size_t limit) {
    if (!data || limit < 4 || data[0] != 0xFF || data[1] != 0xD8) return 0;
    size_t at = 2;
    bool entropy = false;  // inside the coded data that follows a scan header
    while (at + 1 < limit) {
        if (data[at] != 0xFF) {
            if (!entropy) return 0;  // a marker must follow a segment
            ++at;
            continue;
        }
        const uint8_t marker = data[at + 1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0x00 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            at += 2;  // stuffed byte, restart marker, or TEM: no length
            continue;
        }
        if (marker == JPEG_EOI) return at + 2;
        if (at + 4 > limit) return 0;
        const size_t length = (size_t{data[at + 2]} << 8) | data[at + 3];
        if (length < 2 || limit - at - 2 < length) return 0;
        at += 2 + length;
        entropy = marker == 0xDA;  // SOS
    }
    return 0;
}

}  // namespace kesra::ql
