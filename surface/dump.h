/* dump.h - the screen dump: what the display shows, saved as a 24-bit BMP
 * (bottom-up rows of blue, green, red bytes, each row padded with zeros to a
 * multiple of 4 bytes) named after the local time in the application's "bmp"
 * folder. */
#ifndef KESRA_SURFACE_DUMP_H
#define KESRA_SURFACE_DUMP_H

#include <array>
#include <cstdint>
#include <string>

#include "wintypes.h"

namespace kesra {

constexpr uint32_t kBmpHeadersBytes = 54;  // 14-byte file header and 40-byte information header

/* Bytes of one stored row of a 24-bit BMP: 3 bytes a pixel, to a multiple of 4. */
uint32_t bmp24_row_bytes(int32_t width);

/* The two headers, little-endian, of a bottom-up 24-bit BMP. */
std::array<uint8_t, kBmpHeadersBytes> bmp24_headers(int32_t width, int32_t height);

/* "<directory>\bmp\MMDDhhmmss.bmp": month, day, hour, minute, second; the year
 * is not part of the name. */
std::u16string dump_file_name(const std::u16string& app_directory, const SYSTEMTIME& time);

/* The running executable's directory, cut before the last backslash. */
std::u16string executable_directory();

}  // namespace kesra

#endif
