/* stcf_state.h - the built-in engine's process-wide buffers in one place: the
 * crossing lists, the 1-bit supersampling buffer, the working cell and the
 * copy the sharpening pass reads. Sized for the largest cell (100 x 100), so
 * that no glyph allocates. Drawing thread only. */
#ifndef KESRA_TEXT_STCF_STATE_H
#define KESRA_TEXT_STCF_STATE_H

#include <cstdint>

#include "text/stcf_raster.h"

namespace kesra::stcf {

struct Workspace {
    int32_t crossings[kMaxScanlines][kMaxCrossings];
    uint8_t crossing_count[kMaxScanlines];
    uint8_t bits[kMaxBitsBytes];
    uint8_t cell[kMaxCell * kMaxCell];
    uint8_t before[kMaxCell * kMaxCell];
};

Workspace& workspace();

}  // namespace kesra::stcf

#endif
