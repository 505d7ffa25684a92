/* The platform layer: DIB sections in both row orders, BitBlt between them
 * and to a window, handles that are refused, threads, the executable's path
 * and the backslash rule of file names. */
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "tests/test_helpers.h"

namespace {

/* A DIB section: 16 bits top-down with RGB565 masks, or 24 bits bottom-up. */
HBITMAP make_dib(HDC dc, int width, int height, WORD depth, void** bits) {
    struct {
        BITMAPINFOHEADER header;
        DWORD masks[3];
    } info{{40, width, depth == 16 ? -height : height, 1, depth,
            depth == 16 ? DWORD{BI_BITFIELDS} : DWORD{BI_RGB}, 0, 0, 0, 0, 0},
           {0xF800, 0x07E0, 0x001F}};
    return CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, bits, nullptr, 0);
}

}  // namespace

TEST(DibSections, SixteenBitTopDownToTwentyFourBitBottomUp) {
    HDC src_dc = CreateCompatibleDC(nullptr), dst_dc = CreateCompatibleDC(nullptr);
    void* src_bits = nullptr;
    void* dst_bits = nullptr;
    HBITMAP src = make_dib(src_dc, 3, 2, 16, &src_bits);
    HBITMAP dst = make_dib(dst_dc, 3, 2, 24, &dst_bits);
    ASSERT_NE(src, nullptr);
    ASSERT_NE(dst, nullptr);
    HGDIOBJ old_src = SelectObject(src_dc, src);
    HGDIOBJ old_dst = SelectObject(dst_dc, dst);
    ASSERT_NE(old_src, nullptr);
    EXPECT_EQ(SelectObject(dst_dc, src), nullptr);  // a bitmap lives in one DC at a time

    auto* p = static_cast<uint16_t*>(src_bits);  // rows of 3 pixels padded to 8 bytes
    p[0] = 0xF800;                               // top row: red, green, blue
    p[1] = 0x07E0;
    p[2] = 0x001F;
    p[4] = 0xFFFF;  // bottom row starts after the padding
    ASSERT_TRUE(BitBlt(dst_dc, 0, 0, 3, 2, src_dc, 0, 0, SRCCOPY));
    const auto* q = static_cast<const uint8_t*>(dst_bits);  // rows of 9 bytes padded to 12
    const uint8_t bottom_row_first[] = {255, 255, 255};
    EXPECT_EQ(std::memcmp(q, bottom_row_first, 3), 0);
    const uint8_t top_row[] = {0, 0, 255, 0, 255, 0, 255, 0, 0};  // blue, green, red bytes
    EXPECT_EQ(std::memcmp(q + 12, top_row, 9), 0);

    EXPECT_FALSE(DeleteObject(src));  // still selected
    SelectObject(src_dc, old_src);
    SelectObject(dst_dc, old_dst);
    EXPECT_TRUE(DeleteObject(src));
    EXPECT_FALSE(DeleteObject(src));  // a stale handle is refused
    EXPECT_TRUE(DeleteObject(dst));
    EXPECT_TRUE(DeleteDC(src_dc));
    EXPECT_TRUE(DeleteDC(dst_dc));
    EXPECT_FALSE(DeleteDC(src_dc));
}

TEST(DibSections, RefusesHeadersItCannotHonour) {
    BITMAPINFO info{};
    info.bmiHeader = {40, 4, 4, 1, 8, BI_RGB, 0, 0, 0, 0, 0};  // palettes are not supported
    void* bits = reinterpret_cast<void*>(1);
    EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biWidth = 1 << 20;
    info.bmiHeader.biHeight = 1 << 20;  // 3 TB
    EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
}

TEST(WindowDC, BitBltPresentsAndClipsToTheWindow) {
    HWND window = HostCreateWindow(4, 4);
    HDC window_dc = GetDC(window);
    HDC mem = CreateCompatibleDC(window_dc);
    void* bits = nullptr;
    HBITMAP dib = make_dib(mem, 4, 4, 16, &bits);
    HGDIOBJ old = SelectObject(mem, dib);
    for (int i = 0; i < 16; ++i) static_cast<uint16_t*>(bits)[i] = static_cast<uint16_t>(100 + i);
    const unsigned before = HostPresentCount(window);
    EXPECT_TRUE(BitBlt(window_dc, 2, 2, 4, 4, mem, 0, 0, SRCCOPY));  // only 2 x 2 fit
    EXPECT_EQ(HostPresentCount(window), before + 1);
    const uint16_t* shown = HostWindowPixels(window);
    EXPECT_EQ(shown[2 * 4 + 2], 100);
    EXPECT_EQ(shown[3 * 4 + 3], 105);
    EXPECT_EQ(shown[0], 0);
    EXPECT_FALSE(BitBlt(window_dc, 0, 0, 4, 4, mem, 0, 0, 0x00EE0086));  // only SRCCOPY

    HDC display = CreateDCW(u"DISPLAY", nullptr, nullptr, nullptr);
    HostSetForegroundWindow(window);
    EXPECT_EQ(GetDeviceCaps(display, HORZRES), 4);
    DeleteDC(display);
    SelectObject(mem, old);
    DeleteObject(dib);
    DeleteDC(mem);
    EXPECT_EQ(ReleaseDC(window, window_dc), 1);
    HostDestroyWindow(window);
    EXPECT_EQ(HostWindowPixels(window), nullptr);
}

