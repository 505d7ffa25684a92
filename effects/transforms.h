/* transforms.h - loose images (an RGB565 plane with an optional alpha plane
 * of levels 0-32, rows packed at nWidth pixels) and their transforms: capture
 * from a screen buffer, uniform alpha, nearest-neighbour scaling, the
 * trapezoid warp, and the Bresenham line walker the warp follows edges with.
 * Planes are malloc'ed: whoever takes them out of a record frees them with
 * std::free. Results are 1 for success and 0 for failure. */
#ifndef KESRA_EFFECTS_TRANSFORMS_H
#define KESRA_EFFECTS_TRANSFORMS_H

#include <cstdint>

#include "core/canvas.h"
#include "wintypes.h"

/* An effect image; all fields zero when empty. */
struct tagEFFECTIMAGE {
    DWORD dwKind;       // 0 in every image the library makes
    uint16_t* pPixels;  // nWidth * nHeight Color16 values, row-major
    uint8_t* pAlpha;    // one level 0-32 per pixel; null means opaque
    LONG nWidth;
    LONG nHeight;
    LONG nWarpMode;  // warp target: the short edge (8 bottom, 4 top, 2 right, 1 left)
    LONG bMirror;    // scale and warp targets: mirror left to right
    LONG nEdgeFrom;  // warp target: the short edge's first coordinate
    LONG nEdgeTo;    // warp target: its second coordinate
};

/* The line walker: the points of a line from ptStart to ptEnd, in that order. */
struct tagLINEWALKER {
    LONG bSwapped;
    POINT ptStart;
    POINT ptEnd;
    LONG nCount;
    POINT* pPoints;
};

namespace kesra {

enum : LONG { WARP_LEFT = 1, WARP_RIGHT = 2, WARP_TOP = 4, WARP_BOTTOM = 8 };

/* All nine fields zero. */
void effect_clear(tagEFFECTIMAGE* image);
/* Frees both planes, then clears; 0 for a null image. */
int effect_free(tagEFFECTIMAGE* image);

/* Copies rect (left, top inclusive; right, bottom exclusive) of a screen
 * buffer into a new pixel plane; pAlpha becomes null. Pixels of the
 * rectangle that lie outside the screen are 0. */
int effect_capture(tagEFFECTIMAGE* image, const Canvas& screen, const RECT& rect);
/* The same on a buffer laid out as the display (m_DisplayProps). */
int effect_capture(tagEFFECTIMAGE* image, const uint8_t* screen_buffer, const RECT& rect);

/* Every alpha byte a becomes a * level / 32; a missing plane is made full (32). */
int effect_set_alpha(tagEFFECTIMAGE* image, int level);

/* Fills the target's new planes (its nWidth, nHeight and bMirror set by the
 * caller) with the source resampled by nearest neighbour; the alpha plane only
 * when the source has one. The target's earlier planes are not freed. */
int effect_scale(tagEFFECTIMAGE* target, const tagEFFECTIMAGE& source);

/* Scales the source into the target, then squeezes it into the trapezoid
 * given by nWarpMode, nEdgeFrom and nEdgeTo; alpha 0 outside it. */
int effect_warp(tagEFFECTIMAGE* target, const tagEFFECTIMAGE& source);

/* Fills the point list from ptStart to ptEnd; 0 for a line of one point. */
int walk_line(tagLINEWALKER* walker);
/* Frees the point list and zeroes the record; 0 for a null record. */
int free_line_walker(tagLINEWALKER* walker);

}  // namespace kesra

#endif
