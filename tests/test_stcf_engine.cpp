/* The built-in outline font engine on fonts made in the test, with hand-worked
 * coverage, and bad images that must render nothing without reading outside. */
#include <gtest/gtest.h>

#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "cefont.h"
#include "ceobject.h"
#include "tests/stcf_font_builder.h"
#include "text/font_dispatch.h"
#include "text/stcf_cache.h"
#include "text/stcf_encoding.h"
#include "text/stcf_engine.h"
#include "text/stcf_file.h"
#include "text/stcf_levels.h"
#include "text/stcf_raster.h"
#include "text/stcf_state.h"
#include "text/stcf_store.h"

using namespace kesra;
using namespace kesra::stcf;
using kesra::test::Component;
using kesra::test::delta_pair;
using kesra::test::FontBuilder;
using kesra::test::OutlineWriter;

namespace {

struct RecordDeleter {
    void operator()(StcfFontRecord* r) const { release(r); }
};

struct Font {
    explicit Font(FontBuilder& b) : image(b.build()), record(parse(image.data(), image.size())) {}
    std::vector<uint8_t> image;
    std::unique_ptr<StcfFontRecord, RecordDeleter> record;
};

/* Single-outline glyph 0 is GBK 0xA1 0xA1 (index 7073) in a kind-0 font. */
constexpr char16_t kFirstSingle = 0xA1A1;

struct Cell {
    std::vector<uint8_t> v;
    int w, h, advance;
    int at(int x, int y) const { return v[static_cast<size_t>(y) * w + x]; }
    int sum() const {
        int s = 0;
        for (uint8_t b : v) s += b;
        return s;
    }
};

Cell draw(const Font& font, char16_t ch, FontParams p, int w, int h, uint8_t fill = 0) {
    Cell c{std::vector<uint8_t>(static_cast<size_t>(w) * h, fill), w, h, w};
    int32_t width = w, height = h;
    render(font.record.get(), CharRef{&ch, 1}, p, c.v.data(), c.v.size(), &width, &height);
    c.advance = width;
    return c;
}

FontParams gbk(int levels = 16) {
    FontParams p;
    p.encoding = 1;
    p.levels = levels;
    return p;
}

/* The coverage of em rectangles at 32 x 32 pixels and 16 levels: one em unit
 * is one subsample, sampled half a unit in, so a rectangle [x0, x1) x [y0, y1)
 * (y counted from the cell bottom, the outline's y + 25) sets exactly its
 * subsamples, and a pixel's coverage is its area in em units. */
std::vector<uint8_t> rect_coverage(std::initializer_list<std::array<int, 4>> rects) {
    std::vector<uint8_t> out(32 * 32, 0);
    for (int py = 0; py < 32; ++py)
        for (int px = 0; px < 32; ++px) {
            const int x0 = 4 * px, y0 = 4 * (31 - py);
            int n = 0;
            for (const auto& r : rects)
                n += std::max(0, std::min(r[1], x0 + 4) - std::max(r[0], x0)) *
                     std::max(0, std::min(r[3], y0 + 4) - std::max(r[2], y0));
            out[py * 32 + px] = static_cast<uint8_t>(n);
        }
    return out;
}

/* The square [0, 60) x [0, 60) of the em, as glyph GBK A1 A1. */
OutlineWriter square_outline() {
    OutlineWriter w;
    w.contour(0, -25).op(2, {60}).op(1, {35}).op(2, {0});
    return w;
}

Font square_font() {
    FontBuilder b;
    b.set_single(0, square_outline());
    return Font(b);
}

Cell draw_single(const OutlineWriter& outline, int w = 32, int h = 32, FontParams p = gbk()) {
    FontBuilder b;
    b.set_single(0, outline);
    Font font(b);
    return draw(font, kFirstSingle, p, w, h);
}

}  // namespace

TEST(StcfParse, RejectsWrongMagicMissingPagesAndTruncatedPages) {
    FontBuilder b;
    b.page_count = 2;
    std::vector<uint8_t> image = b.build();
    StcfFontRecord* ok = parse(image.data(), image.size());
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->page_count(), 2);
    release(ok);

    std::vector<uint8_t> magic = image;
    magic[3] = 'G';
    EXPECT_EQ(parse(magic.data(), magic.size()), nullptr);
    EXPECT_EQ(parse(image.data(), 1104 + 100), nullptr);  // the second page is cut off
    EXPECT_EQ(parse(image.data(), 100), nullptr);

    FontBuilder none;
    none.first_latin = 0;
    std::vector<uint8_t> short_table = none.build();
    short_table[176] = (3 * 223) & 0xFF;  // 223 entries: no whole page
    short_table[177] = (3 * 223) >> 8;
    short_table[178] = short_table[179] = 0;
    EXPECT_EQ(parse(short_table.data(), short_table.size()), nullptr);
    // A first Latin entry past the entry count would make a negative page count.
    short_table[160] = 0xFF;
    EXPECT_EQ(parse(short_table.data(), short_table.size()), nullptr);
}

