/* font_loading.cpp - LoadFont, ReleaseFont and Reset_Fontcache, the dispatch
 * to the active engine, and the built-in engine's loading: the whole file in
 * memory, then the format code's parse. The engine is chosen before the file
 * is opened and stays chosen when the load fails. */
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "cefont.h"
#include "text/font_dispatch.h"
#include "text/stcf_format.h"
#include "winapi.h"

namespace kesra {

FontState& font_state() {
    static FontState state;
    return state;
}

int to_ansi(const WCHAR* text, int count, char (&out)[kAnsiBufferSize]) {
    std::memset(out, 0, sizeof out);
    constexpr int room = kAnsiBufferSize - 1;  // the last byte stays zero
    if (!text || count <= 0) return 0;
    const int written = WideCharToMultiByte(CP_ACP, 0, text, count, out, room, nullptr, nullptr);
    if (written > 0) return written;
    std::memset(out, 0, sizeof out);  // too long: as many characters as fit
    while (count > 0) {
        const int needed = WideCharToMultiByte(CP_ACP, 0, text, count, nullptr, 0, nullptr, nullptr);
        if (needed <= 0) return 0;
        if (needed <= room) return WideCharToMultiByte(CP_ACP, 0, text, count, out, room, nullptr, nullptr);
        const int fewer = static_cast<int>(static_cast<int64_t>(count) * room / needed);
        count = fewer < count ? fewer : count - 1;
    }
    return 0;
}

int32_t MeasureText(const WCHAR* text, int count, const CCEFont& font) {
    return font_state().active().Measure(text, count, font);
}

void RenderGlyphCoverage(int* width, int* height, const WCHAR* ch, int units, uint8_t* coverage,
                         const CCEFont& font, CellInk* ink) {
    font_state().active().RenderCoverage(width, height, ch, units, coverage, font, ink);
}

int GlyphUnits(const WCHAR* text, int units) {
    const FontState& state = font_state();
    return state.UseBuiltinEngine ? state.builtin.CharUnits(text, units) : 1;
}

FtFontRecord* LoadedFtRecord() { return font_state().freetype.record(); }

/* ---- the built-in engine --------------------------------------------- */

namespace {

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

/* The file's size by seeking to its end; -1 when it cannot be told. */
long file_size(FILE* f) {
    if (std::fseek(f, 0, SEEK_END) != 0) return -1;
    const long size = std::ftell(f);
    if (std::fseek(f, 0, SEEK_SET) != 0) return -1;
    return size;
}

}  // namespace

int BuiltinEngine::Load(const WCHAR* path) {
    if (loaded()) return 1;  // the font loaded first stays; the new file is not read
    std::unique_ptr<FILE, FileCloser> file(_wfopen(path, u"rb"));
    if (!file) return 0;
    const long size = file_size(file.get());
    if (size < 0) return 0;
    // An image left by a failed parse is replaced, not leaked.
    std::free(image_);
    image_size_ = 0;
    image_ = static_cast<uint8_t*>(std::malloc(size > 0 ? static_cast<size_t>(size) : 1));
    if (!image_) return 0;
    image_size_ = std::fread(image_, 1, static_cast<size_t>(size), file.get());
    file.reset();
    record_ = ParseStcfImage(image_, image_size_);
    return record_ ? 1 : 0;
}

void BuiltinEngine::Release() {
    FreeStcfRecord(record_);
    record_ = nullptr;
    std::free(image_);
    image_ = nullptr;
    image_size_ = 0;
}

int32_t BuiltinEngine::Measure(const WCHAR* text, int count, const CCEFont& font) {
    if (!text || count < 1 || !record_) return 0;
    int32_t total = 0;
    for (int i = 0; i < count; i += StcfCharUnits(text + i, count - i))
        total += StcfCharWidth(*record_, text + i, count - i, font.m_nWidth, font.m_nHeight, font);
    return total;
}

void BuiltinEngine::RenderCoverage(int* width, int* height, const WCHAR* ch, int units, uint8_t* coverage,
                                   const CCEFont& font, CellInk* ink) {
    if (record_ && ch && units >= 1) StcfRenderGlyph(*record_, width, height, ch, units, coverage, font, ink);
}

int BuiltinEngine::CharUnits(const WCHAR* text, int units) const {
    return text && units > 1 ? StcfCharUnits(text, units) : 1;
}

}  // namespace kesra

using namespace kesra;

int LoadFont(WCHAR* path) {
    if (!path) return 0;
    // The whole path is converted: one longer than the ANSI buffer must not
    // lose its ".ttf" and go to the other engine.
    const int units = static_cast<int>(std::char_traits<WCHAR>::length(path));
    const int length =
        units > 0 ? WideCharToMultiByte(CP_ACP, 0, path, units, nullptr, 0, nullptr, nullptr) : 0;
    std::string ansi(static_cast<size_t>(std::max(length, 0)), '\0');
    if (length > 0) WideCharToMultiByte(CP_ACP, 0, path, units, ansi.data(), length, nullptr, nullptr);
    FontState& state = font_state();
    state.UseBuiltinEngine =
        ansi.find(".TTF") != std::string::npos || ansi.find(".ttf") != std::string::npos ? 0 : 1;
    if (length <= 0) return 0;  // a path the code page cannot name opens nothing
    return state.active().Load(path);
}

void ReleaseFont() { font_state().active().Release(); }

void Reset_Fontcache() { font_state().freetype.cache().Clear(); }
