/* load_pack.cpp - the bitmap object and its loaders that read the resource
 * pack (blocks kept as stored, expanded, or placed in the shared pool as
 * temporary bitmaps) and the compressed frame pack (zlib blocks). A failed
 * load leaves the bitmap empty; a 0 result means it must not be drawn. Planes
 * whose size comes from a record (expanded, inflated, resampled) are checked
 * against the image limits and against what the stored block can give before
 * they are allocated. */
#include <cstdlib>
#include <cstring>

#include "bitmap/bitmap_internal.h"
#include "bitmap/image_pool.h"
#include "bitmap/pack_reader.h"
#include "bitmap/run_length.h"
#include "effects/transforms.h"
#include "image/limits.h"
#include "image/ql_module.h"
#include "ql.h"
#include "text/debug_log.h"
#include "winapi.h"

int CCEBitmap::m_LastTempBitmapID = 0;

namespace kesra::bitmap {

uint8_t* allocate_pixel_plane(size_t bytes) {
    auto* plane = static_cast<uint8_t*>(std::calloc(bytes ? bytes : 1, 1));
    if (!plane) DebugLogW(u"错误：申请空间失败！m_pImageData，size ＝ %d\n", static_cast<int>(bytes));
    return plane;
}

uint8_t* allocate_alpha_plane(size_t bytes) {
    auto* plane = static_cast<uint8_t*>(std::calloc(bytes ? bytes : 1, 1));
    if (!plane) DebugLogW(u"错误：申请空间失败！m_pAlpha，size ＝ %d\n", static_cast<int>(bytes));
    return plane;
}

/* A plane of w x h pixels beyond the image limits is refused as an
 * allocation failure, with the same message (the size saturated to int). */
bool plane_allowed(int64_t w, int64_t h) {
    if (limits::image_size_ok(w, h)) return true;
    const int64_t bytes = w > 0 && h > 0 && w <= INT32_MAX && h <= INT32_MAX ? w * h * 2 : INT32_MAX;
    DebugLogW(u"错误：申请空间失败！m_pImageData，size ＝ %d\n",
              static_cast<int>(bytes < INT32_MAX ? bytes : INT32_MAX));
    return false;
}

void release_planes(CCEBitmap& b) {
    if (!b.m_bShared) {
        std::free(b.m_pImageData);
        std::free(b.m_pAlpha);
    }
    b.m_pImageData = nullptr;
    b.m_pAlpha = nullptr;
    b.m_bShared = 0;
}

void set_raw_geometry(CCEBitmap& b, int width, int height) {
    b.m_nWidth = width;
    b.m_nHeight = height;
    b.m_nPixelBytes = 2;
    b.m_nPitch = width * 2;
    b.m_nPixelSize = width * height * 2;
    b.m_nAlphaSize = b.m_pAlpha ? width * height : 0;
}

/* Resamples both raw planes to w x h with the image scaler. */
bool resample_planes(CCEBitmap& b, int w, int h) {
    if (w >= 1 && h >= 1 && !plane_allowed(w, h)) return false;
    tagEFFECTIMAGE source{};
    source.pPixels = reinterpret_cast<uint16_t*>(b.m_pImageData);
    source.pAlpha = b.m_pAlpha;
    source.nWidth = b.m_nWidth;
    source.nHeight = b.m_nHeight;
    tagEFFECTIMAGE target{};
    target.nWidth = w;
    target.nHeight = h;
    if (!source.pPixels || !effect_scale(&target, source)) {
        effect_free(&target);
        if (source.pPixels && w >= 1 && h >= 1)
            DebugLogW(u"错误：申请空间失败！m_pImageData，size ＝ %d\n", w * h * 2);
        return false;
    }
    release_planes(b);
    b.m_pImageData = reinterpret_cast<unsigned char*>(target.pPixels);
    b.m_pAlpha = target.pAlpha;
    set_raw_geometry(b, w, h);
    return true;
}

}  // namespace kesra::bitmap

using namespace kesra;
using namespace kesra::bitmap;

