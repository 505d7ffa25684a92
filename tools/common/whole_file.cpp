/* whole_file.cpp - whole files in and out in 64 KiB pieces; a write that
 * fails leaves no file behind. */
#include "tools/common/whole_file.h"

#include <cstdio>

namespace kesra::cli {

FileResult read_whole_file(const std::string& path, std::vector<uint8_t>* data) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return FileResult::CannotOpen;
    data->clear();
    uint8_t piece[65536];
    size_t n;
    while ((n = std::fread(piece, 1, sizeof piece, f)) > 0) data->insert(data->end(), piece, piece + n);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    return failed ? FileResult::Failed : FileResult::Ok;
}

FileResult write_whole_file(const std::string& path, const std::vector<uint8_t>& data) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return FileResult::CannotOpen;
    const bool written = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    if (std::fclose(f) != 0 || !written) {
        std::remove(path.c_str());
        return FileResult::Failed;
    }
    return FileResult::Ok;
}

}  // namespace kesra::cli
