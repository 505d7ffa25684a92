/* gdi.cpp - device contexts, DIB sections and BitBlt.
 * A DIB section's rows are 4-byte aligned; a negative height in its header
 * means row 0 is at the lowest address (top-down). 16-bit sections are RGB565
 * bit-field sections; 24-bit sections hold blue, green, red bytes. */
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_set>

#include "core/pixel.h"
#include "platform/platform_internal.h"
#include "winapi.h"

namespace kesra::platform {
namespace {

/* Every live DC and DIB section, so that a stale or foreign handle is refused
 * rather than followed. */
struct GdiRegistry {
    std::mutex mutex;
    std::unordered_set<const void*> live;
};

GdiRegistry& registry() {
    static GdiRegistry r;
    return r;
}

void register_object(const void* object) {
    std::lock_guard<std::mutex> lock(registry().mutex);
    registry().live.insert(object);
}

bool unregister_object(const void* object) {
    std::lock_guard<std::mutex> lock(registry().mutex);
    return registry().live.erase(object) == 1;
}

bool is_live(const void* object) {
    if (!object) return false;
    std::lock_guard<std::mutex> lock(registry().mutex);
    return registry().live.count(object) == 1;
}

HDC new_dc(HDC__::Kind kind, HWND window) {
    HDC dc = new HDC__;
    dc->kind = kind;
    dc->window = window;
    dc->stock.width = 1;
    dc->stock.height = 1;
    dc->stock.bits_per_pixel = 1;
    dc->stock.is_stock = true;
    dc->stock.selected_into = dc;
    dc->bitmap = &dc->stock;
    register_object(dc);
    return dc;
}

inline void rgb565_to_bgr(uint16_t p, uint8_t* out) {
    const kesra::Rgb888 c = kesra::widen565(p);
    out[0] = c.b;
    out[1] = c.g;
    out[2] = c.r;
}

inline uint16_t bgr_to_rgb565(const uint8_t* p) { return kesra::narrow565(p[2], p[1], p[0]); }

void copy_row(const PixelView& dst, uint8_t* d, const PixelView& src, const uint8_t* s, int count) {
    if (dst.bits_per_pixel == src.bits_per_pixel) {
        std::memmove(d, s, static_cast<size_t>(count) * (dst.bits_per_pixel / 8));
        return;
    }
    const int sbytes = src.bits_per_pixel / 8, dbytes = dst.bits_per_pixel / 8;
    for (int i = 0; i < count; ++i, s += sbytes, d += dbytes) {
        uint8_t bgr[3];
        if (sbytes == 2) {
            uint16_t p;
            std::memcpy(&p, s, 2);
            rgb565_to_bgr(p, bgr);
        } else {
            std::memcpy(bgr, s, 3);
        }
        if (dbytes == 2) {
            uint16_t p = bgr_to_rgb565(bgr);
            std::memcpy(d, &p, 2);
        } else {
            std::memcpy(d, bgr, 3);
            if (dbytes == 4) d[3] = 0;
        }
    }
}

}  // namespace

bool view_of(HDC dc, PixelView& view) {
    HWND window = nullptr;
    if (dc->kind == HDC__::Kind::Window) window = dc->window;
    if (dc->kind == HDC__::Kind::Display) window = foreground_window();
    if (dc->kind == HDC__::Kind::Memory) {
        HBITMAP__* bitmap = dc->bitmap;
        if (!bitmap || bitmap->is_stock || !bitmap->bits) return false;
        view = {bitmap->bits,   bitmap->width,    bitmap->height, bitmap->bits_per_pixel,
                bitmap->stride, bitmap->top_down, nullptr};
        return true;
    }
    if (!window_is_live(window)) return false;
    view = {reinterpret_cast<uint8_t*>(window->pixels.data()),
            window->width,
            window->height,
            16,
            window->width * 2,
            true,
            window};
    return true;
}

std::unique_lock<std::mutex> lock_display_for(HDC a, HDC b) {
    const auto shows_window = [](HDC dc) { return dc && dc->kind != HDC__::Kind::Memory; };
    if (shows_window(a) || shows_window(b)) return lock_display();
    return {};
}

bool gdi_object_is_live(const void* object) { return is_live(object); }

}  // namespace kesra::platform

using namespace kesra::platform;

extern "C" HDC GetDC(HWND window) {
    if (window == nullptr) return new_dc(HDC__::Kind::Display, nullptr);
    if (!window_is_live(window)) return nullptr;
    return new_dc(HDC__::Kind::Window, window);
}

extern "C" int ReleaseDC(HWND, HDC dc) {
    if (!is_live(dc) || dc->kind == HDC__::Kind::Memory) return 0;
    unregister_object(dc);
    delete dc;
    return 1;
}

extern "C" HDC CreateCompatibleDC(HDC) { return new_dc(HDC__::Kind::Memory, nullptr); }

extern "C" HDC CreateDCW(LPCWSTR driver, LPCWSTR, LPCWSTR, const void*) {
    if (!driver || utf16_to_utf8(driver) != "DISPLAY") return nullptr;
    return new_dc(HDC__::Kind::Display, nullptr);
}

