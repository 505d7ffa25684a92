/* scale_internal.h - rounding and plane-size helpers shared by the scaler and
 * the warp. */
#ifndef KESRA_EFFECTS_SCALE_INTERNAL_H
#define KESRA_EFFECTS_SCALE_INTERNAL_H

#include <cstddef>

#include "wintypes.h"

namespace kesra {

/* The integer part of v (v >= 0), plus 1 when the fraction is at least 0.5. */
inline int nearest_index(double v) {
    const int whole = static_cast<int>(v);
    return v - whole >= 0.5 ? whole + 1 : whole;
}

/* width * height when both are at least 1 and a 16-bit plane of that many
 * pixels fits in memory's address range. */
bool plane_size(LONG width, LONG height, size_t* count);

}  // namespace kesra

#endif
