/* png565.h - PNG files for the tools, the demo and the tests: RGB565 frames
 * out (channels widened by repeating their top bits), RGBA images in. */
#ifndef KESRA_TOOLS_PNG565_H
#define KESRA_TOOLS_PNG565_H

#include <cstdint>
#include <string>
#include <vector>

namespace kesra::devutil {

/* Writes a w x h RGB565 frame whose rows are stride pixels apart. */
bool write_png565(const std::string& path, const uint16_t* pixels, int width, int height, int stride,
                  std::string* error = nullptr);

struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;  // width * height * 4 bytes, rows top-down
};

/* Reads any PNG as 8-bit RGBA. */
bool read_png_rgba(const std::string& path, RgbaImage& image, std::string* error = nullptr);

/* Writes 8-bit RGBA. */
bool write_png_rgba(const std::string& path, const RgbaImage& image, std::string* error = nullptr);

/* Creates the directories of a path, like mkdir -p. */
bool make_directories(const std::string& path);

}  // namespace kesra::devutil

#endif
