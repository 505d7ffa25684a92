/* bench_peers.cpp - the same drawing done by us, by pixman and by cairo on an
 * 800 x 480 RGB565 destination, so that each case reads as a pair or a triple
 * (BM_Case/kesra, /pixman, /cairo). Inputs are built once outside the timed
 * loop and are identical for every contender; pixel coordinates are integers,
 * our rectangles inclusive of both corners, the peers' half-open. */
#include <benchmark/benchmark.h>
#include <cairo.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "bench/bench_screen.h"
#include "core/pixel.h"

namespace {

constexpr int kWidth = 800, kHeight = 480;
const RECT kScreen{0, 0, kWidth - 1, kHeight - 1};

/* The blended-fill and polygon colours, and the road colour. */
constexpr uint16_t kFillColor = 0x7BEF, kBlendColor = 0x001F, kAreaColor = 0x9E7F, kRoadColor = 0xFE60;

/* ---- shared inputs ---------------------------------------------------- */

/* A wobbling ring reaching past the screen edges, as in bench_fill.cpp. */
std::vector<POINT> map_area(int n) { return ::map_area(n, 400, 240, 330); }

/* A road of 300 points (299 segments) wandering in 20 to 60 pixel steps over
 * the screen and a little beyond it; seeded, so every run draws the same. */
std::vector<POINT> wandering_road() {
    std::mt19937 rng(2024);
    std::uniform_int_distribution<int> step(-60, 60);
    std::vector<POINT> pts;
    POINT p{400, 240};
    for (int i = 0; i < 300; ++i) {
        pts.push_back(p);
        p.x = std::clamp<LONG>(p.x + step(rng), -20, kWidth + 20);
        p.y = std::clamp<LONG>(p.y + step(rng), -20, kHeight + 20);
    }
    return pts;
}

/* The 256 x 256 icon of bench_bitmap.cpp: stripes of colour, and a diamond of
 * alpha 31 fading to 0 over 20 pixels. */
constexpr int kSide = 256;
struct Icon {
    Icon() {
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) {
                pixels.push_back(static_cast<uint16_t>(((x / 16) * 0x0841) ^ (y / 8)));
                const int d = std::abs(x - kSide / 2) + std::abs(y - kSide / 2);
                alpha.push_back(static_cast<uint8_t>(d < 90 ? 31 : d < 110 ? (110 - d) * 31 / 20 : 0));
            }
    }
    /* The same picture as premultiplied a8r8g8b8, the peers' source format. */
    std::vector<uint32_t> premultiplied() const {
        std::vector<uint32_t> out;
        for (size_t i = 0; i < pixels.size(); ++i) {
            const uint32_t ref = kesra::Color16ToColorRef(pixels[i]);
            const uint32_t a = alpha[i] * 255u / 31u;
            const uint32_t r = (ref & 0xFF) * a / 255, g = (ref >> 8 & 0xFF) * a / 255,
                           b = (ref >> 16 & 0xFF) * a / 255;
            out.push_back(a << 24 | r << 16 | g << 8 | b);
        }
        return out;
    }
    std::vector<uint16_t> pixels;
    std::vector<uint8_t> alpha;
};

/* ---- peer destinations ------------------------------------------------ */

struct PixmanScreen {
    PixmanScreen() : image(pixman_image_create_bits(PIXMAN_r5g6b5, kWidth, kHeight, nullptr, 0)) {}
    ~PixmanScreen() { pixman_image_unref(image); }
    pixman_image_t* image;
};

