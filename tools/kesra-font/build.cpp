/* build.cpp - writes an STCF font from TrueType faces: Latin pages of 224
 * glyphs with their advances, the GBK symbol rows as single outlines, the
 * hanzi as composites of shared outlines (the TrueType composites' own
 * components where they fit: at most six, offsets and positive scales only),
 * and the UTF-16 table. Outline table order: single block, shared outlines,
 * Latin pages last (their count follows from the table's length). */
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <iconv.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <set>

#include "tools/common/whole_file.h"
#include "tools/kesra-font/font_tool.h"

namespace kesra_font {

namespace {

constexpr uint32_t kOffsetLimit = 1u << 24;  // the tables' offsets are 24 bits
/* TrueType's SCALED_COMPONENT_OFFSET: the offset is scaled with the component. */
constexpr FT_UInt kScaledOffsetFlag = 0x800;

void put_u32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void append_u24(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 3; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

struct FtLibrary {
    FT_Library library = nullptr;
    ~FtLibrary() {
        if (library) FT_Done_FreeType(library);
    }
};

struct Face {
    FT_Face face = nullptr;
    std::string path;
    EmMapping em;
    ~Face() {
        if (face) FT_Done_Face(face);
    }
};

bool open_face(FT_Library library, const FaceSource& source, Face* out, std::string* error) {
    out->path = source.path;
    FILE* probe = std::fopen(source.path.c_str(), "rb");
    if (!probe) {
        *error = source.path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    std::fclose(probe);
    FT_Face count_face = nullptr;
    if (FT_New_Face(library, source.path.c_str(), -1, &count_face) || !count_face) {
        *error = source.path + ": not a font FreeType can read";
        return false;
    }
    const long faces = count_face->num_faces;
    FT_Done_Face(count_face);
    if (source.face_index < 0 || source.face_index >= faces) {
        *error = source.path + ": face " + std::to_string(source.face_index) +
                 " is out of range (the file has " + std::to_string(faces) +
                 (faces == 1 ? " face)" : " faces)");
        return false;
    }
    if (FT_New_Face(library, source.path.c_str(), source.face_index, &out->face)) {
        *error = source.path + ": face " + std::to_string(source.face_index) + " cannot be loaded";
        return false;
    }
    if (!FT_IS_SCALABLE(out->face)) {
        *error = source.path + ": has no outlines";
        return false;
    }
    /* Descender to ascender fills the em, so that accents and descenders stay in the cell. */
    double ascender = out->face->ascender, descender = out->face->descender;
    if (ascender - descender <= 0) {
        ascender = 0.8 * out->face->units_per_EM;
        descender = -0.2 * out->face->units_per_EM;
    }
    out->em.scale = kEm / (ascender - descender);
    out->em.descender = descender;
    return true;
}

/* FreeType's contours as em-unit segments; quadratics become cubics with
 * control points two thirds of the way to the quadratic's control point. */
struct Decomposer {
    const EmMapping* em;
    std::vector<Contour> contours;
    double last_x = 0, last_y = 0;

    bool clipped = false;  // a point fell outside the signed-byte em and was moved to its edge

    Point map(double x, double y) {
        const double ex = x * em->scale, ey = (y - em->descender) * em->scale - kBaseline;
        if (ex < -128.5 || ex >= 127.5 || ey < -128.5 || ey >= 127.5) clipped = true;
        return {em->x(x), em->y(y)};
    }
    static Decomposer* self(void* user) { return static_cast<Decomposer*>(user); }
    static int move_to(const FT_Vector* to, void* user) {
        Decomposer* d = self(user);
        d->contours.push_back({d->map(to->x, to->y), {}});
        d->last_x = to->x;
        d->last_y = to->y;
        return 0;
    }
    static int line_to(const FT_Vector* to, void* user) {
        Decomposer* d = self(user);
        Segment s;
        s.to = d->map(to->x, to->y);
        d->contours.back().segments.push_back(s);
        d->last_x = to->x;
        d->last_y = to->y;
        return 0;
    }
    static int conic_to(const FT_Vector* control, const FT_Vector* to, void* user) {
        Decomposer* d = self(user);
        const double c1x = d->last_x + 2.0 * (control->x - d->last_x) / 3;
        const double c1y = d->last_y + 2.0 * (control->y - d->last_y) / 3;
        const double c2x = to->x + 2.0 * (control->x - to->x) / 3;
        const double c2y = to->y + 2.0 * (control->y - to->y) / 3;
        Segment s{true, d->map(c1x, c1y), d->map(c2x, c2y), d->map(to->x, to->y)};
        d->contours.back().segments.push_back(s);
        d->last_x = to->x;
        d->last_y = to->y;
        return 0;
    }
    static int cubic_to(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
        Decomposer* d = self(user);
        Segment s{true, d->map(c1->x, c1->y), d->map(c2->x, c2->y), d->map(to->x, to->y)};
        d->contours.back().segments.push_back(s);
        d->last_x = to->x;
        d->last_y = to->y;
        return 0;
    }
};

/* Collects the pieces of the file while glyphs are converted. */
class FontWriter {
   public:
    FontWriter(const BuildOptions& options, BuildStats* stats) : options_(options), stats_(stats) {
        outline_data_.push_back(0);  // offset 0: the empty outline (no contours)
    }

    bool run(const std::string& out, std::string* error);

   private:
    struct Component {
        uint32_t entry;
        int dx, dy, sx, sy;
    };
    using Composite = std::vector<Component>;  // empty: no glyph

    bool open_faces(std::string* error);
    bool outline_of(Face& face, FT_UInt glyph, uint32_t* data_offset, std::string* error);
    bool shared_entry(Face& face, FT_UInt glyph, uint32_t* entry, std::string* error);
    bool components_of(Face& face, FT_UInt glyph, Composite* composite, std::string* error);
    bool map_cjk_slots(std::string* error);
    bool build_singles(std::string* error);
    bool build_composites(std::string* error);
    bool build_latin_pages(std::string* error);
    void build_utf16_table();
    std::array<uint8_t, 2> table_cell(uint32_t cp) const;
    bool euc_table(std::vector<uint8_t>* table, std::string* error) const;
    bool mode6_table(std::vector<uint8_t>* table, std::string* error) const;
    bool assemble(std::vector<uint8_t>* file, std::string* error);
    void progress(const char* what, size_t done, size_t total, bool last = false) const;

    const BuildOptions& options_;
    BuildStats* stats_;
    FtLibrary ft_;
    std::vector<std::unique_ptr<Face>> latin_faces_;
    std::unique_ptr<Face> cjk_face_;

    std::vector<uint8_t> outline_data_;
    std::map<std::pair<const Face*, FT_UInt>, uint32_t> data_of_glyph_;
    std::map<std::pair<const Face*, FT_UInt>, uint32_t> entry_of_glyph_;
    std::set<std::pair<const Face*, FT_UInt>> clipped_glyphs_;
    std::vector<uint32_t> single_entries_;  // data offsets of the single-outline block
    std::vector<uint32_t> shared_entries_;  // data offsets of the shared outlines
    std::vector<uint32_t> latin_entries_;
    std::vector<std::array<uint32_t, kPageGlyphs>> widths_;
    std::vector<Composite> composites_;

    std::vector<uint32_t> single_code_points_, composite_code_points_;  // 0: no character
    std::vector<uint32_t> cell_code_points_;                            // Big5 or Shift-JIS cells
    std::map<uint32_t, uint16_t> gbk_code_of_;                          // code point -> lead << 8 | trail
    std::map<uint32_t, uint16_t> cjk_index_of_;                         // code point -> index
    std::set<uint32_t> built_;                                          // code points with a CJK glyph
    std::vector<uint16_t> utf16_;
};

/* A terminal sees one line counting up; a log gets a line every 5000. */
void FontWriter::progress(const char* what, size_t done, size_t total, bool last) const {
    if (options_.quiet) return;
    static const bool terminal = isatty(fileno(stderr));
    if (terminal)
        std::fprintf(stderr, "\rkesra-font: %s %zu / %zu%s", what, done, total, last ? "\n" : "");
    else if (last || done % 5000 == 0)
        std::fprintf(stderr, "kesra-font: %s %zu / %zu\n", what, done, total);
    std::fflush(stderr);
}

bool FontWriter::open_faces(std::string* error) {
    if (FT_Init_FreeType(&ft_.library)) {
        *error = "FreeType cannot be initialised";
        return false;
    }
    if (!options_.cjk.path.empty()) {
        cjk_face_ = std::make_unique<Face>();
        if (!open_face(ft_.library, options_.cjk, cjk_face_.get(), error)) return false;
    }
    for (const FaceSource& source : options_.latin) {
        latin_faces_.push_back(std::make_unique<Face>());
        if (!open_face(ft_.library, source, latin_faces_.back().get(), error)) return false;
    }
    return true;
}

bool FontWriter::outline_of(Face& face, FT_UInt glyph, uint32_t* data_offset, std::string* error) {
    const auto key = std::make_pair(static_cast<const Face*>(&face), glyph);
    if (auto it = data_of_glyph_.find(key); it != data_of_glyph_.end()) {
        *data_offset = it->second;
        return true;
    }
    if (FT_Load_Glyph(face.face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP)) {
        *error = face.path + ": glyph " + std::to_string(glyph) + " cannot be loaded";
        return false;
    }
    *data_offset = 0;
    if (face.face->glyph->format == FT_GLYPH_FORMAT_OUTLINE && face.face->glyph->outline.n_contours > 0) {
        Decomposer d;
        d.em = &face.em;
        FT_Outline_Funcs funcs = {
            &Decomposer::move_to, &Decomposer::line_to, &Decomposer::conic_to, &Decomposer::cubic_to, 0, 0};
        if (FT_Outline_Decompose(&face.face->glyph->outline, &funcs, &d)) {
            *error = face.path + ": glyph " + std::to_string(glyph) + " has a malformed outline";
            return false;
        }
        if (d.clipped) clipped_glyphs_.insert(key);
        std::vector<uint8_t> bytes;
        std::string why;
        /* One glyph the format cannot hold is left empty; the rest of the font still builds. */
        if (!encode_outline(d.contours, &bytes, &why)) {
            std::fprintf(stderr, "kesra-font: %s: glyph %u left empty: %s\n", face.path.c_str(), glyph,
                         why.c_str());
            bytes.assign(1, 0);
        }
        if (bytes[0] != 0) {
            *data_offset = static_cast<uint32_t>(outline_data_.size());
            outline_data_.insert(outline_data_.end(), bytes.begin(), bytes.end());
            ++stats_->outlines;
        }
    }
    data_of_glyph_[key] = *data_offset;
    return true;
}

bool FontWriter::shared_entry(Face& face, FT_UInt glyph, uint32_t* entry, std::string* error) {
    const auto key = std::make_pair(static_cast<const Face*>(&face), glyph);
    if (auto it = entry_of_glyph_.find(key); it != entry_of_glyph_.end()) {
        *entry = it->second;
        return true;
    }
    uint32_t data = 0;
    if (!outline_of(face, glyph, &data, error)) return false;
    *entry = single_slots(options_.charset_kind) + static_cast<uint32_t>(shared_entries_.size());
    shared_entries_.push_back(data);
    entry_of_glyph_[key] = *entry;
    return true;
}

/* A TrueType composite as components when every part fits the record: up to
 * six, placed by offsets, scaled by 1/128..255/128 without rotation or skew.
 * Anything else becomes one component holding the whole outline. */
bool FontWriter::components_of(Face& face, FT_UInt glyph, Composite* composite, std::string* error) {
    composite->clear();
    if (!options_.flatten &&
        !FT_Load_Glyph(face.face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_RECURSE) &&
        face.face->glyph->format == FT_GLYPH_FORMAT_COMPOSITE && face.face->glyph->num_subglyphs >= 1 &&
        face.face->glyph->num_subglyphs <= 6) {
        const FT_GlyphSlot slot = face.face->glyph;
        std::vector<FT_UInt> parts;
        Composite fitted;
        for (FT_UInt i = 0; i < slot->num_subglyphs; ++i) {
            FT_Int index, arg1, arg2;
            FT_UInt flags;
            FT_Matrix m;
            if (FT_Get_SubGlyph_Info(slot, i, &index, &flags, &arg1, &arg2, &m)) break;
            const double kx = m.xx / 65536.0, ky = m.yy / 65536.0;
            const bool scaled = m.xx != 0x10000 || m.yy != 0x10000;
            if (!(flags & FT_SUBGLYPH_FLAG_ARGS_ARE_XY_VALUES) || m.xy || m.yx || kx <= 0 || ky <= 0 ||
                (scaled && (flags & kScaledOffsetFlag)))
                break;
            /* y' = k * y_component' + t * scale + (k - 1) * (descender * scale + baseline) */
            Component c{
                0, static_cast<int>(std::lround(arg1 * face.em.scale)),
                static_cast<int>(std::lround(arg2 * face.em.scale +
                                             (ky - 1) * (face.em.descender * face.em.scale + kBaseline))),
                static_cast<int>(std::lround(kx * kEm)), static_cast<int>(std::lround(ky * kEm))};
            if (c.dx < -128 || c.dx > 127 || c.dy < -128 || c.dy > 127 || c.sx < 1 || c.sx > 255 ||
                c.sy < 1 || c.sy > 255)
                break;
            parts.push_back(static_cast<FT_UInt>(index));
            fitted.push_back(c);
        }
        if (fitted.size() == slot->num_subglyphs) {
            bool clipped = false;
            for (size_t i = 0; i < fitted.size(); ++i) {
                if (!shared_entry(face, parts[i], &fitted[i].entry, error)) return false;
                clipped = clipped || clipped_glyphs_.count({&face, parts[i]});
            }
            /* A part that only fits the cell once it is moved or scaled cannot be
             * stored on its own: the glyph keeps its whole outline then. */
            if (!clipped) {
                *composite = fitted;
                return true;
            }
        }
    }
    ++stats_->whole_outlines;
    Component whole{0, 0, 0, kEm, kEm};
    if (!shared_entry(face, glyph, &whole.entry, error)) return false;
    composite->push_back(whole);
    return true;
}

/* One character of a multi-byte code page through iconv; 0 when it has none. */
class CodePage {
   public:
    explicit CodePage(const char* name) : name_(name), cd_(iconv_open("UTF-32LE", name)) {}
    ~CodePage() {
        if (ok()) iconv_close(cd_);
    }
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    const char* name() const { return name_; }
    /* A two-byte code, or with trail -1 a single byte. */
    uint32_t decode(int lead, int trail) {
        char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        uint8_t out[8] = {};
        char* in_p = in;
        char* out_p = reinterpret_cast<char*>(out);
        size_t in_left = trail < 0 ? 1 : 2, out_left = sizeof out;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd_, &in_p, &in_left, &out_p, &out_left) == static_cast<size_t>(-1) || out_left != 4)
            return 0;
        return out[0] | (out[1] << 8) | (out[2] << 16) | (static_cast<uint32_t>(out[3]) << 24);
    }

   private:
    const char* name_;
    iconv_t cd_;
};

/* Which code point each single-outline and composite slot holds, through
 * iconv: the GBK symbol rows are the single outlines of every kind; the
 * composites follow GBK, or the Big5 or Shift-JIS cells (kinds 3 and 4),
 * where the characters that are Latin or GBK symbols are left to those. */
bool FontWriter::map_cjk_slots(std::string* error) {
    const int kind = options_.charset_kind;
    single_code_points_.assign(single_slots(kind), 0);
    composite_code_points_.assign(composite_slots(kind), 0);
    CodePage gbk("CP936");
    if (!gbk.ok()) {
        *error = "iconv has no CP936 conversion";
        return false;
    }
    const bool by_gbk = kind <= 2;
    for (int lead = 0x81; lead <= 0xFE; ++lead)
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            const uint16_t index = gbk_index(lead, trail);
            const GlyphRef g = glyph_of_index(by_gbk ? kind : 1, index);
            if (g.kind != GlyphKind::Single && g.kind != GlyphKind::Composite) continue;
            const uint32_t cp = gbk.decode(lead, trail);
            if (!cp) continue;
            gbk_code_of_.emplace(cp, static_cast<uint16_t>(lead << 8 | trail));
            if (g.kind == GlyphKind::Composite && !by_gbk) continue;
            auto& slots = g.kind == GlyphKind::Single ? single_code_points_ : composite_code_points_;
            if (g.number >= slots.size()) continue;
            slots[g.number] = cp;
            cjk_index_of_.emplace(cp, by_gbk ? index : static_cast<uint16_t>(1000 + g.number));
        }
    if (by_gbk) return true;

