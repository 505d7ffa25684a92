/* fuzz_input_file.h - the fuzz input as a file, for the loaders that take a
 * path. Each harness names its file once (a fresh name under /tmp, with the
 * suffix the loader wants) and rewrites it for every input. */
#ifndef KESRA_FUZZ_INPUT_FILE_H
#define KESRA_FUZZ_INPUT_FILE_H

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace kesra::fuzz {

/* A fresh path "/tmp/kesra_fuzz_TAG_XXXXXX" + suffix; the file is made empty. */
inline std::string make_input_path(const char* tag, const char* suffix) {
    std::string name = std::string("/tmp/kesra_fuzz_") + tag + "_XXXXXX";
    const int fd = mkstemp(&name[0]);
    if (fd >= 0) close(fd);
    const std::string path = name + suffix;
    if (path != name) std::rename(name.c_str(), path.c_str());
    return path;
}

/* Writes the input to path and returns it. */
inline const std::string& write_input(const std::string& path, const uint8_t* data, size_t size) {
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        if (size) std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    return path;
}

}  // namespace kesra::fuzz

#endif
