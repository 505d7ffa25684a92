/* fuzz_ql_decompress.cpp - zlib blocks through QLDecompress; a block that
 * inflates is compressed again and must come back the same. */
#include <cstdlib>
#include <cstring>

#include "kesra.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    BYTE* out = nullptr;
    DWORD length = 0;
    if (QLDecompress(&out, &length, data, static_cast<DWORD>(size)) != 0) return 0;
    BYTE* packed = nullptr;
    DWORD packed_length = 0;
    if (QLCompress(&packed, &packed_length, out, length, 1) != 0) std::abort();
    BYTE* again = nullptr;
    DWORD again_length = 0;
    if (QLDecompress(&again, &again_length, packed, packed_length) != 0 || again_length != length ||
        (length && std::memcmp(again, out, length) != 0)) {
        std::abort();
    }
    std::free(again);
    std::free(packed);
    std::free(out);
    return 0;
}
