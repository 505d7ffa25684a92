/* bench_peers.cpp - the same drawing done by us and by pixman or cairo on an
 * 800 x 480 RGB565 destination, each case a ratio kesra / peer. Inputs are
 * built once outside the timed calls and are identical for every contender;
 * pixel coordinates are integers, our rectangles inclusive of both corners,
 * the peers' half-open. */
#include <cairo.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_harness.h"
#include "bench/map_scene.h"
#include "core/pixel.h"

namespace {

constexpr int kWidth = 800, kHeight = 480;
const RECT kScreen{0, 0, kWidth - 1, kHeight - 1};

/* The blended-fill and polygon colours, and the road colour. */
constexpr uint16_t kFillColor = 0x7BEF, kBlendColor = 0x001F, kAreaColor = 0x9E7F, kRoadColor = 0xFE60;

/* ---- shared inputs ---------------------------------------------------- */

/* A wobbling ring reaching past the screen edges, as in bench_fill.cpp. */
std::vector<POINT> map_area(int n) { return ::map_area(n, 400, 240, 330); }

/* A road of 300 points (299 segments) wandering in steps of up to 60 pixels over
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

/* ---- the cases ---------------------------------------------------------- */

using kesra_bench::RatioCase;

void cairo_polyline(cairo_t* cr, const std::vector<POINT>& pts) {
    cairo_move_to(cr, pts[0].x, pts[0].y);
    for (size_t i = 1; i < pts.size(); ++i) cairo_line_to(cr, pts[i].x, pts[i].y);
}

void cairo_round_stroke(cairo_t* cr, const std::vector<POINT>& pts, double width, uint16_t color) {
    cairo_set_line_width(cr, width);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    set_cairo_color(cr, color, 1.0);
    cairo_polyline(cr, pts);
    cairo_stroke(cr);
}

/* 1. a solid rectangle 600 x 360 at (100, 60): pixman_fill is the plain
 * memory fill (stride in 32-bit words). 2. the same blended at 0.5: pixman's
 * OVER of a translucent solid. */
std::vector<RatioCase> rectangle_cases() {
    auto s = std::make_shared<BenchScreen>();
    auto p = std::make_shared<PixmanScreen>();
    const pixman_color_t half = pixman_color_of(kBlendColor, 0.5);
    std::shared_ptr<pixman_image_t> solid(pixman_image_create_solid_fill(&half), pixman_image_unref);
    return {
        {"FillRect solid 600 x 360", "pixman_fill", [s] { s->dc.FillRect(100, 60, 699, 419, kFillColor); },
         [p] {
             pixman_fill(pixman_image_get_data(p->image), pixman_image_get_stride(p->image) / 4, 16, 100, 60,
                         600, 360, kFillColor);
         },
         0},
        {"FillRect blended 0.5, 600 x 360", "pixman OVER",
         [s] { s->dc.FillRect(100, 60, 699, 419, kBlendColor, 0.5f); },
         [p, solid] {
             pixman_image_composite32(PIXMAN_OP_OVER, solid.get(), nullptr, p->image, 0, 0, 0, 0, 100, 60,
                                      600, 360);
         },
         0},
    };
}
KESRA_RATIO_CASES(rectangle_cases);

/* 3. a map area, even-odd and without anti-aliasing, as cairo's mono fill. */
std::vector<RatioCase> polygon_cases() {
    std::vector<RatioCase> out;
    auto s = std::make_shared<BenchScreen>();
    auto c = std::make_shared<CairoScreen>();
    cairo_set_antialias(c->cr, CAIRO_ANTIALIAS_NONE);
    cairo_set_fill_rule(c->cr, CAIRO_FILL_RULE_EVEN_ODD);
    for (const int n : {24, 2000}) {
        auto pts = std::make_shared<std::vector<POINT>>(map_area(n));
        out.push_back(
            {"FillPolygon " + std::to_string(n) + " vertices", "cairo",
             [s, pts] { s->dc.FillPolygon(pts->data(), static_cast<int>(pts->size()), kAreaColor, 0, 0); },
             [c, pts] {
                 set_cairo_color(c->cr, kAreaColor, 1.0);
                 cairo_polyline(c->cr, *pts);
                 cairo_close_path(c->cr);
                 cairo_fill(c->cr);
             },
             0});
    }
    return out;
}
KESRA_RATIO_CASES(polygon_cases);

/* 4. a 256 x 256 bitmap with an alpha plane at (100, 50); the peers read the
 * same picture as premultiplied a8r8g8b8. */
struct AlphaBlit {
    AlphaBlit() {
        HostSetForegroundWindow(screen.window);
        bitmap.LoadBitmapTemp(reinterpret_cast<unsigned char*>(icon.pixels.data()), icon.alpha.data(), kSide,
                              kSide);
        bitmap.m_nPixelSize = kSide * kSide * 2;
        bitmap.m_nAlphaSize = kSide * kSide;
        source = pixman_image_create_bits(PIXMAN_a8r8g8b8, kSide, kSide, argb.data(), kSide * 4);
        cairo_source = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(argb.data()),
                                                           CAIRO_FORMAT_ARGB32, kSide, kSide, kSide * 4);
        cairo_set_source_surface(cairo.cr, cairo_source, 100, 50);
    }
    ~AlphaBlit() {
        pixman_image_unref(source);
        cairo_surface_destroy(cairo_source);
    }
    BenchScreen screen;
    Icon icon;
    CCEBitmap bitmap;
    std::vector<uint32_t> argb = Icon().premultiplied();
    PixmanScreen pixman;
    CairoScreen cairo;
    pixman_image_t* source;
    cairo_surface_t* cairo_source;
};

