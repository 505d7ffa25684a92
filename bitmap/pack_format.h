/* pack_format.h - byte layouts of the resource pack, the compressed frame
 * pack and the real-scene file. All integers are 32-bit little-endian and
 * all offsets absolute from the start of the file. Readers and the pack tool
 * share these definitions, so writer and reader cannot drift apart. */
#ifndef KESRA_BITMAP_PACK_FORMAT_H
#define KESRA_BITMAP_PACK_FORMAT_H

#include <cstddef>
#include <cstdint>

#include "core/bytes.h"

namespace kesra::pack {

/* Image IDs: ID = kFirstId + index; IDs below it are never looked up. */
constexpr uint32_t kFirstId = 300;

/* Header: 32 bytes the reader ignores, the image count, the index offset. */
constexpr size_t kHeaderBytes = 40;
constexpr size_t kHeaderCountAt = 32;
constexpr size_t kHeaderIndexAt = 36;

/* Index entry k: a word the reader ignores, then the record's offset. */
constexpr size_t kIndexEntryBytes = 8;
constexpr size_t kIndexRecordAt = 4;

/* Image record: 32 ignored bytes, width, height, pixel and alpha block sizes;
 * the pixel block follows it, then the alpha block. */
constexpr size_t kRecordBytes = 48;
constexpr size_t kRecordWidthAt = 32;
constexpr size_t kRecordHeightAt = 36;
constexpr size_t kRecordPixelBytesAt = 40;
constexpr size_t kRecordAlphaBytesAt = 44;

/* Real-scene file: the image count, then 24-byte entries; entry i (1 <= i <= N)
 * lies at 4 + 24 i, so the slot at 4 (index 0) is never read. */
constexpr size_t kSceneCountBytes = 4;
constexpr size_t kSceneEntryBytes = 24;
constexpr size_t kSceneOffsetAt = 16;
constexpr size_t kSceneLengthAt = 20;

/* Run-length pairs: (Color16, 16-bit count) for pixels, (byte, byte) for alpha. */
constexpr size_t kPixelPairBytes = 4;
constexpr size_t kAlphaPairBytes = 2;

using kesra::read_le16;
using kesra::read_le32;
using kesra::write_le16;
using kesra::write_le32;

struct Header {
    uint32_t count;
    uint32_t index_offset;
};

struct Record {
    int32_t width;
    int32_t height;
    uint32_t pixel_bytes;  // 0: no pixel block
    uint32_t alpha_bytes;  // 0: no alpha plane
};

struct SceneEntry {
    uint32_t offset;
    uint32_t length;
};

inline Header parse_header(const uint8_t* p) {
    return Header{read_le32(p + kHeaderCountAt), read_le32(p + kHeaderIndexAt)};
}
inline uint32_t parse_index_entry(const uint8_t* p) { return read_le32(p + kIndexRecordAt); }
inline Record parse_record(const uint8_t* p) {
    return Record{static_cast<int32_t>(read_le32(p + kRecordWidthAt)),
                  static_cast<int32_t>(read_le32(p + kRecordHeightAt)), read_le32(p + kRecordPixelBytesAt),
                  read_le32(p + kRecordAlphaBytesAt)};
}
inline SceneEntry parse_scene_entry(const uint8_t* p) {
    return SceneEntry{read_le32(p + kSceneOffsetAt), read_le32(p + kSceneLengthAt)};
}

/* Writers zero the bytes the reader ignores. */
void write_header(uint8_t* p, uint32_t count, uint32_t index_offset);
void write_index_entry(uint8_t* p, uint32_t index, uint32_t record_offset);
void write_record(uint8_t* p, const Record& record);
void write_scene_entry(uint8_t* p, const SceneEntry& entry);

/* Where entry k of the index and entry i of a real-scene file lie. */
inline uint64_t index_entry_offset(const Header& h, uint32_t k) {
    return uint64_t{h.index_offset} + uint64_t{kIndexEntryBytes} * k;
}
inline uint64_t scene_entry_offset(uint32_t i) {
    return uint64_t{kSceneCountBytes} + uint64_t{kSceneEntryBytes} * i;
}

/* Raw sizes of an image's planes; a block of any other size is run-length
 * coded. 0 for negative sides; sizes beyond 32 bits do not occur in a sane
 * record (see record_is_sane). */
inline uint64_t raw_pixel_bytes(int64_t width, int64_t height) {
    return width > 0 && height > 0 ? static_cast<uint64_t>(width * height * 2) : 0;
}
inline uint64_t raw_alpha_bytes(int64_t width, int64_t height) {
    return width > 0 && height > 0 ? static_cast<uint64_t>(width * height) : 0;
}

/* Sides are at least 1 (an image of no pixels is no image) and a raw pixel
 * plane's size fits a signed 32-bit size field, so that neither size nor
 * pitch (width x 2) wraps; the blocks fit in the bytes the file holds after
 * the record. */
bool record_is_sane(const Record& record, uint64_t bytes_after_record);

}  // namespace kesra::pack

#endif
