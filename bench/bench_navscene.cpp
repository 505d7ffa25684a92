/* bench_navscene.cpp - one whole navigation frame on an 800 x 480 RGB565
 * screen, seeded so that every run draws the same: map areas, roads with
 * side lines, railways and dashed lines, the tilted view with its route,
 * street labels with halos (FreeType and the built-in engine), icons with
 * alpha from a resource pack, one transition step and the presentation.
 * Every part, and the frame as a whole, is a ratio case beside cairo
 * drawing the same on a CAIRO_FORMAT_RGB16_565 surface; before the cases
 * run, the heap allocations of one frame are counted per part by a malloc
 * hook in this program (KESRA_NAVSCENE_BACKTRACE=1 prints where each comes
 * from). */
#include <cairo-ft.h>
#include <cairo.h>
#include <execinfo.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_harness.h"
#include "bench/bench_screen.h"
#include "core/pixel.h"
#include "text/font_dispatch.h"

#ifndef KESRA_LABEL_STCF
#define KESRA_LABEL_STCF ""
#define KESRA_WQY_TTF ""
#define KESRA_ICON_PACK ""
#endif

/* ---- the allocation counter -------------------------------------------- */

extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
extern "C" void* __libc_memalign(size_t, size_t);

namespace {

std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};
bool g_backtraces = false;  // KESRA_NAVSCENE_BACKTRACE is set
bool g_tracing = false;     // print stacks now (our frame's parts only)
thread_local bool t_in_hook = false;

/* Counts an allocation made while counting is on; in backtrace mode prints
 * the caller's stack (backtrace_symbols_fd does not allocate). */
void note_allocation() {
    if (!g_counting.load(std::memory_order_relaxed) || t_in_hook) return;
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (!g_tracing) return;
    t_in_hook = true;
    void* frames[24];
    const int n = backtrace(frames, 24);
    static const char kHeader[] = "navscene: heap allocation in a frame:\n";
    [[maybe_unused]] const ssize_t written = write(2, kHeader, sizeof kHeader - 1);
    backtrace_symbols_fd(frames, n, 2);
    t_in_hook = false;
}

}  // namespace

extern "C" void* malloc(size_t n) {
    note_allocation();
    return __libc_malloc(n);
}
extern "C" void* calloc(size_t count, size_t n) {
    note_allocation();
    return __libc_calloc(count, n);
}
extern "C" void* realloc(void* p, size_t n) {
    note_allocation();
    return __libc_realloc(p, n);
}
extern "C" void* memalign(size_t alignment, size_t n) {
    note_allocation();
    return __libc_memalign(alignment, n);
}
extern "C" void* aligned_alloc(size_t alignment, size_t n) {
    note_allocation();
    return __libc_memalign(alignment, n);
}
extern "C" int posix_memalign(void** out, size_t alignment, size_t n) {
    note_allocation();
    void* p = __libc_memalign(alignment, n);
    if (!p) return ENOMEM;
    *out = p;
    return 0;
}

