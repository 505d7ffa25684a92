/* Overlays drawn from strips of a pack made here: where each frame lands and
 * in which order, dimming over them, the overlay thread cycling frames while
 * the application idles (seen through the present handler) and frozen while
 * it draws; and the screen dump: its name, size, headers and pixels. */
#include <dirent.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "surface/dump.h"
#include "surface/overlay.h"
#include "surface/shared_state.h"
#include "tests/test_bitmap_helpers.h"
#include "tests/test_helpers.h"

#ifdef KESRA_TEST_SDL_BMP
#include <SDL.h>
#endif

using kesra::test::eventually;
using kesra::test::Screen;

namespace {

constexpr int W = 8, H = 6;

/* Sandglass 300: four 2 x 2 frames of one colour each, the bottom-right
 * pixel of every frame transparent. Cursor 301: two 3 x 3 frames, white at
 * alpha 16 and red opaque. */
constexpr uint16_t kSandglass[4] = {0xF800, 0x07E0, 0x001F, 0x8410};

kesra::test::PackImage sandglass_strip() {
    std::vector<uint16_t> pixels;
    std::vector<uint8_t> alpha;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 8; ++x) {
            pixels.push_back(kSandglass[x / 2]);
            alpha.push_back(x % 2 == 1 && y == 1 ? 0 : 31);
        }
    return {8, 2, kesra::test::le16_bytes(pixels), alpha};
}

kesra::test::PackImage cursor_strip() {
    std::vector<uint16_t> pixels;
    std::vector<uint8_t> alpha;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 6; ++x) {
            pixels.push_back(x < 3 ? 0xFFFF : 0xF800);
            alpha.push_back(x < 3 ? 16 : 31);
        }
    return {6, 3, kesra::test::le16_bytes(pixels), alpha};
}

void open_overlay_pack() {
    const std::string path = kesra::test::scratch_dir() + "/overlays.pack";
    kesra::test::write_bytes(path, kesra::test::make_pack({sandglass_strip(), cursor_strip()}));
    ASSERT_EQ(CCEBitmap::OpenResource(kesra::test::wide(path).c_str()), 1);
}

uint16_t shown(const Screen& s, int x, int y) { return HostWindowPixels(s.window)[y * s.w + x]; }

void present(const Screen& s) {
    s.dc->FlipBackBuffer(0, 0);
    s.dc->Flip(3, 0, 0);
}

/* The pixel at (4, 2) of each presented frame: the sandglass's top-left. */
constexpr int kSeenMax = 12;
std::atomic<int> g_seen{0};
uint16_t g_seen_pixel[kSeenMax];
void record_frame_pixel(HWND, const uint16_t* pixels, int width, int) {
    const int n = g_seen.load();
    if (n >= kSeenMax) return;
    g_seen_pixel[n] = pixels[2 * width + 4];
    g_seen = n + 1;
}

/* Frames presented by any thread but the program's. */
std::thread::id g_program_thread;
std::atomic<int> g_thread_presents{0};
void count_thread_present(HWND, const uint16_t*, int, int) {
    if (std::this_thread::get_id() != g_program_thread) ++g_thread_presents;
}

}  // namespace

