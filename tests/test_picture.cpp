// The picture class: the four type codes, the BMP reader's rows and offsets
// (files saved by the image module included), the PNG colour types with
// their alpha plane, the scaled draw, and inputs cut short or lying.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "core/pixel.h"
#include "image/picture.h"
#include "kesra.h"
#include "tests/test_helpers.h"
#include "tests/test_image_writers.h"

namespace {

using Bytes = std::vector<uint8_t>;
using kesra::narrow565;
using kesra::test::make_jpeg;
using kesra::test::make_png;

void put16(Bytes& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void put32(Bytes& b, size_t at, uint32_t v) {
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}

/* A 24-bit BMP whose pixel (x, y) is (r, g, b) = (x * 40, y * 50, 200 - x);
 * stored bottom row first unless top_down. */
Bytes make_bmp(int width, int height, bool top_down = false, uint32_t offset = 54) {
    const size_t row = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
    Bytes b(offset + row * height, 0xEE);  // padding bytes stay 0xEE: they must not be read as pixels
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, 14);  // the size field the image module writes; readers ignore it
    put32(b, 10, offset);
    put32(b, 14, 40);
    put32(b, 18, width);
    put32(b, 22, top_down ? -height : height);
    put16(b, 26, 1);
    put16(b, 28, 24);
    put32(b, 30, 0);
    for (int y = 0; y < height; ++y) {
        const size_t stored = top_down ? y : height - 1 - y;
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &b[offset + stored * row + x * 3];
            p[0] = static_cast<uint8_t>(200 - x);
            p[1] = static_cast<uint8_t>(y * 50);
            p[2] = static_cast<uint8_t>(x * 40);
        }
    }
    return b;
}

uint16_t bmp_colour(int x, int y) { return narrow565(x * 40, y * 50, 200 - x); }

/* The plane a width x height make_bmp() decodes to. */
std::vector<uint16_t> bmp_plane(int width, int height) {
    std::vector<uint16_t> out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) out.push_back(bmp_colour(x, y));
    return out;
}

/* A GIF89a with a 16-colour global table (entry i is (i * 16, 255 - i * 16,
 * i * 8)), a comment block, and one image whose decoded lines carry the
 * given indices. The LZW stream has 5-bit codes: a clear code before every
 * second literal keeps the dictionary from growing. */
Bytes make_gif(int width, int height, const Bytes& lines, bool interlaced) {
    Bytes g = {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0x83, 0, 0};
    put16(g, 6, width);
    put16(g, 8, height);
    for (int i = 0; i < 16; ++i) g.insert(g.end(), {uint8_t(i * 16), uint8_t(255 - i * 16), uint8_t(i * 8)});
    g.insert(g.end(), {0x21, 0xFE, 3, 'h', 'i', '!', 0});  // comment
    g.insert(g.end(), {0x2C, 0, 0, 0, 0, 0, 0, 0, 0, uint8_t(interlaced ? 0x40 : 0)});
    put16(g, g.size() - 5, width);
    put16(g, g.size() - 3, height);
    g.push_back(4);  // root code size
    std::vector<int> codes;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i % 2 == 0) codes.push_back(16);
        codes.push_back(lines[i]);
    }
    codes.push_back(17);
    Bytes packed;
    uint32_t bits = 0, held = 0;
    for (int code : codes) {
        bits |= uint32_t(code) << held;
        for (held += 5; held >= 8; held -= 8, bits >>= 8) packed.push_back(uint8_t(bits));
    }
    if (held) packed.push_back(uint8_t(bits));
    for (size_t at = 0; at < packed.size(); at += 255) {
        const size_t n = std::min<size_t>(255, packed.size() - at);
        g.push_back(uint8_t(n));
        g.insert(g.end(), packed.begin() + at, packed.begin() + at + n);
    }
    g.insert(g.end(), {0, 0x3B});
    return g;
}

uint16_t gif_colour(int i) { return narrow565(i * 16, 255 - i * 16, i * 8); }

std::string temp_file(const std::string& name, const Bytes& bytes) {
    const std::string path = ::testing::TempDir() + "pic_" + name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return path;
}

std::vector<uint16_t> plane(CCEPic& pic) {
    const CEPICSTORE* s = pic.m_pStore;
    return std::vector<uint16_t>(s->pPixels, s->pPixels + size_t(s->nWidth) * s->nHeight);
}

