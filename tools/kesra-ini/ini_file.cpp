/* ini_file.cpp - the UI configuration file written from pages of buttons and
 * read back whole. Reading trusts nothing: the page table, every page's
 * records and every text must lie inside the file. */
#include <cstdio>
#include <cstring>

#include "ini_tool.h"

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
    const size_t page_table = HEADER_BYTES;
    size_t buttons_at = page_table + config.pages.size() * PAGE_BYTES;
    const size_t text_area = buttons_at + button_total(config) * BUTTON_BYTES;
    std::vector<uint8_t> file(
        text_area + TEXT_AREA_SKIP + button_total(config) * TEXT_BYTES * TEXTS_PER_BUTTON, 0);

    Header header{};
    std::strncpy(header.version, config.version.c_str(), VERSION_BYTES - 1);
    header.page_count = static_cast<int32_t>(config.pages.size());
    header.page_offset = static_cast<uint32_t>(page_table);
    header.text_offset = static_cast<uint32_t>(text_area);
    write_header(file.data(), header);
    std::memcpy(file.data() + text_area, TEXT_AREA_TAG, std::strlen(TEXT_AREA_TAG));

    size_t text_at = text_area + TEXT_AREA_SKIP;
    for (size_t p = 0; p < config.pages.size(); ++p) {
        const Page& page = config.pages[p];
        write_page(file.data() + page_table + p * PAGE_BYTES,
                   kesra::ini::Page{page.id, static_cast<uint32_t>(buttons_at),
                                    static_cast<int32_t>(page.buttons.size()), page.backgrounds});
        for (const Button& b : page.buttons) {
            std::memcpy(file.data() + buttons_at, b.record.data(), BUTTON_BYTES);
            buttons_at += BUTTON_BYTES;
            for (const Text& t : b.texts) {
                std::memcpy(file.data() + text_at, t.data(), TEXT_BYTES);
                scramble_text(file.data() + text_at, TEXT_BYTES);
                text_at += TEXT_BYTES;
            }
        }
    }
    return file;
}

bool decode(const std::vector<uint8_t>& data, Config* config, std::string* error) {
    if (data.size() < HEADER_BYTES)
        return fail(error, "only " + std::to_string(data.size()) + " bytes; the header alone is 44");
    const Header header = read_header(data.data());
    std::string why;
    if (!header_is_usable(header, &why)) return fail(error, why);
    const uint64_t table_bytes = static_cast<uint64_t>(header.page_count) * PAGE_BYTES;
    if (!inside(header.page_offset, table_bytes, data.size()))
        return fail(error, "the page table (" + std::to_string(header.page_count) + " pages at " +
                               std::to_string(header.page_offset) + ") runs past the end of the file");
    Config out;
    out.version.assign(header.version, strnlen(header.version, VERSION_BYTES));
    uint64_t buttons_before = 0;
    for (int p = 0; p < header.page_count; ++p) {
        const kesra::ini::Page record =
            read_page(data.data() + header.page_offset + static_cast<size_t>(p) * PAGE_BYTES);
        const std::string where = "page " + std::to_string(p) + ": ";
        if (!page_is_usable(record, &why)) return fail(error, where + why);
        const uint64_t bytes = static_cast<uint64_t>(record.button_count) * BUTTON_BYTES;
        if (!inside(record.button_offset, bytes, data.size()))
            return fail(error, where + std::to_string(record.button_count) + " buttons at " +
                                   std::to_string(record.button_offset) + " run past the end of the file");
        Page page;
        page.id = record.id;
        page.backgrounds = record.background_count;
        for (int b = 0; b < record.button_count; ++b) {
            Button button;
            std::memcpy(button.record.data(),
                        data.data() + record.button_offset + static_cast<size_t>(b) * BUTTON_BYTES,
                        BUTTON_BYTES);
            for (int t = 0; t < TEXTS_PER_BUTTON; ++t) {
                const uint64_t at = text_offset(header.text_offset, buttons_before, b, t);
                if (!inside(at, TEXT_BYTES, data.size()))
                    return fail(error, where + "text " + std::to_string(t) + " of button " +
                                           std::to_string(b) + " at " + std::to_string(at) +
                                           " lies past the end of the file");
                std::memcpy(button.texts[t].data(), data.data() + at, TEXT_BYTES);
                unscramble_text(button.texts[t].data(), TEXT_BYTES);
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
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return fail(error, path + ": cannot open: " + std::strerror(errno));
    data->clear();
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) data->insert(data->end(), buffer, buffer + n);
    const bool bad = std::ferror(f);
    std::fclose(f);
    return bad ? fail(error, path + ": read failed") : true;
}

bool write_file(const std::string& path, const std::vector<uint8_t>& data, std::string* error) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return fail(error, path + ": cannot create: " + std::strerror(errno));
    const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    if (std::fclose(f) != 0 || !ok) {
        std::remove(path.c_str());
        return fail(error, path + ": write failed");
    }
    return true;
}

}  // namespace kesra_ini
