/* cegraphics.cpp - surfaces: creation of the shared back buffer and of each
 * surface's instance buffer, drawing brackets and presentation. The first
 * Create builds the shared state and starts the overlay thread; the last
 * Release stops the thread before any shared buffer is freed. Create and
 * Release run one at a time from any thread; only the surface that made an
 * instance buffer frees it, copies made by operator= only share it. */
#include "cegraphics.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "core/pixel_runs.h"
#include "core/profile.h"
#include "surface/overlay.h"
#include "surface/shared_state.h"
#include "winapi.h"

namespace kesra {

DisplayProps m_DisplayProps{};
OverlayState m_Overlay;
std::atomic<int> m_bGXInit{0};

namespace {

/* The window's DC and the memory DC that holds the shared back buffer. */
struct SharedDCs {
    HDC window_dc = nullptr;
    HDC back_dc = nullptr;
    HBITMAP back_bitmap = nullptr;
    HGDIOBJ back_old_bitmap = nullptr;
};
SharedDCs g_shared;

/* The 40-byte header of a screen-sized, top-down RGB565 bit-field section;
 * the rest of the header-plus-colour-table block is zero. */
struct ScreenDibHeader {
    BITMAPINFOHEADER header;
    DWORD masks[256];
};
static_assert(sizeof(ScreenDibHeader) == 1064, "header and colour table block");

ScreenDibHeader screen_dib_header() {
    ScreenDibHeader h;
    std::memset(&h, 0, sizeof h);
    h.header.biSize = sizeof(BITMAPINFOHEADER);
    h.header.biWidth = static_cast<LONG>(m_DisplayProps.dwWidth);
    h.header.biHeight = -static_cast<LONG>(m_DisplayProps.dwHeight);
    h.header.biPlanes = 1;
    h.header.biBitCount = 16;
    h.header.biCompression = BI_BITFIELDS;
    h.masks[0] = 0xF800;
    h.masks[1] = 0x07E0;
    h.masks[2] = 0x001F;
    return h;
}

HBITMAP create_screen_section(HDC dc, void** bits) {
    ScreenDibHeader h = screen_dib_header();
    return CreateDIBSection(dc, reinterpret_cast<const BITMAPINFO*>(&h), DIB_RGB_COLORS, bits, nullptr, 0);
}

/* The overlay thread presents the first surface: its suspension flag and
 * error code are read and written whole, as the application may touch them
 * meanwhile. */
bool suspended(const CCEGraphics& surface) {
    return __atomic_load_n(&surface.m_bSuspend, __ATOMIC_RELAXED) != 0;
}

LONG fail(CCEGraphics& surface, DWORD code) {
    __atomic_store_n(&surface.m_dwLastError, code, __ATOMIC_RELAXED);
    return 0;
}

/* Create, Release and the copy of a surface's handles run one at a time,
 * whichever thread calls them, so that the shared state is built and torn
 * down once and the overlay thread is started and stopped in turn. */
std::mutex g_lifecycle;

/* The instance section each created surface made for itself. A copy holds
 * the same handles but is not listed, so its Release frees nothing. Never
 * destroyed: surfaces in static storage may be released at exit. */
std::unordered_map<const CCEGraphics*, HBITMAP>& made_sections() {
    static auto* sections = new std::unordered_map<const CCEGraphics*, HBITMAP>();
    return *sections;
}

bool made_its_buffer(const CCEGraphics& surface) {
    const auto it = made_sections().find(&surface);
    return it != made_sections().end() && it->second == surface.m_hBitmap;
}

/* The thread's surface gets or loses its buffer only between two rounds. */
std::unique_lock<std::mutex> between_rounds(const CCEGraphics* surface) {
    if (surface != m_Overlay.surface) return {};
    return std::unique_lock<std::mutex>(m_Overlay.round_mutex);
}

/* A screen whose bytes do not fit the 32-bit memory size (or that has no
 * pixels) cannot be shared. */
bool screen_size_fits(int width, int height) {
    return width > 0 && height > 0 && int64_t{width} * height <= INT32_MAX / 2;
}

void forget_instance_buffer(CCEGraphics& surface) {
    surface.m_hMemDC = nullptr;
    surface.m_hBitmap = nullptr;
    surface.m_hOldBitmap = nullptr;
    surface.m_pBits = nullptr;
    surface.m_pBuffer = nullptr;
    surface.m_bCreated = 0;
}

void free_instance_buffer(CCEGraphics& surface) {
    SelectObject(surface.m_hMemDC, surface.m_hOldBitmap);
    DeleteObject(surface.m_hBitmap);
    DeleteDC(surface.m_hMemDC);
    forget_instance_buffer(surface);
}

/* The back buffer, the window's DC and the spare screen buffer. */
void free_shared_buffers(HWND window) {
    SelectObject(g_shared.back_dc, g_shared.back_old_bitmap);
    DeleteObject(g_shared.back_bitmap);
    DeleteDC(g_shared.back_dc);
    ReleaseDC(window, g_shared.window_dc);
    g_shared = SharedDCs{};
    CCEGraphics::m_pBackBuffer = nullptr;
    std::free(CCEGraphics::m_pDoubleBuffer2);
    CCEGraphics::m_pDoubleBuffer2 = nullptr;
}

void fill_display_props(int width, int height) {
    m_DisplayProps.dwFormat = DISPLAY_FORMAT_RGB565;
    m_DisplayProps.dwBitsPerPixel = 16;
    m_DisplayProps.dwWidth = static_cast<DWORD>(width);
    m_DisplayProps.dwHeight = static_cast<DWORD>(height);
    m_DisplayProps.dwBytesPerPixel = 2;
    m_DisplayProps.dwRowBytes = static_cast<DWORD>(width) * 2;
    m_DisplayProps.lXPitch = 2;
    m_DisplayProps.lYPitch = width * 2;
}

}  // namespace
}  // namespace kesra

