/* kesra_profile.h - the frame profiler: with KESRA_PROFILE=1 in the
 * environment (read once, when the library loads) the library counts what it
 * draws between two presented frames (CCEGraphics::Flip) and times the
 * drawing and the Flip itself. Off, it costs one predictable branch per call. */
#ifndef KESRA_PROFILE_H
#define KESRA_PROFILE_H

#include <stdint.h>

#include "wintypes.h"

KESRA_API_BEGIN

#ifdef __cplusplus
extern "C" {
#endif

/* One presented frame. draw_us runs from the end of the previous Flip (or
 * from when profiling began) to the start of this one; flip_us is the Flip.
 * Counts are calls of the drawing methods, one per call. Allocations are the
 * C++ heap allocations made by the library's own code, counted by an operator
 * new private to the library (not the program's, nor libpng's or FreeType's);
 * builds with the sanitizers or KESRA_PROFILE_ALLOCATIONS=OFF leave them at 0. */
struct KesraFrameStats {
    uint32_t frame; /* frames presented since profiling was switched on, this one included */
    uint32_t draw_us;
    uint32_t flip_us;
    uint32_t lines;       /* lines, spans and rectangle outlines */
    uint32_t polygons;    /* polygon outlines, polylines, filled polygons */
    uint32_t roads;       /* anti-aliased polylines, capsules, dashes, railways, route lines */
    uint32_t text_runs;   /* every text call, either engine, halos included */
    uint32_t bitmaps;     /* bitmaps, pictures, photos and copies between surfaces */
    uint32_t fills;       /* filled rectangles, blended or not, and clears */
    uint32_t transitions; /* transitions, zooms, fades and shadows */
    uint32_t glyph_hits;  /* glyph-cache lookups that found the glyph */
    uint32_t glyph_misses;
    uint32_t image_hits; /* temporary-bitmap lookups in the image pool that found the bitmap */
    uint32_t image_misses;
    uint32_t allocations; /* C++ heap allocations by the library's own code (0 when not counted) */
};

/* 1 while profiling, else 0. */
int KesraProfileEnabled(void);
/* Switches profiling on (nonzero) or off for the whole process and starts
 * afresh: the counts, the frame number and the last frame are cleared. */
void KesraProfileSetEnabled(int on);
/* The last presented frame: 1 and *stats filled, or 0 (and *stats cleared)
 * when no frame was presented since profiling began or stats is null. */
int KesraProfileLastFrame(struct KesraFrameStats* stats);
/* What the frame being drawn has gathered so far (its times are 0): 1, or 0
 * when stats is null. */
int KesraProfileCurrentFrame(struct KesraFrameStats* stats);
/* 1 when this build counts allocations (see KesraFrameStats.allocations). */
int KesraProfileCountsAllocations(void);

#ifdef __cplusplus
}
#endif

KESRA_API_END

#endif
