/* gbk_text.cpp - the description's strings are UTF-8, the file holds them in
 * code page 936 (GBK); both directions go through the library's own code
 * page table. A character is written out as text only when it converts back
 * to the very bytes it came from, so a dump always builds the same file. */
#include <cstdio>

#include "platform/cp936_table.h"
#include "tools/kesra-ini/ini_tool.h"

namespace kesra_ini {

namespace {

using namespace kesra::platform;

/* One UTF-8 sequence at text[*i]: its code point, or false for bytes that are
 * not UTF-8 (stray continuation bytes, overlong forms, surrogates, cut-off
 * sequences, values past U+10FFFF). */
bool next_code_point(const std::string& text, size_t* i, uint32_t* code_point) {
    const auto byte = [&text](size_t k) { return static_cast<uint8_t>(text[k]); };
    const uint8_t lead = byte(*i);
    size_t length = 0;
    uint32_t value = 0, smallest = 0;
    if (lead < 0x80) {
        *code_point = lead;
        ++*i;
        return true;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, smallest = 0x10000;
    } else {
        return false;
    }
    if (*i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(*i + k) & 0xC0) != 0x80) return false;
        value = value << 6 | (byte(*i + k) & 0x3F);
    }
    if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value < 0xE000)) return false;
    *code_point = value;
    *i += length;
    return true;
}

void append_utf8(uint32_t c, std::string* out) {
    if (c < 0x80) {
        *out += static_cast<char>(c);
    } else if (c < 0x800) {
        *out += static_cast<char>(0xC0 | c >> 6);
        *out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *out += static_cast<char>(0xE0 | c >> 12);
        *out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        *out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string code_point_name(uint32_t c) {
    char name[16];
    std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(c));
    return name;
}

}  // namespace

bool gbk_from_utf8(const std::string& utf8, std::string* gbk, std::string* why) {
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        const size_t start = i;
        uint32_t c = 0;
        if (!next_code_point(utf8, &i, &c)) {
            char byte[8];
            std::snprintf(byte, sizeof byte, "0x%02X", static_cast<uint8_t>(utf8[start]));
            *why = std::string("the byte ") + byte + " is not UTF-8";
            return false;
        }
        const uint16_t bytes = c <= 0xFFFF ? cp936_bytes_of(static_cast<char16_t>(c)) : 0;
        if (bytes == 0 && c != 0) {
            *why = "'" + utf8.substr(start, i - start) + "' (" + code_point_name(c) + ") has no GBK code";
            return false;
        }
        if (bytes > 0xFF) out += static_cast<char>(bytes >> 8);
        out += static_cast<char>(bytes & 0xFF);
    }
    *gbk = std::move(out);
    return true;
}

size_t gbk_char_as_utf8(const uint8_t* bytes, size_t n, std::string* utf8) {
    if (n == 0) return 0;
    char16_t unit = 0;
    size_t length = 1;
    if (bytes[0] < 0x80 || bytes[0] == kCp936EuroByte) {
        unit = bytes[0] == kCp936EuroByte ? kCp936Euro : bytes[0];
    } else if (n >= 2) {
        unit = cp936_pair_unit(bytes[0], bytes[1]);
        length = 2;
    }
    // Private-use characters say nothing readable: they stay as bytes.
    if (!unit || (unit >= 0xE000 && unit < 0xF900)) return 0;
    const uint16_t back = length == 2 ? static_cast<uint16_t>(bytes[0] << 8 | bytes[1]) : bytes[0];
    if (cp936_bytes_of(unit) != back) return 0;
    append_utf8(unit, utf8);
    return length;
}

}  // namespace kesra_ini
