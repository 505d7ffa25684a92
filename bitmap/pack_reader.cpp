/* pack_reader.cpp - the open resource pack (a stdio stream and a read-only
 * view of the whole file, both static members of CCEBitmap) and the lookup of
 * an image by ID. IDs are 300 + index; every seek is from the file's start. */
#include "bitmap/pack_reader.h"

#include "bitmap/image_pool.h"
#include "cebitmap.h"
#include "text/debug_log.h"
#include "winapi.h"

void* CCEBitmap::m_fpResource = nullptr;
HANDLE CCEBitmap::m_hRes = nullptr;
HANDLE CCEBitmap::m_hMap = nullptr;
unsigned char* CCEBitmap::m_pResMap = nullptr;
const WCHAR* const CCEBitmap::m_hMapView = nullptr;

namespace kesra::pack {
namespace {

uint8_t g_header[kHeaderBytes];

bool seek_to(std::FILE* stream, uint64_t offset) {
    return offset <= INT64_MAX && fseeko(stream, static_cast<off_t>(offset), SEEK_SET) == 0;
}

uint64_t file_size(std::FILE* stream) {
    if (fseeko(stream, 0, SEEK_END) != 0) return 0;
    const off_t size = ftello(stream);
    return size > 0 ? static_cast<uint64_t>(size) : 0;
}

void report_damaged(uint32_t id) { DebugLogW(u"错误：资源文件数据不完整，nID = %d\n", static_cast<int>(id)); }

}  // namespace

const uint8_t* header_buffer() { return g_header; }

int log_value(const void* pointer) {
    return static_cast<int>(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer)));
}

bool read_exact(std::FILE* stream, uint8_t* out, size_t bytes, size_t piece) {
    while (bytes > 0) {
        const size_t n = bytes < piece ? bytes : piece;
        if (std::fread(out, 1, n, stream) != n) return false;
        out += n;
        bytes -= n;
    }
    return true;
}

bool seek_image(std::FILE* stream, uint32_t id, Record* record) {
    const uint64_t size = file_size(stream);
    if (!seek_to(stream, 0) || !read_exact(stream, g_header, kHeaderBytes)) {
        report_damaged(id);
        return false;
    }
    const Header header = parse_header(g_header);
    const uint32_t index = id - kFirstId;
    if (index >= header.count) {
        DebugLogW(u"错误：nID = %d, st.iNum = %d\n", static_cast<int>(index), static_cast<int>(header.count));
        return false;
    }
    uint8_t entry[kIndexEntryBytes];
    if (!seek_to(stream, index_entry_offset(header, index)) || !read_exact(stream, entry, sizeof entry)) {
        report_damaged(id);
        return false;
    }
    const uint64_t record_at = parse_index_entry(entry);
    uint8_t bytes[kRecordBytes];
    if (!seek_to(stream, record_at) || !read_exact(stream, bytes, sizeof bytes)) {
        report_damaged(id);
        return false;
    }
    *record = parse_record(bytes);
    const uint64_t blocks_at = record_at + kRecordBytes;
    if (!record_is_sane(*record, size > blocks_at ? size - blocks_at : 0)) {
        report_damaged(id);
        return false;
    }
    return true;
}

}  // namespace kesra::pack

using namespace kesra;

/* Temporary bitmaps are found by ID, and IDs name images of one pack: a new
 * pack starts with an empty table. */
int CCEBitmap::OpenResource(const WCHAR* path) {
    CloseResource();
    pool::clear_table();
    if (!path) return 0;
    m_fpResource = _wfopen(path, u"rb");
    return m_fpResource ? 1 : 0;
}

void CCEBitmap::CloseResource() {
    if (!m_fpResource) return;
    std::fclose(static_cast<std::FILE*>(m_fpResource));
    m_fpResource = nullptr;
}

/* The view stays valid after the mapping and file handles are closed; it is
 * never unmapped, so a pointer taken from it stays good for the process. */
int CCEBitmap::OpenResMapView(const WCHAR* path) {
    CloseResMapView();
    m_hRes = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
    if (m_hRes == INVALID_HANDLE_VALUE) return 0;
    m_hMap = CreateFileMappingW(m_hRes, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!m_hMap) return 0;
    void* view = MapViewOfFile(m_hMap, FILE_MAP_READ, 0, 0, 0);
    if (!view) return 0;
    m_pResMap = static_cast<unsigned char*>(view);
    CloseResMapView();
    return 1;
}

/* An unopenable file leaves INVALID_HANDLE_VALUE in m_hRes; it is cleared
 * here too, as there is nothing to close. */
void CCEBitmap::CloseResMapView() {
    if (m_hMap) {
        CloseHandle(m_hMap);
        m_hMap = nullptr;
    }
    if (m_hRes) {
        if (m_hRes != INVALID_HANDLE_VALUE) CloseHandle(m_hRes);
        m_hRes = nullptr;
    }
}
