/* shared_state.h - the state every surface shares, in one place: the display
 * properties read by every primitive (declared in core/canvas.h, defined in
 * cegraphics.cpp), the shared DCs and the overlay state that the overlay
 * thread reads. Flags the thread reads are atomics. */
#ifndef KESRA_SURFACE_SHARED_STATE_H
#define KESRA_SURFACE_SHARED_STATE_H

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "cebitmap.h"
#include "cegraphics.h"
#include "core/canvas.h"

namespace kesra {

enum : uint32_t { OVERLAY_CURSOR = 1u << 0, OVERLAY_SANDGLASS = 1u << 1 };

struct OverlayState {
    HANDLE thread = nullptr;
    std::atomic<uint32_t> flags{0};
    std::atomic<int> drawing{0};  // 1 while any surface is between BeginDraw and EndDraw
    std::atomic<int> bPause{0};   // 1 while a transition or an animation plays
    CCEBitmap cursor_bitmap;      // the cursor's frames side by side
    std::atomic<int> cursor_frame{0};
    tagCURSOR_STRUCT cursor{0, 0};  // fields read and written whole: see overlay_field
    CCEBitmap sandglass_bitmap;     // the sandglass's frames side by side
    std::atomic<int> sandglass_frame{0};
    tagSANDGLASS_STRUCT sandglass{0, 0, 0, 0};

    /* The surface the thread presents. The thread holds round_mutex for each
     * presentation; that surface's instance buffer and the overlay bitmaps
     * change only under it, so a round never reads a buffer being freed. */
    CCEGraphics* surface = nullptr;
    std::mutex round_mutex;

    /* Wakes the thread's 100 ms sleep early when the shared state goes away. */
    std::mutex wake_mutex;
    std::condition_variable wake;
};

extern OverlayState m_Overlay;

/* The application sets the parameter records while the thread reads them:
 * each field goes across whole, and each value is valid on its own. */
inline LONG overlay_field(const LONG& field) { return __atomic_load_n(&field, __ATOMIC_RELAXED); }
inline void set_overlay_field(LONG& field, LONG value) { __atomic_store_n(&field, value, __ATOMIC_RELAXED); }

/* 1 while the shared state exists; also the overlay thread's run flag. */
extern std::atomic<int> m_bGXInit;

}  // namespace kesra

#endif
