/* overlay.cpp - the overlay thread and the overlays drawn by Flip: cursor and
 * sandglass frames from strips of the resource pack, and the dimming of the
 * whole back buffer. The thread keeps away while a surface draws (the
 * drawing flag) or while bPause is set, and a program's own FlipBackBuffer and
 * Flip wait for a round in progress. The strip bitmaps are loaded and
 * unloaded only between two of its rounds. */
#include "surface/overlay.h"

#include <chrono>

#include "cegraphics.h"
#include "core/pixel.h"
#include "surface/shared_state.h"
#include "winapi.h"

namespace kesra {
namespace {

constexpr int kMinResId = 300;
constexpr int kMaxFrames = 40;

thread_local bool t_in_round = false;  // this thread runs an overlay round

void advance(std::atomic<int>& frame, int frames) {
    int next = frame.load() + 1;
    frame = next >= frames ? 0 : next;
}

/* Sleeps one period, or less when the shared state goes away. */
void sleep_one_period() {
    std::unique_lock<std::mutex> lock(m_Overlay.wake_mutex);
    m_Overlay.wake.wait_for(lock, std::chrono::milliseconds(kOverlayPeriodMs),
                            [] { return m_bGXInit.load() == 0; });
}

/* One round, under the round lock: the flags are read under it, so once a
 * surface has raised the drawing or pause flag and passed the lock (see
 * keep_overlay_rounds_away), no round runs until the flag is cleared. The
 * surface to present is read in each round: the first created surface. Once
 * that surface is destroyed nothing is presented and the thread ends; false
 * says so. */
bool run_round() {
    std::lock_guard<std::mutex> round(m_Overlay.round_mutex);
    const uint32_t flags = m_Overlay.flags;
    if (!flags || m_Overlay.drawing || m_Overlay.bPause) return true;
    if (flags & OVERLAY_CURSOR) advance(m_Overlay.cursor_frame, overlay_field(m_Overlay.cursor.nFrames));
    if (flags & OVERLAY_SANDGLASS)
        advance(m_Overlay.sandglass_frame, overlay_field(m_Overlay.sandglass.nFrames));
    if (!m_bGXInit) return false;
    CCEGraphics* surface = m_Overlay.surface;
    if (!surface) return false;
    t_in_round = true;
    surface->FlipBackBuffer(0, 0);
    if (m_bGXInit) surface->Flip(5, 0, 0);
    t_in_round = false;
    return m_bGXInit != 0;
}

DWORD OverlayThreadProc(LPVOID) {
    while (m_bGXInit) {
        if (!run_round()) break;
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
    m_Overlay.cursor_bitmap.UnloadBitmap();
    m_Overlay.sandglass_bitmap.UnloadBitmap();
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

std::unique_lock<std::mutex> outside_overlay_rounds() {
    if (t_in_round) return {};
    return std::unique_lock<std::mutex>(m_Overlay.round_mutex);
}

void keep_overlay_rounds_away() { std::lock_guard<std::mutex> round(m_Overlay.round_mutex); }

void set_overlay_pause(bool paused) {
    m_Overlay.bPause = paused ? 1 : 0;
    if (paused) keep_overlay_rounds_away();
}

/* Frame k of a strip of `frames` frames. A counter left beyond a count that
 * was just lowered wraps, so a frame always lies within the strip. */
StripFrame strip_frame(int32_t strip_width, int32_t frames, int32_t k) {
    if (frames < 1 || strip_width < 1) return StripFrame{0, 0};
    const int32_t width = strip_width / frames;
    const int32_t frame = k >= 0 ? k % frames : 0;
    return StripFrame{frame * width, width};
}

namespace {

/* Shows an overlay: its strip is loaded (a failed load leaves it empty) and
 * it starts on frame 0; it appears at the next presentation. */
void show_overlay(uint32_t flag, CCEBitmap& strip, std::atomic<int>& frame, LONG res_id) {
    if (m_Overlay.flags & flag) return;
    std::lock_guard<std::mutex> round(m_Overlay.round_mutex);
    strip.LoadBitmapW(static_cast<unsigned int>(res_id));
    frame = 0;
    m_Overlay.flags |= flag;
}

/* Hides an overlay; says whether it was shown, so that the caller refreshes. */
bool hide_overlay(uint32_t flag, CCEBitmap& strip) {
    if (!(m_Overlay.flags & flag)) return false;
    std::lock_guard<std::mutex> round(m_Overlay.round_mutex);
    m_Overlay.flags &= ~flag;
    strip.UnloadBitmap();
    return true;
}

}  // namespace

}  // namespace kesra

using namespace kesra;

int CCEGraphics::SetCursor(tagCURSOR_STRUCT cs) {
    if (cs.nResID < kMinResId || cs.nFrames < 1 || cs.nFrames > kMaxFrames) return 0;
    set_overlay_field(m_Overlay.cursor.nResID, cs.nResID);
    set_overlay_field(m_Overlay.cursor.nFrames, cs.nFrames);
    return 1;
}

int CCEGraphics::SetSandglass(tagSANDGLASS_STRUCT ss) {
    if (ss.nResID < kMinResId || ss.nFrames < 1 || ss.nFrames > kMaxFrames) return 0;
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

void CCEGraphics::ShowCursor(int bShow) {
    if (bShow) {
        show_overlay(OVERLAY_CURSOR, m_Overlay.cursor_bitmap, m_Overlay.cursor_frame,
                     overlay_field(m_Overlay.cursor.nResID));
    } else if (hide_overlay(OVERLAY_CURSOR, m_Overlay.cursor_bitmap)) {
        FlipBackBuffer(0, 0);  // the cursor goes at once
        Flip(3, 0, 0);
    }
}

void CCEGraphics::ShowSandglass(int bShow) {
    if (bShow) {
        show_overlay(OVERLAY_SANDGLASS, m_Overlay.sandglass_bitmap, m_Overlay.sandglass_frame,
                     overlay_field(m_Overlay.sandglass.nResID));
    } else if (hide_overlay(OVERLAY_SANDGLASS, m_Overlay.sandglass_bitmap)) {
        FlipBackBuffer(0, 0);
        Flip(3, 0, 0);
    }
}

/* The cursor's frame has its top-left corner at the pointer; the sandglass's
 * frame is centred on its position (halvings truncate toward zero). A strip
 * shown before its frame count was set has no frames and draws nothing. */
void CCEGraphics::DrawAnimation() {
    const uint32_t flags = m_Overlay.flags;
    if (flags & OVERLAY_CURSOR) {
        CCEBitmap& strip = m_Overlay.cursor_bitmap;
        const StripFrame f =
            strip_frame(strip.m_nWidth, overlay_field(m_Overlay.cursor.nFrames), m_Overlay.cursor_frame);
        POINT pos{0, 0};
        GetCursorPos(&pos);
        if (f.width > 0) BitBackBuffer(pos.x, pos.y, f.width, strip.m_nHeight, &strip, f.x, 0);
    }
    if (flags & OVERLAY_SANDGLASS) {
        CCEBitmap& strip = m_Overlay.sandglass_bitmap;
        const StripFrame f = strip_frame(strip.m_nWidth, overlay_field(m_Overlay.sandglass.nFrames),
                                         m_Overlay.sandglass_frame);
        const LONG h = strip.m_nHeight;
        if (f.width > 0)
            BitBackBuffer(overlay_field(m_Overlay.sandglass.x) - f.width / 2,
                          overlay_field(m_Overlay.sandglass.y) - h / 2, f.width, h, &strip, f.x, 0);
    }
}

void CCEGraphics::DrawBlackScreen() {
    const LONG level = __atomic_load_n(&m_uBlackScreen, __ATOMIC_RELAXED);
    if (level == 0 || !m_pBackBuffer) return;
    const Canvas back = display_canvas(m_pBackBuffer);
    for (int32_t y = 0; y < back.height; ++y) {
        uint16_t* row = back.at(0, y);
        for (int32_t x = 0; x < back.width; ++x) row[x] = dim565(row[x], static_cast<uint32_t>(level));
    }
}
