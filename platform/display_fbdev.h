/* display_fbdev.h - how a Linux frame buffer's memory holds the screen, read
 * from the kernel's screen records, and the plain routines that put a
 * window's RGB565 rows into it. Memory offsets are bytes from the start of
 * the mapping; a page is one screen of the virtual screen, rows yres apart;
 * nothing is written outside the visible rectangle of the page drawn. */
#ifndef KESRA_PLATFORM_DISPLAY_FBDEV_H
#define KESRA_PLATFORM_DISPLAY_FBDEV_H

#include <linux/fb.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace kesra::platform::fb {

/* Where a colour channel lies in a pixel value, as the kernel's fb_bitfield. */
struct ChannelField {
    uint32_t offset = 0;
    uint32_t length = 0;
};

struct PixelFormat {
    int bytes_per_pixel = 2;  // 2, 3 or 4; values are stored little-endian
    ChannelField red{11, 5}, green{5, 6}, blue{0, 5};
    ChannelField transp{};    // filled with ones: opaque
    bool swap_bytes = false;  // 16-bit values stored high byte first
};

struct ScreenLayout {
    int width = 0, height = 0;       // the visible screen
    int line_length = 0;             // bytes from one row to the next
    int x_offset = 0, y_offset = 0;  // the visible screen's corner in the virtual screen
    int pages = 1;                   // 2 when the virtual height holds a second screen
    int shown_page = 0;              // the page the display scans out now
    PixelFormat format;

    /* Bytes to pixel (0, 0) of a page: pages lie yres rows apart from row 0
     * when there are two; a single page lies at the offsets given. */
    size_t page_start(int page) const;
};

/* The screen records as a layout; false with a reason ("has an unsupported
 * depth of 8 bits per pixel ...") when the library cannot draw on them or
 * memory_bytes cannot hold what they describe. */
bool describe_screen(const fb_var_screeninfo& var, const fb_fix_screeninfo& fix, size_t memory_bytes,
                     ScreenLayout& layout, std::string& error);

/* The records a plain file stands in with: KESRA_FB_GEOMETRY's
 * "WxHxBPP[:LINE_LENGTH]" in the usual layouts (RGB565; bytes B, G, R; X, R,
 * G, B from the high byte down). A file of two screens or more holds the
 * virtual height of two, and presents alternate between them. */
bool geometry_records(const std::string& geometry, size_t file_bytes, fb_var_screeninfo& var,
                      fb_fix_screeninfo& fix, std::string& error);

/* The part of a window shown and where: a window larger than the screen is
 * cut at the right and bottom, a smaller one centred; an origin (KESRA_FB_ORIGIN)
 * puts the window's corner there, cut at every edge. Empty when nothing shows. */
struct Placement {
    int src_x = 0, src_y = 0;  // first window pixel shown
    int dst_x = 0, dst_y = 0;  // where it lands on the screen
    int width = 0, height = 0;
    bool operator==(const Placement& o) const {
        return src_x == o.src_x && src_y == o.src_y && dst_x == o.dst_x && dst_y == o.dst_y &&
               width == o.width && height == o.height;
    }
};

struct Origin {
    int x = 0, y = 0;
};

Placement place_window(int window_width, int window_height, int screen_width, int screen_height,
                       const std::optional<Origin>& origin);

/* "X,Y" as an origin; empty when the text is not two integers. */
std::optional<Origin> parse_origin(const std::string& text);

/* count RGB565 pixels as the format's pixels at dst. */
void convert_row(const uint16_t* src, int count, const PixelFormat& format, uint8_t* dst);

/* Writes the placed part of a window (rows window_width pixels apart) on a
 * page of the mapped memory. */
void draw_window(const ScreenLayout& layout, uint8_t* memory, int page, const uint16_t* pixels,
                 int window_width, const Placement& placement);

/* Paints a page's visible screen black. */
void clear_page(const ScreenLayout& layout, uint8_t* memory, int page);

}  // namespace kesra::platform::fb

#endif
