/* ql_bmp.cpp - uncompressed BMP files: 8-bit (palette), 16-bit (RGB555 or
 * bit-field masks), 24- and 32-bit rows decoded into the module's ARGB rows,
 * and 24-bit saving. Stored rows are padded to 4 bytes and run bottom-up (top-
 * down when the height is negative); every read is checked, so a short file
 * fails instead of leaving part of the image undefined. */
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/bytes.h"
#include "image/ql_module.h"

namespace kesra::ql {
namespace {

constexpr size_t kHeaderBytes = 54;  // file header and the 40-byte information header

/* One colour channel of a 16-bit pixel: the mask's run of ones, widened to
 * 8 bits; a channel at its maximum becomes 0xFF. */
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;

    explicit Channel(uint32_t m) : mask(m & 0xFFFF) {
        if (!mask) return;
        while (!((mask >> shift) & 1)) ++shift;
        while (bits < 16 && ((mask >> (shift + bits)) & 1)) ++bits;
    }
    uint8_t operator()(uint32_t v) const {
        if (!bits) return 0;
        const uint32_t value = (v >> shift) & ((1u << bits) - 1);
        if (value == (1u << bits) - 1) return 0xFF;
        return static_cast<uint8_t>(bits >= 8 ? value >> (bits - 8) : value << (8 - bits));
    }
};

struct BmpHeader {
    uint32_t pixel_offset;
    uint32_t info_size;
    int64_t width;
    int64_t height;  // negative: rows stored top-down
    uint16_t bit_count;
    uint32_t compression;
    uint32_t colours_used;
};

bool read_header(std::FILE* file, const char* where, BmpHeader& header) {
    uint8_t raw[kHeaderBytes];
    if (std::fread(raw, 1, sizeof raw, file) != sizeof raw) {
        report(where, "the BMP file is shorter than its headers");
        return false;
    }
    if (raw[0] != 'B' || raw[1] != 'M') {
        report(where, "not a BMP file (no \"BM\" signature)");
        return false;
    }
    header.pixel_offset = read_le32(raw + 10);
    header.info_size = read_le32(raw + 14);
    header.width = static_cast<int32_t>(read_le32(raw + 18));
    header.height = static_cast<int32_t>(read_le32(raw + 22));
    header.bit_count = read_le16(raw + 28);
    header.compression = read_le32(raw + 30);
    header.colours_used = read_le32(raw + 46);
    return true;
}

bool decode_rows(std::FILE* file, const char* where, const BmpHeader& header, Image& image) {
    const uint32_t width = image.width, height = image.height;
    const uint64_t row_bytes = ((uint64_t{header.bit_count} * width + 31) >> 5) << 2;
    uint64_t start = uint64_t{14} + header.info_size;

    uint8_t palette[256][4] = {};
    Channel red(0x7C00), green(0x03E0), blue(0x001F);
    if (header.bit_count == 8) {
        const uint64_t entries = header.colours_used ? header.colours_used : 256;
        const size_t read = entries < 256 ? static_cast<size_t>(entries) : 256;
        if (std::fseek(file, static_cast<long>(14 + header.info_size), SEEK_SET) != 0 ||
            std::fread(palette, 4, read, file) != read) {
            report(where, "the BMP palette is cut short");
            return false;
        }
        start = uint64_t{14} + header.info_size + entries * 4;
    } else if (header.bit_count == 16 && header.compression == 3) {
        uint8_t masks[12];
        if (std::fseek(file, static_cast<long>(kHeaderBytes), SEEK_SET) != 0 ||
            std::fread(masks, 1, sizeof masks, file) != sizeof masks) {
            report(where, "the BMP colour masks are cut short");
            return false;
        }
        red = Channel(read_le32(masks)), green = Channel(read_le32(masks + 4)),
        blue = Channel(read_le32(masks + 8));
    }
    if (header.compression == 3 && header.info_size == 40) start += 12;  // masks after the header
    // Pixels start after the headers (and palette) unless the file says later.
    if (header.pixel_offset > start) start = header.pixel_offset;
    if (start > 0x7FFFFFFF || std::fseek(file, static_cast<long>(start), SEEK_SET) != 0) {
        report(where, "the BMP pixel data lies beyond the file");
        return false;
    }

    std::vector<uint8_t> row(static_cast<size_t>(row_bytes));
    for (uint32_t stored = 0; stored < height; ++stored) {
        if (std::fread(row.data(), 1, row.size(), file) != row.size()) {
            report(where, "the BMP file ends inside its pixel data");
            return false;
        }
        const uint32_t y = header.height < 0 ? stored : height - 1 - stored;
        uint8_t* out = image.pixels + static_cast<size_t>(y) * width * 4;
        const uint8_t* in = row.data();
        for (uint32_t x = 0; x < width; ++x, out += 4) {
            out[0] = 255;
            switch (header.bit_count) {
                case 32:
                case 24:
                    out[1] = in[2], out[2] = in[1], out[3] = in[0];
                    in += header.bit_count / 8;
                    break;
                case 16: {
                    const uint32_t v = read_le16(in);
                    out[1] = red(v), out[2] = green(v), out[3] = blue(v);
                    in += 2;
                    break;
                }
                default: {  // 8: palette entries are B, G, R, reserved
                    const uint8_t* entry = palette[*in++];
                    out[1] = entry[2], out[2] = entry[1], out[3] = entry[0];
                    break;
                }
            }
        }
    }
    return true;
}

uint64_t file_bytes(std::FILE* file) {
    const long here = std::ftell(file);
    if (here < 0 || std::fseek(file, 0, SEEK_END) != 0) return 0;
    const long size = std::ftell(file);
    std::fseek(file, here, SEEK_SET);
    return size > 0 ? static_cast<uint64_t>(size) : 0;
}

/* The rows the header describes fit in the file behind the headers. Bit
 * counts the module does not decode (the image stays white) count as one
 * bit per pixel, so that no header alone can claim a large image. */
bool file_backs_rows(std::FILE* file, const BmpHeader& header, int64_t height) {
    const uint64_t bits = header.bit_count ? header.bit_count : 1;
    const uint64_t row_bytes = ((bits * static_cast<uint64_t>(header.width) + 31) >> 5) << 2;
    const uint64_t size = file_bytes(file);
    return size >= kHeaderBytes && row_bytes * static_cast<uint64_t>(height) <= size - kHeaderBytes;
}

}  // namespace

