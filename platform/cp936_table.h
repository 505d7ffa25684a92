/* cp936_table.h - code page 936 (GBK) as constant data: one row of UTF-16 code
 * units per lead byte 0x81-0xFE, indexed by trail byte - 0x40 (trail bytes
 * 0x40-0xFF); 0 marks an unassigned pair. Every assigned pair is one code unit.
 * Single bytes are not in the table: 0x00-0x7F are ASCII, 0x80 is the euro. */
#ifndef KESRA_PLATFORM_CP936_TABLE_H
#define KESRA_PLATFORM_CP936_TABLE_H

#include <cstdint>

namespace kesra::platform {

constexpr int kCp936FirstLead = 0x81;
constexpr int kCp936LastLead = 0xFE;
constexpr int kCp936FirstTrail = 0x40;
constexpr int kCp936RowCount = kCp936LastLead - kCp936FirstLead + 1;
constexpr int kCp936RowEntries = 0x100 - kCp936FirstTrail;
constexpr uint8_t kCp936EuroByte = 0x80;
constexpr char16_t kCp936Euro = u'\u20AC';

extern const uint16_t kCp936Rows[kCp936RowCount][kCp936RowEntries];

/* The row of a lead byte; null for the bytes that lead no pair. */
inline const uint16_t* cp936_row(uint8_t lead) {
    if (lead < kCp936FirstLead || lead > kCp936LastLead) return nullptr;
    return kCp936Rows[lead - kCp936FirstLead];
}

/* The code unit of a lead/trail pair, 0 when unassigned. */
inline char16_t cp936_pair_unit(uint8_t lead, uint8_t trail) {
    const uint16_t* row = cp936_row(lead);
    if (!row || trail < kCp936FirstTrail) return 0;
    return static_cast<char16_t>(row[trail - kCp936FirstTrail]);
}

/* The bytes of a UTF-16 code unit: lead << 8 | trail for a pair, the byte
 * itself below 0x100 (ASCII and the euro's 0x80), 0 when the code page has no
 * such character (U+0000 is the byte 0 but also answers 0). The reverse map
 * is built from the rows on first use. */
uint16_t cp936_bytes_of(char16_t unit);

}  // namespace kesra::platform

#endif
