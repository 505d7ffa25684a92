/* pic_class.cpp - CCEPic: the store it owns, the load entry points that pick
 * a decoder by type (0 BMP, 1 PNG, 2 GIF, 3 JPEG), and DrawPic's checks.
 * Files are read whole and decoded like memory images, so every decoder
 * works on a span whose end it knows. */
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "cedraw.h"
#include "cepic.h"
#include "core/profile.h"
#include "draw/context.h"
#include "image/limits.h"
#include "image/picture.h"
#include "winapi.h"

namespace kesra::pic {
namespace {

/* No picture file the decoders accept is larger: the largest image stored
 * as uncompressed 32-bit pixels, with room for headers. */
constexpr uint64_t kMaxFileBytes = limits::kMaxImagePixels * 4 + (uint64_t{1} << 20);

struct File {
    std::FILE* stream = nullptr;
    ~File() {
        if (stream) std::fclose(stream);
    }
};

bool decode(const uint8_t* data, size_t size, unsigned type, CEPICSTORE& store) {
    switch (type) {
        case CEPIC_TYPE_BMP:
            return decode_bmp(data, size, store);
        case CEPIC_TYPE_PNG:
            return decode_png(data, size, store);
        case CEPIC_TYPE_GIF:
            return decode_gif(data, size, store);
        case CEPIC_TYPE_JPEG:
            return decode_jpeg(data, size, store);
        default:
            return false;
    }
}

}  // namespace

void release_planes(CEPICSTORE& store) {
    std::free(store.pPixels);
    std::free(store.pAlpha);
    store.pPixels = nullptr;
    store.pAlpha = nullptr;
    store.nPitch = 0;
    store.nWidth = 0;
    store.nHeight = 0;
}

bool allocate_planes(CEPICSTORE& store, int64_t width, int64_t height, bool with_alpha) {
    release_planes(store);
    if (!limits::image_size_ok(width, height)) return false;
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    store.pPixels = static_cast<unsigned short*>(std::calloc(pixels, sizeof(unsigned short)));
    if (with_alpha) store.pAlpha = static_cast<unsigned char*>(std::calloc(pixels, 1));
    if (!store.pPixels || (with_alpha && !store.pAlpha)) {
        release_planes(store);
        return false;
    }
    store.nBytesPerPixel = 2;
    store.nBitCount = 16;
    store.nWidth = static_cast<int>(width);
    store.nHeight = static_cast<int>(height);
    store.nPitch = store.nWidth * 2;
    return true;
}

bool read_file(const char* path, std::vector<uint8_t>& out) {
    const int chars = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
    if (chars <= 0) return false;
    std::u16string wide(static_cast<size_t>(chars), u'\0');
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide.data(), chars) != chars) return false;
    File file;
    file.stream = _wfopen(wide.c_str(), u"rb");
    struct stat st {};
    if (!file.stream || fstat(fileno(file.stream), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0 ||
        static_cast<uint64_t>(st.st_size) > kMaxFileBytes) {
        return false;
    }
    out.resize(static_cast<size_t>(st.st_size));
    out.resize(std::fread(out.data(), 1, out.size(), file.stream));
    return !out.empty();
}

bool png_path_ok(const char* path) {
    const size_t length = std::strlen(path);
    if (length <= 4) return true;
    const char* ext = path + length - 4;
    return ext[0] == '.' && (ext[1] | 0x20) == 'p' && (ext[2] | 0x20) == 'n' && (ext[3] | 0x20) == 'g';
}

}  // namespace kesra::pic

using namespace kesra;

CCEPic::CCEPic() : m_nWidth(0), m_nHeight(0), m_pImageData(nullptr), m_pAlpha(nullptr) {
    m_pStore = new (std::nothrow) CEPICSTORE{};
}

CCEPic::~CCEPic() {
    if (!m_pStore) return;
    pic::release_planes(*m_pStore);
    delete m_pStore;
}

int CCEPic::LoadPic(const char* path, unsigned int type) {
    if (!m_pStore || !path || type > CEPIC_TYPE_JPEG) return 0;
    pic::release_planes(*m_pStore);
    if (type == CEPIC_TYPE_PNG && !pic::png_path_ok(path)) return 0;
    std::vector<uint8_t> data;
    if (!pic::read_file(path, data)) return 0;
    return pic::decode(data.data(), data.size(), type, *m_pStore) ? 1 : 0;
}

int CCEPic::LoadPic(const unsigned char* data, DWORD size, unsigned int type) {
    if (!m_pStore || type > CEPIC_TYPE_JPEG) return 0;
    pic::release_planes(*m_pStore);
    if (!data || size == 0) return 0;
    return pic::decode(data, size, type, *m_pStore) ? 1 : 0;
}

int CCEPic::GetPicWidth() { return m_pStore ? m_pStore->nWidth : 0; }

int CCEPic::GetPicHeight() { return m_pStore ? m_pStore->nHeight : 0; }

void CCEPic::DrawPic(CCEDraw* pDraw, int x, int y, int w, int h, int sx, int sy) {
    profile::count(profile::Kind::Bitmap);
    if (!m_pStore) return;
    m_nWidth = m_pStore->nWidth;
    m_nHeight = m_pStore->nHeight;
    m_pImageData = m_pStore->pPixels;
    m_pAlpha = m_pStore->pAlpha;
    if (!m_pImageData || !pDraw || !pDraw->m_pBuffer) return;
    const Canvas canvas = canvas_of(*pDraw);
    if (sx < 0 || sx >= m_nWidth || sy < 0 || sy >= m_nHeight || !canvas.contains(x, y)) return;
    pic::draw_scaled(canvas, *m_pStore, x, y, w ? w : m_nWidth, h ? h : m_nHeight, sx, sy);
}
