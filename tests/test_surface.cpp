/* Surfaces: the shared back buffer and its reference count, the drawing
 * brackets and their errors, presentation with the foreground rule and the
 * colour key, dimming, and the overlay thread's life. */
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <thread>
#include <vector>

#include "surface/overlay.h"
#include "surface/shared_state.h"
#include "tests/test_helpers.h"

using kesra::test::eventually;
using kesra::test::Screen;

namespace {

void fill_buffer(unsigned char* bits, LONG bytes, uint16_t value) {
    auto* p = reinterpret_cast<uint16_t*>(bits);
    for (LONG i = 0; i < bytes / 2; ++i) p[i] = value;
}

}  // namespace

TEST(SharedState, SurfacesShareOneBackBufferOfTheFirstGeometry) {
    HWND window = HostCreateWindow(32, 16);
    HostSetForegroundWindow(window);
    CCEGraphics first, second;
    ASSERT_EQ(first.Create(32, 16, 0, 0, window, 0), 1);
    EXPECT_EQ(first.IsGXInit(), 1);
    EXPECT_EQ(CCEGraphics::m_dwRefCount, 1u);
    EXPECT_EQ(CCEGraphics::m_lMemorySize, 32 * 16 * 2);
    EXPECT_NE(CCEGraphics::m_pDoubleBuffer2, nullptr);
    unsigned char* back = CCEGraphics::m_pBackBuffer;

    ASSERT_EQ(second.Create(64, 64, 0, 0, window, 0), 1);  // other sizes: first geometry wins
    EXPECT_EQ(CCEGraphics::m_dwRefCount, 2u);
    EXPECT_EQ(CCEGraphics::m_pBackBuffer, back);
    EXPECT_EQ(kesra::m_DisplayProps.dwWidth, 32u);
    EXPECT_EQ(kesra::m_DisplayProps.lYPitch, 64);
    EXPECT_NE(first.GetBuffer(), second.GetBuffer());
    EXPECT_EQ(second.GetBuffer(), second.m_pBits);

    EXPECT_EQ(second.Create(32, 16, 0, 0, window, 0), 1);  // already created: no new count
    EXPECT_EQ(CCEGraphics::m_dwRefCount, 2u);

    EXPECT_EQ(second.Release(), 1);
    EXPECT_EQ(CCEGraphics::m_dwRefCount, 1u);
    EXPECT_EQ(second.GetBuffer(), nullptr);
    EXPECT_EQ(first.IsGXInit(), 1);
    EXPECT_EQ(second.Release(), 1);  // a released surface changes nothing
    EXPECT_EQ(CCEGraphics::m_dwRefCount, 1u);

    EXPECT_EQ(first.Release(), 1);
    EXPECT_EQ(first.IsGXInit(), 0);
    EXPECT_EQ(CCEGraphics::m_pDoubleBuffer2, nullptr);
    EXPECT_EQ(CCEGraphics::m_dwRefCount, 0u);

    CCEGraphics never_created;
    EXPECT_EQ(never_created.Release(), 1);

    ASSERT_EQ(first.Create(16, 8, 0, 0, window, 0), 1);  // built again, with new sizes
    EXPECT_EQ(kesra::m_DisplayProps.dwWidth, 16u);
    EXPECT_EQ(CCEGraphics::m_lMemorySize, 16 * 8 * 2);
    first.Release();
    HostDestroyWindow(window);
}

