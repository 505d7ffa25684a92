/* ani_format.cpp - reading and writing the animation file's records, and the
 * lookups by ID and frame. Offsets are summed in 64 bits, so no field of the
 * file can wrap a sum back inside it; anything that ends past the file's
 * length is not there. */
#include "anim/ani_format.h"

#include <sys/types.h>

#include <cstring>

namespace kesra::ani {

uint32_t load32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void store32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

Record read_record(const uint8_t* b) {
    Record r;
    r.forward_units = load32(b + 32);
    r.backward_units = load32(b + 36);
    r.forward_offset = load32(b + 40);
    r.backward_offset = load32(b + 44);
    r.frame_count = static_cast<int32_t>(load32(b + 48));
    r.frame_table = load32(b + 52);
    return r;
}

void write_record(uint8_t* b, const Record& r) {
    store32(b + 32, r.forward_units);
    store32(b + 36, r.backward_units);
    store32(b + 40, r.forward_offset);
    store32(b + 44, r.backward_offset);
    store32(b + 48, static_cast<uint32_t>(r.frame_count));
    store32(b + 52, r.frame_table);
}

FrameHeader read_frame_header(const uint8_t* b) {
    FrameHeader h;
    h.width = static_cast<int32_t>(load32(b + 32));
    h.height = static_cast<int32_t>(load32(b + 36));
    h.pixel_bytes = load32(b + 40);
    h.alpha_bytes = load32(b + 44);
    return h;
}

void write_frame_header(uint8_t* b, const FrameHeader& h) {
    store32(b + 32, static_cast<uint32_t>(h.width));
    store32(b + 36, static_cast<uint32_t>(h.height));
    store32(b + 40, h.pixel_bytes);
    store32(b + 44, h.alpha_bytes);
}

uint64_t StreamSource::size() {
    if (!sized_) {
        const off_t at = ftello(file_);
        if (fseeko(file_, 0, SEEK_END) == 0) {
            const off_t end = ftello(file_);
            size_ = end > 0 ? static_cast<uint64_t>(end) : 0;
        }
        if (at >= 0) fseeko(file_, at, SEEK_SET);
        sized_ = true;
    }
    return size_;
}

bool StreamSource::read(uint64_t offset, void* into, size_t bytes) {
    if (offset > size() || bytes > size() - offset) return false;
    if (fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
    return std::fread(into, 1, bytes, file_) == bytes;
}

bool MemorySource::read(uint64_t offset, void* into, size_t bytes) {
    if (offset > bytes_ || bytes > bytes_ - offset) return false;
    if (bytes) std::memcpy(into, data_ + offset, bytes);
    return true;
}

namespace {

bool fits(Source& src, uint64_t offset, uint64_t bytes) {
    const uint64_t size = src.size();
    return offset <= size && bytes <= size - offset;
}

}  // namespace

bool read_count(Source& src, int32_t* count) {
    uint8_t header[kHeaderBytes];
    if (!src.read(0, header, sizeof header)) return false;
    *count = static_cast<int32_t>(load32(header + kCountField));
    return true;
}

bool find_animation(Source& src, uint32_t id, Animation* out) {
    int32_t count = 0;
    if (id < kFirstId || !read_count(src, &count)) return false;
    const uint32_t index = id - kFirstId;
    if (index >= static_cast<uint32_t>(count)) return false;  // unsigned: a negative count passes, as stored
    uint8_t entry[kIndexEntryBytes];
    if (!src.read(kIndexOffset + uint64_t{index} * kIndexEntryBytes, entry, sizeof entry)) return false;
    if (load32(entry) != index) return false;
    const uint64_t base = load32(entry + 4);
    uint8_t record[kRecordBytes];
    if (!src.read(base, record, sizeof record)) return false;
    const Record r = read_record(record);
    if (r.frame_count < 0) return false;
    if (!fits(src, base + r.frame_table, uint64_t(r.frame_count) * kFrameEntryBytes)) return false;
    out->base = base;
    out->record = r;
    return true;
}

bool find_frame(Source& src, const Animation& anim, int32_t frame, FrameHeader* header, uint64_t* streams) {
    if (frame < 0 || frame >= anim.record.frame_count) return false;
    uint8_t entry[kFrameEntryBytes];
    const uint64_t at = anim.base + anim.record.frame_table + uint64_t(frame) * kFrameEntryBytes;
    if (!src.read(at, entry, sizeof entry) || load32(entry) != static_cast<uint32_t>(frame)) return false;
    const uint64_t start = anim.base + load32(entry + 4);
    uint8_t bytes[kFrameHeaderBytes];
    if (!src.read(start, bytes, sizeof bytes)) return false;
    const FrameHeader h = read_frame_header(bytes);
    if (!fits(src, start + kFrameHeaderBytes, uint64_t{h.pixel_bytes} + h.alpha_bytes)) return false;
    *header = h;
    *streams = start + kFrameHeaderBytes;
    return true;
}

bool find_sound(Source& src, const Animation& anim, bool backward, uint64_t* offset, uint64_t* bytes) {
    const uint32_t units = backward ? anim.record.backward_units : anim.record.forward_units;
    const uint32_t relative = backward ? anim.record.backward_offset : anim.record.forward_offset;
    if (units == 0) return false;
    const uint64_t at = anim.base + relative, length = uint64_t{units} * 2;
    if (!fits(src, at, length)) return false;
    *offset = at;
    *bytes = length;
    return true;
}

int64_t frame_delay(int32_t total_ms, int32_t frames) {
    return (int64_t{total_ms} - 50 * int64_t{frames}) / frames;
}

}  // namespace kesra::ani
