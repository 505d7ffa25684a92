/* inspect.cpp - list and extract: the file is read whole and walked with the
 * bounds-checked views, so a damaged file gets a message, never a crash. */
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bitmap/pack_view.h"
#include "ql.h"
#include "tools/kesra-pack/pack_tool.h"

namespace kesra_pack {

using namespace kesra;
using namespace kesra::pack;

namespace {

bool fail(std::string* error, const std::string& what) {
    *error = what;
    return false;
}

bool has_tag(const std::vector<uint8_t>& data, size_t at, const char* tag) {
    const size_t n = std::strlen(tag);
    return data.size() >= at + n && std::memcmp(data.data() + at, tag, n) == 0;
}

std::string text_field(const uint8_t* field, size_t bytes) {
    std::string s;
    for (size_t i = 0; i < bytes && field[i]; ++i)
        s += field[i] >= 0x20 && field[i] < 0x7F ? static_cast<char>(field[i]) : '?';
    return s;
}

const char* format_name(Format f) {
    return f == Format::Resource ? "resource pack"
           : f == Format::Frames ? "compressed frame pack"
                                 : "real-scene file";
}

bool inflate_exact(const uint8_t* block, uint32_t bytes, size_t raw, std::vector<uint8_t>* out,
                   std::string* error, const std::string& where) {
    BYTE* data = nullptr;
    DWORD len = 0;
    const LONG result = QLDecompress(&data, &len, block, bytes);
    const bool ok = result == 0 && len == raw;
    if (ok) out->assign(data, data + len);
    std::free(data);
    if (!ok)
        return fail(error, where + ": the zlib block does not inflate to " + std::to_string(raw) +
                               " bytes (result " + std::to_string(result) + ", " + std::to_string(len) +
                               " bytes)");
    return true;
}

/* The planes of image index of a pack, expanded or inflated. */
bool pack_planes(const PackView& view, Format format, uint32_t index, Planes* planes, std::string* error) {
    ImageBlocks image;
    if (!view.image(index, &image, error)) return false;
    planes->width = image.record.width;
    planes->height = image.record.height;
    const size_t count = raw_alpha_bytes(image.record.width, image.record.height);
    const std::string where = "image " + std::to_string(index);
    if (format == Format::Resource) return decode_image(image, &planes->pixels, &planes->alpha, error);
    std::vector<uint8_t> bytes;
    if (!inflate_exact(image.pixels, image.record.pixel_bytes, count * 2, &bytes, error, where + " pixels"))
        return false;
    planes->pixels.resize(count);
    for (size_t i = 0; i < count; ++i) planes->pixels[i] = read_le16(&bytes[i * 2]);
    planes->alpha.clear();
    if (image.alpha &&
        !inflate_exact(image.alpha, image.record.alpha_bytes, count, &planes->alpha, error, where + " alpha"))
        return false;
    return true;
}

}  // namespace

bool detect_format(const std::vector<uint8_t>& data, Format* format, std::string* error) {
    if (has_tag(data, 0, kResourceTag))
        *format = Format::Resource;
    else if (has_tag(data, 0, kFramesTag))
        *format = Format::Frames;
    else if (has_tag(data, kSceneCountBytes, kSceneTag))
        *format = Format::Scene;
    else {
        PackView pack;
        SceneView scene;
        std::string why, scene_why;
        if (pack.open(data.data(), data.size(), &why)) {
            *format = Format::Resource;
            ImageBlocks first;
            if (pack.count() > 0 && pack.image(0, &first, &why) && first.record.pixel_bytes >= 2 &&
                first.pixels[0] == 0x78 &&
                first.record.pixel_bytes != raw_pixel_bytes(first.record.width, first.record.height))
                *format = Format::Frames;  // a zlib stream header where the pixels begin
        } else if (scene.open(data.data(), data.size(), &scene_why)) {
            *format = Format::Scene;
        } else {
            return fail(error, "neither a pack (" + why + ") nor a real-scene file (" + scene_why + ")");
        }
    }
    return true;
}

bool list(const std::string& path, const std::vector<uint8_t>& data, Format format, std::string* error) {
    if (format == Format::Scene) {
        SceneView view;
        std::string why;
        if (!view.open(data.data(), data.size(), &why)) return fail(error, path + ": " + why);
        std::printf("%s: %s, %d images\n", path.c_str(), format_name(format), view.count());
        std::printf("%6s %10s %10s  %s\n", "index", "offset", "bytes", "name");
        for (int32_t i = 1; i <= view.count(); ++i) {
            ScenePayload p;
            if (!view.image(i, &p, &why)) return fail(error, path + ": " + why);
            std::printf("%6d %10u %10u  %s\n", i, p.entry.offset, p.entry.length,
                        text_field(p.name, kSceneOffsetAt).c_str());
        }
        return true;
    }
    PackView view;
    std::string why;
    if (!view.open(data.data(), data.size(), &why)) return fail(error, path + ": " + why);
    std::printf("%s: %s, %u images\n", path.c_str(), format_name(format), view.count());
    std::printf("%6s %11s %18s %18s  %s\n", "ID", "size", "pixels", "alpha", "name");
    for (uint32_t i = 0; i < view.count(); ++i) {
        ImageBlocks image;
        if (!view.image(i, &image, &why)) return fail(error, path + ": " + why);
        const Record& r = image.record;
        auto coding = [&](uint32_t bytes, uint64_t raw) -> std::string {
            if (!bytes) return "none";
            if (format == Format::Frames) return std::to_string(bytes) + " zlib";
            return std::to_string(bytes) + (bytes == raw ? " raw" : " coded");
        };
        const std::string size = std::to_string(r.width) + " x " + std::to_string(r.height);
        std::printf("%6u %11s %18s %18s  %s\n", kFirstId + i, size.c_str(),
                    coding(r.pixel_bytes, raw_pixel_bytes(r.width, r.height)).c_str(),
                    coding(r.alpha_bytes, raw_alpha_bytes(r.width, r.height)).c_str(),
                    text_field(image.name, 32).c_str());
    }
    return true;
}

bool extract(const std::string& path, const std::vector<uint8_t>& data, Format format, long id,
             const std::string& out, std::string* error) {
    std::string why;
    if (format == Format::Scene) {
        SceneView view;
        ScenePayload p;
        if (!view.open(data.data(), data.size(), &why) || !view.image(static_cast<int32_t>(id), &p, &why))
            return fail(error, path + ": " + why);
        std::FILE* f = std::fopen(out.c_str(), "wb");
        if (!f) return fail(error, out + ": cannot create (" + std::strerror(errno) + ")");
        const bool ok = std::fwrite(p.data, 1, p.entry.length, f) == p.entry.length;
        if (std::fclose(f) != 0 || !ok) return fail(error, out + ": write failed");
        return true;
    }
    if (id < static_cast<long>(kFirstId))
        return fail(error, path + ": ID " + std::to_string(id) + " is below 300");
    PackView view;
    Planes planes;
    if (!view.open(data.data(), data.size(), &why) ||
        !pack_planes(view, format, static_cast<uint32_t>(id - kFirstId), &planes, &why))
        return fail(error, path + ": " + why);
    if (planes.width < 1 || planes.height < 1 || planes.pixels.empty())
        return fail(error, path + ": ID " + std::to_string(id) + " holds no pixels");
    return devutil::write_png_rgba(out, rgba_from_planes(planes), error);
}

}  // namespace kesra_pack
