/* sound.h - WAVE images and the audio device behind PlaySoundW. A WAVE image
 * is a whole RIFF file in memory; its length is the RIFF size field plus 8.
 * Only PCM with 8 or 16 bits per sample is taken, and every chunk the parser
 * reads lies inside the image and inside the bytes the caller says it holds. */
#ifndef KESRA_PLATFORM_SOUND_H
#define KESRA_PLATFORM_SOUND_H

#include <cstddef>
#include <cstdint>

namespace kesra::platform {

struct WaveInfo {
    size_t image_bytes = 0;  // RIFF size + 8: the whole image
    uint16_t channels = 0;
    uint32_t sample_rate = 0;
    uint16_t bits_per_sample = 0;
    uint16_t block_align = 0;  // bytes of one sample of every channel
    size_t data_offset = 0;    // the samples, from the start of the image
    size_t data_bytes = 0;
};

/* Parses a WAVE image that lies within the first `available` bytes of data:
 * RIFF/WAVE, a PCM fmt chunk, a data chunk, all inside the image. */
bool parse_wave(const uint8_t* data, size_t available, WaveInfo* info);

/* The image's playing time, rounded up to whole milliseconds. */
uint64_t wave_duration_ms(const WaveInfo& info);

/* Plays the samples on the machine's audio device and returns when they have
 * played; false when there is no device (the build has no SDL2, or no device
 * opens). sound_sdl.cpp / sound_sdl_none.cpp. */
bool play_on_audio_device(const WaveInfo& info, const uint8_t* image);

}  // namespace kesra::platform

#endif
