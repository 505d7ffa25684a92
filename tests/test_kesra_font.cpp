/* test_kesra_font.cpp - fonts built from Debian's faces, read back by a reader
 * written here and compared with FreeType's outlines; the command line's errors. */
#include <ft2build.h>
#include <gtest/gtest.h>
#include FT_FREETYPE_H

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "text/stcf_format.h"
#include "tools/common/png565.h"
#include "tools/kesra-font/font_tool.h"
#include "winapi.h"

namespace {

const char* const kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char* const kDejaVuBold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
const char* const kWqy = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";

const std::string& scratch() {
    static const std::string dir = [] {
        char pattern[] = "/tmp/kesra_font_XXXXXX";
        return std::string(mkdtemp(pattern));
    }();
    return dir;
}

bool exists(const char* path) {
    struct stat st;
    return stat(path, &st) == 0;
}

/* ---- An STCF reader of its own ---- */

struct EmPoint {
    double x, y;
    bool on;
};
using Path = std::vector<std::vector<EmPoint>>;  // contours, each from its start point

struct Font {
    std::vector<uint8_t> d;
    uint32_t u32(size_t at) const {
        return d.at(at) | d.at(at + 1) << 8 | d.at(at + 2) << 16 | uint32_t(d.at(at + 3)) << 24;
    }
    uint32_t u24(size_t at) const { return d.at(at) | d.at(at + 1) << 8 | d.at(at + 2) << 16; }
    uint16_t u16(size_t at) const { return static_cast<uint16_t>(d.at(at) | d.at(at + 1) << 8); }
    int8_t i8(size_t at) const { return static_cast<int8_t>(d.at(at)); }

    uint32_t entries() const { return u32(176) / 3; }
    uint32_t pages() const { return (entries() - u32(160)) / 224; }
    uint32_t composites() const { return u32(168) / 3 - u32(184); }
    uint16_t utf16(uint16_t unit) const { return u16(u32(164) + 2 * unit); }
    size_t outline_at(uint32_t entry) const { return u32(152) + u24(u32(148) + 3 * entry); }
    uint32_t width(uint32_t page, uint32_t glyph) const { return u32(208 + 896 * page + 4 * glyph); }

    Path outline(uint32_t entry) const { return decode(outline_at(entry)); }

    static int nib(int n) { return n < 8 ? n : n == 8 ? -8 : 8 - n; }

