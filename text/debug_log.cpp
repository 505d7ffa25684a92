/* debug_log.cpp - appends formatted lines to the debug log. The file is
 * opened, appended and closed within each call; the only shared state is the
 * application directory, written once by the first drawing context. */
#include "text/debug_log.h"

#include <cstdio>
#include <vector>

#include "text/app_directory.h"
#include "winapi.h"

namespace kesra {

std::u16string debug_log_path() {
    std::u16string path(app_directory());
    path += u"\\debugKESRA.log";
    if (path.size() >= static_cast<size_t>(kAppPathChars)) return std::u16string();
    return path;
}

void DebugLogV(const char* format, va_list args) {
    if (!format) return;
    const std::u16string path = debug_log_path();
    if (path.empty()) return;
    FILE* file = _wfopen(path.c_str(), u"a+");
    if (!file) return;
    char message[kDebugLogMessageBytes];
    if (std::vsnprintf(message, sizeof message, format, args) < 0) message[0] = 0;
    std::fputs(message, file);
    std::fclose(file);
}

void DebugLog(const char* format, ...) {
    va_list args;
    va_start(args, format);
    DebugLogV(format, args);
    va_end(args);
}

void DebugLogW(const WCHAR* format, ...) {
    if (!format) return;
    constexpr UINT GBK = 936;
    const int bytes = WideCharToMultiByte(GBK, 0, format, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return;
    std::vector<char> gbk(static_cast<size_t>(bytes));
    if (WideCharToMultiByte(GBK, 0, format, -1, gbk.data(), bytes, nullptr, nullptr) <= 0) return;
    va_list args;
    va_start(args, format);
    DebugLogV(gbk.data(), args);
    va_end(args);
}

}  // namespace kesra
