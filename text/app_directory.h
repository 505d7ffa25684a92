/* app_directory.h - the directory of the application's executable, without a
 * trailing backslash; filled once by the first drawing context. The debug log
 * is written there. */
#ifndef KESRA_TEXT_APP_DIRECTORY_H
#define KESRA_TEXT_APP_DIRECTORY_H

#include "wintypes.h"

namespace kesra {

constexpr int kAppPathChars = 260;

/* The process-wide buffer of kAppPathChars wide characters; empty until filled. */
WCHAR* app_directory();

/* GetModuleFileNameW of the executable, cut before its last backslash. */
void store_app_directory();

}  // namespace kesra

#endif
