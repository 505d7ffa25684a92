/* Transitions: the frame compositor's modes on small hand-worked buffers, the
 * steps each effect presents (and skips) for small and large speeds, the
 * finish that always shows the new frame, RenderFlip through the host's
 * present counter and handler, and the map zoom, fade and shadow. */
#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "core/pixel.h"
#include "effects/transition.h"
#include "surface/shared_state.h"
#include "tests/test_helpers.h"

using kesra::Canvas;
using kesra::test::Screen;

namespace {

/* A packed w x h buffer with its canvas. */
struct Frame {
    Frame(int w, int h, uint16_t fill = 0) : w(w), h(h), pixels(size_t(w) * h, fill) {}
    Canvas canvas() { return Canvas{reinterpret_cast<uint8_t*>(pixels.data()), w * 2, w, h}; }
    uint16_t& at(int x, int y) { return pixels[size_t(y) * w + x]; }
    int w, h;
    std::vector<uint16_t> pixels;
};

/* Every pixel tells where it came from: tag in the top bits, then y, then x. */
Frame labelled(int w, int h, uint16_t tag) {
    Frame f(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) f.at(x, y) = uint16_t(tag | y << 6 | x);
    return f;
}

uint16_t dark(uint16_t p, int level) { return kesra::blend565(p, 0, level); }

tagCOMPOSE_PARAM param(DWORD mode, RECT rc, LONG offset = 0, LONG level = 0) {
    tagCOMPOSE_PARAM p{};
    p.dwMode = mode;
    p.rcArea = rc;
    p.nOffset = offset;
    p.nLevel = level;
    return p;
}

}  // namespace

TEST(Compositor, SpanBlendsEqualThePixelBlendAtEveryLevel) {
    std::mt19937 random(12);
    std::vector<uint16_t> d(1003), s(1003), colour_out, alpha_out;
    std::vector<uint8_t> alpha(1003);
    for (size_t i = 0; i < d.size(); ++i) {
        d[i] = uint16_t(random());
        s[i] = uint16_t(random());
        alpha[i] = uint8_t(random() % 40);
    }
    auto bitmap_blend = [](uint16_t p, uint16_t c, int level) {
        return level >= 31 ? c : level <= 0 ? p : kesra::blend565(p, c, level);
    };
    for (int level = -1; level <= 33; ++level) {
        std::vector<uint16_t> spans = d, colour = d;
        kesra::blend_span(spans.data(), s.data(), spans.size(), level);
        kesra::blend_span_color(colour.data() + 1, colour.size() - 1, 0x8410, level);  // unaligned start
        std::vector<uint16_t> into(d.size()), colour_into(d.size());
        kesra::blend_span_into(into.data(), d.data(), s.data(), d.size(), level);
        kesra::blend_span_color_into(colour_into.data(), d.data(), d.size(), 0x8410, level);
        ASSERT_EQ(into, spans) << level;
        for (size_t i = 0; i < d.size(); ++i) {
            ASSERT_EQ(spans[i], bitmap_blend(d[i], s[i], level)) << level << " " << i;
            ASSERT_EQ(colour[i], i ? bitmap_blend(d[i], 0x8410, level) : d[0]) << level << " " << i;
            ASSERT_EQ(colour_into[i], bitmap_blend(d[i], 0x8410, level)) << level << " " << i;
        }
    }
    std::vector<uint16_t> alpha_blended = d;
    kesra::blend_span_alpha(alpha_blended.data(), s.data(), alpha.data(), d.size());
    for (size_t i = 0; i < d.size(); ++i)
        ASSERT_EQ(alpha_blended[i], bitmap_blend(d[i], s[i], alpha[i])) << i;
}

/* The planned row gather (permuted groups of 32 or 16, or one by one) and its
 * blend against the plain loop, on seeded scales and offsets; the source row
 * is its own allocation, ending at the last column a plan may read. */
