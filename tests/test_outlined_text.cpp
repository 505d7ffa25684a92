/* Outlined text: the halo mask and gradient tables worked by hand, and
 * DrawTextWithDistinct on a built-in font made in the test (single-pixel and
 * bar glyphs) for the shadow, split colours, sheen and clipping; strings that
 * carry an inline composite. */
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/pixel.h"
#include "tests/stcf_font_builder.h"
#include "tests/test_helpers.h"
#include "text/outlined_text.h"

using namespace kesra;
using kesra::test::FontBuilder;
using kesra::test::OutlineWriter;
using kesra::test::Screen;

namespace {

/* A rectangle of the 128-unit em, x0..x1 by y0..y1 (y up from the baseline). */
OutlineWriter em_rect(int x0, int y0, int x1, int y1) {
    return OutlineWriter().contour(x0, y0).op(2, {x1}).op(1, {y1}).op(2, {x0});
}

/* At 32 x 32 pixels one pixel is 4 x 4 em units and em y 3 ends on the bottom
 * of pixel row 24. 'A' is one full pixel at (2, 24) and 'B' a bar of columns
 * 0..9 over rows 22..24, both advancing 16; 'C' is row 24 across the 32
 * columns (the last one 3/4 covered), advancing 32. */
constexpr int kCell = 32, kRow = 24;

std::vector<uint8_t> test_font() {
    FontBuilder b;
    b.widths.resize(1);
    b.widths[0].fill(64);
    b.set_latin(1, 'A' - 32, em_rect(8, 3, 12, 7));
    b.set_latin(1, 'B' - 32, em_rect(0, 3, 40, 15));
    b.set_latin(1, 'C' - 32, em_rect(0, 3, 127, 7));
    b.widths[0]['C' - 32] = 128;
    b.set_single(0, em_rect(8, 3, 12, 7));  // the inline composite's outline
    b.utf16.assign(65536, 0xFFFF);
    for (char16_t c : {u'A', u'B', u'C'}) b.utf16[c] = static_cast<uint16_t>(c - 29);
    return b.build();
}

constexpr uint16_t kRed = 0xF800, kGreen = 0x07E0, kBlue = 0x001F, kWhite = 0xFFFF;

class OutlinedText : public ::testing::Test {
   protected:
    void SetUp() override {
        const std::vector<uint8_t> image = test_font();
        // ctest runs the cases side by side: each writes its own file.
        path_ = ::testing::TempDir() + "outlined_text_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".stcf";
        FILE* f = std::fopen(path_.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(std::fwrite(image.data(), 1, image.size(), f), image.size());
        std::fclose(f);
        std::u16string wide(path_.begin(), path_.end());
        ReleaseFont();
        ASSERT_EQ(LoadFont(wide.data()), 1);
        screen.dc->SetGDIObject(&font);
        screen.dc->SetTextColor(kWhite);
        screen.fill(0);
    }
    void TearDown() override {
        ReleaseFont();
        std::remove(path_.c_str());
    }

    /* The string drawn at (kLeft, kTop) in a rectangle reaching right and bottom. */
    int draw(const std::u16string& text, tagDISTINCT_STRUCT p, LONG right = 199, LONG bottom = 79) {
        return screen.dc->DrawTextWithDistinct(text.data(), static_cast<int>(text.size()),
                                               RECT{kLeft, kTop, right, bottom}, 0, p);
    }
    int painted() const {
        int n = 0;
        for (int y = 0; y < screen.h; ++y)
            for (int x = 0; x < screen.w; ++x) n += screen.at(x, y) != 0;
        return n;
    }

    static constexpr LONG kLeft = 20, kTop = 10;
    Screen screen{200, 80};
    CCEFont font{kCell, kCell, 0, 400};
    std::string path_;
};

tagDISTINCT_STRUCT plain_colors(LONG mode, uint16_t ink, uint16_t back) {
    return tagDISTINCT_STRUCT{
        mode, static_cast<DWORD>(ink) | static_cast<DWORD>(ink) << 16, back, 0, 0, 0, 0, 0, 0, 0};
}

}  // namespace

TEST(HaloMask, SinglePixelSpreadsTheKernelHalved) {
    uint8_t coverage[10 * 10] = {};
    coverage[4 * 10 + 3] = 16;
    coverage[0] = 17;  // a ring marker adds nothing
    uint8_t(&mask)[kHaloSide * kHaloSide] = outlined_state().HaloMaskBuffer;
    std::fill(std::begin(mask), std::end(mask), 0xAA);
    const MaskSize size = make_halo_mask(GlyphCoverage{coverage, 10, 8, 10, 10}, mask);
    ASSERT_EQ(size.width, 12);
    ASSERT_EQ(size.height, 14);
    // 16 x weight >> 5: the centre 8, one step across 4, the corners 0.
    const int expected[5][5] = {
        {0, 1, 2, 1, 0}, {1, 2, 4, 2, 1}, {2, 4, 8, 4, 2}, {1, 2, 4, 2, 1}, {0, 1, 2, 1, 0}};
    for (int my = 0; my < size.height; ++my)
        for (int mx = 0; mx < size.width; ++mx) {
            const int dx = mx - 5, dy = my - 6;  // glyph (3, 4) lies under mask (5, 6)
            const bool inside = dx >= -2 && dx <= 2 && dy >= -2 && dy <= 2;
            ASSERT_EQ(mask[my * size.width + mx], inside ? expected[dy + 2][dx + 2] : 0) << mx << "," << my;
        }
    for (int i = size.width * size.height; i < kHaloSide * kHaloSide; ++i) ASSERT_EQ(mask[i], 0);
    // A solid glyph saturates at 16: 100 x 16 >> 5 = 50.
    uint8_t solid[40 * 40];
    std::fill(std::begin(solid), std::end(solid), 16);
    const MaskSize big = make_halo_mask(GlyphCoverage{solid, 40, 40, 100, 40}, mask);
    EXPECT_EQ(big.height, kHaloSide);  // taller glyphs lose the rows past the buffer
    EXPECT_EQ(mask[20 * big.width + 20], 16);
}

TEST(GradientTable, RowsTruncateTowardZeroAndRebuildOnlyOnChange) {
    GradientTable t;
    ASSERT_TRUE(build_gradient(t, kRed, kBlue, 10));
    // White to black in 6 rows: red 248 + i x -248 / 5 gives 248, 199 (not
    // 198), 149, 100, 50, 0; green 252 steps by -50.4 the same way.
    ASSERT_TRUE(build_gradient(t, kWhite, 0x0000, 6));
    const std::vector<uint16_t> rows(t.rows.begin(), t.rows.begin() + 10);
    EXPECT_EQ(rows, (std::vector<uint16_t>{0xFFFF, 0xC658, 0x94D2, 0x632C, 0x3186, 0x0000, 0, 0, 0, 0}));
    EXPECT_EQ(t.at(39), 0);
    EXPECT_EQ(t.at(100), t.at(39));
    // Red to blue in 5 rows: 248 / 0 stepping by 62.
    ASSERT_TRUE(build_gradient(t, kRed, kBlue, 5));
    EXPECT_EQ(std::vector<uint16_t>(t.rows.begin(), t.rows.begin() + 5),
              (std::vector<uint16_t>{0xF800, 0xB807, 0x780F, 0x3817, 0x001F}));
    // Fewer than 3 rows change nothing, and the same arguments rebuild nothing.
    t.rows[1] = 0x1234;
    EXPECT_FALSE(build_gradient(t, kGreen, kWhite, 2));
    EXPECT_TRUE(build_gradient(t, kRed, kBlue, 5));
    EXPECT_EQ(t.rows[1], 0x1234);
    EXPECT_EQ(t.count, 5);
}

TEST_F(OutlinedText, HaloAndShadowOfASinglePixel) {
    const int gx = kLeft + 2, gy = kTop + kRow;
    ASSERT_EQ(draw(u"A", plain_colors(0, kRed, kWhite)), 1);
    EXPECT_EQ(screen.at(gx, gy), kRed);            // the halo's 8, then the glyph at 16
    EXPECT_EQ(screen.at(gx + 1, gy), 0x39E7);      // white at 4 of 16
    EXPECT_EQ(screen.at(gx, gy - 2), 0x18E3);      // at 2
    EXPECT_EQ(screen.at(gx - 1, gy + 2), 0x0861);  // at 1
    EXPECT_EQ(screen.at(gx + 2, gy + 2), 0);       // the corner's 0
    EXPECT_EQ(painted(), 21);                      // the 5 x 5 square less its 4 corners
    screen.fill(0);
    ASSERT_EQ(draw(u"A", plain_colors(1, kRed, kWhite)), 1);
    EXPECT_EQ(screen.at(gx, gy), kRed);
    EXPECT_EQ(screen.at(gx + 1, gy + 2), 0x7BEF);  // the shadow: white at 16 / 2
    EXPECT_EQ(painted(), 2);
}

TEST_F(OutlinedText, SplitColumnAndSheen) {
    tagDISTINCT_STRUCT p = plain_colors(0, kRed, 0);
    p.dwBackColor = 0;  // a black halo on black leaves no trace
    p.bSplit = 1;
    p.nSplitX = kLeft + 4;
    p.dwLeftColors = kGreen | kGreen << 16;
    p.bHighlight = 1;
    p.nHighlightX = kLeft + 8;  // stripes to its left: d = 8 - column
    ASSERT_EQ(draw(u"B", p), 1);
    const uint16_t sheen12 = blend565_16(kRed, kWhite, 12);
    for (int row = kRow - 2; row <= kRow; ++row) {
        const int y = kTop + row;
        EXPECT_EQ(screen.at(kLeft + 1, y), kGreen);   // left of the split: no sheen at d 7
        EXPECT_EQ(screen.at(kLeft + 3, y), kGreen);   // d 5 would be 12
        EXPECT_EQ(screen.at(kLeft + 4, y), sheen12);  // the split column is the main part, d 4
        EXPECT_EQ(screen.at(kLeft + 7, y), sheen12);  // d 1
        EXPECT_EQ(screen.at(kLeft + 8, y), kRed);     // the origin
        EXPECT_EQ(screen.at(kLeft + 9, y), kRed);
    }
    // Stripes to the right along a 32-pixel row, d = 1 + column.
    screen.fill(0);
    p = plain_colors(0, kBlue, 0);
    p.bHighlight = 1;
    p.nHighlightDir = 1;
    p.nHighlightX = kLeft - 1;
    ASSERT_EQ(draw(u"C", p), 1);
    const int y = kTop + kRow;
    const std::pair<int, int> levels[] = {{1, 12}, {5, 12}, {6, 0},  {8, 10}, {14, 10}, {15, 0},
                                          {17, 8}, {22, 0}, {23, 6}, {29, 4}, {30, 4},  {31, 0}};
    for (auto [d, level] : levels)
        EXPECT_EQ(screen.at(kLeft + d - 1, y), blend565_16(kBlue, kWhite, level)) << d;
}

TEST_F(OutlinedText, ClippedAtTheRectangleEdgesAndRefusals) {
    // The glyph pixel lies on the rectangle's right and bottom edges: its halo
    // stops there, edges included.
    const int gx = kLeft + 2, gy = kTop + kRow;
    ASSERT_EQ(draw(u"A", plain_colors(0, kRed, kWhite), gx, gy), 1);
    EXPECT_EQ(screen.at(gx, gy), kRed);
    EXPECT_EQ(screen.at(gx - 1, gy), 0x39E7);
    EXPECT_EQ(screen.at(gx + 1, gy), 0);
    EXPECT_EQ(screen.at(gx, gy + 1), 0);
    EXPECT_EQ(painted(), 8);  // the 3 x 3 quarter of the halo, less its zero corner
    screen.fill(0);
    // Mode -1 is DrawTextW; other modes draw nothing; refusals return 0.
    ASSERT_EQ(draw(u"B", plain_colors(-1, kRed, kWhite)), 1);
    EXPECT_EQ(painted(), 30);
    screen.fill(0);
    EXPECT_EQ(draw(u"B", plain_colors(5, kRed, kWhite)), 1);
    EXPECT_EQ(draw(u"B", plain_colors(0, kRed, kWhite), 0), 0);
    EXPECT_EQ(screen.dc->DrawTextWithDistinct(nullptr, 1, RECT{0, 0, 10, 10}, 0, plain_colors(0, 0, 0)), 0);
    EXPECT_EQ(painted(), 0);
}

TEST_F(OutlinedText, InlineCompositeInAString) {
    // 'A', then an inline composite: width byte 64, flags 0x40 (one component,
    // no scales), kind 1 with outline 0, offset (40, 0), a pad byte; then 'A'.
    // Its data holds a zero unit, so the count is given.
    const char16_t text[] = {u'A', 0xFFFF, 0, 0x4040, 0x0001, 0x2800, 0x0000, u'A'};
    const int count = 8;
    EXPECT_EQ(MeasureText(text, count, font), 48);
    EXPECT_EQ(screen.dc->DrawTextW(text, count, RECT{kLeft, kTop, 199, 79}, 0), 1);
    const int y = kTop + kRow;
    EXPECT_EQ(screen.at(kLeft + 2, y), 0xFFFF);
    EXPECT_EQ(screen.at(kLeft + 16 + 12, y), 0xFFFF);  // 40 em units right of 'A''s pixel
    EXPECT_EQ(screen.at(kLeft + 32 + 2, y), 0xFFFF);   // its data is not drawn as characters
    EXPECT_EQ(painted(), 3);
    // Cut short inside its data, the composite takes up the rest and draws nothing.
    screen.fill(0);
    EXPECT_EQ(screen.dc->DrawTextW(text, 5, RECT{kLeft, kTop, 199, 79}, 0), 1);
    EXPECT_EQ(painted(), 1);
}