namespace {

std::FILE* pack_stream() { return static_cast<std::FILE*>(CCEBitmap::m_fpResource); }

/* The resource pack's own test before any lookup: ID 300 or more, a pack open. */
bool pack_ready(unsigned int id) {
    if (id >= pack::kFirstId && pack_stream()) return true;
    DebugLogW(u"错误：nID = %d, m_fpResource = %d\n", static_cast<int>(id), pack::log_value(pack_stream()));
    return false;
}

void take_record_geometry(CCEBitmap& b, const pack::Record& r) {
    b.m_nWidth = r.width;
    b.m_nHeight = r.height;
    b.m_nPixelSize = static_cast<int>(r.pixel_bytes);
    b.m_nAlphaSize = static_cast<int>(r.alpha_bytes);
    b.m_nPixelBytes = 2;
    b.m_nPitch = r.width * 2;
}

void report_damaged(unsigned int id) {
    DebugLogW(u"错误：资源文件数据不完整，nID = %d\n", static_cast<int>(id));
}

/* Reads one block as stored into a plane the bitmap owns; an empty block
 * gives no plane. */
bool read_block(unsigned char** plane, uint32_t bytes, bool alpha, unsigned int id) {
    if (!bytes) return true;
    *plane = alpha ? allocate_alpha_plane(bytes) : allocate_pixel_plane(bytes);
    if (!*plane) return false;
    if (pack::read_exact(pack_stream(), *plane, bytes)) return true;
    report_damaged(id);
    return false;
}

/* Looks the image up on the pack stream and reads both blocks as stored into
 * planes the bitmap owns. */
bool read_pack_image(CCEBitmap& b, unsigned int id) {
    pack::Record record;
    if (!pack::seek_image(pack_stream(), id, &record)) return false;
    take_record_geometry(b, record);
    return read_block(&b.m_pImageData, record.pixel_bytes, false, id) &&
           read_block(&b.m_pAlpha, record.alpha_bytes, true, id);
}

/* Whether a run-length block of bytes bytes can cover count pixels at all:
 * each whole pair covers at most max_run of them. */
bool runs_can_cover(size_t bytes, size_t pair_bytes, uint64_t max_run, uint64_t count) {
    return uint64_t{bytes / pair_bytes} * max_run >= count;
}

/* Replaces a run-length plane by its raw form; runs that stop short leave the
 * rest 0 (black pixels, transparent alpha). A block whose pairs could not
 * cover the image even at their longest is damaged and refused before the
 * plane is allocated. */
bool expand_pixels(CCEBitmap& b, unsigned int id) {
    const size_t raw = pack::raw_pixel_bytes(b.m_nWidth, b.m_nHeight);
    if (!b.m_pImageData || static_cast<size_t>(b.m_nPixelSize) == raw) return true;
    if (!runs_can_cover(static_cast<size_t>(b.m_nPixelSize), pack::kPixelPairBytes, 0xFFFF, raw / 2)) {
        report_damaged(id);
        return false;
    }
    if (!plane_allowed(b.m_nWidth, b.m_nHeight)) return false;
    uint8_t* plane = allocate_pixel_plane(raw);
    if (!plane) return false;
    decode_pixel_runs(b.m_pImageData, static_cast<size_t>(b.m_nPixelSize), reinterpret_cast<uint16_t*>(plane),
                      raw / 2);
    std::free(b.m_pImageData);
    b.m_pImageData = plane;
    b.m_nPixelSize = static_cast<int>(raw);
    return true;
}

bool expand_alpha(CCEBitmap& b, unsigned int id) {
    const size_t raw = pack::raw_alpha_bytes(b.m_nWidth, b.m_nHeight);
    if (!b.m_pAlpha || static_cast<size_t>(b.m_nAlphaSize) == raw) return true;
    if (!runs_can_cover(static_cast<size_t>(b.m_nAlphaSize), pack::kAlphaPairBytes, 0xFF, raw)) {
        report_damaged(id);
        return false;
    }
    if (!plane_allowed(b.m_nWidth, b.m_nHeight)) return false;
    uint8_t* plane = allocate_alpha_plane(raw);
    if (!plane) return false;
    decode_alpha_runs(b.m_pAlpha, static_cast<size_t>(b.m_nAlphaSize), plane, raw);
    std::free(b.m_pAlpha);
    b.m_pAlpha = plane;
    b.m_nAlphaSize = static_cast<int>(raw);
    return true;
}

/* Inflates one zlib block that must give exactly raw bytes, into a plane of
 * that size: inflating stops at the plane's end. A block too small to give
 * raw bytes at deflate's best ratio is refused before anything is allocated. */
uint8_t* inflate_block(std::FILE* stream, uint32_t stored, size_t raw, bool alpha, LONG id) {
    if (raw > uint64_t{stored} * limits::kMaxDeflateRatio) {
        DebugLogW(u"错误：解压失败，nID = %d\n", static_cast<int>(id));
        return nullptr;
    }
    uint8_t* packed = alpha ? allocate_alpha_plane(stored) : allocate_pixel_plane(stored);
    if (!packed) return nullptr;
    const bool read = pack::read_exact(stream, packed, stored);
    uint8_t* out = read ? (alpha ? allocate_alpha_plane(raw) : allocate_pixel_plane(raw)) : nullptr;
    const bool inflated = out && ql::inflate_exact(packed, stored, out, raw);
    std::free(packed);
    if (!inflated) {
        if (!read || out)
            DebugLogW(u"错误：解压失败，nID = %d\n", static_cast<int>(id));  // else already logged
        std::free(out);
        return nullptr;
    }
    return out;
}

}  // namespace

