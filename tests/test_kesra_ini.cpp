/* test_kesra_ini.cpp - kesra-ini: a description built into a file that the
 * library reads back field for field, the dump that builds the same bytes
 * again, UTF-8 strings stored as GBK and back, and the command line's
 * progress and error messages. */
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>

#include "kesra.h"
#include "tests/test_bitmap_helpers.h"
#include "tools/kesra-ini/ini_tool.h"

using namespace kesra;
using namespace kesra::test;

namespace {

const char* const kDescription = R"(# two pages
version "Ver 1.3 test"
page 7 backgrounds 3
button
  id 0x10
  type 2
  rect -4 40 139 79   # a rectangle reaching off the screen
  images 300 301 4294967295
  color 0xF800
  font 24
  align 1
  action 100
  param 9
  name "go \"home\""
  text 0 "Home"
  text 2 "\xBC\xD2"
button
  text 3 "tab\there"
page 8 backgrounds 0
page 9 backgrounds 1
button hex 00112233445566778899AABBCCDDEEFF00112233445566778899AABBCCDDEEFF00112233445566778899AABBCCDDEEFF00112233445566778899AABBCCDDEEFF00112233445566778899AABBCCDDEEFF00112233445566778899AABBCCDDEEFF00112233445566778899AABBCCDDEEFF00112233445566778899AABBCCDDEEFF00112233445566778899AABBCCDDEEFF00112233
  text 1 hex 7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F
)";

kesra_ini::Config parse(const std::string& text, std::string* error) {
    kesra_ini::Config c;
    EXPECT_TRUE(kesra_ini::parse_description(text, "menu.txt", &c, error)) << *error;
    return c;
}

std::string parse_error(const std::string& text) {
    kesra_ini::Config c;
    std::string error;
    EXPECT_FALSE(kesra_ini::parse_description(text, "menu.txt", &c, &error));
    return error;
}

int run_tool(const std::string& args, std::string* output) {
    const std::string command = std::string(KESRA_INI_EXE) + " " + args + " 2>&1";
    FILE* p = popen(command.c_str(), "r");
    if (!p) return -1;
    char buffer[4096];
    size_t n;
    output->clear();
    while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) output->append(buffer, n);
    const int status = pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string text_of(CIniCtrl& ini, int page, int button, int text) {
    char buf[129] = {};
    return ini.ReadButtonText(page, button, text, buf, 128) ? std::string(buf) : "(failed)";
}

}  // namespace

TEST(KesraIni, BuiltFilesReadBackFieldForField) {
    std::string error;
    const std::string path = scratch_dir() + "/menu.ini";
    write_bytes(path, kesra_ini::encode(parse(kDescription, &error)));
    ASSERT_EQ(CIniCtrl::OpenFile(reinterpret_cast<const WCHAR*>(wide(path).c_str())), 1);
    CIniCtrl ini;
    char version[32];
    ASSERT_EQ(ini.ReadVersion(version), 1);
    EXPECT_STREQ(version, "Ver 1.3 test");
    EXPECT_EQ(ini.GetButtonNum(0), 2);
    EXPECT_EQ(ini.GetBackgroundNum(0), 3);
    EXPECT_EQ(ini.GetButtonNum(1), 0);
    EXPECT_EQ(ini.GetBackgroundNum(2), 1);
    tagINIBUTTON b;
    ASSERT_EQ(ini.ReadButton(0, 0, &b), 1);
    EXPECT_EQ(b.dwButtonID, 0x10u);
    EXPECT_EQ(b.left, -4);
    EXPECT_EQ(b.bottom, 79);
    EXPECT_EQ(b.dwImageDisabled, 0xFFFFFFFFu);
    EXPECT_EQ(b.dwParam, 9u);
    EXPECT_STREQ(b.szName, "go \"home\"");
    for (uint8_t r : b.reserved) ASSERT_EQ(r, 0);
    EXPECT_EQ(text_of(ini, 0, 0, 0), "Home");
    EXPECT_EQ(text_of(ini, 0, 0, 1), "");
    EXPECT_EQ(text_of(ini, 0, 0, 2), "\xBC\xD2");
    ASSERT_EQ(ini.ReadButton(0, 1, &b), 1);
    const tagINIBUTTON zero{};
    EXPECT_EQ(std::memcmp(&b, &zero, sizeof b), 0);
    EXPECT_EQ(text_of(ini, 0, 1, 3), "tab\there");
    ASSERT_EQ(ini.ReadButton(2, 0, &b), 1);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&b);
    for (int i = 0; i < 148; ++i) ASSERT_EQ(bytes[i], static_cast<uint8_t>((i % 16) * 0x11)) << i;
    uint8_t text[128];
    ASSERT_EQ(ini.ReadButtonText(2, 0, 1, text, 128), 1);
    for (uint8_t t : text) ASSERT_EQ(t, 0x7F);
    CIniCtrl::CloseFile();
}

