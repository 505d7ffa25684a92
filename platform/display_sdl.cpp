/* display_sdl.cpp - each window is a desktop window through SDL2, scaled to
 * fit. SDL draws only on the thread that made the window, so a frame presented
 * from another thread (the overlay thread) is shown at the next pump. */
#include <SDL.h>

#include <algorithm>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/platform_internal.h"

namespace kesra::platform {
namespace {

struct SdlWindow {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    std::atomic<bool> pending{false};
};

class SdlBackend final : public DisplayBackend {
   public:
    SdlBackend() : owner_(std::this_thread::get_id()) {}
    ~SdlBackend() override { SDL_QuitSubSystem(SDL_INIT_VIDEO); }

    bool open_window(HWND window) override {
        auto* w = new SdlWindow;
        w->window = SDL_CreateWindow("libkesra", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                     window->width, window->height, SDL_WINDOW_RESIZABLE);
        if (w->window) w->renderer = SDL_CreateRenderer(w->window, -1, 0);
        if (w->renderer)
            w->texture = SDL_CreateTexture(w->renderer, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING,
                                           window->width, window->height);
        if (!w->texture) {
            destroy(w);
            return false;
        }
        window->backend_data = w;
        windows_.push_back(window);
        return true;
    }

    void close_window(HWND window) override {
        destroy(static_cast<SdlWindow*>(window->backend_data));
        window->backend_data = nullptr;
        windows_.erase(std::remove(windows_.begin(), windows_.end(), window), windows_.end());
    }

    void present(HWND window) override {
        auto* w = static_cast<SdlWindow*>(window->backend_data);
        if (!w) return;
        if (std::this_thread::get_id() == owner_)
            show(window, w);
        else
            w->pending = true;
    }

    int pump_events() override {
        SDL_Event event;
        int open = 1;
        while (SDL_PollEvent(&event)) {
            if (event.type == SDL_QUIT) open = 0;
            if (event.type == SDL_MOUSEMOTION) set_cursor_pos(event.motion.x, event.motion.y);
        }
        for (HWND window : windows_) {
            auto* w = static_cast<SdlWindow*>(window->backend_data);
            if (w && w->pending.exchange(false)) show(window, w);
        }
        return open;
    }

   private:
    static void show(HWND window, SdlWindow* w) {
        SDL_UpdateTexture(w->texture, nullptr, window->pixels.data(), window->width * 2);
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

    std::thread::id owner_;
    std::vector<HWND> windows_;
};

}  // namespace

std::unique_ptr<DisplayBackend> make_sdl_backend() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return nullptr;
    return std::make_unique<SdlBackend>();
}

}  // namespace kesra::platform
