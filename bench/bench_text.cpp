/* bench_text.cpp - a map frame's street labels: 150 labels of 6 to 20
 * characters at seeded places on an 800 x 480 RGB565 screen, in Latin
 * (DejaVu Sans) and in Chinese (Droid Sans Fallback), 16 pixels high. We draw
 * them with DrawTextW through the glyph cache; cairo draws the same strings
 * with the same font files on a CAIRO_FORMAT_RGB16_565 surface. The run ends
 * with the ratio of cairo's time to ours for each script. */
#include <benchmark/benchmark.h>
#include <cairo-ft.h>
#include <cairo.h>

#include <algorithm>
#include <cstdio>
#include <map>
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

struct Label {
    std::u16string text;
    std::string utf8;
    int x, y;
};

std::string utf8_of(const std::u16string& s) {
    std::string out;
    for (char16_t c : s) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

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

void draw_frame_kesra(benchmark::State& state, const char* font_path, bool chinese) {
    BenchScreen s;
    std::u16string path(font_path, font_path + std::char_traits<char>::length(font_path));
    if (!LoadFont(path.data())) {
        state.SkipWithError("font missing");
        return;
    }
    CCEFont font(kSize, kSize, 2, 400);
    s.dc.SetGDIObject(&font);
    s.dc.SetTextColor(kLabelColor);
    const std::vector<Label> frame = labels(chinese);
    s.dc.Clear(0xFFFF);
    for (auto _ : state) {
        for (const Label& l : frame)
            s.dc.DrawTextW(l.text.c_str(), -1, RECT{l.x, l.y, kWidth - 1, kHeight - 1}, 0);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kLabels);
    ReleaseFont();
    s.dc.SetToDefaultFont();
}

void draw_frame_cairo(benchmark::State& state, const char* font_path, bool chinese) {
    FT_Library library;
    FT_Face face;
    if (FT_Init_FreeType(&library) || FT_New_Face(library, font_path, 0, &face)) {
        state.SkipWithError("font missing");
        return;
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB16_565, kWidth, kHeight);
    cairo_t* cr = cairo_create(surface);
    cairo_font_face_t* cairo_face = cairo_ft_font_face_create_for_ft_face(face, 0);
    cairo_set_font_face(cr, cairo_face);
    cairo_set_font_size(cr, kSize);
    const uint32_t ref = kesra::Color16ToColorRef(kLabelColor);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, (ref & 0xFF) / 255.0, (ref >> 8 & 0xFF) / 255.0, (ref >> 16 & 0xFF) / 255.0);
    const std::vector<Label> frame = labels(chinese);
    for (auto _ : state) {
        for (const Label& l : frame) {
            cairo_move_to(cr, l.x, l.y + kSize);
            cairo_show_text(cr, l.utf8.c_str());
        }
        cairo_surface_flush(surface);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kLabels);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    cairo_font_face_destroy(cairo_face);
    FT_Done_Face(face);
    FT_Done_FreeType(library);
}

/* The width of every label of the frame, as alignment asks for it, with the
 * frame's glyphs cached (measuring looks glyphs up but never adds them). */
void BM_MeasureLabels(benchmark::State& state, bool chinese) {
    BenchScreen s;
    std::u16string path(chinese ? kChineseFont : kLatinFont,
                        (chinese ? kChineseFont : kLatinFont) +
                            std::char_traits<char>::length(chinese ? kChineseFont : kLatinFont));
    if (!LoadFont(path.data())) {
        state.SkipWithError("font missing");
        return;
    }
    CCEFont font(kSize, kSize, 2, 400);
    s.dc.SetGDIObject(&font);
    const std::vector<Label> frame = labels(chinese);
    for (const Label& l : frame)
        s.dc.DrawTextW(l.text.c_str(), -1, RECT{l.x, l.y, kWidth - 1, kHeight - 1}, 0);
    for (auto _ : state)
        for (const Label& l : frame)
            benchmark::DoNotOptimize(
                kesra::MeasureText(l.text.c_str(), static_cast<int>(l.text.size()), font));
    state.SetItemsProcessed(state.iterations() * kLabels);
    ReleaseFont();
    s.dc.SetToDefaultFont();
}
BENCHMARK_CAPTURE(BM_MeasureLabels, latin, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_MeasureLabels, chinese, true)->Unit(benchmark::kMicrosecond);

void BM_Labels_kesra_latin(benchmark::State& s) { draw_frame_kesra(s, kLatinFont, false); }
void BM_Labels_cairo_latin(benchmark::State& s) { draw_frame_cairo(s, kLatinFont, false); }
void BM_Labels_kesra_chinese(benchmark::State& s) { draw_frame_kesra(s, kChineseFont, true); }
void BM_Labels_cairo_chinese(benchmark::State& s) { draw_frame_cairo(s, kChineseFont, true); }

BENCHMARK(BM_Labels_kesra_latin)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Labels_cairo_latin)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Labels_kesra_chinese)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Labels_cairo_chinese)->Unit(benchmark::kMicrosecond);

/* The console report, plus each case's times per frame: the ratios compare
 * the medians of the repetitions. */
class RatioReporter : public benchmark::ConsoleReporter {
   public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration && !r.error_occurred)
                times[r.run_name.function_name].push_back(r.GetAdjustedCPUTime());
    }
    double median(const std::string& name) {
        std::vector<double>& t = times[name];
        if (t.empty()) return 0;
        std::sort(t.begin(), t.end());
        return t[t.size() / 2];
    }
    std::map<std::string, std::vector<double>> times;
};

}  // namespace

int main(int argc, char** argv) {
    // Nine repetitions, interleaved at random so that load from elsewhere
    // falls on both contenders alike, unless the command line says otherwise.
    std::vector<char*> args(argv, argv + argc);
    std::string repetitions = "--benchmark_repetitions=9",
                interleave = "--benchmark_enable_random_interleaving=true";
    bool given = false;
    for (int i = 1; i < argc; ++i) given |= std::string(argv[i]).rfind("--benchmark_repetitions", 0) == 0;
    if (!given) {
        args.push_back(&repetitions[0]);
        args.push_back(&interleave[0]);
    }
    argc = static_cast<int>(args.size());
    argv = args.data();
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* script : {"latin", "chinese"}) {
        const double ours = reporter.median(std::string("BM_Labels_kesra_") + script);
        const double cairo = reporter.median(std::string("BM_Labels_cairo_") + script);
        if (ours > 0 && cairo > 0)
            std::printf("%s labels: cairo / kesra = %.2f (target at least 3)\n", script, cairo / ours);
    }
    benchmark::Shutdown();
    return 0;
}