namespace {

/* Allocations made by one call of f; traced prints their stacks in
 * backtrace mode. */
long allocations_of(const std::function<void()>& f, bool traced) {
    const long before = g_allocations.load();
    g_tracing = traced && g_backtraces;
    g_counting = true;
    f();
    g_counting = false;
    g_tracing = false;
    return g_allocations.load() - before;
}

/* ---- the scene ---------------------------------------------------------- */

constexpr int kWidth = 800, kHeight = 480;
const RECT kScreen{0, 0, kWidth - 1, kHeight - 1};
constexpr int kTiltRight = 299;  // the tilted view takes the screen's left part
const RECT kTiltView{0, 0, kTiltRight, kHeight - 1};
constexpr double kHorizon = 64, kNear = 80;
constexpr int kLabelSize = 16;
constexpr unsigned short kGround = 0xEF7D, kSky = 0xA65D, kTiltGround = 0xD6F9;
constexpr unsigned short kRail = 0x4208, kDash = 0x041F, kRoute = 0x7E5F, kRouteEdge = 0x1237;
constexpr unsigned short kLabelInk = 0x2104, kHalo = 0xFFFF;
const char* const kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

struct Area {
    std::vector<POINT> pts;
    unsigned short color;
};
struct Road {
    std::vector<POINT> pts;
    int radius;
    unsigned short fill, side;
};
struct Label {
    std::u16string text;
    std::string utf8;
    int x, y;
    bool builtin, chinese;
};
struct Icon {
    unsigned id;
    int x, y;
};

/* Ground point (x across, z ahead) of the tilted view, seen from above its
 * near edge; the horizon lies at row kHorizon. */
POINT ground_point(double x, double z) {
    const double scale = kNear / (z + kNear);
    return {static_cast<LONG>(std::lround(150 + x * scale)),
            static_cast<LONG>(std::lround(kHorizon + (kHeight - 1 - kHorizon) * scale))};
}

std::vector<POINT> ground_line(double x0, double z0, double x1, double z1, int steps) {
    std::vector<POINT> pts;
    for (int i = 0; i <= steps; ++i) {
        const double t = static_cast<double>(i) / steps;
        pts.push_back(ground_point(x0 + (x1 - x0) * t, z0 + (z1 - z0) * t));
    }
    return pts;
}

/* Everything one frame draws, made once from fixed seeds. */
struct Scene {
    Scene() {
        make_areas();
        make_roads();
        make_lines();
        make_tilted_view();
        make_labels();
        make_icons();
    }

    /* 200 areas: most of 8 to 60 vertices, every twentieth of 1000 to 4000. */
    void make_areas() {
        static const unsigned short palette[] = {0xCF39, 0xAEB5, 0x9E7F, 0xE71C, 0xBDF7, 0xD6BA};
        std::mt19937 rng(1200);
        std::uniform_real_distribution<double> cx(-40, 840), cy(-40, 520), r(12, 90);
        for (int i = 0; i < 200; ++i) {
            const bool large = i % 20 == 0;
            const int n = large ? std::uniform_int_distribution<int>(1000, 4000)(rng)
                                : std::uniform_int_distribution<int>(8, 60)(rng);
            areas.push_back({::map_area(n, cx(rng), cy(rng), large ? 2.5 * r(rng) : r(rng)), palette[i % 6]});
        }
    }

    /* 600 roads of 6 points (3000 segments) of radius 2 to 20, wider ones rarer. */
    void make_roads() {
        std::mt19937 rng(1881);
        std::uniform_int_distribution<int> start_x(-50, 850), start_y(-50, 530), step(-60, 60);
        for (int k = 0; k < 600; ++k) {
            Road road;
            POINT p{start_x(rng), start_y(rng)};
            for (int i = 0; i < 6; ++i) {
                road.pts.push_back(p);
                p.x += step(rng);
                p.y += step(rng);
            }
            road.radius = k % 10 == 0 ? 12 + k / 10 % 9 : 2 + k % 7;  // 2..8, and a tenth 12..20
            road.fill = road.radius >= 12 ? 0xFEA8 : 0xFFFF;
            road.side = road.radius >= 12 ? 0xCC46 : 0x8410;
            roads.push_back(std::move(road));
        }
    }

    /* Four railways and six dashed lines (ferries, borders) across the map. */
    void make_lines() {
        std::mt19937 rng(4242);
        std::uniform_int_distribution<int> y(20, 460), wobble(-40, 40);
        for (int i = 0; i < 10; ++i) {
            std::vector<POINT> pts;
            int at = y(rng);
            for (int x = -20; x <= 820; x += 120) {
                pts.push_back({x, at});
                at += wobble(rng);
            }
            (i < 4 ? railways : dashes).push_back(std::move(pts));
        }
    }

