/* stcf_parse.cpp - reading an STCF header into a record: the table offsets,
 * the composite and entry counts, and a copy of every Latin width page. The
 * page count comes from the outline table; each page must lie in the image. */
#include <new>

#include "text/stcf_cache.h"
#include "text/stcf_engine.h"
#include "text/stcf_file.h"
#include "text/stcf_store.h"

namespace kesra::stcf {

namespace {

uint32_t header_u32(const ImageReader& in, HeaderField field) {
    uint32_t v = 0;
    in.u32(field, &v);
    return v;
}

uint64_t width_page_offset(int64_t page) {
    return page == 1 ? kFirstWidthPage : 1104 + kWidthPageBytes * static_cast<uint64_t>(page - 2);
}

bool copy_width_pages(const ImageReader& in, int64_t count, StcfFontRecord& record) {
    if (!in.has(width_page_offset(count), kWidthPageBytes)) return false;
    record.pages.resize(static_cast<size_t>(count));
    for (int64_t p = 1; p <= count; ++p)
        for (int i = 0; i < kLatinGlyphsPerPage; ++i)
            in.u32(width_page_offset(p) + 4u * i, &record.pages[static_cast<size_t>(p - 1)][i]);
    return true;
}

uint32_t next_serial() {
    static uint32_t serial = 0;
    return ++serial;
}

}  // namespace

StcfFontRecord* parse(const uint8_t* image, size_t size) {
    const ImageReader in(image, size);
    if (!image || !in.has(0, kHeaderBytes) || image[0] != 'S' || image[1] != 'T' || image[2] != 'C' ||
        image[3] != 'F')
        return nullptr;
    StcfFontRecord* record = new (std::nothrow) StcfFontRecord;
    if (!record) return nullptr;
    record->image = image;
    record->image_size = size;
    record->charset_kind = header_u32(in, kCharsetKind);
    record->composite_table = header_u32(in, kCompositeTable);
    record->component_records = header_u32(in, kComponentRecords);
    record->outline_table = header_u32(in, kOutlineTable);
    record->outline_data = header_u32(in, kOutlineData);
    record->first_single_entry = header_u32(in, kFirstSingleEntry);
    record->first_latin_entry = header_u32(in, kFirstLatinEntry);
    record->utf16_table = header_u32(in, kUtf16Table);
    record->composite_count =
        int64_t{header_u32(in, kCompositeCountA) / 3} - header_u32(in, kCompositeCountB);
    record->entry_count = header_u32(in, kEntryBytes) / 3;
    record->big5_table = header_u32(in, kBig5Table);
    record->shift_jis_table = header_u32(in, kShiftJisTable);
    record->euc_table = header_u32(in, kEucTable);
    record->mode6_table = header_u32(in, kMode6Table);
    record->serial = next_serial();
    const int64_t pages = (int64_t{record->entry_count} - record->first_latin_entry) / kLatinGlyphsPerPage;
    bool ok = pages >= 1;
    try {
        ok = ok && copy_width_pages(in, pages, *record);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (!ok) {
        delete record;
        return nullptr;
    }
    return record;
}

void release(StcfFontRecord* record) {
    if (!record) return;
    forget_font(record->serial);
    clear_cache();
    delete record;
}

}  // namespace kesra::stcf
