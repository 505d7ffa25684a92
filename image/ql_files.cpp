/* ql_files.cpp - the module's file and memory entry points: open the file,
 * pick the format by type code (0 BMP, 1 JPEG, 2 PNG), decode and push the
 * image onto the table, or save the current one. A failed load leaves the
 * table, its count and the current index as they were. */
#include <png.h>

#include <cstdio>
#include <string>

#include "image/ql_module.h"
#include "platform/platform_internal.h"
#include "winapi.h"

namespace kesra::ql {
namespace {

/* The longest span QLLoadResource walks looking for an image's end: more
 * than the largest image the module decodes can take, stored uncompressed. */
constexpr size_t kMaxResourceBytes = size_t{1} << 28;

struct File {
    std::FILE* stream = nullptr;
    ~File() {
        if (stream) std::fclose(stream);
    }
};

void message(const char16_t* text) { MessageBoxW(nullptr, text, nullptr, MB_OK); }

/* The PNG path's opening: the file must open and start with the signature. */
bool open_png(const WCHAR* path, File& file) {
    file.stream = _wfopen(path, u"rb");
    if (!file.stream) {
        message(u"opens file failed");
        return false;
    }
    png_byte signature[8];
    if (std::fread(signature, 1, 8, file.stream) != 8 || png_sig_cmp(signature, 0, 8) != 0) {
        message(u"not a PNG");
        return false;
    }
    return true;
}

bool open_for_reading(const WCHAR* path, const std::string& where, File& file) {
    file.stream = _wfopen(path, u"rb");
    if (!file.stream) report(where.c_str(), "cannot open the file");
    return file.stream != nullptr;
}

}  // namespace

int load_resource(const uint8_t* data, size_t size, int type) {
    if (!data) return 0;
    Image image;
    bool decoded = false;
    if (type == QL_TYPE_JPEG)
        decoded = jpeg_decode_memory(data, size, image);
    else if (type == QL_TYPE_PNG)
        decoded = png_decode_memory(data, size, image);
    return decoded && push_image(image) ? 1 : 0;
}

}  // namespace kesra::ql

using namespace kesra::ql;
using kesra::platform::utf16_to_utf8;

extern "C" {

int QLLoad(const WCHAR* path, int type) {
    if (!path) return 0;
    const std::string where = utf16_to_utf8(path);
    File file;
    Image image;
    bool decoded = false;
    switch (type) {
        case QL_TYPE_BMP:
            decoded =
                open_for_reading(path, where, file) && bmp_decode_file(file.stream, where.c_str(), image);
            break;
        case QL_TYPE_JPEG:
            decoded =
                open_for_reading(path, where, file) && jpeg_decode_file(file.stream, where.c_str(), image);
            break;
        case QL_TYPE_PNG:
            decoded = open_png(path, file) && png_decode_file(file.stream, where.c_str(), image);
            break;
        default:
            return 0;
    }
    return decoded && push_image(image) ? 1 : 0;
}

/* No length comes with the data, so the image's end is found by walking its
 * chunks (PNG, up to IEND) or segments (JPEG, up to EOI), and the decoder gets
 * exactly that span. What the walk trusts: data inside a file view the
 * library mapped ends with the view; anywhere else the caller must hand over
 * a whole image, and the walk reads at most kMaxResourceBytes, stopping at
 * the first malformed chunk or segment. Callers that know the length use
 * kesra::ql::load_resource, which never reads past it. */
int QLLoadResource(const BYTE* data, int type) {
    if (!data) return 0;
    const size_t in_view = kesra::platform::view_bytes_from(data);
    const size_t limit = in_view && in_view < kMaxResourceBytes ? in_view : kMaxResourceBytes;
    size_t size = 0;
    if (type == QL_TYPE_JPEG)
        size = jpeg_extent(data, limit);
    else if (type == QL_TYPE_PNG)
        size = png_extent(data, limit);
    else
        return 0;
    if (size == 0) {
        report(nullptr,
               type == QL_TYPE_PNG ? "no IEND chunk ends the PNG data" : "no EOI marker ends the JPEG data");
        return 0;
    }
    return load_resource(data, size, type);
}

int QLReadImageHeader(const WCHAR* path, LONG type, QLSIZE* size) {
    if (!path || !size) return 0;
    const std::string where = utf16_to_utf8(path);
    File file;
    uint32_t width = 0, height = 0;
    bool ok = false;
    switch (type) {
        case QL_TYPE_BMP:
            ok = open_for_reading(path, where, file) &&
                 bmp_read_size(file.stream, where.c_str(), &width, &height);
            break;
        case QL_TYPE_JPEG:
            ok = open_for_reading(path, where, file) &&
                 jpeg_read_size(file.stream, where.c_str(), &width, &height);
            break;
        case QL_TYPE_PNG:
            ok = open_png(path, file) && png_read_size(file.stream, where.c_str(), &width, &height);
            break;
        default:
            return 0;
    }
    if (!ok) return 0;
    size->dwWidth = width;
    size->dwHeight = height;
    return 1;
}

int QLSave(const WCHAR* path, int type) {
    const Image* image = current_image();
    if (!path || !image || !image->pixels) return 0;
    if (type != QL_TYPE_BMP && type != QL_TYPE_JPEG && type != QL_TYPE_PNG) return 0;
    const std::string where = utf16_to_utf8(path);
    File file;
    file.stream = _wfopen(path, u"wb");
    if (!file.stream) {
        report(where.c_str(), "cannot create the file");
        return 0;
    }
    bool ok = false;
    if (type == QL_TYPE_BMP)
        ok = bmp_encode_file(*image, file.stream, where.c_str());
    else if (type == QL_TYPE_JPEG)
        ok = jpeg_encode_file(*image, file.stream, where.c_str());
    else
        ok = png_encode_file(*image, file.stream, where.c_str());
    const bool closed = std::fclose(file.stream) == 0;
    file.stream = nullptr;
    return ok && closed ? 1 : 0;
}

}  // extern "C"