namespace {
/* Frames the handler saw, and those that were not one colour throughout. */
std::atomic<unsigned> g_frames{0};
std::atomic<unsigned> g_mixed_frames{0};
void check_frame_is_whole(HWND, const uint16_t* pixels, int width, int height) {
    g_frames.fetch_add(1);
    for (int i = 1; i < width * height; ++i)
        if (pixels[i] != pixels[0]) {
            g_mixed_frames.fetch_add(1);
            return;
        }
}
}  // namespace

/* Two threads present whole frames of their own colour to one window: the
 * counter and the handler see every frame, and each frame as presented. */
TEST(WindowDC, EveryPresentationIsCountedAndSeenWhole) {
    constexpr int kSide = 256, kFrames = 100;
    HWND window = HostCreateWindow(kSide, kSide);
    const unsigned before = HostPresentCount(window);
    g_frames = 0;
    g_mixed_frames = 0;
    HostSetPresentHandler(check_frame_is_whole);
    auto presenter = [&](uint16_t colour) {
        HDC window_dc = GetDC(window);
        HDC mem = CreateCompatibleDC(window_dc);
        void* bits = nullptr;
        HBITMAP dib = make_dib(mem, kSide, kSide, 16, &bits);
        HGDIOBJ old = SelectObject(mem, dib);
        for (int i = 0; i < kSide * kSide; ++i) static_cast<uint16_t*>(bits)[i] = colour;
        for (int i = 0; i < kFrames; ++i) BitBlt(window_dc, 0, 0, kSide, kSide, mem, 0, 0, SRCCOPY);
        SelectObject(mem, old);
        DeleteObject(dib);
        DeleteDC(mem);
        ReleaseDC(window, window_dc);
    };
    std::thread a(presenter, 0xF800), b(presenter, 0x001F);
    a.join();
    b.join();
    HostSetPresentHandler(nullptr);
    EXPECT_EQ(HostPresentCount(window), before + 2 * kFrames);
    EXPECT_EQ(g_frames.load(), 2u * kFrames);
    EXPECT_EQ(g_mixed_frames.load(), 0u);
    HostDestroyWindow(window);
}

namespace {
DWORD record_argument(LPVOID parameter) {
    Sleep(20);
    *static_cast<int*>(parameter) = 42;
    return 7;
}
}  // namespace

TEST(Threads, WaitJoinsAndHandlesAreChecked) {
    int value = 0;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, record_argument, &value, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(value, 42);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_FALSE(CloseHandle(thread));
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_FAILED);
}

TEST(Files, ModulePathHasBackslashesAndWidePathsOpenWithThem) {
    WCHAR path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
    EXPECT_EQ(path[0], u'\\');
    WCHAR tiny[4];
    EXPECT_EQ(GetModuleFileNameW(nullptr, tiny, 4), 3u);  // cut and terminated
    EXPECT_EQ(tiny[3], 0);

    HostSetModuleFileName(u"\\Storage Card\\nav\\app.exe");
    EXPECT_EQ(GetModuleFileNameW(nullptr, path, MAX_PATH), 25u);
    EXPECT_EQ(std::u16string(path), u"\\Storage Card\\nav\\app.exe");
    HostSetModuleFileName(nullptr);

    char dir[] = "/tmp/kesra_platformXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::u16string wide;
    for (char c : std::string(dir)) wide += c == '/' ? u'\\' : static_cast<char16_t>(c);
    wide += u"\\\u65e5\u672c.txt";  // a file name outside ASCII
    FILE* f = _wfopen(wide.c_str(), u"wb");
    ASSERT_NE(f, nullptr);
    std::fputs("ok", f);
    std::fclose(f);
    FILE* g = std::fopen((std::string(dir) + "/\xe6\x97\xa5\xe6\x9c\xac.txt").c_str(), "rb");
    ASSERT_NE(g, nullptr);
    char text[3] = {};
    EXPECT_EQ(std::fread(text, 1, 2, g), 2u);
    EXPECT_STREQ(text, "ok");
    std::fclose(g);
    std::remove((std::string(dir) + "/\xe6\x97\xa5\xe6\x9c\xac.txt").c_str());
    rmdir(dir);
}
