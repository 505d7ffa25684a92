/* test_limits.cpp - the library's static limits, each tried at its value and
 * one past it, and the index of where every limit is pinned.
 *
 * Pinned in the suites of their areas:
 *   2000 polygon edges (1999, 2000, 2001, 6000; a comb of 2400, solid and tiled)
 *       ScanFill.FarOffVerticesAndManyEdges
 *   2000 capsule columns, a capsule far wider than the screen
 *       AntiPolyline.CapsuleWiderThanTheColumnTablesDrawsItsVisiblePart
 *   500 dash positions: runs are counted, not buffered; dashes of 800 positions
 *       DashWalker.DashesAlternateWithGapsCountingPositionsAcrossBends
 *   fonts wider than 40 on the FreeType engine
 *       Text.RefusalsAndStringsThatEndEarly
 *   50 crossings per scanline (60 crossings: the first 50 kept)
 *       StcfBadInput.CrossingsPastFiftyAreDropped
 *   the 1,000,000-byte pool: temporary loads at and past its end, real-scene files
 *       TempBitmaps.AMillionBytesIsTooLarge, TempBitmaps.PaddingMayFillThePoolBehindTheLastRecord,
 *       ResourcePack.RealScenePayloadsMustFitThePool
 *   50 temporary bitmaps (the 51st restarts the table)
 *       TempBitmaps.ASecondLoadIsFoundAndTheFiftyFirstLeavesOneRecord
 *   1024 module images (the 1025th refused)
 *       ImageModule.TheTableHolds1024ImagesOf256MegabytesInAll
 *   80 buttons, 81 buttons and 161 pages refused
 *       IniFile.PagesAndButtonsAtTheirLimits, IniFile.DamagedFilesAreRefusedAndNothingOutsideABufferIsWritten
 *   paths of 259 and 260 characters: configuration files; frame-pack records
 *   with no terminator among their 260 characters
 *       IniFile.PathsPast259CharactersAreRefused, GifPlay.OnInitRefusesWhatItCannotPlay
 *   the screen-dump folder, made when missing
 *       ScreenDump.WritesWhatTheDisplayShowsAsABottomUpBmp, ScreenDump.AFolderThatCannotBeMadeFailsCleanly
 *
 * Here: the capsule fill's column windows at 2000 and 2001 columns; the
 * built-in engine's 40 x 40 glyph buffer (cells of 1600 bytes, fonts 41 wide
 * and 41 tall); a PNG file of 1,000,000 and 1,000,001 bytes; 160 pages;
 * photo, font and application-directory paths of 259 and 260 characters. */
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/pixel.h"
#include "draw/capsule.h"
#include "kesra.h"
#include "tests/stcf_font_builder.h"
#include "tests/test_helpers.h"
#include "text/app_directory.h"
#include "text/debug_log.h"
#include "text/font_dispatch.h"
#include "text/font_engine.h"
#include "tools/common/png565.h"
#include "tools/kesra-ini/ini_tool.h"

using kesra::test::Buffer;
using kesra::test::Screen;

namespace {

constexpr uint16_t kBack = 0x1234, kInk = 0xF800;

std::u16string wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

/* A fresh folder under the test's temporary directory. */
std::string fresh_folder(const std::string& name) {
    const std::string dir = ::testing::TempDir() + "limits_" + name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

void write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
}

/* The test's own file name, so that cases run side by side do not share files. */
std::string own_file(const std::string& suffix) {
    return ::testing::TempDir() + "limits_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name() + suffix;
}

std::vector<uint8_t> png_file(int w, int h, std::vector<uint8_t> rgba) {
    const std::string path = own_file(".png");
    EXPECT_TRUE(kesra::devutil::write_png_rgba(path, kesra::devutil::RgbaImage{w, h, rgba}));
    std::vector<uint8_t> bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        for (int c; (c = std::fgetc(f)) != EOF;) bytes.push_back(static_cast<uint8_t>(c));
        std::fclose(f);
    }
    std::remove(path.c_str());
    return bytes;
}

/* dir + "/" + a name of 'n's + tail, `length` characters in all. */
std::string path_of_length(const std::string& dir, size_t length, const std::string& tail) {
    return dir + "/" + std::string(length - dir.size() - 1 - tail.size(), 'n') + tail;
}

std::u16string backslashed(const std::string& path) {
    std::u16string w = wide(path);
    std::replace(w.begin(), w.end(), u'/', u'\\');
    return w;
}

}  // namespace

/* ---- 2000 capsule columns ---- */

/* The fill works through the visible columns in windows of 2000 from the
 * first one seen. A horizontal capsule longer than the buffer, radius 6 round
 * row 12, has its straight edges on rows 6 and 18; the upper one starts each
 * column one row below itself, so every column spans rows 7..18. 2000 visible
 * columns are one full window; 2001 put the last column in a second window,
 * and a clip from column 1 makes 2000 again. */