TEST(Overlays, FramesLandAtThePointerAndAroundTheCentreUnderTheDimming) {
    open_overlay_pack();
    Screen screen(W, H);
    screen.fill(0x0000);
    kesra::set_overlay_pause(true);  // the test presents; the thread keeps its counters still
    ASSERT_EQ(screen.dc->SetSandglass(tagSANDGLASS_STRUCT{300, 4, 5, 3}), 1);
    ASSERT_EQ(screen.dc->SetCursor(tagCURSOR_STRUCT{301, 2}), 1);
    HostSetCursorPos(3, 1);
    const unsigned before = HostPresentCount(screen.window);
    screen.dc->ShowSandglass(1);
    screen.dc->ShowCursor(1);
    EXPECT_EQ(HostPresentCount(screen.window), before);  // showing waits for the next presentation
    present(screen);

    /* Cursor frame 0 covers (3..5, 1..3) at half white; the sandglass frame
     * 0 covers (4..5, 2..3), drawn after it, with its corner see-through. */
    EXPECT_EQ(shown(screen, 3, 1), 0x7BEF);
    EXPECT_EQ(shown(screen, 4, 2), 0xF800);
    EXPECT_EQ(shown(screen, 4, 3), 0xF800);
    EXPECT_EQ(shown(screen, 5, 3), 0x7BEF);
    EXPECT_EQ(shown(screen, 2, 1), 0x0000);
    EXPECT_EQ(shown(screen, 6, 2), 0x0000);
    EXPECT_EQ(shown(screen, 4, 4), 0x0000);

    /* Later frames come from further along the strips; the pointer moves the
     * cursor, which the screen's edge cuts. */
    kesra::m_Overlay.sandglass_frame = 3;
    kesra::m_Overlay.cursor_frame = 1;
    HostSetCursorPos(6, 4);
    present(screen);
    EXPECT_EQ(shown(screen, 4, 2), 0x8410);
    EXPECT_EQ(shown(screen, 3, 1), 0x0000);
    EXPECT_EQ(shown(screen, 6, 4), 0xF800);
    EXPECT_EQ(shown(screen, 7, 5), 0xF800);
    EXPECT_EQ(shown(screen, 5, 4), 0x0000);

    /* Dimming comes last, over the overlays: level 16 halves each channel,
     * level 31 leaves 1/32 of it (0x8410: 16 >> 5, 32 * 1 >> 5, 16 >> 5). */
    ASSERT_EQ(screen.dc->SetBlackSrceenLevel(16), 1);
    present(screen);
    EXPECT_EQ(shown(screen, 4, 2), 0x4208);
    EXPECT_EQ(shown(screen, 6, 4), 0x7800);
    ASSERT_EQ(screen.dc->SetBlackSrceenLevel(31), 1);
    present(screen);
    EXPECT_EQ(shown(screen, 4, 2), 0x0020);
    EXPECT_EQ(shown(screen, 6, 4), 0x0000);
    ASSERT_EQ(screen.dc->SetBlackSrceenLevel(0), 1);

    /* Hiding refreshes at once, without the hidden overlay; hiding again does nothing. */
    const unsigned shown_count = HostPresentCount(screen.window);
    screen.dc->ShowCursor(0);
    EXPECT_EQ(HostPresentCount(screen.window), shown_count + 1);
    EXPECT_EQ(shown(screen, 6, 4), 0x0000);
    EXPECT_EQ(shown(screen, 4, 2), 0x8410);
    EXPECT_EQ(kesra::m_Overlay.cursor_bitmap.GetImageData(), nullptr);  // unloaded
    screen.dc->ShowCursor(0);
    EXPECT_EQ(HostPresentCount(screen.window), shown_count + 1);
    screen.dc->ShowSandglass(0);
    EXPECT_EQ(HostPresentCount(screen.window), shown_count + 2);
    EXPECT_EQ(shown(screen, 4, 2), 0x0000);
    EXPECT_EQ(kesra::m_Overlay.flags.load(), 0u);
    kesra::set_overlay_pause(false);
    CCEBitmap::CloseResource();
}

TEST(Overlays, StripsThatCannotBeDrawnShowNothing) {
    open_overlay_pack();
    Screen screen(W, H);
    screen.fill(0x1234);
    kesra::set_overlay_pause(true);
    screen.dc->ShowCursor(1);  // no SetCursor yet: id 0 loads nothing, no frames
    ASSERT_EQ(screen.dc->SetSandglass(tagSANDGLASS_STRUCT{399, 2, 4, 3}), 1);  // no such image
    screen.dc->ShowSandglass(1);
    present(screen);
    EXPECT_EQ(std::vector<uint16_t>(HostWindowPixels(screen.window), HostWindowPixels(screen.window) + W * H),
              std::vector<uint16_t>(W * H, 0x1234));
    screen.dc->ShowCursor(0);
    screen.dc->ShowSandglass(0);
    kesra::set_overlay_pause(false);
    CCEBitmap::CloseResource();
}

TEST(Overlays, ThreadCyclesTheSandglassWhileIdleAndHoldsItWhileDrawing) {
    open_overlay_pack();
    Screen screen(W, H);
    screen.fill(0x0000);
    ASSERT_EQ(screen.dc->SetSandglass(tagSANDGLASS_STRUCT{300, 4, 5, 3}), 1);
    g_seen = 0;
    HostSetPresentHandler(record_frame_pixel);
    screen.dc->ShowSandglass(1);
    ASSERT_TRUE(eventually([] { return g_seen.load() >= 9; }));
    HostSetPresentHandler(nullptr);
    /* Each round advances before it presents: frames 1, 2, 3, 0, 1 ... */
    for (int i = 0; i < 9; ++i) EXPECT_EQ(g_seen_pixel[i], kSandglass[(i + 1) % 4]) << i;

    /* Once BeginDraw returns no round runs: nothing is presented and the
     * counter stands still, however long the drawing takes. */
    ASSERT_EQ(screen.dc->BeginDraw(), 1);
    const unsigned presented = HostPresentCount(screen.window);
    const int frame = kesra::m_Overlay.sandglass_frame;
    std::this_thread::sleep_for(std::chrono::milliseconds(350));
    EXPECT_EQ(HostPresentCount(screen.window), presented);
    EXPECT_EQ(kesra::m_Overlay.sandglass_frame.load(), frame);
    ASSERT_EQ(screen.dc->EndDraw(), 1);
    ASSERT_TRUE(eventually([&] { return HostPresentCount(screen.window) >= presented + 2; }));
    EXPECT_NE(kesra::m_Overlay.sandglass_frame.load(), frame);  // two rounds: it moved on

    /* Pausing also waits for a round in progress. */
    kesra::set_overlay_pause(true);
    const unsigned paused = HostPresentCount(screen.window);
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_EQ(HostPresentCount(screen.window), paused);
    kesra::set_overlay_pause(false);
    screen.dc->ShowSandglass(0);
    CCEBitmap::CloseResource();
}

