/* Text through FreeType: the glyph cache, font loading and the engine choice,
 * the glyph painter against its per-pixel reference, and DrawTextW and
 * DM_DrawText compared with FreeType's own bitmaps of the same glyphs. */
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_GLYPH_H
#include FT_MODULE_H

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "core/pixel.h"
#include "draw/context.h"
#include "surface/shared_state.h"
#include "tests/test_helpers.h"
#include "text/font_dispatch.h"
#include "text/ft_face.h"
#include "text/ft_paint.h"

using namespace kesra;
using kesra::test::Screen;

namespace {

const char* const kLatinFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

int load(const std::string& path) {
    std::u16string w(path.begin(), path.end());
    return LoadFont(w.data());
}

std::vector<char> read_all(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

struct TempDir {
    TempDir() {
        char name[] = "/tmp/kesra_text_XXXXXX";
        path = mkdtemp(name);
    }
    ~TempDir() { std::system(("rm -rf " + path).c_str()); }
    std::string write(const std::string& name, const std::vector<char>& bytes) const {
        const std::string file = path + "/" + name;
        std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return file;
    }
    std::string path;
};

class Text : public ::testing::Test {
   protected:
    void SetUp() override {
        ASSERT_FALSE(read_all(kLatinFont).empty()) << kLatinFont << " (fonts-dejavu-core) is missing";
        reset();
    }
    void TearDown() override { reset(); }
    static void reset() {
        font_state().freetype.Release();
        font_state().builtin.Release();
        font_state().UseBuiltinEngine = 1;
    }
    static std::vector<uint16_t> pixels(const Screen& s) {
        const auto* p = reinterpret_cast<const uint16_t*>(s.dc->GetBuffer());
        return std::vector<uint16_t>(p, p + static_cast<size_t>(s.w) * s.h);
    }
    static long count_of(const Screen& s, uint16_t value) {
        long n = 0;
        for (int y = 0; y < s.h; ++y)
            for (int x = 0; x < s.w; ++x) n += s.at(x, y) == value;
        return n;
    }
};

FT_Bitmap grey_bitmap(std::vector<uint8_t>& storage, int width, int rows, int pitch) {
    FT_Bitmap b{};
    b.rows = static_cast<unsigned>(rows);
    b.width = static_cast<unsigned>(width);
    b.pitch = pitch;
    b.buffer = storage.data();
    b.num_grays = 256;
    b.pixel_mode = FT_PIXEL_MODE_GRAY;
    return b;
}

FT_Bitmap dummy_bitmap() { return FT_Bitmap{}; }

}  // namespace

/* The cache against the lists walked as they are described: random adds of
 * new keys and lookups of old and unknown ones, seeded; the order, the counts
 * and each lookup's answer must agree at every step. Half the lookups go
 * through hints that several keys share, so that hints name other keys'
 * entries and entries dropped since. */
TEST(GlyphCache, MatchesTheWalkedListsOverARandomRun) {
    struct Model {
        std::vector<std::pair<uint32_t, int>> active, overflow;  // head first
        void insert(std::pair<uint32_t, int> e) {
            auto at = active.begin();
            while (at != active.end() && at->second > e.second) ++at;
            active.insert(at, e);
        }
        int lookup(uint32_t k) {
            for (size_t i = 0; i < active.size(); ++i)
                if (active[i].first == k) {
                    auto e = active[i];
                    ++e.second;
                    active.erase(active.begin() + long(i));
                    insert(e);
                    return 1;
                }
            for (auto& e : overflow)
                if (e.first == k) return 2;
            return 0;
        }
        void add(uint32_t k) {
            if (active.size() >= 100) {
                overflow.insert(overflow.begin(), active.back());
                active.pop_back();
                if (overflow.size() > 300) overflow.erase(overflow.begin());
            }
            insert({k, 1});
        }
    } model;
    GlyphCache cache;
    std::mt19937 rng(4303);
    GlyphCache::Hint hints[64];
    uint32_t next = 0;
    for (int step = 0; step < 20000; ++step) {
        const uint32_t k = std::uniform_int_distribution<uint32_t>(0, next + 20)(rng);
        const int expected = model.lookup(k);
        const GlyphKey key{k, 10, 10};
        const CachedGlyph* hit = step % 2 ? cache.Lookup(key, hints[k % 64]) : cache.Lookup(key);
        ASSERT_EQ(hit != nullptr, expected != 0) << "step " << step;
        if (hit) {
            ASSERT_EQ(uint32_t(hit->top), k);
        }
        if (!hit && k >= next) {
            const uint32_t fresh = next++;
            if (model.lookup(fresh) == 0) {
                model.add(fresh);
                cache.Add(dummy_bitmap(), nullptr, GlyphKey{fresh, 10, 10}, int32_t(fresh), 0);
            }
        }
        if (step % 97 == 0) {
            std::vector<std::pair<uint32_t, int>> active, overflow;
            for (const auto& e : cache.active_entries()) active.emplace_back(e.first.index, e.second);
            for (const auto& e : cache.overflow_entries()) overflow.emplace_back(e.first.index, e.second);
            ASSERT_EQ(active, model.active) << "step " << step;
            ASSERT_EQ(overflow, model.overflow) << "step " << step;
        }
    }
    EXPECT_EQ(cache.overflow_count(), 300);
}

namespace {
long g_live_blocks = 0;
void* counted_alloc(FT_Memory, long size) {
    ++g_live_blocks;
    return std::malloc(static_cast<size_t>(size));
}
void counted_free(FT_Memory, void* block) {
    --g_live_blocks;
    std::free(block);
}
void* counted_realloc(FT_Memory, long, long size, void* block) {
    return std::realloc(block, static_cast<size_t>(size));
}
}  // namespace

TEST(GlyphCache, DroppedAndClearedEntriesReleaseTheirGlyphs) {
    FT_MemoryRec_ memory{nullptr, counted_alloc, counted_free, counted_realloc};
    FT_Library library;
    ASSERT_EQ(FT_New_Library(&memory, &library), 0);
    FT_Add_Default_Modules(library);
    FT_Face face;
    ASSERT_EQ(FT_New_Face(library, kLatinFont, 0, &face), 0) << kLatinFont;
    FT_Set_Pixel_Sizes(face, 0, 12);
    // FreeType's own lazy state first; the slot always ends holding the same glyph.
    for (int i = 0; i < 41; ++i) FT_Load_Glyph(face, 36 + i % 40, FT_LOAD_RENDER);
    const long baseline = g_live_blocks;
    {
        GlyphCache cache;
        for (uint32_t i = 0; i < 450; ++i) {  // 50 of them dropped from the full overflow list
            ASSERT_EQ(FT_Load_Glyph(face, 36 + i % 40, FT_LOAD_RENDER), 0);
            FT_Glyph glyph;
            ASSERT_EQ(FT_Get_Glyph(face->glyph, &glyph), 0);
            const FT_Bitmap& bitmap = reinterpret_cast<FT_BitmapGlyph>(glyph)->bitmap;
            ASSERT_NE(cache.Add(bitmap, glyph, GlyphKey{i, 12, 12}, 0, 0), nullptr);
        }
        EXPECT_EQ(cache.overflow_count(), 300);
        EXPECT_GT(g_live_blocks, baseline + 400);
        cache.Clear();
        FT_Load_Glyph(face, 36, FT_LOAD_RENDER);
        EXPECT_EQ(g_live_blocks, baseline);
    }
    FT_Done_Face(face);
    FT_Done_Library(library);
}

TEST_F(Text, BadFontFilesFailAndLeaveThePreviousFontDrawing) {
    Screen s(160, 40);
    ASSERT_EQ(load(kLatinFont), 1);
    FtFontRecord* record = LoadedFtRecord();
    s.dc->SetTextColor(0xFFFF);
    s.fill(0);
    ASSERT_EQ(s.dc->DrawTextW(u"Road 12", -1, RECT{0, 0, 159, 39}, 0), 1);
    const std::vector<uint16_t> before = pixels(s);
    ASSERT_NE(std::count(before.begin(), before.end(), 0xFFFF), 0);

    TempDir dir;
    const std::vector<char> font = read_all(kLatinFont);
    std::vector<std::string> bad = {dir.path + "/missing.ttf", dir.write("empty.ttf", {}),
                                    dir.write("text.ttf", std::vector<char>(300, 'x'))};
    for (size_t cut : {size_t{4}, size_t{12}, size_t{100}, font.size() / 3})
        bad.push_back(dir.write("cut" + std::to_string(cut) + ".ttf",
                                std::vector<char>(font.begin(), font.begin() + static_cast<long>(cut))));
    for (const std::string& path : bad) {
        EXPECT_EQ(load(path), 0) << path;
        EXPECT_EQ(LoadedFtRecord(), record) << path;
        s.fill(0);
        EXPECT_EQ(s.dc->DrawTextW(u"Road 12", -1, RECT{0, 0, 159, 39}, 0), 1);
        EXPECT_EQ(pixels(s), before) << path;
    }

    // A failed load of another engine's file switches the engine all the same:
    // FreeType text is no longer drawn until a .ttf file is loaded again.
    EXPECT_EQ(load(dir.path + "/missing.fnt"), 0);
    s.fill(0);
    EXPECT_EQ(s.dc->DrawTextW(u"Road 12", -1, RECT{0, 0, 159, 39}, 0), 1);
    EXPECT_EQ(count_of(s, 0), s.w * s.h);
    ASSERT_EQ(load(kLatinFont), 1);
    s.fill(0);
    s.dc->DrawTextW(u"Road 12", -1, RECT{0, 0, 159, 39}, 0);
    EXPECT_EQ(pixels(s), before);
}

TEST_F(Text, GreyCoverageBlendsAtAnEighthOfItsValue) {
    Screen s(8, 4);
    std::vector<uint8_t> cells = {128, 255, 1, 8, 0, 254};
    const FT_Bitmap b = grey_bitmap(cells, 6, 1, 6);
    s.fill(0x0000);
    paint_ft_glyph(canvas_of(*s.dc), b, 1, 1, TextClip{0, 0, 7, 3}, GlyphInk{0xFFFF, false, 0, true});
    EXPECT_EQ(s.at(1, 1), 0x7BEF);  // 128: level 16 of 32
    EXPECT_EQ(s.at(2, 1), 0xFFFF);
    EXPECT_EQ(s.at(3, 1), 0x0000);  // 1: level 0
    EXPECT_EQ(s.at(4, 1), blend565(0, 0xFFFF, 1));
    EXPECT_EQ(s.at(5, 1), 0x0000);
    EXPECT_EQ(s.at(6, 1), blend565(0, 0xFFFF, 31));
}

/* Seeded random bitmaps, clips and grounds: the fast painter (wide and narrow
 * blends) leaves the same pixels as the per-pixel reference. */
TEST_F(Text, FastGlyphPainterMatchesThePerPixelReference) {
    Screen fast(64, 48), plain(64, 48);
    std::mt19937 rng(20261206);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto cell = [&]() -> uint8_t {
        return pick(0, 3) == 0 ? 0 : pick(0, 2) == 0 ? 255 : static_cast<uint8_t>(pick(0, 255));
    };
    for (const bool wide : {true, false}) {
        allow_wide_glyph_blend(wide);
        for (int round = 0; round < 3000; ++round) {
            const bool mono = round % 3 == 2, runs = round % 2 == 1;
            const int width = pick(1, 40), rows = pick(1, 40);
            const int pitch = (mono ? (width + 7) / 8 : width) + pick(0, 3);
            std::vector<uint8_t> cells(static_cast<size_t>(pitch) * rows);
            for (size_t k = 0; k < cells.size();) {
                const size_t run = runs ? static_cast<size_t>(pick(1, 24)) : 1;
                const int kind = pick(0, 2);
                for (size_t n = 0; n < run && k < cells.size(); ++n, ++k)
                    cells[k] = runs && kind == 0 ? 0 : runs && kind == 1 ? 255 : cell();
            }
            FT_Bitmap b = grey_bitmap(cells, width, rows, pitch);
            if (mono) b.pixel_mode = FT_PIXEL_MODE_MONO;
            const int x0 = pick(-30, 70), y0 = pick(-30, 60);
            const TextClip clip{pick(-5, 40), pick(-5, 30), pick(20, 70), pick(10, 55)};
            const GlyphInk ink{static_cast<uint16_t>(pick(0, 0xFFFF)), pick(0, 1) == 1,
                               static_cast<uint16_t>(pick(0, 0xFFFF)), true};
            for (int y = 0; y < fast.h; ++y)
                for (int x = 0; x < fast.w; ++x)
                    fast.at(x, y) = plain.at(x, y) = static_cast<uint16_t>(pick(0, 0xFFFF));
            paint_ft_glyph(canvas_of(*fast.dc), b, x0, y0, clip, ink);
            paint_ft_glyph_reference(*plain.dc, b, x0, y0, clip, ink);
            ASSERT_EQ(pixels(fast), pixels(plain)) << "round " << round << (wide ? " wide" : " narrow");
        }
    }
    allow_wide_glyph_blend(true);
}

namespace {

/* DrawTextW's FreeType layout worked out with FreeType directly: each glyph
 * rendered at the font's size, placed at pen + left, y + 2 + ascender +
 * descender - top, grey v painted as the level v / 8 blend of the colour. */
std::vector<uint16_t> expected_label(const char* font_path, const std::u32string& text, int size, int x,
                                     int y, int width, int height, uint16_t color) {
    std::vector<uint16_t> out(static_cast<size_t>(width) * height, 0);
    FT_Library library;
    FT_Face face;
    EXPECT_EQ(FT_Init_FreeType(&library), 0);
    EXPECT_EQ(FT_New_Face(library, font_path, 0, &face), 0);
    FT_Set_Char_Size(face, size * 64, size * 64, 0, 0);
    const int line = y + 2 + static_cast<int>(face->size->metrics.ascender >> 6) +
                     static_cast<int>(face->size->metrics.descender >> 6);
    int pen = x;
    for (char32_t c : text) {
        FT_Load_Char(face, c, FT_LOAD_RENDER);
        const FT_GlyphSlot g = face->glyph;
        for (unsigned j = 0; j < g->bitmap.rows; ++j)
            for (unsigned i = 0; i < g->bitmap.width; ++i) {
                const int px = pen + g->bitmap_left + int(i), py = line - g->bitmap_top + int(j);
                const uint8_t v = g->bitmap.buffer[j * g->bitmap.pitch + i];
                if (px < 0 || py < 0 || px >= width || py >= height || v == 0) continue;
                uint16_t& d = out[static_cast<size_t>(py) * width + px];
                d = v == 255 ? color : blend565(d, color, v >> 3);
            }
        int w = int(g->bitmap.width);
        if (w == 0) w = size / 2;
        if (w < size) w += 1;
        pen += w + g->bitmap_left;
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return out;
}

RECT ink_box(const std::vector<uint16_t>& p, int width) {
    RECT box{1 << 30, 1 << 30, -1, -1};
    for (size_t k = 0; k < p.size(); ++k)
        if (p[k]) {
            const LONG x = LONG(k % width), y = LONG(k / width);
            box = RECT{std::min(box.left, x), std::min(box.top, y), std::max(box.right, x),
                       std::max(box.bottom, y)};
        }
    return box;
}

}  // namespace

TEST_F(Text, DrawnLabelEqualsFreeTypesOwnBitmaps) {
    Screen s(200, 40);
    ASSERT_EQ(load(kLatinFont), 1);
    CCEFont font(18, 18, 2, 400);
    s.dc->SetGDIObject(&font);
    s.dc->SetTextColor(0xFFE0);
    s.fill(0);
    EXPECT_EQ(s.dc->DrawTextW(u"Hg Wall-Str.", -1, RECT{3, 4, 199, 39}, 0), 1);
    EXPECT_EQ(pixels(s), expected_label(kLatinFont, U"Hg Wall-Str.", 18, 3, 4, 200, 40, 0xFFE0));
    // Drawn again from the cache: the same pixels.
    EXPECT_GT(font_state().freetype.cache().active_count(), 0);
    s.fill(0);
    s.dc->DrawTextW(u"Hg Wall-Str.", -1, RECT{3, 4, 199, 39}, 0);
    EXPECT_EQ(pixels(s), expected_label(kLatinFont, U"Hg Wall-Str.", 18, 3, 4, 200, 40, 0xFFE0));
    s.dc->SetToDefaultFont();
}

/* DrawTextW measures the label, then draws it, looking every character up in
 * turn each time; measuring never adds. "abca" leaves a at 2 hits ahead of c
 * and b; drawn again, b and c reach 3 and c, hit last, stands ahead of b. */
TEST_F(Text, LabelsLookEachGlyphUpToMeasureAndAgainToDraw) {
    Screen s(120, 30);
    ASSERT_EQ(load(kLatinFont), 1);
    const FT_Face face = LoadedFtRecord()->face;
    const uint32_t a = FT_Get_Char_Index(face, 'a'), b = FT_Get_Char_Index(face, 'b'),
                   c = FT_Get_Char_Index(face, 'c');
    auto order = [] {
        std::vector<std::pair<uint32_t, int>> out;
        for (const auto& e : font_state().freetype.cache().active_entries())
            out.emplace_back(e.first.index, e.second);
        return out;
    };
    using Order = std::vector<std::pair<uint32_t, int>>;
    s.dc->DrawTextW(u"abca", -1, RECT{0, 0, 119, 29}, 0);
    EXPECT_EQ(order(), (Order{{a, 2}, {c, 1}, {b, 1}}));
    s.dc->DrawTextW(u"abca", -1, RECT{0, 0, 119, 29}, 0);
    EXPECT_EQ(order(), (Order{{a, 6}, {c, 3}, {b, 3}}));
}

TEST_F(Text, AlignmentMovesTheWholeLineAndClippingIsInclusive) {
    Screen s(200, 60);
    ASSERT_EQ(load(kLatinFont), 1);
    s.dc->SetTextColor(0xFFFF);
    const RECT rect{10, 5, 180, 50};
    s.fill(0);
    s.dc->DrawTextW(u"Elm", -1, rect, 0);
    const std::vector<uint16_t> plain = pixels(s);
    const RECT base = ink_box(plain, s.w);
    const int32_t w = MeasureText(u"Elm", 3, *s.dc->m_pFont);
    ASSERT_GT(w, 0);
    struct Case {
        UINT format;
        int dx, dy;
    };
    const Case cases[] = {{DT_RIGHT, (180 - w) - 10, 0},
                          {DT_CENTER | DT_RIGHT, ((180 - w) - 10) >> 1, 0},  // centring wins
                          {DT_VCENTER | DT_BOTTOM, 0, (45 - 16) >> 1},
                          {DT_BOTTOM, 0, 50 - 16 - 5}};
    for (const Case& c : cases) {
        s.fill(0);
        s.dc->DrawTextW(u"Elm", -1, rect, c.format);
        const RECT box = ink_box(pixels(s), s.w);
        EXPECT_EQ(box.left - base.left, c.dx) << c.format;
        EXPECT_EQ(box.top - base.top, c.dy) << c.format;
    }
    // A rectangle cutting through the glyphs keeps exactly the pixels on and inside its edges.
    const RECT cut{base.left + 3, base.top + 2, base.right - 4, base.bottom - 3};
    s.fill(0);
    s.dc->DrawTextW(u"Elm", -1, RECT{10, 5, cut.right, cut.bottom}, 0);
    for (int y = 0; y < s.h; ++y)
        for (int x = 0; x < s.w; ++x) {
            const bool inside = x <= cut.right && y <= cut.bottom;
            ASSERT_EQ(s.at(x, y), inside ? plain[size_t(y) * s.w + x] : 0) << x << "," << y;
        }
}

TEST_F(Text, RefusalsAndStringsThatEndEarly) {
    Screen s(120, 30);
    ASSERT_EQ(load(kLatinFont), 1);
    s.fill(0);
    s.dc->SetTextColor(0xFFFF);
    EXPECT_EQ(s.dc->DrawTextW(nullptr, 3, RECT{0, 0, 119, 29}, 0), 0);
    EXPECT_EQ(s.dc->DrawTextW(u"", -1, RECT{0, 0, 119, 29}, 0), 1);
    EXPECT_EQ(s.dc->DrawTextW(u"A", -1, RECT{0, 0, 0, 29}, 0), 0);      // right < 1
    EXPECT_EQ(s.dc->DrawTextW(u"A", -1, RECT{120, 0, 200, 29}, 0), 0);  // left at the screen width
    EXPECT_EQ(s.dc->DrawTextW(u"A", -1, RECT{0, 30, 119, 40}, 0), 0);
    CCEFont wide_font(41, 16, 2, 400);
    s.dc->SetGDIObject(&wide_font);
    EXPECT_EQ(s.dc->DrawTextW(u"A", -1, RECT{0, 0, 119, 29}, 0), 0);
    s.dc->SetGDIObject(nullptr);
    s.dc->m_pFont = nullptr;
    EXPECT_EQ(s.dc->DrawTextW(u"A", -1, RECT{0, 0, 119, 29}, 0), 0);  // no font object
    s.dc->SetToDefaultFont();
    EXPECT_EQ(count_of(s, 0), s.w * s.h);

    // An unpaired surrogate becomes the default character; the rest is drawn.
    const char16_t lone[] = {u'A', 0xD800, u'B', 0};
    EXPECT_EQ(s.dc->DrawTextW(lone, -1, RECT{0, 0, 119, 29}, 0), 1);
    const std::vector<uint16_t> with_lone = pixels(s);
    s.fill(0);
    s.dc->DrawTextW(u"A?B", -1, RECT{0, 0, 119, 29}, 0);
    EXPECT_EQ(pixels(s), with_lone);
    // A count past the converted text stops at its end.
    s.fill(0);
    s.dc->DrawTextW(u"A?B", 3, RECT{0, 0, 119, 29}, 0);
    EXPECT_EQ(pixels(s), with_lone);
    // A character outside the font draws the face's missing glyph; the text goes on.
    const char16_t outside[] = {u'A', 0xE000, u'B', 0};
    EXPECT_EQ(s.dc->DrawTextW(outside, -1, RECT{0, 0, 119, 29}, 0), 1);
}

TEST_F(Text, RotatedLabelsBypassTheCacheAndLeaveNoTransform) {
    Screen s(200, 80);
    ASSERT_EQ(load(kLatinFont), 1);
    s.dc->SetTextColor(0xFFFF);
    s.fill(0);
    s.dc->DrawTextW(u"Oak", -1, RECT{0, 0, 199, 79}, 0);
    const std::vector<uint16_t> upright = pixels(s);

    // The rectangle's top is the label's centre line; its height below the
    // line bounds the label above it too.
    DMX_tag_StringStruct params{};
    params.crText = RGBQUAD{0xFF, 0xFF, 0xFF, 0};
    s.fill(0);
    s.dc->DM_DrawText(u"l", -1, RECT{60, 40, 199, 79}, &params, 0);
    const RECT standing = ink_box(pixels(s), s.w);
    EXPECT_GT(standing.bottom - standing.top, 3 * (standing.right - standing.left));
    EXPECT_LT(standing.top, 40);

    Reset_Fontcache();
    params.lAngle = 90;
    s.fill(0);
    s.dc->DM_DrawText(u"l", -1, RECT{60, 40, 199, 79}, &params, 0);
    EXPECT_EQ(font_state().freetype.cache().active_count(), 0);
    const RECT lying = ink_box(pixels(s), s.w);
    EXPECT_GT(lying.right - lying.left, 3 * (lying.bottom - lying.top));  // turned a quarter
    // An angle past the tables' three turns is folded, not read out of bounds.
    params.lAngle = 1170;
    s.fill(0);
    s.dc->DM_DrawText(u"l", -1, RECT{60, 40, 199, 79}, &params, 0);
    const RECT folded = ink_box(pixels(s), s.w);
    EXPECT_EQ(folded.bottom - folded.top, lying.bottom - lying.top);
    EXPECT_GT(folded.right - folded.left, 3 * (folded.bottom - folded.top));
    // Turned a little clockwise, the glyph starts left of the pen and is kept whole.
    params.lAngle = 348;
    s.fill(0);
    s.dc->DM_DrawText(u"l", -1, RECT{60, 40, 199, 79}, &params, 0);
    EXPECT_LT(ink_box(pixels(s), s.w).left, 60);

    s.fill(0);
    s.dc->DrawTextW(u"Oak", -1, RECT{0, 0, 199, 79}, 0);
    EXPECT_EQ(pixels(s), upright);
}

/* Chinese through code page 936: each character's two bytes decode back to
 * its code point, and the label equals FreeType's own bitmaps of it. */
TEST_F(Text, ChineseLabelEqualsFreeTypesOwnBitmaps) {
    const char* droid = "/usr/share/fonts/truetype/droid/DroidSansFallbackFull.ttf";
    ASSERT_FALSE(read_all(droid).empty()) << droid << " (fonts-droid-fallback) is missing";
    Screen s(200, 40);
    ASSERT_EQ(load(droid), 1);
    s.dc->SetTextColor(0x07FF);
    s.fill(0);
    EXPECT_EQ(s.dc->DrawTextW(u"中山路A", -1, RECT{2, 3, 199, 39}, 0), 1);
    EXPECT_EQ(pixels(s), expected_label(droid, U"中山路A", 16, 2, 3, 200, 40, 0x07FF));
}

namespace {

/* A two-glyph bitmap font, 8 pixels high (ascent 7, descent 1): 'A' 5 x 7 on
 * the baseline, 'B' a 4 x 3 box from one row below it, one pixel in. */
std::string tiny_bdf(int ascent, int descent) {
    return "STARTFONT 2.1\nFONT -kesra-tiny-medium-r-normal--8-80-75-75-c-60-iso10646-1\n"
           "SIZE 8 75 75\nFONTBOUNDINGBOX 6 8 0 -1\nSTARTPROPERTIES 2\nFONT_ASCENT " +
           std::to_string(ascent) + "\nFONT_DESCENT " + std::to_string(descent) +
           "\nENDPROPERTIES\nCHARS 2\n"
           "STARTCHAR A\nENCODING 65\nSWIDTH 750 0\nDWIDTH 6 0\nBBX 5 7 0 0\nBITMAP\n"
           "20\n50\n88\nF8\n88\n88\n88\nENDCHAR\n"
           "STARTCHAR B\nENCODING 66\nSWIDTH 750 0\nDWIDTH 6 0\nBBX 4 3 1 -1\nBITMAP\n"
           "F0\n90\nF0\nENDCHAR\nENDFONT\n";
}

std::vector<char> bytes_of(const std::string& s) { return std::vector<char>(s.begin(), s.end()); }

}  // namespace

/* A bitmap-only face (BDF, one-bit glyphs) takes its fixed size at load time
 * and paints its set bits in the text colour. With an 8 x 8 font the line's
 * baseline is top + 2 + 7 - 1; the pen moves by width + 1 + left. */
TEST_F(Text, BitmapOnlyFaceDrawsItsBitsAtItsFixedSize) {
    TempDir dir;
    ASSERT_EQ(load(dir.write("tiny.ttf", bytes_of(tiny_bdf(7, 1)))), 1);
    const FtFontRecord* record = LoadedFtRecord();
    ASSERT_NE(record, nullptr);
    EXPECT_FALSE(FT_IS_SCALABLE(record->face));
    EXPECT_EQ(record->height, 8);

    Screen s(24, 16);
    CCEFont font(8, 8, 2, 400);
    s.dc->SetGDIObject(&font);
    s.dc->SetTextColor(0xF800);
    s.fill(0x001F);
    EXPECT_EQ(s.dc->DrawTextW(u"AB", -1, RECT{2, 3, 23, 15}, 0), 1);
    // 'A' from (2, 4); 'B' from (9, 9): pen 2 + 5 + 1, left 1, top 2.
    const char* const picture[] = {
        "........................", "........................", "........................",
        "........................", "....#...................", "...#.#..................",
        "..#...#.................", "..#####.................", "..#...#.................",
        "..#...#..####...........", "..#...#..#..#...........", ".........####...........",
        "........................", "........................", "........................",
        "........................",
    };
    for (int y = 0; y < s.h; ++y)
        for (int x = 0; x < s.w; ++x)
            ASSERT_EQ(s.at(x, y), picture[y][x] == '#' ? 0xF800 : 0x001F) << x << "," << y;
    s.dc->SetToDefaultFont();

    // A face whose header cannot be read fails and the bitmap face stays.
    std::string no_size = tiny_bdf(7, 1);
    no_size.erase(no_size.find("SIZE"), no_size.find("FONTBOUNDINGBOX") - no_size.find("SIZE"));
    EXPECT_EQ(load(dir.write("nosize.ttf", bytes_of(no_size))), 0);
    EXPECT_EQ(LoadedFtRecord(), record);

    // A bitmap-only face that lists no fixed size has nothing to draw with.
    FT_FaceRec sizeless{};
    FtFontRecord unsized{};
    unsized.face = &sizeless;
    EXPECT_FALSE(take_first_fixed_size(unsized));
    EXPECT_EQ(unsized.width, 0);
    EXPECT_EQ(unsized.height, 0);
}

TEST(TextPixels, SixteenLevelBlendAndAccessors) {
    Screen s(4, 4);
    s.fill(0x0000);
    s.dc->DM_DrawAlphaPixel2(1, 1, 0xFFFF, 8);
    EXPECT_EQ(s.at(1, 1), 0x7BEF);
    s.dc->DM_DrawAlphaPixel2(2, 1, 0xF81F, 16);
    EXPECT_EQ(s.at(2, 1), 0xF81F);
    s.dc->DM_DrawAlphaPixel2(-1, 1, 0xFFFF, 16);
    s.dc->DM_DrawAlphaPixel2(4, 1, 0xFFFF, 16);
    s.dc->BlendPixel16(reinterpret_cast<unsigned char*>(&s.at(3, 3)), 3, 3, 0x07E0, 4);
    EXPECT_EQ(s.at(3, 3), blend565_16(0, 0x07E0, 4));
    for (uint32_t p = 0; p < 0x10000; p += 97)
        for (uint32_t k = 0; k < 0x10000; k += 1013) {
            ASSERT_EQ(blend565_16(uint16_t(p), uint16_t(k), 0), p);
            ASSERT_EQ(blend565_16(uint16_t(p), uint16_t(k), 16), k);
        }
    EXPECT_EQ(blend565_16(0xFFFF, 0x0000, 4), 0xBDF7);  // each channel three quarters
}
