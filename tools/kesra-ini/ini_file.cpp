/* ini_file.cpp - the UI configuration file written from pages of buttons and
 * read back whole. Reading trusts nothing: the page table, every page's
 * records and every text must lie inside the file. */
#include <cstdio>
#include <cstring>

#include "tools/common/whole_file.h"
#include "tools/kesra-ini/ini_tool.h"

namespace kesra_ini {

using namespace kesra::ini;

namespace {

constexpr const char* TEXT_AREA_TAG = "KESRA ui config";

bool fail(std::string* error, const std::string& what) {
    *error = what;
    return false;
}

size_t button_total(const Config& config) {
    size_t n = 0;
    for (const Page& p : config.pages) n += p.buttons.size();
    return n;
}

bool inside(uint64_t offset, uint64_t bytes, size_t size) { return offset <= size && bytes <= size - offset; }

}  // namespace

std::vector<uint8_t> encode(const Config& config) {
    const size_t page_table = kHeaderBytes;
    size_t buttons_at = page_table + config.pages.size() * kPageBytes;
    const size_t text_area = buttons_at + button_total(config) * kButtonBytes;
    std::vector<uint8_t> file(text_area + kTextAreaSkip + button_total(config) * kTextBytes * kTextsPerButton,
                              0);

    Header header{};
    std::strncpy(header.version, config.version.c_str(), kVersionBytes - 1);
    header.page_count = static_cast<int32_t>(config.pages.size());
    header.page_offset = static_cast<uint32_t>(page_table);
    header.text_offset = static_cast<uint32_t>(text_area);
    write_header(file.data(), header);
    std::memcpy(file.data() + text_area, TEXT_AREA_TAG, std::strlen(TEXT_AREA_TAG));

    size_t text_at = text_area + kTextAreaSkip;
    for (size_t p = 0; p < config.pages.size(); ++p) {
        const Page& page = config.pages[p];
        write_page(file.data() + page_table + p * kPageBytes,
                   kesra::ini::Page{page.id, static_cast<uint32_t>(buttons_at),
                                    static_cast<int32_t>(page.buttons.size()), page.backgrounds});
        for (const Button& b : page.buttons) {
            std::memcpy(file.data() + buttons_at, b.record.data(), kButtonBytes);
            buttons_at += kButtonBytes;
            for (const Text& t : b.texts) {
                std::memcpy(file.data() + text_at, t.data(), kTextBytes);
                scramble_text(file.data() + text_at, kTextBytes);
                text_at += kTextBytes;
            }
        }
    }
    return file;
}

bool decode(const std::vector<uint8_t>& data, Config* config, std::string* error) {
    if (data.size() < kHeaderBytes)
        return fail(error, "only " + std::to_string(data.size()) + " bytes; the header alone is 44");
    const Header header = read_header(data.data());
    std::string why;
    if (!header_is_usable(header, &why)) return fail(error, why);
    const uint64_t table_bytes = static_cast<uint64_t>(header.page_count) * kPageBytes;
    if (!inside(header.page_offset, table_bytes, data.size()))
        return fail(error, "the page table (" + std::to_string(header.page_count) + " pages at " +
                               std::to_string(header.page_offset) + ") runs past the end of the file");
    Config out;
    out.version.assign(header.version, strnlen(header.version, kVersionBytes));
    uint64_t buttons_before = 0;
    for (int p = 0; p < header.page_count; ++p) {
        const kesra::ini::Page record =
            read_page(data.data() + header.page_offset + static_cast<size_t>(p) * kPageBytes);
        const std::string where = "page " + std::to_string(p) + ": ";
        if (!page_is_usable(record, &why)) return fail(error, where + why);
        const uint64_t bytes = static_cast<uint64_t>(record.button_count) * kButtonBytes;
        if (!inside(record.button_offset, bytes, data.size()))
            return fail(error, where + std::to_string(record.button_count) + " buttons at " +
                                   std::to_string(record.button_offset) + " run past the end of the file");
        Page page;
        page.id = record.id;
        page.backgrounds = record.background_count;
        for (int b = 0; b < record.button_count; ++b) {
            Button button;
            std::memcpy(button.record.data(),
                        data.data() + record.button_offset + static_cast<size_t>(b) * kButtonBytes,
                        kButtonBytes);
            for (int t = 0; t < kTextsPerButton; ++t) {
                const uint64_t at = text_offset(header.text_offset, buttons_before, b, t);
                if (!inside(at, kTextBytes, data.size()))
                    return fail(error, where + "text " + std::to_string(t) + " of button " +
                                           std::to_string(b) + " at " + std::to_string(at) +
                                           " lies past the end of the file");
                std::memcpy(button.texts[t].data(), data.data() + at, kTextBytes);
                unscramble_text(button.texts[t].data(), kTextBytes);
            }
            page.buttons.push_back(button);
        }
        buttons_before += static_cast<uint64_t>(record.button_count);
        out.pages.push_back(std::move(page));
    }
    *config = std::move(out);
    return true;
}

bool read_file(const std::string& path, std::vector<uint8_t>* data, std::string* error) {
    return kesra::cli::read_whole_file(path, data, {"cannot open: %s", "read failed"}, error);
}

bool write_file(const std::string& path, const std::vector<uint8_t>& data, std::string* error) {
    return kesra::cli::write_whole_file(path, data, {"cannot create: %s", "write failed"}, error);
}

}  // namespace kesra_ini