/* The program presents without a drawing bracket while the thread presents
 * the sandglass: the two presentations take turns, and once the sandglass is
 * hidden the window shows the program's frame exactly. */
TEST(Overlays, ProgramAndThreadPresentInTurn) {
    open_overlay_pack();
    Screen screen(W, H);
    screen.fill(0x1234);
    ASSERT_EQ(screen.dc->SetSandglass(tagSANDGLASS_STRUCT{300, 4, 5, 3}), 1);
    g_program_thread = std::this_thread::get_id();
    g_thread_presents = 0;
    HostSetPresentHandler(count_thread_present);
    screen.dc->ShowSandglass(1);
    EXPECT_TRUE(eventually([&] {
        present(screen);
        return g_thread_presents.load() >= 3;
    }));
    HostSetPresentHandler(nullptr);
    screen.dc->ShowSandglass(0);
    EXPECT_EQ(std::vector<uint16_t>(HostWindowPixels(screen.window), HostWindowPixels(screen.window) + W * H),
              std::vector<uint16_t>(W * H, 0x1234));
    CCEBitmap::CloseResource();
}

TEST(Overlays, LastReleaseEndsTheThreadAndEmptiesTheOverlays) {
    open_overlay_pack();
    {
        Screen screen(W, H);
        ASSERT_EQ(screen.dc->SetSandglass(tagSANDGLASS_STRUCT{300, 4, 5, 3}), 1);
        ASSERT_EQ(screen.dc->SetCursor(tagCURSOR_STRUCT{301, 2}), 1);
        screen.dc->ShowSandglass(1);
        screen.dc->ShowCursor(1);
        const unsigned start = HostPresentCount(screen.window);
        ASSERT_TRUE(eventually([&] { return HostPresentCount(screen.window) >= start + 2; }));
    }  // released while the thread presents both
    EXPECT_EQ(kesra::m_Overlay.thread, nullptr);
    EXPECT_EQ(kesra::m_Overlay.flags.load(), 0u);
    EXPECT_EQ(kesra::m_Overlay.sandglass_bitmap.GetImageData(), nullptr);
    EXPECT_EQ(kesra::m_Overlay.cursor_bitmap.GetImageData(), nullptr);
    EXPECT_EQ(kesra::m_Overlay.sandglass.nResID, 0);
    EXPECT_EQ(kesra::m_Overlay.sandglass_frame.load(), 0);
    CCEBitmap::CloseResource();
}

/* Screen dumps go to the "bmp" folder beside the executable. */
namespace {

struct DumpFolder {
    std::string app;
    DumpFolder() {
        char pattern[] = "/tmp/kesra_dump_XXXXXX";
        app = mkdtemp(pattern);
        const std::string exe = app + "/nav.exe";
        std::u16string wide_exe;
        for (char c : exe) wide_exe += c == '/' ? u'\\' : static_cast<char16_t>(c);
        HostSetModuleFileName(wide_exe.c_str());
    }
    ~DumpFolder() { HostSetModuleFileName(nullptr); }
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        if (DIR* d = opendir((app + "/bmp").c_str())) {
            while (dirent* e = readdir(d))
                if (e->d_name[0] != '.') names.push_back(e->d_name);
            closedir(d);
        }
        return names;
    }
};

uint32_t le32(const std::string& s, size_t at) {
    return static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8 |
           static_cast<uint8_t>(s[at + 2]) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3])) << 24;
}
uint32_t le16(const std::string& s, size_t at) {
    return static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8;
}

std::string ascii(const std::u16string& s) { return std::string(s.begin(), s.end()); }

}  // namespace

TEST(ScreenDump, NameCarriesMonthDayAndTimeWithoutTheYear) {
    const SYSTEMTIME t{2026, 3, 2, 3, 9, 5, 7, 0};
    EXPECT_EQ(ascii(kesra::dump_file_name(u"\\sd\\nav", t)), "\\sd\\nav\\bmp\\0303090507.bmp");
    EXPECT_EQ(kesra::bmp24_row_bytes(10), 32u);  // 30 bytes padded
    const auto h = kesra::bmp24_headers(800, 480);
    EXPECT_EQ(le32(std::string(h.begin(), h.end()), 2), 1152054u);  // 54 + 800 x 480 x 3
}