TEST(KesraIni, DumpBuildsTheSameBytesAgain) {
    std::string error;
    const std::vector<uint8_t> file = kesra_ini::encode(parse(kDescription, &error));
    kesra_ini::Config back;
    ASSERT_TRUE(kesra_ini::decode(file, &back, &error)) << error;
    const std::string dumped = kesra_ini::describe(back);
    EXPECT_NE(dumped.find("  name \"go \\\"home\\\"\""), std::string::npos) << dumped;
    EXPECT_NE(dumped.find("  text 2 \"家\""), std::string::npos) << dumped;  // the GBK pair BC D2
    EXPECT_EQ(kesra_ini::encode(parse(dumped, &error)), file);
    /* Byte-exact also where the fields cannot say it: a name without its
     * terminator, bytes after a text's end. */
    kesra_ini::Config odd = back;
    odd.pages[0].buttons[0].record[56 + 31] = 'x';
    odd.pages[0].buttons[1].texts[0][100] = 1;
    const std::vector<uint8_t> odd_file = kesra_ini::encode(odd);
    ASSERT_TRUE(kesra_ini::decode(odd_file, &back, &error)) << error;
    EXPECT_EQ(kesra_ini::encode(parse(kesra_ini::describe(back), &error)), odd_file);
}

TEST(KesraIni, Utf8StringsAreStoredAsGbkAndDumpedBack) {
    /* 路 C2 B7, 线 CF DF, 菜单 B2 CB B5 A5, the euro 80; \xNN stays one byte. */
    const std::string description =
        "version \"Ver 1.0 菜单\"\npage 1 backgrounds 0\nbutton\n"
        "  name \"菜单\"\n  text 0 \"路线 €5\"\n  text 1 \"\\xC2\\xB7a\\x81\"\n";
    std::string error;
    const std::vector<uint8_t> file = kesra_ini::encode(parse(description, &error));
    const std::string path = scratch_dir() + "/gbk.ini";
    write_bytes(path, file);
    ASSERT_EQ(CIniCtrl::OpenFile(reinterpret_cast<const WCHAR*>(wide(path).c_str())), 1);
    CIniCtrl ini;
    char version[32];
    ASSERT_EQ(ini.ReadVersion(version), 1);
    EXPECT_STREQ(version, "Ver 1.0 \xB2\xCB\xB5\xA5");
    tagINIBUTTON b;
    ASSERT_EQ(ini.ReadButton(0, 0, &b), 1);
    EXPECT_STREQ(b.szName, "\xB2\xCB\xB5\xA5");
    EXPECT_EQ(text_of(ini, 0, 0, 0),
              "\xC2\xB7\xCF\xDF \x80"
              "5");
    EXPECT_EQ(text_of(ini, 0, 0, 1), "\xC2\xB7\x61\x81");
    CIniCtrl::CloseFile();

    kesra_ini::Config back;
    ASSERT_TRUE(kesra_ini::decode(file, &back, &error)) << error;
    const std::string dumped = kesra_ini::describe(back);
    EXPECT_NE(dumped.find("version \"Ver 1.0 菜单\""), std::string::npos) << dumped;
    EXPECT_NE(dumped.find("  text 0 \"路线 €5\""), std::string::npos) << dumped;
    EXPECT_NE(dumped.find("  text 1 \"路a\\x81\""), std::string::npos) << dumped;  // a lone lead byte
    EXPECT_EQ(kesra_ini::encode(parse(dumped, &error)), file);
}

TEST(KesraIni, CharactersGbkCannotHoldAreRefusedByLine) {
    const std::string head = "page 1 backgrounds 0\nbutton\n";
    EXPECT_EQ(parse_error(head + "  text 0 \"ok กข\"\n"), "menu.txt:3: 'ก' (U+0E01) has no GBK code");
    EXPECT_EQ(parse_error(head + "  name \"\xF0\x9F\x98\x80\"\n"),
              "menu.txt:3: '\xF0\x9F\x98\x80' (U+1F600) has no GBK code");
    EXPECT_EQ(parse_error(head + "  text 1 \"\xB7\xCF\"\n"), "menu.txt:3: the byte 0xB7 is not UTF-8");
    std::string wide_text;
    for (int i = 0; i < 64; ++i) wide_text += "线";  // 192 bytes of UTF-8, 128 of GBK
    EXPECT_EQ(parse_error(head + "  text 2 \"" + wide_text + "\"\n"),
              "menu.txt:3: a text holds at most 127 bytes, not 128");
}

