/* cegifplay.h - CGifPlay, a numbered run of images from a compressed frame
 * pack shown full screen one after another: each drawn at (0, 0), presented,
 * then held for a fixed delay. A run ends at the first missing image, at an
 * image 4 pixels wide (the end marker, never drawn), after 101 images, or on
 * Stop. One playback state serves the whole process. */
#ifndef KESRA_CEGIFPLAY_H
#define KESRA_CEGIFPLAY_H

#include "wintypes.h"

KESRA_API_BEGIN

class CCEDraw;

/* The parameters of a run, copied by OnInit. */
typedef struct tagGIFPLAY {
    LONG nFirstID;      // pack image of the first frame (300 + index)
    CCEDraw* pDraw;     // shows the frames; null is refused
    DWORD nDelay;       // milliseconds after each frame
    WCHAR szPath[260];  // the pack, NUL-terminated within the 260 characters
} tagGIFPLAY;

#ifdef __cplusplus
class CGifPlay {
   public:
    CGifPlay() = default;
    ~CGifPlay() = default;

    /* Arms a run: 1, or 0 (state unchanged) for a null record or pDraw, or a
     * path with no terminator among its 260 characters. */
    int OnInit(tagGIFPLAY* params);
    /* Plays the armed run on the calling thread; returns 1 when it has ended. */
    int Play();
    /* 0 from OnInit until the run ends, then 1. */
    int IsEnd();
    /* Ends the run in progress after the frame being shown: from another
     * thread it returns once Play has finished; from the playing thread
     * itself (a present handler) it returns at once. No effect when no run
     * is playing. */
    void Stop();
};
#endif

KESRA_API_END

#endif
