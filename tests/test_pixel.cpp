/* Pixel operations: screen edges, the packed blend (worked values and a
 * checksum of seeded blends), block copies. */
#include <cstring>
#include <random>
#include <vector>

#include "core/pixel.h"
#include "surface/shared_state.h"
#include "tests/test_helpers.h"

using kesra::test::Screen;

/* Two million seeded blends against the reviewed code's results; renew with
 *   KESRA_PRINT_GOLDEN=1 build/tests/test_pixel --gtest_filter=PackedBlend.SeededBlendsKeepTheirChecksum */
TEST(PackedBlend, SeededBlendsKeepTheirChecksum) {
    std::mt19937 rng(20261206);
    kesra::test::Checksum sum;
    for (int i = 0; i < 2000000; ++i) {
        const uint16_t d = static_cast<uint16_t>(rng()), s = static_cast<uint16_t>(rng());
        const uint16_t p = kesra::blend565(d, s, static_cast<int>(rng() % 33));
        sum.add(&p, sizeof p);
    }
    kesra::test::expect_golden(sum.value, 0x90C9687D9F41BB3Eull);
}

TEST(PackedBlend, HalvesAndDimmingTruncateEachChannel) {
    EXPECT_EQ(kesra::blend565(0x0000, 0xFFFF, 16), 0x7BEF);
    EXPECT_EQ(kesra::blend565(0xFFFF, 0x0000, 16), 0x7BEF);
    EXPECT_EQ(kesra::dim565(0xFFFF, 16), 0x7BEF);
    EXPECT_EQ(kesra::dim565(0xFFFF, 31), 0x0020);  // 31 >> 5 is 0; only green's 63 >> 5 is left
    EXPECT_EQ(kesra::dim565(0x0841, 16), 0x0020);  // 1>>1 = 0 for red and blue, 2>>1 = 1 for green
    for (uint32_t level = 0; level < 32; ++level)  // every pixel, every level: channel * (32 - level) / 32
        for (uint32_t p = 0; p < 65536; ++p) {
            const uint32_t k = 32 - level, r = (p >> 11) * k / 32, g = ((p >> 5) & 63) * k / 32,
                           b = (p & 31) * k / 32;
            ASSERT_EQ(kesra::dim565(uint16_t(p), level), (r << 11) | (g << 5) | b) << p << " " << level;
        }
}

TEST(ColorConversion, ColorRefRoundTrip) {
    EXPECT_EQ(kesra::Color16ToColorRef(0xF800), 0x0000F8u);
    EXPECT_EQ(kesra::Color16ToColorRef(0x07E0), 0x00FC00u);
    EXPECT_EQ(kesra::Color16ToColorRef(0x001F), 0xF80000u);
    for (uint32_t c = 0; c < 65536; ++c)
        ASSERT_EQ(kesra::ColorRefToColor16(kesra::Color16ToColorRef(uint16_t(c))), c);
}

TEST(DrawPixel, TwoByTwoBlockStopsAtScreenEdges) {
    Screen screen(16, 8);
    screen.fill(0);
    screen.dc->DrawPixel(15, 3, 0x1234, 2);  // last column
    EXPECT_EQ(screen.at(15, 3), 0x1234);
    EXPECT_EQ(screen.at(15, 4), 0x1234);
    EXPECT_EQ(screen.at(0, 4), 0);          // no wrap into the next row
    screen.dc->DrawPixel(4, 7, 0x2222, 2);  // last row
    EXPECT_EQ(screen.at(4, 7), 0x2222);
    EXPECT_EQ(screen.at(5, 7), 0x2222);
    screen.dc->DrawPixel(15, 7, 0x3333, 2);  // corner
    EXPECT_EQ(screen.at(15, 7), 0x3333);
    EXPECT_EQ(screen.at(14, 7), 0);
    screen.dc->DrawPixel(2, 2, 0x4444, 3);  // any size but 2 is one pixel
    EXPECT_EQ(screen.at(3, 2), 0);
    /* The address form stores where it is told, if (x, y) is on the screen. */
    screen.dc->DrawPixel(reinterpret_cast<unsigned char*>(&screen.at(9, 1)), 9, 1, 0x5555);
    screen.dc->DrawPixel(reinterpret_cast<unsigned char*>(&screen.at(9, 2)), 16, 2, 0x6666);
    EXPECT_EQ(screen.at(9, 1), 0x5555);
    EXPECT_EQ(screen.at(9, 2), 0);
    CCEDraw unbuffered;  // the shared geometry exists, this context has no buffer: nothing happens
    unbuffered.DrawPixel(1, 1, 0x1111, 2);
    unbuffered.DrawAlphaPixel(1, 1, 0x1111, 16);
    unbuffered.CopyVideoBuffer(reinterpret_cast<unsigned char*>(&screen.at(0, 0)));
    EXPECT_EQ(unbuffered.Clear(0x1111), 1);
}

