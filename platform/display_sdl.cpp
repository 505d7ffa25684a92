/* display_sdl.cpp - each window is a desktop window through SDL2, drawn
 * KESRA_SDL_SCALE times its size with square pixels and stretched when the
 * user resizes it. SDL draws only on the thread that made the window: a frame
 * presented on another thread (the overlay thread) is copied whole under a
 * lock and shown at the next pump; a later frame replaces an unshown one. */
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "host.h"
#include "platform/platform_internal.h"

namespace kesra::platform {
namespace {

constexpr const char* kWindowKey = "kesra.window";  // SDL window data: its HWND

struct SdlWindow {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    std::mutex queue_mutex;
    std::vector<uint16_t> queued;  // the latest frame from another thread
    bool pending = false;
};

/* KESRA_SDL_SCALE: a factor from 0.25 to 16, 1 when unset or unreadable. */
double window_scale() {
    const char* text = std::getenv("KESRA_SDL_SCALE");
    if (!text || !*text) return 1;
    char* end = nullptr;
    const double scale = std::strtod(text, &end);
    if (*end != '\0' || !(scale >= 0.25 && scale <= 16)) {
        std::fprintf(stderr, "kesra: KESRA_SDL_SCALE '%s' is not a number from 0.25 to 16; using 1\n", text);
        return 1;
    }
    return scale;
}

struct KeyCode {
    SDL_Keycode key;
    WPARAM code;
};

constexpr KeyCode kVirtualKeys[] = {
    {SDLK_BACKSPACE, VK_BACK},  {SDLK_TAB, VK_TAB},         {SDLK_RETURN, VK_RETURN},
    {SDLK_KP_ENTER, VK_RETURN}, {SDLK_ESCAPE, VK_ESCAPE},   {SDLK_SPACE, VK_SPACE},
    {SDLK_PAGEUP, VK_PRIOR},    {SDLK_PAGEDOWN, VK_NEXT},   {SDLK_END, VK_END},
    {SDLK_HOME, VK_HOME},       {SDLK_LEFT, VK_LEFT},       {SDLK_UP, VK_UP},
    {SDLK_RIGHT, VK_RIGHT},     {SDLK_DOWN, VK_DOWN},       {SDLK_INSERT, VK_INSERT},
    {SDLK_DELETE, VK_DELETE},   {SDLK_KP_PLUS, VK_ADD},     {SDLK_KP_MINUS, VK_SUBTRACT},
    {SDLK_PLUS, VK_OEM_PLUS},   {SDLK_EQUALS, VK_OEM_PLUS}, {SDLK_MINUS, VK_OEM_MINUS},
    {SDLK_LSHIFT, VK_SHIFT},    {SDLK_RSHIFT, VK_SHIFT},    {SDLK_LCTRL, VK_CONTROL},
    {SDLK_RCTRL, VK_CONTROL},   {SDLK_LALT, VK_MENU},       {SDLK_RALT, VK_MENU},
};

/* The system's virtual-key code of an SDL key; 0 for keys it has none for. */
WPARAM virtual_key(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return static_cast<WPARAM>('A' + (key - SDLK_a));
    if (key >= SDLK_0 && key <= SDLK_9) return static_cast<WPARAM>(key);
    if (key >= SDLK_F1 && key <= SDLK_F12) return static_cast<WPARAM>(VK_F1 + (key - SDLK_F1));
    for (const KeyCode& k : kVirtualKeys)
        if (k.key == key) return k.code;
    return 0;
}

LPARAM point_lparam(int x, int y) {
    return static_cast<LPARAM>(static_cast<uint16_t>(x) | static_cast<uint32_t>(static_cast<uint16_t>(y))
                                                              << 16);
}

class SdlBackend final : public DisplayBackend {
   public:
    SdlBackend() : owner_(std::this_thread::get_id()), scale_(window_scale()) {
        SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    }
    ~SdlBackend() override { SDL_QuitSubSystem(SDL_INIT_VIDEO); }

    const char* name() const override { return "sdl"; }

    bool open_window(HWND window) override {
        auto* w = new SdlWindow;
        const int width = std::max(1, static_cast<int>(std::lround(window->width * scale_)));
        const int height = std::max(1, static_cast<int>(std::lround(window->height * scale_)));
        w->window = SDL_CreateWindow("libkesra", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width,
                                     height, SDL_WINDOW_RESIZABLE);
        if (w->window) w->renderer = SDL_CreateRenderer(w->window, -1, 0);
        if (w->renderer)
            w->texture = SDL_CreateTexture(w->renderer, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING,
                                           window->width, window->height);
        if (!w->texture) {
            destroy(w);
            return false;
        }
        SDL_SetWindowData(w->window, kWindowKey, window);
        window->backend_data = w;
        windows_.push_back(window);
        return true;
    }

    void close_window(HWND window) override {
        destroy(static_cast<SdlWindow*>(window->backend_data));
        window->backend_data = nullptr;
        windows_.erase(std::remove(windows_.begin(), windows_.end(), window), windows_.end());
    }

    /* Called under the display's lock, so its pixels are whole. */
    void present(HWND window) override {
        auto* w = static_cast<SdlWindow*>(window->backend_data);
        if (!w) return;
        std::lock_guard<std::mutex> lock(w->queue_mutex);
        if (std::this_thread::get_id() == owner_) {
            w->pending = false;  // an older frame from another thread must not follow this one
            show(w, window->pixels.data(), window->width);
        } else {
            w->queued = window->pixels;
            w->pending = true;
        }
    }