TEST(StcfEncoding, WorkedExamplesAndTables) {
    EXPECT_EQ(gbk_index(0xA1, 0xA1), 7073u);
    EXPECT_EQ(gbk_index(0xB0, 0xA1), 8783u);
    EXPECT_EQ(gbk_index(0x81, 0x40), 993u);
    EXPECT_EQ(gbk_index(0xAA, 0x40), 8111u);
    EXPECT_EQ(gbk_index(0xF9, 0x40), 22557u);
    EXPECT_EQ(gbk_index(0xD7, 0xFA), kNoIndex);
    EXPECT_EQ(gbk_index(0xA1, 0x40), kNoIndex);
    EXPECT_EQ(gbk_index(0x80, 0x40), kNoIndex);

    FontBuilder b;
    b.utf16.assign(65536, 0xFFFF);
    b.utf16[0x4E00] = 8783;
    b.big5.assign(157 * 126, 0);
    b.big5[0] = 0xA1A1;   // G0 0xA1, G1 0xA1: symbol row -> 1000
    b.big5[63] = 0x0041;  // second byte 0: 'A' - 29
    b.big5[64] = 0xA1B0;  // a hanzi: cell + 3000
    b.big5[65] = 0x80A8;  // G0 0xA8, G1 0x80: 0x80 + 190 * 0xA8 - 30327
    b.shift_jis.assign(188 * 60, 0);
    b.shift_jis[63] = 0xA2A1;  // 0x81 0x80 -> cell 63 -> A1 A2 -> 0xA2 + 94 * 0xA1 - 14295
    b.euc.assign(32768, 0);
    b.euc[0xB0A1 - 32768] = 0x8081;  // EUC B0 A1 -> Shift-JIS 81 80
    b.mode6.assign(32768, 0);
    b.mode6[(0xC4 - 0x80) << 8 | 0x4E] = 0x4E00;
    Font font(b);
    const StcfFontRecord& f = *font.record;
    auto idx = [&](uint16_t code, int enc) { return char_index(f, code, enc).index; };
    EXPECT_EQ(idx(0x41, 0), 36u);
    EXPECT_EQ(idx(0x41, 1), 36u);
    EXPECT_EQ(idx(0xA1A1, 1), 7073u);
    EXPECT_EQ(idx(0xA1B0, 1), 8783u);  // bytes B0 A1, low byte first
    EXPECT_EQ(idx(0x4E00, 2), 8783u);
    EXPECT_EQ(idx(0x4081, 3), 1000u);
    EXPECT_EQ(idx(0xA181, 3), 'A' - 29u);
    EXPECT_EQ(idx(0xA281, 3), 64u + 3000u);
    EXPECT_EQ(idx(0xA381, 3), 0x80u + 190u * 0xA8 - 30327u);
    EXPECT_EQ(idx(0x3081, 3), kNoIndex);  // trail 0x30
    EXPECT_EQ(idx(0x8081, 4), 0xA2u + 94u * 0xA1 - 14295u);
    EXPECT_EQ(char_index(f, 0xB1, 4).index, 0xB1u - 29);
    EXPECT_EQ(char_index(f, 0xB1, 4).latin_page, 2);
    EXPECT_EQ(idx(0xA1B0, 5), 0xA2u + 94u * 0xA1 - 14295u);
    EXPECT_EQ(char_index(f, 0xB18E, 5).index, 0xB1u - 29);
    EXPECT_EQ(char_index(f, 0xB18E, 5).latin_page, 2);
    EXPECT_EQ(idx(0x4EC4, 6), 8783u);
    EXPECT_EQ(idx(0x0041, 6), 36u);

    FontBuilder bare;
    Font no_tables(bare);
    for (int enc = 2; enc <= 6; ++enc)
        EXPECT_EQ(char_index(*no_tables.record, 0x4081, enc).index, kNoIndex) << enc;
}

