/* build.cpp - writing the animation file. The file is laid out in memory
 * front to back: header, index, then each animation's record, frame table,
 * sounds and frames, so that every offset is known when it is written. The
 * 32 bytes the library skips carry the tool's tag (header) and names
 * (animation records, frame headers), so that list can show them. */
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "anim/ani_format.h"
#include "core/pixel.h"
#include "platform/sound.h"
#include "ql.h"
#include "tools/common/png565.h"
#include "tools/common/whole_file.h"
#include "tools/kesra-ani/ani_tool.h"

namespace kesra_ani {

using namespace kesra;
using namespace kesra::ani;

const char* const kFileTag = "KESRA animation file";

namespace {

constexpr uint32_t kFileVersion = 1;  // the header's last field, which the library skips

bool fail(std::string* error, const std::string& what) {
    *error = what;
    return false;
}

void put_text(std::vector<uint8_t>* file, size_t at, const std::string& text) {
    std::memcpy(file->data() + at, text.data(), std::min(text.size(), kNameBytes - 1));
}

bool deflate(const void* data, size_t bytes, int level, std::vector<uint8_t>* out) {
    BYTE* packed = nullptr;
    DWORD packed_bytes = 0;
    const bool ok = QLCompress(&packed, &packed_bytes, static_cast<const BYTE*>(data),
                               static_cast<DWORD>(bytes), level) == 0;
    if (ok) out->assign(packed, packed + packed_bytes);
    std::free(packed);
    return ok;
}

/* Appends a frame: its header and both zlib streams. */
bool append_frame(std::vector<uint8_t>* file, const Frame& f, size_t index, int level, std::string* error) {
    const size_t count = static_cast<size_t>(f.width) * f.height;
    if (f.pixels.size() != count || (!f.alpha.empty() && f.alpha.size() != count))
        return fail(error,
                    "frame " + std::to_string(index) + ": its planes do not hold width x height values");
    std::vector<uint8_t> pixels, alpha, raw(count * 2);
    for (size_t i = 0; i < count; ++i) {
        raw[i * 2] = static_cast<uint8_t>(f.pixels[i]);
        raw[i * 2 + 1] = static_cast<uint8_t>(f.pixels[i] >> 8);
    }
    if (!deflate(raw.data(), raw.size(), level, &pixels) ||
        (!f.alpha.empty() && !deflate(f.alpha.data(), f.alpha.size(), level, &alpha)))
        return fail(error, "frame " + std::to_string(index) + ": zlib could not compress it");
    const size_t at = file->size();
    file->resize(at + kFrameHeaderBytes);
    put_text(file, at, "frame " + std::to_string(index));
    FrameHeader header;
    header.width = f.width;
    header.height = f.height;
    header.pixel_bytes = static_cast<uint32_t>(pixels.size());
    header.alpha_bytes = static_cast<uint32_t>(alpha.size());
    write_frame_header(file->data() + at, header);
    file->insert(file->end(), pixels.begin(), pixels.end());
    file->insert(file->end(), alpha.begin(), alpha.end());
    return true;
}

/* Appends a sound padded to whole 16-bit units; returns its length in units. */
uint32_t append_sound(std::vector<uint8_t>* file, const std::vector<uint8_t>& wave) {
    file->insert(file->end(), wave.begin(), wave.end());
    if (wave.size() & 1) file->push_back(0);
    return static_cast<uint32_t>((wave.size() + 1) / 2);
}

bool append_animation(std::vector<uint8_t>* file, const Animation& a, int level, std::string* error) {
    const size_t base = file->size();
    Record record;
    record.frame_count = static_cast<int32_t>(a.frames.size());
    record.frame_table = kRecordBytes;
    file->resize(base + kRecordBytes + a.frames.size() * kFrameEntryBytes);
    put_text(file, base, a.name);
    if (!a.forward.empty()) {
        record.forward_offset = static_cast<uint32_t>(file->size() - base);
        record.forward_units = append_sound(file, a.forward);
    }
    if (!a.backward.empty()) {
        record.backward_offset = static_cast<uint32_t>(file->size() - base);
        record.backward_units = append_sound(file, a.backward);
    }
    for (size_t f = 0; f < a.frames.size(); ++f) {
        const uint64_t relative = file->size() - base;
        if (relative > INT32_MAX) return fail(error, "the file would pass 2 GiB; offsets are 32-bit");
        uint8_t* entry = file->data() + base + kRecordBytes + f * kFrameEntryBytes;
        store32(entry, static_cast<uint32_t>(f));
        store32(entry + 4, static_cast<uint32_t>(relative));
        if (!append_frame(file, a.frames[f], f, level, error)) return false;
    }
    write_record(file->data() + base, record);
    return true;
}

}  // namespace

bool assemble(const std::vector<Animation>& animations, int level, std::vector<uint8_t>* file,
              std::string* error) {
    file->assign(kHeaderBytes + animations.size() * kIndexEntryBytes, 0);
    put_text(file, 0, kFileTag);
    store32(file->data() + kCountField, static_cast<uint32_t>(animations.size()));
    store32(file->data() + 36, kFileVersion);
    for (size_t k = 0; k < animations.size(); ++k) {
        const uint64_t base = file->size();
        if (base > INT32_MAX) return fail(error, "the file would pass 2 GiB; offsets are 32-bit");
        uint8_t* entry = file->data() + kIndexOffset + k * kIndexEntryBytes;
        store32(entry, static_cast<uint32_t>(k));
        store32(entry + 4, static_cast<uint32_t>(base));
        const std::string where = "animation " + std::to_string(kFirstId + k);
        if (!append_animation(file, animations[k], level, error)) return fail(error, where + ": " + *error);
    }
    if (file->size() > INT32_MAX) return fail(error, "the file would pass 2 GiB; offsets are 32-bit");
    return true;
}

bool load_frame_png(const std::string& path, bool keep_alpha, Frame* frame, std::string* error) {
    devutil::RgbaImage image;
    std::string why;
    if (!devutil::read_png_rgba(path, image, &why))
        return fail(error, why.empty() ? path + ": not a readable PNG" : why);
    if (image.width < 1 || image.height < 1 || uint64_t(image.width) * uint64_t(image.height) > (1u << 24))
        return fail(error, path + ": " + std::to_string(image.width) + " x " + std::to_string(image.height) +
                               " is not a frame size (at most 16,777,216 pixels)");
    const size_t count = static_cast<size_t>(image.width) * image.height;
    frame->width = image.width;
    frame->height = image.height;
    frame->pixels.resize(count);
    frame->alpha.resize(count);
    bool translucent = false;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = &image.rgba[i * 4];
        frame->pixels[i] = narrow565(p[0], p[1], p[2]);
        frame->alpha[i] = static_cast<uint8_t>(p[3] >> 3);
        translucent |= frame->alpha[i] < 31;
    }
    if (!translucent && !keep_alpha) frame->alpha.clear();
    return true;
}

