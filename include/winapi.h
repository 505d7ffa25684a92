/* winapi.h - the Win32-like calls the library is written against.
 * platform/ implements them on Linux; every backslash in a path given to the
 * file calls is read as a slash. */
#ifndef KESRA_WINAPI_H
#define KESRA_WINAPI_H

#include <stdio.h>

#include "wintypes.h"

KESRA_API_BEGIN

#ifdef __cplusplus
extern "C" {
#endif

/* Device contexts, DIB sections and block transfers. */
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
HDC CreateCompatibleDC(HDC dc);
HDC CreateDCW(LPCWSTR driver, LPCWSTR device, LPCWSTR port, const void* mode);
BOOL DeleteDC(HDC dc);
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits,
                         HANDLE section, DWORD offset);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);
BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int sx, int sy,
            DWORD rop);
int GetDeviceCaps(HDC dc, int index);

/* Windows and the pointer. */
HWND GetForegroundWindow(void);
BOOL GetCursorPos(POINT* point);

/* Message boxes: the text goes to the host's message handler. */
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

/* Threads and time. */
HANDLE CreateThread(void* attributes, size_t stack_size, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD flags, DWORD* thread_id);
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
BOOL CloseHandle(HANDLE handle);
DWORD SuspendThread(HANDLE thread);
DWORD ResumeThread(HANDLE thread);
void Sleep(DWORD milliseconds);
void GetLocalTime(SYSTEMTIME* time);
DWORD GetTickCount(void);

/* The application's executable and files. */
DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);
FILE* _wfopen(const WCHAR* path, const WCHAR* mode);

#ifdef __cplusplus
}
#endif

KESRA_API_END

#endif
