/* ani_sound.h - an animation's sound on a short-lived thread of its own. The
 * thread owns the sound's bytes, plays them with PlaySoundW and frees them;
 * it touches nothing else. Its handle is not kept. */
#ifndef KESRA_ANIM_ANI_SOUND_H
#define KESRA_ANIM_ANI_SOUND_H

#include <cstddef>
#include <cstdint>

namespace kesra::ani {

/* Starts the thread on a malloc'ed buffer of `bytes` bytes, which it frees;
 * false (and the buffer freed) when no thread could be started. */
bool start_sound_thread(uint8_t* buffer, size_t bytes);

/* The body of the thread: a WAVE image that lies wholly inside the buffer is
 * played; anything else is dropped. The buffer is freed. */
void play_and_free(uint8_t* buffer, size_t bytes);

/* Sound threads still running. */
int sounds_playing();
/* Waits until no sound thread runs, at most timeout_ms; true when none does. */
bool wait_for_sounds(unsigned timeout_ms);

}  // namespace kesra::ani

#endif