TEST(DrawingBrackets, BeginTwiceAndTheBufferErrors) {
    Screen screen(8, 8);
    CCEDraw& dc = *screen.dc;
    EXPECT_EQ(dc.BeginDraw(), 1);
    EXPECT_EQ(kesra::m_Overlay.drawing.load(), 1);
    EXPECT_EQ(dc.BeginDraw(), 0);
    EXPECT_EQ(dc.GetLastError(), 0u);  // the second call sets no code
    EXPECT_EQ(dc.EndDraw(), 1);
    EXPECT_EQ(kesra::m_Overlay.drawing.load(), 0);
    EXPECT_EQ(dc.EndDraw(), 1);  // EndDraw does not check BeginDraw

    CCEDraw unbuffered;
    EXPECT_EQ(unbuffered.BeginDraw(), 0);
    EXPECT_EQ(unbuffered.GetLastError(), 106u);
    EXPECT_EQ(unbuffered.EndDraw(), 0);
    EXPECT_EQ(unbuffered.GetLastError(), 112u);
    EXPECT_EQ(unbuffered.FlipBackBuffer(0, 0), 0);
    EXPECT_EQ(unbuffered.GetLastError(), 112u);
    EXPECT_EQ(unbuffered.Flip(3, 0, 0), 0);
    EXPECT_EQ(unbuffered.GetLastError(), 112u);
}

TEST(DrawingBrackets, SuspendedSurfaceFailsWith105) {
    Screen screen(8, 8);
    CCEDraw& dc = *screen.dc;
    EXPECT_EQ(dc.Suspend(), 1);
    EXPECT_EQ(dc.IsSuspend(), 1);
    for (auto call :
         {+[](CCEDraw& d) { return d.BeginDraw(); }, +[](CCEDraw& d) { return d.EndDraw(); },
          +[](CCEDraw& d) { return d.Flip(3, 0, 0); }, +[](CCEDraw& d) { return d.FlipBackBuffer(0, 0); }}) {
        dc.m_dwLastError = 0;
        EXPECT_EQ(call(dc), 0);
        EXPECT_EQ(dc.GetLastError(), 105u);
    }
    EXPECT_EQ(dc.Resume(), 1);
    EXPECT_EQ(dc.BeginDraw(), 1);
    EXPECT_EQ(dc.GetLastError(), 105u);  // never cleared by a success
    dc.EndDraw();
}

TEST(Presentation, FlipShowsTheBackBufferOnTheForegroundWindow) {
    Screen screen(8, 4);
    screen.fill(0x1234);
    const unsigned before = HostPresentCount(screen.window);
    EXPECT_EQ(screen.dc->FlipBackBuffer(0, 0), 1);
    EXPECT_EQ(screen.dc->Flip(3, 0, 0), 1);
    EXPECT_EQ(HostPresentCount(screen.window), before + 1);
    const uint16_t* shown = HostWindowPixels(screen.window);
    EXPECT_EQ(std::vector<uint16_t>(shown, shown + 32), std::vector<uint16_t>(32, 0x1234));

    HWND other = HostCreateWindow(8, 4);
    HostSetForegroundWindow(other);
    screen.fill(0x4321);
    screen.dc->FlipBackBuffer(0, 0);
    screen.dc->m_dwLastError = 0;
    EXPECT_EQ(screen.dc->Flip(3, 0, 0), 0);  // another window is in front
    EXPECT_EQ(screen.dc->GetLastError(), 0u);
    EXPECT_EQ(HostPresentCount(screen.window), before + 1);
    EXPECT_EQ(shown[0], 0x1234);

    screen.dc->SetFlipBk(1);
    EXPECT_EQ(CCEGraphics::m_bFlipBk, 1);
    EXPECT_EQ(screen.dc->Flip(3, 0, 0), 1);
    EXPECT_EQ(shown[0], 0x4321);
    screen.dc->SetFlipBk(0);
    HostDestroyWindow(other);
}

TEST(Presentation, ColourKeyLeavesKeyedPixelsOfTheBackBuffer) {
    Screen screen(16, 4);
    fill_buffer(CCEGraphics::m_pBackBuffer, CCEGraphics::m_lMemorySize, 0x0F0F);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 16; ++x)
            screen.at(x, y) = (x + y) % 3 == 0 ? 0xF81F : static_cast<uint16_t>(x * 16 + y);
    EXPECT_EQ(screen.dc->FlipBackBuffer(1, 0xF81F), 1);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(screen.back(x, y), (x + y) % 3 == 0 ? 0x0F0F : x * 16 + y) << x << "," << y;
    EXPECT_EQ(screen.dc->FlipBackBuffer(0, 0xF81F), 1);  // no key: a plain copy
    EXPECT_EQ(screen.back(0, 0), 0xF81F);
}

