/* display_sdl_none.cpp - the SDL back end of a build without SDL2. */
#include "platform/platform_internal.h"

namespace kesra::platform {

std::unique_ptr<DisplayBackend> make_sdl_backend() { return nullptr; }

}  // namespace kesra::platform