    Path decode(size_t at) const {
        Path path;
        const int contours = d.at(at++);
        for (int c = 0; c < contours; ++c) {
            int x = i8(at), y = i8(at + 1);
            at += 2;
            const EmPoint start{double(x), double(y), true};
            unsigned count = d.at(at++);
            if (count == 0) {
                count = u16(at);
                at += 2;
            }
            std::vector<int> codes;
            for (unsigned i = 0; i < count; ++i)
                codes.push_back(i % 2 ? d.at(at + i / 2) & 15 : d.at(at + i / 2) >> 4);
            at += (count + 1) / 2;
            std::vector<EmPoint> pts = {start};
            auto take = [&]() { return int(i8(at++)); };
            auto pair = [&](int* dx, int* dy) {
                const int b = d.at(at++);
                *dx = nib(b >> 4);
                *dy = nib(b & 15);
            };
            auto line = [&](int nx, int ny) {
                x = nx, y = ny;
                pts.push_back({double(x), double(y), true});
            };
            auto cubic = [&](int x1, int y1, int x2, int y2, int x3, int y3) {
                pts.push_back({double(x1), double(y1), false});
                pts.push_back({double(x2), double(y2), false});
                line(x3, y3);
            };
            for (int code : codes) {
                int a, b, e, f;
                switch (code) {
                    case 0:
                        a = take(), b = take(), e = take(), f = take();
                        {
                            const int x3 = take(), y3 = take();
                            cubic(a, b, e, f, x3, y3);
                        }
                        break;
                    case 1:
                        line(x, take());
                        break;
                    case 2:
                        line(take(), y);
                        break;
                    case 3:
                    case 11:
                        a = take();
                        line(a, take());
                        break;
                    case 4:
                    case 5: {
                        const int nx = take(), dd = 2 * std::abs(nx - x) / 3 * (code == 4 ? 1 : -1);
                        cubic(x, y + dd, nx, y + dd, nx, y);
                    } break;
                    case 6:
                    case 7: {
                        const int ny = take(), dd = 2 * std::abs(ny - y) / 3 * (code == 6 ? -1 : 1);
                        cubic(x + dd, y, x + dd, ny, x, ny);
                    } break;
                    case 8: {
                        int p[6];
                        pair(&p[0], &p[1]);
                        pair(&p[2], &p[3]);
                        pair(&p[4], &p[5]);
                        cubic(x + p[0], y + p[1], x + p[0] + p[2], y + p[1] + p[3], x + p[0] + p[2] + p[4],
                              y + p[1] + p[3] + p[5]);
                    } break;
                    case 9: {
                        int v[10];
                        for (int& k : v) k = take();
                        auto corner_v = [&](int ex, int ey) {
                            cubic(x, y + 2 * (ey - y) / 3, ex + 2 * (x - ex) / 3, ey, ex, ey);
                        };
                        auto corner_h = [&](int ex, int ey) {
                            cubic(x + 2 * (ex - x) / 3, y, ex, ey + 2 * (y - ey) / 3, ex, ey);
                        };
                        line(x, v[0]);
                        corner_v(v[1], v[2]);
                        line(v[3], y);
                        corner_h(v[4], v[5]);
                        line(x, v[6]);
                        corner_v(v[7], v[8]);
                        line(v[9], y);
                        corner_h(int(start.x), int(start.y));
                    } break;
                    case 10:
                        a = take();
                        b = take();
                        line(x, b);
                        line(a, b);
                        break;
                    case 12:
                        pair(&a, &b);
                        line(x + a, y + b);
                        break;
                    default: {  // 13, 14, 15
                        const int p0x = x, p0y = y;
                        int ax = 0, ay = 0, bx = 0, by = 0, x1 = 0, y1 = 0, x2 = 0, y2 = 0;
                        if (code == 13) {
                            pair(&ax, &ay);
                            pair(&bx, &by);
                        }
                        if (code == 14) {
                            pair(&ax, &ay);
                            x2 = take();
                            y2 = take();
                        }
                        if (code == 15) {
                            x1 = take();
                            y1 = take();
                            pair(&bx, &by);
                        }
                        const int nx = take(), ny = take(), qx = (nx - p0x) / 4, qy = (ny - p0y) / 4;
                        if (code != 15) {
                            x1 = p0x + qx + ax;
                            y1 = p0y + qy + ay;
                        }
                        if (code != 14) {
                            x2 = p0x + 3 * qx + bx;
                            y2 = p0y + 3 * qy + by;
                        }
                        cubic(x1, y1, x2, y2, nx, ny);
                    }
                }
            }
            path.push_back(pts);
        }
        return path;
    }
};

Font load(const std::string& path) {
    Font f;
    std::string error;
    EXPECT_TRUE(kesra_font::read_file(path, &f.d, &error)) << error;
    return f;
}

/* ---- FreeType's outline in the em: descender to ascender fills 128 units,
 * the baseline 25 units up from the cell's bottom. ---- */

struct FtFace {
    FT_Library lib = nullptr;
    FT_Face face = nullptr;
    explicit FtFace(const char* path) {
        FT_Init_FreeType(&lib);
        FT_New_Face(lib, path, 0, &face);
    }
    ~FtFace() {
        if (face) FT_Done_Face(face);
        FT_Done_FreeType(lib);
    }
    double scale() const { return 128.0 / (face->ascender - face->descender); }
    double ex(double x) const { return x * scale(); }
    double ey(double y) const { return (y - face->descender) * scale() - 25; }

    /* On-curve points per contour, with the implied points between two
     * quadratic controls, in em units before rounding. */
    Path on_points(FT_UInt glyph, bool recurse = true) const {
        Path path;
        if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE | (recurse ? 0 : FT_LOAD_NO_RECURSE))) return path;
        const FT_Outline& o = face->glyph->outline;
        int first = 0;
        for (int c = 0; c < o.n_contours; ++c) {
            const int last = o.contours[c], n = last - first + 1;
            std::vector<EmPoint> pts;
            int begin = 0;
            while (begin < n && !(o.tags[first + begin] & 1)) ++begin;
            for (int k = 0; k <= n; ++k) {
                const int i = first + (begin + k) % n, prev = first + (begin + k + n - 1) % n;
                const bool on = o.tags[i] & 1, prev_on = o.tags[prev] & 1;
                if (k > 0 && !on && !prev_on)
                    pts.push_back({ex((o.points[i].x + o.points[prev].x) / 2.0),
                                   ey((o.points[i].y + o.points[prev].y) / 2.0), true});
                if (on && k < n) pts.push_back({ex(o.points[i].x), ey(o.points[i].y), true});
            }
            path.push_back(pts);
            first = last + 1;
        }
        return path;
    }
};

/* On-curve points rounded to the em grid, repeats and the closing point dropped. */
std::vector<std::vector<std::pair<int, int>>> rounded_on(const Path& path) {
    std::vector<std::vector<std::pair<int, int>>> out;
    for (const auto& contour : path) {
        std::vector<std::pair<int, int>> pts;
        for (const EmPoint& p : contour) {
            if (!p.on) continue;
            const std::pair<int, int> q(int(std::lround(p.x)), int(std::lround(p.y)));
            if (pts.empty() || pts.back() != q) pts.push_back(q);
        }
        while (pts.size() > 1 && pts.back() == pts.front()) pts.pop_back();
        if (pts.size() > 1) out.push_back(pts);
    }
    return out;
}

