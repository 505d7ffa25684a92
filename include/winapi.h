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
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);
BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int sx, int sy, DWORD rop);
int GetDeviceCaps(HDC dc, int index);

/* Text in the system font, drawn into the DIB section selected into a DC.
 * The face comes from a font file on the machine (KESRA_SYSTEM_FONT, else
 * DejaVu Sans); lfHeight is its pixel height. */
#define LF_FACESIZE 32
typedef struct tagLOGFONTW {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    WCHAR lfFaceName[LF_FACESIZE];
} LOGFONTW;
#define TRANSPARENT 1
#define OPAQUE 2
#define DT_TOP 0x00000000u
#define DT_LEFT 0x00000000u
#define DT_CENTER 0x00000001u
#define DT_RIGHT 0x00000002u
#define DT_VCENTER 0x00000004u
#define DT_BOTTOM 0x00000008u
#define DT_WORDBREAK 0x00000010u
#define DT_SINGLELINE 0x00000020u
#define DT_NOCLIP 0x00000100u
#define DT_CALCRECT 0x00000400u
HFONT CreateFontIndirectW(const LOGFONTW* font);
int SetBkMode(HDC dc, int mode);
COLORREF SetTextColor(HDC dc, COLORREF color);
int DrawTextW(HDC dc, LPCWSTR text, int count, RECT* rect, UINT format);

/* Windows and the pointer. */
HWND GetForegroundWindow(void);
BOOL GetCursorPos(POINT* point);

/* Message boxes: the text goes to the host's message handler. */
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

/* Threads and time. */
HANDLE CreateThread(void* attributes, size_t stack_size, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                    DWORD flags, DWORD* thread_id);
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
BOOL CloseHandle(HANDLE handle);
DWORD SuspendThread(HANDLE thread);
DWORD ResumeThread(HANDLE thread);
void Sleep(DWORD milliseconds);
void GetLocalTime(SYSTEMTIME* time);
DWORD GetTickCount(void);

/* Sounds: a WAVE image (RIFF, PCM with 8 or 16 bits) in memory with
 * SND_MEMORY, else the path of a WAVE file. It goes to the host's sound
 * handler, or is played on the audio device; the call returns when it has
 * played. FALSE for anything that is not such a WAVE image. */
#define SND_SYNC 0x0000u
#define SND_MEMORY 0x0004u
#define SND_FILENAME 0x00020000u
BOOL PlaySoundW(LPCWSTR sound, HMODULE module, DWORD flags);

/* The application's executable and files. */
DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);
FILE* _wfopen(const WCHAR* path, const WCHAR* mode);

/* Kernel files and read-only file mappings. Handles are closed with
 * CloseHandle; a failed CreateFileW gives INVALID_HANDLE_VALUE, a failed
 * CreateFileMappingW or MapViewOfFile gives null. Views stay valid after
 * their mapping and file handles are closed, until UnmapViewOfFile. */
#define GENERIC_READ 0x80000000u
#define FILE_SHARE_READ 0x00000001u
#define OPEN_EXISTING 3u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)
#define INVALID_FILE_SIZE 0xFFFFFFFFu
#define INVALID_SET_FILE_POINTER 0xFFFFFFFFu
#define FILE_BEGIN 0u
#define FILE_CURRENT 1u
#define FILE_END 2u
#define PAGE_READONLY 0x02u
#define FILE_MAP_READ 0x0004u
#define ERROR_SUCCESS 0u
#define ERROR_FILE_NOT_FOUND 2u
#define ERROR_PATH_NOT_FOUND 3u
#define ERROR_ACCESS_DENIED 5u
#define ERROR_INVALID_HANDLE 6u
#define ERROR_NOT_ENOUGH_MEMORY 8u
#define ERROR_FILE_INVALID 1006u
#define ERROR_INVALID_PARAMETER 87u
HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share, void* security, DWORD creation, DWORD flags,
                   HANDLE template_file);
BOOL DeleteFileW(LPCWSTR path);
BOOL ReadFile(HANDLE file, void* buffer, DWORD bytes, DWORD* bytes_read, void* overlapped);
DWORD GetFileSize(HANDLE file, DWORD* size_high);
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distance_high, DWORD method);
HANDLE CreateFileMappingW(HANDLE file, void* security, DWORD protect, DWORD size_high, DWORD size_low,
                          LPCWSTR name);
void* MapViewOfFile(HANDLE mapping, DWORD access, DWORD offset_high, DWORD offset_low, size_t bytes);
BOOL UnmapViewOfFile(const void* view);
/* The calling thread's last error: the code of the last failed file call, or
 * the system code matching errno after a failed stdio call. */
DWORD GetLastError(void);
void SetLastError(DWORD code);

/* Directory search. A pattern is a folder and a name that may hold the
 * wildcards * (any run of characters) and ? (one character), matched without
 * regard to case; the folder itself holds none. Matches come in name order,
 * "." and ".." never. Search handles are closed with FindClose. */
typedef struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME;
typedef struct _WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwOID;
    WCHAR cFileName[MAX_PATH];
} WIN32_FIND_DATAW;
#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define ERROR_NO_MORE_FILES 18u
HANDLE FindFirstFileW(LPCWSTR pattern, WIN32_FIND_DATAW* found);
BOOL FindNextFileW(HANDLE search, WIN32_FIND_DATAW* found);
BOOL FindClose(HANDLE search);

/* Code-page conversion. CP_ACP is code page 936 (GBK) unless KESRA_ACP names
 * another ("65001", or a name iconv knows). An input length of -1 means the
 * text ends at its terminator, which is converted and counted too; an output
 * size of 0 asks for the size needed. The result is the number of bytes or
 * characters written (or needed), 0 on failure (see GetLastError). */
#define CP_OEMCP 1
#define CP_UTF8 65001
#define MB_ERR_INVALID_CHARS 0x00000008u
#define WC_ERR_INVALID_CHARS 0x00000080u
#define ERROR_INSUFFICIENT_BUFFER 122u
#define ERROR_NO_UNICODE_TRANSLATION 1113u
int WideCharToMultiByte(UINT code_page, DWORD flags, LPCWSTR text, int length, LPSTR out, int out_size,
                        LPCSTR default_char, BOOL* used_default_char);
int MultiByteToWideChar(UINT code_page, DWORD flags, LPCSTR text, int length, LPWSTR out, int out_size);

#ifdef __cplusplus
}
#endif

KESRA_API_END

#endif
