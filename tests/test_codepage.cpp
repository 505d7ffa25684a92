// Code-page conversion: size rules, short buffers, UTF-8, and code page 936
// checked pair by pair and unit by unit against glibc's iconv CP936.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cstring>
#include <string>
#include <vector>

#include "kesra.h"
#include "text/charset.h"

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

TEST(CodePage, Utf8CodePage) {
    char bytes[16] = {};
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, kErrorWide, 3, bytes, 16, nullptr, nullptr), 9);
    EXPECT_EQ(std::string(bytes, 9), "错误：");
    const WCHAR lone[] = {u'a', 0xD800, u'b'};
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, lone, 3, bytes, 16, nullptr, nullptr), 5);
    EXPECT_EQ(std::string(bytes, 5),
              "a\xEF\xBF\xBD"
              "b");
}

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr const char* kNativeUtf16 = "UTF-16BE";
#else
constexpr const char* kNativeUtf16 = "UTF-16LE";
#endif

class Iconv {
   public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (ok()) iconv_close(cd_);
    }
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    bool convert(const void* in, size_t bytes, std::string& out) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char buffer[16];
        char* input = static_cast<char*>(const_cast<void*>(in));
        char* output = buffer;
        size_t room = sizeof buffer;
        const size_t result = iconv(cd_, &input, &bytes, &output, &room);
        out.assign(buffer, static_cast<size_t>(output - buffer));
        return result != static_cast<size_t>(-1) && bytes == 0;
    }

   private:
    iconv_t cd_;
};

std::string hex_pair(int lead, int trail) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X %02X", lead, trail);
    return text;
}

TEST(CodePage936, EveryPairDecodesAsIconvDoes) {
    Iconv decoder(kNativeUtf16, "CP936");
    ASSERT_TRUE(decoder.ok());
    int assigned = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFF; ++trail) {
            const unsigned char pair[2] = {static_cast<unsigned char>(lead),
                                           static_cast<unsigned char>(trail)};
            std::string utf16;
            char16_t expected = 0;
            if (decoder.convert(pair, 2, utf16)) {
                ASSERT_EQ(utf16.size(), 2u) << hex_pair(lead, trail);
                std::memcpy(&expected, utf16.data(), 2);
                ++assigned;
            }
            uint16_t decoded = 0xDEAD;
            kesra::DecodeMbcsChar(&decoded, pair, 2);
            ASSERT_EQ(decoded, expected) << hex_pair(lead, trail);

            WCHAR wide[2] = {};
            const int units = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS,
                                                  reinterpret_cast<const char*>(pair), 2, wide, 2);
            ASSERT_EQ(units, expected ? 1 : 0) << hex_pair(lead, trail);
            if (expected) {
                ASSERT_EQ(wide[0], expected) << hex_pair(lead, trail);
            }
        }
    }
    EXPECT_GT(assigned, 21000);  // iconv knew the code page
}

TEST(CodePage936, EveryCodeUnitEncodesAsIconvDoes) {
    Iconv encoder("CP936", kNativeUtf16);
    ASSERT_TRUE(encoder.ok());
    for (unsigned u = 1; u <= 0xFFFF; ++u) {
        const WCHAR unit = static_cast<WCHAR>(u);
        std::string expected;
        const bool mapped = encoder.convert(&unit, 2, expected);
        char bytes[4] = {};
        BOOL used = FALSE;
        const int n = WideCharToMultiByte(936, 0, &unit, 1, bytes, sizeof bytes, nullptr, &used);
        ASSERT_EQ(std::string(bytes, static_cast<size_t>(n)), mapped ? expected : "?") << std::hex << u;
        ASSERT_EQ(used, mapped ? FALSE : TRUE) << std::hex << u;
    }
}

TEST(CodePage936, DecodingTheEdgesOfTheTable) {
    using kesra::DecodeMbcsChar;
    auto decode = [](std::initializer_list<unsigned char> bytes, int length) {
        std::vector<unsigned char> text(bytes);
        text.push_back(0);
        uint16_t code_point = 0;
        DecodeMbcsChar(&code_point, text.data(), length);
        return code_point;
    };
    EXPECT_EQ(decode({0xFE, 0x4F}, 2), 0xFA29);  // the last row is read, not the one past it
    EXPECT_EQ(decode({0x81, 0x20}, 2), 0);       // trail below 0x40: nothing written
    EXPECT_EQ(decode({0x80, 0x41}, 2), 0x20AC);  // no row: the lead byte alone
    EXPECT_EQ(decode({0xFF, 0x41}, 2), 0xFF);
    EXPECT_EQ(decode({0xB0, 0x00}, 2), 0xB0);  // the string ends after the lead byte
    EXPECT_EQ(decode({0xB0, 0xA1}, 1), 0xB0);  // one byte asked for

    uint16_t untouched = 0x1234;
    const unsigned char low_trail[] = {0x81, 0x20};
    EXPECT_EQ(DecodeMbcsChar(&untouched, nullptr, 2), 0);
    EXPECT_EQ(DecodeMbcsChar(&untouched, low_trail, 2), 0);
    EXPECT_EQ(untouched, 0x1234);
    EXPECT_EQ(DecodeMbcsChar(nullptr, low_trail, 2), 0);
    const unsigned char unassigned[] = {0x81, 0x7F};
    EXPECT_EQ(DecodeMbcsChar(&untouched, unassigned, 2), 0);
    EXPECT_EQ(untouched, 0);
}

TEST(CodePage936, BadBytesBecomeQuestionMarksAndDecodingGoesOn) {
    const std::pair<std::string, std::u16string> cases[] = {
        {"\x81\x7F"
         "A",
         u"?\x7F"
         "A"},                // unassigned pair: the trail byte is read again
        {"\x81\x20", u"? "},  // trail byte below 0x40
        {"\x80\xB0\xA1", u"\u20AC\u554A"},
        {"x\xB0", u"x?"},  // the lead byte is the last one
    };
    for (const auto& [bytes, expected] : cases) {
        WCHAR wide[8] = {};
        const int size = static_cast<int>(bytes.size());
        const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, wide, 8);
        EXPECT_EQ(std::u16string(wide, static_cast<size_t>(n)), expected);
        EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), size, wide, 8),
                  bytes == "\x80\xB0\xA1" ? 2 : 0);
    }
}

TEST(CodePage936, TextRoundTripsAndSurrogatesBecomeTheDefault) {
    const WCHAR text[] = u"\u20AC5 \u00B7 \u5317\u4EAC\u5E02 \uFA29 \u3000end";
    char bytes[64];
    const int n = WideCharToMultiByte(CP_ACP, 0, text, -1, bytes, sizeof bytes, nullptr, nullptr);
    EXPECT_EQ(std::string(bytes, static_cast<size_t>(n)),
              std::string("\x80"
                          "5 \xA1\xA4 \xB1\xB1\xBE\xA9\xCA\xD0 \xFE\x4F \xA1\xA1"
                          "end",
                          21) +
                  '\0');
    WCHAR back[64];
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, bytes, n, back, 64), 16);
    EXPECT_EQ(std::u16string(back), std::u16string(text));

    const WCHAR astral[] = u"a\U0001F600b";  // each half of the pair lacks a code point of its own
    BOOL used = FALSE;
    EXPECT_EQ(WideCharToMultiByte(936, 0, astral, 4, bytes, sizeof bytes, "*", &used), 4);
    EXPECT_EQ(std::string(bytes, 4), "a**b");
    EXPECT_TRUE(used);
}

}  // namespace
