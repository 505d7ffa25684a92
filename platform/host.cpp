/* host.cpp - windows, the foreground window, the pointer, the executable's
 * path and the handlers of the host API. The back end is chosen once, from
 * KESRA_DISPLAY, when the first window is created. */
#include "host.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/platform_internal.h"
#include "winapi.h"

namespace kesra::platform {
namespace {

struct HostState {
    std::mutex mutex;
    std::unique_ptr<DisplayBackend> backend;
    std::vector<HWND> windows;
    std::atomic<HWND> foreground{nullptr};
    std::atomic<int> cursor_x{0};
    std::atomic<int> cursor_y{0};
    std::u16string module_file_name;
    bool module_file_name_set = false;
    std::atomic<void (*)(HWND, const uint16_t*, int, int)> present_handler{
        nullptr};  // the overlay thread presents too
};

HostState& host() {
    static HostState state;
    return state;
}

std::unique_ptr<DisplayBackend> choose_backend() {
    const char* choice = std::getenv("KESRA_DISPLAY");
    std::string name = choice ? choice : "headless";
    if (name == "sdl") {
        if (auto backend = make_sdl_backend()) return backend;
        std::fprintf(stderr,
                     "kesra: KESRA_DISPLAY=sdl, but the SDL display could not be opened; using headless\n");
    } else if (name.rfind("fbdev", 0) == 0) {
        std::string device = name.size() > 6 && name[5] == ':' ? name.substr(6) : "/dev/fb0";
        if (auto backend = make_fbdev_backend(device)) return backend;
        std::fprintf(stderr, "kesra: KESRA_DISPLAY=%s, but %s could not be opened; using headless\n",
                     name.c_str(), device.c_str());
    } else if (name != "headless") {
        std::fprintf(stderr,
                     "kesra: unknown KESRA_DISPLAY '%s' (headless, sdl, fbdev[:/dev/fbN]); using headless\n",
                     name.c_str());
    }
    return make_headless_backend();
}

}  // namespace

bool window_is_live(HWND window) {
    if (!window) return false;
    HostState& h = host();
    std::lock_guard<std::mutex> lock(h.mutex);
    return std::find(h.windows.begin(), h.windows.end(), window) != h.windows.end();
}

HWND foreground_window() { return host().foreground.load(); }

void present_window(HWND window) {
    HostState& h = host();
    window->present_count.fetch_add(1);
    if (h.backend) h.backend->present(window);
    if (auto handler = h.present_handler.load())
        handler(window, window->pixels.data(), window->width, window->height);
}

void set_cursor_pos(int x, int y) {
    host().cursor_x = x;
    host().cursor_y = y;
}

}  // namespace kesra::platform

using namespace kesra::platform;

extern "C" HWND HostCreateWindow(int width, int height) {
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return nullptr;
    HostState& h = host();
    auto window = std::make_unique<HWND__>();
    window->width = width;
    window->height = height;
    window->pixels.assign(static_cast<size_t>(width) * height, 0);
    std::lock_guard<std::mutex> lock(h.mutex);
    if (!h.backend) h.backend = choose_backend();
    if (!h.backend->open_window(window.get())) return nullptr;
    HWND handle = window.release();
    h.windows.push_back(handle);
    HWND expected = nullptr;
    h.foreground.compare_exchange_strong(expected, handle);  // the first window is in front
    return handle;
}

extern "C" void HostDestroyWindow(HWND window) {
    HostState& h = host();
    {
        std::lock_guard<std::mutex> lock(h.mutex);
        auto it = std::find(h.windows.begin(), h.windows.end(), window);
        if (it == h.windows.end()) return;
        h.windows.erase(it);
        h.backend->close_window(window);
        HWND expected = window;
        h.foreground.compare_exchange_strong(expected, h.windows.empty() ? nullptr : h.windows.front());
    }
    delete window;
}

extern "C" const uint16_t* HostWindowPixels(HWND window) {
    return window_is_live(window) ? window->pixels.data() : nullptr;
}

extern "C" void HostSetForegroundWindow(HWND window) { host().foreground = window; }

extern "C" void HostSetCursorPos(int x, int y) { set_cursor_pos(x, y); }

extern "C" void HostSetModuleFileName(const WCHAR* path) {
    HostState& h = host();
    std::lock_guard<std::mutex> lock(h.mutex);
    h.module_file_name = path ? std::u16string(path) : std::u16string();
    h.module_file_name_set = path != nullptr;
}

extern "C" void HostSetPresentHandler(void (*handler)(HWND, const uint16_t*, int, int)) {
    host().present_handler = handler;
}

extern "C" unsigned HostPresentCount(HWND window) {
    return window_is_live(window) ? window->present_count.load() : 0;
}

extern "C" int HostPumpEvents(void) {
    HostState& h = host();
    std::lock_guard<std::mutex> lock(h.mutex);
    return h.backend ? h.backend->pump_events() : 1;
}

extern "C" HWND GetForegroundWindow(void) { return foreground_window(); }

extern "C" BOOL GetCursorPos(POINT* point) {
    if (!point) return FALSE;
    point->x = host().cursor_x;
    point->y = host().cursor_y;
    return TRUE;
}

/* The executable's path in the system's own form, with backslashes, so that
 * cutting at the last backslash gives its directory. */
extern "C" DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) {
    if (module != nullptr || !buffer || size == 0) return 0;
    HostState& h = host();
    std::u16string path;
    {
        std::lock_guard<std::mutex> lock(h.mutex);
        path = h.module_file_name;
        if (!h.module_file_name_set) {
            char exe[4096];
            ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
            if (n > 0) {
                exe[n] = '\0';
                path = utf8_to_utf16(exe);
                std::replace(path.begin(), path.end(), u'/', u'\\');
            }
        }
    }
    /* Like the system: truncate to size - 1 characters and terminate. */
    DWORD n = static_cast<DWORD>(std::min<size_t>(path.size(), size - 1));
    std::copy(path.begin(), path.begin() + n, buffer);
    buffer[n] = 0;
    return n;
}
