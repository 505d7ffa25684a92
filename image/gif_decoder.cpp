/* gif_decoder.cpp - GIF header, block walk and LZW decoding into the index rows
 * of one DIB buffer (which keeps its dictionary room after the rows). The LZW
 * dictionary holds per code a suffix byte, a prefix code and the string's first
 * byte; a prefix must name a smaller code, so every chain ends at a root within
 * 4096 steps. */
#include "image/gif_decoder.h"

#include <cstring>

#include "core/bytes.h"
#include "winapi.h"

namespace kesra::pic {

namespace {

constexpr int kMaxCodeBits = 12;
constexpr int kMaxCodes = 1 << kMaxCodeBits;

/* Where decoded indices go: rows in file order or in the four interlace
 * passes; writes past the last row are dropped. */
class RowPlacer {
   public:
    RowPlacer(uint8_t* rows, int width, int height, int row_size, bool interlaced)
        : rows_(rows), width_(width), height_(height), row_size_(row_size), interlaced_(interlaced) {
        row_ = 0;
    }

    void put(uint8_t index) {
        if (row_ < 0) return;
        rows_[static_cast<size_t>(row_) * row_size_ + column_] = index;
        if (++column_ == width_) {
            column_ = 0;
            advance_row();
        }
    }

   private:
    void advance_row() {
        if (!interlaced_) {
            row_ = row_ + 1 < height_ ? row_ + 1 : -1;
            return;
        }
        static constexpr int kStart[4] = {0, 4, 2, 1};
        static constexpr int kStep[4] = {8, 8, 4, 2};
        row_ += kStep[pass_];
        while (row_ >= height_) {
            if (++pass_ == 4) {
                row_ = -1;
                return;
            }
            row_ = kStart[pass_];
        }
    }

    uint8_t* rows_;
    int width_, height_, row_size_;
    bool interlaced_;
    int row_ = 0, column_ = 0, pass_ = 0;
};

}  // namespace

int gif_interlaced_row(int n, int height) {
    static constexpr int kStart[4] = {0, 4, 2, 1};
    static constexpr int kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        const int rows = kStart[pass] < height ? (height - kStart[pass] + kStep[pass] - 1) / kStep[pass] : 0;
        if (n < rows) return kStart[pass] + n * kStep[pass];
        n -= rows;
    }
    return -1;
}

void GifDecoder::release() {
    std::vector<uint8_t>().swap(output_);
    std::vector<uint8_t>().swap(data_);
    std::vector<uint8_t>().swap(colour_table_);
    pos_ = 0;
}

bool GifDecoder::open_memory(const uint8_t* data, size_t size) {
    release();
    if (!data || size == 0) return false;
    return parse_header(data, size);
}

bool GifDecoder::open_file(const WCHAR* path) {
    release();
    if (!path) return false;
    HANDLE file = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const DWORD size = GetFileSize(file, nullptr);
    std::vector<uint8_t> bytes;
    bool read = size != INVALID_FILE_SIZE && size > 0;
    if (read) {
        bytes.resize(size);
        DWORD got = 0;
        read = ReadFile(file, bytes.data(), size, &got, nullptr) && got == size;
    }
    CloseHandle(file);
    return read && parse_header(bytes.data(), bytes.size());
}

bool GifDecoder::parse_header(const uint8_t* data, size_t size) {
    if (size < 13) return false;
    if (data[0] != 'G' || data[1] != 'I' || data[2] != 'F' || data[3] != '8' ||
        (data[4] != '7' && data[4] != '9') || data[5] != 'a')
        return false;
    screen_width_ = read_le16(data + 6);
    screen_height_ = read_le16(data + 8);
    screen_flags_ = data[10];
    background_ = data[11];
    disposal_ = delay_ = transparent_index_ = 0;
    transparent_flag_ = false;
    transparent_colour_ = 0;
    size_t offset = 13;
    if (screen_flags_ & 0x80) {
        const size_t table_bytes = size_t{3} << ((screen_flags_ & 7) + 1);
        if (size - offset >= table_bytes) {
            colour_table_.assign(data + offset, data + offset + table_bytes);
            offset += table_bytes;
        }  // a short table is discarded; the rest of the stream is still kept
    }
    data_.assign(data + offset, data + size);
    pos_ = 0;
    return true;
}

int GifDecoder::next_byte() { return pos_ < data_.size() ? data_[pos_++] : -1; }

/* Steps over sub-blocks up to and including the zero-length terminator. */
bool GifDecoder::skip_sub_blocks() {
    for (;;) {
        const int length = next_byte();
        if (length < 0) return false;
        if (length == 0) return true;
        if (data_.size() - pos_ < static_cast<size_t>(length)) return false;
        pos_ += length;
    }
}

void GifDecoder::read_graphic_control() {
    // Sub-block of 4: flags, delay (16 bits), transparent index.
    if (pos_ + 5 <= data_.size() && data_[pos_] >= 4) {
        const uint8_t* block = data_.data() + pos_ + 1;
        disposal_ = block[0] & 0x1C;
        transparent_flag_ = (block[0] & 1) != 0;
        delay_ = read_le16(block + 1);
        transparent_index_ = block[3];
    }
}