    CodePage cells(kind == 3 ? "BIG5" : "SHIFT_JIS");
    if (!cells.ok()) {
        *error = std::string("iconv has no ") + cells.name() + " conversion";
        return false;
    }
    cell_code_points_.assign(composite_slots(kind), 0);
    for (int lead = 0x81; lead <= 0xFE; ++lead)
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            const int cell = kind == 3 ? big5_cell(lead, trail) : sjis_cell(lead, trail);
            if (cell < 0) continue;
            const uint32_t cp = cells.decode(lead, trail);
            cell_code_points_[cell] = cp;
            if (!cp || latin_byte(cp) >= 0 || cjk_index_of_.count(cp)) continue;
            composite_code_points_[cell] = cp;
            cjk_index_of_.emplace(cp, static_cast<uint16_t>(3000 + cell));
        }
    return true;
}

/* A Big5 or Shift-JIS cell: a Latin byte (second byte 0), the character's
 * GBK code (symbols resolve to the single outlines, the rest to the cell's
 * own composite), or 0xFF 0xFF, which also resolves to the cell. */
std::array<uint8_t, 2> FontWriter::table_cell(uint32_t cp) const {
    if (!cp) return {0xFF, 0xFF};
    if (const int byte = latin_byte(cp); byte >= 0) return {static_cast<uint8_t>(byte), 0};
    if (auto it = gbk_code_of_.find(cp); it != gbk_code_of_.end())
        return {static_cast<uint8_t>(it->second >> 8), static_cast<uint8_t>(it->second)};
    return {0xFF, 0xFF};
}

