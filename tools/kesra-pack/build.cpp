/* build.cpp - writing the resource pack, the compressed frame pack and the
 * real-scene file. Packs are written front to back: header, then each image
 * record with its blocks, then the index table, whose offset goes into the
 * header last. The 32 bytes the reader ignores carry a format tag (header)
 * and the source file's name (records), so that list can show them. */
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bitmap/image_pool.h"
#include "bitmap/pack_format.h"
#include "bitmap/run_length.h"
#include "core/pixel.h"
#include "ql.h"
#include "tools/common/whole_file.h"
#include "tools/kesra-pack/pack_tool.h"

namespace kesra_pack {

using namespace kesra;
using namespace kesra::pack;

const char* const kResourceTag = "KESRA resource pack";
const char* const kFramesTag = "KESRA frame pack";
const char* const kSceneTag = "KESRA scene";

Planes planes_from_rgba(const devutil::RgbaImage& image, bool keep_alpha) {
    Planes p;
    p.width = image.width;
    p.height = image.height;
    const size_t count = static_cast<size_t>(image.width) * image.height;
    p.pixels.resize(count);
    p.alpha.resize(count);
    bool translucent = false;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* px = &image.rgba[i * 4];
        p.pixels[i] = narrow565(px[0], px[1], px[2]);
        p.alpha[i] = static_cast<uint8_t>(px[3] >> 3);
        translucent |= p.alpha[i] < 31;
    }
    if (!translucent && !keep_alpha) p.alpha.clear();
    return p;
}

devutil::RgbaImage rgba_from_planes(const Planes& p) {
    devutil::RgbaImage image;
    image.width = p.width;
    image.height = p.height;
    const size_t count = static_cast<size_t>(p.width) * p.height;
    image.rgba.resize(count * 4);
    for (size_t i = 0; i < count; ++i) {
        const Rgb888 c = widen565(p.pixels[i]);
        uint8_t* px = &image.rgba[i * 4];
        px[0] = c.r;
        px[1] = c.g;
        px[2] = c.b;
        const unsigned level = p.alpha.empty() ? 31 : p.alpha[i];
        px[3] = static_cast<uint8_t>(level >= 31 ? 255 : level * 255 / 31);
    }
    return image;
}

namespace {

/* A coded block of exactly the raw size would read as raw: one more pair,
 * covering pixels past the image, keeps it coded. */
template <typename T>
std::vector<uint8_t> choose_block(const std::vector<T>& values, std::vector<uint8_t> runs, Coding coding,
                                  bool* coded) {
    std::vector<uint8_t> raw(values.size() * sizeof(T));
    for (size_t i = 0; i < values.size(); ++i) {
        raw[i * sizeof(T)] = static_cast<uint8_t>(values[i]);
        if (sizeof(T) == 2) raw[i * 2 + 1] = static_cast<uint8_t>(values[i] >> 8);
    }
    const bool use_runs = coding == Coding::Coded || (coding == Coding::Smaller && runs.size() < raw.size());
    *coded = use_runs;
    if (!use_runs) return raw;
    if (runs.size() == raw.size()) runs.insert(runs.end(), sizeof(T) * 2, uint8_t{0});
    return runs;
}

bool fail(std::string* error, const std::string& what) {
    *error = what;
    return false;
}

struct Output {
    std::FILE* file = nullptr;
    std::string path;
    uint64_t written = 0;