CCEBitmap::CCEBitmap()
    : m_nUser(0),
      m_nID(-1),
      m_nPixelBytes(0),
      m_nPitch(0),
      m_bShared(0),
      m_bResource(0),
      m_nWidth(0),
      m_nHeight(0),
      m_nBitCount(0),
      m_nPixelSize(0),
      m_nAlphaSize(0),
      m_pImageData(nullptr),
      m_pAlpha(nullptr) {}

/* m_nID starts at -1 so that the load cannot mistake stale memory for a hit. */
CCEBitmap::CCEBitmap(unsigned int nID) : CCEBitmap() { LoadBitmapW(nID); }

CCEBitmap::~CCEBitmap() { UnloadBitmap(); }

/* The copy shares the planes: it never frees them, so the two objects cannot
 * free one block twice. Planes this bitmap owned are released first. */
CCEBitmap& CCEBitmap::operator=(const CCEBitmap& other) {
    if (this == &other) return *this;
    UnloadBitmap();
    std::memcpy(static_cast<void*>(this), &other, sizeof *this);
    m_bShared = 1;
    return *this;
}

void CCEBitmap::UnloadBitmap() {
    release_planes(*this);
    m_nID = 0;
    m_nPixelBytes = m_nPitch = m_bShared = m_bResource = 0;
    m_nWidth = m_nHeight = m_nBitCount = m_nPixelSize = m_nAlphaSize = 0;
}

int CCEBitmap::GetLastTempBitmapID() { return m_LastTempBitmapID; }

int CCEBitmap::LoadBitmapW(unsigned int nID) {
    if (!pack_ready(nID)) return 0;
    m_bResource = 1;
    // Only an ID a load recorded counts: the -1 of a new bitmap is no image.
    if (m_nID >= static_cast<int>(pack::kFirstId) && m_nID == static_cast<int>(nID)) return 1;
    UnloadBitmap();
    m_bResource = 1;
    if (!read_pack_image(*this, nID)) {
        UnloadBitmap();
        return 0;
    }
    m_nID = static_cast<int>(nID);
    return 1;
}

int CCEBitmap::LoadBitmapW(unsigned int nID, int w, int h) {
    if (!pack_ready(nID)) return 0;
    UnloadBitmap();
    m_bResource = 1;
    if (!read_pack_image(*this, nID)) {
        UnloadBitmap();
        return 0;
    }
    m_nID = static_cast<int>(nID);
    if (!expand_pixels(*this, nID) || !expand_alpha(*this, nID) ||
        (w != 0 && h != 0 && !resample_planes(*this, w, h))) {
        UnloadBitmap();
        return 0;
    }
    return 1;
}

