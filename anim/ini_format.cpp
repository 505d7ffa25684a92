/* ini_format.cpp - records of the UI configuration file, the version test,
 * text offsets, the key table and the main file's path. */
#include "anim/ini_format.h"

#include <cstring>

#include "bitmap/pack_format.h"

namespace kesra::ini {

using pack::read_le32;
using pack::write_le32;

/* Any fixed table serves; kesra-ini scrambles with this one. */
const uint8_t kTextKey[kTextBytes] = {
    0x53, 0x4E, 0x42, 0x41, 0x30, 0x56, 0x05, 0x6B, 0xD5, 0x84, 0x73, 0xE7, 0xCF, 0x6D, 0x40, 0x25,
    0x8A, 0x46, 0x3A, 0x35, 0xB2, 0x0B, 0x01, 0xD0, 0x4D, 0x72, 0x85, 0x22, 0x95, 0x93, 0x44, 0x58,
    0x96, 0x54, 0x41, 0xEE, 0x8C, 0x96, 0xC3, 0xB6, 0xFA, 0x21, 0xD3, 0xA7, 0x8A, 0x4F, 0x73, 0x6B,
    0xA8, 0x7B, 0x9E, 0xA6, 0xDD, 0x29, 0x03, 0x08, 0xEC, 0xF2, 0x82, 0x11, 0xAE, 0x36, 0x63, 0xA7,
    0xAD, 0x80, 0x58, 0x59, 0x83, 0xB7, 0x39, 0x71, 0xF0, 0x0A, 0x79, 0xBC, 0xBE, 0x99, 0x6B, 0x18,
    0x55, 0xE4, 0x37, 0xC2, 0x1D, 0xF4, 0x9A, 0x5C, 0x98, 0x4B, 0x61, 0xC1, 0x3B, 0x8D, 0xA3, 0x89,
    0x0F, 0xEB, 0xC1, 0x5B, 0x0C, 0x53, 0x1F, 0xF5, 0x30, 0x59, 0x9F, 0xFC, 0x63, 0xE3, 0xE2, 0x85,
    0x0A, 0x97, 0x3D, 0x5F, 0x6D, 0x06, 0x7D, 0x27, 0xC9, 0x95, 0x5B, 0x09, 0x34, 0x2F, 0xBE, 0x56,
};

void scramble_text(uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count && i < kTextBytes; ++i)
        bytes[i] = static_cast<uint8_t>(bytes[i] + kTextKey[i]);
}

void unscramble_text(uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count && i < kTextBytes; ++i)
        bytes[i] = static_cast<uint8_t>(bytes[i] - kTextKey[i]);
}

Header read_header(const uint8_t* bytes) {
    Header h;
    std::memcpy(h.version, bytes, kVersionBytes);
    h.page_count = static_cast<int32_t>(read_le32(bytes + 32));
    h.page_offset = read_le32(bytes + 36);
    h.text_offset = read_le32(bytes + 40);
    return h;
}

void write_header(uint8_t* bytes, const Header& h) {
    std::memcpy(bytes, h.version, kVersionBytes);
    write_le32(bytes + 32, static_cast<uint32_t>(h.page_count));
    write_le32(bytes + 36, h.page_offset);
    write_le32(bytes + 40, h.text_offset);
}

Page read_page(const uint8_t* bytes) {
    return Page{read_le32(bytes), read_le32(bytes + 4), static_cast<int32_t>(read_le32(bytes + 8)),
                static_cast<int32_t>(read_le32(bytes + 12))};
}

void write_page(uint8_t* bytes, const Page& p) {
    write_le32(bytes, p.id);
    write_le32(bytes + 4, p.button_offset);
    write_le32(bytes + 8, static_cast<uint32_t>(p.button_count));
    write_le32(bytes + 12, static_cast<uint32_t>(p.background_count));
}

bool has_version(const uint8_t* header) {
    const size_t length = strnlen(reinterpret_cast<const char*>(header), kHeaderBytes);
    const size_t mark = std::strlen(VERSION_MARK);
    for (size_t at = 0; at + mark <= length; ++at)
        if (!std::memcmp(header + at, VERSION_MARK, mark)) return true;
    return false;
}

bool header_is_usable(const Header& h, std::string* why) {
    if (h.page_count < 0 || h.page_count > kMaxPages) {
        *why = std::to_string(h.page_count) + " pages; a file holds 0 to " + std::to_string(kMaxPages);
        return false;
    }
    if (h.page_offset != kHeaderBytes) {
        *why =
            "the page table is at " + std::to_string(h.page_offset) + ", not straight after the header (44)";
        return false;
    }
    return true;
}

bool page_is_usable(const Page& p, std::string* why) {
    if (p.button_count < 0 || p.button_count > kMaxButtons) {
        *why = std::to_string(p.button_count) + " buttons; a page holds 0 to " + std::to_string(kMaxButtons);
        return false;
    }
    return true;
}

uint64_t text_offset(uint32_t text_area, uint64_t buttons_before, int button, int text) {
    const uint64_t per_button = kTextBytes * kTextsPerButton;
    return uint64_t{text_area} + kTextAreaSkip + buttons_before * per_button +
           (static_cast<uint64_t>(button) * kTextsPerButton + static_cast<uint64_t>(text)) * kTextBytes;
}

bool main_file_path(const std::u16string& current, std::u16string* main) {
    const size_t folder = current.find(u"Orvantis");
    if (folder == std::u16string::npos) return false;
    std::u16string path = current.substr(0, folder) + u"Orvantis.ini";
    if (path.size() >= kPathChars) return false;
    *main = std::move(path);
    return true;
}

bool names_main_file(const std::u16string& path) {
    return path.find(u"Orvantis.ini") != std::u16string::npos;
}

}  // namespace kesra::ini
