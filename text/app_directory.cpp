/* app_directory.cpp - the application's directory, read once. */
#include "app_directory.h"

#include "winapi.h"

namespace kesra {

static WCHAR g_app_directory[APP_PATH_CHARS];

WCHAR* app_directory() { return g_app_directory; }

void store_app_directory() {
    DWORD n = GetModuleFileNameW(nullptr, g_app_directory, APP_PATH_CHARS);
    g_app_directory[n < APP_PATH_CHARS ? n : APP_PATH_CHARS - 1] = 0;
    for (DWORD i = n; i-- > 0;) {
        if (g_app_directory[i] == u'\\') {
            g_app_directory[i] = 0;
            return;
        }
    }
}

}  // namespace kesra