bool load_wave(const std::string& path, std::vector<uint8_t>* wave, std::string* error) {
    if (!read_file(path, wave, error)) return false;
    platform::WaveInfo info;
    if (!platform::parse_wave(wave->data(), wave->size(), &info))
        return fail(error, path +
                               ": not a WAVE file the library plays (RIFF/WAVE, PCM with 8 or 16 bits, "
                               "a data chunk inside the file)");
    wave->resize(info.image_bytes);  // bytes after the RIFF image are not the sound's
    return true;
}

bool read_file(const std::string& path, std::vector<uint8_t>* data, std::string* error) {
    return cli::read_whole_file(path, data, {"cannot open", "read failed"}, error);
}

bool build(const std::string& out, const std::string& description, const Options& options,
           std::string* error) {
    std::vector<AnimationEntry> entries;
    if (!parse_description(description, &entries, error)) return false;
    std::vector<Animation> animations(entries.size());
    size_t total = 0, done = 0;
    for (const AnimationEntry& s : entries) total += s.frames.size();
    for (size_t k = 0; k < entries.size(); ++k) {
        const AnimationEntry& s = entries[k];
        const auto where = [&description](int line) {
            return description + ":" + std::to_string(line) + ": ";
        };
        Animation& a = animations[k];
        a.name = s.name;
        if (!s.forward.empty() && !load_wave(s.forward, &a.forward, error))
            return fail(error, where(s.forward_line) + *error);
        if (!s.backward.empty() && !load_wave(s.backward, &a.backward, error))
            return fail(error, where(s.backward_line) + *error);
        a.frames.resize(s.frames.size());
        for (size_t f = 0; f < s.frames.size(); ++f) {
            if (!load_frame_png(s.frames[f], options.keep_alpha, &a.frames[f], error))
                return fail(error, where(s.frame_lines[f]) + *error);
            ++done;
            if (!options.quiet && (done % 16 == 0 || done == total))
                std::printf("kesra-ani: [%zu/%zu] frames read\n", done, total);
        }
    }
    std::vector<uint8_t> file;
    if (!assemble(animations, 9, &file, error)) return fail(error, out + ": " + *error);
    return cli::write_whole_file(out, file, {"cannot create", "write failed"}, error);
}

}  // namespace kesra_ani