/* EUC-JP codes to Shift-JIS codes, entry (b0 << 8 | b1) - 0x8000; half-width
 * katakana (0x8E, K) as K with a zero second byte. */
bool FontWriter::euc_table(std::vector<uint8_t>* table, std::string* error) const {
    iconv_t cd = iconv_open("SHIFT_JIS", "EUC-JP");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        *error = "iconv has no EUC-JP to SHIFT_JIS conversion";
        return false;
    }
    table->assign(2 * EUC_ENTRIES, 0);
    for (int b0 = 0x8E; b0 <= 0xFE; ++b0)
        for (int b1 = 0xA1; b1 <= 0xFE; ++b1) {
            char in[2] = {static_cast<char>(b0), static_cast<char>(b1)};
            uint8_t out[4] = {};
            char* in_p = in;
            char* out_p = reinterpret_cast<char*>(out);
            size_t in_left = 2, out_left = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &in_p, &in_left, &out_p, &out_left) == static_cast<size_t>(-1)) continue;
            const size_t entry = ((b0 << 8) | b1) - 0x8000, written = sizeof out - out_left;
            if (written == 2 || (written == 1 && out[0] >= 0xA1 && out[0] <= 0xDF)) {
                (*table)[2 * entry] = out[0];
                (*table)[2 * entry + 1] = written == 2 ? out[1] : 0;
            }
        }
    iconv_close(cd);
    return true;
}