TEST(DrawPixel, OutsideTheScreenChangesNothing) {
    Screen screen(16, 8);
    screen.fill(0x5555);
    for (LONG x : {-1, 16, -100000, 0x7FFFFFFF})
        for (LONG y : {-1, 8, 3}) {
            if (y == 3 && (x == 16 || x == -1)) continue;
            screen.dc->DrawPixel(x, y, 0, 2);
            screen.dc->DrawAlphaPixel(x, y, 0, 32);
            screen.dc->FlipPixel(x, y, 0);
        }
    screen.dc->DrawAlphaPixel(-1, 3, 0, 32);
    screen.dc->DrawAlphaPixel(3, 8, 0, 32);
    EXPECT_EQ(screen.pixels(), std::vector<uint16_t>(16 * 8, 0x5555));
}

TEST(DrawAlphaPixel, BlendsIntoTheInstanceBuffer) {
    Screen screen(8, 8);
    screen.fill(0x0000);
    screen.dc->DrawAlphaPixel(1, 1, 0xFFFF, 16);
    screen.dc->DrawAlphaPixel(2, 1, 0xFFFF, 0);
    screen.dc->DrawAlphaPixel(3, 1, 0xABCD, 32);
    EXPECT_EQ(screen.at(1, 1), 0x7BEF);
    EXPECT_EQ(screen.at(2, 1), 0x0000);
    EXPECT_EQ(screen.at(3, 1), 0xABCD);
    const DWORD format = kesra::m_DisplayProps.dwFormat;
    kesra::m_DisplayProps.dwFormat = format & ~DWORD{0x80};  // not RGB565: no blending
    screen.dc->DrawAlphaPixel(4, 1, 0xFFFF, 32);
    kesra::m_DisplayProps.dwFormat = format;
    EXPECT_EQ(screen.at(4, 1), 0x0000);
}

TEST(Clear, FillsEveryPixelAndLeavesTheBackBuffer) {
    Screen screen(13, 5);  // an odd width: rows are still addressed width * 2 apart
    std::memset(CCEGraphics::m_pBackBuffer, 0, CCEGraphics::m_lMemorySize);
    EXPECT_EQ(screen.dc->Clear(0x12345678), 1);
    screen.dc->FlipPixel(12, 4, 0xBEEF);  // the shared back buffer only
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 13; ++x) {
            ASSERT_EQ(screen.at(x, y), 0x5678);
            ASSERT_EQ(screen.back(x, y), x == 12 && y == 4 ? 0xBEEF : 0);
        }
}

TEST(GetBitmapPointColor, BlueGreenRedBytes) {
    Screen screen(4, 4);
    unsigned char white[3] = {0xFF, 0xFF, 0xFF}, red[3] = {0x00, 0x00, 0xFF}, mix[3] = {0x08, 0x84, 0x10};
    EXPECT_EQ(screen.dc->GetBitmapPointColor(white), 0xFFFF);
    EXPECT_EQ(screen.dc->GetBitmapPointColor(red), 0xF800);
    EXPECT_EQ(screen.dc->GetBitmapPointColor(mix), (2 << 11) | (0x21 << 5) | 1);
}

