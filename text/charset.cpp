/* charset.cpp - one code page 936 character back to its Unicode code point,
 * from the platform's table. A pair the table cannot take (no row for the lead
 * byte, or a zero trail byte that ends the string) reads as its lead byte. */
#include "text/charset.h"

#include "platform/cp936_table.h"

namespace kesra {
namespace {

uint16_t single_byte_code_point(uint8_t byte) {
    return byte == platform::kCp936EuroByte ? platform::kCp936Euro : byte;
}

}  // namespace

int DecodeMbcsChar(uint16_t* code_point, const unsigned char* text, int length) {
    if (!code_point || !text || text[0] == 0) return 0;
    const uint8_t lead = text[0];
    if (length == 2) {
        const uint8_t trail = text[1];
        const uint16_t* row = platform::cp936_row(lead);
        if (row && trail != 0) {
            if (trail < platform::kCp936FirstTrail) return 0;
            *code_point = row[trail - platform::kCp936FirstTrail];
            return *code_point != 0 ? 1 : 0;
        }
    }
    *code_point = single_byte_code_point(lead);
    return 1;
}

}  // namespace kesra
