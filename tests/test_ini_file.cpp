/* test_ini_file.cpp - CIniCtrl: version checks, page and button lookups at
 * their limits, text offsets and unscrambling, the main file opened for one
 * call and the previous file put back, and damaged files refused without a
 * byte written outside the caller's buffer. Files are made with kesra-ini's
 * writer, which lays texts out in order rather than by computed offset. */
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "anim/ini_format.h"
#include "bitmap/pack_format.h"
#include "kesra.h"
#include "tests/test_bitmap_helpers.h"
#include "tools/kesra-ini/ini_tool.h"

using namespace kesra;
using namespace kesra::test;

namespace {

const std::string kGbkInvalid = "\xC5\xE4\xD6\xC3\xCE\xC4\xBC\xFE\xCE\xDE\xD0\xA7";  // 配置文件无效

/* A button whose record and texts name their page and index. */
kesra_ini::Button make_button(int page, int index) {
    kesra_ini::Button b;
    for (size_t i = 0; i < b.record.size(); ++i)
        b.record[i] = static_cast<uint8_t>(page * 31 + index * 7 + i);
    for (int t = 0; t < 4; ++t) {
        const std::string s =
            "p" + std::to_string(page) + "b" + std::to_string(index) + "t" + std::to_string(t);
        std::memcpy(b.texts[t].data(), s.data(), s.size());
    }
    return b;
}

kesra_ini::Config make_config(const std::vector<int>& buttons_per_page,
                              const std::string& version = "Ver 1.0") {
    kesra_ini::Config c;
    c.version = version;
    for (size_t p = 0; p < buttons_per_page.size(); ++p) {
        kesra_ini::Page page;
        page.id = static_cast<uint32_t>(100 + p);
        page.backgrounds = static_cast<int32_t>(p + 2);
        for (int b = 0; b < buttons_per_page[p]; ++b)
            page.buttons.push_back(make_button(static_cast<int>(p), b));
        c.pages.push_back(page);
    }
    return c;
}

std::string write_config(const std::string& name, const kesra_ini::Config& c) {
    const std::string path = scratch_dir() + "/" + name;
    write_bytes(path, kesra_ini::encode(c));
    return path;
}

int open(const std::string& path) {
    return CIniCtrl::OpenFile(reinterpret_cast<const WCHAR*>(wide(path).c_str()));
}

std::string text_of(CIniCtrl& ini, int page, int button, int text) {
    char buf[129] = {};
    if (!ini.ReadButtonText(page, button, text, buf, 128)) return "(failed)";
    return buf;
}

bool same_record(const tagINIBUTTON& got, const kesra_ini::Record& want) {
    return !std::memcmp(&got, want.data(), want.size());
}

}  // namespace

TEST(IniFile, VersionsOneDotAnythingOpenOthersAreLogged) {
    CIniCtrl ini;
    for (const char* good : {"Ver 1.0", "Ver 1.12 skin", "skin Ver 1.x"}) {
        SCOPED_TRACE(good);
        clear_log();
        ASSERT_EQ(open(write_config("good.ini", make_config({2}, good))), 1);
        char version[32];
        std::memset(version, 'Z', sizeof version);
        EXPECT_EQ(ini.ReadVersion(version), 1);
        EXPECT_STREQ(version, good);
        EXPECT_EQ(log_text(), "");
    }
    for (const char* bad : {"Ver 2.0", "ver 1.0", "Ver 1", ""}) {
        SCOPED_TRACE(bad);
        clear_log();
        ASSERT_EQ(open(write_config("good.ini", make_config({2}))), 1);
        EXPECT_EQ(open(write_config("bad.ini", make_config({2}, bad))), 0);
        EXPECT_EQ(log_text(), kGbkInvalid);
        char version[32];
        EXPECT_EQ(ini.ReadVersion(version), 0);  // the failed open left no file
        EXPECT_EQ(ini.GetButtonNum(0), 0);
    }
    EXPECT_EQ(open(scratch_dir() + "/missing.ini"), 0);
}