TEST(BlockCopies, BitBltBetweenContextsIsCutToTheScreen) {
    Screen screen(16, 8);
    CCEDraw other;
    ASSERT_EQ(other.Create(16, 8, 0, 0, screen.window, 0), 1);
    uint16_t* src = reinterpret_cast<uint16_t*>(other.GetBuffer());
    for (int i = 0; i < 16 * 8; ++i) src[i] = static_cast<uint16_t>(i);
    screen.fill(0xFFFF);
    screen.dc->BitBlt(14, 6, 4, 4, &other, 1, 2);  // only 2 x 2 fit
    EXPECT_EQ(screen.at(14, 6), 2 * 16 + 1);
    EXPECT_EQ(screen.at(15, 7), 3 * 16 + 2);
    EXPECT_EQ(screen.at(13, 6), 0xFFFF);
    screen.dc->BitBlt(-1, 0, 3, 1, &other, 5, 0);  // the left column falls off the screen
    EXPECT_EQ(screen.at(0, 0), 6);
    EXPECT_EQ(screen.at(1, 0), 7);
    screen.dc->BitBlt(0, 0, 0, 5, &other, 0, 0);  // empty block
    EXPECT_EQ(screen.at(2, 0), 0xFFFF);
    other.Release();

    /* Within one buffer an overlapping block is copied as it was, not smeared. */
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) screen.at(x, y) = static_cast<uint16_t>(y * 16 + x);
    screen.dc->BitBlt(2, 1, 4, 3, screen.dc.get(), 1, 0);  // one down, one right
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) ASSERT_EQ(screen.at(2 + x, 1 + y), y * 16 + 1 + x) << x << "," << y;
    screen.dc->BitBlt(0, 5, 4, 2, screen.dc.get(), 1, 6);  // one up, one left
    EXPECT_EQ(screen.at(0, 5), 6 * 16 + 1);
    EXPECT_EQ(screen.at(3, 6), 7 * 16 + 4);
}

TEST(BlockCopies, CopyPixelsStopsAtTheEndOfTheBuffer) {
    Screen screen(8, 4);
    screen.fill(0);
    std::vector<uint16_t> source(64, 0xAAAA);
    screen.dc->CopyPixels(6, 3, reinterpret_cast<unsigned char*>(source.data()), 128);
    EXPECT_EQ(screen.at(6, 3), 0xAAAA);
    EXPECT_EQ(screen.at(7, 3), 0xAAAA);
    EXPECT_EQ(screen.at(5, 3), 0);
    std::vector<uint16_t> frame(32);
    for (int i = 0; i < 32; ++i) frame[i] = static_cast<uint16_t>(i * 3);
    screen.dc->CopyVideoBuffer(reinterpret_cast<unsigned char*>(frame.data()));
    EXPECT_EQ(screen.at(7, 3), 31 * 3);
    screen.dc->CopyVideoBuffer(nullptr);
    EXPECT_EQ(screen.at(7, 3), 31 * 3);
}

TEST(Fill565, MatchesThePlainLoopAtEveryAlignmentAndStopsAtTheEnd) {
    alignas(16) uint16_t buffer[160];
    alignas(16) uint16_t expected[160];
    for (int start = 0; start < 16; ++start)
        for (int count = 0; count <= 120; ++count) {
            for (int i = 0; i < 160; ++i) buffer[i] = expected[i] = static_cast<uint16_t>(i * 7);
            for (int i = 0; i < count; ++i) expected[start + i] = 0xA5C3;
            kesra::fill565(buffer + start, count, 0xA5C3);
            ASSERT_EQ(std::memcmp(buffer, expected, sizeof buffer), 0) << start << " " << count;
        }
}
