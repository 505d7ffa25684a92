/* sound_sdl.cpp - the audio device through SDL2: one device opened per sound
 * with the sound's own format, the samples queued and waited out, then the
 * device closed. The audio subsystem is started and stopped around each
 * sound under one lock, as SDL's start-up counts are not thread-safe. */
#include <SDL.h>

#include <algorithm>
#include <mutex>

#include "platform/sound.h"

namespace kesra::platform {
namespace {

std::mutex& audio_mutex() {
    static std::mutex m;
    return m;
}

SDL_AudioDeviceID open_device(const WaveInfo& info, SDL_AudioSpec* got) {
    std::lock_guard<std::mutex> lock(audio_mutex());
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return 0;
    SDL_AudioSpec want{};
    want.freq = static_cast<int>(std::min<uint32_t>(info.sample_rate, INT32_MAX));
    want.format = info.bits_per_sample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
    want.channels = static_cast<Uint8>(info.channels);
    want.samples = 2048;
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, got, 0);
    if (!device) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return device;
}

void close_device(SDL_AudioDeviceID device) {
    std::lock_guard<std::mutex> lock(audio_mutex());
    SDL_CloseAudioDevice(device);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

}  // namespace

bool play_on_audio_device(const WaveInfo& info, const uint8_t* image) {
    if (info.channels > 255) return false;
    SDL_AudioSpec got{};
    const SDL_AudioDeviceID device = open_device(info, &got);
    if (!device) return false;
    // A device that stops taking samples must not hold the caller for ever.
    const uint64_t duration = wave_duration_ms(info);
    const Uint32 limit = static_cast<Uint32>(std::min<uint64_t>(duration + 1000, UINT32_MAX / 2));
    const Uint32 start = SDL_GetTicks();
    if (SDL_QueueAudio(device, image + info.data_offset, static_cast<Uint32>(info.data_bytes)) == 0) {
        SDL_PauseAudioDevice(device, 0);
        while (SDL_GetQueuedAudioSize(device) > 0 && SDL_GetTicks() - start < limit) SDL_Delay(10);
        // The device's own buffer still holds the last samples.
        if (got.freq > 0) SDL_Delay(static_cast<Uint32>(uint64_t{got.samples} * 1000 / got.freq) + 1);
    }
    close_device(device);
    return true;
}

}  // namespace kesra::platform
