/* ini_ctrl.cpp - CIniCtrl: one UI configuration file open for the process,
 * read and written through a stdio stream. A file is taken only whole: its
 * header, version and every page record are checked at open, and a lookup
 * that cannot read its records in full fails without touching the caller's
 * buffer. The main file is opened for one call and the previous file reopened
 * after it, whether the call succeeded or not. */
#include <array>
#include <cstdio>
#include <cstring>
#include <string>

#include "anim/ini_format.h"
#include "ceini.h"
#include "text/debug_log.h"
#include "winapi.h"

namespace kesra::ini {
namespace {

struct IniState {
    std::FILE* file = nullptr;
    Header header{};
    Page current_page{};
    std::array<uint8_t, kMaxButtons * kButtonBytes> buttons{};
    std::array<int32_t, kMaxPages> text_sizes{};  // button count of each page, filled at open
    WCHAR path[kPathChars] = {};                  // the last file opened and checked
};

IniState& state() {
    static IniState s;
    return s;
}

std::u16string current_path() { return std::u16string(state().path); }

void store_path(const std::u16string& path) {
    const size_t n = std::min(path.size(), size_t{kPathChars - 1});
    std::memcpy(state().path, path.data(), n * sizeof(WCHAR));
    state().path[n] = 0;
}

bool read_at(std::FILE* file, uint64_t offset, void* into, size_t bytes) {
    if (offset > static_cast<uint64_t>(INT64_MAX) || fseeko(file, static_cast<off_t>(offset), SEEK_SET) != 0)
        return false;
    return std::fread(into, 1, bytes, file) == bytes;
}

/* Header, version and the page table read in order after the header; the
 * text-size table is filled from it. */
bool validate(std::FILE* file, Header* header, std::array<int32_t, kMaxPages>* text_sizes) {
    uint8_t bytes[kHeaderBytes] = {};
    std::string why;
    if (!read_at(file, 0, bytes, sizeof bytes) || !has_version(bytes)) return false;
    *header = read_header(bytes);
    if (!header_is_usable(*header, &why)) return false;
    text_sizes->fill(0);
    for (int p = 0; p < header->page_count; ++p) {
        uint8_t record[kPageBytes];
        if (std::fread(record, 1, sizeof record, file) != sizeof record) return false;
        const Page page = read_page(record);
        if (!page_is_usable(page, &why)) return false;
        (*text_sizes)[static_cast<size_t>(p)] = page.button_count;
    }
    return true;
}

bool read_page_record(int page, Page* out) {
    IniState& s = state();
    if (!s.file || page < 0 || page >= s.header.page_count) return false;
    uint8_t record[kPageBytes];
    if (!read_at(s.file, uint64_t{s.header.page_offset} + static_cast<uint64_t>(page) * kPageBytes, record,
                 sizeof record))
        return false;
    *out = read_page(record);
    return true;
}

/* The page's button records into the button buffer. */
bool load_page_buttons(int page) {
    IniState& s = state();
    Page record;
    std::string why;
    if (!read_page_record(page, &record)) return false;
    s.current_page = record;
    if (record.button_count < 1 || !page_is_usable(record, &why)) return false;
    return read_at(s.file, record.button_offset, s.buttons.data(),
                   static_cast<size_t>(record.button_count) * kButtonBytes);
}

bool index_in_page(int index) { return index >= 0 && index < state().current_page.button_count; }

/* Opens the main file for one call and puts the previous file back after it. */
class MainFileSwitch {
   public:
    MainFileSwitch() {
        if (!state().file) return;
        const std::u16string current = current_path();
        if (names_main_file(current)) {
            ready_ = true;
            return;
        }
        std::u16string main;
        if (!main_file_path(current, &main)) return;
        saved_ = current;
        switched_ = true;
        store_path(main);
        ready_ = CIniCtrl::OpenFile(state().path) == 1;
    }
    ~MainFileSwitch() {
        if (!switched_) return;
        store_path(saved_);
        CIniCtrl::OpenFile(state().path);
    }
    MainFileSwitch(const MainFileSwitch&) = delete;
    MainFileSwitch& operator=(const MainFileSwitch&) = delete;
    bool ready() const { return ready_; }

