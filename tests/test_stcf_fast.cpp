/* The built-in engine's fast paths against the plain ones: cells from the
 * cache of finished cells are the bytes the rasteriser makes, over many
 * seeded glyphs, sizes, level counts and flags of a font kesra-font builds
 * from DejaVu Sans and wqy-microhei; a cached cell still feeds the
 * small-glyph store; the separable halo equals the 5 x 5 kernel; haloed
 * and shadowed labels paint as the per-pixel loop; the coverage row blends
 * equal the plain one; the engine's look-ups reach the frame profile. */
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "kesra_profile.h"
#include "tests/test_helpers.h"
#include "text/coverage_blend.h"
#include "text/font_dispatch.h"
#include "text/outlined_text.h"
#include "text/stcf_cache.h"
#include "text/stcf_engine.h"
#include "text/stcf_store.h"
#include "text/text_draw.h"
#include "tools/kesra-font/font_tool.h"

using namespace kesra;
using namespace kesra::stcf;
using kesra::test::Screen;

namespace {

const char* const kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char* const kWqy = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";
const std::u16string kHan = u"中山人民东西南北京海河新华建设解放路街大道环城公园桥站场口";

struct RecordDeleter {
    void operator()(StcfFontRecord* r) const { release(r); }
};

/* Latin page 1 and the hanzi above, built once for the suite. */
class FastPaths : public ::testing::Test {
   protected:
    static void SetUpTestSuite() {
        if (access(kDejaVu, R_OK) != 0 || access(kWqy, R_OK) != 0) return;
        char dir[] = "/tmp/kesra_stcf_fast_XXXXXX";
        if (!mkdtemp(dir)) return;
        const std::string path = std::string(dir) + "/labels.stcf";
        kesra_font::BuildOptions options;
        options.latin = {{kDejaVu, 0}};
        options.cjk = {kWqy, 0};
        options.subset = true;
        options.subset_chars.assign(kHan.begin(), kHan.end());
        options.quiet = true;
        std::string error;
        if (!kesra_font::build(path, options, nullptr, &error)) return;
        std::ifstream in(path, std::ios::binary);
        image_ = new std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
        record_ = parse(image_->data(), image_->size());
        path_ = new std::string(path);
    }
    static void TearDownTestSuite() {
        if (path_) {
            unlink(path_->c_str());
            rmdir(path_->substr(0, path_->rfind('/')).c_str());
        }
        delete path_;
        path_ = nullptr;
        release(record_);
        record_ = nullptr;
        delete image_;
        image_ = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(record_, nullptr) << "fonts-dejavu-core and fonts-wqy-microhei are needed";
        forget_font(0);
        clear_cache();
    }

    static std::vector<uint8_t> draw(char16_t ch, const FontParams& p, int w, int h) {
        std::vector<uint8_t> cell(static_cast<size_t>(w) * h, 0xEE);
        int32_t width = w, height = h;
        render(record_, CharRef{&ch, 1}, p, cell.data(), cell.size(), &width, &height);
        return cell;
    }

