/* stcf_outline.h - an outline's contours and their sixteen operations, read
 * from the font image and drawn as lines and cubics on the scan converter.
 * Coordinates are signed bytes in the 128-unit em; every contour is closed by
 * a line back to its start. */
#ifndef KESRA_TEXT_STCF_OUTLINE_H
#define KESRA_TEXT_STCF_OUTLINE_H

#include <cstdint>

#include "text/stcf_file.h"
#include "text/stcf_raster.h"

namespace kesra::stcf {

/* Draws the outline whose data begins at offset. False when the data runs
 * past the image: the glyph is then left undrawn by the caller. */
bool draw_outline(const ImageReader& in, uint64_t offset, const Grid& grid, const Placement& place,
                  ScanConverter& scan);

/* A delta nibble: 0..7 as is, 8 is -8, 9..15 are -1..-7. */
constexpr int32_t delta_nibble(uint32_t n) { return n < 8 ? int32_t(n) : n == 8 ? -8 : 8 - int32_t(n); }

}  // namespace kesra::stcf

#endif
