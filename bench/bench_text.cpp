/* bench_text.cpp - a map frame's street labels: 150 labels of 6 to 20
 * characters at seeded places on an 800 x 480 RGB565 screen, 16 pixels high,
 * in Latin and in Chinese. We draw them with DrawTextW: through FreeType and
 * the glyph cache beside cairo drawing the same strings with the same font
 * files on a CAIRO_FORMAT_RGB16_565 surface, and through the built-in engine
 * (a font kesra-font made at build time) beside FreeType drawing the same
 * glyphs from the TrueType files that font came from.
 *
 * After the Google Benchmark cases (one run each, for profiling) the run
 * compares the contenders of each pair in rounds: each draws a few frames in
 * turn, in a seeded random order, after warm-up frames; the thread's CPU time
 * per frame is kept per round and the report gives the median and the spread
 * of the times and of the per-round ratios. */
#include <benchmark/benchmark.h>
#include <cairo-ft.h>
#include <cairo.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_screen.h"
#include "core/pixel.h"
#include "text/font_dispatch.h"

namespace {

constexpr int kWidth = 800, kHeight = 480, kLabels = 150, kSize = 16;
constexpr uint16_t kLabelColor = 0x2104;
const char* const kLatinFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char* const kChineseFont = "/usr/share/fonts/truetype/droid/DroidSansFallbackFull.ttf";
const char* const kWqyCollection = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";
// Made by the build: the built-in engine's font (Latin from DejaVu Sans, every
// code page 936 hanzi from wqy-microhei), a Latin-only one, and wqy-microhei
// under a name with ".ttf", which is how LoadFont picks FreeType.
#ifndef KESRA_LABEL_STCF
#define KESRA_LABEL_STCF ""
#define KESRA_LATIN_STCF ""
#define KESRA_WQY_TTF ""
#endif

struct Label {
    std::u16string text;
    std::string utf8;
    int x, y;
};

std::u16string wide(const char* path) { return std::u16string(path, path + std::strlen(path)); }

/* Street names built from a small vocabulary, as a map frame repeats its
 * words; lengths 6 to 20 characters, places spread over the screen. */
std::vector<Label> labels(bool chinese) {
    static const std::vector<std::u16string> latin = {
        u"Main", u"Oak",   u"Station", u"Harbour", u"St.",  u"Ave",  u"Road",   u"Bridge", u"Market",
        u"Elm",  u"North", u"Lane",    u"Quay",    u"Park", u"Mill", u"Church", u"West",   u"Ring"};
    static const std::u16string han = u"中山人民东西南北京海河新华建设解放路街大道环城公园桥站场口";
    std::mt19937 rng(chinese ? 936 : 1252);
    std::vector<Label> out;
    for (int i = 0; i < kLabels; ++i) {
        const size_t length = std::uniform_int_distribution<size_t>(6, 20)(rng);
        std::u16string text;
        while (text.size() < length) {
            if (chinese) {
                text += han[std::uniform_int_distribution<size_t>(0, han.size() - 1)(rng)];
            } else {
                if (!text.empty()) text += u' ';
                text += latin[std::uniform_int_distribution<size_t>(0, latin.size() - 1)(rng)];
            }
        }
        text.resize(length);
        const int x = std::uniform_int_distribution<int>(0, kWidth - 160)(rng);
        const int y = std::uniform_int_distribution<int>(0, kHeight - 24)(rng);
        out.push_back(Label{text, utf8_of(text), x, y});
    }
    return out;
}

/* Pixels of an 800 x 480 RGB565 screen that are not white. */
long count_inked(const unsigned char* rows, int stride) {
    long n = 0;
    for (int y = 0; y < kHeight; ++y) {
        const auto* p = reinterpret_cast<const uint16_t*>(rows + static_cast<ptrdiff_t>(y) * stride);
        n += kWidth - std::count(p, p + kWidth, uint16_t{0xFFFF});
    }
    return n;
}

/* Our frame: DrawTextW of every label on one engine. The font state is the
 * process's: the engine is chosen before every frame, so that a built-in
 * font and a FreeType font loaded side by side take turns. With
 * uncached, FreeType's glyph cache is emptied before every label, so that
 * each label renders its glyphs, as the built-in engine always does. */
class KesraFrame {
   public:
    KesraFrame(bool chinese, bool builtin, bool uncached = false, bool halo = false)
        : frame_(labels(chinese)), builtin_(builtin), uncached_(uncached), halo_(halo) {
        screen_.dc.SetGDIObject(&font_);
        screen_.dc.SetTextColor(kLabelColor);
        screen_.dc.Clear(0xFFFF);
    }
    ~KesraFrame() { screen_.dc.SetToDefaultFont(); }
    void operator()() {
        kesra::font_state().UseBuiltinEngine = builtin_ ? 1 : 0;
        for (const Label& l : frame_) {
            if (uncached_) Reset_Fontcache();
            const RECT rect{l.x, l.y, kWidth - 1, kHeight - 1};
            if (halo_)
                screen_.dc.DrawTextWithDistinct(l.text.c_str(), -1, rect, 0, halo_params());
            else
                screen_.dc.DrawTextW(l.text.c_str(), -1, rect, 0);
        }
        benchmark::ClobberMemory();
    }
    /* The width of every label, as alignment asks for it. */
    void measure() {
        kesra::font_state().UseBuiltinEngine = builtin_ ? 1 : 0;
        for (const Label& l : frame_)
            benchmark::DoNotOptimize(
                kesra::MeasureText(l.text.c_str(), static_cast<int>(l.text.size()), font_));
    }
    long inked() { return count_inked(screen_.dc.GetBuffer(), kWidth * 2); }

