/* fuzz_image_common.h - helpers of the image module harnesses: the module set
 * up once, and the input written to a per-process temporary file for the
 * file decoders. */
#ifndef KESRA_FUZZ_IMAGE_COMMON_H
#define KESRA_FUZZ_IMAGE_COMMON_H

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_input_file.h"
#include "image/ql_module.h"
#include "kesra.h"

namespace kesra::fuzz {

inline void setup_module() {
    static bool ready = [] {
        QLConstructor();
        HostSetMessageHandler([](const WCHAR*) {});  // "not a PNG" for most inputs
        ql::set_reports(false);                      // a line per refused input otherwise
        return true;
    }();
    (void)ready;
}

/* The input as a file; returns its path as the module takes it. */
inline std::u16string input_file(const uint8_t* data, size_t size) {
    static const std::string path = make_input_path("image", "");
    write_input(path, data, size);
    return std::u16string(path.begin(), path.end());
}

/* Pops what a successful load pushed, so the table never fills. */
inline void release_if(int loaded) {
    if (loaded) QLReleaseLastImage();
}

}  // namespace kesra::fuzz

#endif
