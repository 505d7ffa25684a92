/* png565.cpp - PNG through libpng's simplified API, which checks the file's
 * lengths and reports errors as text. */
#include "tools/common/png565.h"

#include <png.h>
#include <sys/stat.h>

#include <cerrno>

#include "core/pixel.h"

namespace kesra::devutil {

bool write_png_rgba(const std::string& path, const RgbaImage& image, std::string* error) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = PNG_FORMAT_RGBA;
    if (!png_image_write_to_file(&png, path.c_str(), 0, image.rgba.data(), 0, nullptr)) {
        if (error) *error = path + ": " + png.message;
        return false;
    }
    return true;
}

bool write_png565(const std::string& path, const uint16_t* pixels, int width, int height, int stride,
                  std::string* error) {
    RgbaImage image;
    image.width = width;
    image.height = height;
    image.rgba.resize(static_cast<size_t>(width) * height * 4);
    uint8_t* out = image.rgba.data();
    for (int y = 0; y < height; ++y) {
        const uint16_t* row = pixels + static_cast<size_t>(y) * stride;
        for (int x = 0; x < width; ++x, out += 4) {
            const kesra::Rgb888 c = kesra::widen565(row[x]);
            out[0] = c.r;
            out[1] = c.g;
            out[2] = c.b;
            out[3] = 255;
        }
    }
    return write_png_rgba(path, image, error);
}

bool read_png_rgba(const std::string& path, RgbaImage& image, std::string* error) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) {
        if (error) *error = path + ": " + png.message;
        return false;
    }
    png.format = PNG_FORMAT_RGBA;
    image.width = static_cast<int>(png.width);
    image.height = static_cast<int>(png.height);
    image.rgba.resize(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, image.rgba.data(), 0, nullptr)) {
        if (error) *error = path + ": " + png.message;
        png_image_free(&png);
        return false;
    }
    return true;
}

bool make_directories(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            const std::string prefix = path.substr(0, i);
            if (mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) return false;
        }
    }
    return true;
}

}  // namespace kesra::devutil
