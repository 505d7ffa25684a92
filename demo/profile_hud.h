/* profile_hud.h - navdemo's view of the frame profiler: a line a second on
 * standard error and, with --hud, the figures drawn over the frame. A loop
 * calls profile_frame once a frame, just before presenting it. */
#ifndef KESRA_DEMO_PROFILE_HUD_H
#define KESRA_DEMO_PROFILE_HUD_H

#include <string>

#include "kesra.h"
#include "kesra_profile.h"

namespace navdemo {

/* --hud: the figures are drawn over every frame; profiling is switched on
 * if KESRA_PROFILE did not already. */
void set_profile_hud(bool shown);

/* One call per frame, just before it is presented: prints the last frame's
 * line when a second has passed since the previous one, and draws the panel
 * when --hud asked for it. Does nothing while profiling is off. */
void profile_frame(CCEDraw& dc);

/* The figures of one frame as one line (no newline). */
std::string profile_line(const KesraFrameStats& f);

}  // namespace navdemo

#endif
