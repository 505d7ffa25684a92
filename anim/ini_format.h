/* ini_format.h - the UI configuration file's layout and its plain routines,
 * shared by CIniCtrl and kesra-ini: header and page records, the version
 * test, where a button's text lives, and the text scrambling. Offsets are
 * bytes from the start of the file; every routine stays inside its buffer. */
#ifndef KESRA_ANIM_INI_FORMAT_H
#define KESRA_ANIM_INI_FORMAT_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "wintypes.h"

namespace kesra::ini {

constexpr size_t kHeaderBytes = 44;
constexpr size_t kVersionBytes = 32;
constexpr size_t kPageBytes = 16;
constexpr size_t kButtonBytes = 148;
constexpr size_t kTextBytes = 128;
constexpr int kTextsPerButton = 4;
constexpr size_t kTextAreaSkip = 32;  // a block at the start of the text area, never read
constexpr int kMaxPages = 160;
constexpr int kMaxButtons = 80;
constexpr int kPathChars = 260;  // 259 characters and the terminator
constexpr const char* VERSION_MARK = "Ver 1.";

/* The scrambling key: text byte i is stored as (byte + kTextKey[i]) mod 256. */
extern const uint8_t kTextKey[kTextBytes];
void scramble_text(uint8_t* bytes, size_t count);
void unscramble_text(uint8_t* bytes, size_t count);

struct Header {
    char version[kVersionBytes];
    int32_t page_count;
    uint32_t page_offset;
    uint32_t text_offset;
};

struct Page {
    uint32_t id;
    uint32_t button_offset;
    int32_t button_count;
    int32_t background_count;
};

Header read_header(const uint8_t* bytes);  // kHeaderBytes
void write_header(uint8_t* bytes, const Header& header);
Page read_page(const uint8_t* bytes);  // kPageBytes
void write_page(uint8_t* bytes, const Page& page);

/* "Ver 1." within the header read as a NUL-terminated string; the search
 * never passes the header's 44 bytes. */
bool has_version(const uint8_t* header);

/* The page table always follows the header: the page lookups go through the
 * offset field while the text sizes are read in order after the header, so
 * a file is consistent only with both at offset 44. */
bool header_is_usable(const Header& header, std::string* why);
bool page_is_usable(const Page& page, std::string* why);

/* Offset of text `text` of button `button` of page `page`: the text area,
 * its skipped block, 512 bytes for each button of the pages before, and 128
 * for each text before it in the page. buttons_before is that sum of counts. */
uint64_t text_offset(uint32_t text_area, uint64_t buttons_before, int button, int text);

/* The main file "Orvantis.ini" beside the "Orvantis" folder of `current`:
 * the path cut before its first "Orvantis". False when the path names no such
 * folder or the result would not fit in kPathChars. */
bool main_file_path(const std::u16string& current, std::u16string* main);
bool names_main_file(const std::u16string& path);

}  // namespace kesra::ini

#endif
