/* live.cpp - the loop of navdemo --live and --frames: the map redrawn for the
 * view whenever it moves, the cursor overlay following the pointer, and
 * transitions between the map, the menu page and the photo screen. On the
 * map, drag with the left button or press the arrow keys to pan, turn the
 * wheel or press + and - to zoom, R to reset the view; M opens the menu, P
 * the photos; Esc goes back to the map and, on the map, ends. --frames feeds
 * the same input handler a seeded path of events, one step per frame. */
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "demo/contact_sheet.h"
#include "demo/profile_hud.h"
#include "demo/scenes.h"

namespace navdemo {
namespace {

enum : LONG { kArrowIcon = 300 };
constexpr int kPanStep = 24;        // pixels per arrow key press
constexpr double kZoomStep = 1.25;  // per wheel notch or key press
constexpr double kMinZoom = 0.5, kMaxZoom = 4;
constexpr LONG kTransitionMs = 400;

enum class Screen { kMap, kMenu, kPhotos };

/* The loop's state, changed by the input handler and read by the loop: both
 * run on the thread that pumps the events. */
struct State {
    MapView view;
    Screen screen = Screen::kMap;
    bool dragging = false;
    int drag_x = 0, drag_y = 0;
    bool changed = true;  // the screen must be drawn again
    bool moved = false;   // the pointer moved: present again for the cursor
    bool ended = false;
};
State g_state;

int point_x(LPARAM l) { return static_cast<int16_t>(l & 0xFFFF); }
int point_y(LPARAM l) { return static_cast<int16_t>((l >> 16) & 0xFFFF); }
LPARAM point_param(int x, int y) { return static_cast<LPARAM>((x & 0xFFFF) | (y & 0xFFFF) << 16); }

void pan_by(int dx, int dy) {
    const double reach_x = kWidth * g_state.view.scale, reach_y = kHeight * g_state.view.scale;
    g_state.view.x = std::clamp(g_state.view.x + dx, -reach_x, reach_x);
    g_state.view.y = std::clamp(g_state.view.y + dy, -reach_y, reach_y);
    g_state.changed = true;
}

/* About the screen's centre: the offset grows with the scale. */
void zoom_by(double factor) {
    const double scale = std::clamp(g_state.view.scale * factor, kMinZoom, kMaxZoom);
    const double applied = scale / g_state.view.scale;
    g_state.view = MapView{g_state.view.x * applied, g_state.view.y * applied, scale};
    g_state.changed = true;
}

void go_to(Screen screen) {
    if (g_state.screen == screen) return;
    g_state.screen = screen;
    g_state.dragging = false;
    g_state.changed = true;
}

void on_map_key(WPARAM key) {
    switch (key) {
        case VK_LEFT:
            pan_by(kPanStep, 0);
            break;
        case VK_RIGHT:
            pan_by(-kPanStep, 0);
            break;
        case VK_UP:
            pan_by(0, kPanStep);
            break;
        case VK_DOWN:
            pan_by(0, -kPanStep);
            break;
        case VK_ADD:
        case VK_OEM_PLUS:
            zoom_by(kZoomStep);
            break;
        case VK_SUBTRACT:
        case VK_OEM_MINUS:
            zoom_by(1 / kZoomStep);
            break;
        case 'R':
            g_state.view = MapView{};
            g_state.changed = true;
            break;
        default:
            break;
    }
}

void on_key(WPARAM key) {
    if (key == VK_ESCAPE) {
        if (g_state.screen == Screen::kMap) g_state.ended = true;
        go_to(Screen::kMap);
    } else if (key == 'M') {
        go_to(Screen::kMenu);
    } else if (key == 'P') {
        go_to(Screen::kPhotos);
    } else if (g_state.screen == Screen::kMap) {
        on_map_key(key);
    }
}

void on_input(HWND, UINT message, WPARAM wparam, LPARAM lparam) {
    const bool on_map = g_state.screen == Screen::kMap;
    switch (message) {
        case WM_LBUTTONDOWN:
            g_state.dragging = on_map;
            g_state.drag_x = point_x(lparam);
            g_state.drag_y = point_y(lparam);
            break;
        case WM_LBUTTONUP:
            g_state.dragging = false;
            break;
        case WM_MOUSEMOVE:
            g_state.moved = true;
            if (g_state.dragging && (wparam & MK_LBUTTON)) {
                pan_by(point_x(lparam) - g_state.drag_x, point_y(lparam) - g_state.drag_y);
                g_state.drag_x = point_x(lparam);
                g_state.drag_y = point_y(lparam);
            }
            break;
        case WM_MOUSEWHEEL:
            if (on_map) zoom_by(static_cast<int16_t>(wparam >> 16) > 0 ? kZoomStep : 1 / kZoomStep);
            break;
        case WM_KEYDOWN:
            on_key(wparam);
            break;
        case WM_CLOSE:
            g_state.ended = true;
            break;
        default:
            break;
    }
}

/* The screens drawn on dc and presented, the menu and photo pages drawn once
 * into surfaces of their own and copied in when shown. */
class Loop {
   public:
    Loop(CCEDraw& dc, const Assets& assets, const std::string& work_dir)
        : dc_(dc), assets_(assets), work_dir_(work_dir) {
        g_state = State{};
    }
    ~Loop() {
        HostSetInputHandler(nullptr);
        if (cursor_) dc_.ShowCursor(0);
        menu_.Release();
        photos_.Release();
    }