   private:
    bool ready_ = false;
    bool switched_ = false;
    std::u16string saved_;
};

bool copy_button(int page, int index, tagINIBUTTON* out) {
    if (!out || !load_page_buttons(page) || !index_in_page(index)) return false;
    std::memcpy(out, state().buttons.data() + static_cast<size_t>(index) * kButtonBytes, kButtonBytes);
    return true;
}

bool write_button(int page, int index, const tagINIBUTTON* in) {
    if (!in || !load_page_buttons(page) || !index_in_page(index)) return false;
    uint8_t record[kButtonBytes];
    std::memcpy(record, in, kButtonBytes);
    IniState& s = state();
    const uint64_t at = uint64_t{s.current_page.button_offset} + static_cast<uint64_t>(index) * kButtonBytes;
    if (fseeko(s.file, static_cast<off_t>(at), SEEK_SET) != 0) return false;
    return std::fwrite(record, 1, sizeof record, s.file) == sizeof record && std::fflush(s.file) == 0;
}

}  // namespace
}  // namespace kesra::ini

using namespace kesra::ini;

int CIniCtrl::OpenFile(const WCHAR* path) {
    if (!path) return 0;
    const size_t length = std::char_traits<WCHAR>::length(path);
    if (length >= kPathChars) return 0;         // refused: the open file stays as it is
    const std::u16string wanted(path, length);  // path may be the library's own buffer
    CloseFile();
    std::FILE* file = _wfopen(wanted.c_str(), u"rb+");
    if (!file) return 0;
    IniState& s = state();
    Header header{};
    if (!validate(file, &header, &s.text_sizes)) {
        kesra::DebugLogW(u"配置文件无效");
        std::fclose(file);
        s.text_sizes.fill(0);
        return 0;
    }
    s.file = file;
    s.header = header;
    store_path(wanted);
    return 1;
}

void CIniCtrl::CloseFile() {
    IniState& s = state();
    if (s.file) std::fclose(s.file);
    s.file = nullptr;
}

int CIniCtrl::ReadVersion(char* dst) {
    if (!dst || !state().file) return 0;
    const char* version = state().header.version;
    const size_t n = strnlen(version, kVersionBytes - 1);
    std::memcpy(dst, version, n);
    dst[n] = 0;
    return 1;
}

int CIniCtrl::GetButtonNum(int page) {
    Page record;
    return read_page_record(page, &record) ? record.button_count : 0;
}

int CIniCtrl::GetBackgroundNum(int page) {
    Page record;
    return read_page_record(page, &record) ? record.background_count : 0;
}

int CIniCtrl::ReadButton(int page, int index, tagINIBUTTON* out) {
    return copy_button(page, index, out) ? 1 : 0;
}

int CIniCtrl::ReadNaviConfig(int page, int index, tagINIBUTTON* out) {
    MainFileSwitch main_file;
    return main_file.ready() && copy_button(page, index, out) ? 1 : 0;
}

int CIniCtrl::WriteButton(int page, int index, tagINIBUTTON* in) {
    MainFileSwitch main_file;
    return main_file.ready() && write_button(page, index, in) ? 1 : 0;
}

int CIniCtrl::ReadButtonText(int page, int button, int text, void* buf, int size) {
    IniState& s = state();
    if (!s.file || page < 0 || page >= kMaxPages || button < 0 || button >= kMaxButtons || text < 0 ||
        text >= kTextsPerButton)
        return 0;
    if (size <= 0) return 1;
    if (!buf) return 0;
    uint64_t buttons_before = 0;
    for (int p = 0; p < page; ++p)
        buttons_before += static_cast<uint64_t>(s.text_sizes[static_cast<size_t>(p)]);
    const size_t count = std::min(static_cast<size_t>(size), kTextBytes);
    uint8_t bytes[kTextBytes];
    if (!read_at(s.file, text_offset(s.header.text_offset, buttons_before, button, text), bytes, count))
        return 0;
    unscramble_text(bytes, count);
    std::memcpy(buf, bytes, count);
    return 1;
}