TEST(PictureTypes, OnlyTheFourTypesWithAPathOrDataLoad) {
    CCEPic pic;
    const Bytes bmp = make_bmp(2, 2);
    const std::string file = temp_file("types.bmp", bmp);
    EXPECT_EQ(pic.LoadPic(file.c_str(), 4), 0);
    EXPECT_EQ(pic.LoadPic(bmp.data(), bmp.size(), 4), 0);
    EXPECT_EQ(pic.LoadPic(static_cast<const char*>(nullptr), CEPIC_TYPE_BMP), 0);
    EXPECT_EQ(pic.LoadPic(nullptr, 10, CEPIC_TYPE_BMP), 0);
    EXPECT_EQ(pic.LoadPic((file + ".missing").c_str(), CEPIC_TYPE_BMP), 0);
    EXPECT_EQ(pic.GetPicWidth(), 0);
    ASSERT_EQ(pic.LoadPic(file.c_str(), CEPIC_TYPE_BMP), 1);
    EXPECT_EQ(pic.GetPicHeight(), 2);
    // A failed load leaves the picture empty, not holding the last one.
    EXPECT_EQ(pic.LoadPic(bmp.data(), 20, CEPIC_TYPE_BMP), 0);
    EXPECT_EQ(pic.GetPicWidth(), 0);
    EXPECT_EQ(pic.m_pStore->pPixels, nullptr);
}

TEST(PictureBmp, RowsArePaddedBottomUpAndReadAtTheirOffset) {
    // Width 3 gives 9 bytes of pixels and 3 of padding per row.
    for (const Bytes& bmp : {make_bmp(3, 4), make_bmp(3, 4, true), make_bmp(3, 4, false, 70)}) {
        CCEPic pic;
        ASSERT_EQ(pic.LoadPic(bmp.data(), bmp.size(), CEPIC_TYPE_BMP), 1);
        ASSERT_EQ(pic.GetPicWidth(), 3);
        ASSERT_EQ(pic.GetPicHeight(), 4);
        EXPECT_EQ(pic.m_pStore->nPitch, 6);
        EXPECT_EQ(pic.m_pStore->pAlpha, nullptr);
        EXPECT_EQ(plane(pic), bmp_plane(3, 4));
    }
}

TEST(PictureBmp, FilesSavedByTheImageModuleLoad) {
    const std::string source = temp_file("module_in.bmp", make_bmp(5, 3));
    const std::string saved = ::testing::TempDir() + "pic_module_out.bmp";
    const std::u16string wsource(source.begin(), source.end()), wsaved(saved.begin(), saved.end());
    QLConstructor();
    ASSERT_EQ(QLLoad(wsource.c_str(), QL_TYPE_BMP), 1);
    ASSERT_EQ(QLSave(wsaved.c_str(), QL_TYPE_BMP), 1);
    QLDestructor();
    CCEPic pic;
    ASSERT_EQ(pic.LoadPic(saved.c_str(), CEPIC_TYPE_BMP), 1);
    EXPECT_EQ(plane(pic), bmp_plane(5, 3));
}

TEST(PictureBmp, ShortLyingAndOtherDepthsFail) {
    CCEPic pic;
    const Bytes bmp = make_bmp(4, 4);
    EXPECT_EQ(pic.LoadPic(bmp.data(), bmp.size() - 1, CEPIC_TYPE_BMP), 0);  // last row cut by a byte
    EXPECT_EQ(pic.LoadPic(bmp.data(), 53, CEPIC_TYPE_BMP), 0);
    // Offset past the end, 30000 x 30000, 8 bits, compressed, negative width.
    const std::vector<std::vector<std::pair<size_t, uint32_t>>> lies = {{{10, 0x7FFFFFFF}},
                                                                        {{18, 30000}, {22, 30000}},
                                                                        {{28, 8}},
                                                                        {{30, 1}},
                                                                        {{18, static_cast<uint32_t>(-4)}}};
    for (const auto& fields : lies) {
        Bytes bad = bmp;
        for (const auto& [at, v] : fields) at == 28 ? put16(bad, at, v) : put32(bad, at, v);
        EXPECT_EQ(pic.LoadPic(bad.data(), bad.size(), CEPIC_TYPE_BMP), 0) << fields[0].first;
    }
    EXPECT_EQ(pic.GetPicWidth(), 0);
}

