/* ql_table.cpp - the image module's table of 1024 records, used as a stack:
 * a load fills record `count` and makes it current; QLReleaseLastImage pops
 * the current record. The getters read the current record and give 0 or null
 * when the current index holds no record (before the first load, after the
 * last pop). One thread at a time. */
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "image/ql_module.h"
#include "winapi.h"

namespace kesra::ql {
namespace {

struct Record {
    Image image;
    uint8_t alpha_level = 255;
};

struct ModuleState {
    Record records[QL_MAX_IMAGES];
    int count = 0;
    int current = 0;
};

ModuleState& state() {
    static ModuleState module;
    return module;
}

Record* current_record() {
    ModuleState& s = state();
    if (s.current < 0 || s.current >= QL_MAX_IMAGES) return nullptr;
    return &s.records[s.current];
}

}  // namespace

void free_image(Image& image) {
    std::free(image.pixels);
    image = Image{};
}

bool image_bytes(uint64_t width, uint64_t height, size_t* bytes) {
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return false;
    if (width * height > kMaxPixels) return false;
    *bytes = static_cast<size_t>(width * height * 4);
    return true;
}

/* Bytes of pixels the table holds now, over every record that has some. */
static uint64_t held_bytes() {
    uint64_t held = 0;
    for (const Record& r : state().records)
        if (r.image.pixels) held += uint64_t{r.image.width} * r.image.height * 4;
    return held;
}

bool allocate_pixels(Image& image, uint32_t width, uint32_t height, uint8_t fill) {
    size_t bytes = 0;
    if (!image_bytes(width, height, &bytes)) return false;
    if (held_bytes() + bytes > limits::kMaxModuleBytes) {
        report(nullptr, "the image module would hold more than its limit of 256 MB");
        return false;
    }
    image.pixels = static_cast<uint8_t*>(std::malloc(bytes));
    if (!image.pixels) return false;
    std::memset(image.pixels, fill, bytes);
    image.width = width;
    image.height = height;
    return true;
}

namespace {
bool g_reports = true;
}

void set_reports(bool on) { g_reports = on; }

void report(const char* where, const char* what) {
    if (!g_reports) return;
    std::fprintf(stderr, "kesra image module: %s: %s\n", where ? where : "(memory)", what);
}

bool push_image(Image& image) {
    ModuleState& s = state();
    if (s.count < 0 || s.count >= QL_MAX_IMAGES) {
        report(nullptr, "the table of 1024 images is full");
        free_image(image);
        return false;
    }
    Record& record = s.records[s.count];
    // A record left above the stack by an out-of-order release still owns pixels.
    std::free(record.image.pixels);
    record.image = image;
    image = Image{};
    s.current = s.count;
    ++s.count;
    return true;
}

const Image* current_image() {
    const Record* record = current_record();
    return record ? &record->image : nullptr;
}

}  // namespace kesra::ql

using kesra::ql::current_record;
using kesra::ql::state;

namespace {
char kBanner[] = "Quinlark image module: BMP, JPEG and PNG files, zlib blocks";
}

extern "C" {

char* QLVersionInfo(void) {
    MessageBoxW(nullptr, u"Quinlark image module: BMP, JPEG and PNG files, zlib blocks", u"QuinlarkImage",
                MB_OK);
    return kBanner;
}

void QLConstructor(void) {
    auto& s = state();
    s.count = 0;
    s.current = 0;
    for (auto& record : s.records) record = kesra::ql::Record{};
}

void QLDestructor(void) {
    auto& s = state();
    for (int i = 0; i < s.count && i < QL_MAX_IMAGES; ++i) {
        // The pointer is cleared too, so a later release cannot free it again.
        std::free(s.records[i].image.pixels);
        s.records[i].image.pixels = nullptr;
    }
}

void QLReleaseLastImage(void) {
    auto* record = current_record();
    if (!record || !record->image.pixels) return;
    kesra::ql::free_image(record->image);
    record->alpha_level = 0;
    auto& s = state();
    if (s.count > 0) --s.count;
    --s.current;
}

BYTE* QLGetPixelData(void) {
    auto* record = current_record();
    return record ? record->image.pixels : nullptr;
}

DWORD QLGetWidth(void) {
    auto* record = current_record();
    return record ? record->image.width : 0;
}

DWORD QLGetHeight(void) {
    auto* record = current_record();
    return record ? record->image.height : 0;
}

int QLGetPixelDepth(void) {
    auto* record = current_record();
    return record ? record->image.pixel_depth : 0;
}

int QLIsAlpha(void) {
    auto* record = current_record();
    return record ? record->image.alpha_flag : 0;
}

void QLSetAlphaLevel(BYTE level) {
    if (auto* record = current_record()) record->alpha_level = level;
}

BYTE QLGetAlphaLevel(void) {
    auto* record = current_record();
    return record ? record->alpha_level : 0;
}

void QLSetTransactionImage(int index) {
    if (index >= 0 && index < QL_MAX_IMAGES) state().current = index;
}

}  // extern "C"