TEST(StcfLookup, RangesOfEachCharsetKind) {
    auto glyph = [](uint32_t kind, uint32_t index) { return lookup_glyph(kind, index, 30000); };
    auto is = [&](uint32_t kind, uint32_t index, GlyphKind k, uint32_t number) {
        const GlyphRef g = glyph(kind, index);
        return g.kind == k && (k == GlyphKind::None || g.number == number);
    };
    const GlyphKind L = GlyphKind::Latin, S = GlyphKind::Single, C = GlyphKind::Composite,
                    N = GlyphKind::None;
    for (uint32_t kind : {0u, 1u, 2u, 3u, 4u, 6u}) {
        EXPECT_TRUE(is(kind, 2, N, 0));
        EXPECT_TRUE(is(kind, 3, L, 0));
        EXPECT_TRUE(is(kind, 226, L, 223));
        EXPECT_TRUE(is(kind, kNoIndex, N, 0));
    }
    EXPECT_TRUE(is(0, 227, N, 0));
    EXPECT_TRUE(is(0, 7073, S, 0));
    EXPECT_TRUE(is(0, 7730, S, 657));
    EXPECT_TRUE(is(0, 7731, N, 0));
    EXPECT_TRUE(is(0, 7827, S, 658));
    EXPECT_TRUE(is(0, 8687, N, 0));              // column 0: the GBK extension, none
    EXPECT_TRUE(is(0, 8687 + 96, C, 0));         // B0 A1
    EXPECT_TRUE(is(0, 8687 + 190 + 96, C, 94));  // B1 A1
    EXPECT_TRUE(is(0, 22366, C, 189 + 94 * 71 - 96));
    EXPECT_TRUE(is(0, 22367, N, 0));
    for (uint32_t kind : {1u, 2u}) {
        EXPECT_TRUE(is(kind, 992, N, 0));
        EXPECT_TRUE(is(kind, 993, C, 0));
        EXPECT_TRUE(is(kind, 7072, C, 6079));
        EXPECT_TRUE(is(kind, 7073, S, 0));
        EXPECT_TRUE(is(kind, 8111, C, 6080));
        EXPECT_TRUE(is(kind, 22462, C, 20431));
        EXPECT_TRUE(is(kind, 22463, N, 0));
        EXPECT_TRUE(is(kind, 22557, C, 20526));
    }
    for (uint32_t kind : {3u, 4u, 6u}) {
        EXPECT_TRUE(is(kind, 999, N, 0));
        EXPECT_TRUE(is(kind, 1000, S, 0));
        EXPECT_TRUE(is(kind, 3000, C, 0));
    }
    EXPECT_TRUE(is(5, 3, N, 0));
    EXPECT_EQ(lookup_glyph(3, 3000 + 5, 5).kind, GlyphKind::None);  // composite past the count
    EXPECT_EQ(lookup_glyph(3, 3000 + 4, 5).kind, GlyphKind::Composite);
}

/* The square [0, 60) x [0, 60) of the em at 16 x 16 pixels. Its right and top
 * edges fall 60 * (subsamples per pixel) / 8 - 1/2 subsamples in, so the
 * seventh pixel column and row are partly covered, by a share that shows each
 * grid. Rows are counted here from the cell's bottom. */
TEST(StcfRaster, LevelCountsOnASquare) {
    Font font = square_font();
    struct Expect {
        int levels, full, right, top, corner;
    };
    for (const Expect& e : {Expect{16, 16, 8, 8, 4}, Expect{12, 12, 6, 8, 4}, Expect{8, 8, 4, 4, 2},
                            Expect{6, 6, 3, 4, 2}, Expect{4, 4, 2, 2, 1}}) {
        const Cell c = draw(font, kFirstSingle, gbk(e.levels), 16, 16);
        for (int r = 0; r < 16; ++r)
            for (int x = 0; x < 16; ++x) {
                const int want = r < 7    ? (x < 7    ? e.full
                                             : x == 7 ? e.right
                                                      : 0)
                                 : r == 7 ? (x < 7    ? e.top
                                             : x == 7 ? e.corner
                                                      : 0)
                                          : 0;
                ASSERT_EQ(c.at(x, 15 - r), want) << "levels " << e.levels << " x " << x << " row " << r;
            }
        EXPECT_EQ(c.advance, 16);
    }
    EXPECT_EQ(draw(font, kFirstSingle, gbk(10), 16, 16).sum(), 0);
    const Cell untouched = draw(font, kFirstSingle, gbk(), 4, 40, 0x5A);
    EXPECT_EQ(untouched.sum(), 0x5A * 160);  // width below 5: nothing written
}