TEST(KesraIni, DescriptionErrorsNameTheLine) {
    std::string many_buttons = "page 1 backgrounds 0\n";
    for (int i = 0; i < 81; ++i) many_buttons += "button\n";
    EXPECT_EQ(parse_error(many_buttons), "menu.txt:82: more than 80 buttons on page 0");
    std::string many_pages;
    for (int i = 0; i < 161; ++i) many_pages += "page 1 backgrounds 0\n";
    EXPECT_EQ(parse_error(many_pages), "menu.txt:161: more than 160 pages");
    EXPECT_EQ(parse_error("page 1 backgrounds 0\nbutton\n text 0 \"" + std::string(128, 'a') + "\"\n"),
              "menu.txt:3: a text holds at most 127 bytes, not 128");
    EXPECT_EQ(parse_error("page 1 backgrounds 0\nbutton hex 0011\n"),
              "menu.txt:2: expected 296 hex digits, not 4");
    EXPECT_EQ(parse_error("page 1 backgrounds 0\nbutton\n  text 4 \"x\"\n"),
              "menu.txt:3: 4 is out of range 0 to 3");
    EXPECT_EQ(parse_error("version \"" + std::string(32, 'V') + "\"\n"),
              "menu.txt:1: the version holds at most 31 bytes");
    EXPECT_EQ(parse_error("page 1 backgrounds 0\nbutton\n  id 4294967296\n"),
              "menu.txt:3: 4294967296 is out of range 0 to 4294967295");
}

TEST(KesraIni, DecodeRefusesWhatPointsOutsideTheFile) {
    std::string error;
    const std::vector<uint8_t> file = kesra_ini::encode(parse(kDescription, &error));
    kesra_ini::Config c;
    EXPECT_FALSE(kesra_ini::decode(std::vector<uint8_t>(file.begin(), file.begin() + 40), &c, &error));
    EXPECT_EQ(error, "only 40 bytes; the header alone is 44");
    EXPECT_FALSE(kesra_ini::decode(std::vector<uint8_t>(file.begin(), file.begin() + 100), &c, &error));
    EXPECT_EQ(error, "page 0: 2 buttons at 92 run past the end of the file");
    EXPECT_FALSE(kesra_ini::decode(std::vector<uint8_t>(file.begin(), file.end() - 1), &c, &error));
    EXPECT_EQ(error, "page 2: text 3 of button 0 at " + std::to_string(file.size() - 128) +
                         " lies past the end of the file");
}

TEST(KesraIni, CommandLineBuildsDumpsAndReports) {
    const std::string desc = scratch_dir() + "/cli.txt";
    const std::string ini = scratch_dir() + "/cli.ini";
    const std::string dumped = scratch_dir() + "/cli_dump.txt";
    write_bytes(desc, std::vector<uint8_t>(kDescription, kDescription + std::strlen(kDescription)));
    std::string out;
    ASSERT_EQ(run_tool("build " + ini + " " + desc, &out), 0) << out;
    EXPECT_NE(out.find("page 0 (id 7): 2 buttons, 3 backgrounds"), std::string::npos) << out;
    EXPECT_NE(out.find("wrote " + ini + " (3 pages"), std::string::npos) << out;
    ASSERT_EQ(run_tool("dump " + ini + " " + dumped, &out), 0) << out;
    const std::string again = scratch_dir() + "/cli_again.ini";
    ASSERT_EQ(run_tool("build --quiet " + again + " " + dumped, &out), 0) << out;
    EXPECT_EQ(out, "");
    EXPECT_EQ(read_text(again), read_text(ini));

    write_bytes(desc, {'p', 'a', 'g', 'e', '\n'});
    EXPECT_EQ(run_tool("build " + ini + " " + desc, &out), 1);
    EXPECT_EQ(out, "kesra-ini: " + desc + ":1: expected: page ID backgrounds N\n");
    const std::string text = read_text(ini);
    write_bytes(ini, std::vector<uint8_t>(text.begin(), text.begin() + 50));
    EXPECT_EQ(run_tool("dump " + ini, &out), 1);
    EXPECT_EQ(out, "kesra-ini: " + ini + ": the page table (3 pages at 44) runs past the end of the file\n");
    write_bytes(desc, {'v', 'e', 'r', 's', 'i', 'o', 'n', ' ', '"', 'V', '2', '"', '\n'});
    EXPECT_EQ(run_tool("build --quiet " + ini + " " + desc, &out), 0);
    EXPECT_NE(out.find("the library will refuse the file"), std::string::npos) << out;
}