using namespace kesra;

HWND CCEGraphics::m_hWnd = nullptr;
unsigned char* CCEGraphics::m_pBackBuffer = nullptr;
unsigned char* CCEGraphics::m_pDoubleBuffer2 = nullptr;
LONG CCEGraphics::m_lMemorySize = 0;
DWORD CCEGraphics::m_dwRefCount = 0;
int CCEGraphics::m_bFlipBk = 0;
LONG CCEGraphics::m_uBlackScreen = 0;

CCEGraphics::CCEGraphics()
    : m_dwLastError(0),
      m_bDrawing(0),
      m_hMemDC(nullptr),
      m_hBitmap(nullptr),
      m_hOldBitmap(nullptr),
      m_pBits(nullptr),
      m_pBuffer(nullptr),
      m_bCreated(0),
      m_bSuspend(0) {}

CCEGraphics::~CCEGraphics() {
    if (m_bCreated) Release();
    // The overlay thread must not present a surface that is gone.
    std::lock_guard<std::mutex> lifecycle(g_lifecycle);
    if (m_Overlay.surface == this) {
        std::lock_guard<std::mutex> round(m_Overlay.round_mutex);
        m_Overlay.surface = nullptr;
    }
}

namespace kesra {
namespace {

LONG release_surface(CCEGraphics& surface) {
    if (!m_bGXInit || !surface.m_bCreated) return 1;
    if (!made_its_buffer(surface)) {  // a copy: the buffer is another surface's
        const auto rounds = between_rounds(&surface);
        forget_instance_buffer(surface);
        return 1;
    }
    made_sections().erase(&surface);
    CCEGraphics::m_dwRefCount -= 1;
    if (CCEGraphics::m_dwRefCount == 0) {
        stop_overlay_thread();  // it copies into the back buffer: stop it first
        free_shared_buffers(CCEGraphics::m_hWnd);
        reset_overlay_state();
    }
    const auto rounds = between_rounds(&surface);
    free_instance_buffer(surface);
    return 1;
}

}  // namespace
}  // namespace kesra

/* The copy shares the other surface's buffer and handles; a buffer this
 * surface made itself is released first, as nothing would free it later
 * (unless the other surface is a copy of this one). */
CCEGraphics& CCEGraphics::operator=(const CCEGraphics& other) {
    if (&other == this) return *this;
    std::lock_guard<std::mutex> lifecycle(g_lifecycle);
    if (m_bCreated && made_its_buffer(*this) && other.m_hBitmap != m_hBitmap) release_surface(*this);
    const auto rounds = between_rounds(this);
    m_dwLastError = other.m_dwLastError;
    m_bDrawing = other.m_bDrawing;
    m_hMemDC = other.m_hMemDC;
    m_hBitmap = other.m_hBitmap;
    m_hOldBitmap = other.m_hOldBitmap;
    m_pBits = other.m_pBits;
    m_pBuffer = other.m_pBuffer;
    m_bCreated = other.m_bCreated;
    m_bSuspend = other.m_bSuspend;
    return *this;
}

/* Both buffers must be made: a screen that does not fit, or a section that
 * cannot be had, fails with 102 and leaves nothing behind. */