    void make_tilted_view() {
        tilted_roads.push_back(ground_line(0, 0, 0, 900, 12));  // the road ahead
        for (const double z : {40.0, 130.0, 320.0}) {           // cross streets, ending inside the view
            const double reach = (kTiltRight / 2 - 12) * (z + kNear) / kNear;
            tilted_roads.push_back(ground_line(-reach, z, reach, z, 16));
        }
        tilted_roads.push_back(ground_line(-60, 0, -700, 260, 10));
        tilted_roads.push_back(ground_line(120, 40, 120, 900, 12));
        route = ground_line(0, 0, 0, 130, 5);
        const std::vector<POINT> turn = ground_line(0, 130, 120, 130, 3);
        const std::vector<POINT> onward = ground_line(120, 130, 120, 900, 10);
        route.insert(route.end(), turn.begin() + 1, turn.end());
        route.insert(route.end(), onward.begin() + 1, onward.end());
    }

    /* 150 labels of 4 to 16 characters: half FreeType (wqy-microhei), half
     * the built-in engine (labels.stcf), each half Latin and Chinese. */
    void make_labels() {
        static const std::vector<std::u16string> latin = {
            u"Main", u"Oak",   u"Station", u"Harbour", u"St.",  u"Ave",  u"Road",   u"Bridge", u"Market",
            u"Elm",  u"North", u"Lane",    u"Quay",    u"Park", u"Mill", u"Church", u"West",   u"Ring"};
        static const std::u16string han = u"中山人民东西南北京海河新华建设解放路街大道环城公园桥站场口";
        std::mt19937 rng(150);
        for (int i = 0; i < 150; ++i) {
            Label l;
            l.builtin = i % 2 == 1;
            l.chinese = i / 2 % 2 == 1;
            const size_t length =
                std::uniform_int_distribution<size_t>(l.chinese ? 3 : 6, l.chinese ? 8 : 16)(rng);
            while (l.text.size() < length) {
                if (l.chinese) {
                    l.text += han[std::uniform_int_distribution<size_t>(0, han.size() - 1)(rng)];
                } else {
                    if (!l.text.empty()) l.text += u' ';
                    l.text += latin[std::uniform_int_distribution<size_t>(0, latin.size() - 1)(rng)];
                }
            }
            l.text.resize(length);
            l.utf8 = utf8_of(l.text);
            l.x = std::uniform_int_distribution<int>(kTiltRight + 4, kWidth - 140)(rng);
            l.y = std::uniform_int_distribution<int>(4, kHeight - 24)(rng);
            labels.push_back(std::move(l));
        }
    }

    /* 40 icons of the pack (IDs 300 to 304) at seeded places. */
    void make_icons() {
        std::mt19937 rng(40);
        for (int i = 0; i < 40; ++i)
            icons.push_back({300u + static_cast<unsigned>(i % 5),
                             std::uniform_int_distribution<int>(0, 760)(rng),
                             std::uniform_int_distribution<int>(0, 440)(rng)});
    }

    std::vector<Area> areas;
    std::vector<Road> roads;
    std::vector<std::vector<POINT>> railways, dashes, tilted_roads;
    std::vector<POINT> route;
    std::vector<Label> labels;
    std::vector<Icon> icons;
};

/* An 800 x 480 RGB565 frame as a binary PPM, to look at both contenders'
 * frames side by side (KESRA_NAVSCENE_DUMP=DIR). */
void write_ppm(const std::string& path, const unsigned char* rows, int stride) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    std::fprintf(f, "P6\n%d %d\n255\n", kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            uint16_t c;
            std::memcpy(&c, rows + static_cast<ptrdiff_t>(y) * stride + x * 2, 2);
            const unsigned char rgb[3] = {static_cast<unsigned char>((c >> 11) << 3),
                                          static_cast<unsigned char>((c >> 5 & 0x3F) << 2),
                                          static_cast<unsigned char>((c & 0x1F) << 3)};
            std::fwrite(rgb, 1, 3, f);
        }
    std::fclose(f);
}

