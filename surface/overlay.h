/* overlay.h - the overlay thread: it wakes every 100 ms and, while an overlay
 * is shown and no surface draws and nothing paused it, advances the cursor
 * and sandglass frames and presents the first surface again. */
#ifndef KESRA_SURFACE_OVERLAY_H
#define KESRA_SURFACE_OVERLAY_H

class CCEGraphics;

namespace kesra {

void start_overlay_thread(CCEGraphics* first_surface);
/* Clears the run flag, wakes the thread and waits for it to end. */
void stop_overlay_thread();
void reset_overlay_state();

/* Transitions and animations keep the thread away while they present. */
void set_overlay_pause(bool paused);

/* How long the thread sleeps between rounds, in milliseconds. */
constexpr int OVERLAY_PERIOD_MS = 100;

}  // namespace kesra

#endif
