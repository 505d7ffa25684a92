/* The built-in engine's fast paths against the plain ones: cells from the
 * cache of finished cells are the bytes the rasteriser makes, over many
 * seeded glyphs, sizes, level counts and flags of a font kesra-font builds
 * from DejaVu Sans and wqy-microhei; a cached cell still feeds the
 * small-glyph store; the separable halo equals the 5 x 5 kernel. */
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

#include "tests/test_helpers.h"
#include "text/font_dispatch.h"
#include "text/outlined_text.h"
#include "text/stcf_cache.h"
#include "text/stcf_engine.h"
#include "text/stcf_store.h"
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

/* Seeded labels with edge rings over a seeded screen, some hanging off its
 * edges or cut by their rectangle: DrawTextW paints what the plain loop does. */
TEST_F(FastPaths, DrawTextPaintsAsThePlainLoop) {
    std::u16string wide(path_->begin(), path_->end());
    ReleaseFont();
    ASSERT_EQ(LoadFont(wide.data()), 1);
    font_state().UseBuiltinEngine = 1;
    CCEFont font(19, 17, 1 | 4 | 8, 400);
    std::mt19937 rng(1207);
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
    EXPECT_GT(std::count(painted.begin(), painted.end(), uint16_t{0xFFE0}), 300);  // the rings were drawn
    for (Screen* s : {&fast, &plain}) s->dc->SetToDefaultFont();
    ReleaseFont();
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
