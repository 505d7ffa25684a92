/* transition_compose.cpp - the frame compositor: one mode per call over a
 * rectangle of a display-shaped buffer. Rows and columns are counted from the
 * rectangle's top-left corner; the moving modes copy whole row spans and
 * darken only the seven-pixel shadow strip beside a moving edge. Pixels that
 * fall outside the screen are neither read nor written. */
#include <algorithm>
#include <cstring>

#include "bitmap/blit.h"
#include "core/pixel.h"
#include "effects/transition.h"

namespace kesra {
namespace {

struct Area {
    int64_t left, top, w, h;
};

Area area_of(const RECT& rc) {
    return Area{rc.left, rc.top, int64_t{rc.right} - rc.left, int64_t{rc.bottom} - rc.top};
}

bool on_screen(const Canvas& c, int64_t x, int64_t y) {
    return x >= 0 && y >= 0 && x < c.width && y < c.height;
}

/* The bitmap alpha blend of a pixel given in screen coordinates. */
void blend_at(const Canvas& c, int64_t x, int64_t y, uint16_t color, int level) {
    if (!on_screen(c, x, y)) return;
    blend_bitmap_pixel(c.at(static_cast<int32_t>(x), static_cast<int32_t>(y)), color,
                       static_cast<uint32_t>(std::max(level, 0)));
}

/* n pixels of src row sy from column sx to dst row dy from column dx. */
void copy_span(const Canvas& dst, const Canvas& src, int64_t dx, int64_t dy, int64_t sx, int64_t sy,
               int64_t n) {
    Block b;
    if (!clip_block(dx, dy, sx, sy, n, 1, src.width, src.height, dst.width, dst.height, &b)) return;
    std::memcpy(dst.at(b.dx, b.dy), src.at(b.sx, b.sy), static_cast<size_t>(b.w) * 2);
}

/* Row y of the area (relative) becomes row sy of the source, whole width. */
void copy_row(const Canvas& dst, const Canvas& src, const Area& a, int64_t y, int64_t sy) {
    copy_span(dst, src, a.left, a.top + y, a.left, a.top + sy, a.w);
}

/* The columns x0 <= x < x1 (screen) of the area, cut to the screen. */
struct Columns {
    int64_t x0, x1;
    size_t n() const { return static_cast<size_t>(x1 - x0); }
};

Columns columns_of(const Canvas& c, const Area& a) {
    return Columns{std::max<int64_t>(a.left, 0),
                   std::max<int64_t>(std::min<int64_t>(a.left + a.w, c.width), 0)};
}

uint16_t* screen_row(const Canvas& c, int64_t x, int64_t y) {
    return c.at(static_cast<int32_t>(x), static_cast<int32_t>(y));
}

void darken_row(const Canvas& dst, const Area& a, int64_t y, int level) {
    const Columns cols = columns_of(dst, a);
    const int64_t row = a.top + y;
    if (row < 0 || row >= dst.height || cols.x1 <= cols.x0) return;
    blend_span_color(screen_row(dst, cols.x0, row), cols.n(), 0, level);
}

void checker_screen(const Canvas& dst) {
    for (int32_t y = 0; y < dst.height; ++y)
        checker_span(dst.at(0, y), static_cast<size_t>(dst.width), y & 1);
}

/* On an image: even pixels black, the others blended toward black at 8. */
void checker_image(const tagEFFECTIMAGE& image) {
    if (!image.pPixels) return;
    for (LONG y = 0; y < image.nHeight; ++y) {
        uint16_t* row = image.pPixels + static_cast<size_t>(y) * static_cast<size_t>(image.nWidth);
        for (LONG x = 0; x < image.nWidth; ++x) row[x] = ((x + y) & 1) ? blend565(row[x], 0, 8) : 0;
    }
}

/* Row y (relative) of the white frame over the columns cols of the area: the
 * pixels of base row from column cols.x0 on become out's (they may be one). */
void frame_row(uint16_t* out, const uint16_t* base, const Area& a, const Columns& cols, int64_t y) {
    if (y < 3 || y >= a.h - 3) {
        fill565(out, cols.x1 - cols.x0, 0xFFFF);
        return;
    }
    const int64_t inner0 = std::clamp(a.left + 3, cols.x0, cols.x1);
    const int64_t inner1 = std::clamp(a.left + a.w - 3, inner0, cols.x1);
    fill565(out, inner0 - cols.x0, 0xFFFF);
    blend_span_color_into(out + (inner0 - cols.x0), base + (inner0 - cols.x0),
                          static_cast<size_t>(inner1 - inner0), 0xFFFF, 10);
    fill565(out + (inner1 - cols.x0), cols.x1 - inner1, 0xFFFF);
}

/* The rows of the area on the screen: y0 <= row < y1. */
struct Rows {
    int64_t y0, y1;
};

Rows rows_of(const Canvas& c, const Area& a) {
    const int64_t y0 = std::clamp<int64_t>(a.top, 0, c.height);
    return Rows{y0, std::clamp<int64_t>(a.top + a.h, y0, c.height)};
}

/* White edges three pixels wide around an inside tinted toward white. */
void frame(const Canvas& dst, const Area& a) {
    const Columns cols = columns_of(dst, a);
    if (cols.x1 <= cols.x0) return;
    const Rows rows = rows_of(dst, a);
    for (int64_t row = rows.y0; row < rows.y1; ++row) {
        uint16_t* p = screen_row(dst, cols.x0, row);
        frame_row(p, p, a, cols, row - a.top);
    }
}

void blend(const Canvas& dst, const Canvas& src, const Area& a, int level) {
    const Columns cols = columns_of(dst, a);
    const Rows rows = rows_of(dst, a);
    if (cols.x1 <= cols.x0) return;
    for (int64_t y = rows.y0; y < rows.y1; ++y)
        blend_span(screen_row(dst, cols.x0, y), screen_row(src, cols.x0, y), cols.n(), level);
}

/* out becomes base byte for byte (ypitch * height), except the columns cols
 * of rows, which span(out_row, base_row, screen_row) writes from base. Each
 * byte is read and written once. */
template <class Span>
void over_base(const Canvas& out, const Canvas& base, const Columns& cols, Rows rows, Span span) {
    const size_t pitch = static_cast<size_t>(out.ypitch);
    if (cols.x1 <= cols.x0) rows.y1 = rows.y0;
    const size_t x0 = static_cast<size_t>(cols.x0) * 2, x1 = static_cast<size_t>(cols.x1) * 2;
    std::memcpy(out.origin, base.origin, static_cast<size_t>(rows.y0) * pitch);
    for (int64_t y = rows.y0; y < rows.y1; ++y) {
        uint8_t* o = out.origin + static_cast<size_t>(y) * pitch;
        const uint8_t* b = base.origin + static_cast<size_t>(y) * pitch;
        std::memcpy(o, b, x0);
        span(reinterpret_cast<uint16_t*>(o + x0), reinterpret_cast<const uint16_t*>(b + x0), y);
        std::memcpy(o + x1, b + x1, pitch - x1);
    }
    const size_t after = static_cast<size_t>(rows.y1) * pitch;
    std::memcpy(out.origin + after, base.origin + after, static_cast<size_t>(out.height) * pitch - after);
}

void split_vertical(const Canvas& dst, const Canvas& src, const Area& a, int64_t o) {
    const int64_t hh = a.h / 2;
    for (int64_t y = 0; y < hh; ++y) {
        const int64_t past = y - (hh - o);
        if (past <= 0)
            copy_row(dst, src, a, y, y + o);
        else if (past <= 6)
            darken_row(dst, a, y, kShadowRamp[past]);
    }
    for (int64_t y = hh; y < a.h; ++y) {
        const int64_t before = (hh + o) - y;
        if (before <= 0)
            copy_row(dst, src, a, y, y - o);
        else if (before <= 6)
            darken_row(dst, a, y, kShadowRamp[before]);
    }
}

/* Shadow column x (relative) of the area's row y, darkened at ramp[n]. */
void shade(const Canvas& dst, const Area& a, int64_t x, int64_t y, int n) {
    blend_at(dst, a.left + x, a.top + y, 0, kShadowRamp[n]);
}

void split_horizontal(const Canvas& dst, const Canvas& src, const Area& a, int64_t o) {
    const int64_t hw = a.w / 2;
    for (int64_t y = 0; y < a.h; ++y) {
        copy_span(dst, src, a.left, a.top + y, a.left + o, a.top + y, hw - o);
        copy_span(dst, src, a.left + hw + o, a.top + y, a.left + hw, a.top + y, a.w - hw - o);
        for (int n = 0; n < 7 && hw - o + n < hw; ++n) shade(dst, a, hw - o + n, y, n);
        for (int n = 0; n < 7 && hw + o - n >= hw; ++n)
            if (hw + o - n < a.w) shade(dst, a, hw + o - n, y, n);
    }
}

void slide_up(const Canvas& dst, const Canvas& src, const Area& a, int64_t o) {
    for (int64_t y = 0; y < a.h; ++y) {
        const int64_t past = y - (a.h - o);
        if (past < 0)
            copy_row(dst, src, a, y, y + o);
        else if (past >= 1 && past <= 6)
            darken_row(dst, a, y, kShadowRamp[past]);
    }
}

void slide_down(const Canvas& dst, const Canvas& src, const Area& a, int64_t o) {
    for (int64_t y = 0; y < a.h; ++y) {
        if (y >= o)
            copy_row(dst, src, a, y, y - o);
        else if (o - y <= 6)
            darken_row(dst, a, y, kShadowRamp[o - y]);
    }
}

void slide_left(const Canvas& dst, const Canvas& src, const Area& a, int64_t o) {
    for (int64_t y = 0; y < a.h; ++y) {
        copy_span(dst, src, a.left, a.top + y, a.left + o, a.top + y, a.w - o);
        for (int n = 0; n < 7 && a.w - o + n < a.w; ++n) shade(dst, a, a.w - o + n, y, n);
    }
}

void slide_right(const Canvas& dst, const Canvas& src, const Area& a, int64_t o) {
    for (int64_t y = 0; y < a.h; ++y) {
        copy_span(dst, src, a.left + o, a.top + y, a.left, a.top + y, a.w - o);
        for (int n = 0; n < 7 && o - n >= 1; ++n)
            if (o - n < a.w) shade(dst, a, o - n, y, n);
    }
}

/* The image into the area, its rows nWidth apart; only the part that both
 * the image and the area cover, on the screen, is drawn. */
void image(const Canvas& dst, const Area& a, const tagEFFECTIMAGE& img) {
    if (!img.pPixels || img.nWidth < 1 || img.nHeight < 1) return;
    Block b;
    const int64_t w = std::min<int64_t>(a.w, img.nWidth), h = std::min<int64_t>(a.h, img.nHeight);
    if (!clip_block(a.left, a.top, 0, 0, w, h, img.nWidth, img.nHeight, dst.width, dst.height, &b)) return;
    for (int32_t j = 0; j < b.h; ++j) {
        const size_t at =
            static_cast<size_t>(b.sy + j) * static_cast<size_t>(img.nWidth) + static_cast<size_t>(b.sx);
        uint16_t* d = dst.at(b.dx, b.dy + j);
        if (img.pAlpha)
            blend_span_alpha(d, img.pPixels + at, img.pAlpha + at, static_cast<size_t>(b.w));
        else
            std::memcpy(d, img.pPixels + at, static_cast<size_t>(b.w) * 2);
    }
}

}  // namespace

int compose_frame(const Canvas& dst, const Canvas& src, const tagCOMPOSE_PARAM& param) {
    const DWORD mode = param.dwMode & (0u - param.dwMode);  // the lowest bit set
    const Area a = area_of(param.rcArea);
    if (mode == COMPOSE_CHECKER) {
        if (dst.origin)
            checker_screen(dst);
        else
            checker_image(param.Image);
        return 1;
    }
    if (a.h < 1 || a.w < 1 || !dst.origin) return 1;
    const bool needs_source = mode == COMPOSE_BLEND || mode == COMPOSE_SPLIT_V || mode == COMPOSE_SPLIT_H ||
                              (mode >= COMPOSE_SLIDE_UP && mode <= COMPOSE_SLIDE_RIGHT);
    if (needs_source && !src.origin) return 1;
    const int64_t o = param.nOffset;
    switch (mode) {
        case COMPOSE_FRAME:
            frame(dst, a);
            break;
        case COMPOSE_BLEND:
            blend(dst, src, a, param.nLevel);
            break;
        case COMPOSE_SPLIT_V:
            split_vertical(dst, src, a, o);
            break;
        case COMPOSE_SPLIT_H:
            split_horizontal(dst, src, a, o);
            break;
        case COMPOSE_IMAGE:
        case COMPOSE_IMAGE_PIXELS:
            image(dst, a, param.Image);
            break;
        case COMPOSE_SLIDE_UP:
            slide_up(dst, src, a, o);
            break;
        case COMPOSE_SLIDE_DOWN:
            slide_down(dst, src, a, o);
            break;
        case COMPOSE_SLIDE_LEFT:
            slide_left(dst, src, a, o);
            break;
        case COMPOSE_SLIDE_RIGHT:
            slide_right(dst, src, a, o);
            break;
        case COMPOSE_DARK_IMAGE:
            image(dst, a, param.Image);
            for (int64_t y = 0; y < a.h; ++y) darken_row(dst, a, y, param.nLevel);
            break;
        default:
            break;
    }
    return 1;
}

void blend_over(const Canvas& out, const Canvas& base, const Canvas& over, const RECT& rc, int level) {
    const Area a = area_of(rc);
    const Columns cols = columns_of(out, a);
    const Rows rows = a.w < 1 ? Rows{0, 0} : rows_of(out, a);
    // Levels that keep one frame over rows of the whole width: one copy per band.
    if ((level <= 0 || level >= 31) && cols.x0 == 0 && cols.x1 == out.width && out.ypitch == 2 * out.width) {
        const size_t pitch = static_cast<size_t>(out.ypitch);
        const size_t top = static_cast<size_t>(rows.y0) * pitch,
                     bottom = static_cast<size_t>(rows.y1) * pitch;
        const Canvas& inside = level >= 31 ? over : base;
        std::memcpy(out.origin, base.origin, top);
        std::memcpy(out.origin + top, inside.origin + top, bottom - top);
        std::memcpy(out.origin + bottom, base.origin + bottom,
                    static_cast<size_t>(out.height) * pitch - bottom);
        return;
    }
    over_base(out, base, cols, rows, [&](uint16_t* o, const uint16_t* b, int64_t y) {
        blend_span_into(o, b, screen_row(over, cols.x0, y), cols.n(), level);
    });
}

void copy_around(const Canvas& out, const Canvas& base, const RECT& rc, const RowSpan& span) {
    const Area a = area_of(rc);
    const Columns cols = columns_of(out, a);
    const Rows rows = a.w < 1 ? Rows{0, 0} : rows_of(out, a);
    over_base(out, base, cols, rows, span);
}

void frame_over(const Canvas& out, const Canvas& base, const RECT& rc) {
    const Area a = area_of(rc);
    const Columns cols = columns_of(out, a);
    const Rows rows = a.w < 1 ? Rows{0, 0} : rows_of(out, a);
    over_base(out, base, cols, rows,
              [&](uint16_t* o, const uint16_t* b, int64_t y) { frame_row(o, b, a, cols, y - a.top); });
}

}  // namespace kesra