   private:
    /* A white halo behind labels in the label colour, as a map draws them. */
    static tagDISTINCT_STRUCT halo_params() {
        tagDISTINCT_STRUCT p{};
        p.nMode = 0;
        p.dwColors = kLabelColor | DWORD{kLabelColor} << 16;
        p.dwBackColor = 0xFFFF;
        return p;
    }

    BenchScreen screen_;
    CCEFont font_{kSize, kSize, 2, 400};
    std::vector<Label> frame_;
    bool builtin_, uncached_, halo_;
};

/* cairo's frame: the same UTF-8 strings, the same font file and size. cairo
 * may keep a font face alive after we let it go (its cache of recently used
 * scaled fonts), so the FreeType face is released by cairo when it destroys
 * the font face, and the FreeType library lives as long as the process:
 * freeing the face ourselves let a later face at the same address meet the
 * stale cache entries of the old one. */
class CairoFrame {
   public:
    CairoFrame(const char* font_path, bool chinese) : frame_(labels(chinese)) {
        static FT_Library library = [] {
            FT_Library l = nullptr;
            return FT_Init_FreeType(&l) ? nullptr : l;
        }();
        FT_Face face = nullptr;
        if (!library || FT_New_Face(library, font_path, 0, &face)) return;
        static const cairo_user_data_key_t owned_face{};
        cairo_face_ = cairo_ft_font_face_create_for_ft_face(face, 0);
        if (cairo_font_face_set_user_data(cairo_face_, &owned_face, face, release_face) !=
            CAIRO_STATUS_SUCCESS) {
            cairo_font_face_destroy(cairo_face_);
            cairo_face_ = nullptr;
            FT_Done_Face(face);
            return;
        }
        surface_ = cairo_image_surface_create(CAIRO_FORMAT_RGB16_565, kWidth, kHeight);
        cr_ = cairo_create(surface_);
        cairo_set_font_face(cr_, cairo_face_);
        cairo_set_font_size(cr_, kSize);
        const uint32_t ref = kesra::Color16ToColorRef(kLabelColor);
        cairo_set_source_rgb(cr_, 1, 1, 1);
        cairo_paint(cr_);
        cairo_set_source_rgb(cr_, (ref & 0xFF) / 255.0, (ref >> 8 & 0xFF) / 255.0,
                             (ref >> 16 & 0xFF) / 255.0);
    }
    ~CairoFrame() {
        if (cr_) cairo_destroy(cr_);
        if (surface_) cairo_surface_destroy(surface_);
        if (cairo_face_) cairo_font_face_destroy(cairo_face_);
    }
    bool ready() const { return cr_ != nullptr; }
    void operator()() {
        for (const Label& l : frame_) {
            cairo_move_to(cr_, l.x, l.y + kSize);
            cairo_show_text(cr_, l.utf8.c_str());
        }
        cairo_surface_flush(surface_);
        benchmark::ClobberMemory();
    }
    /* Pixels that are no longer the white ground. */
    long inked() const {
        const auto* row = cairo_image_surface_get_data(surface_);
        const int stride = cairo_image_surface_get_stride(surface_);
        return count_inked(row, stride);
    }