int CCEBitmap::LoadBitmapTemp(unsigned int nID) {
    UnloadBitmap();
    if (!pack_ready(nID)) return 0;
    m_bResource = 1;
    const int id = static_cast<int>(nID);
    if (const pool::TempRecord* hit = pool::find(id)) {
        m_nWidth = hit->width;
        m_nHeight = hit->height;
        m_nPixelSize = hit->pixel_size;
        m_nAlphaSize = hit->alpha_size;
        m_pImageData = hit->pixels;
        m_pAlpha = hit->alpha;
        m_nPixelBytes = 2;
        m_nPitch = m_nWidth * 2;
        m_bShared = 1;  // m_nID stays 0: only a read from the pack records the ID
        m_LastTempBitmapID = id;
        return 1;
    }
    pack::Record record;
    if (!pack::seek_image(pack_stream(), nID, &record)) {
        UnloadBitmap();
        return 0;
    }
    size_t at = 0;
    if (pool::place(record.pixel_bytes, record.alpha_bytes, &at) == pool::Placement::TooLarge) {
        DebugLogW(u"错误：图片大小错误size = %d, ID = %d, w = %d, h = %d\n",
                  static_cast<int>(record.pixel_bytes), static_cast<int>(nID - pack::kFirstId), record.width,
                  record.height);
        UnloadBitmap();
        return 0;
    }
    /* An empty pixel block gives no pixel plane, as in the stored loader: a
     * plane of no bytes must not be read as w x h raw pixels. */
    uint8_t* pixels = record.pixel_bytes ? pool::base() + at : nullptr;
    uint8_t* alpha = record.alpha_bytes ? pool::base() + at + pool::round4(record.pixel_bytes) : nullptr;
    if ((pixels && !pack::read_exact(pack_stream(), pixels, record.pixel_bytes)) ||
        (alpha && !pack::read_exact(pack_stream(), alpha, record.alpha_bytes))) {
        report_damaged(nID);
        UnloadBitmap();
        return 0;
    }
    take_record_geometry(*this, record);
    m_pImageData = pixels;
    m_pAlpha = alpha;
    m_bShared = 1;
    m_nID = id;
    m_LastTempBitmapID = id;
    pool::append(pool::TempRecord{id, record.width, record.height, static_cast<int32_t>(record.pixel_bytes),
                                  static_cast<int32_t>(record.alpha_bytes), pixels, alpha});
    return 1;
}

/* Wraps planes the caller keeps; the size fields say "raw" so that every
 * blit reads them as such. The result is 0 even when the planes were taken. */
int CCEBitmap::LoadBitmapTemp(unsigned char* pixels, unsigned char* alpha, int w, int h) {
    if (!pixels || w < 1 || h < 1) return 0;
    UnloadBitmap();
    m_pImageData = pixels;
    m_pAlpha = alpha;
    set_raw_geometry(*this, w, h);
    m_bShared = 1;
    m_LastTempBitmapID = 0;
    return 0;
}

int CCEBitmap::LoadBitmapGIF(const WCHAR* path, LONG nID) {
    std::FILE* stream = path ? _wfopen(path, u"rb") : nullptr;
    if (nID < static_cast<LONG>(pack::kFirstId) || !stream) {
        DebugLogW(u"错误：nID = %d, fp = %d\n", static_cast<int>(nID), pack::log_value(stream));
        if (stream) std::fclose(stream);
        return 0;
    }
    pack::Record record;
    bool ok = pack::seek_image(stream, static_cast<uint32_t>(nID), &record);
    if (ok && (record.pixel_bytes || record.alpha_bytes)) ok = plane_allowed(record.width, record.height);
    if (ok) {
        release_planes(*this);
        m_nWidth = record.width;
        m_nHeight = record.height;
        if (record.pixel_bytes) {
            m_pImageData = inflate_block(stream, record.pixel_bytes,
                                         pack::raw_pixel_bytes(record.width, record.height), false, nID);
            ok = m_pImageData != nullptr;
        }
        if (ok && record.alpha_bytes) {
            m_pAlpha = inflate_block(stream, record.alpha_bytes,
                                     pack::raw_alpha_bytes(record.width, record.height), true, nID);
            ok = m_pAlpha != nullptr;
        }
        if (ok) {
            set_raw_geometry(*this, record.width, record.height);
            m_nID = static_cast<int>(nID);
        } else {
            UnloadBitmap();
        }
    }
    std::fclose(stream);
    return ok ? 1 : 0;
}
