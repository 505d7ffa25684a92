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
    std::mutex display_mutex;  // lock_display()
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
    std::atomic<void (*)(HWND, UINT, WPARAM, LPARAM)> input_handler{nullptr};
};

HostState& host() {
    static HostState state;
    return state;
}

/* The point of a pointer message: x and y as signed 16-bit halves. */
void track_pointer(const InputMessage& m) {
    if (m.message < WM_MOUSEMOVE || m.message > WM_MBUTTONUP) return;
    set_cursor_pos(static_cast<int16_t>(m.lparam & 0xFFFF), static_cast<int16_t>((m.lparam >> 16) & 0xFFFF));
}

}  // namespace

std::unique_lock<std::mutex> lock_display() { return std::unique_lock<std::mutex>(host().display_mutex); }

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

std::unique_ptr<DisplayBackend> make_display_backend(const std::string& setting) {
    if (setting == "sdl") {
        if (auto backend = make_sdl_backend()) return backend;
        std::fprintf(stderr,
                     "kesra: KESRA_DISPLAY=sdl, but the SDL display could not be opened; using headless\n");
    } else if (setting == "fbdev" || setting.rfind("fbdev:", 0) == 0) {
        const std::string device = setting.size() > 6 ? setting.substr(6) : "/dev/fb0";
        std::string error;
        if (auto backend = make_fbdev_backend(device, error)) return backend;
        std::fprintf(stderr, "kesra: KESRA_DISPLAY=%s, but %s; using headless\n", setting.c_str(),
                     error.c_str());
    } else if (setting != "headless") {
        std::fprintf(stderr,
                     "kesra: unknown KESRA_DISPLAY '%s' (headless, sdl, fbdev[:/dev/fbN]); using headless\n",
                     setting.c_str());
    }
    return make_headless_backend();
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
    if (!h.backend) {
        const char* setting = std::getenv("KESRA_DISPLAY");
        h.backend = make_display_backend(setting ? setting : "headless");
    }
    if (!h.backend->open_window(window.get())) return nullptr;
    HWND handle = window.release();
    h.windows.push_back(handle);
    HWND expected = nullptr;
    h.foreground.compare_exchange_strong(expected, handle);  // the first window is in front
    return handle;
}

/* Under the display's lock: a copy to the window on another thread has
 * presented before the back end closes it, or finds the window gone. */
extern "C" void HostDestroyWindow(HWND window) {
    HostState& h = host();
    const std::unique_lock<std::mutex> shown = lock_display();
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
    HostState& h = host();
    std::lock_guard<std::mutex> lock(h.mutex);  // the window is not freed meanwhile
    const bool live = std::find(h.windows.begin(), h.windows.end(), window) != h.windows.end();
    return live ? window->present_count.load() : 0;
}

extern "C" void HostSetInputHandler(void (*handler)(HWND, UINT, WPARAM, LPARAM)) {
    host().input_handler = handler;
}

/* The input is delivered after the host's lock is released, so that the
 * handler may create, destroy and present windows. */
extern "C" int HostPumpEvents(void) {
    HostState& h = host();
    std::vector<InputMessage> input;
    int open = 1;
    {
        std::lock_guard<std::mutex> lock(h.mutex);
        if (h.backend) open = h.backend->pump_events(input);
    }
    for (const InputMessage& m : input) {
        track_pointer(m);
        if (auto handler = h.input_handler.load()) handler(m.window, m.message, m.wparam, m.lparam);
    }
    return open;
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
