/* transition_methods.cpp - the drawing context's transition and whole-buffer
 * effect methods: each checks its state and hands plain buffers to the
 * routines of transition_effects.cpp and transition_map.cpp. */
#include <cstring>

#include "cedraw.h"
#include "core/profile.h"
#include "effects/transition.h"
#include "surface/overlay.h"
#include "surface/shared_state.h"

using namespace kesra;

namespace {

void present_step(void* surface) { static_cast<CCEDraw*>(surface)->Flip(3, 0, 0); }

}  // namespace

/* Raising the pause waits out a round already under way and keeps new ones
 * from starting, so no round writes the back buffer between two steps. */
LONG CCEDraw::RenderFlip(tagRENDERFLIP_STRUCT rf) {
    const OverlayPause paused;
    return RenderFlip_Effect(rf);
}

int CCEDraw::RenderFlip_Effect(tagRENDERFLIP_STRUCT rf) {
    profile::count(profile::Kind::Transition);
    if (IsSuspend()) {
        __atomic_store_n(&m_dwLastError, CEG_ERR_SUSPENDED, __ATOMIC_RELAXED);
        return 0;
    }
    if (!m_pBits || !m_pDoubleBuffer2 || !m_pBackBuffer) {
        __atomic_store_n(&m_dwLastError, CEG_ERR_NO_BUFFER, __ATOMIC_RELAXED);
        return 0;
    }
    const size_t bytes = static_cast<size_t>(m_lMemorySize);
    std::memcpy(m_pDoubleBuffer2, m_pBackBuffer, bytes);
    const TransitionFrames frames{display_canvas(m_pDoubleBuffer2), display_canvas(m_pBuffer),
                                  display_canvas(m_pBackBuffer), bytes};
    run_transition(frames, rf.dwEffect, rf.rcArea, rf.nTime, PresentSink{present_step, this});
    return 1;
}

/* Whole screens only: the rectangle must be the screen. */
int CCEDraw::ZoomMap(CCEDraw* src, tagRECT rc, double zoom, unsigned short) {
    profile::count(profile::Kind::Transition);
    if (!(zoom > 0.0)) return -1;
    const bool whole_screen = rc.left == 0 && rc.top == 0 && rc.right == LONG(m_DisplayProps.dwWidth) &&
                              rc.bottom == LONG(m_DisplayProps.dwHeight);
    if (!whole_screen || !src || !src->m_pBuffer || !m_pBuffer) return -1;
    return zoom_map(display_canvas(m_pBuffer), reinterpret_cast<const uint16_t*>(src->m_pBuffer), zoom);
}

/* 255 passes; the last row and the last column are never touched. */
void CCEDraw::FadeOut(DWORD step) {
    profile::count(profile::Kind::Transition);
    if (!m_pBuffer) return;
    const Canvas screen = display_canvas(m_pBuffer);
    for (int pass = 0; pass < 255; ++pass) {
        BeginDraw();
        for (int32_t y = 0; y + 1 < screen.height; ++y) {
            fade_pixels(screen.at(0, y), static_cast<size_t>(screen.width > 0 ? screen.width - 1 : 0), step);
            EndDraw();
        }
    }
}

/* The checker darkens the whole buffer, whatever the rectangle. */
void CCEDraw::ShadowBackground(tagRECT rc) {
    profile::count(profile::Kind::Transition);
    if (!m_pBuffer) return;
    tagCOMPOSE_PARAM p{};
    p.dwMode = COMPOSE_CHECKER;
    p.rcArea = rc;
    compose_frame(display_canvas(m_pBuffer), Canvas{}, p);
}