    static std::vector<uint8_t>* image_;
    static StcfFontRecord* record_;
    static std::string* path_;
};

std::vector<uint8_t>* FastPaths::image_ = nullptr;
StcfFontRecord* FastPaths::record_ = nullptr;
std::string* FastPaths::path_ = nullptr;

/* Seeded mix of Latin and hanzi, sizes 5..60, every level count (and one
 * unsupported), every flag combination, adjustments and styles. Each case is
 * first drawn alone (rasterised); then all run twice through one cache, where
 * cases differing in a single setting meet: every cell equals the plain one. */
TEST_F(FastPaths, CachedCellsAreTheRasterisersBytes) {
    struct Case {
        char16_t ch;
        FontParams p;
        int w, h;
    };
    std::mt19937 rng(20261207);
    const int levels[] = {4, 6, 8, 12, 16, 10};
    const int sides[] = {5, 16, 24, 25, 37, 60};
    std::vector<Case> cases;
    for (int n = 0; n < 400; ++n) {
        Case c;
        c.ch = rng() % 2 ? kHan[rng() % 4] : static_cast<char16_t>(u'A' + rng() % 4);
        c.p.levels = levels[rng() % 6];
        c.p.flags = static_cast<int32_t>(rng() % 16);
        c.p.adjust = static_cast<int32_t>(rng() % 3) - 1;
        c.p.style = rng() % 4 ? -1 : 3;
        c.p.ring_value = 0x40;
        c.w = sides[rng() % 6], c.h = sides[rng() % 6];
        cases.push_back(c);
    }
    std::vector<std::vector<uint8_t>> plain;
    int drawn = 0;
    for (const Case& c : cases) {
        clear_cache();
        plain.push_back(draw(c.ch, c.p, c.w, c.h));
        for (uint8_t v : plain.back()) drawn += v != 0 && v != 0xEE;
    }
    EXPECT_GT(drawn, 10000);  // the cases drew glyphs, not empty cells
    clear_cache();
    for (int round = 0; round < 2; ++round)
        for (size_t n = 0; n < cases.size(); ++n) {
            const Case& c = cases[n];
            ASSERT_EQ(draw(c.ch, c.p, c.w, c.h), plain[n])
                << "round " << round << " case " << n << " char " << int(c.ch) << " " << c.w << "x" << c.h;
        }
}

/* The store stays the first level: a glyph the cache already holds is still
 * kept in the store, which ages as before. */
TEST_F(FastPaths, CachedCellStillFeedsTheStore) {
    FontParams p;
    p.store = 1;
    const std::vector<uint8_t> first = draw(u'A', p, 16, 16);  // rasterised, cached and stored
    forget_font(0);
    ASSERT_EQ(slot_age(0), 0u);
    EXPECT_EQ(draw(u'A', p, 16, 16), first);  // from the cache, into the store
    EXPECT_EQ(slot_age(0), 1u);
    draw(u'B', p, 16, 16);
    EXPECT_EQ(slot_age(0), 2u);
    EXPECT_EQ(slot_age(1), 1u);
}

/* With profiling on, the frame's glyph counts take the engine's look-ups:
 * a rasterised cell is a miss, one from the cache or the store a hit. */
TEST_F(FastPaths, CellLookUpsCountAsGlyphHitsAndMisses) {
    KesraProfileSetEnabled(1);
    KesraFrameStats before{}, after{};
    ASSERT_EQ(KesraProfileCurrentFrame(&before), 1);
    FontParams p;
    draw(u'A', p, 16, 16);  // rasterised
    draw(u'A', p, 16, 16);  // from the cache
    p.store = 1;
    draw(u'B', p, 16, 16);  // rasterised, then stored
    draw(u'B', p, 16, 16);  // from the store
    ASSERT_EQ(KesraProfileCurrentFrame(&after), 1);
    KesraProfileSetEnabled(0);
    EXPECT_EQ(after.glyph_hits - before.glyph_hits, 2u);
    EXPECT_EQ(after.glyph_misses - before.glyph_misses, 2u);
}

/* DrawTextW as the plain loop painted it on a w x h screen: a rectangle that
 * misses the screen draws nothing, else every cell pixel inside it goes
 * through DM_DrawAlphaPixel2 (ink) or DrawPixel (edge markers). */
void reference_draw_text(CCEDraw& dc, const std::u16string& text, const RECT& rect, int w, int h) {
    if (rect.left >= w || rect.right < 1 || rect.top >= h || rect.bottom < 1) return;
    const CCEFont& font = *dc.m_pFont;
    uint8_t* coverage = font_state().FontCoverageBuffer;
    const int count = static_cast<int>(text.size()), stride = font.m_nWidth;
    int32_t pen = rect.left;
    for (int n = 0; n < count; n += GlyphUnits(text.data() + n, count - n)) {
        int width = font.m_nWidth, height = font.m_nHeight;
        RenderGlyphCoverage(&width, &height, text.data() + n, count - n, coverage, font);
        const int rows = std::min(height, kMaxGlyphSide * kMaxGlyphSide / stride);
        for (int j = 0; j < rows; ++j)
            for (int i = 0; i < std::min(width, stride); ++i) {
                const int32_t x = pen + i, y = rect.top + j;
                if (x < rect.left || x > rect.right || y < rect.top || y > rect.bottom) continue;
                const int v = coverage[j * stride + i];
                if (v > 0 && v <= font.m_nP2)
                    dc.DM_DrawAlphaPixel2(x, y, dc.m_wTextColor, v);
                else if (v == 17 || v == 19)
                    dc.DrawPixel(x, y, dc.m_wTextOutColor, 1);
            }
        pen += width;
    }
}

/* Seeded labels over a seeded screen, some hanging off its edges or cut by
 * their rectangle, with edge rings and without (cells without markers paint
 * only their ink boxes through the block blend): DrawTextW paints what the
 * plain loop does. */
void expect_draw_text_as_plain_loop(const std::string& path, int flags, unsigned seed) {
    SCOPED_TRACE(flags);
    std::u16string wide(path.begin(), path.end());
    ReleaseFont();
    ASSERT_EQ(LoadFont(wide.data()), 1);
    font_state().UseBuiltinEngine = 1;
    CCEFont font(19, 17, flags, 400);
    std::mt19937 rng(seed);
    Screen fast(160, 90), plain(160, 90);
    for (Screen* s : {&fast, &plain}) {
        s->dc->SetGDIObject(&font);
        s->dc->SetTextColor(0x2104);
        s->dc->m_wTextOutColor = 0xFFE0;
    }
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 160; ++x) fast.at(x, y) = plain.at(x, y) = static_cast<uint16_t>(rng());
    for (int n = 0; n < 60; ++n) {
        std::u16string text;
        for (int k = 1 + static_cast<int>(rng() % 8); k > 0; --k)
            text += rng() % 2 ? kHan[rng() % kHan.size()] : static_cast<char16_t>(0x21 + rng() % 94);
        const LONG left = static_cast<LONG>(rng() % 200) - 30, top = static_cast<LONG>(rng() % 120) - 20;
        const RECT rect{left, top, left + static_cast<LONG>(rng() % 120),
                        top + static_cast<LONG>(rng() % 24)};
        fast.dc->DrawTextW(text.data(), static_cast<int>(text.size()), rect, 0);
        reference_draw_text(*plain.dc, text, rect, plain.w, plain.h);
    }
    EXPECT_EQ(fast.pixels(), plain.pixels());
    const std::vector<uint16_t> painted = fast.pixels();
    if (flags & 4) {  // the rings were drawn
        EXPECT_GT(std::count(painted.begin(), painted.end(), uint16_t{0xFFE0}), 300);
    }
    for (Screen* s : {&fast, &plain}) s->dc->SetToDefaultFont();
    ReleaseFont();
}