const uint8_t* GifDecoder::decode() {
    std::vector<uint8_t>().swap(output_);
    pos_ = 0;
    for (;;) {
        const int introducer = next_byte();
        if (introducer == 0x2C) {
            if (decode_image()) return palette();
            std::vector<uint8_t>().swap(output_);
            return nullptr;
        }
        if (introducer != 0x21) return nullptr;
        const int label = next_byte();
        if (label == 0xF9) {
            read_graphic_control();
        } else if (label == 0x01 || label == 0xFF) {
            // The fixed header of plain text (12 bytes) and application
            // (11 bytes) extensions is itself a sub-block with its length byte.
        } else if (label != 0xFE) {
            return nullptr;
        }
        if (!skip_sub_blocks()) return nullptr;
    }
}

bool GifDecoder::decode_image() {
    if (data_.size() - pos_ < 9) return false;
    const uint8_t* descriptor = data_.data() + pos_;
    pos_ += 9;
    image_left_ = read_le16(descriptor);
    image_top_ = read_le16(descriptor + 2);
    image_width_ = read_le16(descriptor + 4);
    image_height_ = read_le16(descriptor + 6);
    image_flags_ = descriptor[8];
    if (image_width_ == 0 || image_height_ == 0) return false;
    const uint64_t index_bytes = uint64_t{gif_row_size(image_width_)} * image_height_;
    if (index_bytes > kGifMaxIndexBytes) return false;
    output_.assign(kGifRowsOffset + index_bytes + kGifDictionaryBytes, 0);

    uint8_t* header = output_.data();
    write_le32(header, 40);
    write_le32(header + 4, static_cast<uint32_t>(image_width_));
    write_le32(header + 8, static_cast<uint32_t>(-image_height_));
    write_le16(header + 12, 1);
    write_le16(header + 14, 8);
    write_le32(header + 32, 256);
    write_le32(header + 36, 256);

    const uint8_t* table = colour_table_.empty() ? nullptr : colour_table_.data();
    size_t entries = colour_table_.size() / 3;
    if (image_flags_ & 0x80) {
        entries = size_t{1} << ((image_flags_ & 7) + 1);
        if (data_.size() - pos_ < entries * 3) return false;
        table = data_.data() + pos_;
        pos_ += entries * 3;
    }
    if (!table) entries = 0;
    uint8_t* palette = output_.data() + kGifInfoHeaderBytes;
    for (size_t i = 0; i < entries; ++i) {
        palette[i * 4] = table[i * 3 + 2];
        palette[i * 4 + 1] = table[i * 3 + 1];
        palette[i * 4 + 2] = table[i * 3];
    }
    if (transparent_flag_ && static_cast<size_t>(transparent_index_) < entries) {
        const uint8_t* rgb = table + transparent_index_ * 3;
        transparent_colour_ = rgb[0] | rgb[1] << 8 | rgb[2] << 16;
    }
    const int root_bits = next_byte();
    if (root_bits < 1 || root_bits > 8) return false;
    return decode_lzw(root_bits);
}

bool GifDecoder::decode_lzw(int root_bits) {
    // Worked on here, on the stack: the buffer's room for it stays zero.
    uint16_t prefix[kMaxCodes], suffix[kMaxCodes], first[kMaxCodes];
    uint8_t stack[kMaxCodes];

    const int clear = 1 << root_bits;
    const int end = clear + 1;
    for (int code = 0; code < clear; ++code) {
        suffix[code] = static_cast<uint16_t>(code);
        first[code] = static_cast<uint16_t>(code);
    }
    RowPlacer rows(output_.data() + kGifRowsOffset, image_width_, image_height_, row_size(), interlaced());
    int width = root_bits + 1;
    int next_free = clear + 2;
    int previous = -1;
    uint32_t bits = 0;
    int held = 0;
    int block_left = 0;

    for (;;) {
        while (held < width) {
            if (block_left == 0) {
                block_left = next_byte();
                if (block_left <= 0) return true;  // terminator or end of data
            }
            const int byte = next_byte();
            if (byte < 0) return true;
            --block_left;
            bits |= static_cast<uint32_t>(byte) << held;
            held += 8;
        }
        const int code = static_cast<int>(bits & ((1u << width) - 1));
        bits >>= width;
        held -= width;

        if (code == clear) {
            width = root_bits + 1;
            next_free = clear + 2;
            previous = -1;
            continue;
        }
        if (code == end) return true;
        if (previous < 0) {
            if (code >= clear) return false;  // a string code before any string
            rows.put(static_cast<uint8_t>(code));
            previous = code;
            continue;
        }
        if (code > next_free || (code == next_free && next_free >= kMaxCodes)) return false;
        // Build the string backwards; the not-yet-defined code is the previous
        // string followed by its own first byte.
        int depth = kMaxCodes;
        int walk = code;
        uint8_t first_byte;
        if (code == next_free) {
            first_byte = static_cast<uint8_t>(first[previous]);
            stack[--depth] = first_byte;
            walk = previous;
        }
        while (walk >= clear) {
            if (depth == 0 || prefix[walk] >= walk) return false;  // a broken chain
            stack[--depth] = static_cast<uint8_t>(suffix[walk]);
            walk = prefix[walk];
        }
        if (depth == 0) return false;
        stack[--depth] = static_cast<uint8_t>(walk);
        first_byte = static_cast<uint8_t>(walk);
        for (int i = depth; i < kMaxCodes; ++i) rows.put(stack[i]);

        if (next_free < kMaxCodes) {
            prefix[next_free] = static_cast<uint16_t>(previous);
            suffix[next_free] = first_byte;
            first[next_free] = first[previous];
            ++next_free;
            if (next_free == (1 << width) && width < kMaxCodeBits) ++width;
        }
        previous = code;
    }
}

}  // namespace kesra::pic