    bool write(const void* data, size_t bytes, std::string* error) {
        if (bytes && std::fwrite(data, 1, bytes, file) != bytes)
            return fail(error, path + ": write failed after " + std::to_string(written) + " bytes");
        written += bytes;
        if (written > UINT32_MAX)
            return fail(error, path + ": the file would pass 4 GiB; offsets are 32-bit");
        return true;
    }
    bool write_at(uint64_t offset, const void* data, size_t bytes, std::string* error) {
        if (std::fseek(file, static_cast<long>(offset), SEEK_SET) != 0 ||
            std::fwrite(data, 1, bytes, file) != bytes)
            return fail(error, path + ": cannot rewrite the header");
        return true;
    }
};

void put_name(uint8_t* field, size_t field_bytes, const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::memcpy(field, base.data(), std::min(base.size(), field_bytes - 1));
}

bool load_planes(const std::string& path, bool keep_alpha, Planes* planes, std::string* error) {
    devutil::RgbaImage rgba;
    std::string why;
    if (!devutil::read_png_rgba(path, rgba, &why))
        return fail(error, why.empty() ? path + ": not a readable PNG" : why);
    if (rgba.width < 1 || rgba.height < 1 ||
        uint64_t{static_cast<uint32_t>(rgba.width)} * rgba.height * 2 > INT32_MAX)
        return fail(error, path + ": " + std::to_string(rgba.width) + " x " + std::to_string(rgba.height) +
                               " is too large for a pack image");
    *planes = planes_from_rgba(rgba, keep_alpha);
    return true;
}

std::vector<uint8_t> compress_block(const uint8_t* data, size_t bytes, const std::string& path, bool* ok,
                                    std::string* error) {
    BYTE* out = nullptr;
    DWORD out_len = 0;
    const LONG result = QLCompress(&out, &out_len, data, static_cast<DWORD>(bytes), 9);
    std::vector<uint8_t> block;
    if (result != 0 || !out) {
        *ok = fail(error, path + ": zlib compression failed (" + std::to_string(result) + ")");
    } else {
        block.assign(out, out + out_len);
        *ok = true;
    }
    std::free(out);
    return block;
}

void progress(const BuildOptions& options, size_t done, size_t total, const std::string& path,
              const Planes& p, const std::string& detail) {
    if (options.quiet) return;
    std::printf("kesra-pack: [%zu/%zu] %s %d x %d%s\n", done, total, path.c_str(), p.width, p.height,
                detail.c_str());
    std::fflush(stdout);
}

bool build_pack(Output& out, const std::vector<std::string>& inputs, const BuildOptions& options,
                std::string* error) {
    uint8_t header[kHeaderBytes];
    write_header(header, static_cast<uint32_t>(inputs.size()), 0);
    std::memcpy(header, options.format == Format::Frames ? kFramesTag : kResourceTag,
                std::strlen(options.format == Format::Frames ? kFramesTag : kResourceTag));
    if (!out.write(header, sizeof header, error)) return false;
    std::vector<uint32_t> record_offsets;
    for (size_t i = 0; i < inputs.size(); ++i) {
        Planes planes;
        if (!load_planes(inputs[i], options.keep_alpha, &planes, error)) return false;
        std::vector<uint8_t> pixels, alpha;
        std::string detail;
        if (options.format == Format::Frames) {
            bool ok = true;
            bool raw_coded = false;
            const std::vector<uint8_t> raw =
                pixel_block(planes, Coding::Raw, &raw_coded);  // little-endian words
            pixels = compress_block(raw.data(), raw.size(), inputs[i], &ok, error);
            if (ok && !planes.alpha.empty())
                alpha = compress_block(planes.alpha.data(), planes.alpha.size(), inputs[i], &ok, error);
            if (!ok) return false;
            detail = ", pixels " + std::to_string(pixels.size()) + " bytes zlib" +
                     (alpha.empty() ? std::string(", no alpha")
                                    : ", alpha " + std::to_string(alpha.size()) + " bytes zlib");
        } else {
            bool pixels_coded = false, alpha_coded = false;
            pixels = pixel_block(planes, options.coding, &pixels_coded);
            if (!planes.alpha.empty()) alpha = alpha_block(planes, options.coding, &alpha_coded);
            detail = ", pixels " + std::to_string(pixels.size()) + " bytes " +
                     (pixels_coded ? "coded" : "raw") +
                     (alpha.empty() ? std::string(", no alpha")
                                    : ", alpha " + std::to_string(alpha.size()) + " bytes " +
                                          (alpha_coded ? "coded" : "raw"));
        }
        uint8_t record[kRecordBytes];
        write_record(record, Record{planes.width, planes.height, static_cast<uint32_t>(pixels.size()),
                                    static_cast<uint32_t>(alpha.size())});
        put_name(record, 32, inputs[i]);
        record_offsets.push_back(static_cast<uint32_t>(out.written));
        if (!out.write(record, sizeof record, error) || !out.write(pixels.data(), pixels.size(), error) ||
            !out.write(alpha.data(), alpha.size(), error))
            return false;
        progress(options, i + 1, inputs.size(), inputs[i], planes, detail);
    }
    const uint32_t index_at = static_cast<uint32_t>(out.written);
    for (size_t i = 0; i < record_offsets.size(); ++i) {
        uint8_t entry[kIndexEntryBytes];
        write_index_entry(entry, static_cast<uint32_t>(i), record_offsets[i]);
        if (!out.write(entry, sizeof entry, error)) return false;
    }
    write_le32(header + kHeaderIndexAt, index_at);
    return out.write_at(0, header, sizeof header, error);
}

bool build_scene(Output& out, const std::vector<std::string>& inputs, const BuildOptions& options,
                 std::string* error) {
    const size_t n = inputs.size();
    std::vector<uint8_t> table(kSceneCountBytes + (n + 1) * kSceneEntryBytes, 0);
    write_le32(table.data(), static_cast<uint32_t>(n));
    std::memcpy(table.data() + kSceneCountBytes, kSceneTag, std::strlen(kSceneTag));  // slot 0, never read
    if (!out.write(table.data(), table.size(), error)) return false;
    for (size_t i = 0; i < n; ++i) {
        std::vector<uint8_t> bytes;
        if (!read_file(inputs[i], &bytes, error)) return false;
        static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        if (bytes.size() < 8 || std::memcmp(bytes.data(), signature, 8) != 0)
            return fail(error, inputs[i] + ": not a PNG file (the signature is missing)");
        if (bytes.size() > pool::kPoolBytes)
            return fail(error, inputs[i] + ": " + std::to_string(bytes.size()) +
                                   " bytes; a real-scene image must fit the 1,000,000-byte image pool");
        Planes planes;
        if (!load_planes(inputs[i], false, &planes, error)) return false;
        uint8_t* entry = table.data() + scene_entry_offset(static_cast<uint32_t>(i + 1));
        write_scene_entry(
            entry, SceneEntry{static_cast<uint32_t>(out.written), static_cast<uint32_t>(bytes.size())});
        put_name(entry, kSceneOffsetAt, inputs[i]);
        if (!out.write(bytes.data(), bytes.size(), error)) return false;
        progress(options, i + 1, n, inputs[i], planes, ", " + std::to_string(bytes.size()) + " bytes of PNG");
    }
    return out.write_at(0, table.data(), table.size(), error);
}

}  // namespace