TEST(Presentation, DimmingScalesEveryPixelAtFlip) {
    Screen screen(6, 3);
    screen.fill(0xFFFF);
    EXPECT_EQ(screen.dc->SetBlackSrceenLevel(32), 0);
    EXPECT_EQ(screen.dc->SetBlackSrceenLevel(-1), 0);
    EXPECT_EQ(CCEGraphics::m_uBlackScreen, 0);
    EXPECT_EQ(screen.dc->SetBlackSrceenLevel(16), 1);
    screen.dc->FlipBackBuffer(0, 0);
    screen.dc->Flip(3, 0, 0);
    const uint16_t* shown = HostWindowPixels(screen.window);
    EXPECT_EQ(std::vector<uint16_t>(shown, shown + 18), std::vector<uint16_t>(18, 0x7BEF));
    screen.at(5, 2) = 0xF81F;
    EXPECT_EQ(screen.dc->SetBlackSrceenLevel(0), 1);
    screen.dc->FlipBackBuffer(0, 0);
    screen.dc->Flip(3, 0, 0);
    EXPECT_EQ(shown[17], 0xF81F);
}

TEST(OverlayThread, IdleWithoutOverlaysAndStopsPromptly) {
    Screen screen(8, 8);
    screen.dc->FlipBackBuffer(0, 0);
    const unsigned before = HostPresentCount(screen.window);
    std::this_thread::sleep_for(std::chrono::milliseconds(350));
    EXPECT_EQ(HostPresentCount(screen.window), before);  // nothing shown: nothing presented
}

TEST(OverlayThread, ReleaseWakesTheThreadInsteadOfWaitingOutItsSleep) {
    HWND window = HostCreateWindow(8, 8);
    /* Were each Release to wait out the 100 ms sleep, 20 rounds would take 2 s. */
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 20; ++i) {
        CCEGraphics surface;
        ASSERT_EQ(surface.Create(8, 8, 0, 0, window, 0), 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));  // let the thread reach its sleep
        surface.Release();
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::milliseconds(1500));
    EXPECT_EQ(kesra::m_Overlay.thread, nullptr);
    HostDestroyWindow(window);
}