/* A double-byte code page's codes (lead, trail) as UTF-16 code units, entry
 * (lead - 0x80) << 8 | trail; a single byte of 0x80 or above as (byte, 0).
 * Codes without a character, or outside the 16-bit range, hold 0. */
bool FontWriter::mode6_table(std::vector<uint8_t>* table, std::string* error) const {
    CodePage page(options_.mode6_codepage.c_str());
    if (!page.ok()) {
        *error = "iconv has no " + options_.mode6_codepage + " conversion";
        return false;
    }
    table->assign(2 * MODE6_ENTRIES, 0);
    auto put = [&](int lead, int trail, uint32_t cp) {
        if (cp == 0 || cp > 0xFFFF) return;
        const size_t entry = static_cast<size_t>((lead - 0x80) << 8 | (trail < 0 ? 0 : trail));
        (*table)[2 * entry] = static_cast<uint8_t>(cp);
        (*table)[2 * entry + 1] = static_cast<uint8_t>(cp >> 8);
    };
    for (int lead = 0x80; lead <= 0xFF; ++lead) {
        put(lead, -1, page.decode(lead, -1));
        for (int trail = 0x21; trail <= 0xFF; ++trail) put(lead, trail, page.decode(lead, trail));
    }
    return true;
}

bool FontWriter::build_singles(std::string* error) {
    single_entries_.assign(single_code_points_.size(), 0);
    if (!cjk_face_) return true;
    const std::set<uint32_t> subset(options_.subset_chars.begin(), options_.subset_chars.end());
    for (size_t i = 0; i < single_code_points_.size(); ++i) {
        const uint32_t cp = single_code_points_[i];
        if (options_.subset && !subset.count(cp)) continue;
        const FT_UInt glyph = cp ? FT_Get_Char_Index(cjk_face_->face, cp) : 0;
        if (!glyph) continue;
        if (!outline_of(*cjk_face_, glyph, &single_entries_[i], error)) return false;
        built_.insert(cp);
        ++stats_->single_glyphs;
    }
    return true;
}