std::vector<uint8_t> pixel_block(const Planes& planes, Coding coding, bool* coded) {
    return choose_block(planes.pixels, encode_pixel_runs(planes.pixels.data(), planes.pixels.size()), coding,
                        coded);
}

std::vector<uint8_t> alpha_block(const Planes& planes, Coding coding, bool* coded) {
    return choose_block(planes.alpha, encode_alpha_runs(planes.alpha.data(), planes.alpha.size()), coding,
                        coded);
}

bool read_file(const std::string& path, std::vector<uint8_t>* data, std::string* error) {
    return cli::read_whole_file(path, data, {"cannot open (%s)", "read error"}, error);
}

bool build(const std::string& path, const std::vector<std::string>& inputs, const BuildOptions& options,
           std::string* error) {
    if (inputs.empty()) return fail(error, path + ": no images given");
    Output out;
    out.path = path;
    out.file = std::fopen(path.c_str(), "wb");
    if (!out.file) return fail(error, path + ": cannot create (" + std::strerror(errno) + ")");
    const bool ok = options.format == Format::Scene ? build_scene(out, inputs, options, error)
                                                    : build_pack(out, inputs, options, error);
    const bool closed = std::fclose(out.file) == 0;
    if (ok && !closed) *error = path + ": write failed on close";
    if (!ok || !closed) {
        std::remove(path.c_str());
        return false;
    }
    return true;
}

}  // namespace kesra_pack