TEST(Compositor, ColumnGatherEqualsThePlainLookUpAndBlend) {
    std::mt19937 random(21);
    for (const double scale : {1.0, 1.04, 1.19, 1.5625, 2.78, 4.5}) {
        for (const LONG width : {LONG(800), LONG(97)}) {
            std::vector<uint16_t> in(static_cast<size_t>(width)), under(static_cast<size_t>(width));
            for (size_t i = 0; i < in.size(); ++i) in[i] = uint16_t(random()), under[i] = uint16_t(random());
            const LONG skip = LONG(random() % 7);
            std::vector<LONG> columns;
            for (LONG i = 0; skip + i * scale < width; ++i)
                columns.push_back(std::min<LONG>(LONG(std::lround((skip + i) * scale)), width - 1));
            const kesra::ColumnGather plan(columns, width);
            EXPECT_EQ(plan.contiguous(), scale == 1.0);
            std::vector<uint16_t> row(columns.size()), scratch(columns.size());
            plan.gather(row.data(), in.data());
            for (size_t i = 0; i < columns.size(); ++i)
                ASSERT_EQ(row[i], in[size_t(columns[i])]) << scale << " " << i;
            for (const int level : {0, 7, 30, 31}) {
                std::vector<uint16_t> out(columns.size()),
                    in_place(under.begin(), under.begin() + columns.size());
                plan.blend_into(out.data(), under.data(), in.data(), level, scratch.data());
                plan.blend_into(in_place.data(), in_place.data(), in.data(), level, scratch.data());
                for (size_t i = 0; i < columns.size(); ++i) {
                    const uint16_t s = in[size_t(columns[i])];
                    const uint16_t want = level >= 31  ? s
                                          : level <= 0 ? under[i]
                                                       : kesra::blend565(under[i], s, level);
                    ASSERT_EQ(out[i], want) << scale << " " << level << " " << i;
                    ASSERT_EQ(in_place[i], want) << scale << " " << level << " " << i;
                }
            }
        }
    }
}

TEST(Compositor, OnePassStepsEqualACopyThenTheModeOnSeededRectangles) {
    // Padded rows (ypitch 2 * 45 + 6) of odd width, so that every span has a
    // remainder after its vectors and the padding must be copied too.
    constexpr int w = 45, h = 23, pitch = 2 * w + 6;
    std::mt19937 random(6);
    auto seeded = [&] {
        std::vector<uint8_t> b(size_t(pitch) * h);
        for (uint8_t& v : b) v = uint8_t(random());
        return b;
    };
    std::vector<uint8_t> base = seeded(), over = seeded();
    auto canvas = [&](std::vector<uint8_t>& b) { return Canvas{b.data(), pitch, w, h}; };
    for (int round = 0; round < 300; ++round) {
        const LONG l = LONG(random() % 70) - 12, t = LONG(random() % 40) - 8;
        const RECT rc{l, t, l + LONG(random() % 60) - 5, t + LONG(random() % 36) - 5};
        const int level = int(random() % 36) - 1;
        std::vector<uint8_t> expected = base, fused(base.size(), 0xAB);
        kesra::compose_frame(canvas(expected), canvas(over), param(kesra::COMPOSE_BLEND, rc, 0, level));
        kesra::blend_over(canvas(fused), canvas(base), canvas(over), rc, level);
        ASSERT_EQ(fused, expected) << "blend " << round;

        expected = base;
        std::fill(fused.begin(), fused.end(), 0xAB);
        kesra::compose_frame(canvas(expected), Canvas{}, param(kesra::COMPOSE_FRAME, rc));
        kesra::frame_over(canvas(fused), canvas(base), rc);
        ASSERT_EQ(fused, expected) << "frame " << round;
    }
}

/* On packed rows, levels that keep one frame copy whole bands of rows: the
 * same pixels as the blend mode after a copy, for rectangles inside, across
 * and off the screen. */