TEST_F(FastPaths, DrawTextPaintsAsThePlainLoop) {
    expect_draw_text_as_plain_loop(*path_, 1 | 4 | 8, 1207);
    expect_draw_text_as_plain_loop(*path_, 1, 1208);
}

/* DrawTextWithDistinct (modes 0 and 1) as the per-pixel loop paints it on a
 * w x h screen: the halo summed by the 5 x 5 kernel, every pixel clipped to
 * the rectangle and the screen and blended on its own, the sheen after it. */
void reference_outlined(Screen& s, const std::u16string& text, const RECT& rect,
                        const tagDISTINCT_STRUCT& p) {
    static constexpr int kKernel[5] = {1, 2, 4, 2, 1};
    static GradientTable main_rows, left_rows;
    if (rect.left >= s.w || rect.right < 1 || rect.top >= s.h || rect.bottom < 1) return;
    const CCEFont& font = *s.dc->m_pFont;
    const int levels = font.m_nP2, stride = font.m_nWidth, count = static_cast<int>(text.size());
    auto paint = [&](int64_t x, int64_t y, uint16_t color, int v, int level) {
        if (v < 1 || v > levels || x < rect.left || x > rect.right || y < rect.top || y > rect.bottom) return;
        if (x < 0 || x >= s.w || y < 0 || y >= s.h) return;
        s.at(static_cast<int>(x), static_cast<int>(y)) =
            blend565_16(s.at(static_cast<int>(x), static_cast<int>(y)), color, level);
    };
    auto left_part = [&](int64_t x) { return p.bSplit && x < p.nSplitX; };
    auto back = [&](int64_t x) {
        return static_cast<uint16_t>(left_part(x) ? p.dwLeftBackColor : p.dwBackColor);
    };
    const TextStart start = align_text(rect, 0, MeasureText(text.data(), count, font), font.m_nHeight);
    const uint8_t* coverage = font_state().FontCoverageBuffer;
    int64_t pen = start.x;
    for (int n = 0; n < count; n += GlyphUnits(text.data() + n, count - n)) {
        int width = font.m_nWidth, height = font.m_nHeight;
        RenderGlyphCoverage(&width, &height, text.data() + n, count - n, font_state().FontCoverageBuffer,
                            font);
        const GlyphCoverage g{coverage, stride, width, height, kMaxGlyphSide * kMaxGlyphSide / stride};
        if (p.nMode == 0) {
            const int mw = std::clamp(width, 0, kMaxGlyphSide) + 4,
                      mh = std::clamp(height, 0, kMaxGlyphSide) + 4;
            for (int my = 0; my < mh; ++my)
                for (int mx = 0; mx < mw; ++mx) {
                    int sum = 0;
                    for (int dy = 0; dy < 5; ++dy)
                        for (int dx = 0; dx < 5; ++dx) {
                            const int v = g.at(mx - 4 + dx, my - 4 + dy);
                            if (v >= 1 && v <= 16) sum += kKernel[dy] * kKernel[dx] * v;
                        }
                    const int v = std::min(sum >> 5, 16);
                    const int64_t x = pen - 2 + mx;
                    paint(x, start.y - 2 + my, back(x), v, v);
                }
        }
        const int rows = std::min(height, g.readable_rows), columns = std::min(width, stride);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c)
                if (p.nMode == 1) {
                    const int v = coverage[r * stride + c];
                    paint(pen + c + 1, start.y + r + 2, back(pen + c + 1), v, v / 2);
                }
        build_gradient(main_rows, static_cast<uint16_t>(p.dwColors), static_cast<uint16_t>(p.dwColors >> 16),
                       height);
        build_gradient(left_rows, static_cast<uint16_t>(p.dwLeftColors),
                       static_cast<uint16_t>(p.dwLeftColors >> 16), height);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c) {
                const int v = coverage[r * stride + c];
                const int64_t x = pen + c, y = start.y + r;
                if (left_part(x)) {
                    paint(x, y, left_rows.at(r), v, v);
                    continue;
                }
                paint(x, y, main_rows.at(r), v, v);
                if (!p.bHighlight) continue;
                const int64_t d = p.nHighlightDir ? x - p.nHighlightX : p.nHighlightX - x;
                const int level = d >= 1 && d <= 33 ? highlight_level(static_cast<int32_t>(d)) : 0;
                if (level) paint(x, y, 0xFFFF, v, level);
            }
        pen += width;
    }
}