/* ---- our frame ------------------------------------------------------------ */

/* Our drawing of the scene, part by part, on one screen. The fonts stay
 * loaded (one per engine) and the pack open for the program's life. */
class KesraFrame {
   public:
    explicit KesraFrame(const Scene& scene) : s_(scene) {
        HostSetForegroundWindow(screen_.window);
        ready_ = load_font(KESRA_LABEL_STCF) && load_font(KESRA_WQY_TTF);
        const std::string pack = KESRA_ICON_PACK;
        const std::u16string wide(pack.begin(), pack.end());
        ready_ = ready_ && !pack.empty() && CCEBitmap::OpenResource(wide.c_str());
        screen_.dc.SetGDIObject(&font_);
        screen_.dc.SetTextColor(kLabelInk);
    }
    ~KesraFrame() {
        screen_.dc.SetToDefaultFont();
        CCEBitmap::CloseResource();
        for (int builtin : {0, 1}) {
            kesra::font_state().UseBuiltinEngine = builtin;
            ReleaseFont();
        }
    }
    bool ready() const { return ready_; }
    CCEDraw& dc() { return screen_.dc; }
    void dump(const std::string& path) { write_ppm(path, dc().GetBuffer(), kWidth * 2); }

    void areas() {
        dc().Clear(kGround);
        for (const Area& a : s_.areas)
            dc().FillPolygon(const_cast<POINT*>(a.pts.data()), static_cast<int>(a.pts.size()), a.color, 0, 0);
    }
    void roads() {
        for (const Road& r : s_.roads)
            dc().DrawAntiPolylineSide(const_cast<POINT*>(r.pts.data()), static_cast<int>(r.pts.size()),
                                      r.fill, r.side, r.radius, kScreen);
    }
    void lines() {
        for (const auto& rail : s_.railways)
            dc().DrawRailway(const_cast<POINT*>(rail.data()), static_cast<LONG>(rail.size()), kScreen, 12, 2,
                             0, kRail, 0xFFFF, 0, 0);
        for (const auto& dash : s_.dashes)
            dc().DrawDashLine(const_cast<POINT*>(dash.data()), static_cast<LONG>(dash.size()), kScreen, 8, 1,
                              0, 0, kDash, 0, 0);
    }
    void tilted_view() {
        dc().FillRect(0, 0, kTiltRight, static_cast<LONG>(kHorizon), kSky);
        dc().FillRect(0, static_cast<LONG>(kHorizon) + 1, kTiltRight, kHeight - 1, kTiltGround);
        for (const auto& road : s_.tilted_roads)
            dc().DrawAntiPolylineBorder3D(const_cast<POINT*>(road.data()), static_cast<LONG>(road.size()),
                                          0x6B6D, 11, kTiltView);
        for (const auto& road : s_.tilted_roads)
            dc().DrawAntiPolyline3D(const_cast<POINT*>(road.data()), static_cast<LONG>(road.size()), 0xFFDF,
                                    11, kTiltView);
        dc().DrawAntiRouteline3D(const_cast<POINT*>(s_.route.data()), static_cast<LONG>(s_.route.size()),
                                 kRoute, kRouteEdge, 9, kTiltView);
    }
    /* FreeType labels with a white edge (DM_DrawText), built-in ones with a
     * halo (DrawTextWithDistinct); each engine's labels in one run. */
    void freetype_labels() {
        static const RGBQUAD ink{0x20, 0x20, 0x20, 0}, halo{0xFF, 0xFF, 0xFF, 0};
        DMX_tag_StringStruct edged{0, 1, 0, 0, ink, halo};
        kesra::font_state().UseBuiltinEngine = 0;
        for (const Label& l : s_.labels)
            if (!l.builtin)
                dc().DM_DrawText(l.text.c_str(), -1, RECT{l.x, l.y + kLabelSize / 2, kWidth - 1, kHeight - 1},
                                 &edged, 0);
    }
    void builtin_labels() {
        const tagDISTINCT_STRUCT halo_style{0, kLabelInk | DWORD{kLabelInk} << 16, kHalo, 0, 0, 0, 0, 0, 0,
                                            0};
        kesra::font_state().UseBuiltinEngine = 1;
        for (const Label& l : s_.labels)
            if (l.builtin)
                dc().DrawTextWithDistinct(l.text.c_str(), -1, RECT{l.x, l.y, kWidth - 1, kHeight - 1}, 0,
                                          halo_style);
    }
    /* As an application draws pack icons every frame: temporary bitmaps from
     * the image pool. */
    void icons() {
        for (const Icon& i : s_.icons) {
            CCEBitmap bitmap;
            if (bitmap.LoadBitmapTemp(i.id)) dc().DrawBitmap(&bitmap, i.x, i.y, 0, 0, 0, 0);
        }
    }
    /* One step of a fade from what the back buffer holds to this frame. */
    void transition() {
        dc().RenderFlip(tagRENDERFLIP_STRUCT{RF_FADE | RF_IN, {0, 0, kWidth, kHeight}, 100});
    }
    void present() {
        dc().FlipBackBuffer(0, 0);
        dc().Flip(3, 0, 0);
    }
    void frame() {
        areas();
        roads();
        lines();
        tilted_view();
        freetype_labels();
        builtin_labels();
        icons();
        transition();
        present();
    }

