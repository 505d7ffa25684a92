/* pack_format.cpp - writing the pack records, and the sanity test a reader
 * applies before it trusts a record's sizes. */
#include "bitmap/pack_format.h"

#include <cstdint>
#include <cstring>

namespace kesra::pack {

void write_header(uint8_t* p, uint32_t count, uint32_t index_offset) {
    std::memset(p, 0, kHeaderBytes);
    write_le32(p + kHeaderCountAt, count);
    write_le32(p + kHeaderIndexAt, index_offset);
}

/* The word the reader ignores holds the entry's own index, for tools. */
void write_index_entry(uint8_t* p, uint32_t index, uint32_t record_offset) {
    write_le32(p, index);
    write_le32(p + kIndexRecordAt, record_offset);
}

void write_record(uint8_t* p, const Record& record) {
    std::memset(p, 0, kRecordBytes);
    write_le32(p + kRecordWidthAt, static_cast<uint32_t>(record.width));
    write_le32(p + kRecordHeightAt, static_cast<uint32_t>(record.height));
    write_le32(p + kRecordPixelBytesAt, record.pixel_bytes);
    write_le32(p + kRecordAlphaBytesAt, record.alpha_bytes);
}

void write_scene_entry(uint8_t* p, const SceneEntry& entry) {
    std::memset(p, 0, kSceneEntryBytes);
    write_le32(p + kSceneOffsetAt, entry.offset);
    write_le32(p + kSceneLengthAt, entry.length);
}

bool record_is_sane(const Record& record, uint64_t bytes_after_record) {
    if (record.width < 1 || record.height < 1) return false;
    if (uint64_t{static_cast<uint32_t>(record.width)} * static_cast<uint32_t>(record.height) * 2 > INT32_MAX)
        return false;
    if (record.pixel_bytes > INT32_MAX || record.alpha_bytes > INT32_MAX) return false;
    return uint64_t{record.pixel_bytes} + record.alpha_bytes <= bytes_after_record;
}

}  // namespace kesra::pack
