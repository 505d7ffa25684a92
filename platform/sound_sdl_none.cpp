/* sound_sdl_none.cpp - the audio device of a build without SDL2: none, so
 * sounds take their time on the silent device. */
#include "platform/sound.h"

namespace kesra::platform {

bool play_on_audio_device(const WaveInfo&, const uint8_t*) { return false; }

}  // namespace kesra::platform