   private:
    static bool load_font(const char* path) {
        if (!*path) return false;
        std::u16string wide(path, path + std::strlen(path));
        return LoadFont(wide.data()) == 1;
    }

    const Scene& s_;
    BenchScreen screen_;
    CCEFont font_{kLabelSize, kLabelSize, 2, 400};
    bool ready_ = false;
};

/* ---- cairo's frame ---------------------------------------------------------- */

void set_color(cairo_t* cr, uint16_t c) {
    const uint32_t ref = kesra::Color16ToColorRef(c);
    cairo_set_source_rgb(cr, (ref & 0xFF) / 255.0, (ref >> 8 & 0xFF) / 255.0, (ref >> 16 & 0xFF) / 255.0);
}

void polyline(cairo_t* cr, const std::vector<POINT>& pts) {
    cairo_move_to(cr, pts[0].x, pts[0].y);
    for (size_t i = 1; i < pts.size(); ++i) cairo_line_to(cr, pts[i].x, pts[i].y);
}

void round_stroke(cairo_t* cr, const std::vector<POINT>& pts, double width, uint16_t color) {
    cairo_set_line_width(cr, width);
    set_color(cr, color);
    polyline(cr, pts);
    cairo_stroke(cr);
}

/* A font face of a file, released by cairo with the face (see bench_text.cpp
 * for why cairo, not we, must free the FreeType face). */
cairo_font_face_t* cairo_face_of(const char* path) {
    static FT_Library library = [] {
        FT_Library l = nullptr;
        return FT_Init_FreeType(&l) ? nullptr : l;
    }();
    FT_Face face = nullptr;
    if (!library || !*path || FT_New_Face(library, path, 0, &face)) return nullptr;
    static const cairo_user_data_key_t owned_face{};
    cairo_font_face_t* out = cairo_ft_font_face_create_for_ft_face(face, 0);
    if (cairo_font_face_set_user_data(out, &owned_face, face, [](void* f) {
            FT_Done_Face(static_cast<FT_Face>(f));
        }) != CAIRO_STATUS_SUCCESS) {
        cairo_font_face_destroy(out);
        FT_Done_Face(face);
        return nullptr;
    }
    return out;
}

/* The same scene by cairo: areas filled even-odd without anti-aliasing,
 * roads as two round-capped strokes (side, then fill) of our widths, the
 * tilted roads and route as strokes of their near width (cairo has no
 * perspective lines), labels with a halo of the text shown around them,
 * icons painted as premultiplied ARGB32 surfaces, a fade step as a
 * paint of the last presented frame at half alpha, and the presentation as two
 * whole-surface copies (back buffer, then window). */
