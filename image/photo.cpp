/* photo.cpp - CCePhoto, the photo and logo browser: folder scans through
 * FindFirstFileW, the size filter on each file's header, and the draw of one
 * photo resampled by nearest neighbour into a Color16 plane that lives only
 * while it is drawn. Paths are kept below MAX_PATH characters; a path that
 * would not fit is treated as a file that cannot be read. */
#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "bitmap/blit.h"
#include "cedraw.h"
#include "cephoto.h"
#include "core/profile.h"
#include "draw/context.h"
#include "image/limits.h"
#include "ql.h"
#include "text/app_directory.h"
#include "winapi.h"

namespace kesra {
namespace {

constexpr LONG kDefaultExtra = 200;
constexpr char16_t kLogoFolder[] = u"\\RES\\logo\\";

/* The search path, shared by every browser; empty by default. */
std::u16string& search_path() {
    static std::u16string path;
    return path;
}

void message(const std::u16string& text) { MessageBoxW(nullptr, text.c_str(), nullptr, MB_OK); }

/* The folder a listed name lives in, ending in a separator: a search path
 * given without one gets a backslash, so that its files are found. */
std::u16string photo_folder() {
    const std::u16string& search = search_path();
    if (search.empty()) return std::u16string(app_directory()) + kLogoFolder;
    return search.back() == u'\\' || search.back() == u'/' ? search : search + u'\\';
}

/* ARGB module pixels resampled to w x h Color16: destination (x, y) takes
 * source ((int)(x * sx), (int)(y * sy)) with single-precision factors;
 * a fully transparent source pixel gives black. */
void resample(const uint8_t* argb, uint32_t width, uint32_t height, uint16_t* out, int32_t w, int32_t h) {
    const float sx = static_cast<float>(width) / static_cast<float>(w);
    const float sy = static_cast<float>(height) / static_cast<float>(h);
    for (int32_t y = 0; y < h; ++y) {
        const uint32_t row = std::min(static_cast<uint32_t>(static_cast<float>(y) * sy), height - 1);
        for (int32_t x = 0; x < w; ++x) {
            const uint32_t column = std::min(static_cast<uint32_t>(static_cast<float>(x) * sx), width - 1);
            const uint8_t* p = argb + (static_cast<size_t>(row) * width + column) * 4;
            out[static_cast<size_t>(y) * w + x] = p[0] == 0 ? 0 : narrow565(p[1], p[2], p[3]);
        }
    }
}

/* The image module type of a path by its extension, -1 when it is none of
 * ours. */
int type_of_path(const std::u16string& path) {
    const size_t dot = path.rfind(u'.');
    if (dot == std::u16string::npos) return -1;
    std::u16string ext = path.substr(dot);
    for (char16_t& c : ext) c = (c >= u'A' && c <= u'Z') ? c + 0x20 : c;
    if (ext == u".png") return QL_TYPE_PNG;
    if (ext == u".bmp") return QL_TYPE_BMP;
    if (ext == u".jpg" || ext == u".jpeg") return QL_TYPE_JPEG;
    return -1;
}

}  // namespace
}  // namespace kesra

using namespace kesra;

CCePhoto::CCePhoto()
    : m_nPixelBytes(0),
      m_nPitch(0),
      m_nWidth(0),
      m_nHeight(0),
      m_nBitCount(0),
      m_pImageData(nullptr),
      m_pAlpha(nullptr),
      m_PhotoList{},
      m_nPhotoCount(0),
      m_nLogoIndex(-1),
      m_nExtraWidth(-1),
      m_nExtraHeight(-1) {
    QLConstructor();
    store_app_directory();
    search_path().clear();
}

CCePhoto::~CCePhoto() {
    QLDestructor();
    UnloadBitmap();
}

int CCePhoto::SetSearchPath(const WCHAR* path) {
    search_path().clear();
    if (!path || !*path) return 0;
    const std::u16string given = path;
    search_path() = given.substr(0, MAX_PATH - 1);
    return 1;
}

LONG CCePhoto::GetTotalPhoto(LONG extraWidth, LONG extraHeight) {
    m_nExtraWidth = extraWidth;
    m_nExtraHeight = extraHeight;
    LoadMap();
    return m_nPhotoCount;
}

void CCePhoto::LoadMap() {
    LoadMap1();
    LoadMap2();
    LoadMap3();
    LoadMap4();
}

void CCePhoto::LoadMap1() { Scan(u"*.bmp", QL_TYPE_BMP); }
void CCePhoto::LoadMap2() { Scan(u"*.png", QL_TYPE_PNG); }
void CCePhoto::LoadMap3() { Scan(u"*.jpg", QL_TYPE_JPEG); }
void CCePhoto::LoadMap4() { Scan(u"*.jpeg", QL_TYPE_JPEG); }

/* Appends the accepted matches of one pattern; the list is not cleared. */
void CCePhoto::Scan(const char16_t* pattern, int type) {
    if (m_nPhotoCount >= CEPHOTO_MAX_PHOTOS) return;
    const std::u16string folder = search_path().empty() ? photo_folder() : search_path() + u"\\";
    const std::u16string full = folder + pattern;
    if (full.size() >= MAX_PATH) return;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(full.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        fileTypeName record{};
        std::copy_n(found.cFileName, MAX_PATH - 1, record.szName);
        record.nType = type;
        if (FiltPhoto(&record)) m_PhotoList[m_nPhotoCount++] = record;
    } while (m_nPhotoCount < CEPHOTO_MAX_PHOTOS && FindNextFileW(search, &found));
    FindClose(search);
}