/* Seeded labels with halos or shadows, gradients, split colours and sheens,
 * in fonts with rings, fewer levels, tall narrow cells (past the kept
 * masks), over a seeded screen, some off its edges or cut by their
 * rectangle: every pixel is the per-pixel loop's. */
TEST_F(FastPaths, HaloTextPaintsAsThePlainLoop) {
    std::u16string wide(path_->begin(), path_->end());
    ReleaseFont();
    ASSERT_EQ(LoadFont(wide.data()), 1);
    font_state().UseBuiltinEngine = 1;
    CCEFont fonts[] = {{16, 16, 2, 400}, {19, 17, 1 | 4 | 8, 400}, {24, 22, 0, 400}, {8, 100, 2, 400}};
    fonts[2].m_nP2 = 8;
    std::mt19937 rng(1208);
    Screen fast(200, 120), plain(200, 120);
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 200; ++x) fast.at(x, y) = plain.at(x, y) = static_cast<uint16_t>(rng());
    int changed = 0;
    for (int n = 0; n < 120; ++n) {
        CCEFont& font = fonts[rng() % 4];
        for (Screen* s : {&fast, &plain}) s->dc->SetGDIObject(&font);
        std::u16string text;
        for (int k = 1 + static_cast<int>(rng() % 8); k > 0; --k)
            text += rng() % 2 ? kHan[rng() % kHan.size()] : static_cast<char16_t>(0x20 + rng() % 95);
        const LONG left = static_cast<LONG>(rng() % 240) - 30, top = static_cast<LONG>(rng() % 150) - 20;
        const RECT rect{left, top, left + static_cast<LONG>(rng() % 160),
                        top + static_cast<LONG>(rng() % 40)};
        tagDISTINCT_STRUCT p{rng() % 5 ? 0 : 1,
                             static_cast<DWORD>(rng()),
                             static_cast<DWORD>(rng() & 0xFFFF),
                             0,
                             0,
                             0,
                             0,
                             0,
                             0,
                             0};
        if (rng() % 3 == 0) {
            p.bSplit = 1;
            p.nSplitX = left + static_cast<LONG>(rng() % 80);
            p.dwLeftColors = static_cast<DWORD>(rng());
            p.dwLeftBackColor = rng() & 0xFFFF;
        }
        if (rng() % 3 == 0) {
            p.bHighlight = 1;
            p.nHighlightDir = static_cast<LONG>(rng() % 2);
            // Stripes over the label's first or last 33 columns.
            p.nHighlightX = left + static_cast<LONG>(rng() % 40) + (p.nHighlightDir ? -5 : 25);
        }
        const std::vector<uint16_t> before = fast.pixels();
        fast.dc->DrawTextWithDistinct(text.data(), static_cast<int>(text.size()), rect, 0, p);
        reference_outlined(plain, text, rect, p);
        changed += fast.pixels() != before;
        ASSERT_EQ(fast.pixels(), plain.pixels()) << "label " << n;
    }
    EXPECT_GT(changed, 60);  // the labels were drawn
    for (Screen* s : {&fast, &plain}) s->dc->SetToDefaultFont();
    ReleaseFont();
}