/* The same contours and points, each within one em unit: FreeType's own
 * implied points between two quadratic controls are truncated to whole font
 * units, which can tip a rounding. */
void expect_same_outline(const Path& decoded, const Path& freetype) {
    const auto a = rounded_on(decoded), b = rounded_on(freetype);
    ASSERT_EQ(a.size(), b.size());
    for (size_t c = 0; c < a.size(); ++c) {
        ASSERT_EQ(a[c].size(), b[c].size()) << "contour " << c;
        for (size_t i = 0; i < a[c].size(); ++i) {
            EXPECT_LE(std::abs(a[c][i].first - b[c][i].first), 1) << "contour " << c << " point " << i;
            EXPECT_LE(std::abs(a[c][i].second - b[c][i].second), 1) << "contour " << c << " point " << i;
        }
    }
}

int run_tool(const std::string& args, std::string* output) {
    FILE* p = popen((std::string(KESRA_FONT_EXE) + " " + args + " 2>&1").c_str(), "r");
    output->clear();
    for (int c; p && (c = std::fgetc(p)) != EOF;) *output += char(c);
    const int status = p ? pclose(p) : -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

/* Every compact form, worked by hand: start (10, 20); up to (10, 40) and
 * across to (30, 40) as one corner; a delta line by (3, -3); a long line;
 * an arch; a small relative cubic; a quarter-point cubic. */
TEST(KesraFont, OutlinesUseTheCompactFormsByteForByte) {
    using kesra_font::Contour;
    using kesra_font::Segment;
    Contour c;
    c.start = {10, 20};
    auto line = [&](int x, int y) { c.segments.push_back({false, {}, {}, {x, y}}); };
    auto cubic = [&](int x1, int y1, int x2, int y2, int x, int y) {
        c.segments.push_back({true, {x1, y1}, {x2, y2}, {x, y}});
    };
    line(10, 40);
    line(30, 40);
    line(33, 37);
    line(33, 37);  // zero length: dropped
    line(60, 0);
    cubic(60, -6, 69, -6, 69, 0);   // arch below: d = 2 * 9 / 3 = 6
    cubic(70, 2, 72, 3, 71, 5);     // deltas (1,2) (2,1) (-1,2)
    cubic(60, 15, 40, 20, 31, 25);  // q = (-10, 5): a = (60-61, 15-10), b = (40-41, 20-20)
    cubic(31, 25, 20, 30, 10, 20);  // a = (31-26, 25-24); b = (4, 8) is too far: written plain
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(kesra_font::encode_outline({c}, &bytes, &error)) << error;
    const std::vector<uint8_t> want = {1,  10,   20,   7,    0xAC, 0xB5, 0x8D, 0xE0, 30,   40, 0x3B, 60, 0,
                                       69, 0x12, 0x21, 0x92, 0x95, 0x90, 31,   25,   0x51, 20, 30,   10, 20};
    EXPECT_EQ(bytes, want);

    /* The reader here gives back every point. */
    Font f;
    f.d = bytes;
    const Path path = f.decode(0);
    ASSERT_EQ(path.size(), 1u);
    std::vector<std::pair<int, int>> all;
    for (const EmPoint& p : path[0]) all.emplace_back(int(p.x), int(p.y));
    const std::vector<std::pair<int, int>> points = {
        {10, 20}, {10, 40}, {30, 40}, {33, 37}, {60, 0},  {60, -6}, {69, -6}, {69, 0}, {70, 2},
        {72, 3},  {71, 5},  {60, 15}, {40, 20}, {31, 25}, {31, 25}, {20, 30}, {10, 20}};
    EXPECT_EQ(all, points);

    /* A point outside a signed byte is refused, more than 255 contours too. */
    Contour wide = c;
    wide.segments.push_back({false, {}, {}, {200, 0}});
    EXPECT_FALSE(kesra_font::encode_outline({wide}, &bytes, &error));
    EXPECT_FALSE(kesra_font::encode_outline(std::vector<Contour>(256, c), &bytes, &error));
    EXPECT_EQ(error, "more than 255 contours");
}

TEST(KesraFont, GbkIndicesAndTheGlyphLookup) {
    using kesra_font::GlyphKind;
    EXPECT_EQ(kesra_font::gbk_index(0xA1, 0xA1), 7073);
    EXPECT_EQ(kesra_font::gbk_index(0xB0, 0xA1), 8783);
    EXPECT_EQ(kesra_font::gbk_index(0x81, 0x40), 993);
    EXPECT_EQ(kesra_font::gbk_index(0xD7, 0xFA), kesra_font::kNoIndex);
    EXPECT_EQ(kesra_font::gbk_index(0xA1, 0x40), kesra_font::kNoIndex);
    /* GB2312 hanzi: kind 0 numbers them 94 to a row, kind 1 by GBK index. */
    const auto g0 = kesra_font::glyph_of_index(0, 8783), g1 = kesra_font::glyph_of_index(1, 8783);
    EXPECT_EQ(g0.kind, GlyphKind::Composite);
    EXPECT_EQ(g0.number, 0u);
    EXPECT_EQ(g1.number, 8783u - 2031);
    EXPECT_EQ(kesra_font::glyph_of_index(1, 22500).kind, GlyphKind::None);
    EXPECT_EQ(kesra_font::composite_slots(1), 21102u);
    /* The last GBK code is the last composite slot. */
    EXPECT_EQ(kesra_font::glyph_of_index(1, kesra_font::gbk_index(0xFE, 0xA0)).number, 21101u);
    EXPECT_EQ(kesra_font::latin_byte(0x20AC), 0x80);
    EXPECT_EQ(kesra_font::latin_byte(0x7F), -1);
    EXPECT_EQ(kesra_font::latin_byte(0x4E2D), -1);
}

/* Two Latin pages from DejaVu: the header's fields agree with each other and
 * with the file's length, the advances and outlines with FreeType's. */
TEST(KesraFont, LatinPagesReadBackAgainstFreeType) {
    ASSERT_TRUE(exists(kDejaVu) && exists(kDejaVuBold)) << "fonts-dejavu-core is needed";
    kesra_font::BuildOptions options;
    options.latin = {{kDejaVu, 0}, {kDejaVuBold, 0}};
    options.quiet = true;
    const std::string out = scratch() + "/latin.stcf";
    std::string error;
    kesra_font::BuildStats stats;
    ASSERT_TRUE(kesra_font::build(out, options, &stats, &error)) << error;
    const Font f = load(out);

    ASSERT_EQ(std::string(f.d.begin(), f.d.begin() + 4), "STCF");
    EXPECT_EQ(f.u32(136), 1u);
    EXPECT_EQ(f.pages(), 2u);
    EXPECT_EQ(f.u32(164), 208u + 2 * 896);                   // UTF-16 table right after the pages
    EXPECT_EQ(f.u32(140), f.u32(164) + 2 * 65536);           // then the composite table
    EXPECT_EQ(f.composites(), 21102u);                       // every slot, all empty here
    EXPECT_EQ(f.u32(144), f.u32(140) + 3 * f.composites());  // then the component records
    for (uint32_t c = 0; c < f.composites(); c += 997)
        EXPECT_EQ(f.d.at(f.u32(144) + f.u24(f.u32(140) + 3 * c)), 0);
    EXPECT_EQ(f.u32(160), 1038u);  // the single block holds GBK rows 0xA1..0xA9
    EXPECT_EQ(f.entries(), 1038u + 2 * 224);
    EXPECT_EQ(f.u32(152), f.u32(148) + 3 * f.entries());
    EXPECT_LT(f.u32(152), f.d.size());
    for (uint32_t e = 0; e < f.entries(); ++e) ASSERT_LT(f.outline_at(e), f.d.size()) << e;
    EXPECT_EQ(f.d.size(), stats.file_bytes);

    EXPECT_EQ(f.utf16(u'A'), 0x41 - 29);
    EXPECT_EQ(f.utf16(0x00E9), 0xE9 - 29);
    EXPECT_EQ(f.utf16(0x20AC), 0x80 - 29);
    EXPECT_EQ(f.utf16(0x4E2D), kesra_font::kNoIndex);  // no CJK face given

    const char* faces[] = {kDejaVu, kDejaVuBold};
    for (uint32_t page = 0; page < 2; ++page) {
        FtFace ft(faces[page]);
        ASSERT_TRUE(ft.face);
        for (char32_t ch : {U'A', U'g', U'O', U'@', U'%', U'\u00E9', U'\u20AC', U' '}) {
            SCOPED_TRACE("page " + std::to_string(page) + ", character " + std::to_string(uint32_t(ch)));
            const int byte = kesra_font::latin_byte(ch);
            const FT_UInt glyph = FT_Get_Char_Index(ft.face, ch);
            ASSERT_NE(glyph, 0u);
            const uint32_t entry = f.u32(160) + 224 * page + (byte - 0x20);
            expect_same_outline(f.outline(entry), ft.on_points(glyph));
            EXPECT_EQ(f.width(page, byte - 0x20),
                      uint32_t(std::lround(ft.face->glyph->metrics.horiAdvance * ft.scale())));
        }
    }
    /* The bold 'W' is wider than the regular one, and neither outgrows the cell. */
    EXPECT_GT(f.width(1, 'W' - 0x20), f.width(0, 'W' - 0x20));
    EXPECT_LE(f.width(1, 'W' - 0x20), 128u);
}

/* A few hundred hanzi from wqy-microhei: the UTF-16 table names each by its
 * GBK index and nothing else; composites are the face's own components,
 * shared between glyphs, placed and scaled to give FreeType's outline. */
TEST(KesraFont, CjkSubsetWithSharedComponents) {
    ASSERT_TRUE(exists(kWqy)) << "fonts-wqy-microhei is needed";
    /* GB2312 rows 0xB0..0xB3 through the library's own code page, not iconv. */
    std::string gbk;
    for (int lead = 0xB0; lead <= 0xB3; ++lead)
        for (int trail = 0xA1; trail <= 0xFE; ++trail) gbk += {char(lead), char(trail)};
    gbk += "\x81\x41\x81\x42\x81\x67";  // U+4E04, U+4E05, U+4E6C: scaled, offset components
    std::u16string text(gbk.size(), 0);
    const int units = MultiByteToWideChar(936, 0, gbk.data(), int(gbk.size()),
                                          reinterpret_cast<WCHAR*>(&text[0]), int(text.size()));
    ASSERT_EQ(units, 4 * 94 + 3);
    text.resize(units);
    text += u"\u3001\u2460";  // 、 and ①: single outlines of the symbol rows

    kesra_font::BuildOptions options;
    options.cjk = {kWqy, 0};
    options.latin = {{kDejaVu, 0}};
    options.subset = true;
    options.subset_chars.assign(text.begin(), text.end());
    options.quiet = true;
    const std::string out = scratch() + "/cjk.stcf";
    std::string error;
    kesra_font::BuildStats stats;
    ASSERT_TRUE(kesra_font::build(out, options, &stats, &error)) << error;
    EXPECT_EQ(stats.composite_glyphs, 4u * 94 + 3);
    EXPECT_EQ(stats.single_glyphs, 2u);
    EXPECT_LT(stats.shared_components, 2 * stats.composite_glyphs);  // components are shared
    const Font f = load(out);
    const bool by_offset = 3 * f.entries() <= 0xFFFF;
    ASSERT_TRUE(by_offset);

    /* Each hanzi maps to its GBK index: row L, trail T at T + 190 L - 24818. */
    for (int k = 0; k < 4 * 94; ++k)
        ASSERT_EQ(f.utf16(text[k]), (0xA1 + k % 94) + 190 * (0xB0 + k / 94) - 24818) << k;
    EXPECT_EQ(f.utf16(0x3001), 7073 + 1);              // 0xA1 0xA2
    EXPECT_EQ(f.utf16(0x4E2D), kesra_font::kNoIndex);  // 中 is outside the subset
    EXPECT_EQ(f.utf16(u'A'), 36);

    FtFace ft(kWqy);
    ASSERT_TRUE(ft.face);
    /* Single outlines: the outline of 、 at slot 1 of the single block. */
    expect_same_outline(f.outline(f.u32(156) + 1), ft.on_points(FT_Get_Char_Index(ft.face, 0x3001)));

    size_t with_components = 0;
    std::vector<char16_t> chars = {text[0], text[1], text[50], text[200], text[375], 0x4E04, 0x4E05, 0x4E6C};
    for (char16_t ch : chars) {
        SCOPED_TRACE("character " + std::to_string(uint32_t(ch)));
        const uint16_t index = f.utf16(ch);
        const uint32_t number = index <= 7072 ? index - 993 : index - 2031;
        ASSERT_LT(number, f.composites());
        size_t at = f.u32(144) + f.u24(f.u32(140) + 3 * number);
        const uint8_t flags = f.d.at(at++);
        int lowest = 0;
        while (lowest < 7 && !(flags & (1 << lowest))) ++lowest;
        const int count = lowest >= 1 && lowest <= 6 ? 7 - lowest : 0;
        ASSERT_GE(count, 1);

        /* The TrueType composite's parts, in order, each an outline of the file. */
        const FT_UInt glyph = FT_Get_Char_Index(ft.face, ch);
        ASSERT_EQ(FT_Load_Glyph(ft.face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_RECURSE), 0);
        const bool composite = ft.face->glyph->format == FT_GLYPH_FORMAT_COMPOSITE;
        std::vector<FT_UInt> parts;
        for (FT_UInt i = 0; composite && i < ft.face->glyph->num_subglyphs; ++i) {
            FT_Int idx, a1, a2;
            FT_UInt fl;
            FT_Matrix m;
            FT_Get_SubGlyph_Info(ft.face->glyph, i, &idx, &fl, &a1, &a2, &m);
            parts.push_back(FT_UInt(idx));
        }
        if (!composite) parts.push_back(glyph);
        ASSERT_EQ(size_t(count), parts.size());
        with_components += count > 1;

        double lo_x = 1e9, hi_x = -1e9, lo_y = 1e9, hi_y = -1e9;
        for (int i = 0; i < count; ++i) {
            const uint32_t ref = f.u16(at);
            const int dx = f.i8(at + 2), dy = f.i8(at + 3);
            const bool scaled = flags & (0x80 >> i);
            const int sx = scaled ? f.d.at(at + 4) : 128, sy = scaled ? f.d.at(at + 5) : 128;
            at += scaled ? 6 : 4;
            ASSERT_EQ(ref % 3, 0u);
            ASSERT_LT(ref / 3, f.entries());
            const Path component = f.outline(ref / 3);
            expect_same_outline(component, ft.on_points(parts[i]));
            for (const auto& contour : component)
                for (const EmPoint& p : contour) {
                    if (!p.on) continue;
                    const double x = dx + p.x * sx / 128, y = dy + p.y * sy / 128;
                    lo_x = std::min(lo_x, x), hi_x = std::max(hi_x, x), lo_y = std::min(lo_y, y),
                    hi_y = std::max(hi_y, y);
                }
        }
        /* Placed together they cover FreeType's composed glyph. */
        double flo_x = 1e9, fhi_x = -1e9, flo_y = 1e9, fhi_y = -1e9;
        for (const auto& contour : ft.on_points(glyph))
            for (const EmPoint& p : contour)
                flo_x = std::min(flo_x, p.x), fhi_x = std::max(fhi_x, p.x), flo_y = std::min(flo_y, p.y),
                fhi_y = std::max(fhi_y, p.y);
        EXPECT_NEAR(lo_x, flo_x, 1.5);
        EXPECT_NEAR(hi_x, fhi_x, 1.5);
        EXPECT_NEAR(lo_y, flo_y, 1.5);
        EXPECT_NEAR(hi_y, fhi_y, 1.5);
    }
    EXPECT_GE(with_components, 5u);

    /* The tool's own check of the file agrees. */
    std::string output;
    EXPECT_EQ(run_tool("info " + out, &output), 0) << output;
    EXPECT_NE(output.find("Latin page 1"), std::string::npos) << output;
    EXPECT_NE(output.find("21102: "), std::string::npos) << output;
}

/* Kinds 3 and 4 number the hanzi by Big5 and Shift-JIS cell; their tables
 * send a symbol to the single outlines through its GBK code. Worked by hand:
 * 中 is Big5 0xA4 0xA4, cell 164 + 157 * 164 - 20351 = 5561, GBK 0xD6 0xD0;
 * 、 is Big5 0xA1 0x42, cell 5026, GBK 0xA1 0xA2 (index 1001); 日 is Shift-JIS
 * 0x93 0xFA, cell 250 + 188 * 147 - 24317 = 3569, EUC 0xC6 0xFC, GBK 0xC8 0xD5. */
TEST(KesraFont, Big5AndShiftJisTablesFromIconv) {
    ASSERT_TRUE(exists(kWqy)) << "fonts-wqy-microhei is needed";
    kesra_font::BuildOptions options;
    options.cjk = {kWqy, 0};
    options.subset = true;
    options.subset_chars = {0x4E2D, 0x570B, 0x3001, 0x65E5, 0x672C};
    options.quiet = true;
    std::string error;
    auto composite_flags = [](const Font& f, uint32_t number) {
        return f.d.at(f.u32(144) + f.u24(f.u32(140) + 3 * number));
    };

    options.charset_kind = 3;
    const std::string big5 = scratch() + "/big5.stcf";
    ASSERT_TRUE(kesra_font::build(big5, options, nullptr, &error)) << error;
    Font f = load(big5);
    EXPECT_EQ(f.u32(136), 3u);
    EXPECT_EQ(f.composites(), 19782u);
    const uint32_t table = f.u32(192);
    ASSERT_NE(table, 0u);
    EXPECT_EQ(f.u32(196), 0u);
    EXPECT_EQ(table + 2 * 19782, f.d.size());
    EXPECT_EQ(f.d[table + 2 * 5561], 0xD6);
    EXPECT_EQ(f.d[table + 2 * 5561 + 1], 0xD0);
    EXPECT_EQ(f.d[table + 2 * 5026], 0xA1);
    EXPECT_EQ(f.d[table + 2 * 5026 + 1], 0xA2);
    EXPECT_EQ(f.utf16(0x4E2D), 3000 + 5561);
    EXPECT_EQ(f.utf16(0x3001), 1001);
    EXPECT_NE(composite_flags(f, 5561), 0);
    EXPECT_EQ(composite_flags(f, 5562), 0);  // outside the subset: the empty record
    EXPECT_GT(f.outline(f.u32(156) + 1).size(), 0u);

    options.charset_kind = 4;
    const std::string sjis = scratch() + "/sjis.stcf";
    ASSERT_TRUE(kesra_font::build(sjis, options, nullptr, &error)) << error;
    f = load(sjis);
    EXPECT_EQ(f.composites(), 11280u);
    const uint32_t cells = f.u32(196), euc = f.u32(200);
    ASSERT_NE(cells, 0u);
    ASSERT_NE(euc, 0u);
    EXPECT_EQ(f.u32(192), 0u);
    EXPECT_EQ(cells + 2 * 11280, euc);
    EXPECT_EQ(euc + 2 * 32768, f.d.size());
    EXPECT_EQ(f.d[cells + 2 * 3569], 0xC8);
    EXPECT_EQ(f.d[cells + 2 * 3569 + 1], 0xD5);
    EXPECT_EQ(f.d[euc + 2 * (0xC6FC - 0x8000)], 0x93);
    EXPECT_EQ(f.d[euc + 2 * (0xC6FC - 0x8000) + 1], 0xFA);
    EXPECT_EQ(f.d[euc + 2 * (0x8EB1 - 0x8000)], 0xB1);  // half-width katakana stays one byte
    EXPECT_EQ(f.d[euc + 2 * (0x8EB1 - 0x8000) + 1], 0);
    EXPECT_EQ(f.utf16(0x65E5), 3000 + 3569);
    EXPECT_NE(composite_flags(f, 3569), 0);
}

/* The mode-6 table (made here from Big5) holds UTF-16 units by two-byte code:
 * 中, Big5 0xA4 0xA4, is entry 0x24A4. The engine's encoding 6 then draws the
 * code unit 0xA4A4 as encoding 2 draws U+4E2D. */
TEST(KesraFont, ModeSixTableLeadsThroughTheUtf16Table) {
    ASSERT_TRUE(exists(kWqy)) << "fonts-wqy-microhei is needed";
    kesra_font::BuildOptions options;
    options.cjk = {kWqy, 0};
    options.subset = true;
    options.subset_chars = {0x4E2D};
    options.mode6_codepage = "BIG5";
    options.quiet = true;
    const std::string out = scratch() + "/mode6.stcf";
    std::string error;
    ASSERT_TRUE(kesra_font::build(out, options, nullptr, &error)) << error;
    const Font f = load(out);
    const uint32_t table = f.u32(204);
    ASSERT_NE(table, 0u);
    EXPECT_EQ(table + 2 * 0x8000, f.d.size());
    EXPECT_EQ(f.u16(table + 2 * 0x24A4), 0x4E2D);
    EXPECT_EQ(f.u16(table + 2 * 0x2440), 0x4E00);  // 一, Big5 0xA4 0x40
    EXPECT_EQ(f.u16(table + 2 * 0x0040), 0);       // 0x80 0x40 is no Big5 code

    kesra::StcfFontRecord* record = kesra::ParseStcfImage(f.d.data(), f.d.size());
    ASSERT_NE(record, nullptr);
    auto draw = [&](char16_t unit, int encoding) {
        CCEFont font(24, 24, 0, 400);
        font.m_nP1 = encoding;
        std::vector<uint8_t> coverage(24 * 24);
        int w = 24, h = 24;
        kesra::StcfRenderGlyph(*record, &w, &h, &unit, 1, coverage.data(), font);
        return coverage;
    };
    const std::vector<uint8_t> expected = draw(0x4E2D, 2);
    EXPECT_GT(std::count_if(expected.begin(), expected.end(), [](uint8_t v) { return v > 0; }), 20);
    EXPECT_EQ(draw(0xA4A4, 6), expected);
    kesra::FreeStcfRecord(record);

    options.utf16_table = false;  // the table has nothing to lead to
    EXPECT_FALSE(kesra_font::build(out, options, nullptr, &error));
    options.utf16_table = true;
    options.mode6_codepage = "NO-SUCH-CODE-PAGE";
    EXPECT_FALSE(kesra_font::build(out, options, nullptr, &error));
    EXPECT_NE(error.find("NO-SUCH-CODE-PAGE"), std::string::npos) << error;
}

/* render draws through the library's engine: 下 (no mirror image of itself) from wqy-microhei at 32 x 32
 * covers what FreeType draws of it at the same scale (descender to ascender
 * over the cell's height), and the picture is as wide as the advances. */
TEST(KesraFont, RenderDrawsThroughTheEngineLikeFreeType) {
    ASSERT_TRUE(exists(kWqy) && exists(kDejaVu)) << "fonts-wqy-microhei and fonts-dejavu-core are needed";
    kesra_font::BuildOptions options;
    options.cjk = {kWqy, 0};
    options.latin = {{kDejaVu, 0}};
    options.subset = true;
    options.subset_chars = {0x4E0B};
    options.quiet = true;
    const std::string font = scratch() + "/render.stcf", png = scratch() + "/render.png";
    std::string error, output;
    ASSERT_TRUE(kesra_font::build(font, options, nullptr, &error)) << error;
    ASSERT_EQ(run_tool("render " + font + " \"A\xE4\xB8\x8B\" " + png + " --size 32", &output), 0) << output;
    kesra::devutil::RgbaImage image;
    ASSERT_TRUE(kesra::devutil::read_png_rgba(png, image));
    const Font f = load(font);
    EXPECT_EQ(image.width, int(f.width(0, 'A' - 0x20) * 32 / 128) + 32);
    ASSERT_EQ(image.height, 32);

    FtFace ft(kWqy);
    const double pixels_per_unit = 32.0 / (ft.face->ascender - ft.face->descender);
    ASSERT_EQ(FT_Set_Char_Size(ft.face, 0,
                               FT_F26Dot6(std::lround(ft.face->units_per_EM * pixels_per_unit * 64)), 72, 72),
              0);
    ASSERT_EQ(FT_Load_Char(ft.face, 0x4E0B, FT_LOAD_RENDER | FT_LOAD_NO_HINTING), 0);
    const FT_Bitmap& bm = ft.face->glyph->bitmap;
    const int baseline = int(std::lround(32 + ft.face->descender * pixels_per_unit));  // rows from the top
    /* Masks at half coverage; each pixel of one must have a pixel of the other
     * within one pixel (FreeType sits on whole pixels, the engine does not). */
    const int left = image.width - 32;
    bool engine[32][32], freetype[32][32];
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            engine[y][x] = image.rgba[(size_t(y) * image.width + left + x) * 4] < 128;
            const int by = y - (baseline - ft.face->glyph->bitmap_top), bx = x - ft.face->glyph->bitmap_left;
            freetype[y][x] = by >= 0 && by < int(bm.rows) && bx >= 0 && bx < int(bm.width) &&
                             bm.buffer[by * bm.pitch + bx] >= 128;
        }
    auto near = [](const bool(&mask)[32][32], int x, int y) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (x + dx >= 0 && x + dx < 32 && y + dy >= 0 && y + dy < 32 && mask[y + dy][x + dx])
                    return true;
        return false;
    };
    int engine_set = 0, freetype_set = 0, engine_matched = 0, freetype_matched = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            engine_set += engine[y][x];
            freetype_set += freetype[y][x];
            engine_matched += engine[y][x] && near(freetype, x, y);
            freetype_matched += freetype[y][x] && near(engine, x, y);
        }
    ASSERT_GT(engine_set, 100);
    ASSERT_GT(freetype_set, 100);
    EXPECT_EQ(engine_matched, engine_set);
    EXPECT_EQ(freetype_matched, freetype_set);

    EXPECT_EQ(run_tool("render " + font + " x " + png + " --size 4", &output), 1);
    EXPECT_NE(output.find("--size takes a number from 5 to 100, not '4'"), std::string::npos) << output;
}