LONG CCEGraphics::Create(int width, int height, int, int, HWND window, int) {
    std::lock_guard<std::mutex> lifecycle(g_lifecycle);
    if (m_bCreated) return 1;
    if (!m_bGXInit) {
        if (!screen_size_fits(width, height)) return fail(*this, CEG_ERR_NO_SPARE_BUFFER);
        g_shared.window_dc = GetDC(window);
        fill_display_props(width, height);
        m_lMemorySize = static_cast<LONG>(int64_t{width} * height * 2);
        g_shared.back_dc = CreateCompatibleDC(g_shared.window_dc);
        void* back_bits = nullptr;
        g_shared.back_bitmap = create_screen_section(g_shared.back_dc, &back_bits);
        m_pBackBuffer = static_cast<unsigned char*>(back_bits);
        g_shared.back_old_bitmap = SelectObject(g_shared.back_dc, g_shared.back_bitmap);
        if (m_pBackBuffer)
            m_pDoubleBuffer2 = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(m_lMemorySize)));
        if (!m_pBackBuffer || !m_pDoubleBuffer2) {
            free_shared_buffers(window);  // so that a later Create starts clean
            return fail(*this, CEG_ERR_NO_SPARE_BUFFER);
        }
        m_hWnd = window;
        m_bGXInit = 1;
        start_overlay_thread(this);
    }
    HDC mem_dc = CreateCompatibleDC(g_shared.window_dc);
    void* bits = nullptr;
    HBITMAP bitmap = create_screen_section(mem_dc, &bits);
    if (!bitmap) {
        DeleteDC(mem_dc);
        if (m_dwRefCount == 0) {  // the shared state was built for this surface alone
            stop_overlay_thread();
            free_shared_buffers(m_hWnd);
            reset_overlay_state();
        }
        return fail(*this, CEG_ERR_NO_SPARE_BUFFER);
    }
    const auto rounds = between_rounds(this);
    m_hMemDC = mem_dc;
    m_hBitmap = bitmap;
    m_pBits = static_cast<unsigned char*>(bits);
    m_hOldBitmap = SelectObject(m_hMemDC, m_hBitmap);
    m_pBuffer = m_pBits;
    if (m_DisplayProps.lXPitch < 0)
        m_pBuffer -= m_DisplayProps.lXPitch * static_cast<LONG>(m_DisplayProps.dwWidth);
    if (m_DisplayProps.lYPitch < 0)
        m_pBuffer -= m_DisplayProps.lYPitch * static_cast<LONG>(m_DisplayProps.dwHeight);
    m_bCreated = 1;
    m_dwRefCount += 1;
    made_sections()[this] = m_hBitmap;
    return 1;
}

LONG CCEGraphics::Release() {
    std::lock_guard<std::mutex> lifecycle(g_lifecycle);
    return release_surface(*this);
}

LONG CCEGraphics::BeginDraw() {
    if (m_bDrawing == 1) return 0;
    if (suspended(*this)) return fail(*this, CEG_ERR_SUSPENDED);
    if (!m_pBits) return fail(*this, CEG_ERR_BEGIN_NO_BUFFER);
    m_bDrawing = 1;
    m_Overlay.drawing = 1;
    keep_overlay_rounds_away();  // no round reads the instance buffer while it is drawn
    return 1;
}

LONG CCEGraphics::EndDraw() {
    if (suspended(*this)) return fail(*this, CEG_ERR_SUSPENDED);
    if (!m_pBits) return fail(*this, CEG_ERR_NO_BUFFER);
    m_bDrawing = 0;
    m_Overlay.drawing = 0;
    return 1;
}

LONG CCEGraphics::Flip(int, int, unsigned short) {
    if (!__atomic_load_n(&m_bFlipBk, __ATOMIC_RELAXED) && GetForegroundWindow() != m_hWnd) return 0;
    if (suspended(*this)) return fail(*this, CEG_ERR_SUSPENDED);
    if (!m_pBits) return fail(*this, CEG_ERR_NO_BUFFER);
    const auto round = outside_overlay_rounds();
    const int64_t flip_started = profile::flip_begins();
    DrawAnimation();
    DrawBlackScreen();
    ::BitBlt(g_shared.window_dc, 0, 0, static_cast<int>(m_DisplayProps.dwWidth),
             static_cast<int>(m_DisplayProps.dwHeight), g_shared.back_dc, 0, 0, SRCCOPY);
    profile::flip_ends(flip_started);
    return 1;
}

LONG CCEGraphics::FlipBackBuffer(int bTransparent, unsigned short wKey) {
    if (suspended(*this)) return fail(*this, CEG_ERR_SUSPENDED);
    /* A back buffer whose section could not be made counts as no buffer. */
    if (!m_pBits || !m_pBackBuffer) return fail(*this, CEG_ERR_NO_BUFFER);
    const auto round = outside_overlay_rounds();
    if (!bTransparent) {
        std::memcpy(m_pBackBuffer, m_pBits, static_cast<size_t>(m_lMemorySize));
        return 1;
    }
    const uint16_t* src = reinterpret_cast<const uint16_t*>(m_pBuffer);
    uint16_t* dst = reinterpret_cast<uint16_t*>(m_pBackBuffer);
    copy_keyed565(dst, src, static_cast<size_t>(m_lMemorySize) / 2, wKey);
    return 1;
}

void CCEGraphics::SetFlipBk(int bFlipBk) { __atomic_store_n(&m_bFlipBk, bFlipBk, __ATOMIC_RELAXED); }

LONG CCEGraphics::Suspend() {
    __atomic_store_n(&m_bSuspend, 1, __ATOMIC_RELAXED);
    return 1;
}

LONG CCEGraphics::Resume() {
    __atomic_store_n(&m_bSuspend, 0, __ATOMIC_RELAXED);
    return 1;
}

int CCEGraphics::IsSuspend() { return __atomic_load_n(&m_bSuspend, __ATOMIC_RELAXED); }

int CCEGraphics::IsGXInit() { return m_bGXInit; }