TEST(IniFile, PagesAndButtonsAtTheirLimits) {
    CIniCtrl ini;
    const kesra_ini::Config c = make_config({3, 0, 80});
    ASSERT_EQ(open(write_config("limits.ini", c)), 1);
    EXPECT_EQ(ini.GetButtonNum(0), 3);
    EXPECT_EQ(ini.GetButtonNum(2), 80);
    EXPECT_EQ(ini.GetBackgroundNum(2), 4);
    EXPECT_EQ(ini.GetButtonNum(3), 0);  // page nPageCount
    EXPECT_EQ(ini.GetBackgroundNum(-1), 0);
    tagINIBUTTON b;
    EXPECT_EQ(ini.ReadButton(0, 2, &b), 1);
    EXPECT_TRUE(same_record(b, c.pages[0].buttons[2].record));
    EXPECT_EQ(ini.ReadButton(2, 79, &b), 1);
    EXPECT_TRUE(same_record(b, c.pages[2].buttons[79].record));
    EXPECT_EQ(ini.ReadButton(0, 3, &b), 0);  // index nButtonCount
    EXPECT_EQ(ini.ReadButton(0, -1, &b), 0);
    EXPECT_EQ(ini.ReadButton(1, 0, &b), 0);  // a page without buttons
    EXPECT_EQ(ini.ReadButton(0, 0, nullptr), 0);
    EXPECT_EQ(text_of(ini, 2, 79, 3), "p2b79t3");
    CIniCtrl::CloseFile();
    EXPECT_EQ(ini.GetButtonNum(0), 0);
    EXPECT_EQ(ini.ReadButton(0, 0, &b), 0);
    EXPECT_EQ(text_of(ini, 0, 0, 0), "(failed)");
}

TEST(IniFile, TextOffsetCountsTheButtonsOfEarlierPages) {
    EXPECT_EQ(ini::text_offset(1000, 3, 1, 2), 1000u + 32 + 3 * 512 + 6 * 128);
    const kesra_ini::Config c = make_config({3, 5});
    std::vector<uint8_t> file = kesra_ini::encode(c);
    const uint32_t text_area = pack::read_le32(file.data() + 40);
    const size_t at = text_area + 32 + 3 * 512 + 6 * 128;
    std::vector<uint8_t> stored(file.begin() + static_cast<long>(at),
                                file.begin() + static_cast<long>(at) + 128);
    ini::unscramble_text(stored.data(), stored.size());
    EXPECT_STREQ(reinterpret_cast<const char*>(stored.data()), "p1b1t2");  // the writer agrees
    /* A marker of our own at that offset is what the library reads. */
    uint8_t marker[128] = "marker";
    ini::scramble_text(marker, sizeof marker);
    std::memcpy(file.data() + at, marker, sizeof marker);
    write_bytes(scratch_dir() + "/offset.ini", file);
    CIniCtrl ini;
    ASSERT_EQ(open(scratch_dir() + "/offset.ini"), 1);
    EXPECT_EQ(text_of(ini, 1, 1, 2), "marker");
    EXPECT_EQ(text_of(ini, 1, 1, 1), "p1b1t1");
    EXPECT_EQ(text_of(ini, 0, 80, 0), "(failed)");
    EXPECT_EQ(text_of(ini, 160, 0, 0), "(failed)");
    EXPECT_EQ(text_of(ini, 0, 0, 4), "(failed)");
}

TEST(IniFile, ATextReadStopsAt128BytesUnscrambled) {
    kesra_ini::Config c = make_config({1});
    for (int i = 0; i < 128; ++i) c.pages[0].buttons[0].texts[1][i] = static_cast<uint8_t>(255 - i);
    ASSERT_EQ(open(write_config("long.ini", c)), 1);
    CIniCtrl ini;
    uint8_t buf[256];
    std::memset(buf, 0xEE, sizeof buf);
    EXPECT_EQ(ini.ReadButtonText(0, 0, 1, buf, 200), 1);
    for (int i = 0; i < 128; ++i) ASSERT_EQ(buf[i], 255 - i) << i;
    for (int i = 128; i < 256; ++i) ASSERT_EQ(buf[i], 0xEE) << i;
    std::memset(buf, 0xEE, sizeof buf);
    EXPECT_EQ(ini.ReadButtonText(0, 0, 1, buf, 5), 1);
    EXPECT_EQ(buf[4], 251);
    EXPECT_EQ(buf[5], 0xEE);
    EXPECT_EQ(ini.ReadButtonText(0, 0, 1, buf, -3), 1);
    EXPECT_EQ(buf[5], 0xEE);
}

