/* test_bitmap_helpers.h - packs written by the tests themselves (blocks given
 * byte for byte, so that raw, coded and damaged blocks can all be made), a
 * scratch folder with the debug log in it, and the log's contents. */
#ifndef KESRA_TESTS_BITMAP_HELPERS_H
#define KESRA_TESTS_BITMAP_HELPERS_H

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bitmap/pack_format.h"
#include "host.h"
#include "kesra.h"
#include "text/app_directory.h"
#include "text/debug_log.h"

namespace kesra::test {

struct PackImage {
    int32_t width;
    int32_t height;
    std::vector<uint8_t> pixels;  // block as stored
    std::vector<uint8_t> alpha;
};

inline std::vector<uint8_t> le16_bytes(const std::vector<uint16_t>& values) {
    std::vector<uint8_t> out;
    for (uint16_t v : values) {
        out.push_back(static_cast<uint8_t>(v));
        out.push_back(static_cast<uint8_t>(v >> 8));
    }
    return out;
}

/* Pixel pairs (value, count) as the pack stores them. */
inline std::vector<uint8_t> pixel_pairs(const std::vector<std::pair<uint16_t, uint16_t>>& runs) {
    std::vector<uint8_t> out;
    for (auto [v, n] : runs)
        out.insert(out.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(n),
                               static_cast<uint8_t>(n >> 8)});
    return out;
}

inline std::vector<uint8_t> alpha_pairs(const std::vector<std::pair<uint8_t, uint8_t>>& runs) {
    std::vector<uint8_t> out;
    for (auto [v, n] : runs) out.insert(out.end(), {v, n});
    return out;
}

/* Header, records with their blocks, then the index. */
inline std::vector<uint8_t> make_pack(const std::vector<PackImage>& images) {
    using namespace kesra::pack;
    std::vector<uint8_t> file(kHeaderBytes);
    std::vector<uint32_t> offsets;
    for (const PackImage& im : images) {
        offsets.push_back(static_cast<uint32_t>(file.size()));
        uint8_t record[kRecordBytes];
        write_record(record, Record{im.width, im.height, static_cast<uint32_t>(im.pixels.size()),
                                    static_cast<uint32_t>(im.alpha.size())});
        file.insert(file.end(), record, record + kRecordBytes);
        file.insert(file.end(), im.pixels.begin(), im.pixels.end());
        file.insert(file.end(), im.alpha.begin(), im.alpha.end());
    }
    write_header(file.data(), static_cast<uint32_t>(images.size()), static_cast<uint32_t>(file.size()));
    for (size_t i = 0; i < offsets.size(); ++i) {
        uint8_t entry[kIndexEntryBytes];
        write_index_entry(entry, static_cast<uint32_t>(i), offsets[i]);
        file.insert(file.end(), entry, entry + kIndexEntryBytes);
    }
    return file;
}

inline void write_bytes(const std::string& path, const std::vector<uint8_t>& data) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

inline std::string read_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline std::u16string wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

/* A scratch folder that is also the application's directory, so the debug
 * log lands in it. The directory is stored once per process; every test of
 * the process shares this folder. */
inline const std::string& scratch_dir() {
    static const std::string dir = [] {
        char pattern[] = "/tmp/kesra_bitmap_XXXXXX";
        std::string d = mkdtemp(pattern);
        std::u16string exe;
        for (char c : d + "/app.exe") exe += c == '/' ? u'\\' : static_cast<char16_t>(c);
        HostSetModuleFileName(reinterpret_cast<const WCHAR*>(exe.c_str()));
        kesra::store_app_directory();
        return d;
    }();
    return dir;
}

inline std::string log_path() { return scratch_dir() + "/debugKESRA.log"; }
inline void clear_log() { std::remove(log_path().c_str()); }
inline std::string log_text() { return read_text(log_path()); }

/* The planes of a loaded bitmap, width x height entries (none without alpha). */
inline std::vector<uint16_t> pixels_of(CCEBitmap& b) {
    const auto* p = reinterpret_cast<const uint16_t*>(b.GetImageData());
    return std::vector<uint16_t>(p, p + b.GetWidth() * b.GetHeight());
}
inline std::vector<uint8_t> alpha_of(CCEBitmap& b) {
    if (!b.GetAlphaData()) return {};
    return std::vector<uint8_t>(b.GetAlphaData(), b.GetAlphaData() + b.GetWidth() * b.GetHeight());
}

/* GBK bytes of the messages the tests look for. */
constexpr const char* GBK_ERROR = "\xB4\xED\xCE\xF3\xA3\xBA";  // the prefix every load error carries

}  // namespace kesra::test

#endif
