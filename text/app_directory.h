/* app_directory.h - the directory of the application's executable, without a
 * trailing backslash; filled once by the first drawing context. The debug log
 * is written there. */
#ifndef KESRA_TEXT_APP_DIRECTORY_H
#define KESRA_TEXT_APP_DIRECTORY_H

#include <string>

#include "wintypes.h"

namespace kesra {

constexpr int kAppPathChars = 260;

/* The process-wide buffer of kAppPathChars wide characters; empty until filled. */
WCHAR* app_directory();

/* GetModuleFileNameW of the executable, whole however long it is. */
std::u16string module_file_name();

/* The executable's name cut before its last backslash (kept whole when it has
 * none); left empty when that does not fit kAppPathChars - 1 characters. */
void store_app_directory();

}  // namespace kesra

#endif