struct CairoScreen {
    CairoScreen()
        : surface(cairo_image_surface_create(CAIRO_FORMAT_RGB16_565, kWidth, kHeight)),
          cr(cairo_create(surface)) {}
    ~CairoScreen() {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
    cairo_surface_t* surface;
    cairo_t* cr;
};

/* A Color16 as pixman's 16-bit-per-channel colour, premultiplied by alpha. */
pixman_color_t pixman_color_of(uint16_t c, double alpha) {
    const uint32_t ref = kesra::Color16ToColorRef(c);
    auto channel = [&](uint32_t v) { return static_cast<uint16_t>(std::lround(v * 257 * alpha)); };
    return {channel(ref & 0xFF), channel(ref >> 8 & 0xFF), channel(ref >> 16 & 0xFF),
            static_cast<uint16_t>(std::lround(0xFFFF * alpha))};
}

void set_cairo_color(cairo_t* cr, uint16_t c, double alpha) {
    const uint32_t ref = kesra::Color16ToColorRef(c);
    cairo_set_source_rgba(cr, (ref & 0xFF) / 255.0, (ref >> 8 & 0xFF) / 255.0, (ref >> 16 & 0xFF) / 255.0,
                          alpha);
}

/* ---- 1. solid rectangle, 600 x 360 at (100, 60) ----------------------- */

void BM_FillRectSolid_kesra(benchmark::State& state) {
    BenchScreen s;
    for (auto _ : state) {
        s.dc.FillRect(100, 60, 699, 419, kFillColor);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 600 * 360);
}

/* pixman_fill: the plain memory fill, stride in 32-bit words. */
void BM_FillRectSolid_pixman(benchmark::State& state) {
    PixmanScreen p;
    uint32_t* bits = pixman_image_get_data(p.image);
    const int stride = pixman_image_get_stride(p.image) / 4;
    for (auto _ : state) {
        pixman_fill(bits, stride, 16, 100, 60, 600, 360, kFillColor);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 600 * 360);
}

/* The image-level call, which goes through the operator and colour lookup. */
void BM_FillRectSolid_pixman_rects(benchmark::State& state) {
    PixmanScreen p;
    const pixman_color_t color = pixman_color_of(kFillColor, 1.0);
    const pixman_rectangle16_t rect{100, 60, 600, 360};
    for (auto _ : state) {
        pixman_image_fill_rectangles(PIXMAN_OP_SRC, p.image, &color, 1, &rect);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 600 * 360);
}

void BM_FillRectSolid_cairo(benchmark::State& state) {
    CairoScreen c;
    cairo_set_antialias(c.cr, CAIRO_ANTIALIAS_NONE);
    set_cairo_color(c.cr, kFillColor, 1.0);
    for (auto _ : state) {
        cairo_rectangle(c.cr, 100, 60, 600, 360);
        cairo_fill(c.cr);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 600 * 360);
}

/* ---- 2. the same rectangle blended at opacity 0.5 --------------------- */

void BM_FillRectBlended_kesra(benchmark::State& state) {
    BenchScreen s;
    for (auto _ : state) {
        s.dc.FillRect(100, 60, 699, 419, kBlendColor, 0.5f);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 600 * 360);
}

void BM_FillRectBlended_pixman(benchmark::State& state) {
    PixmanScreen p;
    const pixman_color_t color = pixman_color_of(kBlendColor, 0.5);
    pixman_image_t* solid = pixman_image_create_solid_fill(&color);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_OVER, solid, nullptr, p.image, 0, 0, 0, 0, 100, 60, 600, 360);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(solid);
    state.SetItemsProcessed(state.iterations() * 600 * 360);
}

void BM_FillRectBlended_cairo(benchmark::State& state) {
    CairoScreen c;
    cairo_set_antialias(c.cr, CAIRO_ANTIALIAS_NONE);
    set_cairo_color(c.cr, kBlendColor, 0.5);
    for (auto _ : state) {
        cairo_rectangle(c.cr, 100, 60, 600, 360);
        cairo_fill(c.cr);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 600 * 360);
}

/* ---- 3. colour polygon fill of a map area ----------------------------- */

