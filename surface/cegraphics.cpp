/* cegraphics.cpp - surfaces: creation of the shared back buffer and of each
 * surface's instance buffer, drawing brackets and presentation. The first
 * Create builds the shared state and starts the overlay thread; the last
 * Release stops the thread before any shared buffer is freed. */
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "cegraphics.h"
#include "overlay.h"
#include "shared_state.h"
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
    return CreateDIBSection(dc, reinterpret_cast<const BITMAPINFO*>(&h), DIB_RGB_COLORS, bits,
                            nullptr, 0);
}

/* The overlay thread presents the first surface: its suspension flag and
 * error code are read and written whole, as the application may touch them
 * meanwhile. */
bool suspended(const CCEGraphics& surface) { return __atomic_load_n(&surface.m_bSuspend, __ATOMIC_RELAXED) != 0; }

LONG fail(CCEGraphics& surface, DWORD code) {
    __atomic_store_n(&surface.m_dwLastError, code, __ATOMIC_RELAXED);
    return 0;
}

/* The thread's surface gets or loses its buffer only between two rounds. */
std::unique_lock<std::mutex> between_rounds(const CCEGraphics* surface) {
    if (surface != m_Overlay.surface) return {};
    return std::unique_lock<std::mutex>(m_Overlay.round_mutex);
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
    : m_dwLastError(0), m_bDrawing(0), m_hMemDC(nullptr), m_hBitmap(nullptr),
      m_hOldBitmap(nullptr), m_pBits(nullptr), m_pBuffer(nullptr), m_bCreated(0), m_bSuspend(0) {}

CCEGraphics::~CCEGraphics() {
    if (m_bCreated) Release();
}

CCEGraphics& CCEGraphics::operator=(const CCEGraphics& other) {
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

LONG CCEGraphics::Create(int width, int height, int, int, HWND window, int) {
    if (m_bCreated) return 1;
    if (!m_bGXInit) {
        /* A screen of no pixels, or one whose byte count does not fit the
         * 32-bit size, cannot be shared; it is refused as an allocation failure. */
        const int64_t bytes = static_cast<int64_t>(width) * height * 16 / 8;
        if (width <= 0 || height <= 0 || bytes > INT32_MAX) return fail(*this, CEG_ERR_NO_SPARE_BUFFER);
        g_shared.window_dc = GetDC(window);
        fill_display_props(width, height);
        m_lMemorySize = static_cast<LONG>(bytes);
        g_shared.back_dc = CreateCompatibleDC(g_shared.window_dc);
        void* back_bits = nullptr;
        g_shared.back_bitmap = create_screen_section(g_shared.back_dc, &back_bits);
        m_pBackBuffer = static_cast<unsigned char*>(back_bits);
        g_shared.back_old_bitmap = SelectObject(g_shared.back_dc, g_shared.back_bitmap);
        m_pDoubleBuffer2 = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(m_lMemorySize)));
        if (!m_pDoubleBuffer2) {
            /* Undo what was built, so that a later Create starts clean. */
            SelectObject(g_shared.back_dc, g_shared.back_old_bitmap);
            DeleteObject(g_shared.back_bitmap);
            DeleteDC(g_shared.back_dc);
            ReleaseDC(window, g_shared.window_dc);
            g_shared = SharedDCs{};
            m_pBackBuffer = nullptr;
            return fail(*this, CEG_ERR_NO_SPARE_BUFFER);
        }
        m_hWnd = window;
        m_bGXInit = 1;
        start_overlay_thread(this);
    }
    const auto rounds = between_rounds(this);
    m_hMemDC = CreateCompatibleDC(g_shared.window_dc);
    void* bits = nullptr;
    m_hBitmap = create_screen_section(m_hMemDC, &bits);
    m_pBits = static_cast<unsigned char*>(bits);
    m_hOldBitmap = SelectObject(m_hMemDC, m_hBitmap);
    m_pBuffer = m_pBits;
    if (m_DisplayProps.lXPitch < 0) m_pBuffer -= m_DisplayProps.lXPitch * static_cast<LONG>(m_DisplayProps.dwWidth);
    if (m_DisplayProps.lYPitch < 0) m_pBuffer -= m_DisplayProps.lYPitch * static_cast<LONG>(m_DisplayProps.dwHeight);
    m_bCreated = 1;
    m_dwRefCount += 1;
    return 1;
}

LONG CCEGraphics::Release() {
    if (!m_bGXInit || !m_bCreated) return 1;
    m_dwRefCount -= 1;
    if (m_dwRefCount == 0) {
        stop_overlay_thread();  // it copies into the back buffer: stop it first
        SelectObject(g_shared.back_dc, g_shared.back_old_bitmap);
        DeleteObject(g_shared.back_bitmap);
        DeleteDC(g_shared.back_dc);
        ReleaseDC(m_hWnd, g_shared.window_dc);
        g_shared = SharedDCs{};
        m_pBackBuffer = nullptr;
        if (m_pDoubleBuffer2) {
            std::free(m_pDoubleBuffer2);
            m_pDoubleBuffer2 = nullptr;
        }
        reset_overlay_state();
    }
    const auto rounds = between_rounds(this);
    SelectObject(m_hMemDC, m_hOldBitmap);
    DeleteObject(m_hBitmap);
    DeleteDC(m_hMemDC);
    m_hMemDC = nullptr;
    m_hBitmap = nullptr;
    m_hOldBitmap = nullptr;
    m_pBits = nullptr;
    m_pBuffer = nullptr;
    m_bCreated = 0;
    return 1;
}

LONG CCEGraphics::BeginDraw() {
    if (m_bDrawing == 1) return 0;
    if (suspended(*this)) return fail(*this, CEG_ERR_SUSPENDED);
    if (!m_pBits) return fail(*this, CEG_ERR_BEGIN_NO_BUFFER);
    m_bDrawing = 1;
    m_Overlay.drawing = 1;
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
    DrawAnimation();
    DrawBlackScreen();
    ::BitBlt(g_shared.window_dc, 0, 0, static_cast<int>(m_DisplayProps.dwWidth),
             static_cast<int>(m_DisplayProps.dwHeight), g_shared.back_dc, 0, 0, SRCCOPY);
    return 1;
}

LONG CCEGraphics::FlipBackBuffer(int bTransparent, unsigned short wKey) {
    if (suspended(*this)) return fail(*this, CEG_ERR_SUSPENDED);
    /* A back buffer whose section could not be made counts as no buffer. */
    if (!m_pBits || !m_pBackBuffer) return fail(*this, CEG_ERR_NO_BUFFER);
    if (!bTransparent) {
        std::memcpy(m_pBackBuffer, m_pBits, static_cast<size_t>(m_lMemorySize));
        return 1;
    }
    const uint16_t* src = reinterpret_cast<const uint16_t*>(m_pBuffer);
    uint16_t* dst = reinterpret_cast<uint16_t*>(m_pBackBuffer);
    const size_t count = static_cast<size_t>(m_lMemorySize) / 2;
    for (size_t i = 0; i < count; ++i)
        if (src[i] != wKey) dst[i] = src[i];
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