class CairoFrame {
   public:
    explicit CairoFrame(const Scene& scene) : s_(scene) {
        for (cairo_surface_t** surface : {&surface_, &back_, &window_})
            *surface = cairo_image_surface_create(CAIRO_FORMAT_RGB16_565, kWidth, kHeight);
        cr_ = cairo_create(surface_);
        cairo_set_line_cap(cr_, CAIRO_LINE_CAP_ROUND);
        cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
        cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_EVEN_ODD);
        wqy_ = cairo_face_of(KESRA_WQY_TTF);
        dejavu_ = cairo_face_of(kDejaVu);
        ready_ = wqy_ && dejavu_ && load_icons();
    }
    ~CairoFrame() {
        cairo_destroy(cr_);
        for (cairo_surface_t* s : {surface_, back_, window_}) cairo_surface_destroy(s);
        for (auto& icon : icons_) cairo_surface_destroy(icon.surface);
        if (wqy_) cairo_font_face_destroy(wqy_);
        if (dejavu_) cairo_font_face_destroy(dejavu_);
    }
    bool ready() const { return ready_; }
    void dump(const std::string& path) {
        cairo_surface_flush(window_);
        write_ppm(path, cairo_image_surface_get_data(window_), cairo_image_surface_get_stride(window_));
    }

    void areas() {
        set_color(cr_, kGround);
        cairo_paint(cr_);
        cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
        for (const Area& a : s_.areas) {
            set_color(cr_, a.color);
            polyline(cr_, a.pts);
            cairo_close_path(cr_);
            cairo_fill(cr_);
        }
        cairo_set_antialias(cr_, CAIRO_ANTIALIAS_DEFAULT);
    }
    void roads() {
        for (const Road& r : s_.roads) {
            round_stroke(cr_, r.pts, 2.0 * r.radius + 2, r.side);
            round_stroke(cr_, r.pts, 2.0 * r.radius, r.fill);
        }
    }
    void lines() {
        const double rail_dash = 12, dash = 8;
        for (const auto& rail : s_.railways) {
            round_stroke(cr_, rail, 2, kRail);
            cairo_set_dash(cr_, &rail_dash, 1, 0);
            round_stroke(cr_, rail, 2, 0xFFFF);
            cairo_set_dash(cr_, nullptr, 0, 0);
        }
        cairo_set_dash(cr_, &dash, 1, 0);
        for (const auto& d : s_.dashes) round_stroke(cr_, d, 1, kDash);
        cairo_set_dash(cr_, nullptr, 0, 0);
    }
    void tilted_view() {
        cairo_save(cr_);
        cairo_rectangle(cr_, 0, 0, kTiltRight + 1, kHeight);
        cairo_clip(cr_);
        set_color(cr_, kSky);
        cairo_rectangle(cr_, 0, 0, kTiltRight + 1, kHorizon + 1);
        cairo_fill(cr_);
        set_color(cr_, kTiltGround);
        cairo_rectangle(cr_, 0, kHorizon + 1, kTiltRight + 1, kHeight - kHorizon - 1);
        cairo_fill(cr_);
        for (const auto& road : s_.tilted_roads) round_stroke(cr_, road, 2 * 11 + 2, 0x6B6D);
        for (const auto& road : s_.tilted_roads) round_stroke(cr_, road, 2 * 11, 0xFFDF);
        round_stroke(cr_, s_.route, 2 * 9 + 2, kRouteEdge);
        round_stroke(cr_, s_.route, 2 * 9, kRoute);
        cairo_restore(cr_);
    }
    void freetype_labels() { labels(false); }
    void builtin_labels() { labels(true); }
    /* The halo as cairo's cheapest: the text shown at the eight one-pixel
     * offsets in the halo colour, then in ink (stroking the text's path
     * instead took cairo 15 to 18 times longer). */
    void labels(bool builtin) {
        static const int offsets[8][2] = {{-1, -1}, {0, -1}, {1, -1}, {-1, 0},
                                          {1, 0},   {-1, 1}, {0, 1},  {1, 1}};
        cairo_set_font_size(cr_, kLabelSize);
        for (const Label& l : s_.labels) {
            if (l.builtin != builtin) continue;
            cairo_set_font_face(cr_, l.builtin && !l.chinese ? dejavu_ : wqy_);
            set_color(cr_, kHalo);
            for (const auto& o : offsets) {
                cairo_move_to(cr_, l.x + o[0], l.y + kLabelSize + o[1]);
                cairo_show_text(cr_, l.utf8.c_str());
            }
            set_color(cr_, kLabelInk);
            cairo_move_to(cr_, l.x, l.y + kLabelSize);
            cairo_show_text(cr_, l.utf8.c_str());
        }
    }
    void icons() {
        for (const Icon& i : s_.icons) {
            const size_t k = i.id - 300;
            if (k >= icons_.size()) continue;
            cairo_set_source_surface(cr_, icons_[k].surface, i.x, i.y);
            cairo_paint(cr_);
        }
    }
    /* The back buffer still holds the frame presented last. */
    void transition() {
        cairo_surface_flush(surface_);
        cairo_set_source_surface(cr_, back_, 0, 0);
        cairo_paint_with_alpha(cr_, 0.5);
    }
    void present() {
        copy(surface_, back_);
        copy(back_, window_);
    }
    void frame() {
        areas();
        roads();
        lines();
        tilted_view();
        freetype_labels();
        builtin_labels();
        icons();
        transition();
        present();
    }

   private:
    struct IconSurface {
        cairo_surface_t* surface;
    };

    static void copy(cairo_surface_t* from, cairo_surface_t* to) {
        cairo_t* cr = cairo_create(to);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_surface(cr, from, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
    }

    /* The pack's icons as premultiplied ARGB32 (alpha levels 0-31 widened). */
    bool load_icons() {
        const std::string pack = KESRA_ICON_PACK;
        const std::u16string wide(pack.begin(), pack.end());
        if (pack.empty() || !CCEBitmap::OpenResource(wide.c_str())) return false;
        bool ok = true;
        for (unsigned id = 300; id < 305 && ok; ++id) {
            CCEBitmap b;
            ok = b.LoadBitmapW(id, 0, 0) && b.GetAlphaData();
            if (!ok) break;
            const int w = b.GetWidth(), h = b.GetHeight();
            cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
            unsigned char* data = cairo_image_surface_get_data(s);
            const int stride = cairo_image_surface_get_stride(s);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    uint16_t c;
                    std::memcpy(&c, b.GetImageData() + y * b.m_nPitch + x * 2, 2);
                    const uint32_t ref = kesra::Color16ToColorRef(c);
                    const uint32_t a = std::min<uint32_t>(b.GetAlphaData()[y * w + x], 31) * 255 / 31;
                    const uint32_t r = (ref & 0xFF) * a / 255, g = (ref >> 8 & 0xFF) * a / 255,
                                   bl = (ref >> 16 & 0xFF) * a / 255;
                    const uint32_t argb = a << 24 | r << 16 | g << 8 | bl;
                    std::memcpy(data + y * stride + x * 4, &argb, 4);
                }
            cairo_surface_mark_dirty(s);
            icons_.push_back({s});
        }
        CCEBitmap::CloseResource();
        return ok;
    }

    const Scene& s_;
    cairo_surface_t *surface_ = nullptr, *back_ = nullptr, *window_ = nullptr;
    cairo_t* cr_ = nullptr;
    cairo_font_face_t *wqy_ = nullptr, *dejavu_ = nullptr;
    std::vector<IconSurface> icons_;
    bool ready_ = false;
};

