/* charset.h - code page 936 multibyte characters back to Unicode code points,
 * for the FreeType route of the text code (its strings reach it as ANSI text).
 * Lead bytes 0x81-0xFE with trail bytes 0x40-0xFE come from the table; a lone
 * byte is its own code point, except 0x80, the euro sign. */
#ifndef KESRA_TEXT_CHARSET_H
#define KESRA_TEXT_CHARSET_H

#include <cstdint>

namespace kesra {

/* Writes the code point of the character at text (length 1 or 2 bytes) to
 * *code_point. Returns 1 on success, 0 for a null or zero byte (nothing
 * written), an unassigned pair (0 written) or a trail byte below 0x40 (nothing
 * written). */
int DecodeMbcsChar(uint16_t* code_point, const unsigned char* text, int length);

}  // namespace kesra

#endif
