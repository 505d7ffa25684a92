/* gif_decoder.h - the picture class's own GIF decoder: the first image of a
 * GIF87a/GIF89a stream as an 8-bit top-down DIB (40-byte information header,
 * 256 palette entries B, G, R, 0, index rows of the rounded-up row size) in one
 * buffer. Every read stays inside the stream copy, every write inside the rows. */
#ifndef KESRA_IMAGE_GIF_DECODER_H
#define KESRA_IMAGE_GIF_DECODER_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "wintypes.h"

namespace kesra::pic {

/* Offsets and sizes of the output buffer. */
constexpr size_t kGifInfoHeaderBytes = 40;
constexpr size_t kGifPaletteBytes = 1024;
constexpr size_t kGifRowsOffset = kGifInfoHeaderBytes + kGifPaletteBytes;
constexpr size_t kGifDictionaryBytes = 4096 * 6;
/* Images past this many index bytes are refused (as the image module refuses). */
constexpr uint64_t kGifMaxIndexBytes = uint64_t{1} << 26;

/* ((width - 1) | 3) + 1: the row size of an 8-bit DIB for width >= 1. */
constexpr uint32_t gif_row_size(uint32_t width) { return ((width - 1) | 3) + 1; }

/* The row of the n-th decoded line of an interlaced image of height rows
 * (passes from rows 0, 4, 2, 1 in steps of 8, 8, 4, 2); -1 past the last. */
int gif_interlaced_row(int n, int height);

class GifDecoder {
   public:
    GifDecoder() = default;
    ~GifDecoder() { release(); }
    GifDecoder(const GifDecoder&) = delete;
    GifDecoder& operator=(const GifDecoder&) = delete;

    /* Reads the header and the global colour table and keeps a copy of the
     * rest. False on a null pointer, size 0, a short header, a wrong signature
     * or an unreadable file. */
    bool open_memory(const uint8_t* data, size_t size);
    bool open_file(const WCHAR* path);

    /* Decodes the first image; returns the palette (buffer + 40) with the
     * index rows 1024 bytes further, or null when there is no image, the
     * image is refused or its LZW chain is broken. */
    const uint8_t* decode();

    /* Frees the output, the data copy and the colour table. */
    void release();

    /* The decoded image (valid after a successful decode). */
    const uint8_t* buffer() const { return output_.empty() ? nullptr : output_.data(); }
    size_t buffer_size() const { return output_.size(); }
    const uint8_t* palette() const {
        return output_.empty() ? nullptr : output_.data() + kGifInfoHeaderBytes;
    }
    const uint8_t* indices() const { return output_.empty() ? nullptr : output_.data() + kGifRowsOffset; }
    int width() const { return image_width_; }
    int height() const { return image_height_; }
    int left() const { return image_left_; }
    int top() const { return image_top_; }
    int row_size() const { return static_cast<int>(gif_row_size(image_width_)); }
    bool interlaced() const { return (image_flags_ & 0x40) != 0; }

    /* Logical screen and graphic control values. */
    int screen_width() const { return screen_width_; }
    int screen_height() const { return screen_height_; }
    int background_index() const { return background_; }
    int disposal() const { return disposal_; }
    bool transparent() const { return transparent_flag_; }
    int transparent_index() const { return transparent_index_; }
    uint32_t transparent_colour() const { return transparent_colour_; }
    int delay() const { return delay_; }

   private:
    bool parse_header(const uint8_t* data, size_t size);
    bool skip_sub_blocks();
    void read_graphic_control();
    bool decode_image();
    bool decode_lzw(int root_bits);
    int next_byte();

    std::vector<uint8_t> colour_table_;  // RGB triples of the global table
    std::vector<uint8_t> data_;          // the stream after header and global table
    size_t pos_ = 0;
    std::vector<uint8_t> output_;

    int screen_width_ = 0, screen_height_ = 0, screen_flags_ = 0, background_ = 0;
    int disposal_ = 0, delay_ = 0, transparent_index_ = 0;
    bool transparent_flag_ = false;
    uint32_t transparent_colour_ = 0;
    int image_left_ = 0, image_top_ = 0, image_width_ = 0, image_height_ = 0, image_flags_ = 0;
};

}  // namespace kesra::pic

#endif