TEST(IniFile, MainFileIsUsedForOneCallAndTheSkinStaysOpen) {
    const std::string disk = scratch_dir() + "/Disk";
    mkdir(disk.c_str(), 0755);
    mkdir((disk + "/Orvantis").c_str(), 0755);
    mkdir((disk + "/Orvantis/skin").c_str(), 0755);
    const kesra_ini::Config main_config = make_config({2, 4});
    kesra_ini::Config skin_config = make_config({2, 4});
    for (auto& page : skin_config.pages)
        for (auto& b : page.buttons) b.record.fill(0x5A);
    write_bytes(disk + "/Orvantis.ini", kesra_ini::encode(main_config));
    write_bytes(disk + "/Orvantis/skin/a.ini", kesra_ini::encode(skin_config));
    const std::vector<uint8_t> skin_bytes = kesra_ini::encode(skin_config);
    /* The library's paths use backslashes. */
    const std::string skin = disk + "\\Orvantis\\skin\\a.ini";
    ASSERT_EQ(open(skin), 1);
    CIniCtrl ini;
    tagINIBUTTON b;
    ASSERT_EQ(ini.ReadNaviConfig(1, 3, &b), 1);
    EXPECT_TRUE(same_record(b, main_config.pages[1].buttons[3].record));
    ASSERT_EQ(ini.ReadButton(1, 3, &b), 1);
    EXPECT_TRUE(same_record(b, skin_config.pages[1].buttons[3].record));

    tagINIBUTTON written{};
    written.dwButtonID = 77;
    written.left = -5;
    std::strcpy(written.szName, "written");
    ASSERT_EQ(ini.WriteButton(1, 2, &written), 1);
    ASSERT_EQ(ini.ReadButton(1, 2, &b), 1);  // the skin is open again
    EXPECT_TRUE(same_record(b, skin_config.pages[1].buttons[2].record));
    EXPECT_EQ(read_text(disk + "/Orvantis/skin/a.ini"), std::string(skin_bytes.begin(), skin_bytes.end()));
    ASSERT_EQ(ini.ReadNaviConfig(1, 2, &b), 1);
    EXPECT_EQ(std::memcmp(&b, &written, sizeof b), 0);
    ASSERT_EQ(ini.ReadNaviConfig(1, 1, &b), 1);  // its neighbours are untouched
    EXPECT_TRUE(same_record(b, main_config.pages[1].buttons[1].record));

    /* A failed call puts the skin back as well. */
    EXPECT_EQ(ini.ReadNaviConfig(1, 4, &b), 0);
    EXPECT_EQ(ini.WriteButton(2, 0, &written), 0);
    ASSERT_EQ(ini.ReadButton(1, 3, &b), 1);
    EXPECT_TRUE(same_record(b, skin_config.pages[1].buttons[3].record));
    EXPECT_EQ(text_of(ini, 1, 3, 0), "p1b3t0");

    /* Without a main file beside the folder the calls fail, and the skin is back. */
    mkdir((scratch_dir() + "/NoMain").c_str(), 0755);
    mkdir((scratch_dir() + "/NoMain/Orvantis").c_str(), 0755);
    write_bytes(scratch_dir() + "/NoMain/Orvantis/b.ini", skin_bytes);
    ASSERT_EQ(open(scratch_dir() + "/NoMain/Orvantis/b.ini"), 1);
    EXPECT_EQ(ini.ReadNaviConfig(1, 3, &b), 0);
    EXPECT_EQ(ini.WriteButton(1, 3, &written), 0);
    ASSERT_EQ(ini.ReadButton(1, 3, &b), 1);
    EXPECT_TRUE(same_record(b, skin_config.pages[1].buttons[3].record));

    /* A path without the folder gives the main file no place: the calls fail
     * and the open file stays usable. */
    ASSERT_EQ(open(write_config("plain.ini", skin_config)), 1);
    EXPECT_EQ(ini.ReadNaviConfig(0, 0, &b), 0);
    EXPECT_EQ(ini.WriteButton(0, 0, &written), 0);
    EXPECT_EQ(ini.GetButtonNum(1), 4);
    CIniCtrl::CloseFile();
    EXPECT_EQ(ini.ReadNaviConfig(0, 0, &b), 0);  // nothing open, nothing reopened
    EXPECT_EQ(ini.GetButtonNum(1), 0);
}

