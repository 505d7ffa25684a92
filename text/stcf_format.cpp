/* stcf_format.cpp - the font loader's calls into the built-in engine
 * (text/stcf_engine.h): a CCEFont's nine rendering integers become the
 * engine's parameters, and glyphs go into the 40 x 40 coverage buffer, which
 * bounds the cells the engine may render. */
#include "text/stcf_format.h"

#include <algorithm>
#include <cstring>

#include "text/stcf_engine.h"

namespace kesra {

namespace {

constexpr size_t kCoverageBufferBytes = 40 * 40;

stcf::FontParams params_of(const CCEFont& font) {
    stcf::FontParams p;
    p.encoding = font.m_nP1;
    p.levels = font.m_nP2;
    p.adjust = font.m_nP3;
    p.style = font.m_nP4;
    p.page = font.m_nP5;
    p.background = font.m_nP6;
    p.ring_value = font.m_nP7;
    p.store = font.m_nP8;
    p.flags = font.m_nP9;
    return p;
}

stcf::CharRef ref_of(const WCHAR* text, int units) {
    return stcf::CharRef{text, units > 0 ? static_cast<size_t>(units) : 0};
}

}  // namespace

StcfFontRecord* ParseStcfImage(const uint8_t* image, size_t size) { return stcf::parse(image, size); }

void FreeStcfRecord(StcfFontRecord* record) { stcf::release(record); }

int StcfCharUnits(const WCHAR* text, int units) {
    return static_cast<int>(stcf::char_units(ref_of(text, units)));
}

int32_t StcfCharWidth(StcfFontRecord& record, const WCHAR* text, int units, int width, int height,
                      const CCEFont& font) {
    return stcf::char_width(&record, ref_of(text, units), width, height, params_of(font));
}

void StcfRenderGlyph(StcfFontRecord& record, int* width, int* height, const WCHAR* text, int units,
                     uint8_t* coverage, const CCEFont& font, CellInk* ink) {
    // A cell the engine does not render (a font taller than the buffer holds,
    // or too small) leaves nothing of the previous glyph to be painted again.
    if (!stcf::renders_cell(*width, *height, kCoverageBufferBytes)) {
        if (*width > 0 && *height > 0)
            std::memset(coverage, 0, std::min(size_t(*width) * size_t(*height), kCoverageBufferBytes));
        return;
    }
    stcf::render(&record, ref_of(text, units), params_of(font), coverage, kCoverageBufferBytes, width, height,
                 ink);
}

}  // namespace kesra
