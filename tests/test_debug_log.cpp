/* test_debug_log.cpp - the debug log: where it is written, that it appends,
 * the 263-byte cut, and the GBK bytes of a message given in UTF-16. */
#include <gtest/gtest.h>

#include <string>

#include "tests/test_bitmap_helpers.h"
#include "text/debug_log.h"

using namespace kesra;
using namespace kesra::test;

/* Runs first: no drawing context has stored the directory yet. */
TEST(DebugLog, WithoutADirectoryTheLogIsAtTheRoot) { EXPECT_EQ(debug_log_path(), u"\\debugKESRA.log"); }

TEST(DebugLog, WritesIntoTheApplicationDirectory) {
    scratch_dir();
    std::u16string expected;
    for (char c : scratch_dir()) expected += c == '/' ? u'\\' : static_cast<char16_t>(c);
    EXPECT_EQ(debug_log_path(), expected + u"\\debugKESRA.log");
}

TEST(DebugLog, AppendsWithoutAddingNewlines) {
    clear_log();
    DebugLog("first %d\n", 1);
    DebugLog("second %s", "x");
    DebugLog("|third\n");
    EXPECT_EQ(log_text(), "first 1\nsecond x|third\n");
}

TEST(DebugLog, KeepsAnExistingFile) {
    clear_log();
    write_bytes(log_path(), {'o', 'l', 'd', '\n'});
    DebugLog("new\n");
    EXPECT_EQ(log_text(), "old\nnew\n");
}

TEST(DebugLog, CutsAMessageAt263Bytes) {
    clear_log();
    const std::string long_text(400, 'a');
    DebugLog("%s", long_text.c_str());
    EXPECT_EQ(log_text(), std::string(263, 'a'));
}

TEST(DebugLog, WideFormatsAreWrittenAsGbk) {
    clear_log();
    DebugLogW(u"错误：nID = %d, m_fpResource = %d\n", 299, 0);
    DebugLogW(u"错误：申请空间失败！m_pAlpha，size ＝ %d\n", 12);
    EXPECT_EQ(log_text(),
              "\xB4\xED\xCE\xF3\xA3\xBAnID = 299, m_fpResource = 0\n"
              "\xB4\xED\xCE\xF3\xA3\xBA\xC9\xEA\xC7\xEB\xBF\xD5\xBC\xE4\xCA\xA7\xB0\xDC\xA3\xA1m_"
              "pAlpha\xA3\xACsize \xA3\xBD 12\n");
}
