/* ani_format.h - the animation file's layout and the lookups shared by
 * CAniCtrl, kesra-ani and the tests: header, animation index, animation
 * record, frame table and frame header. Integers are 32-bit little-endian;
 * every offset, count and size is checked against the file's length before
 * anything is read from where it points. */
#ifndef KESRA_ANIM_ANI_FORMAT_H
#define KESRA_ANIM_ANI_FORMAT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace kesra::ani {

constexpr uint32_t kFirstId = 300;  // animation ID = 300 + index
constexpr size_t kHeaderBytes = 40;
constexpr size_t kIndexEntryBytes = 8;
constexpr size_t kRecordBytes = 56;
constexpr size_t kFrameEntryBytes = 8;
constexpr size_t kFrameHeaderBytes = 48;
constexpr size_t kNameBytes = 32;  // the block at the start of each header, never read by the library
constexpr uint64_t kIndexOffset = 40;

/* Header fields the library reads. */
constexpr size_t kCountField = 32;

/* Animation record, at its absolute offset B; offsets are relative to B and
 * sound lengths count 16-bit units. */
struct Record {
    uint32_t forward_units = 0;
    uint32_t backward_units = 0;
    uint32_t forward_offset = 0;
    uint32_t backward_offset = 0;
    int32_t frame_count = 0;
    uint32_t frame_table = 0;
};

/* Frame header; the pixel stream follows it, then the alpha stream. */
struct FrameHeader {
    int32_t width = 0;
    int32_t height = 0;
    uint32_t pixel_bytes = 0;  // zlib stream of width x height RGB565 values; 0: none
    uint32_t alpha_bytes = 0;  // zlib stream of width x height levels; 0: no alpha plane
};

uint32_t load32(const uint8_t* p);
void store32(uint8_t* p, uint32_t v);
Record read_record(const uint8_t* bytes);  // kRecordBytes
void write_record(uint8_t* bytes, const Record& record);
FrameHeader read_frame_header(const uint8_t* bytes);  // kFrameHeaderBytes
void write_frame_header(uint8_t* bytes, const FrameHeader& header);

/* Where the bytes come from: the open stdio stream of the library, or a
 * file held in memory (the tool, the tests). */
class Source {
   public:
    virtual ~Source() = default;
    virtual uint64_t size() = 0;
    /* Exactly bytes bytes at offset; false when they are not all there. */
    virtual bool read(uint64_t offset, void* into, size_t bytes) = 0;
};

class StreamSource : public Source {
   public:
    explicit StreamSource(std::FILE* file) : file_(file) {}
    uint64_t size() override;
    bool read(uint64_t offset, void* into, size_t bytes) override;

   private:
    std::FILE* file_;
    uint64_t size_ = 0;
    bool sized_ = false;
};

class MemorySource : public Source {
   public:
    MemorySource(const uint8_t* data, size_t bytes) : data_(data), bytes_(bytes) {}
    uint64_t size() override { return bytes_; }
    bool read(uint64_t offset, void* into, size_t bytes) override;

   private:
    const uint8_t* data_;
    size_t bytes_;
};

/* An animation found by its ID: its record and where it lies. */
struct Animation {
    uint64_t base = 0;  // B
    Record record;
};

/* The animation count N of the header; false when the header is short. */
bool read_count(Source& src, int32_t* count);

/* The lookup every operation starts with: ID of 300 or more, index below N
 * (unsigned), an index entry that names its own position, a whole record
 * inside the file, and a frame table that lies inside the file. */
bool find_animation(Source& src, uint32_t id, Animation* out);

/* Frame `frame` of an animation: its table entry names its own position, and
 * its header and both streams lie inside the file. *streams is the absolute
 * offset of the pixel stream (the alpha stream follows it). */
bool find_frame(Source& src, const Animation& anim, int32_t frame, FrameHeader* header, uint64_t* streams);

/* The forward or backward sound: (offset, bytes) inside the file; false when
 * there is none (length 0) or it does not lie inside the file. */
bool find_sound(Source& src, const Animation& anim, bool backward, uint64_t* offset, uint64_t* bytes);

/* Frame delay in milliseconds: the total time less 50 ms of work per frame,
 * shared out over the frames, truncated toward zero; frames must be >= 1. */
int64_t frame_delay(int32_t total_ms, int32_t frames);

}  // namespace kesra::ani

#endif
