/* charset.cpp - placeholder until the code page 936 table lands: lone bytes
 * only. */
#include "text/charset.h"

namespace kesra {

int DecodeMbcsChar(uint16_t* code_point, const unsigned char* text, int length) {
    (void)length;
    if (!text || *text == 0) return 0;
    *code_point = *text == 0x80 ? 0x20AC : *text;
    return 1;
}

}  // namespace kesra
