/* debug_log.h - the library's debug log: one printf-style call appends 8-bit
 * (GBK) text to "%s\debugKESRA.log" in the application's directory. No level,
 * no timestamp, no newline added; a message is cut at 263 bytes. Every failure
 * is ignored: logging never affects the caller. */
#ifndef KESRA_TEXT_DEBUG_LOG_H
#define KESRA_TEXT_DEBUG_LOG_H

#include <cstdarg>
#include <string>

#include "wintypes.h"

namespace kesra {

constexpr int kDebugLogMessageBytes = 264;

/* The log's path: the application directory followed by "\debugKESRA.log";
 * empty when it would not fit in 260 characters. */
std::u16string debug_log_path();

void DebugLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
void DebugLogV(const char* format, va_list args);

/* A format written in UTF-16 is turned into GBK (code page 936) first, so the
 * callers' Chinese formats stay readable in the source; the arguments are the
 * 8-bit ones of DebugLog (%s takes GBK or ANSI text). */
void DebugLogW(const WCHAR* format, ...);

}  // namespace kesra

#endif
