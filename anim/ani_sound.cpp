/* ani_sound.cpp - the sound threads of animations. A sound is stored as a
 * whole WAVE file; the image its RIFF header describes must lie inside the
 * bytes read from the animation file, or it would be played from beyond them. */
#include "anim/ani_sound.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

#include "platform/sound.h"
#include "winapi.h"

namespace kesra::ani {
namespace {

struct SoundJob {
    uint8_t* buffer;
    size_t bytes;
};

std::mutex g_running_mutex;
std::condition_variable g_running_changed;
int g_running = 0;

void count_thread(int change) {
    std::lock_guard<std::mutex> lock(g_running_mutex);
    g_running += change;
    g_running_changed.notify_all();
}

DWORD sound_thread(LPVOID parameter) {
    auto* job = static_cast<SoundJob*>(parameter);
    play_and_free(job->buffer, job->bytes);
    delete job;
    count_thread(-1);
    return 0;
}

}  // namespace

void play_and_free(uint8_t* buffer, size_t bytes) {
    if (!buffer) return;
    platform::WaveInfo info;
    if (platform::parse_wave(buffer, bytes, &info))
        PlaySoundW(reinterpret_cast<LPCWSTR>(buffer), nullptr, SND_MEMORY);
    std::free(buffer);
}

bool start_sound_thread(uint8_t* buffer, size_t bytes) {
    auto* job = new SoundJob{buffer, bytes};
    count_thread(+1);
    HANDLE thread = CreateThread(nullptr, 0, sound_thread, job, 0, nullptr);
    if (!thread) {
        count_thread(-1);
        std::free(buffer);
        delete job;
        return false;
    }
    CloseHandle(thread);
    return true;
}

int sounds_playing() {
    std::lock_guard<std::mutex> lock(g_running_mutex);
    return g_running;
}

bool wait_for_sounds(unsigned timeout_ms) {
    std::unique_lock<std::mutex> lock(g_running_mutex);
    return g_running_changed.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                      [] { return g_running == 0; });
}

}  // namespace kesra::ani
