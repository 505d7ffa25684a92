/* app_directory.cpp - the application's directory, read once. It is cut from
 * the executable's whole name, so that a name longer than the buffer never
 * leaves a shortened path that names another folder. */
#include "text/app_directory.h"

#include <algorithm>

#include "winapi.h"

namespace kesra {

static WCHAR g_app_directory[kAppPathChars];

WCHAR* app_directory() { return g_app_directory; }

std::u16string module_file_name() {
    std::u16string name(kAppPathChars, u'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (n + 1 < name.size()) return name.substr(0, n);  // room to spare: nothing was cut
        name.resize(name.size() * 2);
    }
}

void store_app_directory() {
    const std::u16string name = module_file_name();
    const size_t cut = std::min(name.rfind(u'\\'), name.size());
    const size_t kept = cut < static_cast<size_t>(kAppPathChars) ? cut : 0;  // too long: unknown
    std::copy_n(name.data(), kept, g_app_directory);
    g_app_directory[kept] = 0;
}

}  // namespace kesra