bool FontWriter::build_composites(std::string* error) {
    composites_.assign(composite_code_points_.size(), {});
    if (!cjk_face_) return true;
    const std::set<uint32_t> subset(options_.subset_chars.begin(), options_.subset_chars.end());
    const size_t total = composites_.size();
    for (size_t i = 0; i < total; ++i) {
        if (i % 500 == 0) progress("CJK glyphs", i, total);
        const uint32_t cp = composite_code_points_[i];
        if (!cp || (options_.subset && !subset.count(cp))) continue;
        const FT_UInt glyph = FT_Get_Char_Index(cjk_face_->face, cp);
        if (!glyph) continue;
        if (!components_of(*cjk_face_, glyph, &composites_[i], error)) return false;
        built_.insert(cp);
        ++stats_->composite_glyphs;
    }
    progress("CJK glyphs", total, total, true);
    stats_->shared_components = shared_entries_.size();
    return true;
}

bool FontWriter::build_latin_pages(std::string* error) {
    std::vector<Face*> faces;
    for (auto& f : latin_faces_) faces.push_back(f.get());
    if (faces.empty() && cjk_face_) faces.push_back(cjk_face_.get());
    if (faces.empty()) {
        *error = "nothing to build: give --latin FONT or --cjk FONT";
        return false;
    }
    for (Face* face : faces) {
        std::array<uint32_t, kPageGlyphs> widths{};
        for (size_t i = 0; i < kPageGlyphs; ++i) {
            const uint32_t cp = latin_code_point(static_cast<int>(0x20 + i));
            const FT_UInt glyph = cp ? FT_Get_Char_Index(face->face, cp) : 0;
            uint32_t data = 0;
            if (glyph) {
                if (!outline_of(*face, glyph, &data, error)) return false;
                if (FT_Load_Glyph(face->face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING)) {
                    *error = face->path + ": glyph " + std::to_string(glyph) + " cannot be loaded";
                    return false;
                }
                const long advance = std::lround(face->face->glyph->metrics.horiAdvance * face->em.scale);
                widths[i] = static_cast<uint32_t>(advance < 0 ? 0 : advance > kEm ? kEm : advance);
                ++stats_->latin_glyphs;
            }
            latin_entries_.push_back(data);
        }
        widths_.push_back(widths);
    }
    return true;
}