TEST(IniFile, DamagedFilesAreRefusedAndNothingOutsideABufferIsWritten) {
    CIniCtrl ini;
    const kesra_ini::Config c = make_config({3, 5});
    const std::vector<uint8_t> good = kesra_ini::encode(c);
    const std::string good_path = write_config("good.ini", c);
    auto patched = [&](size_t at, uint32_t value) {
        std::vector<uint8_t> f = good;
        pack::write_le32(f.data() + at, value);
        write_bytes(scratch_dir() + "/patched.ini", f);
        return open(scratch_dir() + "/patched.ini");
    };
    clear_log();
    EXPECT_EQ(patched(32, 161), 0);          // pages past 160
    EXPECT_EQ(patched(32, 0xFFFFFFFF), 0);   // a negative page count
    EXPECT_EQ(patched(36, 60), 0);           // the page table elsewhere
    EXPECT_EQ(patched(44 + 16 + 8, 81), 0);  // page 1 with 81 buttons
    EXPECT_EQ(patched(32, 4), 0);            // two more pages, read from button bytes: 0x0B0A0908 buttons
    EXPECT_NE(log_text().find(kGbkInvalid), std::string::npos);

    /* Records and texts outside the file: lookups fail, buffers keep their bytes. */
    ASSERT_EQ(patched(44 + 16 + 4, static_cast<uint32_t>(good.size() - 100)), 1);
    struct Guarded {
        uint8_t before[16];
        tagINIBUTTON button;
        uint8_t after[16];
    } g;
    std::memset(&g, 0xC3, sizeof g);
    EXPECT_EQ(ini.ReadButton(1, 0, &g.button), 0);
    for (size_t i = 0; i < sizeof g; ++i) ASSERT_EQ(reinterpret_cast<uint8_t*>(&g)[i], 0xC3) << i;
    EXPECT_EQ(ini.ReadButton(0, 2, &g.button), 1);  // the file is still usable
    EXPECT_TRUE(same_record(g.button, c.pages[0].buttons[2].record));
    EXPECT_EQ(patched(40, 0xFFFFFF00), 1);
    char text[140];
    std::memset(text, 0x11, sizeof text);
    EXPECT_EQ(ini.ReadButtonText(0, 0, 0, text, 128), 0);
    for (char ch : text) ASSERT_EQ(ch, 0x11);

    /* Every truncation of a good file: refused, or read in full, never in part. */
    for (size_t cut = 0; cut < good.size(); cut += 37) {
        SCOPED_TRACE(cut);
        write_bytes(scratch_dir() + "/cut.ini",
                    std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(cut)));
        if (!open(scratch_dir() + "/cut.ini")) continue;
        for (int page = 0; page < 2; ++page)
            for (int index = 0; index < 5; ++index) {
                std::memset(&g, 0xC3, sizeof g);
                if (ini.ReadButton(page, index, &g.button))
                    ASSERT_TRUE(same_record(g.button, c.pages[page].buttons[index].record));
                else
                    for (size_t i = 0; i < sizeof g; ++i)
                        ASSERT_EQ(reinterpret_cast<uint8_t*>(&g)[i], 0xC3) << i;
                char t[129] = {};
                const bool in_page = index < static_cast<int>(c.pages[page].buttons.size());
                if (in_page && ini.ReadButtonText(page, index, 1, t, 128)) {
                    EXPECT_EQ(std::string(t),
                              "p" + std::to_string(page) + "b" + std::to_string(index) + "t1");
                }
            }
    }
    /* A header shorter than 44 bytes never passes on the previous file's header. */
    ASSERT_EQ(open(good_path), 1);
    write_bytes(scratch_dir() + "/short.ini", std::vector<uint8_t>(good.begin(), good.begin() + 20));
    EXPECT_EQ(open(scratch_dir() + "/short.ini"), 0);
}

TEST(IniFile, PathsPast259CharactersAreRefused) {
    CIniCtrl ini;
    const std::string dir = scratch_dir() + "/";
    const std::string longest = dir + std::string(259 - dir.size() - 4, 'n') + ".ini";
    ASSERT_EQ(longest.size(), 259u);
    write_bytes(longest, kesra_ini::encode(make_config({1, 2})));
    ASSERT_EQ(open(longest), 1);
    EXPECT_EQ(ini.GetButtonNum(1), 2);
    const std::string too_long = dir + std::string(260 - dir.size() - 4, 'n') + ".ini";
    write_bytes(too_long, kesra_ini::encode(make_config({7})));
    EXPECT_EQ(open(too_long), 0);
    EXPECT_EQ(ini.GetButtonNum(1), 2);  // the open file is kept
    EXPECT_EQ(text_of(ini, 1, 1, 0), "p1b1t0");
}