TEST(StcfRaster, LineOperations) {
    const auto rect = rect_coverage({{{20, 40, 30, 60}}});  // em x 20..40, outline y 5..35
    OutlineWriter lines;                                    // 3 and 11 are both "line to"
    lines.contour(20, 5).op(3, {40, 5}).op(11, {40, 35}).op(3, {20, 35});
    EXPECT_EQ(draw_single(lines).v, rect);
    OutlineWriter axis;  // 2 and 1: horizontal and vertical
    axis.contour(20, 5).op(2, {40}).op(1, {35}).op(2, {20});
    EXPECT_EQ(draw_single(axis).v, rect);
    OutlineWriter steps;  // 10: up to the new y, then across
    steps.contour(20, 5).op(10, {40, 35}).op(10, {20, 5});
    EXPECT_EQ(draw_single(steps).v, rect_coverage({{{20, 40, 30, 60}}}));
    OutlineWriter deltas;  // 12: relative lines, every nibble form
    deltas.contour(20, 5)
        .op(12, {delta_pair(7, 0)})
        .op(12, {delta_pair(7, 0)})
        .op(12, {delta_pair(0, 7)})
        .op(12, {delta_pair(-8, 0)})
        .op(12, {delta_pair(-6, 0)});
    EXPECT_EQ(draw_single(deltas).v, rect_coverage({{{20, 34, 30, 37}}}));
    OutlineWriter two;  // even-odd: a contour inside another is a hole
    two.contour(20, 5).op(2, {40}).op(1, {35}).op(2, {20}).contour(24, 9).op(2, {36}).op(1, {31}).op(2, {24});
    EXPECT_EQ(
        draw_single(two).v,
        rect_coverage({{{20, 40, 30, 34}}, {{20, 40, 56, 60}}, {{20, 24, 34, 56}}, {{36, 40, 34, 56}}}));
}

/* Each curve operation against the plain cubic (code 0) with the control
 * points its rule gives, worked out here. */
TEST(StcfRaster, CurveOperationsMatchTheirCubics) {
    struct Case {
        const char* name;
        OutlineWriter op, cubic;
    };
    auto from = [](int x, int y) {
        OutlineWriter w;
        w.contour(x, y);
        return w;
    };
    std::vector<Case> cases;
    // 4/5: arch to (50, 0) from (10, 0): d = 2 * 40 / 3 = 26.
    cases.push_back({"4", from(10, 0).op(4, {50}), from(10, 0).op(0, {10, 26, 50, 26, 50, 0})});
    cases.push_back({"5", from(10, 20).op(5, {50}), from(10, 20).op(0, {10, -6, 50, -6, 50, 20})});
    // 6/7: arch to (x, 50) from (60, 10): d = 26 to the left, to the right.
    cases.push_back({"6", from(60, 10).op(6, {50}), from(60, 10).op(0, {34, 10, 34, 50, 60, 50})});
    cases.push_back({"7", from(60, 10).op(7, {50}), from(60, 10).op(0, {86, 10, 86, 50, 60, 50})});
    // 8: deltas (3, 5), (7, -2), (-8, -7) chained from (20, 20).
    cases.push_back({"8", from(20, 20).op(8, {delta_pair(3, 5), delta_pair(7, -2), delta_pair(-8, -7)}),
                     from(20, 20).op(0, {23, 25, 30, 23, 22, 16})});
    // 13..15 from (60, 40) to (45, 33): q = (-15 / 4, -7 / 4) = (-3, -1), truncated.
    cases.push_back({"13", from(60, 40).op(13, {delta_pair(1, 2), delta_pair(-3, 1), 45, 33}),
                     from(60, 40).op(0, {58, 41, 48, 38, 45, 33})});
    cases.push_back({"14", from(60, 40).op(14, {delta_pair(1, 2), 30, 60, 45, 33}),
                     from(60, 40).op(0, {58, 41, 30, 60, 45, 33})});
    cases.push_back({"15", from(60, 40).op(15, {70, 20, delta_pair(-3, 1), 45, 33}),
                     from(60, 40).op(0, {70, 20, 48, 38, 45, 33})});
    // 9: a rounded box whose corners (multiples of 3 em units, so exact on
    // the 32-pixel grid) have controls two thirds along each side.
    cases.push_back({"9", from(10, 9).op(9, {30, 16, 36, 40, 46, 30, 9, 40, 3, 16}),
                     from(10, 9)
                         .op(1, {30})
                         .op(0, {10, 34, 12, 36, 16, 36})
                         .op(2, {40})
                         .op(0, {44, 36, 46, 34, 46, 30})
                         .op(1, {9})
                         .op(0, {46, 5, 44, 3, 40, 3})
                         .op(2, {16})
                         .op(0, {12, 3, 10, 5, 10, 9})});
    for (int size : {16, 32, 40})
        for (const Case& c : cases) {
            const Cell a = draw_single(c.op, size, size), b = draw_single(c.cubic, size, size);
            EXPECT_GT(b.sum(), 0) << c.name;
            EXPECT_EQ(a.v, b.v) << "operation " << c.name << " at " << size;
        }
}

/* The flattening rule of each cell size, seen in the crossings one scanline
 * keeps. The curve (100,10) (900,200) (900,500) (100,700) is closed by the
 * line x = 100; its points at t = k/n, worked out by hand, give the crossing
 * with the line y = 320 (scanline 5). */
