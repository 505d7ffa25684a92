/* pack_view.cpp - bounds-checked reading of the pack formats from memory. */
#include "bitmap/pack_view.h"

#include "bitmap/run_length.h"

namespace kesra::pack {
namespace {

bool fail(std::string* error, const std::string& what) {
    if (error) *error = what;
    return false;
}

bool fits(uint64_t offset, uint64_t bytes, size_t size) { return offset <= size && bytes <= size - offset; }

}  // namespace

bool PackView::open(const uint8_t* data, size_t size, std::string* error) {
    data_ = data;
    size_ = size;
    if (!data || size < kHeaderBytes)
        return fail(error, "shorter than the 40-byte header (" + std::to_string(size) + " bytes)");
    header_ = parse_header(data);
    if (!fits(header_.index_offset, uint64_t{header_.count} * kIndexEntryBytes, size))
        return fail(error, "index of " + std::to_string(header_.count) + " entries at offset " +
                               std::to_string(header_.index_offset) + " runs past the end (" +
                               std::to_string(size) + " bytes)");
    return true;
}

bool PackView::image(uint32_t index, ImageBlocks* out, std::string* error) const {
    const std::string where =
        "image " + std::to_string(index) + " (ID " + std::to_string(kFirstId + uint64_t{index}) + ")";
    if (index >= header_.count)
        return fail(error, where + ": beyond the pack's " + std::to_string(header_.count) + " images");
    const uint64_t record_at = parse_index_entry(data_ + index_entry_offset(header_, index));
    if (!fits(record_at, kRecordBytes, size_))
        return fail(error, where + ": record at offset " + std::to_string(record_at) + " runs past the end");
    const Record record = parse_record(data_ + record_at);
    if (!record_is_sane(record, size_ - record_at - kRecordBytes))
        return fail(error, where + ": " + std::to_string(record.width) + " x " +
                               std::to_string(record.height) + " with blocks of " +
                               std::to_string(record.pixel_bytes) + " and " +
                               std::to_string(record.alpha_bytes) + " bytes does not fit in the file");
    out->record_offset = record_at;
    out->record = record;
    out->name = data_ + record_at;
    out->pixels = data_ + record_at + kRecordBytes;
    out->alpha = record.alpha_bytes ? out->pixels + record.pixel_bytes : nullptr;
    return true;
}

bool SceneView::open(const uint8_t* data, size_t size, std::string* error) {
    data_ = data;
    size_ = size;
    if (!data || size < kSceneCountBytes) return fail(error, "shorter than the 4-byte image count");
    count_ = static_cast<int32_t>(read_le32(data));
    if (count_ < 0) return fail(error, "negative image count " + std::to_string(count_));
    if (!fits(scene_entry_offset(0), (uint64_t{static_cast<uint32_t>(count_)} + 1) * kSceneEntryBytes, size))
        return fail(error, "entries of " + std::to_string(count_) + " images run past the end");
    return true;
}

bool SceneView::image(int32_t index, ScenePayload* out, std::string* error) const {
    const std::string where = "image " + std::to_string(index);
    if (index < 1 || index > count_) return fail(error, where + ": outside 1 ... " + std::to_string(count_));
    const uint8_t* entry = data_ + scene_entry_offset(static_cast<uint32_t>(index));
    out->entry = parse_scene_entry(entry);
    out->name = entry;
    if (!fits(out->entry.offset, out->entry.length, size_))
        return fail(error, where + ": data at offset " + std::to_string(out->entry.offset) + " of " +
                               std::to_string(out->entry.length) + " bytes runs past the end");
    out->data = data_ + out->entry.offset;
    return true;
}

bool decode_image(const ImageBlocks& image, std::vector<uint16_t>* out_pixels,
                  std::vector<uint8_t>* out_alpha, std::string* error) {
    const Record& r = image.record;
    const uint64_t count = raw_alpha_bytes(r.width, r.height);
    out_pixels->assign(count, 0);
    out_alpha->clear();
    if (r.pixel_bytes == count * 2) {
        for (uint64_t i = 0; i < count; ++i) (*out_pixels)[i] = read_le16(image.pixels + 2 * i);
    } else if (decode_pixel_runs(image.pixels, r.pixel_bytes, out_pixels->data(), count) < count) {
        return fail(error, "pixel runs cover fewer than the image's " + std::to_string(count) + " pixels");
    }
    if (!image.alpha) return true;
    out_alpha->assign(count, 0);
    if (r.alpha_bytes == count) {
        out_alpha->assign(image.alpha, image.alpha + count);
    } else if (decode_alpha_runs(image.alpha, r.alpha_bytes, out_alpha->data(), count) < count) {
        return fail(error, "alpha runs cover fewer than the image's " + std::to_string(count) + " pixels");
    }
    return true;
}

}  // namespace kesra::pack