/* Latin page characters take their page glyph; the rest their GBK index,
 * when the font holds a glyph for it. */
void FontWriter::build_utf16_table() {
    utf16_.assign(0x10000, kNoIndex);
    for (uint32_t cp = 0; cp < 0x10000; ++cp) {
        const int byte = latin_byte(cp);
        if (byte >= 0) {
            utf16_[cp] = static_cast<uint16_t>(byte - 29);
        } else if (built_.count(cp)) {
            utf16_[cp] = cjk_index_of_[cp];
        }
        if (utf16_[cp] != kNoIndex) ++stats_->utf16_mapped;
    }
}

bool FontWriter::assemble(std::vector<uint8_t>* file, std::string* error) {
    const size_t entries = single_entries_.size() + shared_entries_.size() + latin_entries_.size();
    const bool by_offset = 3 * entries <= 0xFFFF;  // else components name entries by number
    if (entries > 0xFFFF) {
        *error = "more than 65535 outlines; build fewer characters (--chars)";
        return false;
    }
    /* Component records, shared where they are equal; offset 0 is the empty record. */
    std::vector<uint8_t> records = {0};
    std::map<std::vector<uint8_t>, uint32_t> record_at;
    std::vector<uint32_t> record_of(composites_.size(), 0);
    for (size_t i = 0; i < composites_.size(); ++i) {
        const Composite& c = composites_[i];
        if (c.empty()) continue;
        std::vector<uint8_t> r = {static_cast<uint8_t>(1u << (7 - c.size()))};
        for (size_t k = 0; k < c.size(); ++k) {
            const bool scaled = c[k].sx != kEm || c[k].sy != kEm;
            if (scaled) r[0] |= static_cast<uint8_t>(1u << (7 - k));
            const uint32_t ref = by_offset ? 3 * c[k].entry : c[k].entry;
            r.insert(r.end(), {static_cast<uint8_t>(ref), static_cast<uint8_t>(ref >> 8),
                               static_cast<uint8_t>(c[k].dx), static_cast<uint8_t>(c[k].dy)});
            if (scaled) r.insert(r.end(), {static_cast<uint8_t>(c[k].sx), static_cast<uint8_t>(c[k].sy)});
        }
        auto [it, fresh] = record_at.emplace(r, static_cast<uint32_t>(records.size()));
        if (fresh) records.insert(records.end(), r.begin(), r.end());
        record_of[i] = it->second;
    }
    if (records.size() >= kOffsetLimit || outline_data_.size() >= kOffsetLimit) {
        *error = "outline data past 16 MB; build fewer characters (--chars)";
        return false;
    }

    const size_t pages = widths_.size();
    std::vector<uint8_t>& f = *file;
    f.assign(field::WIDTH_PAGES + kPageBytes * pages, 0);
    std::memcpy(f.data(), "STCF", 4);
    std::string tag = "kesra-font";
    for (auto& face : latin_faces_) tag += " " + face->path.substr(face->path.find_last_of('/') + 1);
    if (cjk_face_) tag += " " + cjk_face_->path.substr(cjk_face_->path.find_last_of('/') + 1);
    std::memcpy(f.data() + field::TAG, tag.data(),
                std::min<size_t>(tag.size(), field::KIND - field::TAG - 1));
    for (size_t p = 0; p < pages; ++p)
        for (size_t i = 0; i < kPageGlyphs; ++i)
            put_u32(f, field::WIDTH_PAGES + kPageBytes * p + 4 * i, widths_[p][i]);

    uint32_t utf16_at = 0;
    if (options_.utf16_table) {
        utf16_at = static_cast<uint32_t>(f.size());
        for (uint16_t v : utf16_) f.insert(f.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)});
    }
    const uint32_t composite_table_at = static_cast<uint32_t>(f.size());
    for (uint32_t r : record_of) append_u24(f, r);
    const uint32_t records_at = static_cast<uint32_t>(f.size());
    f.insert(f.end(), records.begin(), records.end());
    const uint32_t outline_table_at = static_cast<uint32_t>(f.size());
    for (const auto* block : {&single_entries_, &shared_entries_, &latin_entries_})
        for (uint32_t d : *block) append_u24(f, d);
    const uint32_t outline_data_at = static_cast<uint32_t>(f.size());
    f.insert(f.end(), outline_data_.begin(), outline_data_.end());

    if (!cell_code_points_.empty()) {
        put_u32(f, options_.charset_kind == 3 ? field::BIG5_TABLE : field::SJIS_TABLE,
                static_cast<uint32_t>(f.size()));
        for (uint32_t cp : cell_code_points_) {
            const auto cell = table_cell(cp);
            f.insert(f.end(), cell.begin(), cell.end());
        }
    }
    if (options_.charset_kind == 4) {
        std::vector<uint8_t> euc;
        if (!euc_table(&euc, error)) return false;
        put_u32(f, field::EUC_TABLE, static_cast<uint32_t>(f.size()));
        f.insert(f.end(), euc.begin(), euc.end());
    }

    if (!options_.mode6_codepage.empty()) {
        std::vector<uint8_t> mode6;
        if (!mode6_table(&mode6, error)) return false;
        put_u32(f, field::MODE6_TABLE, static_cast<uint32_t>(f.size()));
        f.insert(f.end(), mode6.begin(), mode6.end());
    }

    put_u32(f, field::KIND, static_cast<uint32_t>(options_.charset_kind));
    put_u32(f, field::COMPOSITE_TABLE, composite_table_at);
    put_u32(f, field::COMPONENTS, records_at);
    put_u32(f, field::OUTLINE_TABLE, outline_table_at);
    put_u32(f, field::OUTLINE_DATA, outline_data_at);
    put_u32(f, field::FIRST_SINGLE, 0);
    put_u32(f, field::FIRST_LATIN, static_cast<uint32_t>(single_entries_.size() + shared_entries_.size()));
    put_u32(f, field::UTF16_TABLE, utf16_at);
    put_u32(f, field::COMPOSITE_COUNT_X3, static_cast<uint32_t>(3 * composites_.size()));
    put_u32(f, field::COMPOSITE_BIAS, 0);
    put_u32(f, field::OUTLINE_COUNT_X3, static_cast<uint32_t>(3 * entries));
    stats_->outline_bytes = outline_data_.size();
    stats_->file_bytes = f.size();
    return true;
}

