/* find_file.cpp - directory search on readdir: the folder of a pattern is
 * read once at FindFirstFileW, the names that match its last part (wildcards
 * * and ?, case-insensitive as on the system) are sorted, and FindNextFileW
 * hands them out in turn. A search handle is checked against the live set
 * before use, so a stale or foreign handle fails cleanly. */
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/platform_internal.h"
#include "winapi.h"

namespace kesra::platform {

/* Upper case of the letters that have a one-to-one upper form: ASCII,
 * Latin-1, Greek, Cyrillic and the full-width Latin letters. */
char16_t fold_case(char16_t c) {
    if (c >= u'a' && c <= u'z') return c - 0x20;
    if (c < 0x80) return c;
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) ||
        (c >= 0x430 && c <= 0x44F) || (c >= 0xFF41 && c <= 0xFF5A)) {
        return c - 0x20;
    }
    if (c >= 0x450 && c <= 0x45F) return c - 0x50;
    return c;
}

/* Whether name matches pattern: * takes any run of characters (none too), ?
 * exactly one. The last * is remembered and retried one character further
 * on a mismatch, which is enough: an earlier * never needs to take more. */
bool wildcard_match(const std::u16string& pattern, const std::u16string& name) {
    if (pattern == u"*.*") return true;  // the system's spelling of "everything"
    size_t p = 0, n = 0, star = std::u16string::npos, star_n = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            star_n = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == u'?' || fold_case(pattern[p]) == fold_case(name[n]))) {
            ++p;
            ++n;
        } else if (star != std::u16string::npos) {
            p = star + 1;
            n = ++star_n;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') ++p;
    return p == pattern.size();
}

namespace {

struct Entry {
    std::u16string name;
    DWORD attributes;
    uint64_t size;
    uint64_t write_time;  // 100 ns units since 1601
};

struct Search {
    std::vector<Entry> entries;
    size_t next = 0;
};

struct Searches {
    std::mutex mutex;
    std::unordered_set<Search*> live;
};

Searches& searches() {
    static Searches s;
    return s;
}

constexpr uint64_t kUnixEpochIn1601Units = 116444736000000000ull;

void fill(const Entry& e, WIN32_FIND_DATAW* found) {
    *found = WIN32_FIND_DATAW{};
    found->dwFileAttributes = e.attributes;
    const FILETIME t{static_cast<DWORD>(e.write_time), static_cast<DWORD>(e.write_time >> 32)};
    found->ftCreationTime = found->ftLastAccessTime = found->ftLastWriteTime = t;
    found->nFileSizeHigh = static_cast<DWORD>(e.size >> 32);
    found->nFileSizeLow = static_cast<DWORD>(e.size);
    std::copy(e.name.begin(), e.name.end(), found->cFileName);
}

/* The entries of folder whose names match; false when the folder cannot be read. */
bool list_matches(const std::string& folder, const std::u16string& pattern, std::vector<Entry>& out) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return false;
    while (const dirent* d = ::readdir(dir)) {
        const std::string native = d->d_name;
        if (native == "." || native == "..") continue;
        std::u16string name = utf8_to_utf16(native);
        if (name.size() >= MAX_PATH || !wildcard_match(pattern, name)) continue;
        struct stat st {};
        if (::stat((folder + "/" + native).c_str(), &st) != 0) continue;
        const bool is_dir = S_ISDIR(st.st_mode);
        Entry e{std::move(name), FILE_ATTRIBUTE_NORMAL, is_dir ? 0 : static_cast<uint64_t>(st.st_size), 0};
        if (is_dir)
            e.attributes = FILE_ATTRIBUTE_DIRECTORY;
        else if (::access((folder + "/" + native).c_str(), W_OK) != 0)
            e.attributes = FILE_ATTRIBUTE_READONLY;
        e.write_time = kUnixEpochIn1601Units + static_cast<uint64_t>(st.st_mtim.tv_sec) * 10000000ull +
                       static_cast<uint64_t>(st.st_mtim.tv_nsec) / 100;
        out.push_back(std::move(e));
    }
    ::closedir(dir);
    std::sort(out.begin(), out.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
    return true;
}

Search* as_search(HANDLE handle) {
    Searches& s = searches();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto* search = static_cast<Search*>(handle);
    return s.live.count(search) ? search : nullptr;
}

}  // namespace
}  // namespace kesra::platform

using namespace kesra::platform;

extern "C" HANDLE FindFirstFileW(LPCWSTR pattern, WIN32_FIND_DATAW* found) {
    if (!pattern || !*pattern || !found) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const std::u16string whole = pattern;
    const size_t cut = whole.find_last_of(u"\\/");
    const std::u16string name_pattern = cut == std::u16string::npos ? whole : whole.substr(cut + 1);
    std::string folder = cut == std::u16string::npos ? "." : native_path(whole.substr(0, cut).c_str());
    if (folder.empty()) folder = "/";  // "\name": the root
    if (name_pattern.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    auto search = std::make_unique<Search>();
    if (!list_matches(folder, name_pattern, search->entries)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (search->entries.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    fill(search->entries[0], found);
    search->next = 1;
    Searches& s = searches();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.live.insert(search.get());
    return search.release();
}

extern "C" BOOL FindNextFileW(HANDLE handle, WIN32_FIND_DATAW* found) {
    Search* search = as_search(handle);
    if (!search || !found) {
        SetLastError(search ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (search->next >= search->entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    fill(search->entries[search->next++], found);
    return TRUE;
}

extern "C" BOOL FindClose(HANDLE handle) {
    Searches& s = searches();
    std::unique_lock<std::mutex> lock(s.mutex);
    auto* search = static_cast<Search*>(handle);
    if (!s.live.erase(search)) {
        lock.unlock();
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    lock.unlock();
    delete search;
    return TRUE;
}
