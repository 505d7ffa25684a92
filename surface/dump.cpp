/* dump.cpp - DumpBuffer: the display is read through the platform's display DC
 * into a bottom-up 24-bit DIB section, whose rows are already laid out as the
 * BMP stores them, and written after the two headers. A dump that could not
 * capture the display is not left behind as a broken file. */
#include "surface/dump.h"

#include <cstdio>

#include "cegraphics.h"
#include "core/bytes.h"
#include "text/app_directory.h"
#include "winapi.h"

namespace kesra {
namespace {

/* The display DC, a memory DC and the bottom-up 24-bit section selected into it. */
struct DisplayCapture {
    HDC display = nullptr;
    HDC memory = nullptr;
    HBITMAP section = nullptr;
    HGDIOBJ old_bitmap = nullptr;
    const uint8_t* bits = nullptr;
    int32_t width = 0;
    int32_t height = 0;

    DisplayCapture() {
        display = CreateDCW(u"DISPLAY", nullptr, nullptr, nullptr);
        width = GetDeviceCaps(display, HORZRES);
        height = GetDeviceCaps(display, VERTRES);
        memory = CreateCompatibleDC(display);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        void* pixels = nullptr;
        section = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
        bits = static_cast<const uint8_t*>(pixels);
        old_bitmap = SelectObject(memory, section);
        BitBlt(memory, 0, 0, width, height, display, 0, 0, SRCCOPY);
    }
    ~DisplayCapture() {
        SelectObject(memory, old_bitmap);
        DeleteObject(section);
        DeleteDC(memory);
        DeleteDC(display);
    }
    DisplayCapture(const DisplayCapture&) = delete;
    DisplayCapture& operator=(const DisplayCapture&) = delete;

    bool captured() const { return bits && width > 0 && height > 0; }
};

void append_two_digits(std::u16string& s, unsigned v) {
    s += static_cast<char16_t>(u'0' + v / 10 % 10);
    s += static_cast<char16_t>(u'0' + v % 10);
}

bool write_dump(FILE* file, const DisplayCapture& capture) {
    const auto headers = bmp24_headers(capture.width, capture.height);
    const size_t pixel_bytes = size_t{bmp24_row_bytes(capture.width)} * static_cast<size_t>(capture.height);
    return std::fwrite(headers.data(), 1, headers.size(), file) == headers.size() &&
           std::fwrite(capture.bits, 1, pixel_bytes, file) == pixel_bytes;
}

}  // namespace

uint32_t bmp24_row_bytes(int32_t width) { return (3u * static_cast<uint32_t>(width) + 3u) & ~3u; }

std::array<uint8_t, kBmpHeadersBytes> bmp24_headers(int32_t width, int32_t height) {
    std::array<uint8_t, kBmpHeadersBytes> h{};
    const uint32_t pixel_bytes = bmp24_row_bytes(width) * static_cast<uint32_t>(height);
    h[0] = 'B';
    h[1] = 'M';
    write_le32(&h[2], kBmpHeadersBytes + pixel_bytes);
    write_le32(&h[10], kBmpHeadersBytes);
    write_le32(&h[14], 40);
    write_le32(&h[18], static_cast<uint32_t>(width));
    write_le32(&h[22], static_cast<uint32_t>(height));
    write_le16(&h[26], 1);
    write_le16(&h[28], 24);
    return h;  // compression, image size, resolutions and colour counts stay 0
}

std::u16string dump_file_name(const std::u16string& app_directory, const SYSTEMTIME& time) {
    std::u16string name = app_directory + u"\\bmp\\";
    for (unsigned v : {time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond})
        append_two_digits(name, v);
    return name + u".bmp";
}

std::u16string executable_directory() {
    const std::u16string path = module_file_name();
    const size_t cut = path.rfind(u'\\');
    return cut == std::u16string::npos ? std::u16string() : path.substr(0, cut);
}

}  // namespace kesra

using namespace kesra;

/* Only a file that cannot be opened is reported by the device; here a display
 * that cannot be read, or a write that fails, also gives 0 and removes the
 * file rather than leaving a broken picture that claims success. */
int CCEGraphics::DumpBuffer() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    const std::u16string name = dump_file_name(executable_directory(), now);
    FILE* file = _wfopen(name.c_str(), u"wb");
    if (!file) return 0;
    bool written = false;
    {
        const DisplayCapture capture;
        written = capture.captured() && write_dump(file, capture);
    }
    if (std::fclose(file) != 0) written = false;
    if (!written) DeleteFileW(name.c_str());
    return written ? 1 : 0;
}