/* ---- the cases ---------------------------------------------------------------- */

using kesra_bench::RatioCase;

struct Part {
    const char* name;
    void (KesraFrame::*ours)();
    void (CairoFrame::*theirs)();
};

const Part kParts[] = {
    {"areas (200 polygons)", &KesraFrame::areas, &CairoFrame::areas},
    {"roads (3000 segments, radius 2-20, sides)", &KesraFrame::roads, &CairoFrame::roads},
    {"railways and dashed lines", &KesraFrame::lines, &CairoFrame::lines},
    {"tilted view and route", &KesraFrame::tilted_view, &CairoFrame::tilted_view},
    {"75 labels, FreeType, edged", &KesraFrame::freetype_labels, &CairoFrame::freetype_labels},
    {"75 labels, built-in engine, halos", &KesraFrame::builtin_labels, &CairoFrame::builtin_labels},
    {"40 icons with alpha", &KesraFrame::icons, &CairoFrame::icons},
    {"transition step", &KesraFrame::transition, &CairoFrame::transition},
    {"FlipBackBuffer and Flip", &KesraFrame::present, &CairoFrame::present},
    {"whole frame", &KesraFrame::frame, &CairoFrame::frame},
};

struct Allocations {
    long ours, theirs;
};

/* Heap allocations of one frame per part (after a frame drawn to fill the
 * caches and pools), printed as a table; one entry per part of kParts. */
