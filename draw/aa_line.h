/* aa_line.h - anti-aliased map polylines: every segment is a capsule of the
 * given radius, filled in one colour and edged in 32 alpha levels in another.
 * Pixels move by (offX, offY) and are kept inside the inclusive clip box. */
#ifndef KESRA_DRAW_AA_LINE_H
#define KESRA_DRAW_AA_LINE_H

#include <cstdint>

#include "core/canvas.h"
#include "draw/capsule.h"
#include "wintypes.h"

namespace kesra {

struct MapLineStyle {
    uint16_t fillColor;
    uint16_t edgeColor;
    int radius;  // the band's half thickness and the cap radius, in pixels
    ClipBox clip;
    int32_t offX, offY;
};

/* Segment i runs from pts[i] to pts[i + 1]; nothing for n < 2 or null pts. */
void draw_anti_polyline(const Canvas& c, const POINT* pts, int64_t n, const MapLineStyle& style);

}  // namespace kesra

#endif
