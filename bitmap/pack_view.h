/* pack_view.h - the pack formats read from bytes in memory (a mapped view, a
 * file read whole): every offset and size is checked against the span before
 * it is followed, and a failure says what was wrong and where. The tools, the
 * fuzz harnesses and code holding the mapped view use it. */
#ifndef KESRA_BITMAP_PACK_VIEW_H
#define KESRA_BITMAP_PACK_VIEW_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bitmap/pack_format.h"

namespace kesra::pack {

/* One image of a resource or compressed pack: its record and its blocks. */
struct ImageBlocks {
    uint64_t record_offset;
    Record record;
    const uint8_t* name;  // the record's 32 ignored bytes
    const uint8_t* pixels;
    const uint8_t* alpha;  // null when alpha_bytes is 0
};

class PackView {
   public:
    /* Checks the header and that the index table lies within the data. */
    bool open(const uint8_t* data, size_t size, std::string* error);
    uint32_t count() const { return header_.count; }
    /* Image index (0-based); false with a message when its entry, record or
     * blocks lie outside the data or its sizes are impossible. */
    bool image(uint32_t index, ImageBlocks* out, std::string* error) const;

   private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    Header header_{};
};

struct ScenePayload {
    SceneEntry entry;
    const uint8_t* name;  // the entry's 16 ignored bytes
    const uint8_t* data;
};

class SceneView {
   public:
    bool open(const uint8_t* data, size_t size, std::string* error);
    int32_t count() const { return count_; }
    /* Image index, 1 ... count; index 0 is never valid. */
    bool image(int32_t index, ScenePayload* out, std::string* error) const;

   private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    int32_t count_ = 0;
};

/* Raw planes of a resource-pack image (run-length blocks expanded; pixels
 * not covered by the runs are 0). out_alpha is left empty without alpha. */
bool decode_image(const ImageBlocks& image, std::vector<uint16_t>* out_pixels,
                  std::vector<uint8_t>* out_alpha, std::string* error);

}  // namespace kesra::pack

#endif