std::vector<Allocations> count_allocations(KesraFrame& ours, CairoFrame& theirs) {
    std::vector<Allocations> counts;
    ours.frame();
    theirs.frame();
    std::printf(
        "navscene: heap allocations per frame (target: 0 for kesra)\n\n| part | kesra | cairo "
        "|\n|---|---:|---:|\n");
    for (const Part& p : kParts) {
        const bool whole = &p == &kParts[sizeof kParts / sizeof kParts[0] - 1];
        const long a = allocations_of([&] { (ours.*p.ours)(); }, !whole);
        const long b = allocations_of([&] { (theirs.*p.theirs)(); }, false);
        std::printf("| %s | %ld | %ld |\n", p.name, a, b);
        counts.push_back({a, b});
    }
    std::printf("\n");
    std::fflush(stdout);
    return counts;
}

std::vector<RatioCase> navscene_cases() {
    g_backtraces = std::getenv("KESRA_NAVSCENE_BACKTRACE") != nullptr;
    if (g_backtraces) {  // the first backtrace loads the unwinder, which allocates
        void* frame[1];
        backtrace(frame, 1);
    }
    static const Scene scene;
    // cairo's icons first: the pack is one stream for the process, which
    // CairoFrame closes when it has read them and KesraFrame keeps open.
    auto theirs = std::make_shared<CairoFrame>(scene);
    auto ours = std::make_shared<KesraFrame>(scene);
    if (!ours->ready() || !theirs->ready()) {
        std::fprintf(stderr, "navscene: a font or the icon pack is missing (the build makes them)\n");
        std::exit(1);
    }
    const std::vector<Allocations> counts = count_allocations(*ours, *theirs);
    if (const char* dir = std::getenv("KESRA_NAVSCENE_DUMP")) {
        ours->dump(std::string(dir) + "/navscene_kesra.ppm");
        theirs->dump(std::string(dir) + "/navscene_cairo.ppm");
    }
    std::vector<RatioCase> out;
    for (size_t i = 0; i < sizeof kParts / sizeof kParts[0]; ++i) {
        const Part& p = kParts[i];
        out.push_back({std::string("navscene ") + p.name, "cairo", [ours, p] { ((*ours).*p.ours)(); },
                       [theirs, p] { ((*theirs).*p.theirs)(); }, std::strcmp(p.name, "whole frame") ? 0 : 0.1,
                       counts[i].ours, counts[i].theirs});
    }
    return out;
}
KESRA_RATIO_CASES(navscene_cases);

}  // namespace
