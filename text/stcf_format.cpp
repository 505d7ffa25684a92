/* stcf_format.cpp - the font loader's calls into the built-in engine
 * (text/stcf_engine.h): a CCEFont's nine rendering integers become the
 * engine's parameters, and glyphs go into the 40 x 40 coverage buffer, which
 * bounds the cells the engine may render. */
#include "text/stcf_format.h"

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

}  // namespace

StcfFontRecord* ParseStcfImage(const uint8_t* image, size_t size) { return stcf::parse(image, size); }

void FreeStcfRecord(StcfFontRecord* record) { stcf::release(record); }

int32_t StcfCharWidth(StcfFontRecord& record, WCHAR ch, int width, int height, const CCEFont& font) {
    return stcf::char_width(&record, stcf::CharRef{&ch, 1}, width, height, params_of(font));
}

void StcfRenderGlyph(StcfFontRecord& record, int* width, int* height, WCHAR ch, uint8_t* coverage,
                     const CCEFont& font) {
    stcf::render(&record, stcf::CharRef{&ch, 1}, params_of(font), coverage, kCoverageBufferBytes, width,
                 height);
}

}  // namespace kesra