bool FontWriter::run(const std::string& out, std::string* error) {
    std::vector<uint8_t> file;
    if (!open_faces(error) || !map_cjk_slots(error) || !build_singles(error) || !build_composites(error) ||
        !build_latin_pages(error))
        return false;
    build_utf16_table();
    if (!assemble(&file, error)) return false;
    return kesra::cli::write_whole_file(out, file, {"cannot create: %s", "write failed"}, error);
}

}  // namespace

bool build(const std::string& out, const BuildOptions& options, BuildStats* stats, std::string* error) {
    BuildStats local;
    if (!stats) stats = &local;
    *stats = BuildStats();
    if (options.charset_kind < 0 || options.charset_kind > kMaxKind) {
        *error = "character-set kind " + std::to_string(options.charset_kind) + " is out of range (0 to 4)";
        return false;
    }
    if (!options.mode6_codepage.empty() && !options.utf16_table) {
        *error = "the mode-6 table leads through the UTF-16 table; leave out --no-utf16";
        return false;
    }
    if (!options.mode6_codepage.empty() && !CodePage(options.mode6_codepage.c_str()).ok()) {
        *error = "iconv has no " + options.mode6_codepage + " conversion";  // said before the long work
        return false;
    }
    const size_t pages = options.latin.empty() ? 1 : options.latin.size();
    if (pages > static_cast<size_t>(kMaxPages)) {
        *error =
            std::to_string(pages) + " Latin pages are too many (at most " + std::to_string(kMaxPages) + ")";
        return false;
    }
    FontWriter writer(options, stats);
    return writer.run(out, error);
}