TEST(Limits, CapsuleColumnsFillAcrossTheWindowEdge) {
    for (int width : {2000, 2001})
        for (int clip_left : {0, 1}) {
            Buffer b(width, 25, kBack);
            kesra::CapsuleRenderer r(b.canvas(), kesra::ClipBox{clip_left, 0, width - 1, 24}, 0, 0, 0);
            r.fill(kesra::capsule_polygon(POINT{-50, 12}, POINT{width + 50, 12}, 6), kInk);
            for (int x = 0; x < width; ++x)
                for (int y = 0; y < 25; ++y)
                    ASSERT_EQ(b.at(x, y), x >= clip_left && y >= 7 && y <= 18 ? kInk : kBack)
                        << width << " columns from " << clip_left << ": " << x << "," << y;
        }
}

/* ---- 40 x 40 glyph buffers ---- */

namespace {

/* A built-in font whose 'B' is a block over most of the em and 'A' a small
 * square, so that a glyph left behind in the coverage buffer would show. */
std::vector<uint8_t> block_font() {
    using kesra::test::OutlineWriter;
    auto em_rect = [](int x0, int y0, int x1, int y1) {
        return OutlineWriter().contour(x0, y0).op(2, {x1}).op(1, {y1}).op(2, {x0});
    };
    kesra::test::FontBuilder b;
    b.widths.resize(1);
    b.widths[0].fill(128);
    b.set_latin(1, 'A' - 32, em_rect(8, 8, 16, 16));
    b.set_latin(1, 'B' - 32, em_rect(4, 4, 120, 120));
    b.utf16.assign(65536, 0xFFFF);
    for (char16_t c : {u'A', u'B'}) b.utf16[c] = static_cast<uint16_t>(c - 29);
    return b.build();
}

/* A screen with the block font loaded on the built-in engine, released at the end. */
struct BlockFontScreen {
    BlockFontScreen() {
        write_file(path, block_font());
        std::u16string name = wide(path);
        ReleaseFont();
        loaded = LoadFont(name.data()) == 1;
        screen.fill(0);
        screen.dc->SetTextColor(0xFFFF);
    }
    ~BlockFontScreen() {
        screen.dc->SetGDIObject(nullptr);
        ReleaseFont();
        std::remove(path.c_str());
    }
    int painted() const {
        const std::vector<uint16_t> p = screen.pixels();
        return static_cast<int>(std::count_if(p.begin(), p.end(), [](uint16_t v) { return v != 0; }));
    }

    const std::string path = own_file(".stcf");
    Screen screen{120, 90};
    const RECT rect{0, 0, 119, 89};
    bool loaded = false;
};

}  // namespace

/* Cells of 40 x 40 and 20 x 80 fill the whole buffer and are painted exactly
 * as rendered; the outlined text's 40-row tables take the taller one too. */
TEST(Limits, FullBufferCellsArePaintedAsTheEngineRendersThem) {
    BlockFontScreen t;
    ASSERT_TRUE(t.loaded);
    for (auto [w, h] : {std::pair{40, 40}, std::pair{20, 80}}) {
        CCEFont font(w, h, 0, 400);
        uint8_t coverage[40 * 40];
        int width = w, height = h;
        kesra::RenderGlyphCoverage(&width, &height, u"B", 1, coverage, font);
        ASSERT_EQ(width, w);
        ASSERT_EQ(coverage[(h / 2) * w + w / 2], 16) << w;  // solid inside...
        ASSERT_EQ(coverage[(h - 1) * w + w - 2], 0) << w;   // ...and short of the cell's edges
        t.screen.fill(0);
        t.screen.dc->SetGDIObject(&font);
        ASSERT_EQ(t.screen.dc->DrawTextW(u"B", 1, t.rect, 0), 1);
        for (int y = 0; y < t.screen.h; ++y)
            for (int x = 0; x < t.screen.w; ++x) {
                const int v = x < w && y < h ? coverage[y * w + x] : 0;
                ASSERT_EQ(t.screen.at(x, y), v ? kesra::blend565_16(0, 0xFFFF, v) : 0) << x << "," << y;
            }
        t.screen.fill(0);
        const tagDISTINCT_STRUCT halo{0, 0xFFFFFFFF, 0x001F, 0, 0, 0, 0, 0, 0, 0};
        EXPECT_EQ(t.screen.dc->DrawTextWithDistinct(u"B", 1, t.rect, 0, halo), 1);
        EXPECT_EQ(t.screen.at(w / 2, h / 2), 0xFFFF) << w;
    }
}

