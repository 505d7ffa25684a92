/* The SDL back end under SDL's dummy video driver (no display needed): a
 * window KESRA_SDL_SCALE times its size showing each pixel as a block, pointer
 * and key events reaching GetCursorPos and the input handler, frames from
 * another thread shown at the next pump, and closing ending the pump. */
#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

#include "core/pixel.h"
#include "kesra.h"
#include "platform/platform_internal.h"
#include "tests/test_helpers.h"

namespace {

constexpr double kScale = 2;

/* Every test runs on the dummy driver at scale 2, whatever the caller set. */
HWND open_window(int width, int height) {
    setenv("KESRA_DISPLAY", "sdl", 1);
    setenv("KESRA_SDL_SCALE", "2", 1);
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    return HostCreateWindow(width, height);
}

void present(HWND window, const std::vector<uint16_t>& frame) {
    const auto shown = kesra::platform::lock_display();
    window->pixels = frame;
    kesra::platform::present_window(window);
}

SDL_Window* sdl_window_of(HWND window) {
    for (Uint32 id = 1; id < 64; ++id)
        if (SDL_Window* w = SDL_GetWindowFromID(id))
            if (SDL_GetWindowData(w, "kesra.window") == window) return w;
    return nullptr;
}

/* What the SDL window shows, narrowed back to RGB565. */
std::vector<uint16_t> shown(HWND window) {
    SDL_Window* w = sdl_window_of(window);
    int width = 0, height = 0;
    SDL_GetWindowSize(w, &width, &height);
    std::vector<uint32_t> argb(static_cast<size_t>(width) * height);
    EXPECT_EQ(
        SDL_RenderReadPixels(SDL_GetRenderer(w), nullptr, SDL_PIXELFORMAT_ARGB8888, argb.data(), width * 4),
        0)
        << SDL_GetError();
    std::vector<uint16_t> out;
    for (uint32_t p : argb) out.push_back(kesra::narrow565(p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF));
    return out;
}

void push_pointer(Uint32 type, Uint32 window_id, int x, int y) {
    SDL_Event e{};
    e.type = type;
    if (type == SDL_MOUSEMOTION) {
        e.motion.windowID = window_id;
        e.motion.x = x;
        e.motion.y = y;
    } else {
        e.button.windowID = window_id;
        e.button.button = SDL_BUTTON_LEFT;
        e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.button.x = x;
        e.button.y = y;
    }
    SDL_PushEvent(&e);
}

void push_key(Uint32 type, Uint32 window_id, SDL_Keycode key) {
    SDL_Event e{};
    e.type = type;
    e.key.windowID = window_id;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = key;
    SDL_PushEvent(&e);
}

struct Message {
    HWND window;
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};
std::vector<Message> g_messages;
void keep_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    g_messages.push_back({window, message, wparam, lparam});
}

}  // namespace

TEST(SdlDisplay, ScaledWindowShowsEachPixelAsABlock) {
    HWND window = open_window(3, 2);
    ASSERT_NE(window, nullptr);
    SDL_Window* w = sdl_window_of(window);
    ASSERT_NE(w, nullptr) << "KESRA_DISPLAY=sdl did not open an SDL window";
    int width = 0, height = 0;
    SDL_GetWindowSize(w, &width, &height);
    EXPECT_EQ(width, 3 * kScale);
    EXPECT_EQ(height, 2 * kScale);

    const std::vector<uint16_t> frame = {0xF800, 0x07E0, 0x001F, 0xFFFF, 0x0000, 0x8410};
    present(window, frame);
    EXPECT_EQ(HostPumpEvents(), 1);
    const std::vector<uint16_t> seen = shown(window);
    ASSERT_EQ(seen.size(), 24u);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) EXPECT_EQ(seen[y * 6 + x], frame[(y / 2) * 3 + x / 2]) << x << "," << y;
    HostDestroyWindow(window);
}