bool parse_face_source(const std::string& text, FaceSource* source, std::string* error) {
    source->path = text;
    source->face_index = 0;
    const size_t colon = text.find_last_of(':');
    if (colon == std::string::npos || colon + 1 == text.size()) return true;
    const std::string number = text.substr(colon + 1);
    if (number.find_first_not_of("0123456789") != std::string::npos) return true;  // a colon in the path
    if (number.size() > 4) {
        *error = text + ": face number " + number + " is out of range";
        return false;
    }
    source->path = text.substr(0, colon);
    source->face_index = std::stol(number);
    return true;
}

bool decode_utf8(const std::string& text, std::vector<uint32_t>* out) {
    for (size_t i = 0; i < text.size();) {
        const uint8_t b = static_cast<uint8_t>(text[i]);
        int extra = b < 0x80             ? 0
                    : (b & 0xE0) == 0xC0 ? 1
                    : (b & 0xF0) == 0xE0 ? 2
                    : (b & 0xF8) == 0xF0 ? 3
                                         : -1;
        if (extra < 0 || i + extra >= text.size() + (extra ? 0 : 1)) return false;
        uint32_t cp = extra ? (b & (0x7F >> (extra + 1))) : b;
        for (int k = 1; k <= extra; ++k) {
            const uint8_t c = static_cast<uint8_t>(text[i + k]);
            if ((c & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        out->push_back(cp);
        i += 1 + extra;
    }
    return true;
}

}  // namespace kesra_font