TEST(KesraFont, CommandLineNamesTheFileAndRefusesBadNumbers) {
    std::string output;
    EXPECT_EQ(run_tool("build " + scratch() + "/x.stcf --latin /nonexistent/font.ttf", &output), 1);
    EXPECT_NE(output.find("/nonexistent/font.ttf: cannot open"), std::string::npos) << output;
    EXPECT_EQ(run_tool("build " + scratch() + "/x.stcf --cjk " + std::string(kWqy) + ":5", &output), 1);
    EXPECT_NE(output.find("face 5 is out of range (the file has 2 faces)"), std::string::npos) << output;

    std::string many;
    for (int i = 0; i < 65; ++i) many += std::string(" --latin ") + kDejaVu;
    EXPECT_EQ(run_tool("build " + scratch() + "/x.stcf" + many, &output), 1);
    EXPECT_NE(output.find("65 Latin pages are too many (at most 64)"), std::string::npos) << output;
    const std::string latin1 = scratch() + "/latin1.txt";
    FILE* text = std::fopen(latin1.c_str(), "wb");
    std::fputs("caf\xE9", text);  // not UTF-8
    std::fclose(text);
    EXPECT_EQ(run_tool("build " + scratch() + "/x.stcf --chars-file " + latin1, &output), 1);
    EXPECT_NE(output.find(latin1 + ": not UTF-8 text"), std::string::npos) << output;
    EXPECT_FALSE(exists((scratch() + "/x.stcf").c_str()));  // no failed build left a file behind

    /* info on what is not a font, and on a font cut short. */
    const std::string junk = scratch() + "/junk.stcf";
    FILE* fp = std::fopen(junk.c_str(), "wb");
    std::fputs("not a font at all", fp);
    std::fclose(fp);
    EXPECT_EQ(run_tool("info " + junk, &output), 1);
    EXPECT_NE(output.find(junk + ": not an STCF font"), std::string::npos) << output;

    const std::string good = scratch() + "/small.stcf";
    ASSERT_EQ(run_tool("build " + good + " --latin " + std::string(kDejaVu) + " --quiet", &output), 0)
        << output;
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(kesra_font::read_file(good, &bytes, &error));
    const std::string cut = scratch() + "/cut.stcf";
    fp = std::fopen(cut.c_str(), "wb");
    std::fwrite(bytes.data(), 1, 208 + 896 + 1000, fp);  // inside the UTF-16 table
    std::fclose(fp);
    EXPECT_EQ(run_tool("info " + cut, &output), 1);
    EXPECT_NE(output.find("runs past the end of the file"), std::string::npos) << output;
}