    /* The pages and the cursor; the map must be on dc (the photo screen lists it). */
    bool open() {
        if (!menu_.Create(kWidth, kHeight, 0, 0, nullptr, 0) ||
            !photos_.Create(kWidth, kHeight, 0, 0, nullptr, 0)) {
            std::fprintf(stderr, "navdemo: cannot create the loop's pages\n");
            return false;
        }
        if (!draw_menu_page(menu_, assets_) || !draw_photo_screen(photos_, dc_, work_dir_ + "/photos"))
            return false;
        const std::string pack = assets_.dir + "/icons.pack";
        const std::u16string wide(pack.begin(), pack.end());
        cursor_ = CCEBitmap::OpenResource(wide.c_str()) && dc_.SetCursor(tagCURSOR_STRUCT{kArrowIcon, 1});
        if (cursor_) dc_.ShowCursor(1);
        CCEBitmap::CloseResource();
        HostSetInputHandler(on_input);
        return true;
    }

    /* Draws the current screen when it changed, else presents again when the
     * pointer moved, then calls taken(). The overlay thread keeps away from
     * the drawing until taken() returns, so what it sees is this frame. */
    template <typename Taken>
    void show(Taken taken) {
        dc_.BeginDraw();
        if (g_state.changed) {
            draw_screen();
        } else if (g_state.moved) {
            profile_frame(dc_);
            dc_.FlipBackBuffer(0, 0);
            dc_.Flip(3, 0, 0);
        }
        g_state.changed = g_state.moved = false;
        taken();
        dc_.EndDraw();
    }
    void show() {
        show([] {});
    }

   private:
    void draw_screen() {
        const Screen screen = g_state.screen;
        if (screen == Screen::kMap)
            draw_map_screen(dc_, assets_, g_state.view);
        else
            std::memcpy(dc_.GetBuffer(), (screen == Screen::kMenu ? menu_ : photos_).GetBuffer(),
                        static_cast<size_t>(kWidth) * kHeight * 2);
        if (screen != shown_) {
            const DWORD effect = screen == Screen::kMenu     ? RF_IN | RF_SLIDE_LEFT
                                 : screen == Screen::kPhotos ? RF_OUT | RF_TURN
                                                             : RF_IN | RF_SLIDE_RIGHT;
            dc_.RenderFlip(tagRENDERFLIP_STRUCT{effect, {0, 0, kWidth, kHeight}, kTransitionMs});
        }
        profile_frame(dc_);
        dc_.FlipBackBuffer(0, 0);  // after a transition too: it ends on the screen exactly
        dc_.Flip(3, 0, 0);
        shown_ = screen;
    }

    CCEDraw& dc_;
    const Assets& assets_;
    const std::string work_dir_;
    CCEDraw menu_, photos_;
    Screen shown_ = Screen::kMap;
    bool cursor_ = false;
};

/* The seeded path of input for --frames: the pointer wanders every frame; a
 * twentieth of the run is a phase: drag to pan (0-5), wheel in and out
 * (6-8), the menu and back (10-11), the photos and back (12-13), arrow keys
 * (14-17), zoom out (18-19). */
class InputPath {
   public:
    explicit InputPath(int frames) : frames_(frames) {}

