/* ceini.h - CIniCtrl, the reader and writer of the UI configuration file: a
 * header with the version text, a page table, fixed 148-byte button records
 * per page and four scrambled 128-byte texts per button. One file is open for
 * the whole process; the objects carry no state of their own. Integers in the
 * file are 32-bit little-endian. */
#ifndef KESRA_CEINI_H
#define KESRA_CEINI_H

#include "wintypes.h"

KESRA_API_BEGIN

/* The file header, 44 bytes at offset 0. */
typedef struct tagINIHEADER {
    char szVersion[32];  // NUL-terminated, contains "Ver 1."
    LONG nPageCount;     // at most 160
    DWORD dwPageOffset;  // 44: the page table follows the header
    DWORD dwTextOffset;  // the text area: 32 bytes skipped, then 512 bytes per button
} tagINIHEADER;

/* One page record, 16 bytes. */
typedef struct tagINIPAGE {
    DWORD dwPageID;
    DWORD dwButtonOffset;
    LONG nButtonCount;  // at most 80
    LONG nBackgroundCount;
} tagINIPAGE;

/* A button record as the application lays it out; the library stores and
 * returns the 148 bytes whole and never reads a field. */
typedef struct tagINIBUTTON {
    DWORD dwButtonID;
    DWORD dwType;
    LONG left, top, right, bottom;  // the button's rectangle, inclusive
    DWORD dwImageNormal;            // pack image numbers (300 + index), 0 for none
    DWORD dwImageDown;
    DWORD dwImageDisabled;
    DWORD dwTextColor;  // Color16 in the low 16 bits
    DWORD dwFontSize;
    DWORD dwAlign;
    DWORD dwAction;
    DWORD dwParam;
    char szName[32];
    BYTE reserved[60];
} tagINIBUTTON;

#ifdef __cplusplus
static_assert(sizeof(tagINIHEADER) == 44, "the header is 44 bytes in the file");
static_assert(sizeof(tagINIPAGE) == 16, "a page record is 16 bytes in the file");
static_assert(sizeof(tagINIBUTTON) == 148, "a button record is 148 bytes in the file");

class CIniCtrl {
   public:
    CIniCtrl() = default;
    virtual ~CIniCtrl() = default;

    /* Opens the file for reading and updating and checks it; 1 on success.
     * Any file open before is closed, except when the path is refused for
     * being longer than 259 characters. */
    static int OpenFile(const WCHAR* path);
    static void CloseFile();

    int ReadVersion(char* dst);  // dst holds 32 bytes
    int GetButtonNum(int page);
    int GetBackgroundNum(int page);
    int ReadButton(int page, int index, tagINIBUTTON* out);
    /* The same from, and into, the main file "Orvantis.ini" beside the
     * "Orvantis" folder of the open file's path; the open file stays open. */
    int ReadNaviConfig(int page, int index, tagINIBUTTON* out);
    int WriteButton(int page, int index, tagINIBUTTON* in);
    /* Text 0-3 of a button, unscrambled; at most 128 bytes. */
    int ReadButtonText(int page, int button, int text, void* buf, int size);
};
#endif

KESRA_API_END

#endif