TEST(PicturePng, ColourTypesGiveColourAndAlpha) {
    CCEPic pic;
    // 2 x 1 RGBA: an opaque red-ish pixel and a half-transparent one.
    const Bytes rgba = make_png(2, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8, {200, 100, 50, 255, 10, 20, 30, 128});
    ASSERT_EQ(pic.LoadPic(rgba.data(), rgba.size(), CEPIC_TYPE_PNG), 1);
    ASSERT_NE(pic.m_pStore->pAlpha, nullptr);
    EXPECT_EQ(plane(pic), (std::vector<uint16_t>{narrow565(200, 100, 50), narrow565(10, 20, 30)}));
    EXPECT_EQ(pic.m_pStore->pAlpha[0], 255);
    EXPECT_EQ(pic.m_pStore->pAlpha[1], 128);

    const Bytes rgb16 = make_png(1, 1, PNG_COLOR_TYPE_RGB, 16, {0xC8, 0x01, 0x64, 0x02, 0x32, 0x03});
    ASSERT_EQ(pic.LoadPic(rgb16.data(), rgb16.size(), CEPIC_TYPE_PNG), 1);
    EXPECT_EQ(pic.m_pStore->pAlpha, nullptr);
    EXPECT_EQ(plane(pic)[0], narrow565(200, 100, 50));

    const Bytes grey_alpha = make_png(1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {0x90, 7});
    ASSERT_EQ(pic.LoadPic(grey_alpha.data(), grey_alpha.size(), CEPIC_TYPE_PNG), 1);
    EXPECT_EQ(plane(pic)[0], narrow565(0x90, 0x90, 0x90));
    EXPECT_EQ(pic.m_pStore->pAlpha[0], 7);

    const Bytes grey2 = make_png(4, 1, PNG_COLOR_TYPE_GRAY, 2, {0x1B});  // levels 0, 1, 2, 3
    ASSERT_EQ(pic.LoadPic(grey2.data(), grey2.size(), CEPIC_TYPE_PNG), 1);
    EXPECT_EQ(plane(pic),
              (std::vector<uint16_t>{0, narrow565(85, 85, 85), narrow565(170, 170, 170), 0xFFFF}));

    const Bytes palette = make_png(1, 1, PNG_COLOR_TYPE_PALETTE, 8, {0}, {{1, 2, 3}});
    EXPECT_EQ(pic.LoadPic(palette.data(), palette.size(), CEPIC_TYPE_PNG), 0);
    EXPECT_EQ(pic.GetPicWidth(), 0);
}

TEST(PicturePng, PathMustEndInPngAndCutDataFails) {
    const Bytes rgb = make_png(3, 2, PNG_COLOR_TYPE_RGB, 8, Bytes(18, 0x40));
    const std::string upper = temp_file("upper.PNG", rgb);
    const std::string wrong = temp_file("wrong.bmp", rgb);
    CCEPic pic;
    EXPECT_EQ(pic.LoadPic(upper.c_str(), CEPIC_TYPE_PNG), 1);
    EXPECT_EQ(pic.GetPicWidth(), 3);
    EXPECT_EQ(pic.LoadPic(wrong.c_str(), CEPIC_TYPE_PNG), 0);
    EXPECT_EQ(pic.GetPicWidth(), 0);
    for (size_t cut : {size_t{7}, size_t{30}, rgb.size() - 13}) {
        EXPECT_EQ(pic.LoadPic(rgb.data(), cut, CEPIC_TYPE_PNG), 0) << cut;
    }
    Bytes bad_signature = rgb;
    bad_signature[1] ^= 1;
    EXPECT_EQ(pic.LoadPic(bad_signature.data(), bad_signature.size(), CEPIC_TYPE_PNG), 0);
}

