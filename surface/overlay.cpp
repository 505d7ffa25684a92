/* overlay.cpp - the overlay thread and the overlays drawn by Flip: cursor and
 * sandglass frames, and the dimming of the whole back buffer. The thread takes
 * no lock on the buffers; it keeps away while a surface draws (the drawing
 * flag) or while bPause is set. */
#include <chrono>

#include "cegraphics.h"
#include "core/pixel.h"
#include "surface/overlay.h"
#include "surface/shared_state.h"
#include "winapi.h"

namespace kesra {
namespace {

constexpr int MIN_RES_ID = 300;
constexpr int MAX_FRAMES = 40;

void advance(std::atomic<int>& frame, int frames) {
    int next = frame.load() + 1;
    frame = next >= frames ? 0 : next;
}

/* Sleeps one period, or less when the shared state goes away. */
void sleep_one_period() {
    std::unique_lock<std::mutex> lock(m_Overlay.wake_mutex);
    m_Overlay.wake.wait_for(lock, std::chrono::milliseconds(OVERLAY_PERIOD_MS),
                            [] { return m_bGXInit.load() == 0; });
}

/* The surface to present is read in each round: the first created surface.
 * Once that surface is destroyed nothing is presented and the thread ends. */
DWORD OverlayThreadProc(LPVOID) {
    while (m_bGXInit) {
        const uint32_t flags = m_Overlay.flags;
        if (flags && !m_Overlay.drawing && !m_Overlay.bPause) {
            if (flags & OVERLAY_CURSOR) advance(m_Overlay.cursor_frame, overlay_field(m_Overlay.cursor.nFrames));
            if (flags & OVERLAY_SANDGLASS)
                advance(m_Overlay.sandglass_frame, overlay_field(m_Overlay.sandglass.nFrames));
            if (!m_bGXInit) break;
            std::lock_guard<std::mutex> round(m_Overlay.round_mutex);
            CCEGraphics* surface = m_Overlay.surface;
            if (!surface) break;
            surface->FlipBackBuffer(0, 0);
            if (!m_bGXInit) break;
            surface->Flip(5, 0, 0);
            if (!m_bGXInit) break;
        }
        sleep_one_period();
    }
    return 1;
}

}  // namespace

void start_overlay_thread(CCEGraphics* first_surface) {
    DWORD id = 0;
    m_Overlay.surface = first_surface;
    m_Overlay.thread = CreateThread(nullptr, 0, OverlayThreadProc, first_surface, 0, &id);
}

void stop_overlay_thread() {
    {
        std::lock_guard<std::mutex> lock(m_Overlay.wake_mutex);
        m_bGXInit = 0;
    }
    m_Overlay.wake.notify_all();
    if (m_Overlay.thread) {
        WaitForSingleObject(m_Overlay.thread, INFINITE);
        CloseHandle(m_Overlay.thread);
        m_Overlay.thread = nullptr;
    }
}

void reset_overlay_state() {
    m_Overlay.thread = nullptr;
    m_Overlay.surface = nullptr;
    m_Overlay.flags = 0;
    m_Overlay.drawing = 0;
    m_Overlay.bPause = 0;
    m_Overlay.cursor_frame = 0;
    m_Overlay.cursor = tagCURSOR_STRUCT{0, 0};
    m_Overlay.sandglass_frame = 0;
    m_Overlay.sandglass = tagSANDGLASS_STRUCT{0, 0, 0, 0};
}

void set_overlay_pause(bool paused) { m_Overlay.bPause = paused ? 1 : 0; }

}  // namespace kesra

using namespace kesra;

int CCEGraphics::SetCursor(tagCURSOR_STRUCT cs) {
    if (cs.nResID < MIN_RES_ID || cs.nFrames < 1 || cs.nFrames > MAX_FRAMES) return 0;
    set_overlay_field(m_Overlay.cursor.nResID, cs.nResID);
    set_overlay_field(m_Overlay.cursor.nFrames, cs.nFrames);
    return 1;
}

int CCEGraphics::SetSandglass(tagSANDGLASS_STRUCT ss) {
    if (ss.nResID < MIN_RES_ID || ss.nFrames < 1 || ss.nFrames > MAX_FRAMES) return 0;
    set_overlay_field(m_Overlay.sandglass.nResID, ss.nResID);
    set_overlay_field(m_Overlay.sandglass.nFrames, ss.nFrames);
    set_overlay_field(m_Overlay.sandglass.x, ss.x);
    set_overlay_field(m_Overlay.sandglass.y, ss.y);
    return 1;
}

int CCEGraphics::SetBlackSrceenLevel(LONG level) {
    if (level < 0 || level > 31) return 0;
    __atomic_store_n(&m_uBlackScreen, level, __ATOMIC_RELAXED);
    return 1;
}

/* The cursor and sandglass frames are drawn once bitmaps can be loaded. */
void CCEGraphics::DrawAnimation() {}

void CCEGraphics::DrawBlackScreen() {
    const LONG level = __atomic_load_n(&m_uBlackScreen, __ATOMIC_RELAXED);
    if (level == 0 || !m_pBackBuffer) return;
    const Canvas back = display_canvas(m_pBackBuffer);
    for (int32_t y = 0; y < back.height; ++y) {
        uint16_t* row = back.at(0, y);
        for (int32_t x = 0; x < back.width; ++x) row[x] = dim565(row[x], static_cast<uint32_t>(level));
    }
}