TEST(OverlayThread, NewFrameCountsApplyFromTheNextRound) {
    Screen screen(8, 8);
    ASSERT_EQ(screen.dc->SetCursor(tagCURSOR_STRUCT{300, 3}), 1);
    kesra::m_Overlay.flags = kesra::OVERLAY_CURSOR;
    const unsigned start = HostPresentCount(screen.window);
    /* Changing the strip while the thread counts through it. */
    for (int i = 0; HostPresentCount(screen.window) < start + 4 && i < 5000; ++i) {
        screen.dc->SetCursor(tagCURSOR_STRUCT{300 + i % 2, 2 + i % 39});
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    screen.dc->SetCursor(tagCURSOR_STRUCT{300, 1});
    const unsigned now = HostPresentCount(screen.window);
    ASSERT_TRUE(eventually([&] { return HostPresentCount(screen.window) >= now + 2; }));
    EXPECT_EQ(kesra::m_Overlay.cursor_frame.load(), 0);  // a one-frame strip stays on frame 0
    kesra::m_Overlay.flags = 0;
}

TEST(OverlayThread, ReleasingTheFirstSurfaceStopsItsRoundsSafely) {
    HWND window = HostCreateWindow(8, 8);
    HostSetForegroundWindow(window);
    CCEGraphics first, second;
    ASSERT_EQ(first.Create(8, 8, 0, 0, window, 0), 1);
    ASSERT_EQ(second.Create(8, 8, 0, 0, window, 0), 1);
    kesra::m_Overlay.flags = kesra::OVERLAY_SANDGLASS;
    for (int i = 0; i < 10; ++i) {  // the thread presents the first surface while it comes and goes
        std::this_thread::sleep_for(std::chrono::milliseconds(3 + 11 * i));
        first.Release();
        std::this_thread::sleep_for(std::chrono::milliseconds(3 + 7 * i));
        ASSERT_EQ(first.Create(8, 8, 0, 0, window, 0), 1);
    }
    first.Suspend();  // the thread's rounds meet the usual conditions
    ASSERT_TRUE(eventually([&] { return first.GetLastError() == 105u; }));
    first.Resume();
    first.Release();
    ASSERT_TRUE(eventually([&] { return first.GetLastError() == 112u; }));  // its rounds fail quietly
    const unsigned presented = HostPresentCount(window);
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_EQ(HostPresentCount(window), presented);
    EXPECT_EQ(CCEGraphics::m_dwRefCount, 1u);
    second.Release();
    HostDestroyWindow(window);
}

TEST(OverlaySettings, CursorAndSandglassParametersAreChecked) {
    Screen screen(8, 8);
    EXPECT_EQ(screen.dc->SetCursor(tagCURSOR_STRUCT{299, 1}), 0);
    EXPECT_EQ(screen.dc->SetCursor(tagCURSOR_STRUCT{300, 1}), 1);
    EXPECT_EQ(screen.dc->SetCursor(tagCURSOR_STRUCT{301, 0}), 0);
    EXPECT_EQ(screen.dc->SetCursor(tagCURSOR_STRUCT{301, 41}), 0);
    EXPECT_EQ(kesra::m_Overlay.cursor.nResID, 300);  // the refused calls kept it
    EXPECT_EQ(kesra::m_Overlay.cursor.nFrames, 1);
    EXPECT_EQ(screen.dc->SetSandglass(tagSANDGLASS_STRUCT{310, 40, -5, 7}), 1);
    EXPECT_EQ(screen.dc->SetSandglass(tagSANDGLASS_STRUCT{310, 41, 0, 0}), 0);
    EXPECT_EQ(kesra::m_Overlay.sandglass.x, -5);
}

TEST(SharedState, ScreensThatCannotBeMadeFailCleanly) {
    HWND window = HostCreateWindow(8, 8);
    CCEGraphics surface;
    EXPECT_EQ(surface.Create(1 << 30, 1 << 30, 0, 0, window, 0), 0);  // 2^61 bytes
    EXPECT_EQ(surface.GetLastError(), 102u);
    EXPECT_EQ(surface.Create(INT32_MAX, 2, 0, 0, window, 0), 0);
    EXPECT_EQ(surface.Create(65536, 65536, 0, 0, window, 0), 0);  // bytes overflow 32 bits
    EXPECT_EQ(surface.Create(0, 480, 0, 0, window, 0), 0);
    EXPECT_EQ(surface.Create(30000, 20000, 0, 0, window, 0), 0);  // fits 32 bits, no section that large
    EXPECT_EQ(surface.GetLastError(), 102u);
    EXPECT_EQ(surface.m_bCreated, 0);
    EXPECT_EQ(surface.GetBuffer(), nullptr);
    EXPECT_EQ(surface.IsGXInit(), 0);
    EXPECT_EQ(CCEGraphics::m_dwRefCount, 0u);
    EXPECT_EQ(CCEGraphics::m_pBackBuffer, nullptr);
    EXPECT_EQ(CCEGraphics::m_pDoubleBuffer2, nullptr);
    ASSERT_EQ(surface.Create(8, 8, 0, 0, window, 0), 1);  // nothing was left behind
    EXPECT_EQ(kesra::m_DisplayProps.dwWidth, 8u);
    surface.Release();
    HostDestroyWindow(window);
}

TEST(Copies, OnlyTheSurfaceThatMadeTheBufferFreesIt) {
    Screen screen(8, 8);
    {
        CCEDraw copy;
        copy = *screen.dc;
        EXPECT_EQ(copy.GetBuffer(), screen.dc->GetBuffer());
        copy.Clear(0x1234);  // the copy draws into the shared buffer
        EXPECT_EQ(screen.at(7, 7), 0x1234);
        EXPECT_EQ(copy.Release(), 1);  // forgets the handles, frees nothing
        EXPECT_EQ(copy.GetBuffer(), nullptr);
        EXPECT_EQ(copy.m_bCreated, 0);
        copy = *screen.dc;
        *screen.dc = copy;  // the maker takes back its own handles and keeps them
    }                       // the copy's destructor frees nothing either
    EXPECT_EQ(CCEGraphics::m_dwRefCount, 1u);
    EXPECT_EQ(screen.dc->IsGXInit(), 1);
    EXPECT_NE(SelectObject(screen.dc->GetMyDC(), screen.dc->m_hBitmap), nullptr);  // DC and section live
    screen.dc->Clear(0x4321);
    EXPECT_EQ(screen.at(0, 0), 0x4321);
    EXPECT_EQ(screen.dc->FlipBackBuffer(0, 0), 1);
    EXPECT_EQ(screen.back(3, 3), 0x4321);
}

TEST(Copies, AssigningOverACreatedSurfaceReleasesItsOwnBuffer) {
    Screen screen(8, 8);
    CCEGraphics other;
    ASSERT_EQ(other.Create(8, 8, 0, 0, screen.window, 0), 1);
    EXPECT_EQ(CCEGraphics::m_dwRefCount, 2u);
    other = *screen.dc;  // its own buffer would be lost: released first
    EXPECT_EQ(CCEGraphics::m_dwRefCount, 1u);
    EXPECT_EQ(other.GetBuffer(), screen.dc->GetBuffer());
    other.Release();
    screen.dc->Release();
    EXPECT_EQ(CCEGraphics::m_dwRefCount, 0u);
    EXPECT_EQ(other.IsGXInit(), 0);  // the shared state went with the last maker
}

/* Four threads create and release surfaces of their own over and over, so
 * that the shared state and the overlay thread come and go under them. A
 * deadlock would never end: a generous watchdog turns it into a failure. */
TEST(Threads, CreateAndReleaseFromSeveralThreads) {
    constexpr int kThreads = 4, kRounds = 150;
    HWND window = HostCreateWindow(16, 8);
    std::atomic<int> failures{0};
    auto work = [&](int seed) {
        for (int round = 0; round < kRounds; ++round) {
            CCEGraphics surface;
            if (surface.Create(16, 8, 0, 0, window, 0) != 1 || !surface.GetBuffer()) {
                ++failures;
                continue;
            }
            fill_buffer(surface.GetBuffer(), 16 * 8 * 2, uint16_t(seed * 1000 + round));
            if (round % 3 == 0) {
                CCEGraphics copy;
                copy = surface;  // copies come and go too
            }
            if (round % 2 == 0) surface.Release();  // else the destructor releases it
        }
    };
    auto all = std::async(std::launch::async, [&] {
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) threads.emplace_back(work, t);
        for (std::thread& t : threads) t.join();
    });
    if (all.wait_for(std::chrono::seconds(120)) != std::future_status::ready) {
        std::fprintf(stderr, "Create and Release from several threads did not finish: deadlock\n");
        std::_Exit(1);
    }
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(CCEGraphics::m_dwRefCount, 0u);
    EXPECT_EQ(CCEGraphics().IsGXInit(), 0);
    EXPECT_EQ(CCEGraphics::m_pBackBuffer, nullptr);
    EXPECT_EQ(kesra::m_Overlay.thread, nullptr);
    HostDestroyWindow(window);
}
