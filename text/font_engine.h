/* font_engine.h - the process's one loaded font and the two glyph engines
 * behind it: the built-in engine for the library's own outline format and
 * FreeType for files whose name contains ".ttf" or ".TTF". The engine is chosen
 * by the file name on every LoadFont; all of this state lives in FontState and
 * is used from the drawing thread only. */
#ifndef KESRA_TEXT_FONT_ENGINE_H
#define KESRA_TEXT_FONT_ENGINE_H

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_GLYPH_H

#include <cstddef>
#include <cstdint>

#include "ceobject.h"
#include "text/cell_ink.h"
#include "text/glyph_cache.h"

namespace kesra {

/* A loaded FreeType face with its drawing settings (zero-filled at creation). */
struct FtFontRecord {
    int32_t width;  // pixel size of the face's current size
    int32_t height;
    uint16_t reserved0;
    uint16_t outline_color;  // Color16; 0xFFFF after loading
    int32_t extra_spacing;   // pixels added after every character when measuring
    uint8_t reserved1[8];
    int8_t bold;
    int8_t italic;
    int8_t antialias;  // 256-level grey glyphs when nonzero, one-bit glyphs otherwise
    int8_t outline;    // a one-pixel edge in outline_color around every glyph
    FT_Face face;
    int32_t applied_width;  // the size last given to FT_Set_Char_Size; -1 when unknown
    int32_t applied_height;
};

/* What an engine does for the text code; both engines implement it. */
class FontEngine {
   public:
    virtual ~FontEngine() = default;
    /* 1 on success, 0 on failure; a failure keeps the font loaded before. */
    virtual int Load(const WCHAR* path) = 0;
    virtual void Release() = 0;
    /* Width in pixels of count UTF-16 characters drawn with font. */
    virtual int32_t Measure(const WCHAR* text, int count, const CCEFont& font) = 0;
    /* One character's coverage into coverage (rows *width bytes apart); *width
     * and *height come in as the font's size and go out as the glyph's. units
     * code units are left in the string from ch on. ink (may be null) becomes
     * the coverage's ink where the engine knows it and is left alone otherwise. */
    virtual void RenderCoverage(int* width, int* height, const WCHAR* ch, int units, uint8_t* coverage,
                                const CCEFont& font, CellInk* ink) = 0;
};

struct StcfFontRecord;
struct GlyphRun;

/* The library's own font format: the whole file is read into memory and
 * parsed by the format code (text/stcf_format.h). */
class BuiltinEngine final : public FontEngine {
   public:
    ~BuiltinEngine() override { Release(); }
    int Load(const WCHAR* path) override;
    void Release() override;
    int32_t Measure(const WCHAR* text, int count, const CCEFont& font) override;
    void RenderCoverage(int* width, int* height, const WCHAR* ch, int units, uint8_t* coverage,
                        const CCEFont& font, CellInk* ink) override;
    /* Code units the character at text takes up (an inline composite more than one). */
    int CharUnits(const WCHAR* text, int units) const;

    bool loaded() const { return image_ && record_; }
    const uint8_t* image() const { return image_; }

   private:
    uint8_t* image_ = nullptr;  // FontFileImage
    size_t image_size_ = 0;
    StcfFontRecord* record_ = nullptr;
};

/* FreeType: the library, the loaded face's record and the glyph cache. */
class FreeTypeEngine final : public FontEngine {
   public:
    ~FreeTypeEngine() override { Release(); }
    int Load(const WCHAR* path) override;
    void Release() override;
    int32_t Measure(const WCHAR* text, int count, const CCEFont& font) override;
    // Built-in only.
    void RenderCoverage(int*, int*, const WCHAR*, int, uint8_t*, const CCEFont&, CellInk*) override {}

    FtFontRecord* record();
    GlyphCache& cache() { return cache_; }
    bool library_ready() const { return library_ready_; }

    /* See FetchFtGlyph in text/font_dispatch.h. */
    int Fetch(FtFontRecord* record, int* left, int* top, const unsigned char* text, const FT_Bitmap** bitmap,
              int no_cache);
    /* Width of a multibyte string; -1 for a null record, 0 on a glyph error. */
    int32_t MeasureAnsi(FtFontRecord* record, const unsigned char* text, int count);
    /* The same two steps over a string decoded once (text/ft_run.h): its
     * first count characters, then their width, then character n's glyph. */
    void Decode(FtFontRecord* record, const unsigned char* text, int count, GlyphRun& run);
    int32_t MeasureRun(FtFontRecord* record, const GlyphRun& run);
    int FetchRun(FtFontRecord* record, const GlyphRun& run, int n, int* left, int* top,
                 const FT_Bitmap** bitmap);

   private:
    struct LoadedFace;
    void drop_face(LoadedFace* face);
    /* The glyph index of the character at text and its memo slot (-1: none). */
    uint32_t glyph_index(FtFontRecord* record, const unsigned char* text, int bytes, int* memo_slot);
    GlyphCache::Hint* hint_of(FtFontRecord* record, int memo_slot);
    int fetch_index(FtFontRecord* record, uint32_t index, int step, GlyphCache::Hint* hint, int* left,
                    int* top, const FT_Bitmap** bitmap, int no_cache);
    int fetch_rendered(FtFontRecord* record, const GlyphKey& key, int step, int* left, int* top,
                       const FT_Bitmap** bitmap, int no_cache);
    int32_t char_width(FtFontRecord* record, uint32_t index, GlyphCache::Hint* hint);
    void release_loose_glyph();

    FT_Library library_ = nullptr;
    bool library_ready_ = false;
    LoadedFace* record_ = nullptr;
    GlyphCache cache_;
    /* The last glyph handed out without a cache entry (rotated text, or an
     * entry that could not be allocated): released at the next fetch. */
    FT_Glyph loose_glyph_ = nullptr;
};

/* The process-wide font state. */
struct FontState {
    int UseBuiltinEngine = 1;  // set by every LoadFont from the file name
    BuiltinEngine builtin;
    FreeTypeEngine freetype;
    uint8_t FontCoverageBuffer[40 * 40] = {};  // one built-in glyph, rows one font width apart

    FontEngine& active() { return UseBuiltinEngine ? static_cast<FontEngine&>(builtin) : freetype; }
};

FontState& font_state();

}  // namespace kesra

#endif
