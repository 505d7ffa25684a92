/* ql.h - the image file module: BMP, JPEG and PNG files decoded into 32-bit
 * pixels (bytes A, R, G, B; rows top-down, packed at width * 4 bytes), saved
 * back from the current image, and zlib blocks compressed and inflated.
 * Loaded images form a stack in a table of 1024 records; the newest load is
 * the current image that the getters, QLSave and QLReleaseLastImage use. */
#ifndef KESRA_QL_H
#define KESRA_QL_H

#include "wintypes.h"

KESRA_API_BEGIN

#ifdef __cplusplus
extern "C" {
#endif

/* Width and height of an image file, read without decoding. */
typedef struct _tagQLSIZE {
    DWORD dwWidth;
    DWORD dwHeight;
} QLSIZE;

/* Image type codes. */
#define QL_TYPE_BMP 0
#define QL_TYPE_JPEG 1
#define QL_TYPE_PNG 2

/* The number of records in the module's table. */
#define QL_MAX_IMAGES 1024

/* Shows the module banner in a message box and returns it. */
char* QLVersionInfo(void);

/* Empties the table; every record's alpha level becomes 255. */
void QLConstructor(void);
/* Frees the pixels of every loaded record. */
void QLDestructor(void);

/* Decodes a file (type 0 BMP, 1 JPEG, 2 PNG) into a new current image.
 * Returns 1 when an image was pushed, 0 when nothing changed. */
int QLLoad(const WCHAR* path, int type);
/* Decodes a JPEG (1) or PNG (2) held in memory. The data's end is found from
 * the image itself (the PNG's IEND chunk, the JPEG's EOI marker): the data
 * must hold one whole image. Returns 1 when an image was pushed. */
int QLLoadResource(const BYTE* data, int type);
/* Fills size from the file's header; the table is not changed. 1 on success. */
int QLReadImageHeader(const WCHAR* path, LONG type, QLSIZE* size);
/* Writes the current image as type 0 (24-bit BMP), 1 (JPEG) or 2 (RGBA PNG). */
int QLSave(const WCHAR* path, int type);
/* Frees the current image and pops it. */
void QLReleaseLastImage(void);

/* The current image; null or 0 when there is none. */
BYTE* QLGetPixelData(void);
DWORD QLGetWidth(void);
DWORD QLGetHeight(void);
int QLGetPixelDepth(void);
int QLIsAlpha(void);
void QLSetAlphaLevel(BYTE level);
BYTE QLGetAlphaLevel(void);
/* Makes record index the current image; an index outside the table is ignored. */
void QLSetTransactionImage(int index);

/* zlib blocks. The output is a new malloc'ed buffer that the caller frees with
 * free(); on failure *out is null and *outLen 0. Results are zlib's codes:
 * 0 success, -3 a bad level (QLCompress) or a bad or truncated block. */
LONG QLCompress(BYTE** out, DWORD* outLen, const BYTE* in, DWORD inLen, LONG level);
LONG QLDecompress(BYTE** out, DWORD* outLen, const BYTE* in, DWORD inLen);

#ifdef __cplusplus
}
#endif

KESRA_API_END

#endif