TEST(Compositor, OnePassBlendOfWholeRowsAtTheEndLevels) {
    Frame base = labelled(37, 21, 0x8000), over = labelled(37, 21, 0x4000);
    const RECT rects[] = {{0, 5, 37, 9}, {-3, -4, 40, 30}, {0, 20, 37, 25}, {0, 30, 37, 40}, {1, 5, 37, 9}};
    for (const RECT& rc : rects)
        for (const int level : {-1, 0, 31, 32}) {
            Frame expected = base, fused(37, 21, 0xABCD);
            kesra::compose_frame(expected.canvas(), over.canvas(), param(kesra::COMPOSE_BLEND, rc, 0, level));
            kesra::blend_over(fused.canvas(), base.canvas(), over.canvas(), rc, level);
            ASSERT_EQ(fused.pixels, expected.pixels) << rc.left << " " << rc.top << " " << level;
        }
}

TEST(Compositor, CheckerBlackensEvenPixelsOfTheWholeScreenOrDimsAnImage) {
    Frame d(3, 2, 0xFFFF);
    kesra::compose_frame(d.canvas(), Canvas{}, param(kesra::COMPOSE_CHECKER, RECT{1, 1, 1, 1}));
    EXPECT_EQ(d.pixels, (std::vector<uint16_t>{0, 0xFFFF, 0, 0xFFFF, 0, 0xFFFF}));

    std::vector<uint16_t> plane = {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
    tagCOMPOSE_PARAM p = param(kesra::COMPOSE_CHECKER | kesra::COMPOSE_BLEND, RECT{});
    p.Image.pPixels = plane.data();
    p.Image.nWidth = 2;
    p.Image.nHeight = 2;
    kesra::compose_frame(Canvas{}, Canvas{}, p);
    // White toward black at 8 of 32: each field keeps 24/32 of its maximum.
    EXPECT_EQ(plane, (std::vector<uint16_t>{0, 0xBDF7, 0xBDF7, 0}));
}

TEST(Compositor, FrameWhitensThreeEdgeRowsAndColumnsAndTintsTheInside) {
    Frame d(9, 8, 0);
    kesra::compose_frame(d.canvas(), Canvas{}, param(kesra::COMPOSE_FRAME, RECT{1, 0, 9, 8}));
    const uint16_t tint = 0x4A69;  // black toward white at 10: 9, 19, 9 of 31, 63, 31
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 9; ++x) {
            const bool edge = x == 0 ? false : (y < 3 || y > 4 || x < 4 || x > 5);
            const uint16_t expected = x == 0 ? 0 : edge ? 0xFFFF : tint;
            EXPECT_EQ(d.at(x, y), expected) << x << "," << y;
        }
}

TEST(Compositor, BlendMixesTheSourceInsideTheRectangleOnly) {
    Frame d(4, 1, 0x0000), s(4, 1, 0xFFFF);
    kesra::compose_frame(d.canvas(), s.canvas(), param(kesra::COMPOSE_BLEND, RECT{1, 0, 3, 1}, 0, 16));
    EXPECT_EQ(d.pixels, (std::vector<uint16_t>{0, 0x7BEF, 0x7BEF, 0}));
    kesra::compose_frame(d.canvas(), s.canvas(), param(kesra::COMPOSE_BLEND, RECT{0, 0, 1, 1}, 0, 31));
    EXPECT_EQ(d.at(0, 0), 0xFFFF);  // 31 and above store the source
}

TEST(Compositor, VerticalSplitPartsTheHalvesWithAShadowRamp) {
    const uint16_t white = 0xFFFF;
    Frame d(3, 10, white), s = labelled(3, 10, 0x8000);
    kesra::compose_frame(d.canvas(), s.canvas(), param(kesra::COMPOSE_SPLIT_V, RECT{0, 0, 3, 10}, 2));
    // hh = 5: rows 0-3 from 2-5, row 4 shaded at 17; rows 7-9 from 5-7, row 6 at 17, row 5 at 14.
    const int from[10] = {2, 3, 4, 5, -17, -14, -17, 5, 6, 7};
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(d.at(x, y), from[y] >= 0 ? s.at(x, from[y]) : dark(white, -from[y])) << y;
}

