/* ani_frames.h - the plain routines behind CAniCtrl: one frame of an
 * animation inflated into a bitmap, and the order in which a range of frames
 * is shown. A frame's planes hold exactly width x height values or it is not
 * loaded; a failed load leaves the bitmap empty. */
#ifndef KESRA_ANIM_ANI_FRAMES_H
#define KESRA_ANIM_ANI_FRAMES_H

#include <cstdint>
#include <vector>

#include "anim/ani_format.h"
#include "cebitmap.h"

namespace kesra::ani {

/* Frame `frame` of animation `id` into the bitmap as raw planes, scaled to
 * width x height when both are non-zero. */
bool load_frame(Source& src, uint32_t id, int32_t frame, int width, int height, CCEBitmap* bitmap);

/* The frames Play shows, in order: 0 ... F - 1, or F - 1 ... 0 backward. */
std::vector<int32_t> play_order(int32_t frames, bool reverse);

/* The frames ShowFrame shows; false when from or to lies outside 0 ... F - 1.
 * from <= to: from ... to, each mirrored as F - 1 - i when reverse is set.
 * from > to: from down to to, whatever reverse says. */
bool range_order(int32_t frames, int32_t from, int32_t to, bool reverse, std::vector<int32_t>* order);

}  // namespace kesra::ani

#endif