/* The row blends against the plain loop over seeded blocks of every width
 * up to three steps, one colour or one per row, cells past the level count
 * (ring markers, styled bytes) and level counts from none to past 16;
 * nothing outside the block changes. */
TEST(CoverageBlend, VectorRowsEqualThePlainLoop) {
    std::mt19937 rng(1609);
    const int level_counts[] = {16, 4, 6, 8, 12, 0, -1, 17, 255};
    for (int n = 0; n < 2000; ++n) {
        const int rows = 1 + static_cast<int>(rng() % 5), columns = static_cast<int>(rng() % 100);
        const int v_stride = columns + static_cast<int>(rng() % 4), d_stride = columns + 3;
        std::vector<uint8_t> cells(static_cast<size_t>(rows) * v_stride + 40);
        for (uint8_t& v : cells)
            v = rng() % 4 == 0   ? 0
                : rng() % 8 == 0 ? static_cast<uint8_t>(rng())
                                 : static_cast<uint8_t>(rng() % 18);
        std::vector<uint16_t> pixels(static_cast<size_t>(rows) * d_stride + 40), colors(rows);
        for (uint16_t& p : pixels) p = static_cast<uint16_t>(rng());
        for (uint16_t& c : colors) c = static_cast<uint16_t>(rng());
        const int levels = level_counts[rng() % 9];
        const intptr_t step = rng() % 2;
        std::vector<uint16_t> expected = pixels, by8 = pixels, by32 = pixels;
        auto box = [&](std::vector<uint16_t>& d) {
            return CoverageRows{d.data() + 3, d_stride, cells.data() + 5, v_stride, colors.data(),
                                step,         rows,     columns};
        };
        blend_coverage16_plain(box(expected), levels);
        blend_coverage16_by8(box(by8), levels);
        ASSERT_EQ(by8, expected) << n;
        if (!wide_coverage_blend()) continue;
        blend_coverage16_by32(box(by32), levels);
        ASSERT_EQ(by32, expected) << n;
    }
}

/* The halo mask against the 5 x 5 kernel summed pixel by pixel, over seeded
 * coverage of every size, with values past the level range and strides wider
 * than the glyph; the second pass meets the same glyphs again (kept masks). */
TEST(HaloMask, SeparableEqualsPlainKernel) {
    static constexpr int kKernel[5] = {1, 2, 4, 2, 1};
    std::vector<uint8_t> data(kMaxGlyphSide * kMaxGlyphSide);
    uint8_t mask[kHaloSide * kHaloSide];
    for (int pass = 0; pass < 2; ++pass) {
        std::mt19937 rng(44);
        for (int n = 0; n < 300; ++n) {
            const int stride = 5 + static_cast<int>(rng() % 36);
            for (uint8_t& v : data) v = rng() % 3 ? 0 : static_cast<uint8_t>(rng() % 20);
            const GlyphCoverage g{data.data(), stride, static_cast<int>(rng() % (stride + 3)),
                                  static_cast<int>(rng() % 44), static_cast<int>(data.size()) / stride};
            const MaskSize size = make_halo_mask(g, mask);
            for (int my = 0; my < size.height; ++my)
                for (int mx = 0; mx < size.width; ++mx) {
                    int sum = 0;
                    for (int dy = 0; dy < 5; ++dy)
                        for (int dx = 0; dx < 5; ++dx) {
                            const int s = g.at(mx - 4 + dx, my - 4 + dy);
                            if (s >= 1 && s <= 16) sum += kKernel[dy] * kKernel[dx] * s;
                        }
                    ASSERT_EQ(mask[my * size.width + mx], std::min(sum >> 5, 16))
                        << n << " " << mx << "," << my;
                }
        }
    }
}

}  // namespace
