/* live.cpp - navdemo --live: the map as an interactive loop on the chosen
 * back end. Drag with the left button or press the arrow keys to pan, turn
 * the wheel or press + and - to zoom, R to go back, Esc or closing the window
 * to end; the cursor overlay follows the pointer. The scene is drawn once;
 * each frame zooms that picture about its centre (ZoomMap) and shifts it. */
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "demo/scenes.h"

namespace navdemo {
namespace {

enum : LONG { kArrowIcon = 300 };
constexpr int kPanStep = 24;        // pixels per arrow key press
constexpr double kZoomStep = 1.25;  // per wheel notch or key press
constexpr double kMinZoom = 0.25, kMaxZoom = 8;
constexpr unsigned short kOutside = rgb565(236, 232, 222);  // the land beyond the drawn map

/* The view, changed by the input handler and read by the loop: both run on
 * the thread that pumps the events. */
struct View {
    int dx = 0, dy = 0;  // the picture's shift on the screen
    double zoom = 1;
    bool dragging = false;
    int drag_x = 0, drag_y = 0;
    bool changed = true;
    bool ended = false;
};
View g_view;

int point_x(LPARAM l) { return static_cast<int16_t>(l & 0xFFFF); }
int point_y(LPARAM l) { return static_cast<int16_t>((l >> 16) & 0xFFFF); }

void pan_by(int dx, int dy) {
    g_view.dx = std::clamp(g_view.dx + dx, -kWidth, kWidth);
    g_view.dy = std::clamp(g_view.dy + dy, -kHeight, kHeight);
    g_view.changed = true;
}

void zoom_by(double factor) {
    g_view.zoom = std::clamp(g_view.zoom * factor, kMinZoom, kMaxZoom);
    g_view.changed = true;
}

void on_key(WPARAM key) {
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
            g_view = View{};
            break;
        case VK_ESCAPE:
            g_view.ended = true;
            break;
        default:
            break;
    }
}

void on_input(HWND, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_LBUTTONDOWN:
            g_view.dragging = true;
            g_view.drag_x = point_x(lparam);
            g_view.drag_y = point_y(lparam);
            break;
        case WM_LBUTTONUP:
            g_view.dragging = false;
            break;
        case WM_MOUSEMOVE:
            if (g_view.dragging && (wparam & MK_LBUTTON)) {
                pan_by(point_x(lparam) - g_view.drag_x, point_y(lparam) - g_view.drag_y);
                g_view.drag_x = point_x(lparam);
                g_view.drag_y = point_y(lparam);
            }
            break;
        case WM_MOUSEWHEEL:
            zoom_by(static_cast<int16_t>(wparam >> 16) > 0 ? kZoomStep : 1 / kZoomStep);
            break;
        case WM_KEYDOWN:
            on_key(wparam);
            break;
        case WM_CLOSE:
            g_view.ended = true;
            break;
        default:
            break;
    }
}

/* The map zoomed (into zoomed, when the zoom is not 1) and shifted into dc. */
void draw_view(CCEDraw& dc, CCEDraw& map, CCEDraw& zoomed) {
    CCEDraw* source = &map;
    if (g_view.zoom != 1) {
        zoomed.Clear(kOutside);  // a zoomed-out picture leaves the rest as it was
        zoomed.ZoomMap(&map, tagRECT{0, 0, kWidth, kHeight}, g_view.zoom, 0);
        source = &zoomed;
    }
    const auto* from = reinterpret_cast<const uint16_t*>(source->GetBuffer());
    auto* to = reinterpret_cast<uint16_t*>(dc.GetBuffer());
    dc.BeginDraw();
    dc.Clear(kOutside);
    const int x0 = std::max(0, g_view.dx), x1 = std::min(kWidth, kWidth + g_view.dx);
    for (int y = std::max(0, g_view.dy); y < std::min(kHeight, kHeight + g_view.dy); ++y)
        std::memcpy(to + y * kWidth + x0, from + (y - g_view.dy) * kWidth + (x0 - g_view.dx),
                    static_cast<size_t>(x1 - x0) * 2);
    dc.EndDraw();
    dc.FlipBackBuffer(0, 0);
    dc.Flip(3, 0, 0);
}

}  // namespace

int run_live(CCEDraw& dc, const Assets& assets, double seconds) {
    CCEDraw map, zoomed;
    if (!map.Create(kWidth, kHeight, 0, 0, nullptr, 0) || !zoomed.Create(kWidth, kHeight, 0, 0, nullptr, 0)) {
        std::fprintf(stderr, "navdemo: cannot create the live view's buffers\n");
        return 1;
    }
    std::memcpy(map.GetBuffer(), dc.GetBuffer(), static_cast<size_t>(kWidth) * kHeight * 2);
    const std::string pack = assets.dir + "/icons.pack";
    const std::u16string wide(pack.begin(), pack.end());
    const bool cursor =
        CCEBitmap::OpenResource(wide.c_str()) && dc.SetCursor(tagCURSOR_STRUCT{kArrowIcon, 1});
    if (cursor) dc.ShowCursor(1);

    HostSetInputHandler(on_input);
    const auto start = std::chrono::steady_clock::now();
    while (HostPumpEvents() && !g_view.ended) {
        if (g_view.changed) {
            g_view.changed = false;
            draw_view(dc, map, zoomed);
        }
        if (seconds >= 0 && std::chrono::steady_clock::now() - start > std::chrono::duration<double>(seconds))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    HostSetInputHandler(nullptr);
    if (cursor) dc.ShowCursor(0);
    CCEBitmap::CloseResource();
    map.Release();
    zoomed.Release();
    std::printf("navdemo: live view ended at zoom %.2f, shifted by %d,%d\n", g_view.zoom, g_view.dx,
                g_view.dy);
    return 0;
}

}  // namespace navdemo
