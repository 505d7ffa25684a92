/* platform_internal.h - the objects behind the platform's opaque handles.
 * Windows hold the pixels they show (RGB565, rows top-down); a DC is a window's
 * DC, the display's DC or a memory DC with one selected bitmap. */
#ifndef KESRA_PLATFORM_INTERNAL_H
#define KESRA_PLATFORM_INTERNAL_H

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "wintypes.h"

namespace kesra::platform {

class DisplayBackend;

}  // namespace kesra::platform

struct HWND__ {
    int width = 0;
    int height = 0;
    std::vector<uint16_t> pixels;  // what the window shows
    std::atomic<unsigned> present_count{0};
    void* backend_data = nullptr;  // owned by the back end that opened the window
};

/* A bitmap: a DIB section or the 1 x 1 stock bitmap of a memory DC. */
struct HBITMAP__ {
    int width = 0;
    int height = 0;  // always positive; top_down says where row 0 lies
    int bits_per_pixel = 0;
    bool top_down = false;
    int stride = 0;  // bytes per row, a multiple of 4
    uint8_t* bits = nullptr;
    bool is_stock = false;
    HDC__* selected_into = nullptr;
};

/* A DC's text state (gdi_text.cpp): the selected font (null while the stock
 * system font is selected), the text colour (0x00BBGGRR) and the background
 * mode. Deleting the DC releases its hold on the font. */
struct DcText {
    HFONT__* font = nullptr;
    uint32_t color = 0;
    int background_mode = 2;  // OPAQUE
    DcText() = default;
    DcText(const DcText&) = delete;
    DcText& operator=(const DcText&) = delete;
    ~DcText();
};

struct HDC__ {
    enum class Kind { Window, Display, Memory } kind = Kind::Memory;
    HWND window = nullptr;        // Window kind
    HBITMAP__* bitmap = nullptr;  // Memory kind: the selected bitmap
    HBITMAP__ stock;              // what a new memory DC holds selected
    DcText text;
};

namespace kesra::platform {

/* A window message of the pointer or the keyboard, for the host's input
 * handler (host.h). */
struct InputMessage {
    HWND window;
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};

/* One back end drives every window of the process. */
class DisplayBackend {
   public:
    virtual ~DisplayBackend() = default;
    virtual const char* name() const = 0;  // "headless", "sdl" or "fbdev"
    virtual bool open_window(HWND window) = 0;
    virtual void close_window(HWND window) = 0;
    /* window->pixels hold the new frame; called under the display's lock. */
    virtual void present(HWND window) = 0;
    /* Handles pending events on the thread that opened the windows, adding the
     * input to deliver to input; 0 once a window was closed. */
    virtual int pump_events(std::vector<InputMessage>& input) = 0;
};

std::unique_ptr<DisplayBackend> make_headless_backend();
std::unique_ptr<DisplayBackend> make_sdl_backend();  // null when built without SDL
/* Null with the reason in error ("/dev/fb1 could not be opened (...)"). */
std::unique_ptr<DisplayBackend> make_fbdev_backend(const std::string& device, std::string& error);
/* The back end a KESRA_DISPLAY value names; when it cannot be opened, one
 * line on standard error and the headless back end. */
std::unique_ptr<DisplayBackend> make_display_backend(const std::string& setting);

/* Host state shared by the platform files. */
/* The display's lock, held from looking up the window a copy writes or reads
 * until its frame is presented, and while a window is destroyed: a window
 * found live under it stays live, the present handler sees each frame whole,
 * and the back end gets one present at a time, whichever threads present.
 * It comes before the host's other locks. */
std::unique_lock<std::mutex> lock_display();
bool window_is_live(HWND window);
HWND foreground_window();
void present_window(HWND window);
void set_cursor_pos(int x, int y);

/* The host's sound handler, null when none was set. */
void (*sound_handler())(const uint8_t*, size_t);

/* Bytes from p to the end of the file view (MapViewOfFile) that holds it; 0
 * when p lies in no view. Lets readers of data in a view stop at its end. */
size_t view_bytes_from(const void* p);

/* UTF-16 <-> UTF-8 and the path rule: every backslash becomes a slash. */
std::string utf16_to_utf8(const WCHAR* text);
std::u16string utf8_to_utf16(const std::string& text);
std::string native_path(const WCHAR* path);

/* Whether a handle is a live DC or DIB section (gdi.cpp). */
bool gdi_object_is_live(const void* object);

/* Fonts are GDI objects too (gdi_text.cpp): SelectObject and DeleteObject
 * hand them over. select_font gives the previously selected font. */
bool is_font_object(HGDIOBJ object);
HGDIOBJ select_font(HDC dc, HFONT font);
BOOL delete_font(HFONT font);

/* Directory search (find_file.cpp): the system's case folding of a UTF-16
 * unit, and its match of a name against a pattern with * and ?. */
char16_t fold_case(char16_t c);
bool wildcard_match(const std::u16string& pattern, const std::u16string& name);

/* Closes a file or file-mapping handle (file.cpp); false when it is neither. */
bool close_file_object(HANDLE handle);

/* A DC's pixels as one view, whatever kind of DC it is: a memory DC's DIB
 * section, or the window a window or display DC shows. */
struct PixelView {
    uint8_t* bits = nullptr;
    int width = 0;
    int height = 0;
    int bits_per_pixel = 0;
    int stride = 0;
    bool top_down = true;
    HWND window = nullptr;  // set when the view is a window: a write presents it

    uint8_t* row(int y) const {
        return bits + static_cast<ptrdiff_t>(top_down ? y : height - 1 - y) * stride;
    }
    uint8_t* pixel(int x, int y) const { return row(y) + x * (bits_per_pixel / 8); }
};

bool view_of(HDC dc, PixelView& view);

/* The display's lock when either DC shows a window (a window or the display
 * DC): taken before view_of, so that the window stays until it is released. */
std::unique_lock<std::mutex> lock_display_for(HDC a, HDC b = nullptr);

/* The thread objects CreateThread made that are not yet freed (for tests). */
int thread_objects_alive();

}  // namespace kesra::platform

#endif