   private:
    static void release_face(void* face) { FT_Done_Face(static_cast<FT_Face>(face)); }

    std::vector<Label> frame_;
    cairo_surface_t* surface_ = nullptr;
    cairo_t* cr_ = nullptr;
    cairo_font_face_t* cairo_face_ = nullptr;
};

/* The fonts a case needs, loaded for its lifetime: FreeType's last, so that
 * both engines hold a font. */
class LoadedFonts {
   public:
    explicit LoadedFonts(std::vector<const char*> paths) {
        for (const char* p : paths) ok_ = ok_ && *p && LoadFont(wide(p).data()) == 1;
    }
    ~LoadedFonts() {
        for (int builtin : {0, 1}) {
            kesra::font_state().UseBuiltinEngine = builtin;
            ReleaseFont();
        }
    }
    bool ok() const { return ok_; }

   private:
    bool ok_ = true;
};

template <typename Frame>
void run_frames(benchmark::State& state, Frame& frame) {
    for (auto _ : state) frame();
    state.SetItemsProcessed(state.iterations() * kLabels);
}

void BM_Labels_kesra(benchmark::State& state, bool chinese) {
    LoadedFonts fonts({chinese ? kChineseFont : kLatinFont});
    if (!fonts.ok()) return state.SkipWithError("font missing");
    KesraFrame frame(chinese, false);
    run_frames(state, frame);
}
void BM_Labels_cairo(benchmark::State& state, bool chinese) {
    CairoFrame frame(chinese ? kChineseFont : kLatinFont, chinese);
    if (!frame.ready()) return state.SkipWithError("font missing");
    run_frames(state, frame);
}
/* The built-in engine, and FreeType on the TrueType files its font came from. */
void BM_Labels_builtin(benchmark::State& state, bool chinese) {
    LoadedFonts fonts({KESRA_LABEL_STCF});
    if (!fonts.ok()) return state.SkipWithError("built-in font missing (made by the build)");
    KesraFrame frame(chinese, true);
    run_frames(state, frame);
}
void BM_Labels_builtin_halo(benchmark::State& state, bool chinese) {
    LoadedFonts fonts({KESRA_LABEL_STCF});
    if (!fonts.ok()) return state.SkipWithError("built-in font missing (made by the build)");
    KesraFrame frame(chinese, true, false, true);
    run_frames(state, frame);
}
void BM_Labels_freetype_source(benchmark::State& state, bool chinese) {
    LoadedFonts fonts({chinese ? KESRA_WQY_TTF : kLatinFont});
    if (!fonts.ok()) return state.SkipWithError("font missing");
    KesraFrame frame(chinese, false);
    run_frames(state, frame);
}
/* The frame's labels measured with the frame's glyphs cached (measuring looks
 * glyphs up but never adds them). */
void BM_MeasureLabels(benchmark::State& state, bool chinese) {
    LoadedFonts fonts({chinese ? kChineseFont : kLatinFont});
    if (!fonts.ok()) return state.SkipWithError("font missing");
    KesraFrame frame(chinese, false);
    frame();
    for (auto _ : state) frame.measure();
    state.SetItemsProcessed(state.iterations() * kLabels);
}

BENCHMARK_CAPTURE(BM_Labels_kesra, latin, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Labels_cairo, latin, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Labels_kesra, chinese, true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Labels_cairo, chinese, true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Labels_builtin, latin, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Labels_freetype_source, latin, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Labels_builtin, chinese, true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Labels_freetype_source, chinese, true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Labels_builtin_halo, latin, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Labels_builtin_halo, chinese, true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_MeasureLabels, latin, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_MeasureLabels, chinese, true)->Unit(benchmark::kMicrosecond);

/* ---- The paired comparison ---- */

double thread_cpu_seconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Spread {
    double low, median, high;
};

Spread spread_of(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return Spread{v.front(), v[v.size() / 2], v.back()};
}

struct Pairing {
    std::vector<double> first, second;  // CPU seconds per frame, one per round
    std::vector<double> ratio;          // second / first, per round
};

/* Rounds of `frames` frames each, the order within a round drawn at random;
 * both contenders first draw `frames` frames unmeasured. */
Pairing pair_up(const std::function<void()>& first, const std::function<void()>& second, int rounds,
                int frames) {
    Pairing p;
    std::mt19937 rng(20261207);
    for (int k = 0; k < frames; ++k) first(), second();
    auto time = [frames](const std::function<void()>& draw) {
        const double start = thread_cpu_seconds();
        for (int k = 0; k < frames; ++k) draw();
        return (thread_cpu_seconds() - start) / frames;
    };
    for (int r = 0; r < rounds; ++r) {
        double a, b;
        if (rng() & 1) {
            a = time(first);
            b = time(second);
        } else {
            b = time(second);
            a = time(first);
        }
        p.first.push_back(a);
        p.second.push_back(b);
        p.ratio.push_back(b / a);
    }
    return p;
}

void print_pairing(const char* title, const char* first, const char* second, const char* ratio_name,
                   const Pairing& p, const char* target) {
    std::printf("%s (CPU time per frame: median [min, max] of %zu rounds)\n", title, p.ratio.size());
    for (const auto& row : {std::make_pair(first, &p.first), std::make_pair(second, &p.second)}) {
        const Spread s = spread_of(*row.second);
        std::printf("  %-22s %8.1f us  [%.1f, %.1f]\n", row.first, s.median * 1e6, s.low * 1e6, s.high * 1e6);
    }
    const Spread r = spread_of(p.ratio);
    std::printf("  %-22s %8.2f     [%.2f, %.2f]%s\n", ratio_name, r.median, r.low, r.high, target);
}

long file_size(const char* path) {
    struct stat st;
    return *path && stat(path, &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

void print_font_sizes() {
    const long latin_stcf = file_size(KESRA_LATIN_STCF), stcf = file_size(KESRA_LABEL_STCF);
    const long dejavu = file_size(kLatinFont), wqy = file_size(kWqyCollection);
    std::printf("Font files (bytes)\n");
    if (latin_stcf > 0 && dejavu > 0)
        std::printf("  Latin page, STCF %ld from DejaVuSans.ttf %ld: %.1f %%\n", latin_stcf, dejavu,
                    100.0 * latin_stcf / dejavu);
    if (stcf > 0 && dejavu > 0 && wqy > 0)
        std::printf("  Latin + GBK hanzi, STCF %ld from DejaVuSans.ttf + wqy-microhei.ttc %ld: %.1f %%\n",
                    stcf, dejavu + wqy, 100.0 * stcf / (dejavu + wqy));
}

/* Each script: our FreeType labels against cairo's, and the built-in engine
 * against FreeType on the font's sources. */
void compare_all(int rounds, int frames) {
    for (const bool chinese : {false, true}) {
        const char* script = chinese ? "Chinese" : "Latin";
        {
            LoadedFonts fonts({chinese ? kChineseFont : kLatinFont});
            CairoFrame cairo(chinese ? kChineseFont : kLatinFont, chinese);
            if (fonts.ok() && cairo.ready()) {
                KesraFrame ours(chinese, false);
                const std::string title = std::string(script) + " labels, FreeType, " +
                                          (chinese ? "Droid Sans Fallback" : "DejaVu Sans") +
                                          ", beside cairo";
                print_pairing(title.c_str(), "kesra", "cairo", "cairo / kesra",
                              pair_up(std::ref(ours), std::ref(cairo), rounds, frames),
                              "  (target at least 3)");
                // Both drew the labels: about as many pixels carry ink.
                std::printf("  pixels inked: kesra %ld, cairo %ld\n", ours.inked(), cairo.inked());
            }
        }
        {
            LoadedFonts fonts({KESRA_LABEL_STCF, chinese ? KESRA_WQY_TTF : kLatinFont});
            if (!fonts.ok()) {
                std::printf("%s labels, built-in engine: font missing (made by the build)\n", script);
                continue;
            }
            KesraFrame builtin(chinese, true), freetype(chinese, false);
            const std::string title = std::string(script) + " labels, FreeType on " +
                                      (chinese ? "wqy-microhei" : "DejaVu Sans") +
                                      " beside the built-in engine (no halos)";
            print_pairing(title.c_str(), "FreeType", "built-in", "built-in / FreeType",
                          pair_up(std::ref(freetype), std::ref(builtin), rounds, frames), "");
            std::printf("  pixels inked: FreeType %ld, built-in %ld\n", freetype.inked(), builtin.inked());
            // cairo draws the same strings from the TrueType files the font came from.
            CairoFrame cairo(chinese ? kWqyCollection : kLatinFont, chinese);
            if (cairo.ready()) {
                KesraFrame halo(chinese, true, false, true);
                for (auto* ours : {&builtin, &halo}) {
                    const bool with_halo = ours == &halo;
                    const std::string name = std::string(script) + " labels, the built-in engine" +
                                             (with_halo ? " with halos" : "") + " beside cairo";
                    print_pairing(
                        name.c_str(), with_halo ? "built-in + halo" : "built-in", "cairo", "cairo / built-in",
                        pair_up(std::ref(*ours), std::ref(cairo), rounds, frames), "  (target at least 3)");
                }
            }
            // One frame a round: such a frame takes tens of milliseconds.
            KesraFrame rendering(chinese, false, true);
            print_pairing(
                (std::string(script) + " labels, the same with FreeType's cache emptied before each label")
                    .c_str(),
                "FreeType, rendering", "built-in", "built-in / FreeType",
                pair_up(std::ref(rendering), std::ref(builtin), rounds, 1), "");
        }
    }
    print_font_sizes();
}

int flag_value(int& argc, char** argv, const char* name, int fallback) {
    const size_t n = std::strlen(name);
    int value = fallback;
    int out = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], name, n) == 0 && argv[i][n] == '=')
            value = std::atoi(argv[i] + n + 1);
        else
            argv[out++] = argv[i];
    }
    argc = out;
    return value;
}

}  // namespace

/* --rounds=N and --frames=N shape the comparison (default 15 rounds of 8
 * frames); --rounds=0 leaves it out. The Google Benchmark cases run before
 * it only when a --benchmark_ flag is given (--benchmark_filter=. runs all). */
int main(int argc, char** argv) {
    const int rounds = flag_value(argc, argv, "--rounds", 15);
    const int frames = std::max(1, flag_value(argc, argv, "--frames", 8));
    bool cases = false;
    for (int i = 1; i < argc; ++i) cases |= std::strncmp(argv[i], "--benchmark_", 12) == 0;
    benchmark::Initialize(&argc, argv);
    if (cases) benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (rounds > 0) compare_all(rounds, frames);
    return 0;
}
