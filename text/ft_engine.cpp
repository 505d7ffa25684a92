/* ft_engine.cpp - the FreeType engine: the face opened through the platform's
 * file calls (so paths are read as every other path of the library), the
 * record's setters and size, glyph fetching through the glyph cache, and the
 * measuring of multibyte text. Cached glyphs are owned by their entries; a
 * glyph handed out uncached is kept until the next fetch. */
#include <ft2build.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SYNTHESIS_H

#include "text/charset.h"
#include "text/font_dispatch.h"
#include "text/ft_face.h"
#include "text/ft_run.h"
#include "winapi.h"

namespace kesra {

/* The record and the stream FreeType reads the file through, freed together. */
struct FreeTypeEngine::LoadedFace {
    FtFontRecord record;
    FT_StreamRec stream;
    /* The face's charmap answers by multibyte code (the character's one or
     * two bytes), direct-mapped: code + 1 (0 when empty), its glyph index and
     * where the glyph cache last had it. */
    struct Memo {
        uint32_t code;
        uint32_t index;
        GlyphCache::Hint hint;
    };
    static constexpr int kMemoBits = 9;
    Memo memo[1 << kMemoBits];
};

namespace {

unsigned long read_stream(FT_Stream stream, unsigned long offset, unsigned char* buffer,
                          unsigned long count) {
    FILE* file = static_cast<FILE*>(stream->descriptor.pointer);
    if (offset > static_cast<unsigned long>(LONG_MAX) ||
        std::fseek(file, static_cast<long>(offset), SEEK_SET) != 0)
        return count == 0 ? 1 : 0;  // a seek (count 0) reports failure as nonzero
    return count == 0 ? 0 : std::fread(buffer, 1, count, file);
}

void close_stream(FT_Stream stream) {
    if (stream->descriptor.pointer) std::fclose(static_cast<FILE*>(stream->descriptor.pointer));
    stream->descriptor.pointer = nullptr;
}

uint16_t code_point_of(const unsigned char* text, int bytes) {
    uint16_t code_point = 0;
    if (bytes == 2)
        DecodeMbcsChar(&code_point, text, 2);
    else
        code_point = text[0];
    return code_point;
}

/* Loads and renders into the face's slot; false on a load error or a glyph
 * too large to render. */
bool render_into_slot(const FtFontRecord& record, uint32_t index) {
    FT_Face face = record.face;
    if (FT_Load_Glyph(face, index, record.antialias ? FT_LOAD_DEFAULT : FT_LOAD_TARGET_MONO)) return false;
    if (record.bold) FT_GlyphSlot_Embolden(face->glyph);
    if (record.italic) FT_GlyphSlot_Oblique(face->glyph);
    if (face->glyph->format == FT_GLYPH_FORMAT_OUTLINE && outline_too_large(face->glyph->outline))
        return false;
    FT_Render_Glyph(face->glyph, record.antialias ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO);
    return true;
}

}  // namespace

/* A damaged or crafted font can give a glyph an outline so large that
 * FreeType would allocate and clear hundreds of megabytes for its bitmap. */
bool outline_too_large(const FT_Outline& outline) {
    FT_BBox box;
    FT_Outline_Get_CBox(&outline, &box);
    const int64_t width = (int64_t{box.xMax} - box.xMin) / 64 + 2,
                  height = (int64_t{box.yMax} - box.yMin) / 64 + 2;
    constexpr int64_t kMaxGlyphPixels = int64_t{1} << 24;
    return width > kMaxGlyphPixels || height > kMaxGlyphPixels || width * height > kMaxGlyphPixels;
}

bool take_first_fixed_size(FtFontRecord& record) {
    const FT_Face face = record.face;
    if (!face || face->num_fixed_sizes < 1 || !face->available_sizes) return false;
    record.width = face->available_sizes[0].width;
    record.height = face->available_sizes[0].height;
    FT_Set_Pixel_Sizes(face, static_cast<FT_UInt>(record.width), static_cast<FT_UInt>(record.height));
    return true;
}

FtFontRecord* FreeTypeEngine::record() { return record_ ? &record_->record : nullptr; }

int FreeTypeEngine::Load(const WCHAR* path) {
    if (!library_ready_) {
        if (FT_Init_FreeType(&library_)) return 0;
        library_ready_ = true;
    }
    FILE* file = _wfopen(path, u"rb");
    if (!file) return 0;
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
    if (size <= 0) {
        std::fclose(file);
        return 0;
    }
    LoadedFace* loaded = new (std::nothrow) LoadedFace{};
    if (!loaded) {
        std::fclose(file);
        return 0;
    }
    loaded->stream.size = static_cast<unsigned long>(size);
    loaded->stream.descriptor.pointer = file;
    loaded->stream.read = read_stream;
    loaded->stream.close = close_stream;
    FT_Open_Args args{};
    args.flags = FT_OPEN_STREAM;
    args.stream = &loaded->stream;
    FT_Face face = nullptr;
    if (FT_Open_Face(library_, &args, 0, &face)) {  // FreeType has closed the stream
        delete loaded;
        return 0;
    }
    FtFontRecord& record = loaded->record;
    record.face = face;
    if (!FT_IS_SCALABLE(face) && !take_first_fixed_size(record)) {
        FT_Done_Face(face);
        delete loaded;
        return 0;
    }
    record.applied_width = record.applied_height = -1;
    record.outline_color = 0xFFFF;
    // The cache is keyed by glyph index and size only: another face's glyphs must go.
    if (record_) drop_face(record_);
    record_ = loaded;
    return 1;
}

void FreeTypeEngine::drop_face(LoadedFace* face) {
    cache_.Clear();
    release_loose_glyph();
    FT_Done_Face(face->record.face);
    delete face;
}

void FreeTypeEngine::release_loose_glyph() {
    if (loose_glyph_) FT_Done_Glyph(loose_glyph_);
    loose_glyph_ = nullptr;
}

void FreeTypeEngine::Release() {
    if (!record_) return;
    drop_face(record_);
    record_ = nullptr;
    FT_Done_FreeType(library_);
    library_ = nullptr;
    library_ready_ = false;
}

/* FT_Get_Char_Index through a small memo: labels repeat their characters. */
uint32_t FreeTypeEngine::glyph_index(FtFontRecord* record, const unsigned char* text, int bytes,
                                     int* memo_slot) {
    *memo_slot = -1;
    FT_Face face = record->face;
    const bool memoised = record_ && &record_->record == record;
    const uint32_t code = bytes == 2 ? uint32_t{text[0]} << 8 | text[1] : text[0];
    const int slot = static_cast<int>((code * 0x9E3779B1u) >> (32 - LoadedFace::kMemoBits));
    if (memoised && record_->memo[slot].code == code + 1) {
        *memo_slot = slot;
        return record_->memo[slot].index;
    }
    const uint16_t code_point = code_point_of(text, bytes);
    const uint32_t index = face->charmap ? FT_Get_Char_Index(face, code_point) : code_point;
    if (memoised) {
        record_->memo[slot] = LoadedFace::Memo{code + 1, index, GlyphCache::Hint{}};
        *memo_slot = slot;
    }
    return index;
}

GlyphCache::Hint* FreeTypeEngine::hint_of(FtFontRecord* record, int memo_slot) {
    if (memo_slot < 0 || memo_slot >= (1 << LoadedFace::kMemoBits) || !record_ || &record_->record != record)
        return nullptr;
    return &record_->memo[memo_slot].hint;
}

int FreeTypeEngine::Fetch(FtFontRecord* record, int* left, int* top, const unsigned char* text,
                          const FT_Bitmap** bitmap, int no_cache) {
    release_loose_glyph();
    *bitmap = nullptr;
    if (!record || !record->face || !text) return 0;
    const int step = AnsiCharBytes(text);
    int slot;
    const uint32_t index = glyph_index(record, text, step, &slot);
    return fetch_index(record, index, step, hint_of(record, slot), left, top, bitmap, no_cache);
}

int FreeTypeEngine::FetchRun(FtFontRecord* record, const GlyphRun& run, int n, int* left, int* top,
                             const FT_Bitmap** bitmap) {
    release_loose_glyph();
    *bitmap = nullptr;
    if (!record || !record->face || n < 0 || n >= run.count) return 0;
    return fetch_index(record, run.index[n], run.bytes[n], hint_of(record, run.memo[n]), left, top, bitmap,
                       0);
}

/* The glyph of one character, for which the caller has released the loose glyph. */
int FreeTypeEngine::fetch_index(FtFontRecord* record, uint32_t index, int step, GlyphCache::Hint* hint,
                                int* left, int* top, const FT_Bitmap** bitmap, int no_cache) {
    const GlyphKey key{index, record->width, record->height};
    if (!no_cache) {
        const CachedGlyph* hit = hint ? cache_.Lookup(key, *hint) : cache_.Lookup(key);
        if (hit) {
            *left = hit->left;
            *top = hit->top;
            *bitmap = &hit->bitmap;
            return step;
        }
    }
    return fetch_rendered(record, key, step, left, top, bitmap, no_cache);
}

int FreeTypeEngine::fetch_rendered(FtFontRecord* record, const GlyphKey& key, int step, int* left, int* top,
                                   const FT_Bitmap** bitmap, int no_cache) {
    const uint32_t index = key.index;
    if (!render_into_slot(*record, index)) return 0;
    FT_Glyph glyph = nullptr;
    if (FT_Get_Glyph(record->face->glyph, &glyph)) return no_cache ? 0 : step;
    if (FT_Glyph_To_Bitmap(&glyph, FT_RENDER_MODE_NORMAL, nullptr, 1) ||
        glyph->format != FT_GLYPH_FORMAT_BITMAP) {
        FT_Done_Glyph(glyph);
        return no_cache ? 0 : step;
    }
    const FT_Bitmap& rendered = reinterpret_cast<FT_BitmapGlyph>(glyph)->bitmap;
    *left = record->face->glyph->bitmap_left;
    *top = record->face->glyph->bitmap_top;
    *bitmap = &rendered;
    if (!no_cache && cache_.Add(rendered, glyph, key, *top, *left)) return step;
    loose_glyph_ = glyph;
    return step;
}

/* A character's bitmap width for measuring: looked up, or rendered without
 * caching; -1 on a glyph error. */
int32_t FreeTypeEngine::char_width(FtFontRecord* record, uint32_t index, GlyphCache::Hint* hint) {
    const GlyphKey key{index, record->width, record->height};
    if (const CachedGlyph* hit = hint ? cache_.Lookup(key, *hint) : cache_.Lookup(key))
        return static_cast<int32_t>(hit->bitmap.width);
    if (!render_into_slot(*record, index)) return -1;
    return static_cast<int32_t>(record->face->glyph->bitmap.width);
}

namespace {

/* A character's share of a measured width: an empty glyph counts half the
 * font's width, and a narrow one 2 more when a two-byte character follows. */
int32_t measured_width(const FtFontRecord& record, int32_t width, bool wide_next) {
    if (width == 0) width = record.width / 2;
    if (width < record.width && wide_next) width += 2;
    return record.extra_spacing + width;
}

}  // namespace

int32_t FreeTypeEngine::MeasureAnsi(FtFontRecord* record, const unsigned char* text, int count) {
    if (!record || !record->face) return -1;
    if (!text || !*text) return 0;
    if (count == -1) count = 99999;
    int32_t total = 0;
    for (int n = 0; n < count && *text; ++n) {
        const int step = AnsiCharBytes(text);
        int slot;
        const uint32_t index = glyph_index(record, text, step, &slot);
        const int32_t width = char_width(record, index, hint_of(record, slot));
        if (width < 0) return 0;
        text += step;
        total += measured_width(*record, width, (*text & 0x80) != 0);
    }
    return total;
}

void FreeTypeEngine::Decode(FtFontRecord* record, const unsigned char* text, int count, GlyphRun& run) {
    run.count = 0;
    if (!record || !record->face || !text) return;
    for (int n = 0; n < count && n < GlyphRun::kMaxChars && *text; ++n) {
        const int step = AnsiCharBytes(text);
        int slot;
        run.index[n] = glyph_index(record, text, step, &slot);
        run.memo[n] = static_cast<int16_t>(slot);
        run.bytes[n] = static_cast<uint8_t>(step);
        text += step;
        run.wide_next[n] = (*text & 0x80) != 0;
        run.count = n + 1;
    }
}

int32_t FreeTypeEngine::MeasureRun(FtFontRecord* record, const GlyphRun& run) {
    if (!record || !record->face) return -1;
    int32_t total = 0;
    for (int n = 0; n < run.count; ++n) {
        const int32_t width = char_width(record, run.index[n], hint_of(record, run.memo[n]));
        if (width < 0) return 0;
        total += measured_width(*record, width, run.wide_next[n]);
    }
    return total;
}

int32_t FreeTypeEngine::Measure(const WCHAR* text, int count, const CCEFont&) {
    if (!record_) return -1;
    if (text && count == -1) count = static_cast<int>(std::char_traits<WCHAR>::length(text));
    char ansi[kAnsiBufferSize];
    to_ansi(text, count, ansi);
    return MeasureAnsi(record(), reinterpret_cast<const unsigned char*>(ansi), count);
}

int AnsiCharBytes(const unsigned char* text) { return (text[0] & 0x80) && text[1] ? 2 : 1; }

int FetchFtGlyph(FtFontRecord* record, int* left, int* top, const unsigned char* text,
                 const FT_Bitmap** bitmap, int no_cache) {
    return font_state().freetype.Fetch(record, left, top, text, bitmap, no_cache);
}

void SetFtFontSize(FtFontRecord* record, int width, int height) {
    if (!record) return;
    if (width == 0) width = height;
    if (height == 0) height = width;
    record->width = width;
    record->height = height;
    // Setting the size runs the font's size program: skipped when it is the size in use.
    if (!record->face || (record->applied_width == width && record->applied_height == height)) return;
    if (FT_Set_Char_Size(record->face, FT_F26Dot6{width} * 64, FT_F26Dot6{height} * 64, 0, 0) == 0) {
        record->applied_width = width;
        record->applied_height = height;
    } else {
        record->applied_width = record->applied_height = -1;
    }
}

void SetFtBold(FtFontRecord* record, int value) {
    if (record) record->bold = static_cast<int8_t>(value);
}
void SetFtItalic(FtFontRecord* record, int value) {
    if (record) record->italic = static_cast<int8_t>(value);
}
void SetFtAntiAlias(FtFontRecord* record, int value) {
    if (record) record->antialias = static_cast<int8_t>(value);
}
void SetFtOutline(FtFontRecord* record, int value) {
    if (record) record->outline = static_cast<int8_t>(value);
}
void SetFtOutlineColor(FtFontRecord* record, int value) {
    if (record) record->outline_color = static_cast<uint16_t>(value);
}

}  // namespace kesra