    int pump_events(std::vector<InputMessage>& input) override {
        SDL_Event event;
        while (SDL_PollEvent(&event)) handle(event, input);
        for (HWND window : windows_) {
            auto* w = static_cast<SdlWindow*>(window->backend_data);
            std::lock_guard<std::mutex> lock(w->queue_mutex);
            if (!w->pending) continue;
            w->pending = false;
            show(w, w->queued.data(), window->width);
        }
        return closed_ ? 0 : 1;
    }

   private:
    static void show(SdlWindow* w, const uint16_t* pixels, int width) {
        SDL_UpdateTexture(w->texture, nullptr, pixels, width * 2);
        SDL_RenderClear(w->renderer);
        SDL_RenderCopy(w->renderer, w->texture, nullptr, nullptr);
        SDL_RenderPresent(w->renderer);
    }

    static void destroy(SdlWindow* w) {
        if (!w) return;
        if (w->texture) SDL_DestroyTexture(w->texture);
        if (w->renderer) SDL_DestroyRenderer(w->renderer);
        if (w->window) SDL_DestroyWindow(w->window);
        delete w;
    }

    /* The library's window an SDL event is for; the first window when the
     * event names none of them. */
    HWND window_of(Uint32 id) const {
        SDL_Window* sdl = SDL_GetWindowFromID(id);
        HWND window = sdl ? static_cast<HWND>(SDL_GetWindowData(sdl, kWindowKey)) : nullptr;
        return window ? window : windows_.empty() ? nullptr : windows_.front();
    }

    /* A point in the SDL window as a pixel of the library's window, which is
     * stretched over the whole SDL window; kept inside the window. */
    LPARAM window_point(HWND window, int x, int y) const {
        auto* w = static_cast<SdlWindow*>(window->backend_data);
        int shown_width = 0, shown_height = 0;
        SDL_GetWindowSize(w->window, &shown_width, &shown_height);
        const auto scaled = [](int v, int shown, int size) {
            const int64_t p = shown > 0 ? int64_t{v} * size / shown : v;
            return static_cast<int>(std::clamp<int64_t>(p, 0, size - 1));
        };
        return point_lparam(scaled(x, shown_width, window->width), scaled(y, shown_height, window->height));
    }

    WPARAM buttons_held() const {
        const SDL_Keymod mod = SDL_GetModState();
        return buttons_ | (mod & KMOD_SHIFT ? MK_SHIFT : 0) | (mod & KMOD_CTRL ? MK_CONTROL : 0);
    }

    void handle(const SDL_Event& event, std::vector<InputMessage>& input) {
        switch (event.type) {
            case SDL_QUIT:
                closed_ = true;
                break;
            case SDL_WINDOWEVENT:
                if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
                    closed_ = true;
                    if (HWND window = window_of(event.window.windowID))
                        input.push_back({window, WM_CLOSE, 0, 0});
                }
                break;
            case SDL_MOUSEMOTION:
                if (HWND window = window_of(event.motion.windowID)) {
                    pointer_ = window_point(window, event.motion.x, event.motion.y);
                    input.push_back({window, WM_MOUSEMOVE, buttons_held(), pointer_});
                }
                break;
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP:
                if (HWND window = window_of(event.button.windowID)) button(window, event.button, input);
                break;
            case SDL_MOUSEWHEEL:
                if (HWND window = window_of(event.wheel.windowID)) {
                    const int turn =
                        (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -1 : 1) * event.wheel.y;
                    const WPARAM delta = static_cast<uint16_t>(turn * WHEEL_DELTA);
                    input.push_back({window, WM_MOUSEWHEEL, delta << 16 | buttons_held(), pointer_});
                }
                break;
            case SDL_KEYDOWN:
            case SDL_KEYUP:
                if (HWND window = window_of(event.key.windowID)) key(window, event.key, input);
                break;
            default:
                break;
        }
    }

    void button(HWND window, const SDL_MouseButtonEvent& e, std::vector<InputMessage>& input) {
        struct ButtonMessages {
            Uint8 button;
            UINT down, up;
            WPARAM flag;
        };
        static constexpr ButtonMessages kButtons[] = {
            {SDL_BUTTON_LEFT, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON},
            {SDL_BUTTON_RIGHT, WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON},
            {SDL_BUTTON_MIDDLE, WM_MBUTTONDOWN, WM_MBUTTONUP, MK_MBUTTON}};
        const ButtonMessages* b = std::find_if(std::begin(kButtons), std::end(kButtons),
                                               [&](const ButtonMessages& m) { return m.button == e.button; });
        if (b == std::end(kButtons)) return;
        const bool pressed = e.state == SDL_PRESSED;
        buttons_ = pressed ? buttons_ | b->flag : buttons_ & ~b->flag;
        pointer_ = window_point(window, e.x, e.y);
        input.push_back({window, pressed ? b->down : b->up, buttons_held(), pointer_});
    }

    static void key(HWND window, const SDL_KeyboardEvent& e, std::vector<InputMessage>& input) {
        const WPARAM code = virtual_key(e.keysym.sym);
        if (!code) return;
        const bool pressed = e.state == SDL_PRESSED;
        LPARAM flags = 1;  // repeat count
        if (e.repeat || !pressed) flags |= LPARAM{1} << 30;
        if (!pressed) flags |= LPARAM{1} << 31;
        input.push_back({window, static_cast<UINT>(pressed ? WM_KEYDOWN : WM_KEYUP), code, flags});
    }

    std::thread::id owner_;
    double scale_;
    std::vector<HWND> windows_;
    bool closed_ = false;  // the user closed a window: the program should end
    WPARAM buttons_ = 0;   // MK_ flags of the buttons held
    LPARAM pointer_ = 0;   // the pointer's last point
};

}  // namespace

std::unique_ptr<DisplayBackend> make_sdl_backend() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return nullptr;
    return std::make_unique<SdlBackend>();
}

}  // namespace kesra::platform
