/* ani_frames.cpp - frames of the animation file into bitmaps, and the order
 * of the frames a playback shows. Streams are read whole and inflated with
 * the image module's decompressor; a plane that does not inflate to exactly
 * its frame's size is refused, so that drawing never reads past it. */
#include "anim/ani_frames.h"

#include <cstdlib>

#include "bitmap/bitmap_internal.h"
#include "image/limits.h"
#include "ql.h"
#include "text/debug_log.h"

namespace kesra::ani {
namespace {

/* Reads a zlib stream at offset and inflates it to exactly `expect` bytes;
 * the result is malloc'ed. which names the plane in the allocation message. */
uint8_t* inflate_plane(Source& src, uint64_t offset, uint32_t bytes, uint64_t expect, const WCHAR* message) {
    auto* packed = static_cast<uint8_t*>(std::malloc(bytes));
    if (!packed) {
        DebugLogW(message, static_cast<int>(bytes));
        return nullptr;
    }
    BYTE* plane = nullptr;
    DWORD plane_bytes = 0;
    const bool read = src.read(offset, packed, bytes);
    if (read) QLDecompress(&plane, &plane_bytes, packed, bytes);
    std::free(packed);
    if (plane && plane_bytes != expect) {
        std::free(plane);
        plane = nullptr;
    }
    return plane;
}

/* A frame's sides are within the image limits; one without planes may also
 * have a side of 0, and its size still never overflows the bitmap's fields. */
bool frame_size_ok(const FrameHeader& h) {
    if (h.pixel_bytes || h.alpha_bytes) return limits::image_size_ok(h.width, h.height);
    return h.width >= 0 && h.height >= 0 &&
           limits::image_size_ok(h.width ? h.width : 1, h.height ? h.height : 1);
}

}  // namespace

bool load_frame(Source& src, uint32_t id, int32_t frame, int width, int height, CCEBitmap* b) {
    Animation anim;
    FrameHeader h;
    uint64_t streams = 0;
    if (!b || !find_animation(src, id, &anim) || !find_frame(src, anim, frame, &h, &streams)) return false;
    bitmap::release_planes(*b);
    bitmap::set_raw_geometry(*b, 0, 0);
    if (!frame_size_ok(h)) return false;
    const uint64_t count = uint64_t(h.width > 0 ? h.width : 0) * uint64_t(h.height > 0 ? h.height : 0);
    uint8_t* pixels = nullptr;
    uint8_t* alpha = nullptr;
    if (h.pixel_bytes) {
        pixels = inflate_plane(src, streams, h.pixel_bytes, count * 2,
                               u"错误：申请空间失败！m_pImageData，size ＝ %d\n");
        if (!pixels) return false;
    }
    if (h.alpha_bytes) {
        alpha = inflate_plane(src, streams + h.pixel_bytes, h.alpha_bytes, count,
                              u"错误：申请空间失败！m_pAlpha，size ＝ %d\n");
        if (!alpha) {
            std::free(pixels);
            return false;
        }
    }
    b->m_pImageData = pixels;
    b->m_pAlpha = alpha;
    b->m_nBitCount = 16;
    bitmap::set_raw_geometry(*b, h.width, h.height);
    if (width != 0 && height != 0 && pixels && !bitmap::resample_planes(*b, width, height)) {
        bitmap::release_planes(*b);
        bitmap::set_raw_geometry(*b, 0, 0);
        return false;
    }
    return true;
}

std::vector<int32_t> play_order(int32_t frames, bool reverse) {
    std::vector<int32_t> order;
    for (int32_t i = 0; i < frames; ++i) order.push_back(reverse ? frames - 1 - i : i);
    return order;
}

bool range_order(int32_t frames, int32_t from, int32_t to, bool reverse, std::vector<int32_t>* order) {
    if (from < 0 || from >= frames || to < 0 || to >= frames) return false;
    order->clear();
    if (from > to) {
        // A range given backward is shown backward, frame from first.
        for (int32_t i = from; i >= to; --i) order->push_back(i);
    } else {
        for (int32_t i = from; i <= to; ++i) order->push_back(reverse ? frames - 1 - i : i);
    }
    return true;
}

}  // namespace kesra::ani
