/* ini_tool.h - kesra-ini's pieces: a UI configuration file as pages of
 * button records with four texts each, the file written from it and read
 * back, and the readable description it is made from and dumped to. Errors
 * come back as text naming the file (and the line of a description). */
#ifndef KESRA_TOOLS_INI_TOOL_H
#define KESRA_TOOLS_INI_TOOL_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "anim/ini_format.h"

namespace kesra_ini {

using Record = std::array<uint8_t, kesra::ini::kButtonBytes>;
using Text = std::array<uint8_t, kesra::ini::kTextBytes>;  // plain, NUL-padded

struct Button {
    Record record{};
    std::array<Text, kesra::ini::kTextsPerButton> texts{};
};

struct Page {
    uint32_t id = 0;
    int32_t backgrounds = 0;
    std::vector<Button> buttons;
};

struct Config {
    std::string version = "Ver 1.0";
    std::vector<Page> pages;
};

/* Header, page table, the button records page by page, then the text area
 * (a 32-byte tag block, then 512 scrambled bytes per button). */
std::vector<uint8_t> encode(const Config& config);
/* The whole file read back; every offset and count is checked against the
 * file's size and the library's limits. */
bool decode(const std::vector<uint8_t>& data, Config* config, std::string* error);

/* The description: `name` is used in error messages as NAME:LINE. Its
 * strings are UTF-8 and become GBK in the file; a \xNN escape is one byte of
 * the file as it is. */
bool parse_description(const std::string& text, const std::string& name, Config* config, std::string* error);
std::string describe(const Config& config);

/* The description's UTF-8 as the file's GBK: false, with why, for bytes that
 * are not UTF-8 or a character that GBK cannot hold. */
bool gbk_from_utf8(const std::string& utf8, std::string* gbk, std::string* why);
/* The GBK character at bytes (n of them left) appended as UTF-8: its length
 * in bytes, or 0 when the bytes are no character that converts back to the
 * same bytes (nothing appended then). */
size_t gbk_char_as_utf8(const uint8_t* bytes, size_t n, std::string* utf8);

bool read_file(const std::string& path, std::vector<uint8_t>* data, std::string* error);
bool write_file(const std::string& path, const std::vector<uint8_t>& data, std::string* error);

}  // namespace kesra_ini

#endif
