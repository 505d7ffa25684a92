/* bytes.h - little-endian 16- and 32-bit fields of the file formats, read
 * and written a byte at a time, so that alignment and the machine's byte
 * order never matter. Callers check that the bytes lie inside their buffer. */
#ifndef KESRA_CORE_BYTES_H
#define KESRA_CORE_BYTES_H

#include <cstdint>

namespace kesra {

inline uint16_t read_le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

inline uint32_t read_le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

inline void write_le16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

inline void write_le32(uint8_t* p, uint32_t v) {
    write_le16(p, v);
    write_le16(p + 2, v >> 16);
}

}  // namespace kesra

#endif