/* A file whose header cannot be read is not listed. */
bool CCePhoto::FiltPhoto(fileTypeName* record) {
    if (!record) return false;
    const int64_t extra_width = m_nExtraWidth == -1 ? kDefaultExtra : m_nExtraWidth;
    const int64_t extra_height = m_nExtraHeight == -1 ? kDefaultExtra : m_nExtraHeight;
    const std::u16string path = photo_folder() + record->szName;
    QLSIZE size{};
    if (path.size() >= MAX_PATH || !QLReadImageHeader(path.c_str(), record->nType, &size)) return false;
    return size.dwWidth < extra_width + m_DisplayProps.dwWidth &&
           size.dwHeight < extra_height + m_DisplayProps.dwHeight;
}

bool CCePhoto::drawPhoto(CCEDraw* pDraw, int index, tagRECT rect) {
    if (index < 0 || index >= m_nPhotoCount) {
        message(u"张载图片失败！");
        return false;
    }
    const fileTypeName& record = m_PhotoList[index];
    const std::u16string path = photo_folder() + record.szName;
    return DrawFile(pDraw, path.c_str(), record.szName, record.nType, rect);
}

bool CCePhoto::drawPhoto(CCEDraw* pDraw, const WCHAR* path, tagRECT rect) {
    if (!path) {
        message(u"文件名不能为空！");
        return false;
    }
    const std::u16string given = path;
    if (given.size() < 5) {
        message(u"不是图片文件！");
        return false;
    }
    const int type = type_of_path(given);
    if (type < 0) {
        message(u"不支持该图片格式！");
        return false;
    }
    return DrawFile(pDraw, path, path, type, rect);
}

/* Loads the file, resamples it into the rectangle's size and draws it there.
 * A failed load is reported before anything else happens, so that no other
 * image on the module's stack is taken for it. */
bool CCePhoto::DrawFile(CCEDraw* pDraw, const WCHAR* path, const WCHAR* name, int type, tagRECT rect) {
    if (std::char_traits<char16_t>::length(path) >= MAX_PATH || !QLLoad(path, type)) {
        message(std::u16string(name) + u"文件解压失败");
        return false;
    }
    UnloadBitmap();
    const int64_t width = int64_t{rect.right} - rect.left + 1;
    const int64_t height = int64_t{rect.bottom} - rect.top + 1;
    if (limits::image_size_ok(width, height)) {
        m_pImageData = new (std::nothrow) unsigned short[static_cast<size_t>(width * height)];
    }
    if (!m_pImageData) {
        message(u"内存空间不够");
        QLReleaseLastImage();
        return false;
    }
    m_nPixelBytes = 2;
    m_nWidth = static_cast<int>(width);
    m_nHeight = static_cast<int>(height);
    m_nPitch = m_nWidth * 2;
    m_nBitCount = 16;
    resample(QLGetPixelData(), QLGetWidth(), QLGetHeight(), m_pImageData, m_nWidth, m_nHeight);
    QLReleaseLastImage();
    Draw(pDraw, rect.left, rect.top, m_nWidth, m_nHeight, 0, 0);
    UnloadBitmap();
    return true;
}

void CCePhoto::drawLogo(CCEDraw* pDraw) {
    const tagRECT screen{0, 0, static_cast<LONG>(m_DisplayProps.dwWidth) - 1,
                         static_cast<LONG>(m_DisplayProps.dwHeight) - 1};
    drawPhoto(pDraw, m_nLogoIndex, screen);
}

void CCePhoto::Draw(CCEDraw* pDraw, int x, int y, int w, int h, int sx, int sy) {
    profile::count(profile::Kind::Bitmap);
    if (!m_pImageData || !pDraw || !pDraw->m_pBuffer) return;
    const Canvas canvas = canvas_of(*pDraw);
    if (sx < 0 || sx >= m_nWidth || sy < 0 || sy >= m_nHeight || !canvas.contains(x, y)) return;
    Block block;
    if (!clip_block(x, y, sx, sy, w ? w : m_nWidth, h ? h : m_nHeight, m_nWidth, m_nHeight, canvas.width,
                    canvas.height, &block)) {
        return;
    }
    for (int32_t j = 0; j < block.h; ++j) {
        const size_t row = static_cast<size_t>(block.sy + j) * m_nWidth + block.sx;
        uint16_t* out = canvas.at(block.dx, block.dy + j);
        if (!m_pAlpha) {
            std::memcpy(out, m_pImageData + row, static_cast<size_t>(block.w) * 2);
            continue;
        }
        for (int32_t i = 0; i < block.w; ++i) {
            if (m_pAlpha[row + i]) blend_bitmap_pixel(out + i, m_pImageData[row + i], m_pAlpha[row + i]);
        }
    }
}

void CCePhoto::UnloadBitmap() {
    delete[] m_pImageData;
    delete[] m_pAlpha;
    m_pImageData = nullptr;
    m_pAlpha = nullptr;
    m_nPixelBytes = m_nPitch = m_nWidth = m_nHeight = m_nBitCount = 0;
}