/* One column more is refused by every text operation, drawing nothing. */
TEST(Limits, FortyOneWideIsRefusedEverywhere) {
    BlockFontScreen t;
    ASSERT_TRUE(t.loaded);
    CCEFont font(41, 40, 0, 400);
    t.screen.dc->SetGDIObject(&font);
    EXPECT_EQ(t.screen.dc->DrawTextW(u"B", 1, t.rect, 0), 0);
    DMX_tag_StringStruct label{1, 0, 0, 0, {255, 255, 255, 0}, {0, 0, 255, 0}};
    t.screen.dc->DM_DrawText(u"B", 1, t.rect, &label, 0);
    const tagDISTINCT_STRUCT halo{0, 0xFFFFFFFF, 0x001F, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(t.screen.dc->DrawTextWithDistinct(u"B", 1, t.rect, 0, halo), 0);
    EXPECT_EQ(t.painted(), 0);
    CCEFont fits(40, 40, 0, 400);  // the same calls at the limit draw
    t.screen.dc->SetGDIObject(&fits);
    EXPECT_EQ(t.screen.dc->DrawTextWithDistinct(u"B", 1, t.rect, 0, halo), 1);
    EXPECT_GT(t.painted(), 0);
}

/* A font 40 wide and 41 tall passes the width test, but its cell does not
 * fit the buffer: the engine renders nothing, and nothing is painted, not
 * even what the previous glyph left in the buffer. */
TEST(Limits, FortyOneTallPaintsNothingOfThePreviousGlyph) {
    BlockFontScreen t;
    ASSERT_TRUE(t.loaded);
    CCEFont square(40, 40, 0, 400), tall(40, 41, 0, 400);
    t.screen.dc->SetGDIObject(&square);
    ASSERT_EQ(t.screen.dc->DrawTextW(u"B", 1, t.rect, 0), 1);
    ASSERT_GT(t.painted(), 1000);
    t.screen.fill(0);
    t.screen.dc->SetGDIObject(&tall);
    EXPECT_EQ(t.screen.dc->DrawTextW(u"A", 1, t.rect, 0), 1);
    EXPECT_EQ(t.painted(), 0);
    DMX_tag_StringStruct label{1, 0, 0, 0, {255, 255, 255, 0}, {0, 0, 255, 0}};
    t.screen.dc->DM_DrawText(u"A", 1, t.rect, &label, 0);
    EXPECT_EQ(t.painted(), 0);
    t.screen.dc->SetGDIObject(&square);  // the square font still draws its small 'A'
    t.screen.fill(0);
    ASSERT_EQ(t.screen.dc->DrawTextW(u"A", 1, t.rect, 0), 1);
    EXPECT_GT(t.painted(), 0);
    EXPECT_LT(t.painted(), 20);
}

/* The engine is chosen by the ".ttf" in the font's path: a path of 260
 * characters, longer than the ANSI buffer, still ends in it and goes to
 * FreeType, not to the built-in font that is loaded already. */
TEST(Limits, TrueTypePathsOf259And260Characters) {
    BlockFontScreen t;
    ASSERT_TRUE(t.loaded);
    const std::string face = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";  // fonts-dejavu-core
    ASSERT_TRUE(std::filesystem::exists(face));
    const std::string dir = fresh_folder("font");
    std::u16string builtin = wide(t.path);
    for (size_t length : {259, 260}) {
        const std::string path = path_of_length(dir, length, ".ttf");
        std::filesystem::create_symlink(face, path);
        std::u16string name = wide(path);
        ASSERT_EQ(LoadFont(name.data()), 1) << length;
        EXPECT_EQ(kesra::font_state().UseBuiltinEngine, 0) << length;
        ReleaseFont();
        ASSERT_EQ(LoadFont(builtin.data()), 1);  // the built-in font again, for the next round
        ASSERT_EQ(kesra::font_state().UseBuiltinEngine, 1);
    }
}

/* ---- the 1,000,000-byte image pool ---- */

/* A PNG file is read whole into the pool: one of exactly 1,000,000 bytes
 * (trailing bytes after its end) loads, one byte more is refused. */
TEST(Limits, PngFileOfAMillionBytesFillsThePool) {
    const std::string dir = fresh_folder("pool");
    std::vector<uint8_t> png = png_file(2, 1, {255, 0, 0, 255, 0, 0, 255, 64});
    png.resize(1000000, 0);
    write_file(dir + "/full.png", png);
    png.push_back(0);
    write_file(dir + "/over.png", png);
    CCEBitmap full, over;
    ASSERT_EQ(full.LoadBitmapW(wide(dir + "/full.png").c_str()), 1);
    const auto* pixels = reinterpret_cast<const uint16_t*>(full.GetImageData());
    EXPECT_EQ(pixels[0], 0xF800);
    EXPECT_EQ(pixels[1], 0x001F);
    EXPECT_EQ(full.GetAlphaData()[1], 64 / 8);
    EXPECT_EQ(over.LoadBitmapW(wide(dir + "/over.png").c_str()), 0);
    EXPECT_EQ(over.GetImageData(), nullptr);
}

/* ---- 160 pages ---- */

/* A file of 160 pages opens, its last page answers; page 160 and button 80
 * lie outside every table. */
TEST(Limits, ConfigurationFileOfOneHundredSixtyPages) {
    kesra_ini::Config c;
    c.pages.resize(160);
    for (size_t p = 0; p < c.pages.size(); ++p) c.pages[p].backgrounds = static_cast<int32_t>(p);
    kesra_ini::Button last;
    std::copy_n("last", 4, last.texts[2].begin());
    c.pages[159].buttons.push_back(last);
    const std::string path = fresh_folder("ini") + "/pages.ini";
    write_file(path, kesra_ini::encode(c));
    ASSERT_EQ(CIniCtrl::OpenFile(wide(path).c_str()), 1);
    CIniCtrl ini;
    EXPECT_EQ(ini.GetBackgroundNum(159), 159);
    EXPECT_EQ(ini.GetButtonNum(159), 1);
    EXPECT_EQ(ini.GetButtonNum(160), 0);
    char text[129] = {};
    ASSERT_EQ(ini.ReadButtonText(159, 0, 2, text, 128), 1);
    EXPECT_STREQ(text, "last");
    EXPECT_EQ(ini.ReadButtonText(160, 0, 0, text, 128), 0);
    EXPECT_EQ(ini.ReadButtonText(0, 80, 0, text, 128), 0);
    CIniCtrl::CloseFile();
}

/* ---- paths of 259 and 260 characters ---- */

/* A photo path of 259 characters is drawn; one of 260 is refused with the
 * decoding message, like a file that does not decode. */
TEST(Limits, PhotoPathsOf259And260Characters) {
    std::vector<std::u16string> messages;
    static std::vector<std::u16string>* sink = nullptr;
    sink = &messages;
    HostSetMessageHandler([](const WCHAR* text) { sink->emplace_back(text); });
    const std::string dir = fresh_folder("photo");
    const std::vector<uint8_t> png = png_file(1, 1, {0, 255, 0, 255});
    const std::string fits = path_of_length(dir, 259, ".png"), over = path_of_length(dir, 260, ".png");
    write_file(fits, png);
    write_file(over, png);
    {
        Screen screen(16, 16);
        screen.fill(kBack);
        CCePhoto photo;
        EXPECT_TRUE(photo.drawPhoto(screen.dc.get(), wide(fits).c_str(), tagRECT{2, 2, 3, 3}));
        EXPECT_EQ(screen.at(2, 2), 0x07E0);
        EXPECT_EQ(screen.at(4, 4), kBack);
        EXPECT_TRUE(messages.empty());
        EXPECT_FALSE(photo.drawPhoto(screen.dc.get(), wide(over).c_str(), tagRECT{5, 5, 6, 6}));
        EXPECT_EQ(screen.at(5, 5), kBack);
        EXPECT_EQ(messages, std::vector<std::u16string>{wide(over) + u"文件解压失败"});
    }
    HostSetMessageHandler(nullptr);
}

/* The application directory is cut from the executable's full name, however
 * long that is; a directory of 259 characters is kept, one of 260 does not
 * fit its buffer and stays unknown rather than cut short to another folder.
 * The debug log's path must fit the same 260 characters. */
TEST(Limits, ApplicationDirectoryOf259And260Characters) {
    const std::string base = "/tmp/kesra_limits_app";
    const std::string dir259 = path_of_length(base, 259, ""), dir260 = path_of_length(base, 260, "");
    auto directory_for = [](const std::string& exe) {
        HostSetModuleFileName(backslashed(exe).c_str());
        kesra::store_app_directory();
        return std::u16string(kesra::app_directory());
    };
    EXPECT_EQ(directory_for(base + "/nav.exe"), backslashed(base));
    // The executable's name runs past 259 and 260 characters; its directory fits.
    const std::string short_dir = path_of_length(base, 240, "");
    EXPECT_EQ(directory_for(path_of_length(short_dir, 259, ".exe")), backslashed(short_dir));
    EXPECT_EQ(directory_for(path_of_length(short_dir, 260, ".exe")), backslashed(short_dir));
    EXPECT_EQ(directory_for(path_of_length(short_dir, 300, ".exe")), backslashed(short_dir));
    EXPECT_EQ(directory_for(dir259 + "/nav.exe"), backslashed(dir259));
    EXPECT_EQ(kesra::debug_log_path(), u"");  // 259 + 15 characters do not fit
    EXPECT_EQ(directory_for(dir260 + "/nav.exe"), u"");
    HostSetModuleFileName(nullptr);
    kesra::store_app_directory();
}