extern "C" BOOL DeleteDC(HDC dc) {
    if (!is_live(dc)) return FALSE;
    if (dc->bitmap && !dc->bitmap->is_stock) dc->bitmap->selected_into = nullptr;
    unregister_object(dc);
    delete dc;
    return TRUE;
}

extern "C" HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                                    DWORD) {
    if (bits) *bits = nullptr;
    if (!info || usage != DIB_RGB_COLORS || section != nullptr) return nullptr;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN ||
        h.biPlanes != 1)
        return nullptr;
    const DWORD* masks = reinterpret_cast<const DWORD*>(info->bmiColors);
    switch (h.biBitCount) {
        case 16:  // only the RGB565 bit-field layout
            if (h.biCompression != BI_BITFIELDS || masks[0] != 0xF800 || masks[1] != 0x07E0 ||
                masks[2] != 0x001F)
                return nullptr;
            break;
        case 24:
        case 32:
            if (h.biCompression != BI_RGB) return nullptr;
            break;
        default:
            return nullptr;
    }
    const int64_t height = h.biHeight < 0 ? -static_cast<int64_t>(h.biHeight) : h.biHeight;
    const int64_t stride = ((static_cast<int64_t>(h.biWidth) * h.biBitCount + 31) / 32) * 4;
    const int64_t size = stride * height;
    if (size > (int64_t{1} << 30)) return nullptr;
    auto* bitmap = new HBITMAP__;
    bitmap->bits = static_cast<uint8_t*>(std::calloc(1, static_cast<size_t>(size)));
    if (!bitmap->bits) {
        delete bitmap;
        return nullptr;
    }
    bitmap->width = h.biWidth;
    bitmap->height = static_cast<int>(height);
    bitmap->bits_per_pixel = h.biBitCount;
    bitmap->top_down = h.biHeight < 0;
    bitmap->stride = static_cast<int>(stride);
    register_object(bitmap);
    if (bits) *bits = bitmap->bits;
    return bitmap;
}

extern "C" HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    if (is_font_object(object)) return is_live(dc) ? select_font(dc, static_cast<HFONT>(object)) : nullptr;
    if (!is_live(dc) || dc->kind != HDC__::Kind::Memory || !object) return nullptr;
    auto* bitmap = static_cast<HBITMAP__*>(object);
    if (bitmap != &dc->stock) {
        if (!is_live(bitmap)) return nullptr;
        if (bitmap->selected_into && bitmap->selected_into != dc) return nullptr;  // one DC at a time
    }
    HBITMAP__* previous = dc->bitmap;
    if (previous && !previous->is_stock) previous->selected_into = nullptr;
    dc->bitmap = bitmap;
    bitmap->selected_into = dc;
    return previous;
}

extern "C" BOOL DeleteObject(HGDIOBJ object) {
    if (is_font_object(object)) return delete_font(static_cast<HFONT>(object));
    auto* bitmap = static_cast<HBITMAP__*>(object);
    if (!is_live(bitmap) || bitmap->selected_into) return FALSE;  // still selected: refused
    unregister_object(bitmap);
    std::free(bitmap->bits);
    delete bitmap;
    return TRUE;
}

extern "C" int GetDeviceCaps(HDC dc, int index) {
    if (!is_live(dc)) return 0;
    const auto shown = lock_display_for(dc);
    PixelView view;
    if (!view_of(dc, view)) return 0;
    switch (index) {
        case HORZRES:
            return view.width;
        case VERTRES:
            return view.height;
        case BITSPIXEL:
            return view.bits_per_pixel;
        default:
            return 0;
    }
}

extern "C" BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int sx, int sy, DWORD rop) {
    if (rop != SRCCOPY || !is_live(dest) || !is_live(src)) return FALSE;
    const auto shown = lock_display_for(dest, src);  // the frame is copied and presented whole
    PixelView d, s;
    if (!view_of(dest, d) || !view_of(src, s)) return FALSE;
    /* Clip the block to both surfaces; the two corners move together. */
    int64_t left = std::max<int64_t>({0, -static_cast<int64_t>(x), -static_cast<int64_t>(sx)});
    int64_t top = std::max<int64_t>({0, -static_cast<int64_t>(y), -static_cast<int64_t>(sy)});
    int64_t right = std::min<int64_t>(
        {static_cast<int64_t>(width), static_cast<int64_t>(d.width) - x, static_cast<int64_t>(s.width) - sx});
    int64_t bottom = std::min<int64_t>({static_cast<int64_t>(height), static_cast<int64_t>(d.height) - y,
                                        static_cast<int64_t>(s.height) - sy});
    if (right > left && bottom > top) {
        const int count = static_cast<int>(right - left);
        const int dbytes = d.bits_per_pixel / 8, sbytes = s.bits_per_pixel / 8;
        /* Within one surface a block moving down is copied from its last row up. */
        const bool upward = d.bits == s.bits && y > sy;
        for (int64_t i = top; i < bottom; ++i) {
            const int64_t row = upward ? bottom - 1 - (i - top) : i;
            uint8_t* drow = d.row(static_cast<int>(y + row)) + (x + left) * dbytes;
            const uint8_t* srow = s.row(static_cast<int>(sy + row)) + (sx + left) * sbytes;
            copy_row(d, drow, s, srow, count);
        }
    }
    if (d.window) present_window(d.window);
    return TRUE;
}