/* Points are the SDL window's halved: (9, 3) is pixel (4, 1). */
TEST(SdlDisplay, PointerAndKeysReachTheCursorAndTheInputHandler) {
    HWND window = open_window(8, 4);
    const Uint32 id = SDL_GetWindowID(sdl_window_of(window));
    g_messages.clear();
    HostSetInputHandler(keep_message);

    push_pointer(SDL_MOUSEMOTION, id, 9, 3);
    push_pointer(SDL_MOUSEBUTTONDOWN, id, 15, 7);
    push_pointer(SDL_MOUSEBUTTONUP, id, 15, 7);
    push_key(SDL_KEYDOWN, id, SDLK_LEFT);
    push_key(SDL_KEYUP, id, SDLK_a);
    EXPECT_EQ(HostPumpEvents(), 1);
    HostSetInputHandler(nullptr);
    POINT cursor{};
    ASSERT_TRUE(GetCursorPos(&cursor));
    EXPECT_EQ(cursor.x, 7);  // the last point: the button's, at the corner
    EXPECT_EQ(cursor.y, 3);
    ASSERT_EQ(g_messages.size(), 5u);
    const Message expected[5] = {
        {window, WM_MOUSEMOVE, 0, 4 | 1 << 16},
        {window, WM_LBUTTONDOWN, MK_LBUTTON, 7 | 3 << 16},
        {window, WM_LBUTTONUP, 0, 7 | 3 << 16},
        {window, WM_KEYDOWN, VK_LEFT, 1},
        {window, WM_KEYUP, 'A', 1 | LPARAM{1} << 30 | LPARAM{1} << 31},
    };
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(g_messages[i].window, expected[i].window) << i;
        EXPECT_EQ(g_messages[i].message, expected[i].message) << i;
        EXPECT_EQ(g_messages[i].wparam, expected[i].wparam) << i;
        EXPECT_EQ(g_messages[i].lparam, expected[i].lparam) << i;
    }
    HostDestroyWindow(window);
}

/* Frames presented on another thread wait for the pump and the last one is
 * shown; a frame presented on the window's own thread is not followed by an
 * older one still waiting. */
TEST(SdlDisplay, FramesFromAnotherThreadAreShownAtTheNextPump) {
    HWND window = open_window(2, 2);
    const auto filled = [](uint16_t c) { return std::vector<uint16_t>(4, c); };
    present(window, filled(0xF800));
    EXPECT_EQ(shown(window), std::vector<uint16_t>(16, 0xF800));

    std::thread([&] {
        for (uint16_t c = 1; c <= 40; ++c) present(window, filled(c));
    }).join();
    EXPECT_EQ(shown(window), std::vector<uint16_t>(16, 0xF800)) << "drawn off the window's thread";
    EXPECT_EQ(HostPumpEvents(), 1);
    EXPECT_EQ(shown(window), std::vector<uint16_t>(16, 40));

    std::thread([&] { present(window, filled(0x07E0)); }).join();
    present(window, filled(0x001F));
    EXPECT_EQ(HostPumpEvents(), 1);
    EXPECT_EQ(shown(window), std::vector<uint16_t>(16, 0x001F));
    HostDestroyWindow(window);
}

/* The window's own thread and another one copy frames to it (the program
 * and the overlay thread), then the window is destroyed while the other
 * still copies: each copy presents before the back end closes the window or
 * finds it gone. */
TEST(SdlDisplay, WindowDestroyedWhileAnotherThreadPresentsIt) {
    constexpr int kW = 640, kH = 480;  // copies long enough for the destroy to land in one
    HWND window = open_window(kW, kH);
    HDC dc = GetDC(window);
    ASSERT_NE(dc, nullptr);
    std::atomic<int> copies{0};
    std::thread other([&] {
        while (BitBlt(dc, 0, 0, kW, kH, dc, 1, 1, SRCCOPY)) ++copies;
    });
    EXPECT_TRUE(kesra::test::eventually([&] {
        EXPECT_EQ(BitBlt(dc, 1, 1, kW, kH, dc, 0, 0, SRCCOPY), TRUE);
        return HostPumpEvents() == 1 && copies.load() >= 5;
    }));
    HostDestroyWindow(window);
    other.join();
    EXPECT_EQ(BitBlt(dc, 0, 0, kW, kH, dc, 1, 1, SRCCOPY), FALSE);
    EXPECT_EQ(HostPresentCount(window), 0u);
    EXPECT_EQ(ReleaseDC(nullptr, dc), 1);
    EXPECT_EQ(HostPumpEvents(), 1);
}

/* Last: once closed, the pump says so from then on. */
TEST(SdlDisplay, ClosingTheWindowEndsThePump) {
    HWND window = open_window(2, 2);
    EXPECT_EQ(HostPumpEvents(), 1);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    EXPECT_EQ(HostPumpEvents(), 0);
    EXPECT_EQ(HostPumpEvents(), 0);
    HostDestroyWindow(window);
}