TEST(StcfRaster, CurvesFlattenByCellSize) {
    const GridPoint p0{100, 10}, c1{900, 200}, c2{900, 500}, p3{100, 700};
    auto crossing_at_5 = [&](int size, GridPoint a, GridPoint b, GridPoint c, GridPoint d) {
        Grid grid;
        make_grid(16, size, size, 0, &grid);
        ScanConverter scan(grid);
        scan.move_to(a);
        scan.cubic_to(b, c, d);
        scan.line_to(a);
        const Workspace& ws = workspace();
        EXPECT_EQ(ws.crossing_count[5], 2);
        const int x = std::max(ws.crossings[5][0], ws.crossings[5][1]);
        std::vector<uint8_t> bits(grid.bits_stride() * grid.rows());
        scan.fill(bits.data());
        return x;
    };
    EXPECT_EQ(crossing_at_5(24, p0, c1, c2, p3), 633);  // long: thirds (633, 228) (633, 474)
    EXPECT_EQ(crossing_at_5(36, p0, c1, c2, p3), 674);  // quarters: (550, 169) (700, 351)
    EXPECT_EQ(crossing_at_5(37, p0, c1, c2, p3), 683);  // sixths: (633, 228) (700, 351)
    // Short (under 641/64 subsamples both ways): through the midpoint
    // ((100 + 1200 + 1200 + 100) / 8, (10 + 600 + 1200 + 600) / 8) = (325, 301).
    EXPECT_EQ(crossing_at_5(24, {100, 10}, {400, 200}, {400, 400}, {100, 600}),
              325 + (320 - 301) * -225 / 299);
}

TEST(StcfLevels, SmoothingPerLevelCount) {
    // Columns of a 3 x 5 cell, top row first.
    auto column_after = [](int levels, std::array<uint8_t, 5> col) {
        std::vector<uint8_t> cell(5 * 3, 0);
        for (int y = 0; y < 5; ++y) cell[y * 3 + 1] = col[y];
        smooth_edges(cell.data(), 3, 5, levels);
        std::array<uint8_t, 5> out;
        for (int y = 0; y < 5; ++y) out[y] = cell[y * 3 + 1];
        return out;
    };
    using Col = std::array<uint8_t, 5>;
    EXPECT_EQ(column_after(16, {0, 0, 16, 16, 0}), (Col{0, 4, 12, 12, 4}));
    EXPECT_EQ(column_after(16, {0, 12, 0, 0, 0}), (Col{0, 12, 3, 0, 0}));
    EXPECT_EQ(column_after(16, {0, 16, 0, 16, 0}), (Col{0, 12, 4, 12, 4}));  // below is looked at first
    // Eight levels lower a full pixel only with a full pixel on its other side.
    EXPECT_EQ(column_after(8, {0, 8, 8, 0, 0}), (Col{2, 6, 8, 2, 0}));
    EXPECT_EQ(column_after(4, {0, 0, 4, 4, 0}), (Col{0, 1, 3, 3, 1}));
    EXPECT_EQ(column_after(16, {16, 0, 0, 0, 16}), (Col{16, 0, 0, 0, 16}));  // outer rows are not visited
}

TEST(StcfLevels, SharpeningReadsTheCellAsItWas) {
    std::vector<uint8_t> cell = {4, 4, 4,  //
                                 4, 8, 4,  //
                                 4, 4, 16};
    std::vector<uint8_t> before(9);
    sharpen(cell.data(), 3, 3, 16, before.data());
    // Centre: (24 * 8 - 44) / 16 = 9; corner (0,0): (96 - 16) / 16 = 5;
    // edge (1,0): (96 - 24) / 16 = 4; edge (2,1): (96 - 36) / 16 = 3; 16 stays.
    EXPECT_EQ(cell, (std::vector<uint8_t>{5, 4, 5, 4, 9, 3, 5, 3, 16}));
    std::vector<uint8_t> faint = {16, 16, 16, 16, 1, 16, 16, 16, 16};
    sharpen(faint.data(), 3, 3, 16, before.data());
    EXPECT_EQ(faint[4], 0);
}

TEST(StcfLevels, RingsAroundALonePixel) {
    std::vector<uint8_t> cell(7 * 7, 0);
    cell[3 * 7 + 3] = 16;
    cell[0 * 7 + 6] = 16;  // on the border: never a centre
    add_rings(cell.data(), 7, 7, true);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 7; ++x) {
            const int d = std::max(std::abs(x - 3), std::abs(y - 3));
            const int want = (x == 6 && y == 0) ? 16 : d == 0 ? 16 : d == 1 ? 17 : d == 2 ? 19 : 0;
            EXPECT_EQ(cell[y * 7 + x], want) << x << "," << y;
        }
    std::vector<uint8_t> one(7 * 7, 0);
    one[3 * 7 + 3] = 5;
    add_rings(one.data(), 7, 7, false);
    EXPECT_EQ(one[1 * 7 + 1], 0);
    EXPECT_EQ(one[2 * 7 + 2], 17);
}

