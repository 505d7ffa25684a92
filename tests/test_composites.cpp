/* test_composites.cpp - seeded checksums of whole composite outputs: many
 * map roads, tilted roads, route lines, polygons and dashes drawn through the
 * exported interface onto one screen, hashed (64-bit FNV-1a over the RGB565
 * buffer). Any change of one pixel changes the hash. Every point and clip box
 * lies on the screen, so the values hold whatever the far-off clipping does.
 *
 * A mismatch writes NAME_actual.png into the test's temporary folder.
 * When a change of pixels is meant, print the new values with
 *   KESRA_PRINT_GOLDEN=1 build/tests/test_composites
 * and paste them into the table below. */
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "tests/test_helpers.h"
#include "tools/common/png565.h"

namespace {

using kesra::test::Screen;

constexpr int W = 320, H = 240;

/* FNV-1a over the pixels' bytes, low byte first. */
uint64_t fnv1a(const Screen& s) {
    kesra::test::Checksum sum;
    for (uint16_t p : s.pixels()) {
        const uint8_t bytes[2] = {static_cast<uint8_t>(p), static_cast<uint8_t>(p >> 8)};
        sum.add(bytes, 2);
    }
    return sum.value;
}

/* Raw generator output only: the standard distributions differ between
 * library implementations, mt19937 itself does not. Each draw takes its
 * values one statement at a time, never two in one argument list, whose
 * order of evaluation is the compiler's choice. */
struct Dice {
    explicit Dice(uint32_t seed) : gen(seed) {}
    int below(int n) { return static_cast<int>(gen() % static_cast<uint32_t>(n)); }
    unsigned short color() { return static_cast<unsigned short>(gen()); }
    std::vector<POINT> path(int n, const RECT& box) {
        std::vector<POINT> pts(static_cast<size_t>(n));
        for (POINT& p : pts)
            p = {box.left + below(box.right - box.left + 1), box.top + below(box.bottom - box.top + 1)};
        return pts;
    }
    std::mt19937 gen;
};

const RECT kScreen{0, 0, W - 1, H - 1};

void capsule_roads(CCEDraw& dc, Dice& d) {
    for (int i = 0; i < 24; ++i) {
        std::vector<POINT> pts = d.path(2 + d.below(6), kScreen);
        const unsigned short fill = d.color(), side = d.color();
        dc.DrawAntiPolylineSide(pts.data(), static_cast<int>(pts.size()), fill, side, 1 + d.below(9),
                                kScreen);
        std::vector<POINT> thin = d.path(2 + d.below(4), kScreen);
        const unsigned short color = d.color();
        const int width = d.below(4);
        dc.DrawAntiPolyline(thin.data(), static_cast<LONG>(thin.size()), color, width, kScreen, 0, 0);
    }
}

/* Tilted roads live in the lower part of the screen, as in the tilted view. */
void perspective_roads(CCEDraw& dc, Dice& d) {
    const RECT ground{0, 60, W - 1, H - 1};
    for (int i = 0; i < 16; ++i) {
        std::vector<POINT> pts = d.path(2 + d.below(5), ground);
        const int width = 2 + d.below(12);
        const unsigned short casing = d.color(), fill = d.color();
        dc.DrawAntiPolylineBorder3D(pts.data(), static_cast<LONG>(pts.size()), casing, width, ground);
        dc.DrawAntiPolyline3D(pts.data(), static_cast<LONG>(pts.size()), fill, width, ground);
    }
}

void route_lines(CCEDraw& dc, Dice& d) {
    const RECT ground{10, 50, W - 11, H - 1};
    for (int i = 0; i < 8; ++i) {
        std::vector<POINT> pts = d.path(2 + d.below(6), ground);
        const unsigned short inner = d.color(), outer = d.color();
        dc.DrawAntiRouteline3D(pts.data(), static_cast<LONG>(pts.size()), inner, outer, 4 + d.below(14),
                               ground);
    }
}

void polygons(CCEDraw& dc, Dice& d) {
    unsigned short tile[5 * 3];
    for (unsigned short& t : tile) t = d.color();
    for (int i = 0; i < 20; ++i) {
        std::vector<POINT> pts = d.path(3 + d.below(9), kScreen);
        const int n = static_cast<int>(pts.size());
        if (i % 3 == 2)
            dc.FillPolygon(pts.data(), n, 5, 3, tile);
        else
            dc.FillPolygon(pts.data(), n, d.color(), 0, 0);
        if (i % 4 == 0) dc.DrawPolygon(pts.data(), n);
    }
}

void dashes(CCEDraw& dc, Dice& d) {
    for (int i = 0; i < 12; ++i) {
        std::vector<POINT> pts = d.path(2 + d.below(5), kScreen);
        const LONG n = static_cast<LONG>(pts.size());
        const unsigned short base = d.color(), dash = d.color();
        const int dash_length = 3 + d.below(12), width = 1 + d.below(5);
        if (i % 2)
            dc.DrawRailway(pts.data(), n, kScreen, dash_length, width + 1, 0, base, dash, 0, 0);
        else
            dc.DrawDashLine(pts.data(), n, kScreen, dash_length, width, 0, base, dash, 0, 0);
    }
}

struct Composite {
    const char* name;
    void (*draw)(CCEDraw&, Dice&);
    uint64_t expected;
};

// clang-format off
const Composite kComposites[] = {
    {"capsule_roads", capsule_roads, 0xa207672210287a07ull},
    {"perspective_roads", perspective_roads, 0x0578c2dd2a4cdc99ull},
    {"route_lines", route_lines, 0xc45f00b103adf657ull},
    {"polygons", polygons, 0x23c342f4928a0ac7ull},
    {"dashes", dashes, 0x72858673b4dd6694ull},
};
// clang-format on

TEST(Composites, WholeOutputsKeepTheirChecksums) {
    uint64_t blank = 0;
    {
        Screen s(W, H);
        s.fill(0x8410);
        blank = fnv1a(s);
    }
    for (const Composite& c : kComposites) {
        Screen s(W, H);
        s.fill(0x8410);
        Dice dice(2026);
        c.draw(*s.dc, dice);
        const uint64_t hash = fnv1a(s);
        EXPECT_NE(hash, blank) << c.name << " drew nothing";
        kesra::test::expect_golden(hash, c.expected, c.name);
        if (hash != c.expected &&
            !std::getenv("KESRA_PRINT_GOLDEN")) {  // a picture of what was drawn, to look at
            const std::string path = ::testing::TempDir() + c.name + "_actual.png";
            kesra::devutil::write_png565(path, reinterpret_cast<const uint16_t*>(s.dc->GetBuffer()), W, H, W,
                                         nullptr);
            std::printf("%s written\n", path.c_str());
        }
    }
}

}  // namespace
