// Directory search: the wildcard match and its case folding, the order and
// fields of what FindFirstFileW and FindNextFileW report, and the errors of
// a missing folder, no match, the end of the list and a stale handle.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/platform_internal.h"
#include "winapi.h"

namespace {

using kesra::platform::fold_case;
using kesra::platform::wildcard_match;

TEST(Wildcard, StarsAndQuestionMarksWithoutCase) {
    EXPECT_TRUE(wildcard_match(u"*.bmp", u"Photo.BMP"));
    EXPECT_TRUE(wildcard_match(u"*.BMP", u"photo.bmp"));
    EXPECT_TRUE(wildcard_match(u"*.jpg", u".jpg"));
    EXPECT_FALSE(wildcard_match(u"*.jpg", u"photo.jpeg"));
    EXPECT_FALSE(wildcard_match(u"*.jpeg", u"photo.jpg"));
    EXPECT_FALSE(wildcard_match(u"*.bmp", u"photo.bmp.txt"));
    EXPECT_TRUE(wildcard_match(u"*.bmp", u"a.bmp.bmp"));
    EXPECT_TRUE(wildcard_match(u"a?c", u"ABC"));
    EXPECT_FALSE(wildcard_match(u"a?c", u"ac"));
    EXPECT_TRUE(wildcard_match(u"*a*b*", u"xxaxxbxx"));
    EXPECT_FALSE(wildcard_match(u"*a*b", u"xxbxxa"));
    EXPECT_TRUE(wildcard_match(u"*", u"anything"));
    EXPECT_TRUE(wildcard_match(u"*.*", u"noextension"));
    EXPECT_TRUE(wildcard_match(u"*.png", u"Фото.PNG"));
    EXPECT_TRUE(wildcard_match(u"фото*", u"ФОТО.png"));
    EXPECT_TRUE(wildcard_match(u"ÉTÉ.jpg", u"été.JPG"));
    EXPECT_FALSE(wildcard_match(u"a.bmp", u"b.bmp"));
    EXPECT_EQ(fold_case(u'ß'), u'ß');  // no one-to-one upper form
    EXPECT_EQ(fold_case(u'÷'), u'÷');
    EXPECT_EQ(fold_case(u'ё'), u'Ё');
    EXPECT_EQ(fold_case(u'ａ'), u'Ａ');
}

class FindFile : public ::testing::Test {
   protected:
    void SetUp() override {
        dir_ =
            ::testing::TempDir() + "find_" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(dir_);
        ::mkdir(dir_.c_str(), 0755);
    }
    void make(const std::string& name, size_t bytes) {
        std::ofstream(dir_ + "/" + name, std::ios::binary) << std::string(bytes, 'x');
    }
    std::u16string pattern(const std::string& name) const {
        std::string windows = dir_ + "\\" + name;
        return std::u16string(windows.begin(), windows.end());
    }
    std::vector<std::u16string> names(const std::string& name) {
        std::vector<std::u16string> out;
        WIN32_FIND_DATAW found;
        HANDLE h = FindFirstFileW(pattern(name).c_str(), &found);
        if (h == INVALID_HANDLE_VALUE) return out;
        do out.emplace_back(found.cFileName);
        while (FindNextFileW(h, &found));
        EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
        EXPECT_TRUE(FindClose(h));
        return out;
    }
    std::string dir_;
};

TEST_F(FindFile, ListsMatchesInNameOrderWithTheirFields) {
    make("b.PNG", 3);
    make("a.png", 70000);
    make("c.jpeg", 1);
    make("note.txt", 1);
    ::mkdir((dir_ + "/d.png").c_str(), 0755);
    EXPECT_EQ(names("*.png"), (std::vector<std::u16string>{u"a.png", u"b.PNG", u"d.png"}));
    EXPECT_EQ(names("*.jpg"), std::vector<std::u16string>{});
    EXPECT_EQ(names("*"),
              (std::vector<std::u16string>{u"a.png", u"b.PNG", u"c.jpeg", u"d.png", u"note.txt"}));

    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(pattern("A.PNG").c_str(), &found);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(std::u16string(found.cFileName), u"a.png");
    EXPECT_EQ(found.nFileSizeLow, 70000u);
    EXPECT_EQ(found.nFileSizeHigh, 0u);
    EXPECT_EQ(found.dwFileAttributes, FILE_ATTRIBUTE_NORMAL);
    EXPECT_GT(found.ftLastWriteTime.dwHighDateTime, 0x01D00000u);  // after 2015
    EXPECT_FALSE(FindNextFileW(h, &found));
    EXPECT_TRUE(FindClose(h));
    h = FindFirstFileW(pattern("d.*").c_str(), &found);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(found.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(FindClose(h));
}

TEST_F(FindFile, ErrorsSayWhatWentWrong) {
    make("only.bmp", 1);
    WIN32_FIND_DATAW found;
    EXPECT_EQ(FindFirstFileW(pattern("*.gif").c_str(), &found), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(FindFirstFileW(pattern("missing\\*.bmp").c_str(), &found), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(FindFirstFileW(pattern("").c_str(), &found), INVALID_HANDLE_VALUE);
    EXPECT_EQ(FindFirstFileW(nullptr, &found), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    HANDLE h = FindFirstFileW(pattern("*.bmp").c_str(), &found);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(FindClose(h));
    EXPECT_FALSE(FindClose(h));  // closed already
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(FindNextFileW(h, &found));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(FindNextFileW(INVALID_HANDLE_VALUE, &found));
}

}  // namespace
