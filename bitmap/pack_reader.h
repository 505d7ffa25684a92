/* pack_reader.h - finding an image of a pack by ID on an open stream: header,
 * index entry and record are read and checked, and the stream is left at the
 * pixel block (the alpha block follows it). Failures are reported in the
 * debug log. The header is kept in one static buffer, re-read on every load. */
#ifndef KESRA_BITMAP_PACK_READER_H
#define KESRA_BITMAP_PACK_READER_H

#include <cstdint>
#include <cstdio>

#include "bitmap/pack_format.h"

namespace kesra::pack {

/* The 40-byte header of the last lookup. */
const uint8_t* header_buffer();

/* Steps after the caller's own ID and stream test: reads the header, refuses
 * an index at or beyond the count ("st.iNum" message), reads the index entry
 * and the record. Short reads and records whose blocks do not fit in the file
 * fail with a message naming the ID. */
bool seek_image(std::FILE* stream, uint32_t id, Record* record);

/* Reads exactly bytes bytes, in pieces of piece bytes; false on a short read. */
bool read_exact(std::FILE* stream, uint8_t* out, size_t bytes, size_t piece = 32768);

/* A pointer as the log prints it with %d: its low 32 bits, 0 for null. */
int log_value(const void* pointer);

}  // namespace kesra::pack

#endif