void BM_FillPolygon_kesra(benchmark::State& state) {
    BenchScreen s;
    std::vector<POINT> pts = map_area(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        s.dc.FillPolygon(pts.data(), static_cast<int>(pts.size()), kAreaColor, 0, 0);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

/* pixman has no polygon fill, only trapezoids. The polygon is cut here into
 * even-odd trapezoids once, outside the timed loop: between each pair of
 * neighbouring vertex heights the crossing edges are sorted by x at the middle
 * of the band and paired. So /pixman times the rasterisation alone and is
 * spared the tessellation that we and cairo do on every call. */
std::vector<pixman_trapezoid_t> trapezoids_of(const std::vector<POINT>& pts) {
    std::vector<LONG> ys;
    for (const POINT& p : pts) ys.push_back(p.y);
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
    std::vector<pixman_trapezoid_t> traps;
    std::vector<std::pair<double, size_t>> crossing;
    const size_t n = pts.size();
    for (size_t band = 0; band + 1 < ys.size(); ++band) {
        const double top = ys[band], bottom = ys[band + 1], mid = (top + bottom) / 2;
        crossing.clear();
        for (size_t i = 0; i < n; ++i) {
            const POINT& a = pts[i];
            const POINT& b = pts[(i + 1) % n];
            if (std::min(a.y, b.y) > top || std::max(a.y, b.y) < bottom || a.y == b.y) continue;
            crossing.push_back({a.x + (b.x - a.x) * (mid - a.y) / double(b.y - a.y), i});
        }
        std::sort(crossing.begin(), crossing.end());
        auto line = [&](size_t i) {
            const POINT& a = pts[i];
            const POINT& b = pts[(i + 1) % n];
            const POINT& upper = a.y < b.y ? a : b;
            const POINT& lower = a.y < b.y ? b : a;
            return pixman_line_fixed_t{{pixman_int_to_fixed(upper.x), pixman_int_to_fixed(upper.y)},
                                       {pixman_int_to_fixed(lower.x), pixman_int_to_fixed(lower.y)}};
        };
        for (size_t k = 0; k + 1 < crossing.size(); k += 2)
            traps.push_back({pixman_double_to_fixed(top), pixman_double_to_fixed(bottom),
                             line(crossing[k].second), line(crossing[k + 1].second)});
    }
    return traps;
}

void BM_FillPolygon_pixman(benchmark::State& state) {
    PixmanScreen p;
    const std::vector<pixman_trapezoid_t> traps = trapezoids_of(map_area(static_cast<int>(state.range(0))));
    const pixman_color_t color = pixman_color_of(kAreaColor, 1.0);
    pixman_image_t* solid = pixman_image_create_solid_fill(&color);
    for (auto _ : state) {
        pixman_composite_trapezoids(PIXMAN_OP_OVER, solid, p.image, PIXMAN_a1, 0, 0, 0, 0,
                                    static_cast<int>(traps.size()), traps.data());
        benchmark::ClobberMemory();
    }
    pixman_image_unref(solid);
    state.counters["trapezoids"] = static_cast<double>(traps.size());
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void BM_FillPolygon_cairo(benchmark::State& state) {
    CairoScreen c;
    std::vector<POINT> pts = map_area(static_cast<int>(state.range(0)));
    cairo_set_antialias(c.cr, CAIRO_ANTIALIAS_NONE);
    cairo_set_fill_rule(c.cr, CAIRO_FILL_RULE_EVEN_ODD);
    set_cairo_color(c.cr, kAreaColor, 1.0);
    for (auto _ : state) {
        cairo_move_to(c.cr, pts[0].x, pts[0].y);
        for (size_t i = 1; i < pts.size(); ++i) cairo_line_to(c.cr, pts[i].x, pts[i].y);
        cairo_close_path(c.cr);
        cairo_fill(c.cr);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

/* ---- 4. 256 x 256 bitmap with an alpha plane at (100, 50) ------------- */

void BM_BlitAlpha_kesra(benchmark::State& state) {
    BenchScreen s;
    HostSetForegroundWindow(s.window);
    Icon icon;
    CCEBitmap b;
    b.LoadBitmapTemp(reinterpret_cast<unsigned char*>(icon.pixels.data()), icon.alpha.data(), kSide, kSide);
    b.m_nPixelSize = kSide * kSide * 2;
    b.m_nAlphaSize = kSide * kSide;
    for (auto _ : state) {
        b.Draw(&s.dc, 100, 50, 0, 0, 0, 0, 1);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void BM_BlitAlpha_pixman(benchmark::State& state) {
    PixmanScreen p;
    std::vector<uint32_t> argb = Icon().premultiplied();
    pixman_image_t* src = pixman_image_create_bits(PIXMAN_a8r8g8b8, kSide, kSide, argb.data(), kSide * 4);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, p.image, 0, 0, 0, 0, 100, 50, kSide, kSide);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(src);
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void BM_BlitAlpha_cairo(benchmark::State& state) {
    CairoScreen c;
    std::vector<uint32_t> argb = Icon().premultiplied();
    cairo_surface_t* src = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(argb.data()),
                                                               CAIRO_FORMAT_ARGB32, kSide, kSide, kSide * 4);
    cairo_set_source_surface(c.cr, src, 100, 50);
    for (auto _ : state) {
        cairo_paint(c.cr);
        benchmark::ClobberMemory();
    }
    cairo_surface_destroy(src);
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

/* ---- 5. anti-aliased road of radius 6 (width 12), 299 segments -------- */

void BM_AntiPolyline_kesra(benchmark::State& state) {
    BenchScreen s;
    std::vector<POINT> road = wandering_road();
    for (auto _ : state) {
        s.dc.DrawAntiPolyline(road.data(), static_cast<LONG>(road.size()), kRoadColor, 6, kScreen, 0, 0);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(road.size() - 1));
}

/* pixman has no stroker: cairo alone. Cairo strokes the whole path as one
 * shape with round joins; we draw a capsule per segment. */
void BM_AntiPolyline_cairo(benchmark::State& state) {
    CairoScreen c;
    std::vector<POINT> road = wandering_road();
    cairo_set_line_width(c.cr, 12);
    cairo_set_line_cap(c.cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(c.cr, CAIRO_LINE_JOIN_ROUND);
    set_cairo_color(c.cr, kRoadColor, 1.0);
    for (auto _ : state) {
        cairo_move_to(c.cr, road[0].x, road[0].y);
        for (size_t i = 1; i < road.size(); ++i) cairo_line_to(c.cr, road[i].x, road[i].y);
        cairo_stroke(c.cr);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(road.size() - 1));
}

}  // namespace

BENCHMARK(BM_FillRectSolid_kesra)->Name("BM_FillRectSolid/kesra");
BENCHMARK(BM_FillRectSolid_pixman)->Name("BM_FillRectSolid/pixman");
BENCHMARK(BM_FillRectSolid_pixman_rects)->Name("BM_FillRectSolid/pixman_rects");
BENCHMARK(BM_FillRectSolid_cairo)->Name("BM_FillRectSolid/cairo");
BENCHMARK(BM_FillRectBlended_kesra)->Name("BM_FillRectBlended/kesra");
BENCHMARK(BM_FillRectBlended_pixman)->Name("BM_FillRectBlended/pixman");
BENCHMARK(BM_FillRectBlended_cairo)->Name("BM_FillRectBlended/cairo");
BENCHMARK(BM_FillPolygon_kesra)->Name("BM_FillPolygon/kesra")->Arg(24)->Arg(2000);
BENCHMARK(BM_FillPolygon_pixman)->Name("BM_FillPolygon/pixman")->Arg(24)->Arg(2000);
BENCHMARK(BM_FillPolygon_cairo)->Name("BM_FillPolygon/cairo")->Arg(24)->Arg(2000);
BENCHMARK(BM_BlitAlpha_kesra)->Name("BM_BlitAlpha/kesra");
BENCHMARK(BM_BlitAlpha_pixman)->Name("BM_BlitAlpha/pixman");
BENCHMARK(BM_BlitAlpha_cairo)->Name("BM_BlitAlpha/cairo");
BENCHMARK(BM_AntiPolyline_kesra)->Name("BM_AntiPolyline/kesra");
BENCHMARK(BM_AntiPolyline_cairo)->Name("BM_AntiPolyline/cairo");