TEST(Compositor, SlidesMoveRowsOrColumnsAndShadeTheUncoveredEdge) {
    const uint16_t white = 0xFFFF;
    {
        Frame d(1, 10, white), s = labelled(1, 10, 0x8000);
        kesra::compose_frame(d.canvas(), s.canvas(), param(kesra::COMPOSE_SLIDE_UP, RECT{0, 0, 1, 10}, 3));
        // rows 0-6 from 3-9; row 7 keeps its pixel, rows 8 and 9 shaded at 17, 14.
        std::vector<uint16_t> want = {s.at(0, 3), s.at(0, 4), s.at(0, 5), s.at(0, 6),      s.at(0, 7),
                                      s.at(0, 8), s.at(0, 9), white,      dark(white, 17), dark(white, 14)};
        EXPECT_EQ(d.pixels, want);
    }
    {
        Frame d(10, 1, white), s = labelled(10, 1, 0x8000);
        kesra::compose_frame(d.canvas(), s.canvas(), param(kesra::COMPOSE_SLIDE_RIGHT, RECT{0, 0, 10, 1}, 3));
        // columns 3-9 from 0-6; shading from column 3 leftward stops at column 1.
        std::vector<uint16_t> want = {white,      dark(white, 14), dark(white, 17), dark(s.at(0, 0), 20),
                                      s.at(1, 0), s.at(2, 0),      s.at(3, 0),      s.at(4, 0),
                                      s.at(5, 0), s.at(6, 0)};
        EXPECT_EQ(d.pixels, want);
    }
}

