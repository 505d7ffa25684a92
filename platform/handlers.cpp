/* handlers.cpp - where message boxes and sounds go. Message boxes have no
 * one to click them here: their text goes to the host's handler (by default
 * standard error, in UTF-8) and they answer as if OK was pressed. */
#include <atomic>
#include <cstdio>

#include "host.h"
#include "platform/platform_internal.h"
#include "winapi.h"

namespace kesra::platform {
namespace {

std::atomic<void (*)(const WCHAR*)> g_message_handler{nullptr};
std::atomic<void (*)(const uint8_t*, size_t)> g_sound_handler{nullptr};

}  // namespace

void (*sound_handler())(const uint8_t*, size_t) { return g_sound_handler.load(); }

}  // namespace kesra::platform

using namespace kesra::platform;

extern "C" void HostSetMessageHandler(void (*handler)(const WCHAR* text)) { g_message_handler = handler; }

extern "C" void HostSetSoundHandler(void (*handler)(const uint8_t* wave, size_t bytes)) {
    g_sound_handler = handler;
}

extern "C" int MessageBoxW(HWND, LPCWSTR text, LPCWSTR, UINT) {
    if (auto handler = g_message_handler.load()) {
        handler(text ? text : u"");
    } else {
        std::fprintf(stderr, "%s\n", utf16_to_utf8(text).c_str());
    }
    return 1;  // IDOK
}