TEST(StcfRender, StylesBackgroundsAndRingValues) {
    Font font = square_font();
    FontParams p = gbk();
    p.style = 0;
    p.background = 7;
    Cell c = draw(font, kFirstSingle, p, 16, 16);
    EXPECT_EQ(c.at(0, 15), 0xFF);
    EXPECT_EQ(c.at(7, 15), 128);  // 8 of 16
    EXPECT_EQ(c.at(15, 0), 7);
    p.style = 3;
    p.background = -1;  // the style's own level 0
    c = draw(font, kFirstSingle, p, 16, 16);
    EXPECT_EQ(c.at(0, 15), 0x03);
    EXPECT_EQ(c.at(7, 15), 0x98);
    EXPECT_EQ(c.at(15, 0), 0x02);
    p.background = 256;  // only the glyph's pixels are written
    c = draw(font, kFirstSingle, p, 16, 16, 0xAA);
    EXPECT_EQ(c.at(0, 15), 0x03);
    EXPECT_EQ(c.at(15, 0), 0xAA);
    p.style = 90;  // entries past 83 are all zero
    p.background = -1;
    EXPECT_EQ(draw(font, kFirstSingle, p, 16, 16).sum(), 0);
    // A character without a glyph still fills with the background.
    p.style = 0;
    p.background = 9;
    EXPECT_EQ(draw(font, 0xA2A1, p, 16, 16).sum(), 9 * 256);

    // Rings with a style: the ring value goes into the entry, the em shrinks
    // by 2 pixels (centred), which moves the square's edge in by one pixel.
    p.style = 5;
    p.background = 0;
    p.flags = 4;
    p.ring_value = 0x77;
    c = draw(font, kFirstSingle, p, 16, 16);
    EXPECT_EQ(style_entry(5)[17], 0x77);
    EXPECT_EQ(style_entry(5)[19], 0x77);
    EXPECT_EQ(c.at(1, 14), 16);    // the square now starts one pixel in
    EXPECT_EQ(c.at(0, 14), 0x77);  // the ring left of it
    EXPECT_EQ(c.at(1, 15), 0x77);  // and below
    style_entry(5)[17] = 17, style_entry(5)[18] = 18, style_entry(5)[19] = 19;
}

TEST(StcfStore, AgingAndReplacement) {
    forget_font(0);
    std::vector<uint8_t> cell(24 * 24), out(24 * 24);
    auto key = [](uint32_t n) { return StoreKey{n, 2, 0, 16, 10, 10, 0, 0, 1}; };
    for (uint32_t n = 0; n < kStoreSlots; ++n) {
        cell[0] = static_cast<uint8_t>(n);
        store_cell(key(n), cell.data());
    }
    EXPECT_EQ(slot_age(0), 100u);  // the first stored is the oldest
    EXPECT_EQ(slot_age(99), 1u);
    ASSERT_TRUE(fetch_stored(key(5), out.data()));
    EXPECT_EQ(out[0], 5);
    EXPECT_EQ(slot_age(5), 1u);
    EXPECT_EQ(slot_age(99), 2u);
    EXPECT_EQ(slot_age(1), 100u);  // 99 aged to 100 beside slot 0
    cell[0] = 200;
    store_cell(key(200), cell.data());  // replaces the first slot at 100
    EXPECT_FALSE(fetch_stored(key(0), out.data()));
    EXPECT_EQ(slot_age(0), 1u);
    ASSERT_TRUE(fetch_stored(key(200), out.data()));
    EXPECT_EQ(out[0], 200);
    EXPECT_FALSE(fetch_stored(StoreKey{5, 2, 0, 16, 10, 10, 1, 0, 1}, out.data()));  // other flags
    forget_font(1);
    EXPECT_EQ(slot_age(0), 0u);
}

/* The store serves a small glyph again without rasterising it: change the
 * outline in the image and the stored cell still comes back. */
TEST(StcfStore, RenderReusesSmallGlyphs) {
    Font font = square_font();
    FontParams p = gbk();
    p.store = 1;
    const Cell first = draw(font, kFirstSingle, p, 16, 16);
    const uint32_t data = font.record->outline_data;
    uint32_t entry = 0;
    font.record->reader().u24(font.record->outline_table, &entry);
    font.image[data + entry] = 0;  // no contours any more
    clear_cache();                 // the cache of finished cells assumes an image that never changes
    EXPECT_EQ(draw(font, kFirstSingle, p, 16, 16).v, first.v);
    EXPECT_EQ(draw(font, kFirstSingle, gbk(), 16, 16).sum(), 0);
    p.flags = 1;  // another key
    EXPECT_EQ(draw(font, kFirstSingle, p, 16, 16).sum(), 0);
    p.flags = 0;
    EXPECT_EQ(draw(font, kFirstSingle, p, 25, 25).sum(), 0);  // too large to be stored
}