TEST(Compositor, ImageModesDrawPlanesAndStayInsideTheScreen) {
    Frame d(4, 2, 0);
    std::vector<uint16_t> plane = {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
    std::vector<uint8_t> alpha = {32, 16, 0, 8};
    tagCOMPOSE_PARAM p = param(kesra::COMPOSE_IMAGE, RECT{3, 0, 5, 2});  // half off the right edge
    p.Image.pPixels = plane.data();
    p.Image.pAlpha = alpha.data();
    p.Image.nWidth = 2;
    p.Image.nHeight = 2;
    kesra::compose_frame(d.canvas(), Canvas{}, p);
    EXPECT_EQ(d.pixels, (std::vector<uint16_t>{0, 0, 0, 0xFFFF, 0, 0, 0, 0}));

    p.dwMode = kesra::COMPOSE_DARK_IMAGE;
    p.rcArea = RECT{0, 0, 2, 2};
    p.nLevel = 16;
    kesra::compose_frame(d.canvas(), Canvas{}, p);
    const uint16_t half = 0x7BEF;
    EXPECT_EQ(d.at(0, 0), dark(0xFFFF, 16));
    EXPECT_EQ(d.at(1, 0), dark(half, 16));
    EXPECT_EQ(d.at(0, 1), 0);
    EXPECT_EQ(d.at(1, 1), dark(kesra::blend565(0, 0xFFFF, 8), 16));
}

namespace {

/* A transition on plain buffers: old, new and out frames of the area's size,
 * every presented frame recorded. */
struct Recorded {
    Recorded(int w, int h)
        : old_frame(labelled(w, h, 0x8000)), new_frame(labelled(w, h, 0x4000)), out(w, h) {}
    std::vector<std::vector<uint16_t>> shown;
    Frame old_frame, new_frame, out;

    size_t go(DWORD effect, LONG time) {
        shown.clear();
        const kesra::TransitionFrames frames{old_frame.canvas(), new_frame.canvas(), out.canvas(),
                                             out.pixels.size() * 2};
        kesra::run_transition(frames, effect, RECT{0, 0, out.w, out.h}, time,
                              kesra::PresentSink{[](void* self) {
                                                     auto* run = static_cast<Recorded*>(self);
                                                     run->shown.push_back(run->out.pixels);
                                                 },
                                                 this});
        return shown.size();
    }
};

}  // namespace

TEST(Transitions, StepCountsForSmallAndLargeSpeedsOnA480x272Area) {
    struct Case {
        DWORD effect;
        size_t fast, slow;  // steps presented (finish included) for nTime 50 and 10000
    };
    // Offsets k * i * i with k = 1 at the caps: a split of 272 rows runs 12 of
    // its 15 steps (144 >= 136), of 480 columns 16 of 20; slides of 272 and
    // 480 run 17 and 22 of 30. The zoom's 20 steps start at level -28: 10 run.
    const Case cases[] = {
        {RF_OUT | RF_ZOOMFRAME, 3, 102},
        {RF_OUT | RF_FADE, 2, 33},
        {RF_IN | RF_ZOOM, 2, 33},
        {RF_OUT | RF_SPLIT_V, 2, 13},
        {RF_OUT | RF_SPLIT_H, 2, 17},
        {RF_OUT | RF_SLIDE_UP, 2, 18},
        {RF_IN | RF_SLIDE_RIGHT, 2, 23},
        {RF_OUT | RF_ZOOM, 2, 11},
        {RF_OUT | RF_SWING, 5, 5},
        {RF_OUT | RF_TURN, 9, 9},
        {RF_IN | RF_ZOOMFRAME, 1, 1},
        {RF_ZOOM, 1, 1},
        {RF_OUT | RF_IN | RF_ZOOMFRAME, 3, 102},
    };
    Recorded run(480, 272);
    for (const Case& c : cases) {
        EXPECT_EQ(run.go(c.effect, 50), c.fast) << std::hex << c.effect;
        EXPECT_EQ(run.go(c.effect, 10000), c.slow) << std::hex << c.effect;
        EXPECT_EQ(run.shown.back(), run.new_frame.pixels)
            << "the finish shows the new frame " << std::hex << c.effect;
    }
    EXPECT_EQ(run.go(RF_OUT | RF_ZOOM, 500), 6u);  // S = 5: levels 17 ... 29, none skipped
}

TEST(Transitions, SlidesAndSplitsSkipTheStepsThatReachTheEdge) {
    // 16 rows, S = 5: k = 1, offsets 0 1 4 9 16; the 16 is skipped both ways.
    Recorded run(3, 16);
    ASSERT_EQ(run.go(RF_OUT | RF_SLIDE_UP, 500), 5u);
    std::vector<int> offsets;
    for (size_t i = 0; i + 1 < run.shown.size(); ++i) offsets.push_back((run.shown[i][0] >> 6) & 0x3F);
    EXPECT_EQ(offsets, (std::vector<int>{0, 1, 4, 9}));  // row 0 shows old row o
    EXPECT_EQ(run.shown[0][0], run.old_frame.at(0, 0));

    ASSERT_EQ(run.go(RF_IN | RF_SLIDE_UP, 500), 5u);
    offsets.clear();
    for (size_t i = 0; i + 1 < run.shown.size(); ++i) {
        EXPECT_EQ(run.shown[i][0] & 0xC000, 0x4000);  // the new frame comes in
        offsets.push_back((run.shown[i][0] >> 6) & 0x3F);
    }
    EXPECT_EQ(offsets, (std::vector<int>{9, 4, 1, 0}));

    // Split of 16 rows: E = 8, offsets 0 1 4 (9 and 16 skipped).
    EXPECT_EQ(run.go(RF_OUT | RF_SPLIT_V, 500), 4u);
    EXPECT_EQ(run.go(RF_IN | RF_SPLIT_V, 500), 4u);
}

TEST(Transitions, ZoomFrameDarkensTheNewFrameThatTheFinishShows) {
    Recorded run(10, 10);
    const uint16_t new00 = run.new_frame.at(0, 0), new10 = run.new_frame.at(1, 0);
    ASSERT_EQ(run.go(RF_OUT | RF_ZOOMFRAME, 100), 3u);
    EXPECT_EQ(run.new_frame.at(0, 0), 0);
    EXPECT_EQ(run.new_frame.at(1, 0), new10);
    EXPECT_NE(new00, 0);
    EXPECT_EQ(run.shown.back(), run.new_frame.pixels);
    // The last animated step frames the whole area: its corner is white.
    EXPECT_EQ(run.shown[1][0], 0xFFFF);
}

TEST(RenderFlip, PresentsEveryStepThroughTheHostAndResetsThePause) {
    Screen screen(96, 64);
    screen.fill(0x0000);
    ASSERT_EQ(screen.dc->FlipBackBuffer(0, 0), 1);
    screen.fill(0xF800);
    static std::vector<uint16_t> last;
    static int handled = 0;
    handled = 0;
    HostSetPresentHandler([](HWND, const uint16_t* pixels, int w, int h) {
        last.assign(pixels, pixels + size_t(w) * h);
        ++handled;
    });
    const unsigned before = HostPresentCount(screen.window);
    // 64 rows, S = 5: k = 1, offsets 0 1 4 9 16 all below 64.
    EXPECT_EQ(screen.dc->RenderFlip(tagRENDERFLIP_STRUCT{RF_OUT | RF_SLIDE_DOWN, {0, 0, 96, 64}, 500}), 1);
    EXPECT_EQ(HostPresentCount(screen.window) - before, 6u);
    EXPECT_EQ(handled, 6);
    EXPECT_EQ(last, std::vector<uint16_t>(96 * 64, 0xF800));
    EXPECT_EQ(kesra::m_Overlay.bPause.load(), 0);

    EXPECT_EQ(screen.dc->RenderFlip(tagRENDERFLIP_STRUCT{RF_IN | RF_ZOOMFRAME, {0, 0, 96, 64}, 500}), 1);
    EXPECT_EQ(HostPresentCount(screen.window) - before, 7u);  // no in-zoom frame: the finish only

    screen.dc->Suspend();
    EXPECT_EQ(screen.dc->RenderFlip(tagRENDERFLIP_STRUCT{RF_OUT | RF_FADE, {0, 0, 96, 64}, 500}), 0);
    EXPECT_EQ(screen.dc->GetLastError(), 105u);
    EXPECT_EQ(kesra::m_Overlay.bPause.load(), 0);
    EXPECT_EQ(HostPresentCount(screen.window) - before, 7u);
    screen.dc->Resume();
    HostSetPresentHandler(nullptr);

    CCEDraw unmade;
    EXPECT_EQ(unmade.RenderFlip(tagRENDERFLIP_STRUCT{RF_OUT | RF_FADE, {0, 0, 96, 64}, 500}), 0);
    EXPECT_EQ(unmade.GetLastError(), 112u);
}

TEST(RenderFlip, AreasOffTheScreenAreComposedWithoutStrayWrites) {
    Screen screen(40, 30);
    screen.fill(0x001F);
    for (DWORD effect : {RF_OUT | RF_SLIDE_LEFT, RF_IN | RF_SPLIT_H, RF_OUT | RF_ZOOM, RF_OUT | RF_SWING,
                         RF_OUT | RF_TURN, RF_OUT | RF_FADE, RF_OUT | RF_ZOOMFRAME}) {
        EXPECT_EQ(screen.dc->RenderFlip(tagRENDERFLIP_STRUCT{effect, {-50, -20, 70, 60}, 3000}), 1);
        EXPECT_EQ(screen.back(39, 29), screen.at(39, 29));
    }
}

TEST(MapZoom, TheThreeWorkedExamplesOn800x480) {
    const int W = 800, H = 480;
    Frame src(W, H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) src.at(x, y) = uint16_t(x * 7 + y * 131);

    Frame one(W, H, 0x1234);
    EXPECT_EQ(kesra::zoom_map(one.canvas(), src.pixels.data(), 1.0), 0);
    EXPECT_EQ(one.pixels, src.pixels);

    // zoom 2: the central 400 x 240 from (200, 120); target column x takes
    // nearest(x / 2): 0, 1, 1, 2, 2, ..., held at the capture's last column.
    Frame two(W, H);
    EXPECT_EQ(kesra::zoom_map(two.canvas(), src.pixels.data(), 2.0), 0);
    auto half = [](int v, int last) { return std::min((v + 1) / 2, last); };
    bool same = true;
    for (int y = 0; y < H && same; ++y)
        for (int x = 0; x < W && same; ++x)
            same = two.at(x, y) == src.at(200 + half(x, 399), 120 + half(y, 239));
    EXPECT_TRUE(same);
    EXPECT_EQ(two.at(1, 0), src.at(201, 120));

    // zoom 0.5: a 400 x 240 copy of every second pixel at (200, 120).
    Frame small(W, H, 0x1234);
    EXPECT_EQ(kesra::zoom_map(small.canvas(), src.pixels.data(), 0.5), 0);
    same = true;
    for (int y = 0; y < H && same; ++y)
        for (int x = 0; x < W && same; ++x) {
            const bool inside = x >= 200 && x < 600 && y >= 120 && y < 360;
            same = small.at(x, y) == (inside ? src.at(2 * (x - 200), 2 * (y - 120)) : 0x1234);
        }
    EXPECT_TRUE(same);

    EXPECT_EQ(kesra::zoom_map(small.canvas(), src.pixels.data(), 0.0), -1);
    EXPECT_EQ(kesra::zoom_map(small.canvas(), src.pixels.data(), 1e9), 0);  // one source pixel, enlarged
    EXPECT_EQ(small.at(799, 479), src.at(399, 239));                        // (800 - 1) / 2, (480 - 1) / 2
}

/* Odd zooms on an odd screen against the plain scaler (a capture, effect_scale,
 * a copy), and a frame zoomed onto itself as if it were a separate copy. */
TEST(MapZoom, EqualsTheScaledCaptureAndMayZoomAFrameOntoItself) {
    const int W = 203, H = 117;
    Frame src(W, H);
    std::mt19937 random(31);
    for (uint16_t& p : src.pixels) p = uint16_t(random());
    for (const double zoom : {1.37, 3.9, 0.73, 0.31}) {
        Frame expected(W, H, 0x0F0F), zoomed(W, H, 0x0F0F);
        tagEFFECTIMAGE capture{}, scaled{};
        RECT part{0, 0, W, H};
        if (zoom >= 1) {
            const int w = int(W * (1 / zoom)), h = int(H * (1 / zoom));
            part = RECT{(W - w) / 2, (H - h) / 2, (W - w) / 2 + w, (H - h) / 2 + h};
        }
        ASSERT_EQ(kesra::effect_capture(&capture, src.canvas(), part), 1);
        scaled.nWidth = zoom >= 1 ? W : LONG(W * zoom);
        scaled.nHeight = zoom >= 1 ? H : LONG(H * zoom);
        ASSERT_EQ(kesra::effect_scale(&scaled, capture), 1);
        const int x = zoom >= 1 ? 0 : int((1 - zoom) * W * 0.5),
                  y = zoom >= 1 ? 0 : int((1 - zoom) * H * 0.5);
        for (int j = 0; j < scaled.nHeight; ++j)
            std::memcpy(&expected.at(x, y + j), scaled.pPixels + size_t(j) * scaled.nWidth,
                        size_t(scaled.nWidth) * 2);
        kesra::effect_free(&scaled);
        kesra::effect_free(&capture);
        EXPECT_EQ(kesra::zoom_map(zoomed.canvas(), src.pixels.data(), zoom), 0);
        EXPECT_EQ(zoomed.pixels, expected.pixels) << zoom;
        if (zoom >= 1) {
            Frame itself = src;
            EXPECT_EQ(kesra::zoom_map(itself.canvas(), itself.pixels.data(), zoom), 0);
            EXPECT_EQ(itself.pixels, expected.pixels) << zoom;
        }
    }
}

TEST(FadeAndShadow, FadeBorrowsAcrossFieldsAndSparesTheLastRowAndColumn) {
    uint16_t p[3] = {0x0000, 0x0821, 0xFFFF};
    kesra::fade_pixels(p, 3, 1);
    EXPECT_EQ(p[0], 0xFFFF);  // every field borrows from the one above it
    EXPECT_EQ(p[1], 0x0000);
    EXPECT_EQ(p[2], 0xF7DE);

    Screen screen(6, 4);
    screen.fill(0x0000);
    screen.dc->FadeOut(0);
    EXPECT_EQ(screen.at(2, 2), 0x0000);
    screen.dc->FadeOut(1);
    std::vector<uint16_t> reference(1, 0x0000);
    for (int pass = 0; pass < 255; ++pass) kesra::fade_pixels(reference.data(), 1, 1);
    EXPECT_EQ(screen.at(0, 0), reference[0]);
    EXPECT_EQ(screen.at(4, 2), reference[0]);
    EXPECT_EQ(screen.at(5, 2), 0x0000);
    EXPECT_EQ(screen.at(2, 3), 0x0000);
    EXPECT_EQ(screen.dc->m_bDrawing, 0);
}

TEST(Transitions, ZoomStepsMatchTheScaledImageAtTheirLevel) {
    // 40 x 20, S = 2: hw 20, hh 10, k = 5; steps j = 1 (w 15, h 7, level 26)
    // then j = 0 (w 20, h 10, level 29).
    Recorded run(40, 20);
    const Frame old_frame = run.old_frame, new_frame = run.new_frame;
    ASSERT_EQ(run.go(RF_OUT | RF_ZOOM, 200), 3u);
    struct Step {
        RECT rc;
        int level;
    };
    const Step steps[2] = {{{5, 3, 35, 17}, 26}, {{0, 0, 40, 20}, 29}};
    for (int i = 0; i < 2; ++i) {
        Frame expected = old_frame;
        kesra::compose_frame(expected.canvas(), Canvas{}, param(kesra::COMPOSE_CHECKER, RECT{}));
        Frame source = new_frame;
        tagEFFECTIMAGE capture{}, scaled{};
        ASSERT_EQ(kesra::effect_capture(&capture, source.canvas(), RECT{0, 0, 40, 20}), 1);
        scaled.nWidth = steps[i].rc.right - steps[i].rc.left;
        scaled.nHeight = steps[i].rc.bottom - steps[i].rc.top;
        ASSERT_EQ(kesra::effect_scale(&scaled, capture), 1);
        kesra::effect_set_alpha(&scaled, steps[i].level);
        tagCOMPOSE_PARAM p = param(kesra::COMPOSE_IMAGE, steps[i].rc);
        p.Image = scaled;
        kesra::compose_frame(expected.canvas(), Canvas{}, p);
        EXPECT_EQ(run.shown[size_t(i)], expected.pixels) << i;
        kesra::effect_free(&scaled);
        kesra::effect_free(&capture);
    }
}

TEST(Transitions, TurnAndSwingDrawTheirKeyframeRectangles) {
    Recorded run(480, 272);
    ASSERT_EQ(run.go(RF_OUT | RF_TURN, 0), 9u);
    auto at = [&](size_t frame, int x, int y) { return run.shown[frame][size_t(y) * 480 + x]; };
    // Frame 0: the old frame in x 45 ... 468 on black, undarkened; frame 7
    // (level 0): the new frame in x 9 ... 433.
    EXPECT_EQ(at(0, 44, 136), 0);
    EXPECT_EQ(at(0, 46, 136) & 0xC000, 0x8000);
    EXPECT_EQ(at(0, 469, 136), 0);
    EXPECT_EQ(at(0, 46, 2), 0);  // outside the trapezoid: its short edge is on the left
    EXPECT_EQ(at(7, 8, 136), 0);
    EXPECT_EQ(at(7, 10, 136) & 0xC000, 0x4000);
    EXPECT_EQ(at(7, 434, 136), 0);

    ASSERT_EQ(run.go(RF_IN | RF_TURN, 0), 9u);
    EXPECT_EQ(at(0, 10, 136) & 0xC000, 0x8000);  // keyframe 7 over the old frame
    EXPECT_EQ(at(0, 434, 136), 0);

    // Swing frame 3: a = (int)(120 * 0.9) = 108, b = 317 * 0.9; the rectangle
    // (132, -6, 348, 278) reaches past the area and is held to the screen.
    ASSERT_EQ(run.go(RF_OUT | RF_SWING, 0), 5u);
    EXPECT_EQ(at(3, 131, 136), run.old_frame.at(131, 136));  // odd x + y: kept by the checker
    EXPECT_EQ(at(3, 130, 136), 0);
    EXPECT_EQ(at(3, 240, 136) & 0xC000, 0x4000);
    EXPECT_EQ(at(3, 348, 137), run.old_frame.at(348, 137));
}
