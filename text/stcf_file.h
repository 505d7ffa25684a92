/* stcf_file.h - the STCF file layout and the parsed font record. All integers
 * are little-endian; offsets count from the start of the image. The record
 * keeps offsets, not pointers, and every read goes through ImageReader, which
 * refuses anything that does not lie wholly inside the image. */
#ifndef KESRA_TEXT_STCF_FILE_H
#define KESRA_TEXT_STCF_FILE_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kesra {

namespace stcf {

constexpr int kLatinGlyphsPerPage = 224;
constexpr size_t kFirstWidthPage = 208;  // page 1; page k >= 2 at 1104 + 896 (k - 2)
constexpr size_t kWidthPageBytes = 4 * kLatinGlyphsPerPage;
constexpr size_t kHeaderBytes = kFirstWidthPage;
constexpr size_t kUtf16TableBytes = 65536 * 2;

/* Header fields by their offsets. */
enum HeaderField : size_t {
    kCharsetKind = 136,
    kCompositeTable = 140,
    kComponentRecords = 144,
    kOutlineTable = 148,
    kOutlineData = 152,
    kFirstSingleEntry = 156,
    kFirstLatinEntry = 160,
    kUtf16Table = 164,
    kCompositeCountA = 168,
    kEntryBytes = 176,
    kCompositeCountB = 184,
    kBig5Table = 192,
    kShiftJisTable = 196,
    kEucTable = 200,
    kMode6Table = 204,
};

/* Bounds-checked little-endian reads; a read that would leave the image
 * returns false and leaves *out alone. Offsets are 64-bit so that sums of
 * 32-bit header values cannot wrap. */
class ImageReader {
   public:
    ImageReader(const uint8_t* image, size_t size) : image_(image), size_(size) {}
    bool has(uint64_t offset, uint64_t bytes) const { return offset <= size_ && bytes <= size_ - offset; }
    bool u8(uint64_t offset, uint32_t* out) const { return read(offset, 1, out); }
    bool u16(uint64_t offset, uint32_t* out) const { return read(offset, 2, out); }
    bool u24(uint64_t offset, uint32_t* out) const { return read(offset, 3, out); }
    bool u32(uint64_t offset, uint32_t* out) const { return read(offset, 4, out); }
    size_t size() const { return size_; }

   private:
    bool read(uint64_t offset, int bytes, uint32_t* out) const {
        if (!image_ || !has(offset, static_cast<uint64_t>(bytes))) return false;
        uint32_t v = 0;
        for (int i = bytes - 1; i >= 0; --i) v = v << 8 | image_[offset + static_cast<uint64_t>(i)];
        *out = v;
        return true;
    }
    const uint8_t* image_;
    size_t size_;
};

}  // namespace stcf

/* A parsed STCF header. Table offsets of 0 mean the table is absent. */
struct StcfFontRecord {
    const uint8_t* image = nullptr;
    size_t image_size = 0;
    uint32_t charset_kind = 0;
    uint32_t outline_table = 0;  // 3-byte offsets into the outline data, one per entry
    uint32_t outline_data = 0;
    uint32_t composite_table = 0;  // 3-byte offsets into the component records
    uint32_t component_records = 0;
    uint32_t first_latin_entry = 0;
    uint32_t first_single_entry = 0;
    uint32_t entry_count = 0;  // outline-table entries
    int64_t composite_count = 0;
    uint32_t utf16_table = 0;
    uint32_t big5_table = 0;
    uint32_t shift_jis_table = 0;
    uint32_t euc_table = 0;
    uint32_t mode6_table = 0;
    /* Advance widths in 1/128 of the cell width, a copy of each page. */
    std::vector<std::array<uint32_t, stcf::kLatinGlyphsPerPage>> pages;
    uint32_t serial = 0;  // tells records apart in the small-glyph store

    stcf::ImageReader reader() const { return stcf::ImageReader(image, image_size); }
    int page_count() const { return static_cast<int>(pages.size()); }
};

}  // namespace kesra

#endif
