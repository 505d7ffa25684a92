// The photo browser: which files a scan lists and in what order, the size
// filter at the screen's size plus the margins, the list's growth up to 100
// records, the messages of each failure, and the resampled draw.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/pixel.h"
#include "kesra.h"
#include "tests/test_helpers.h"
#include "tools/common/png565.h"

namespace {

using kesra::narrow565;

std::vector<std::u16string> g_messages;
void capture(const WCHAR* text) { g_messages.emplace_back(text); }

std::u16string wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

class Photo : public ::testing::Test {
   protected:
    void SetUp() override {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        app_ = ::testing::TempDir() + "photo_" + name;
        logo_ = app_ + "/RES/logo/";
        std::filesystem::remove_all(app_);  // files of an earlier run would be listed too
        ASSERT_TRUE(kesra::devutil::make_directories(logo_));
        HostSetModuleFileName(wide(app_ + "\\navdemo").c_str());
        g_messages.clear();
        HostSetMessageHandler(capture);
    }
    void TearDown() override {
        HostSetMessageHandler(nullptr);
        HostSetModuleFileName(nullptr);
    }
    /* A PNG of one colour, or of the given RGBA bytes. */
    static void png(const std::string& path, int w, int h, std::vector<uint8_t> rgba = {}) {
        if (rgba.empty()) {
            for (int i = 0; i < w * h; ++i) rgba.insert(rgba.end(), {90, 160, 30, 255});
        }
        kesra::devutil::RgbaImage image{w, h, rgba};
        ASSERT_TRUE(kesra::devutil::write_png_rgba(path, image));
    }
    /* A PNG of one colour saved again by the image module as BMP or JPEG. */
    static void saved(const std::string& path, int w, int h, int type) {
        const std::string source = path + ".src.png";
        png(source, w, h);
        QLDestructor();  // frees what the test loaded before: the reset below only forgets it
        QLConstructor();
        ASSERT_EQ(QLLoad(wide(source).c_str(), QL_TYPE_PNG), 1);
        ASSERT_EQ(QLSave(wide(path).c_str(), type), 1);
        QLDestructor();
        std::remove(source.c_str());
    }
    std::string app_, logo_;
};

std::vector<std::pair<std::u16string, int>> listed(const CCePhoto& photo) {
    std::vector<std::pair<std::u16string, int>> out;
    for (int i = 0; i < photo.m_nPhotoCount; ++i)
        out.emplace_back(photo.m_PhotoList[i].szName, photo.m_PhotoList[i].nType);
    return out;
}

TEST_F(Photo, ScansListTypesInTurnAndFilterBySize) {
    kesra::test::Screen screen(800, 480);
    saved(logo_ + "a.bmp", 10, 10, QL_TYPE_BMP);
    saved(logo_ + "big.bmp", 1000, 2, QL_TYPE_BMP);  // not narrower than 800 + 200
    png(logo_ + "b.PNG", 999, 679);                  // just inside both margins
    png(logo_ + "tall.png", 4, 680);                 // not lower than 480 + 200
    saved(logo_ + "c.jpg", 8, 8, QL_TYPE_JPEG);
    saved(logo_ + "d.JPEG", 8, 8, QL_TYPE_JPEG);
    png(logo_ + "e.gif", 4, 4);
    std::FILE* broken = std::fopen((logo_ + "broken.png").c_str(), "wb");
    std::fputs("not a picture", broken);
    std::fclose(broken);

    CCePhoto photo;
    const std::vector<std::pair<std::u16string, int>> once = {{u"a.bmp", QL_TYPE_BMP},
                                                              {u"b.PNG", QL_TYPE_PNG},
                                                              {u"c.jpg", QL_TYPE_JPEG},
                                                              {u"d.JPEG", QL_TYPE_JPEG}};
    EXPECT_EQ(photo.GetTotalPhoto(-1, -1), 4);
    EXPECT_EQ(listed(photo), once);
    // The list is not cleared: a second scan lists everything again.
    EXPECT_EQ(photo.GetTotalPhoto(-1, -1), 8);
    auto twice = once;
    twice.insert(twice.end(), once.begin(), once.end());
    EXPECT_EQ(listed(photo), twice);

    // Margins of 0: only files smaller than the screen.
    CCePhoto strict;
    EXPECT_EQ(strict.GetTotalPhoto(0, 0), 3);
    EXPECT_EQ(strict.m_PhotoList[1].szName, std::u16string(u"c.jpg"));
}

TEST_F(Photo, SearchPathAndTheHundredRecordLimit) {
    kesra::test::Screen screen(800, 480);
    const std::string folder = app_ + "/many";
    ASSERT_TRUE(kesra::devutil::make_directories(folder));
    for (int i = 0; i < 60; ++i) png(folder + "/p" + std::to_string(100 + i) + ".png", 1, 1);
    CCePhoto photo;
    EXPECT_EQ(photo.SetSearchPath(u""), 0);
    EXPECT_EQ(photo.SetSearchPath(nullptr), 0);
    EXPECT_EQ(photo.GetTotalPhoto(-1, -1), 0);  // the logo folder is empty
    ASSERT_EQ(photo.SetSearchPath(wide(folder + "\\").c_str()), 1);
    EXPECT_EQ(photo.GetTotalPhoto(-1, -1), 60);
    EXPECT_EQ(photo.GetTotalPhoto(-1, -1), 100);
    EXPECT_EQ(photo.GetTotalPhoto(-1, -1), 100);
    EXPECT_EQ(photo.m_PhotoList[99].szName, std::u16string(u"p139.png"));
    // A search path without its final backslash finds the same files.
    CCePhoto other;
    ASSERT_EQ(other.SetSearchPath(wide(folder).c_str()), 1);
    EXPECT_EQ(other.GetTotalPhoto(-1, -1), 60);
}

TEST_F(Photo, EachFailureShowsItsMessage) {
    kesra::test::Screen screen(800, 480);
    CCePhoto photo;
    const tagRECT rect{0, 0, 9, 9};
    EXPECT_FALSE(photo.drawPhoto(screen.dc.get(), photo.m_nPhotoCount, rect));
    photo.drawLogo(screen.dc.get());
    EXPECT_FALSE(photo.drawPhoto(screen.dc.get(), static_cast<const WCHAR*>(nullptr), rect));
    EXPECT_FALSE(photo.drawPhoto(screen.dc.get(), u"a.bm", rect));
    EXPECT_FALSE(photo.drawPhoto(screen.dc.get(), u"anim.gif", rect));
    EXPECT_EQ(g_messages,
              (std::vector<std::u16string>{u"张载图片失败！", u"张载图片失败！", u"文件名不能为空！",
                                           u"不是图片文件！", u"不支持该图片格式！"}));

    // A file that does not decode names itself, and leaves what the image
    // module held before untouched.
    const std::string held = logo_ + "held.png";
    png(held, 3, 2);
    ASSERT_EQ(QLLoad(wide(held).c_str(), QL_TYPE_PNG), 1);
    g_messages.clear();
    const std::u16string missing = wide(logo_ + "missing.bmp");
    EXPECT_FALSE(photo.drawPhoto(screen.dc.get(), missing.c_str(), rect));
    EXPECT_EQ(g_messages, std::vector<std::u16string>{missing + u"文件解压失败"});
    EXPECT_EQ(QLGetWidth(), 3u);
    // So does the filter: reading a header pops nothing.
    saved(logo_ + "x.bmp", 2, 2, QL_TYPE_BMP);
    ASSERT_EQ(QLLoad(wide(held).c_str(), QL_TYPE_PNG), 1);
    EXPECT_EQ(photo.GetTotalPhoto(-1, -1), 2);  // x.bmp, held.png
    EXPECT_EQ(QLGetWidth(), 3u);
    // A rectangle with no area cannot be given a plane.
    g_messages.clear();
    EXPECT_FALSE(photo.drawPhoto(screen.dc.get(), 0, tagRECT{5, 5, 4, 9}));
    EXPECT_EQ(g_messages, std::vector<std::u16string>{u"内存空间不够"});
    EXPECT_EQ(QLGetWidth(), 3u);
}

TEST_F(Photo, DrawsResampledIntoTheRectangle) {
    kesra::test::Screen screen(800, 480);
    screen.fill(0x1234);
    // 2 x 2: red, green / blue, and a fully transparent pixel that draws black.
    png(logo_ + "four.png", 2, 2, {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 0});
    CCePhoto photo;
    ASSERT_EQ(photo.GetTotalPhoto(-1, -1), 1);
    ASSERT_TRUE(photo.drawPhoto(screen.dc.get(), 0, tagRECT{10, 20, 13, 23}));
    EXPECT_EQ(photo.m_pImageData, nullptr);  // the plane lives only while it is drawn
    const uint16_t expected[2][2] = {{0xF800, 0x07E0}, {0x001F, 0x0000}};
    for (int y = 19; y <= 24; ++y)  // each pixel doubled, nothing around the rectangle
        for (int x = 9; x <= 14; ++x) {
            const bool inside = x >= 10 && x <= 13 && y >= 20 && y <= 23;
            EXPECT_EQ(screen.at(x, y), inside ? expected[(y - 20) / 2][(x - 10) / 2] : 0x1234)
                << x << "," << y;
        }
    // Across the screen's corner only what lies on it is drawn.
    ASSERT_TRUE(photo.drawPhoto(screen.dc.get(), 0, tagRECT{798, 478, 801, 481}));
    EXPECT_EQ(screen.at(799, 479), 0xF800);

    // A path ending in .JPEG is a JPEG: the same pixels as the image module's.
    const std::string jpeg = logo_ + "grey.JPEG";
    saved(jpeg, 16, 16, QL_TYPE_JPEG);
    ASSERT_TRUE(photo.drawPhoto(screen.dc.get(), wide(jpeg).c_str(), tagRECT{0, 0, 7, 7}));
    ASSERT_EQ(QLLoad(wide(jpeg).c_str(), QL_TYPE_JPEG), 1);
    const BYTE* argb = QLGetPixelData();
    EXPECT_EQ(screen.at(0, 0), narrow565(argb[1], argb[2], argb[3]));
    EXPECT_EQ(screen.at(7, 7), narrow565(argb[1], argb[2], argb[3]));
    EXPECT_EQ(screen.at(8, 0), 0x1234);
    QLReleaseLastImage();
}

}  // namespace