std::vector<RatioCase> blit_cases() {
    auto b = std::make_shared<AlphaBlit>();
    auto ours = [b] { b->bitmap.Draw(&b->screen.dc, 100, 50, 0, 0, 0, 0, 1); };
    return {
        {"alpha bitmap 256 x 256", "pixman OVER", ours,
         [b] {
             pixman_image_composite32(PIXMAN_OP_OVER, b->source, nullptr, b->pixman.image, 0, 0, 0, 0, 100,
                                      50, kSide, kSide);
         },
         1 / 1.5},
        {"alpha bitmap 256 x 256", "cairo paint", ours, [b] { cairo_paint(b->cairo.cr); }, 0},
    };
}
KESRA_RATIO_CASES(blit_cases);

/* 5. an anti-aliased road of 299 segments, a capsule per segment, beside
 * cairo stroking the whole path once with round caps and joins (pixman has
 * no stroker). */
std::vector<RatioCase> road_cases() {
    std::vector<RatioCase> out;
    auto s = std::make_shared<BenchScreen>();
    auto c = std::make_shared<CairoScreen>();
    auto road = std::make_shared<std::vector<POINT>>(wandering_road());
    for (const int radius : {6, 20})
        out.push_back({"road radius " + std::to_string(radius) + ", 299 segments", "cairo stroke",
                       [s, road, radius] {
                           s->dc.DrawAntiPolyline(road->data(), static_cast<LONG>(road->size()), kRoadColor,
                                                  radius, kScreen, 0, 0);
                       },
                       [c, road, radius] { cairo_round_stroke(c->cr, *road, 2.0 * radius, kRoadColor); },
                       radius == 20 ? 0.2 : 0});
    return out;
}
KESRA_RATIO_CASES(road_cases);

/* 6. the map frame of bench_map (map_scene.h). Cairo draws the same with one
 * round-capped stroke per road of the road's width, the railway as a line
 * and its dashes, the ferry dashed, and the route and its casing as two
 * strokes (it has no tilted view of its own). */
void cairo_map_frame(cairo_t* cr, const MapScene& m) {
    set_cairo_color(cr, MapScene::kGround, 1.0);
    cairo_paint(cr);
    for (size_t k = 0; k < m.roads.size(); ++k)
        cairo_round_stroke(cr, m.roads[k], 2.0 * MapScene::road_radius(k), MapScene::kRoad);
    cairo_round_stroke(cr, m.rail, 2, MapScene::kRail);
    const double rail_dash = 12, ferry_dash = 8;
    cairo_set_dash(cr, &rail_dash, 1, 0);
    cairo_round_stroke(cr, m.rail, 2, 0xFFFF);
    cairo_set_dash(cr, &ferry_dash, 1, 0);
    cairo_round_stroke(cr, m.ferry, 1, MapScene::kFerry);
    cairo_set_dash(cr, nullptr, 0, 0);
    cairo_round_stroke(cr, m.route, 2.0 * MapScene::kRouteWidth, MapScene::kCasing);
    cairo_round_stroke(cr, m.route, 2.0 * MapScene::kRouteWidth - 6, MapScene::kRoute);
}

std::vector<RatioCase> map_cases() {
    auto s = std::make_shared<BenchScreen>();
    auto c = std::make_shared<CairoScreen>();
    auto scene = std::make_shared<MapScene>();
    return {{"map frame, 3000 road segments", "cairo", [s, scene] { scene->draw(s->dc); },
             [c, scene] { cairo_map_frame(c->cr, *scene); }, 0.1}};
}
KESRA_RATIO_CASES(map_cases);

}  // namespace
