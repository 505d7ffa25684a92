/* gif_play.h - the frame run behind CGifPlay: images first_id, first_id + 1,
 * ... of a compressed frame pack, each drawn at (0, 0) of a drawing context,
 * presented and held for the delay. A run shows at most 101 images and ends
 * early at a missing image, at the end marker (an image 4 pixels wide, not
 * drawn) or when a stop is requested; a stop cuts the delay short. */
#ifndef KESRA_ANIM_GIF_PLAY_H
#define KESRA_ANIM_GIF_PLAY_H

#include <condition_variable>
#include <mutex>
#include <string>

#include "wintypes.h"

class CCEDraw;

namespace kesra::gifplay {

constexpr int kMaxFrames = 101;
constexpr int kEndMarkerWidth = 4;
constexpr size_t kPathChars = 260;  // 259 characters and the terminator

struct Run {
    LONG first_id = 0;
    CCEDraw* draw = nullptr;
    DWORD delay_ms = 0;
    std::u16string path;
};

/* The path held in a record's 260 characters; false when they hold no
 * terminator (the path would run past the record). */
bool path_of_record(const WCHAR (&chars)[kPathChars], std::u16string* path);

/* A stop request that a waiting run notices at once. */
class StopSignal {
   public:
    void reset();
    void request();
    bool requested();
    /* Waits up to ms milliseconds; true when a stop was requested. */
    bool wait(DWORD ms);

   private:
    std::mutex mutex_;
    std::condition_variable wake_;
    bool requested_ = false;
};

/* Plays run until it ends; returns the number of images shown. */
int play_run(const Run& run, StopSignal& stop);

}  // namespace kesra::gifplay

#endif
