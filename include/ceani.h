/* ceani.h - CAniCtrl, playback of the animation file: numbered animations
 * (ID 300 + index) of zlib-compressed RGB565 frames with optional alpha planes
 * and a forward and a backward WAVE sound. One file is open for the whole
 * process; the objects carry no state of their own. Frames are drawn into the
 * given drawing context and presented on the caller's thread. */
#ifndef KESRA_CEANI_H
#define KESRA_CEANI_H

#include "wintypes.h"

KESRA_API_BEGIN

class CCEDraw;
class CCEBitmap;

/* What to play, passed by value. */
typedef struct tagANICTRL {
    int nAniID;      // 300 + index of the animation in the file
    CCEDraw* pDraw;  // receives and presents the frames
    int dwTime;      // total playing time in milliseconds
    int nX, nY;      // the frame's top-left corner (its centre with bCenter)
    int bReverse;    // play backward, with the backward sound
    int bCenter;     // ShowFrame: (nX, nY) is the frame's centre
    int nFrom, nTo;  // ShowFrame: the first and last frame of the range
    int nDstWidth;   // with nDstHeight, both non-zero: every frame scaled to this size
    int nDstHeight;
} tagANICTRL;

#ifdef __cplusplus
class CAniCtrl {
   public:
    CAniCtrl() = default;
    virtual ~CAniCtrl() = default;

    /* Closes any open animation file and opens path; 1 on success. */
    static int OpenFile(const WCHAR* path);
    static void CloseFile();

    /* The whole animation, forward or backward, with its sound; the overlay
     * thread stays paused meanwhile. 1 when every frame was shown. */
    int Play(tagANICTRL ani);
    /* Frames nFrom to nTo of the animation, or with bReverse of the animation
     * played backward (frames F-1-nFrom ... F-1-nTo of F); nFrom > nTo shows
     * frames nFrom down to nTo. No sound; each frame is presented only when
     * bFlip is non-zero, and 0 comes back when nFrom or nTo is not a frame. */
    int ShowFrame(tagANICTRL ani, int bFlip);
    /* The number of frames of an animation; 0 when it is not in the file. */
    int GetFrameNum(unsigned int nAniID);

   private:
    int Play_Effect(tagANICTRL ani);
    int PlaySnd(unsigned int nAniID, int bReverse);
    int LoadAni(CCEBitmap* bitmap, unsigned int nAniID, int frame, int width, int height);
};
#endif

KESRA_API_END

#endif
