// Code-page conversion: GBK (the default ANSI code page) both ways, UTF-8,
// and the size rules callers depend on: a 0 size asks for the size, a -1
// length counts the terminator, a short buffer fails without being overrun.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "kesra.h"

namespace {

// "错误：" in GBK, as iconv -f UTF-8 -t CP936 gives it.
const char kErrorGbk[] = "\xB4\xED\xCE\xF3\xA3\xBA";
const WCHAR kErrorWide[] = u"错误：";

TEST(CodePage, WideToGbkAndBack) {
    char bytes[16] = {};
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, kErrorWide, 3, bytes, sizeof bytes, nullptr, nullptr), 6);
    EXPECT_EQ(std::string(bytes, 6), std::string(kErrorGbk, 6));

    WCHAR wide[8] = {};
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, kErrorGbk, 6, wide, 8), 3);
    EXPECT_EQ(std::u16string(wide, 3), std::u16string(kErrorWide));
}

TEST(CodePage, MixedAsciiAndGbkRoundTrip) {
    const WCHAR text[] = u"Route 路线 42 km";
    char bytes[64];
    const int n = WideCharToMultiByte(936, 0, text, -1, bytes, sizeof bytes, nullptr, nullptr);
    ASSERT_GT(n, 0);
    EXPECT_EQ(bytes[n - 1], '\0');
    WCHAR back[64];
    const int m = MultiByteToWideChar(936, 0, bytes, -1, back, 64);
    EXPECT_EQ(std::u16string(back), std::u16string(text));
    EXPECT_EQ(m, static_cast<int>(std::u16string(text).size()) + 1);
}

TEST(CodePage, SizeQueryCountsTheTerminatorOnlyForMinusOne) {
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, kErrorWide, -1, nullptr, 0, nullptr, nullptr), 7);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, kErrorWide, 3, nullptr, 0, nullptr, nullptr), 6);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, kErrorGbk, -1, nullptr, 0), 4);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, kErrorGbk, 6, nullptr, 0), 3);
}

TEST(CodePage, ShortBufferFailsWithoutWritingPastIt) {
    char bytes[8];
    std::memset(bytes, 'x', sizeof bytes);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, kErrorWide, -1, bytes, 6, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(bytes[6], 'x');
    WCHAR wide[4] = {u'x', u'x', u'x', u'x'};
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, kErrorGbk, -1, wide, 3), 0);
    EXPECT_EQ(wide[3], u'x');
}

TEST(CodePage, BadArgumentsFail) {
    char bytes[4];
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, nullptr, -1, bytes, 4, nullptr, nullptr), 0);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, kErrorWide, 0, bytes, 4, nullptr, nullptr), 0);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, kErrorWide, -2, bytes, 4, nullptr, nullptr), 0);
    EXPECT_EQ(MultiByteToWideChar(12345678, 0, "a", 1, nullptr, 0), 0);
}

TEST(CodePage, UnmappableCharacterBecomesTheDefault) {
    const WCHAR text[] = u"a\u0E01b";  // Thai: not in GBK
    char bytes[8] = {};
    BOOL used = FALSE;
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, text, 3, bytes, 8, nullptr, &used), 3);
    EXPECT_EQ(std::string(bytes, 3), "a?b");
    EXPECT_TRUE(used);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, text, 3, bytes, 8, "*", &used), 3);
    EXPECT_EQ(std::string(bytes, 3), "a*b");
}

TEST(CodePage, InvalidGbkIsReplacedOrRefused) {
    const char broken[] = "a\xB4";  // a lead byte without its trail byte
    WCHAR wide[4] = {};
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, broken, 2, wide, 4), 2);
    EXPECT_EQ(wide[0], u'a');
    EXPECT_EQ(wide[1], u'?');
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, broken, 2, wide, 4), 0);
}

TEST(CodePage, Utf8CodePage) {
    char bytes[16] = {};
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, kErrorWide, 3, bytes, 16, nullptr, nullptr), 9);
    EXPECT_EQ(std::string(bytes, 9), "错误：");
    const WCHAR lone[] = {u'a', 0xD800, u'b'};
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, lone, 3, bytes, 16, nullptr, nullptr), 5);
    EXPECT_EQ(std::string(bytes, 5), "a\xEF\xBF\xBD" "b");
}

}  // namespace