TEST(PictureDraw, ScalesByTheSizeAndBlendsByAlpha) {
    kesra::test::Screen screen(40, 20);
    screen.fill(0x0000);
    CCEPic pic;
    const Bytes bmp = make_bmp(3, 2);
    ASSERT_EQ(pic.LoadPic(bmp.data(), bmp.size(), CEPIC_TYPE_BMP), 1);
    // w = 2 x width doubles every column; h = 0 keeps the rows.
    pic.DrawPic(screen.dc.get(), 1, 1, 6, 0, 0, 0);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 6; ++x) EXPECT_EQ(screen.at(1 + x, 1 + y), bmp_colour(x / 2, y)) << x << "," << y;
    EXPECT_EQ(screen.at(7, 1), 0);
    EXPECT_EQ(screen.at(1, 3), 0);

    // A window that starts inside the picture samples (sx + i) * fx and
    // stops where the samples leave the plane.
    screen.fill(0x0000);
    pic.DrawPic(screen.dc.get(), 0, 0, 3, 2, 1, 1);
    EXPECT_EQ(screen.at(0, 0), bmp_colour(1, 1));
    EXPECT_EQ(screen.at(1, 0), bmp_colour(2, 1));
    EXPECT_EQ(screen.at(2, 0), 0);
    EXPECT_EQ(screen.at(0, 1), 0);

    // Nothing is drawn from outside the screen or the picture.
    screen.fill(0x1234);
    pic.DrawPic(screen.dc.get(), 40, 0, 0, 0, 0, 0);
    pic.DrawPic(screen.dc.get(), 0, 0, 0, 0, 3, 0);
    pic.DrawPic(screen.dc.get(), 0, -1, 0, 0, 0, 0);
    pic.DrawPic(nullptr, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(screen.pixels(), std::vector<uint16_t>(40 * 20, 0x1234));
    // The right edge of the screen cuts a picture drawn across it.
    pic.DrawPic(screen.dc.get(), 38, 19, 0, 0, 0, 0);
    EXPECT_EQ(screen.at(38, 19), bmp_colour(0, 0));
    EXPECT_EQ(screen.at(39, 19), bmp_colour(1, 0));

    // Alpha: 0 keeps the screen, 255 copies, 128 mixes at level 16.
    const Bytes rgba = make_png(3, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8,
                                {255, 255, 255, 0, 255, 255, 255, 255, 255, 255, 255, 128});
    ASSERT_EQ(pic.LoadPic(rgba.data(), rgba.size(), CEPIC_TYPE_PNG), 1);
    screen.fill(0x0000);
    pic.DrawPic(screen.dc.get(), 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(screen.at(0, 0), 0x0000);
    EXPECT_EQ(screen.at(1, 0), 0xFFFF);
    EXPECT_EQ(screen.at(2, 0), 0x7BEF);
}

TEST(PictureGif, IndexRowsMapThroughThePaletteWithoutSkew) {
    // Width 3: index rows are 4 bytes apart in the decoder's output.
    const Bytes plain = make_gif(3, 2, {1, 2, 3, 4, 5, 6}, false);
    CCEPic pic;
    ASSERT_EQ(pic.LoadPic(plain.data(), plain.size(), CEPIC_TYPE_GIF), 1);
    ASSERT_EQ(pic.GetPicWidth(), 3);
    EXPECT_EQ(pic.m_pStore->pAlpha, nullptr);
    EXPECT_EQ(plane(pic), (std::vector<uint16_t>{gif_colour(1), gif_colour(2), gif_colour(3), gif_colour(4),
                                                 gif_colour(5), gif_colour(6)}));
    // Interlaced: the decoded lines are rows 0, 8, 4, 2, 6, 1, 3, 5, 7, 9.
    const Bytes interlaced = make_gif(1, 10, {0, 8, 4, 2, 6, 1, 3, 5, 7, 9}, true);
    const std::string file = temp_file("interlaced.gif", interlaced);
    ASSERT_EQ(pic.LoadPic(file.c_str(), CEPIC_TYPE_GIF), 1);
    kesra::test::Screen screen(8, 12);
    screen.fill(0);
    pic.DrawPic(screen.dc.get(), 2, 1, 0, 0, 0, 0);
    for (int y = 0; y < 10; ++y) EXPECT_EQ(screen.at(2, 1 + y), gif_colour(y)) << y;
    EXPECT_EQ(screen.at(2, 11), 0);

    for (size_t cut : {size_t{5}, size_t{13}, size_t{60}}) {
        EXPECT_EQ(pic.LoadPic(plain.data(), cut, CEPIC_TYPE_GIF), 0) << cut;
    }
    Bytes wrong = plain;
    wrong[4] = '8';
    EXPECT_EQ(pic.LoadPic(wrong.data(), wrong.size(), CEPIC_TYPE_GIF), 0);
    EXPECT_EQ(pic.GetPicWidth(), 0);
}

TEST(PictureJpeg, PlanesAreReadAtTheirWidth) {
    // 17 x 9: blocks of black, white, black across; the planes are 24 wide.
    auto bars = [](int x, int, int) -> uint8_t { return x >= 8 && x < 16 ? 255 : 0; };
    const Bytes colour = make_jpeg(17, 9, 3, bars);
    CCEPic pic;
    ASSERT_EQ(pic.LoadPic(colour.data(), colour.size(), CEPIC_TYPE_JPEG), 1);
    ASSERT_EQ(pic.GetPicWidth(), 17);
    ASSERT_EQ(pic.GetPicHeight(), 9);
    std::vector<uint16_t> want;
    for (int i = 0; i < 17 * 9; ++i) want.push_back(bars(i % 17, 0, 0) ? 0xFFFF : 0x0000);
    EXPECT_EQ(plane(pic), want);

    const Bytes grey = make_jpeg(8, 8, 1, [](int, int, int) -> uint8_t { return 200; });
    const std::string file = temp_file("grey.jpg", grey);
    ASSERT_EQ(pic.LoadPic(file.c_str(), CEPIC_TYPE_JPEG), 1);
    EXPECT_EQ(plane(pic)[63], narrow565(200, 200, 200));

    EXPECT_EQ(pic.LoadPic(colour.data(), colour.size() / 2, CEPIC_TYPE_JPEG), 0);
    EXPECT_EQ(pic.LoadPic(colour.data() + 2, colour.size() - 2, CEPIC_TYPE_JPEG), 0);
    EXPECT_EQ(pic.GetPicWidth(), 0);
}

}  // namespace