    void feed(int frame) {
        const int phase = phase_of(frame);
        const bool starts = frame == 0 || phase_of(frame - 1) != phase;
        if (phase <= 5 && starts) send(WM_LBUTTONDOWN, MK_LBUTTON, point_param(x_, y_));
        if (phase == 6 && starts) send(WM_LBUTTONUP, 0, point_param(x_, y_));
        wander(phase <= 5 ? MK_LBUTTON : 0);
        if (phase >= 6 && phase <= 8 && frame % 2 == 0)
            send(WM_MOUSEWHEEL, static_cast<WPARAM>(phase == 8 ? -WHEEL_DELTA : WHEEL_DELTA) << 16,
                 point_param(x_, y_));
        if (starts) {
            static const WPARAM kKeys[20] = {0, 0, 0, 0,   0,           0,          0,
                                             0, 0, 0, 'M', VK_ESCAPE,   'P',        VK_ESCAPE,
                                             0, 0, 0, 0,   VK_SUBTRACT, VK_SUBTRACT};
            if (kKeys[phase]) send(WM_KEYDOWN, kKeys[phase], 0);
        }
        if (phase >= 14 && phase <= 17) {
            static const WPARAM kArrows[4] = {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN};
            send(WM_KEYDOWN, kArrows[random_() % 4], 0);
        }
    }

   private:
    int phase_of(int frame) const { return static_cast<int>(static_cast<long long>(frame) * 20 / frames_); }

    /* The pointer moves up to 30 pixels each way, kept on the screen. */
    void wander(WPARAM buttons) {
        x_ = std::clamp(x_ + static_cast<int>(random_() % 61) - 30, 0, kWidth - 1);
        y_ = std::clamp(y_ + static_cast<int>(random_() % 61) - 30, 0, kHeight - 1);
        HostSetCursorPos(x_, y_);
        send(WM_MOUSEMOVE, buttons, point_param(x_, y_));
    }

    static void send(UINT message, WPARAM wparam, LPARAM lparam) {
        on_input(nullptr, message, wparam, lparam);
    }

    int frames_;
    std::mt19937 random_{15};  // its sequence is fixed by the standard
    int x_ = kWidth / 2, y_ = kHeight / 2;
};

/* At most 60 frames on the sheet, evenly spaced, ten to a row. */
struct SheetLayout {
    explicit SheetLayout(int frames)
        : stride((frames + 59) / 60), rows(((frames + stride - 1) / stride + 9) / 10) {}
    int stride, rows;
    static constexpr int kColumns = 10;
};

}  // namespace

void draw_first_frame(CCEDraw& dc, const Assets& assets) {
    Loop loop(dc, assets, std::string());
    loop.show();
}

int run_live(CCEDraw& dc, const Assets& assets, const std::string& work_dir, double seconds) {
    Loop loop(dc, assets, work_dir);
    loop.show();
    if (!loop.open()) return 1;
    const auto start = std::chrono::steady_clock::now();
    while (HostPumpEvents() && !g_state.ended) {
        loop.show();
        if (seconds >= 0 && std::chrono::steady_clock::now() - start > std::chrono::duration<double>(seconds))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::printf("navdemo: live view ended at zoom %.2f, shifted by %.0f,%.0f\n", g_state.view.scale,
                g_state.view.x, g_state.view.y);
    return 0;
}

int run_frames(HWND window, CCEDraw& dc, const Assets& assets, int frames, const std::string& out_dir) {
    if (frames < 1) {
        std::fprintf(stderr, "navdemo: --frames needs a count of at least 1\n");
        return 1;
    }
    Loop loop(dc, assets, out_dir);
    HostSetCursorPos(kWidth / 2, kHeight / 2);
    loop.show();
    if (!loop.open()) return 1;
    InputPath path(frames);
    const SheetLayout layout(frames);
    ContactSheet sheet(SheetLayout::kColumns, layout.rows);
    std::vector<uint16_t> shown;
    for (int frame = 0; frame < frames; ++frame) {
        path.feed(frame);
        loop.show([&] {
            const uint16_t* pixels = HostWindowPixels(window);
            shown.assign(pixels, pixels + static_cast<size_t>(kWidth) * kHeight);
        });
        if (frame % layout.stride == 0) {
            const int cell = frame / layout.stride;
            sheet.place(cell % SheetLayout::kColumns, cell / SheetLayout::kColumns, shown.data());
        }
        if (frame == 0 && !write_picture(out_dir + "/frame_first.png", shown.data(), kWidth, kHeight))
            return 1;
    }
    if (!write_picture(out_dir + "/frame_last.png", shown.data(), kWidth, kHeight) ||
        !sheet.write(out_dir + "/frames_sheet.png"))
        return 1;
    std::printf("navdemo: wrote %d frames' frame_first.png, frame_last.png and frames_sheet.png to %s\n",
                frames, out_dir.c_str());
    return 0;
}

}  // namespace navdemo
