/* whole_file.cpp - whole files in and out in 64 KiB pieces; a write that
 * fails leaves no file behind. */
#include "tools/common/whole_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kesra::cli {

namespace {

/* "PATH: " and the words, the reason errno gives in place of a "%s". */
bool fail(std::string* error, const std::string& path, const char* words) {
    const char* reason = std::strerror(errno);
    std::string message = path + ": " + words;
    const size_t at = message.find("%s", path.size());
    if (at != std::string::npos) message.replace(at, 2, reason);
    *error = message;
    return false;
}

}  // namespace

bool read_whole_file(const std::string& path, std::vector<uint8_t>* data, const FileWords& words,
                     std::string* error) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return fail(error, path, words.cannot_open);
    data->clear();
    uint8_t piece[65536];
    size_t n;
    while ((n = std::fread(piece, 1, sizeof piece, f)) > 0) data->insert(data->end(), piece, piece + n);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    return failed ? fail(error, path, words.failed) : true;
}

bool write_whole_file(const std::string& path, const std::vector<uint8_t>& data, const FileWords& words,
                      std::string* error) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return fail(error, path, words.cannot_open);
    const bool written = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    if (std::fclose(f) != 0 || !written) {
        std::remove(path.c_str());
        return fail(error, path, words.failed);
    }
    return true;
}

}  // namespace kesra::cli