TEST(StcfRender, LatinPagesCompositesAndInlineComposites) {
    FontBuilder b;
    b.page_count = 2;
    b.widths.resize(2);
    b.widths[0].fill(64);
    b.widths[1].fill(96);
    b.widths[0]['A' - 32] = 500;  // wider than the cell: limited to W
    OutlineWriter bar;
    bar.contour(0, 5).op(2, {40}).op(1, {35}).op(2, {0});
    b.set_latin(1, 'B' - 32, bar);
    b.set_latin(2, 'B' - 32, OutlineWriter().contour(0, 5).op(2, {20}).op(1, {35}).op(2, {0}));
    b.set_single(3, bar);
    b.add_composite({Component{3, 40, 0}, Component{3, 0, 20, 64, 64}});
    Font font(b);
    FontParams p = gbk();
    Cell c = draw(font, 'B', p, 32, 32);
    EXPECT_EQ(c.advance, 16);
    EXPECT_EQ(c.v, rect_coverage({{{0, 40, 30, 60}}}));
    EXPECT_EQ(char_width(font.record.get(), CharRef{u"A", 1}, 32, 32, p), 32);
    EXPECT_EQ(char_width(font.record.get(), CharRef{u"B", 1}, 4, 32, p), 4);
    p.page = 2;
    c = draw(font, 'B', p, 32, 32);
    EXPECT_EQ(c.advance, 24);
    EXPECT_EQ(c.v, rect_coverage({{{0, 20, 30, 60}}}));
    p.page = 3;  // no such page: the first
    EXPECT_EQ(draw(font, 'B', p, 32, 32).advance, 16);
    // Composite 0 (GBK B0 A1 in a kind-0 font): the bar at (40, 0), and the
    // bar at half size at (0, 20): x 0..20, y 45 + (5..35) / 2, whose ends
    // fall on scanlines 47 and 62 and are moved up onto 48 and 63.
    c = draw(font, 0xA1B0, gbk(), 32, 32);
    EXPECT_EQ(c.advance, 32);
    EXPECT_EQ(c.v, rect_coverage({{{40, 80, 30, 60}}, {{0, 20, 48, 63}}}));
    // Inline: width byte 64, flags 0xC0 (one component, with scales), kind 1,
    // outline entry 3, offset (10, 0), scales 128.
    const char16_t text[] = {0xFFFF, 0, 0xC040, 0x0301, 0x0A00, 0x8000, 0x0080};
    std::vector<uint8_t> raw(reinterpret_cast<const uint8_t*>(text + 2),
                             reinterpret_cast<const uint8_t*>(text + 7));
    ASSERT_EQ(raw, (std::vector<uint8_t>{0x40, 0xC0, 0x01, 0x03, 0x00, 0x0A, 0x00, 0x80, 0x80, 0x00}));
    std::vector<uint8_t> out(32 * 32);
    int32_t w = 32, h = 32;
    render(font.record.get(), CharRef{text, 7}, gbk(), out.data(), out.size(), &w, &h);
    EXPECT_EQ(w, 16);
    EXPECT_EQ(out, rect_coverage({{{10, 50, 30, 60}}}));
    EXPECT_EQ(char_width(font.record.get(), CharRef{text, 7}, 32, 32, gbk()), 16);
    w = 32;
    render(font.record.get(), CharRef{text, 5}, gbk(), out.data(), out.size(), &w, &h);  // data cut short
    EXPECT_EQ(std::accumulate(out.begin(), out.end(), 0), 0);
}

