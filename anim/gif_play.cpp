/* gif_play.cpp - CGifPlay and the frame run beneath it. One playback state
 * serves the process: the run armed by OnInit, the end flag, and the thread
 * that is playing, so that Stop can end that run from any thread. The state
 * is guarded by one mutex; a run copies its parameters before it starts, so
 * an OnInit during playback only arms the next run. */
#include "anim/gif_play.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#include "cebitmap.h"
#include "cedraw.h"
#include "cegifplay.h"

namespace kesra::gifplay {

bool path_of_record(const WCHAR (&chars)[kPathChars], std::u16string* path) {
    for (size_t n = 0; n < kPathChars; ++n)
        if (chars[n] == 0) {
            path->assign(chars, n);
            return true;
        }
    return false;
}

void StopSignal::reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    requested_ = false;
}

void StopSignal::request() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requested_ = true;
    }
    wake_.notify_all();
}

bool StopSignal::requested() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requested_;
}

bool StopSignal::wait(DWORD ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return requested_; });
}

namespace {

/* The whole image at the top-left corner, its planes taken as raw, then
 * presented the usual way: instance buffer to back buffer to window. */
void show_frame(CCEBitmap& frame, CCEDraw& draw) {
    frame.Draw(&draw, 0, 0, 0, 0, 0, 0, 0);
    draw.FlipBackBuffer(0, 0);
    draw.Flip(3, 0, 0);
}

}  // namespace

int play_run(const Run& run, StopSignal& stop) {
    if (!run.draw) return 0;
    int shown = 0;
    for (int k = 0; k < kMaxFrames && !stop.requested(); ++k) {
        // Identifiers past the largest LONG are no pack images: the run ends there.
        const int64_t id = int64_t{run.first_id} + k;
        if (id > INT32_MAX) break;
        CCEBitmap frame;
        if (!frame.LoadBitmapGIF(run.path.c_str(), static_cast<LONG>(id))) break;
        if (frame.m_nWidth == kEndMarkerWidth) break;
        show_frame(frame, *run.draw);
        ++shown;
        frame.UnloadBitmap();
        if (stop.wait(run.delay_ms)) break;
    }
    return shown;
}

namespace {

struct PlaybackState {
    std::mutex mutex;
    std::condition_variable run_finished;
    Run armed;
    std::atomic<int> end{0};
    bool playing = false;
    std::thread::id player;  // the thread inside Play while playing
    uint64_t runs_started = 0;
    uint64_t runs_finished = 0;
    StopSignal stop;
};

PlaybackState& state() {
    static PlaybackState s;
    return s;
}

}  // namespace

}  // namespace kesra::gifplay

using namespace kesra::gifplay;

int CGifPlay::OnInit(tagGIFPLAY* params) {
    std::u16string path;
    if (!params || !params->pDraw || !path_of_record(params->szPath, &path)) return 0;
    PlaybackState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.armed = Run{params->nFirstID, params->pDraw, params->nDelay, std::move(path)};
    s.end = 0;
    return 1;
}

/* A second Play while a run is playing on another thread does not start a
 * run of its own: the state has one player. */
int CGifPlay::Play() {
    PlaybackState& s = state();
    Run run;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.playing) return 1;
        s.playing = true;
        s.player = std::this_thread::get_id();
        ++s.runs_started;
        s.stop.reset();
        run = s.armed;
    }
    play_run(run, s.stop);
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.playing = false;
        s.player = std::thread::id();
        ++s.runs_finished;
        s.end = 1;
    }
    s.run_finished.notify_all();
    return 1;
}

int CGifPlay::IsEnd() { return state().end.load(); }

void CGifPlay::Stop() {
    PlaybackState& s = state();
    std::unique_lock<std::mutex> lock(s.mutex);
    if (!s.playing) return;
    s.stop.request();
    if (s.player == std::this_thread::get_id()) return;  // Play ends once this frame's call returns
    const uint64_t run = s.runs_started;
    s.run_finished.wait(lock, [&s, run] { return s.runs_finished >= run; });
}
