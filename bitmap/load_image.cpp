/* load_image.cpp - bitmaps from image files through the image module (a PNG
 * with alpha, any picture resampled to a given size, a real-scene image) and
 * from images in memory (a BMP with a colour key, a 256-colour palette with
 * indices). Module pixels are bytes A, R, G, B; alpha levels become A / 8.
 * Files read whole go through the shared image pool and must fit in it. */
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bitmap/bitmap_internal.h"
#include "bitmap/image_pool.h"
#include "bitmap/pack_format.h"
#include "bitmap/pack_reader.h"
#include "effects/transforms.h"
#include "image/limits.h"
#include "image/ql_module.h"
#include "ql.h"
#include "text/debug_log.h"
#include "winapi.h"

using namespace kesra;
using namespace kesra::bitmap;

namespace {

/* The last n characters of path equal suffix, ignoring ASCII case. */
bool ends_with(const std::u16string& path, const char* suffix) {
    const size_t n = std::strlen(suffix);
    if (path.size() < n) return false;
    for (size_t i = 0; i < n; ++i) {
        char16_t c = path[path.size() - n + i];
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        if (c != static_cast<char16_t>(suffix[i])) return false;
    }
    return true;
}

/* Reads the whole rest of a stream into the pool; false when it does not fit. */
bool read_into_pool(std::FILE* stream, uint64_t bytes) {
    return bytes <= pool::kPoolBytes && pack::read_exact(stream, pool::base(), static_cast<size_t>(bytes));
}

uint64_t stream_size(std::FILE* stream) {
    if (fseeko(stream, 0, SEEK_END) != 0) return 0;
    const off_t size = ftello(stream);
    std::rewind(stream);
    return size > 0 ? static_cast<uint64_t>(size) : 0;
}

uint16_t module_color(const uint8_t* argb) { return color_from_rgb(argb[1], argb[2], argb[3]); }

/* Nearest neighbour in single precision, as the device computes it: target
 * pixel (x, y) takes source pixel ((int)(x * sx), (int)(y * sy)). Source
 * pixels whose A is 0 give black when black_when_clear is set. */
void resample_module_image(uint16_t* out, int w, int h, const uint8_t* argb, uint32_t mw, uint32_t mh,
                           bool black_when_clear) {
    const float sx = static_cast<float>(mw) / static_cast<float>(w);
    const float sy = static_cast<float>(mh) / static_cast<float>(h);
    for (int y = 0; y < h; ++y) {
        uint32_t r = static_cast<uint32_t>(static_cast<float>(y) * sy);
        if (r >= mh) r = mh - 1;  // float rounding never reaches here, but the row must exist
        for (int x = 0; x < w; ++x) {
            uint32_t c = static_cast<uint32_t>(static_cast<float>(x) * sx);
            if (c >= mw) c = mw - 1;
            const uint8_t* p = argb + (static_cast<size_t>(r) * mw + c) * 4;
            out[static_cast<size_t>(y) * w + x] = black_when_clear && p[0] == 0 ? 0 : module_color(p);
        }
    }
}

void message_box(const WCHAR* text) { MessageBoxW(nullptr, text, nullptr, MB_OK); }

/* An ANSI copy of a wide path for the log, at most 260 bytes. */
std::string ansi_path(const WCHAR* path) {
    char buffer[MAX_PATH + 1] = {};
    const int n = WideCharToMultiByte(CP_ACP, 0, path, -1, buffer, MAX_PATH, nullptr, nullptr);
    if (n <= 0) buffer[0] = 0;
    buffer[MAX_PATH] = 0;
    return buffer;
}

/* The in-memory BMP: a 14-byte file header, a 40-byte information header, the
 * palette, then rows padded to 4 bytes, bottom row first unless the height is
 * negative. Every read is checked against the data's size. */
struct BmpInfo {
    int32_t width;
    int32_t height;  // always positive here
    bool top_down;
    int bit_count;
    uint32_t compression;
    uint32_t colors_used;
};

int mask_shift(uint32_t mask) {
    int s = 0;
    while (s < 16 && !(mask >> s & 1)) ++s;
    return s;
}
int mask_bits(uint32_t mask, int shift) {
    int b = 0;
    while (shift + b < 16 && (mask >> (shift + b) & 1)) ++b;
    return b;
}

uint8_t mask_component(uint32_t value, uint32_t mask) {
    mask &= 0xFFFF;
    if (!mask) return 0;
    const int shift = mask_shift(mask), bits = mask_bits(mask, shift);
    return static_cast<uint8_t>((((value & mask) >> shift) * 256u >> bits) & 0xFF);
}

bool decode_bmp(const uint8_t* data, size_t size, const BmpInfo& info, uint16_t* out) {
    size_t at = 54;
    uint16_t palette[256] = {};
    if (info.bit_count <= 8) {
        uint32_t colors = info.colors_used ? info.colors_used : 256;
        if (colors > 256) colors = 256;  // the palette buffer holds 256 entries
        if (at + colors * 4 > size) return false;
        for (uint32_t i = 0; i < colors; ++i) {
            const uint8_t* e = data + at + i * 4;
            palette[i] = color_from_rgb(e[2], e[1], e[0]);
        }
        at += colors * 4;
    }
    uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
    if (info.bit_count == 16 && info.compression != 0) {
        if (at + 16 > size) return false;
        for (int i = 0; i < 3; ++i) masks[i] = read_le32(data + at + 4 * i);
        at += 16;
    }
    const bool known = info.bit_count == 1 || info.bit_count == 4 || info.bit_count == 8 ||
                       info.bit_count == 16 || info.bit_count == 24 || info.bit_count == 32;
    if (!known) return info.bit_count > 8;  // other depths stay black and opaque
    const size_t stride = (static_cast<size_t>(info.width) * info.bit_count + 31) / 32 * 4;
    if (at + stride * static_cast<size_t>(info.height) > size) return false;
    for (int32_t y = 0; y < info.height; ++y) {
        const int32_t stored = info.top_down ? y : info.height - 1 - y;
        const uint8_t* row = data + at + stride * static_cast<size_t>(stored);
        uint16_t* dst = out + static_cast<size_t>(y) * info.width;
        for (int32_t x = 0; x < info.width; ++x) {
            switch (info.bit_count) {
                case 32:
                case 24: {
                    const uint8_t* p = row + static_cast<size_t>(x) * (info.bit_count / 8);
                    dst[x] = color_from_rgb(p[2], p[1], p[0]);
                    break;
                }
                case 16: {
                    const uint32_t v = pack::read_le16(row + 2 * static_cast<size_t>(x));
                    dst[x] = color_from_rgb(mask_component(v, masks[0]), mask_component(v, masks[1]),
                                            mask_component(v, masks[2]));
                    break;
                }
                case 8:
                    dst[x] = palette[row[x]];
                    break;
                case 4:
                    dst[x] = palette[(row[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F];
                    break;
                default:
                    dst[x] = palette[(row[x / 8] >> (7 - x % 8)) & 1];
                    break;
            }
        }
    }
    return true;
}

bool sides_ok(int64_t w, int64_t h) { return limits::image_size_ok(w, h); }

/* The stored rows of a BMP of this header fit in size bytes behind the 54
 * header bytes; depths that are not decoded count one bit per pixel, so
 * that no header alone claims a large image. */
bool rows_fit(const BmpInfo& info, size_t size) {
    const uint64_t bits = info.bit_count ? static_cast<uint64_t>(info.bit_count) : 1;
    const uint64_t stride = (static_cast<uint64_t>(info.width) * bits + 31) / 32 * 4;
    return size >= 54 && stride * static_cast<uint64_t>(info.height) <= size - 54;
}

}  // namespace

int CCEBitmap::LoadBitmapW(const WCHAR* path) {
    if (!path) return 0;
    const std::u16string name(path);
    if (name.size() >= 5 && !ends_with(name, ".png")) return 0;
    std::FILE* stream = _wfopen(path, u"rb");
    if (!stream) return 0;
    pool::clear_table();
    const uint64_t bytes = stream_size(stream);
    const bool read = read_into_pool(stream, bytes);
    std::fclose(stream);
    m_LastTempBitmapID = 0;
    if (!read || !ql::load_resource(pool::base(), static_cast<size_t>(bytes), QL_TYPE_PNG)) return 0;
    const uint8_t* argb = QLGetPixelData();
    const int width = static_cast<int>(QLGetWidth()), height = static_cast<int>(QLGetHeight());
    if (!argb || !sides_ok(width, height)) {
        QLReleaseLastImage();
        return 0;
    }
    release_planes(*this);
    m_nBitCount = 16;
    const size_t count = static_cast<size_t>(width) * height;
    m_pImageData = allocate_pixel_plane(count * 2);
    m_pAlpha = m_pImageData ? allocate_alpha_plane(count) : nullptr;
    if (!m_pAlpha) {
        release_planes(*this);
        QLReleaseLastImage();
        return 0;
    }
    auto* pixels = reinterpret_cast<uint16_t*>(m_pImageData);
    for (size_t i = 0; i < count; ++i) {
        m_pAlpha[i] = static_cast<uint8_t>(argb[i * 4] / 8);
        pixels[i] = module_color(argb + i * 4);
    }
    set_raw_geometry(*this, width, height);
    QLReleaseLastImage();
    return 1;
}

int CCEBitmap::LoadBitmapW(const WCHAR* path, int w, int h) {
    if (!path || !*path) return 0;
    std::FILE* probe = _wfopen(path, u"rb");
    if (!probe) return 0;
    std::fclose(probe);
    const std::u16string name(path);
    if (name.size() < 5) {
        message_box(u"不是图片文件！");
        return 0;
    }
    int type;
    if (ends_with(name, ".png"))
        type = QL_TYPE_PNG;
    else if (ends_with(name, ".bmp"))
        type = QL_TYPE_BMP;
    else if (ends_with(name, ".jpg") || ends_with(name, ".jpeg"))
        type = QL_TYPE_JPEG;
    else {
        message_box(u"不支持该图片格式！");
        return 0;
    }
    UnloadBitmap();
    if (!sides_ok(w, h)) {  // no plane can be made for this size
        if (w >= 1 && h >= 1) message_box(u"内存空间不够");
        return 0;
    }
    const bool loaded = QLLoad(path, type) != 0;
    m_nBitCount = 16;
    m_pImageData = static_cast<unsigned char*>(std::calloc(static_cast<size_t>(w) * h * 2, 1));
    if (!m_pImageData) {
        message_box(u"内存空间不够");
        if (loaded) QLReleaseLastImage();
        return 0;
    }
    set_raw_geometry(*this, w, h);
    const uint8_t* argb = loaded ? QLGetPixelData() : nullptr;
    if (!argb || QLGetWidth() == 0 || QLGetHeight() == 0) {
        const std::u16string text = name + u"文件解压失败";
        message_box(text.c_str());
        if (loaded) QLReleaseLastImage();
        return 0;
    }
    resample_module_image(reinterpret_cast<uint16_t*>(m_pImageData), w, h, argb, QLGetWidth(), QLGetHeight(),
                          true);
    QLReleaseLastImage();
    return 1;
}

int CCEBitmap::LoadBitmap3D(const WCHAR* path, LONG index, tagRECT rect) {
    if (index < 1) {
        DebugLogW(u"错误：加载3D实景图时索引号错误%d!\n", static_cast<int>(index));
        return 0;
    }
    std::FILE* stream = path ? _wfopen(path, u"rb") : nullptr;
    if (!stream) {
        const DWORD error = GetLastError();
        DebugLogW(u"错误：打开文件失败%s, 错误代码：%d!\n", path ? ansi_path(path).c_str() : "",
                  static_cast<int>(error));
        return 0;
    }
    pool::clear_table();
    const uint64_t file_bytes = stream_size(stream);
    uint8_t word[pack::kSceneCountBytes];
    if (!pack::read_exact(stream, word, sizeof word)) {
        DebugLogW(u"错误：加载3D实景图时数据错误%d!\n", static_cast<int>(index));
        std::fclose(stream);
        return 0;
    }
    const int32_t count = static_cast<int32_t>(pack::read_le32(word));
    if (index > count) {
        DebugLogW(u"错误：加载3D实景图时索引号错误%d，总数为%d!\n", static_cast<int>(index),
                  static_cast<int>(count));
        std::fclose(stream);
        return 0;
    }
    m_nID = index;
    uint8_t entry_bytes[pack::kSceneEntryBytes];
    const uint64_t entry_at = pack::scene_entry_offset(static_cast<uint32_t>(index));
    bool read = fseeko(stream, static_cast<off_t>(entry_at), SEEK_SET) == 0 &&
                pack::read_exact(stream, entry_bytes, sizeof entry_bytes);
    const pack::SceneEntry entry = pack::parse_scene_entry(entry_bytes);
    read = read && uint64_t{entry.offset} + entry.length <= file_bytes && entry.length <= pool::kPoolBytes &&
           fseeko(stream, static_cast<off_t>(entry.offset), SEEK_SET) == 0 &&
           pack::read_exact(stream, pool::base(), entry.length);
    std::fclose(stream);
    m_LastTempBitmapID = 0;
    if (!read) {
        DebugLogW(u"错误：加载3D实景图时数据错误%d!\n", static_cast<int>(index));
        return 0;
    }
    if (!ql::load_resource(pool::base(), entry.length, QL_TYPE_PNG)) return 0;
    const int64_t width = int64_t{rect.right} - rect.left + 1, height = int64_t{rect.bottom} - rect.top + 1;
    const uint8_t* argb = QLGetPixelData();
    if (!argb || !sides_ok(width, height) || QLGetWidth() == 0 || QLGetHeight() == 0) {
        if (argb && width >= 1 && height >= 1)
            DebugLogW(u"错误：申请空间失败！m_pImageData，size ＝ %d\n",
                      static_cast<int>(std::min<int64_t>(width * height * 2, INT32_MAX)));
        QLReleaseLastImage();
        return 0;
    }
    release_planes(*this);
    m_nBitCount = 16;
    m_pImageData = allocate_pixel_plane(static_cast<size_t>(width * height * 2));
    if (!m_pImageData) {
        QLReleaseLastImage();
        return 0;
    }
    set_raw_geometry(*this, static_cast<int>(width), static_cast<int>(height));
    resample_module_image(reinterpret_cast<uint16_t*>(m_pImageData), m_nWidth, m_nHeight, argb, QLGetWidth(),
                          QLGetHeight(), false);
    QLReleaseLastImage();
    return 1;
}

/* A positive size bounds every read of data: the headers, the palette, the
 * masks and the rows must all lie within it, and a size below the 54 header
 * bytes is refused before anything is read. Callers may leave the size out
 * (0 or negative), as it was never required; the data is then trusted to
 * hold what its headers describe, up to the image limits. An image without
 * pixels (a width or height of 0 or less) is refused. */
int CCEBitmap::LoadBitmapW(unsigned char* data, int size, unsigned short key, int w, int h) {
    if (!data) {
        DebugLogW(u"错误：pData = %d\n", 0);
        return 0;
    }
    if (size > 0 && size < 54) {
        DebugLogW(u"错误：BMP数据不完整，size = %d\n", size);
        return 0;
    }
    const size_t bytes = size > 0 ? static_cast<size_t>(size) : SIZE_MAX;
    BmpInfo info{};
    info.width = static_cast<int32_t>(read_le32(data + 18));
    const int32_t stored_height = static_cast<int32_t>(read_le32(data + 22));
    info.top_down = stored_height < 0;
    info.height = stored_height == INT32_MIN ? 0 : (stored_height < 0 ? -stored_height : stored_height);
    info.bit_count = pack::read_le16(data + 28);
    info.compression = read_le32(data + 30);
    info.colors_used = read_le32(data + 46);
    if (!sides_ok(info.width, info.height) || (bytes != SIZE_MAX && !rows_fit(info, bytes))) {
        DebugLogW(u"错误：BMP图片大小错误，w = %d, h = %d\n", static_cast<int>(info.width),
                  static_cast<int>(stored_height));
        return 0;
    }
    release_planes(*this);
    const size_t count = static_cast<size_t>(info.width) * info.height;
    m_pImageData = allocate_pixel_plane(count * 2);
    m_pAlpha = m_pImageData ? allocate_alpha_plane(count) : nullptr;
    if (!m_pAlpha) {
        release_planes(*this);
        return 0;
    }
    std::memset(m_pAlpha, 31, count);
    set_raw_geometry(*this, info.width, info.height);
    auto* pixels = reinterpret_cast<uint16_t*>(m_pImageData);
    if (!decode_bmp(data, bytes, info, pixels)) {
        UnloadBitmap();
        return 0;
    }
    if (key != 0xFFFF) {
        const uint16_t transparent = key == 0xFFFE ? pixels[0] : key;
        for (size_t i = 0; i < count; ++i)
            if (pixels[i] == transparent) m_pAlpha[i] = 0;
    }
    if (w != 0 && h != 0 && !resample_planes(*this, w, h)) {
        UnloadBitmap();
        return 0;
    }
    return 1;
}

int CCEBitmap::LoadGif(unsigned char* data, int w, int h) {
    if (!data || w < 1 || h < 1 || !sides_ok(w, h)) return 0;
    release_planes(*this);
    const size_t count = static_cast<size_t>(w) * h;
    m_pImageData = allocate_pixel_plane(count * 2);
    if (!m_pImageData) return 0;
    set_raw_geometry(*this, w, h);
    uint16_t palette[256];
    for (int i = 0; i < 256; ++i) palette[i] = color_from_rgb(data[i * 4 + 2], data[i * 4 + 1], data[i * 4]);
    const uint8_t* indices = data + 256 * 4;
    auto* pixels = reinterpret_cast<uint16_t*>(m_pImageData);
    for (size_t i = 0; i < count; ++i) pixels[i] = palette[indices[i]];
    return 1;
}
