/* font_tool.h - kesra-font's pieces: TrueType outlines (through FreeType)
 * turned into the STCF outline font, and the reader behind info. Outlines
 * live in a 128-unit em, the cell's bottom 25 units below the baseline; every
 * coordinate is a signed byte. Errors come back as text naming the file. */
#ifndef KESRA_TOOLS_FONT_TOOL_H
#define KESRA_TOOLS_FONT_TOOL_H

#include <cstdint>
#include <string>
#include <vector>

namespace kesra_font {

/* Header fields of the file, by byte offset. */
namespace field {
constexpr size_t kMagic = 0, TAG = 4, KIND = 136, COMPOSITE_TABLE = 140, COMPONENTS = 144,
                 OUTLINE_TABLE = 148, OUTLINE_DATA = 152, FIRST_SINGLE = 156, FIRST_LATIN = 160,
                 UTF16_TABLE = 164, COMPOSITE_COUNT_X3 = 168, OUTLINE_COUNT_X3 = 176, COMPOSITE_BIAS = 184,
                 BIG5_TABLE = 192, SJIS_TABLE = 196, EUC_TABLE = 200, MODE6_TABLE = 204, WIDTH_PAGES = 208;
}
constexpr size_t kPageGlyphs = 224;
constexpr size_t kPageBytes = kPageGlyphs * 4;
constexpr int kEm = 128;
constexpr int kBaseline = 25;  // em units from the cell's bottom to the baseline
constexpr uint16_t kNoIndex = 0xFFFF;
constexpr int kMaxPages = 64;
/* The kinds this tool writes: 0 (GB2312 hanzi), 1 and 2 (all of GBK) number
 * glyphs by GBK code; 3 numbers the hanzi by Big5 cell and carries the Big5
 * table, 4 by Shift-JIS cell with the Shift-JIS and EUC tables. */
constexpr int kMaxKind = 4;
constexpr size_t kBig5Cells = 126 * 157, SJIS_CELLS = 60 * 188, EUC_ENTRIES = 0x8000, MODE6_ENTRIES = 0x8000;

/* ---- Character indices (the code page 936 index space) ---- */

/* Index of a GBK two-byte code, kNoIndex where the code has none. */
uint16_t gbk_index(int lead, int trail);
/* Cell numbers of the Big5 and Shift-JIS tables, -1 for a code outside them. */
int big5_cell(int lead, int trail);
int sjis_cell(int lead, int trail);
/* The Latin page byte (0x20..0xFF, Windows-1252 layout) of a code point, or -1. */
int latin_byte(uint32_t code_point);
/* The code point of a Latin page byte, or 0 when the byte has no character. */
uint32_t latin_code_point(int byte);

enum class GlyphKind { None, Latin, Single, Composite };
struct GlyphRef {
    GlyphKind kind = GlyphKind::None;
    uint32_t number = 0;
};
/* Where a character index lives in a font of the given character-set kind. */
GlyphRef glyph_of_index(int charset_kind, uint32_t index);
/* Sizes of the single-outline block and the composite table for a kind. */
uint32_t single_slots(int charset_kind);
uint32_t composite_slots(int charset_kind);

/* ---- Outline encoding ---- */

struct Point {
    int x = 0, y = 0;
};
/* One contour as segments from its start point: lines, or cubics with two
 * control points. Coordinates in em units. */
struct Segment {
    bool cubic = false;
    Point c1, c2, to;
};
struct Contour {
    Point start;
    std::vector<Segment> segments;
};

/* Appends a glyph's outline data: contour count, then per contour its start,
 * operation count, packed operation codes and operands. Chooses the compact
 * operation forms wherever they reproduce the points exactly. Fails (with a
 * message) for a point outside a signed byte or more than 255 contours. */
bool encode_outline(const std::vector<Contour>& contours, std::vector<uint8_t>* out, std::string* error);

/* The TrueType-to-em mapping of one face: x' = x * scale, y' = (y - descender)
 * * scale - 25, so that descender to ascender fills the em. */
struct EmMapping {
    double scale = 1;
    double descender = 0;
    int x(double font_x) const;
    int y(double font_y) const;
};

/* ---- Build ---- */

struct FaceSource {
    std::string path;
    long face_index = 0;
};

struct BuildOptions {
    std::vector<FaceSource> latin;  // one Latin page each; empty: the CJK face gives page 1
    FaceSource cjk;                 // empty path: no CJK glyphs
    int charset_kind = 1;
    bool flatten = false;  // every CJK glyph one outline, components never shared
    bool subset = false;   // only the code points in subset_chars get CJK glyphs
    std::vector<uint32_t> subset_chars;
    bool utf16_table = true;
    /* An iconv code page (CP949, BIG5, ...) whose codes the mode-6 table turns
     * into UTF-16; empty: no table. Needs the UTF-16 table. */
    std::string mode6_codepage;
    bool quiet = false;
};

struct BuildStats {
    size_t latin_glyphs = 0, single_glyphs = 0, composite_glyphs = 0, shared_components = 0;
    size_t outlines = 0, outline_bytes = 0, whole_outlines = 0, utf16_mapped = 0, file_bytes = 0;
};

/* Writes the font; the output is removed again on failure. */
bool build(const std::string& out, const BuildOptions& options, BuildStats* stats, std::string* error);

/* Parses "FILE" or "FILE:FACE"; refuses a face number that is not a number. */
bool parse_face_source(const std::string& text, FaceSource* source, std::string* error);
/* UTF-8 text to code points; fails on malformed bytes. */
bool decode_utf8(const std::string& text, std::vector<uint32_t>* out);

/* ---- Reading back ---- */

bool read_file(const std::string& path, std::vector<uint8_t>* data, std::string* error);
/* Prints the header, the pages and the counts; checks every offset and
 * reports what points outside the file. */
bool info(const std::string& path, const std::vector<uint8_t>& data, std::string* error);

/* ---- Drawing through the library's engine ---- */

struct RenderOptions {
    std::string out = "kesra-font.png";
    int width = 32, height = 32;  // the cell, 5..100 each
    int levels = 16;              // 4, 6, 8, 12 or 16
    int page = 1;                 // Latin page, 1-based
    int flags = 0;                // 1 smoothing, 2 sharpening, 4 edge rings, 8 a second ring
};

/* Draws the UTF-16 text cell by cell at the advances the engine gives and
 * writes the coverage as a PNG. */
bool render(const std::string& path, const std::vector<uint8_t>& data, const std::u16string& text,
            const RenderOptions& options, std::string* error);

}  // namespace kesra_font

#endif
