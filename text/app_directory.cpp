/* app_directory.cpp - the application's directory, read once. */
#include "text/app_directory.h"

#include "winapi.h"

namespace kesra {

static WCHAR g_app_directory[kAppPathChars];

WCHAR* app_directory() { return g_app_directory; }

void store_app_directory() {
    DWORD n = GetModuleFileNameW(nullptr, g_app_directory, kAppPathChars);
    g_app_directory[n < kAppPathChars ? n : kAppPathChars - 1] = 0;
    for (DWORD i = n; i-- > 0;) {
        if (g_app_directory[i] == u'\\') {
            g_app_directory[i] = 0;
            return;
        }
    }
}

}  // namespace kesra
