/* overlay.h - the overlay thread: it wakes every 100 ms and, while an overlay
 * is shown and no surface draws and nothing paused it, advances the cursor
 * and sandglass frames and presents the first surface again. */
#ifndef KESRA_SURFACE_OVERLAY_H
#define KESRA_SURFACE_OVERLAY_H

#include <cstdint>
#include <mutex>

#include "cegraphics.h"  // not a forward declaration: that would hide the exported class

namespace kesra {

void start_overlay_thread(CCEGraphics* first_surface);
/* Clears the run flag, wakes the thread and waits for it to end. */
void stop_overlay_thread();
void reset_overlay_state();

/* Waits for a round in progress to end. Called after raising the drawing or
 * pause flag: once it returns, no round runs until the flag is cleared. */
void keep_overlay_rounds_away();

/* The thread's rounds fill and present the shared back buffer: the
 * program's FlipBackBuffer and Flip hold this while they do the same, so
 * that a round never runs halfway through them. Empty on the overlay
 * thread, whose round already holds it. */
std::unique_lock<std::mutex> outside_overlay_rounds();

/* Transitions and animations keep the thread away while they present; when
 * pausing returns, no round is running. */
void set_overlay_pause(bool paused);

/* The overlays paused for as long as one of these lives. */
class OverlayPause {
   public:
    OverlayPause() { set_overlay_pause(true); }
    ~OverlayPause() { set_overlay_pause(false); }
    OverlayPause(const OverlayPause&) = delete;
    OverlayPause& operator=(const OverlayPause&) = delete;
};

/* The columns of one frame of a strip of frames laid side by side: the
 * frame width is the strip's width divided by the frame count (truncated);
 * no frames (or no strip) gives width 0. */
struct StripFrame {
    int32_t x;
    int32_t width;
};
StripFrame strip_frame(int32_t strip_width, int32_t frames, int32_t k);

/* How long the thread sleeps between rounds, in milliseconds. */
constexpr int kOverlayPeriodMs = 100;

}  // namespace kesra

#endif