TEST(StcfBadInput, RendersNothingAndStaysInsideTheImage) {
    const OutlineWriter square = square_outline();
    FontBuilder b;
    b.set_single(0, square);
    b.set_single(1, square);
    b.add_composite({Component{0, 0, 0}, Component{5000, 0, 0}});  // entry past the table
    b.add_composite({Component{0, -128, -128, 255, 255}, Component{0, 127, 127, 255, 255}});
    Font font(b);
    ASSERT_NE(font.record, nullptr);
    // The outline data cut inside the square: the glyph is dropped whole.
    std::vector<uint8_t> cut(font.image.begin(), font.image.end() - 2);
    {
        std::unique_ptr<StcfFontRecord, RecordDeleter> r(parse(cut.data(), cut.size()));
        ASSERT_NE(r, nullptr);
        std::vector<uint8_t> out(16 * 16, 1);
        int32_t w = 16, h = 16;
        const char16_t second = 0xA2A1;
        render(r.get(), CharRef{&second, 1}, gbk(), out.data(), out.size(), &w, &h);
        EXPECT_EQ(std::accumulate(out.begin(), out.end(), 0), 0);
    }
    // A composite with one component out of range draws the other.
    EXPECT_EQ(draw(font, 0xA1B0, gbk(), 16, 16).v, draw(font, kFirstSingle, gbk(), 16, 16).v);
    // Scaled far past the cell: cut at its edges.
    const Cell big = draw(font, 0xA2B0, gbk(), 16, 16);
    EXPECT_GT(big.sum(), 0);
    // An outline offset past the image.
    std::vector<uint8_t> far = font.image;
    const uint32_t table = font.record->outline_table;
    far[table + 0] = far[table + 1] = far[table + 2] = 0xFF;
    std::unique_ptr<StcfFontRecord, RecordDeleter> r(parse(far.data(), far.size()));
    std::vector<uint8_t> out(16 * 16, 0);
    int32_t w = 16, h = 16;
    render(r.get(), CharRef{&kFirstSingle, 1}, gbk(), out.data(), out.size(), &w, &h);
    EXPECT_EQ(std::accumulate(out.begin(), out.end(), 0), 0);
    // A cell larger than the caller's buffer is not rendered.
    std::vector<uint8_t> small(40 * 40, 3);
    w = 50, h = 50;
    render(font.record.get(), CharRef{&kFirstSingle, 1}, gbk(), small.data(), small.size(), &w, &h);
    EXPECT_EQ(std::accumulate(small.begin(), small.end(), 0), 3 * 1600);
    EXPECT_EQ(w, 50);
}

/* Sixty vertical edges cross each scanline of a comb; the first fifty are
 * kept, so teeth 0..24 (one subsample column each, at 2k) are drawn and the
 * rest are not. The contour's 120 operations use the two-byte count. */
TEST(StcfBadInput, CrossingsPastFiftyAreDropped) {
    OutlineWriter comb;
    comb.contour(0, 0, true);
    for (int k = 0; k < 30; ++k) comb.op(1, {20}).op(2, {2 * k + 1}).op(1, {0}).op(2, {2 * k + 2});
    const Cell c = draw_single(comb);
    const int rows[32] = {0, 0, 0, 0, 0, 0,
                          3, 4, 4, 4, 4, 1};  // subsample rows 25..44, per pixel row from the bottom
    for (int py = 0; py < 32; ++py)
        for (int px = 0; px < 32; ++px) {
            const int columns = px < 12 ? 2 : px == 12 ? 1 : 0;
            ASSERT_EQ(c.at(px, py), columns * rows[31 - py]) << px << "," << py;
        }
}

/* An outline of more edges than any glyph has is taken for damage and
 * dropped, so that one glyph cannot cost time in proportion to the file. */
TEST(StcfBadInput, EndlessOutlinesAreDropped) {
    auto zigzag = [](int edges) {
        OutlineWriter w;
        w.contour(10, 0);
        for (int i = 0; i < edges / 2; ++i) w.op(2, {i % 2 ? 10 : 50}).op(1, {i % 2 ? 0 : 30});
        return w;
    };
    EXPECT_GT(draw_single(zigzag(1000)).sum(), 0);
    EXPECT_EQ(draw_single(zigzag(kMaxEdges + 2)).sum(), 0);
}

TEST(StcfLoadedFont, LoadMeasureRenderRelease) {
    FontBuilder b;
    b.widths.resize(1);
    b.widths[0].fill(64);
    b.widths[0]['W' - 32] = 128;
    b.set_latin(1, 'W' - 32, square_outline());
    b.utf16.assign(65536, 0xFFFF);  // the fonts' default encoding is UTF-16
    b.utf16[u'W'] = 'W' - 29;
    b.utf16[u'i'] = 'i' - 29;
    const std::vector<uint8_t> image = b.build();
    const std::string path = ::testing::TempDir() + "stcf_loaded_font.bin";
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(image.data(), 1, image.size(), f), image.size());
    std::fclose(f);
    std::u16string wide(path.begin(), path.end());
    ReleaseFont();
    ASSERT_EQ(LoadFont(wide.data()), 1);
    CCEFont font(16, 16, 0, 400);
    EXPECT_EQ(MeasureText(u"WiW", 3, font), 16 + 8 + 16);
    int w = 16, h = 16;
    const WCHAR ch = u'W';
    uint8_t coverage[40 * 40] = {};
    RenderGlyphCoverage(&w, &h, &ch, 1, coverage, font);
    EXPECT_EQ(w, 16);
    EXPECT_EQ(coverage[15 * 16 + 0], 16);  // the square's bottom-left pixel
    EXPECT_EQ(coverage[15 * 16 + 7], 8);
    EXPECT_EQ(coverage[0], 0);
    ReleaseFont();
    EXPECT_EQ(MeasureText(u"WiW", 3, font), 0);  // no font: nothing measured
    std::remove(path.c_str());
}