bool bmp_decode_file(std::FILE* file, const char* where, Image& out) {
    BmpHeader header;
    if (!read_header(file, where, header)) return false;
    if (header.info_size < 40 || header.info_size > 0x10000) {
        report(where, "unsupported BMP information header");
        return false;
    }
    if (header.compression != 0 && header.compression != 3) {
        report(where, "compressed BMP files are not supported");
        return false;
    }
    const int64_t height = header.height < 0 ? -header.height : header.height;
    if (header.width >= 1 && height >= 1 && header.width <= kMaxSide && height <= kMaxSide &&
        !file_backs_rows(file, header, height)) {
        report(where, "the BMP file is too short for the rows its header describes");
        return false;
    }
    Image image;
    if (header.width < 1 || height < 1 ||
        !allocate_pixels(image, static_cast<uint32_t>(header.width), static_cast<uint32_t>(height), 0xFF)) {
        report(where, "BMP size refused");
        return false;
    }
    image.pixel_depth = header.bit_count;
    image.alpha_flag = 0;
    const uint16_t bits = header.bit_count;
    if (bits == 32 || bits == 24 || bits == 16 || bits == 8) {
        if (!decode_rows(file, where, header, image)) {
            free_image(image);
            return false;
        }
    }  // other bit counts leave the image white
    out = image;
    return true;
}

bool bmp_read_size(std::FILE* file, const char* where, uint32_t* width, uint32_t* height) {
    BmpHeader header;
    if (!read_header(file, where, header)) return false;
    *width = static_cast<uint32_t>(header.width);
    *height = static_cast<uint32_t>(header.height < 0 ? -header.height : header.height);
    return true;
}

bool bmp_encode_file(const Image& image, std::FILE* file, const char* where) {
    const uint64_t row_bytes = (uint64_t{image.width} * 3 + 3) & ~uint64_t{3};
    const uint64_t file_size = kHeaderBytes + row_bytes * image.height;
    if (!image.pixels || file_size > 0xFFFFFFFFu) return false;

    uint8_t header[kHeaderBytes] = {'B', 'M'};
    // The size field has always held the file header's own size; files saved
    // earlier carry it and the readers of this library ignore it.
    write_le32(header + 2, 14);
    write_le32(header + 10, kHeaderBytes);
    write_le32(header + 14, 40);
    write_le32(header + 18, image.width);
    write_le32(header + 22, image.height);
    write_le16(header + 26, 1);
    write_le16(header + 28, 24);
    write_le32(header + 38, 3744);  // pixels per metre, both ways
    write_le32(header + 42, 3744);

    bool ok = std::fwrite(header, 1, sizeof header, file) == sizeof header;
    std::vector<uint8_t> row(static_cast<size_t>(row_bytes), 0);
    for (uint32_t stored = 0; ok && stored < image.height; ++stored) {
        const uint8_t* in = image.pixels + static_cast<size_t>(image.height - 1 - stored) * image.width * 4;
        for (uint32_t x = 0; x < image.width; ++x, in += 4) {
            row[x * 3] = in[3];
            row[x * 3 + 1] = in[2];
            row[x * 3 + 2] = in[1];
        }
        ok = std::fwrite(row.data(), 1, row.size(), file) == row.size();
    }
    if (!ok) report(where, "writing the BMP file failed");
    return ok;
}

}  // namespace kesra::ql