TEST(ScreenDump, WritesWhatTheDisplayShowsAsABottomUpBmp) {
    DumpFolder folder;
    Screen screen(10, 3);  // rows of 30 bytes, padded to 32
    screen.fill(0x0000);
    screen.at(0, 0) = 0xF800;
    screen.at(9, 0) = 0x07E0;
    screen.at(0, 2) = 0x001F;
    screen.at(9, 2) = 0x8410;
    present(screen);
    screen.at(0, 0) = 0xFFFF;  // drawn but not presented: not on the display

    EXPECT_EQ(screen.dc->DumpBuffer(), 0);  // no bmp folder: nothing written
    ASSERT_EQ(mkdir((folder.app + "/bmp").c_str(), 0755), 0);
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    ASSERT_EQ(screen.dc->DumpBuffer(), 1);
    GetLocalTime(&after);

    const std::vector<std::string> names = folder.files();
    ASSERT_EQ(names.size(), 1u);
    const std::string name = names[0];
    const auto expected_name = [](const SYSTEMTIME& t) {
        const std::u16string full = kesra::dump_file_name(u"", t);
        return ascii(full.substr(full.rfind(u'\\') + 1));
    };
    EXPECT_TRUE(name == expected_name(before) || name == expected_name(after)) << name;

    const std::string bmp = kesra::test::read_text(folder.app + "/bmp/" + name);
    ASSERT_EQ(bmp.size(), 54u + 32u * 3u);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    // Size, both reserved words, pixel offset, header size, 10 x 3 (positive:
    // bottom row first), one plane of 24 bits, then nothing but zeros.
    const std::vector<uint32_t> header = {le32(bmp, 2),  le32(bmp, 6),  le32(bmp, 10), le32(bmp, 14),
                                          le32(bmp, 18), le32(bmp, 22), le16(bmp, 26), le16(bmp, 28)};
    EXPECT_EQ(header, (std::vector<uint32_t>{150, 0, 54, 40, 10, 3, 1, 24}));
    EXPECT_EQ(bmp.substr(30, 24), std::string(24, '\0'));

    /* Pixel (x, y) of the screen: row 2 - y of the file, blue, green, red. */
    const auto pixel = [&](int x, int y) {
        const size_t at = 54 + static_cast<size_t>(2 - y) * 32 + static_cast<size_t>(x) * 3;
        return std::string{bmp[at + 2], bmp[at + 1], bmp[at]};  // as red, green, blue
    };
    EXPECT_EQ(pixel(0, 0), std::string("\xFF\x00\x00", 3));
    EXPECT_EQ(pixel(9, 0), std::string("\x00\xFF\x00", 3));
    EXPECT_EQ(pixel(0, 2), std::string("\x00\x00\xFF", 3));
    EXPECT_EQ(pixel(9, 2), std::string("\x84\x82\x84", 3));
    EXPECT_EQ(pixel(5, 1), std::string("\x00\x00\x00", 3));
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(bmp.substr(54 + row * 32 + 30, 2), std::string(2, '\0')) << row;

#ifdef KESRA_TEST_SDL_BMP
    /* Another program's BMP reader gets the same picture. */
    {
        SDL_Surface* loaded = SDL_LoadBMP((folder.app + "/bmp/" + name).c_str());
        ASSERT_NE(loaded, nullptr) << SDL_GetError();
        SDL_Surface* rgb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB24, 0);
        SDL_FreeSurface(loaded);
        ASSERT_NE(rgb, nullptr) << SDL_GetError();
        EXPECT_EQ(rgb->w, 10);
        EXPECT_EQ(rgb->h, 3);
        const auto* px = static_cast<const uint8_t*>(rgb->pixels);
        const auto rgb_at = [&](int x, int y) {
            const uint8_t* p = px + y * rgb->pitch + x * 3;
            return std::string{static_cast<char>(p[0]), static_cast<char>(p[1]), static_cast<char>(p[2])};
        };
        EXPECT_EQ(rgb_at(0, 0), std::string("\xFF\x00\x00", 3));
        EXPECT_EQ(rgb_at(9, 2), std::string("\x84\x82\x84", 3));
        EXPECT_EQ(rgb_at(0, 2), std::string("\x00\x00\xFF", 3));
        SDL_FreeSurface(rgb);
    }
#endif
}

TEST(ScreenDump, NoDisplayToReadLeavesNoFile) {
    DumpFolder folder;
    ASSERT_EQ(mkdir((folder.app + "/bmp").c_str(), 0755), 0);
    Screen screen(4, 4);
    HostSetForegroundWindow(nullptr);  // the display DC reads the foreground window
    EXPECT_EQ(screen.dc->DumpBuffer(), 0);
    EXPECT_TRUE(folder.files().empty());
}
