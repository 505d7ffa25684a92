/* display_fbdev_layout.cpp - the frame buffer's layout from its screen
 * records, a window's placement on the screen and the row conversion from
 * RGB565. Colours widen through core/pixel.h and then keep each field's top
 * bits (fields wider than 8 bits repeat the byte), so every depth shows the
 * colours that SDL and the PNG files show. */
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/pixel.h"
#include "platform/display_fbdev.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "frame buffer pixels are stored in the CPU's order");

namespace kesra::platform::fb {
namespace {

constexpr int kLargestSide = 16384;
constexpr size_t kLongestLine = size_t{1} << 24;  // bytes from row to row

bool field_fits(const fb_bitfield& field, int bits_per_pixel, bool may_be_empty) {
    if (field.length == 0) return may_be_empty;
    return field.length <= 16 && field.offset < 32 && field.offset + field.length <= uint32_t(bits_per_pixel);
}

/* One channel's 8-bit value placed in its field: (v * mul) >> shift keeps the
 * field's top bits of v, or of v repeated in 16 bits for fields up to 16 wide. */
struct FieldScale {
    uint32_t mul, shift, offset;
    explicit FieldScale(const ChannelField& f)
        : mul(f.length > 8 ? 257 : 1), shift(f.length > 8 ? 16 - f.length : 8 - f.length), offset(f.offset) {}
    uint32_t place(uint32_t v) const { return ((v * mul) >> shift) << offset; }
};

struct PixelScales {
    FieldScale red, green, blue;
    uint32_t opaque;
    explicit PixelScales(const PixelFormat& f)
        : red(f.red),
          green(f.green),
          blue(f.blue),
          opaque(f.transp.length ? ((1u << f.transp.length) - 1) << f.transp.offset : 0) {}
    uint32_t value(uint16_t c) const {
        const Rgb888 p = widen565(c);
        return red.place(p.r) | green.place(p.g) | blue.place(p.b) | opaque;
    }
};

bool is_native565(const PixelFormat& f) {
    return f.bytes_per_pixel == 2 && f.red.offset == 11 && f.red.length == 5 && f.green.offset == 5 &&
           f.green.length == 6 && f.blue.offset == 0 && f.blue.length == 5;
}

/* Plain loops that GCC turns into vector code once its cost model may weigh
 * a vector body against the scalar tail (at -O2 it will not). The scales are
 * copied in so that no store through dst can change them. */
#if defined(__GNUC__) && !defined(__clang__)
#define KESRA_VECTORISED_LOOP __attribute__((optimize("vect-cost-model=dynamic")))
#else
#define KESRA_VECTORISED_LOOP
#endif

KESRA_VECTORISED_LOOP void convert_words(const uint16_t* __restrict src, int count, const PixelScales s,
                                         uint8_t* __restrict dst) {
    for (int x = 0; x < count; ++x) {
        const uint32_t v = s.value(src[x]);
        std::memcpy(dst + 4 * x, &v, 4);
    }
}

KESRA_VECTORISED_LOOP void convert_halves(const uint16_t* __restrict src, int count, const PixelScales s,
                                          bool swap, uint8_t* __restrict dst) {
    const int high = swap ? 0 : 8, low = swap ? 8 : 0;
    for (int x = 0; x < count; ++x) {
        const uint32_t v = s.value(src[x]);
        dst[2 * x] = static_cast<uint8_t>(v >> low);
        dst[2 * x + 1] = static_cast<uint8_t>(v >> high);
    }
}

KESRA_VECTORISED_LOOP void swap_row(const uint16_t* __restrict src, int count, uint8_t* __restrict dst) {
    for (int x = 0; x < count; ++x) {
        const uint16_t v = static_cast<uint16_t>(src[x] << 8 | src[x] >> 8);
        std::memcpy(dst + 2 * x, &v, 2);
    }
}

void convert_triples(const uint16_t* src, int count, const PixelScales& s, uint8_t* dst) {
    for (int x = 0; x < count; ++x, dst += 3) {
        const uint32_t v = s.value(src[x]);
        dst[0] = static_cast<uint8_t>(v);
        dst[1] = static_cast<uint8_t>(v >> 8);
        dst[2] = static_cast<uint8_t>(v >> 16);
    }
}

/* Reads a decimal number of at most 9 digits at p. */
bool read_number(const char*& p, long& out) {
    const char* start = p;
    out = 0;
    while (*p >= '0' && *p <= '9' && p - start < 9) out = out * 10 + (*p++ - '0');
    return p > start && !(*p >= '0' && *p <= '9');
}

bool read_signed(const char*& p, long& out) {
    const bool negative = *p == '-';
    if (negative || *p == '+') ++p;
    if (!read_number(p, out)) return false;
    if (negative) out = -out;
    return true;
}

/* One axis of a placement: the window spans [start, start + window) on a
 * screen of screen pixels. */
void place_axis(int window, int screen, std::optional<int> origin, int& src, int& dst, int& length) {
    const int64_t start = origin ? *origin : window < screen ? (screen - window) / 2 : 0;
    const int64_t low = std::max<int64_t>(start, 0), high = std::min<int64_t>(start + window, screen);
    if (high <= low) {
        length = 0;
        return;
    }
    src = static_cast<int>(low - start);
    dst = static_cast<int>(low);
    length = static_cast<int>(high - low);
}

}  // namespace

size_t ScreenLayout::page_start(int page) const {
    const size_t row = pages == 2 ? static_cast<size_t>(page) * height : static_cast<size_t>(y_offset);
    return row * line_length + static_cast<size_t>(x_offset) * format.bytes_per_pixel;
}

bool describe_screen(const fb_var_screeninfo& var, const fb_fix_screeninfo& fix, size_t memory_bytes,
                     ScreenLayout& layout, std::string& error) {
    const int bits = static_cast<int>(var.bits_per_pixel);
    if (bits != 16 && bits != 24 && bits != 32) {
        error = "has an unsupported depth of " + std::to_string(var.bits_per_pixel) +
                " bits per pixel (16, 24 or 32 are drawn)";
        return false;
    }
    if (fix.type != FB_TYPE_PACKED_PIXELS ||
        (fix.visual != FB_VISUAL_TRUECOLOR && fix.visual != FB_VISUAL_DIRECTCOLOR) || var.grayscale != 0) {
        error = "is not a true-colour frame buffer of packed pixels";
        return false;
    }
    if (!field_fits(var.red, bits, false) || !field_fits(var.green, bits, false) ||
        !field_fits(var.blue, bits, false) || !field_fits(var.transp, bits, true)) {
        error = "has a colour field outside its " + std::to_string(bits) + "-bit pixels";
        return false;
    }
    if (var.xres == 0 || var.yres == 0 || var.xres > kLargestSide || var.yres > kLargestSide ||
        var.xoffset > kLargestSide || var.yoffset > 2 * kLargestSide) {
        error = "has a screen of " + std::to_string(var.xres) + " x " + std::to_string(var.yres) + " at " +
                std::to_string(var.xoffset) + "," + std::to_string(var.yoffset) + ", which cannot be drawn";
        return false;
    }
    ScreenLayout l;
    l.format.bytes_per_pixel = bits / 8;
    l.format.red = {var.red.offset, var.red.length};
    l.format.green = {var.green.offset, var.green.length};
    l.format.blue = {var.blue.offset, var.blue.length};
    l.format.transp = {var.transp.offset, var.transp.length};
    l.width = static_cast<int>(var.xres);
    l.height = static_cast<int>(var.yres);
    l.x_offset = static_cast<int>(var.xoffset);
    l.y_offset = static_cast<int>(var.yoffset);
    /* Some drivers leave the line length out: rows are then the virtual width apart. */
    const size_t line =
        fix.line_length ? fix.line_length : size_t{var.xres_virtual} * l.format.bytes_per_pixel;
    const size_t row_end = static_cast<size_t>(l.x_offset + l.width) * l.format.bytes_per_pixel;
    if (line < row_end || line > kLongestLine) {
        error = "has a line length of " + std::to_string(line) + " bytes, " +
                (line < row_end ? "shorter than its rows of " + std::to_string(row_end)
                                : "longer than " + std::to_string(kLongestLine));
        return false;
    }
    l.line_length = static_cast<int>(line);
    const size_t height = static_cast<size_t>(l.height);
    const bool on_a_page = var.yoffset == 0 || var.yoffset == var.yres;
    if (var.yres_virtual >= 2 * var.yres && on_a_page && (2 * height - 1) * line + row_end <= memory_bytes) {
        l.pages = 2;
        l.shown_page = var.yoffset == 0 ? 0 : 1;
    }
    const size_t needed = (static_cast<size_t>(l.y_offset) + height - 1) * line + row_end;
    if (needed > memory_bytes) {
        error = "has " + std::to_string(memory_bytes) + " bytes of memory, fewer than its screen needs (" +
                std::to_string(needed) + ")";
        return false;
    }
    layout = l;
    return true;
}

bool geometry_records(const std::string& geometry, size_t file_bytes, fb_var_screeninfo& var,
                      fb_fix_screeninfo& fix, std::string& error) {
    const char* p = geometry.c_str();
    long width = 0, height = 0, bits = 0, line = 0;
    bool ok =
        read_number(p, width) && *p++ == 'x' && read_number(p, height) && *p++ == 'x' && read_number(p, bits);
    const bool line_given = ok && *p == ':';
    if (line_given) ok = read_number(++p, line);
    if (!ok || *p != '\0' || width < 1 || height < 1 || width > kLargestSide || height > kLargestSide ||
        bits < 1 || bits > 64 || (line_given && line == 0)) {
        error = "KESRA_FB_GEOMETRY '" + geometry + "' is not WxHxBPP[:LINE_LENGTH]";
        return false;
    }
    if (line == 0) line = width * ((bits + 7) / 8);
    var = fb_var_screeninfo{};
    fix = fb_fix_screeninfo{};
    var.xres = var.xres_virtual = static_cast<uint32_t>(width);
    var.yres = static_cast<uint32_t>(height);
    const bool two_screens = file_bytes / static_cast<size_t>(line) >= 2 * static_cast<size_t>(height);
    var.yres_virtual = static_cast<uint32_t>(two_screens ? 2 * height : height);
    var.bits_per_pixel = static_cast<uint32_t>(bits);
    if (bits == 16) {
        var.red = {11, 5, 0};
        var.green = {5, 6, 0};
        var.blue = {0, 5, 0};
    } else {
        var.red = {16, 8, 0};
        var.green = {8, 8, 0};
        var.blue = {0, 8, 0};
    }
    fix.type = FB_TYPE_PACKED_PIXELS;
    fix.visual = FB_VISUAL_TRUECOLOR;
    fix.line_length = static_cast<uint32_t>(line);
    fix.smem_len = static_cast<uint32_t>(std::min<size_t>(file_bytes, UINT32_MAX));
    return true;
}

Placement place_window(int window_width, int window_height, int screen_width, int screen_height,
                       const std::optional<Origin>& origin) {
    Placement p;
    place_axis(window_width, screen_width, origin ? std::optional<int>(origin->x) : std::nullopt, p.src_x,
               p.dst_x, p.width);
    place_axis(window_height, screen_height, origin ? std::optional<int>(origin->y) : std::nullopt, p.src_y,
               p.dst_y, p.height);
    if (p.width == 0 || p.height == 0) p = Placement{};
    return p;
}

std::optional<Origin> parse_origin(const std::string& text) {
    const char* p = text.c_str();
    long x = 0, y = 0;
    if (!read_signed(p, x) || *p++ != ',' || !read_signed(p, y) || *p != '\0') return std::nullopt;
    return Origin{static_cast<int>(x), static_cast<int>(y)};
}

void convert_row(const uint16_t* src, int count, const PixelFormat& format, uint8_t* dst) {
    if (count <= 0) return;
    if (is_native565(format)) {
        if (format.swap_bytes)
            swap_row(src, count, dst);
        else
            std::memcpy(dst, src, static_cast<size_t>(count) * 2);
        return;
    }
    const PixelScales scales(format);
    if (format.bytes_per_pixel == 4)
        convert_words(src, count, scales, dst);
    else if (format.bytes_per_pixel == 2)
        convert_halves(src, count, scales, format.swap_bytes, dst);
    else
        convert_triples(src, count, scales, dst);
}

void draw_window(const ScreenLayout& layout, uint8_t* memory, int page, const uint16_t* pixels,
                 int window_width, const Placement& placement) {
    uint8_t* corner = memory + layout.page_start(page) +
                      static_cast<size_t>(placement.dst_x) * layout.format.bytes_per_pixel;
    for (int y = 0; y < placement.height; ++y) {
        const uint16_t* src =
            pixels + static_cast<size_t>(placement.src_y + y) * window_width + placement.src_x;
        uint8_t* dst = corner + static_cast<size_t>(placement.dst_y + y) * layout.line_length;
        convert_row(src, placement.width, layout.format, dst);
    }
}

void clear_page(const ScreenLayout& layout, uint8_t* memory, int page) {
    const std::vector<uint16_t> black(static_cast<size_t>(layout.width), 0);
    std::vector<uint8_t> row(static_cast<size_t>(layout.width) * layout.format.bytes_per_pixel);
    convert_row(black.data(), layout.width, layout.format, row.data());
    uint8_t* start = memory + layout.page_start(page);
    for (int y = 0; y < layout.height; ++y)
        std::memcpy(start + static_cast<size_t>(y) * layout.line_length, row.data(), row.size());
}

}  // namespace kesra::platform::fb
