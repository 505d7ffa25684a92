/* test_resource_pack.cpp - opening the pack and the mapped view, looking
 * images up by ID with the logged messages, the raw-or-coded decision, and
 * damaged packs, compressed frame packs and real-scene files. */
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "bitmap/blit.h"
#include "bitmap/pack_view.h"
#include "kesra.h"
#include "ql.h"
#include "tests/test_bitmap_helpers.h"
#include "tools/common/png565.h"

using namespace kesra;
using namespace kesra::test;

namespace {

const std::string kIdMessage = std::string(GBK_ERROR) + "nID = ";

struct PackFile {
    explicit PackFile(const std::vector<uint8_t>& bytes, const std::string& name = "pack.bin")
        : path(scratch_dir() + "/" + name) {
        write_bytes(path, bytes);
    }
    std::u16string wpath() const { return wide(path); }
    std::string path;
};

/* 2 x 2 image 300 raw, 3 x 1 image 301 coded with alpha. */
std::vector<uint8_t> small_pack() {
    return make_pack({
        {2, 2, le16_bytes({0x1111, 0x2222, 0x3333, 0x4444}), {}},
        {3, 1, pixel_pairs({{0xF800, 2}, {0x001F, 1}}), alpha_pairs({{31, 3}})},
    });
}

class ResourcePack : public ::testing::Test {
   protected:
    void SetUp() override {
        clear_log();
        CCEBitmap::CloseResource();
    }
    void TearDown() override { CCEBitmap::CloseResource(); }
};

}  // namespace

TEST_F(ResourcePack, OpenAndCloseKeepOneStream) {
    PackFile pack(small_pack());
    EXPECT_EQ(CCEBitmap::OpenResource(pack.wpath().c_str()), 1);
    void* first = CCEBitmap::m_fpResource;
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(CCEBitmap::OpenResource(pack.wpath().c_str()), 1);  // the old stream is closed first
    CCEBitmap::CloseResource();
    EXPECT_EQ(CCEBitmap::m_fpResource, nullptr);
    EXPECT_EQ(CCEBitmap::OpenResource(u"/nonexistent/pack.bin"), 0);
    EXPECT_EQ(CCEBitmap::m_fpResource, nullptr);
    std::u16string path;  // backslashes open too
    for (char c : pack.path) path += c == '/' ? u'\\' : static_cast<char16_t>(c);
    EXPECT_EQ(CCEBitmap::OpenResource(path.c_str()), 1);
}

TEST_F(ResourcePack, IdsBelow300OrNoPackFailWithTheFirstMessage) {
    CCEBitmap b;
    EXPECT_EQ(b.LoadBitmapW(300u), 0);
    PackFile pack(small_pack());
    ASSERT_EQ(CCEBitmap::OpenResource(pack.wpath().c_str()), 1);
    EXPECT_EQ(b.LoadBitmapW(299u), 0);
    const std::string log = log_text();
    EXPECT_EQ(log.find(kIdMessage + "300, m_fpResource = 0\n"), 0u);
    EXPECT_NE(log.find(kIdMessage + "299, m_fpResource = "), std::string::npos);
    EXPECT_EQ(b.LoadBitmapW(300u), 1);  // ID 300 is index 0
    EXPECT_EQ(pixels_of(b), (std::vector<uint16_t>{0x1111, 0x2222, 0x3333, 0x4444}));
    const unsigned char* plane = b.GetImageData();
    EXPECT_EQ(b.LoadBitmapW(300u), 1);  // a loaded ID is found without reading the pack again
    EXPECT_EQ(b.GetImageData(), plane);

    // An index at the count prints the index; so does the unset ID of a new bitmap.
    clear_log();
    CCEBitmap c, fresh;
    EXPECT_EQ(c.LoadBitmapW(302u), 0);
    EXPECT_EQ(c.GetImageData(), nullptr);
    EXPECT_EQ(log_text(), kIdMessage + "2, st.iNum = 2\n");
    clear_log();
    EXPECT_EQ(fresh.LoadBitmapW(0xFFFFFFFFu), 0);
    EXPECT_EQ(fresh.GetImageData(), nullptr);
    EXPECT_NE(log_text().find("st.iNum = 2"), std::string::npos) << log_text();
}

/* A block of exactly width x height x 2 bytes is raw; the same pairs with
 * one more pair are coded. */
TEST_F(ResourcePack, RawOrCodedIsDecidedByTheExactRawSize) {
    const auto two_pairs = pixel_pairs({{0xABCD, 3}, {0x1234, 1}});  // 8 bytes = 2 x 2 x 2
    auto three_pairs = two_pairs;
    const auto extra = pixel_pairs({{0x5555, 7}});  // runs past the image are ignored
    three_pairs.insert(three_pairs.end(), extra.begin(), extra.end());
    auto one_byte_short = two_pairs;
    one_byte_short.pop_back();  // 7 bytes: coded, the cut pair is not read
    PackFile pack(make_pack({{2, 2, two_pairs, {}}, {2, 2, three_pairs, {}}, {2, 2, one_byte_short, {}}}));
    ASSERT_EQ(CCEBitmap::OpenResource(pack.wpath().c_str()), 1);
    CCEBitmap raw, coded, short_coded;
    ASSERT_EQ(raw.LoadBitmapW(300u, 0, 0), 1);
    ASSERT_EQ(coded.LoadBitmapW(301u, 0, 0), 1);
    ASSERT_EQ(short_coded.LoadBitmapW(302u, 0, 0), 1);
    EXPECT_EQ(pixels_of(raw), (std::vector<uint16_t>{0xABCD, 3, 0x1234, 1}));
    EXPECT_EQ(pixels_of(coded), (std::vector<uint16_t>{0xABCD, 0xABCD, 0xABCD, 0x1234}));
    EXPECT_EQ(pixels_of(short_coded), (std::vector<uint16_t>{0xABCD, 0xABCD, 0xABCD, 0}));
    EXPECT_EQ(coded.GetPixelSize(), 8);
}

/* Laid out by hand from the documented offsets, not from the shared
 * definitions: count at 32, index offset at 36, record offset in the second
 * word of an entry, width, height and block sizes at 32 ... 44 of the record. */
TEST_F(ResourcePack, AHandLaidPackIsReadAtTheDocumentedOffsets) {
    std::vector<uint8_t> f(40 + 8 + 48 + 4 + 2, 0xEE);  // bytes the reader ignores are not zero
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) f[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    put32(32, 1);       // one image
    put32(36, 40);      // index right after the header
    put32(44, 48);      // image 0's record
    put32(48 + 32, 2);  // 2 x 1
    put32(48 + 36, 1);
    put32(48 + 40, 4);  // raw pixels
    put32(48 + 44, 2);  // raw alpha
    const size_t blocks = 48 + 48;
    f[blocks] = 0x34, f[blocks + 1] = 0x12, f[blocks + 2] = 0x78, f[blocks + 3] = 0x56;
    f[blocks + 4] = 31, f[blocks + 5] = 7;
    PackFile pack(f);
    ASSERT_EQ(CCEBitmap::OpenResource(pack.wpath().c_str()), 1);
    CCEBitmap b;
    ASSERT_EQ(b.LoadBitmapW(300u), 1);
    EXPECT_EQ(b.GetWidth(), 2);
    EXPECT_EQ(b.GetHeight(), 1);
    EXPECT_EQ(pixels_of(b), (std::vector<uint16_t>{0x1234, 0x5678}));
    EXPECT_EQ(b.GetAlphaData()[1], 7);
}

TEST_F(ResourcePack, ARunCountOfZeroCoversOnePixel) {
    PackFile pack(make_pack({{4, 1, pixel_pairs({{0x0001, 0}, {0x0002, 1}, {0x0003, 2}}),
                              alpha_pairs({{5, 0}, {9, 2}, {7, 1}})}}));  // 6 bytes: coded
    ASSERT_EQ(CCEBitmap::OpenResource(pack.wpath().c_str()), 1);
    CCEBitmap b;
    ASSERT_EQ(b.LoadBitmapW(300u, 0, 0), 1);
    EXPECT_EQ(pixels_of(b), (std::vector<uint16_t>{1, 2, 3, 3}));
    EXPECT_EQ(alpha_of(b), (std::vector<uint8_t>{5, 9, 9, 7}));
}

TEST_F(ResourcePack, DamagedPacksFailWithAMessage) {
    const std::vector<uint8_t> good = small_pack();
    auto patched = [&](size_t at, uint32_t value) {
        std::vector<uint8_t> f = good;
        pack::write_le32(f.data() + at, value);
        return f;
    };
    const size_t record = pack::kHeaderBytes;
    const std::pair<const char*, std::vector<uint8_t>> cases[] = {
        {"header cut short", std::vector<uint8_t>(good.begin(), good.begin() + 20)},
        {"index beyond the file", patched(pack::kHeaderIndexAt, 1u << 30)},
        {"record beyond the file", patched(pack::parse_header(good.data()).index_offset + 4, 0x7FFFFFF0u)},
        {"pixel block past the end", patched(record + pack::kRecordPixelBytesAt, 0x10000000u)},
        {"sides beyond 32-bit sizes", patched(record + pack::kRecordWidthAt, 0x40000000u)},
        {"negative height", patched(record + pack::kRecordHeightAt, 0xFFFFFFFEu)},
        {"file cut inside the blocks", std::vector<uint8_t>(good.begin(), good.begin() + 50)},
    };
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        clear_log();
        PackFile pack(bytes);
        ASSERT_EQ(CCEBitmap::OpenResource(pack.wpath().c_str()), 1);
        CCEBitmap b, t;
        EXPECT_EQ(b.LoadBitmapW(300u), 0);
        EXPECT_EQ(b.GetImageData(), nullptr);
        EXPECT_EQ(t.LoadBitmapTemp(300u), 0);
        EXPECT_EQ(log_text().rfind(GBK_ERROR, 0), 0u);
    }
}

TEST_F(ResourcePack, TheMappedViewHoldsTheFile) {
    unsigned char* before = CCEBitmap::m_pResMap;
    EXPECT_EQ(CCEBitmap::OpenResMapView(u"/nonexistent/pack.bin"), 0);
    EXPECT_EQ(CCEBitmap::m_pResMap, before);
    CCEBitmap::CloseResMapView();
    const auto bytes = small_pack();
    PackFile pack(bytes);
    ASSERT_EQ(CCEBitmap::OpenResMapView(pack.wpath().c_str()), 1);
    EXPECT_EQ(CCEBitmap::m_hRes, nullptr);  // both handles closed, the view kept
    EXPECT_EQ(CCEBitmap::m_hMap, nullptr);
    ASSERT_NE(CCEBitmap::m_pResMap, nullptr);
    EXPECT_EQ(std::memcmp(CCEBitmap::m_pResMap, bytes.data(), bytes.size()), 0);
    pack::PackView view;
    std::string error;
    ASSERT_TRUE(view.open(CCEBitmap::m_pResMap, bytes.size(), &error)) << error;
    EXPECT_EQ(view.count(), 2u);
}

TEST(FileCalls, HandlesAreCheckedAndClosed) {
    const std::string path = scratch_dir() + "/file_calls.bin";
    write_bytes(path, {1, 2, 3, 4, 5});
    HANDLE f = CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(f, nullptr), 5u);
    uint8_t buffer[8] = {};
    DWORD got = 0;
    EXPECT_EQ(SetFilePointer(f, 3, nullptr, FILE_BEGIN), 3u);
    EXPECT_TRUE(ReadFile(f, buffer, 8, &got, nullptr));
    EXPECT_EQ(got, 2u);
    EXPECT_EQ(buffer[0], 4);
    EXPECT_TRUE(CloseHandle(f));
    EXPECT_FALSE(CloseHandle(f));
    EXPECT_FALSE(ReadFile(f, buffer, 1, &got, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(CreateFileW(u"/nonexistent/x", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    write_bytes(path, {});
    f = CreateFileW(wide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(CreateFileMappingW(f, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);  // empty file
    EXPECT_TRUE(CloseHandle(f));
}

/* The compressed frame pack: zlib blocks that inflate to the raw planes. */
namespace {

std::vector<uint8_t> zlib(const std::vector<uint8_t>& raw) {
    BYTE* out = nullptr;
    DWORD len = 0;
    EXPECT_EQ(QLCompress(&out, &len, raw.data(), static_cast<DWORD>(raw.size()), 6), 0);
    std::vector<uint8_t> block(out, out + len);
    std::free(out);
    return block;
}

}  // namespace

TEST_F(ResourcePack, FramePackBlocksInflateToRawPlanes) {
    const auto pixels = le16_bytes({1, 2, 3, 4, 5, 6});
    const std::vector<uint8_t> alpha{0, 8, 16, 24, 31, 31};
    auto corrupt = zlib(pixels);
    corrupt[corrupt.size() / 2] ^= 0x5A;
    PackFile frames(make_pack({{3, 2, zlib(pixels), zlib(alpha)},
                               {3, 2, corrupt, {}},
                               {3, 2, zlib(le16_bytes({1, 2, 3})), {}}}),
                    "frames.bin");
    CCEBitmap b;
    ASSERT_EQ(b.LoadBitmapGIF(frames.wpath().c_str(), 300), 1);
    EXPECT_EQ(pixels_of(b), (std::vector<uint16_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(alpha_of(b), alpha);
    EXPECT_EQ(b.GetPixelSize(), 12);  // raw: drawn as raw whatever bCoded says
    CCEBitmap bad, short_block;
    EXPECT_EQ(bad.LoadBitmapGIF(frames.wpath().c_str(), 301), 0);  // corrupted stream
    EXPECT_EQ(bad.GetImageData(), nullptr);
    EXPECT_EQ(short_block.LoadBitmapGIF(frames.wpath().c_str(), 302), 0);  // inflates to half the plane
    clear_log();
    EXPECT_EQ(b.LoadBitmapGIF(frames.wpath().c_str(), 299), 0);
    EXPECT_EQ(log_text().rfind(kIdMessage + "299, fp = ", 0), 0u);
    EXPECT_EQ(b.LoadBitmapGIF(frames.wpath().c_str(), 303), 0);
}

/* Real-scene files: count, 24-byte entries from index 1, PNG payloads. */
namespace {

std::vector<uint8_t> scene_file(const std::vector<std::vector<uint8_t>>& payloads) {
    std::vector<uint8_t> file(pack::kSceneCountBytes + (payloads.size() + 1) * pack::kSceneEntryBytes, 0);
    pack::write_le32(file.data(), static_cast<uint32_t>(payloads.size()));
    for (size_t i = 0; i < payloads.size(); ++i) {
        pack::write_scene_entry(
            file.data() + pack::scene_entry_offset(static_cast<uint32_t>(i + 1)),
            {static_cast<uint32_t>(file.size()), static_cast<uint32_t>(payloads[i].size())});
        file.insert(file.end(), payloads[i].begin(), payloads[i].end());
    }
    return file;
}

std::vector<uint8_t> png_bytes(int w, int h, uint8_t r, uint8_t g, uint8_t b) {
    devutil::RgbaImage image;
    image.width = w;
    image.height = h;
    for (int i = 0; i < w * h; ++i) image.rgba.insert(image.rgba.end(), {r, g, b, 255});
    const std::string path = scratch_dir() + "/scene_part.png";
    EXPECT_TRUE(devutil::write_png_rgba(path, image));
    const std::string text = read_text(path);
    return std::vector<uint8_t>(text.begin(), text.end());
}

}  // namespace

TEST_F(ResourcePack, RealSceneIndicesRunFromOneToTheCount) {
    PackFile scene(scene_file({png_bytes(4, 4, 255, 0, 0), png_bytes(2, 2, 0, 0, 255)}), "scene.bin");
    CCEBitmap b;
    const tagRECT rect{10, 20, 12, 20};  // 3 x 1: only the size counts
    ASSERT_EQ(b.LoadBitmap3D(scene.wpath().c_str(), 2, rect), 1);
    EXPECT_EQ(b.GetWidth(), 3);
    EXPECT_EQ(b.GetHeight(), 1);
    EXPECT_EQ(pixels_of(b), (std::vector<uint16_t>{0x001F, 0x001F, 0x001F}));
    clear_log();
    CCEBitmap c;
    EXPECT_EQ(c.LoadBitmap3D(scene.wpath().c_str(), 0, rect), 0);
    EXPECT_EQ(c.LoadBitmap3D(scene.wpath().c_str(), 3, rect), 0);
    EXPECT_EQ(log_text(), std::string(GBK_ERROR) +
                              "\xBC\xD3\xD4\xD8"
                              "3D\xCA\xB5\xBE\xB0\xCD\xBC\xCA\xB1\xCB\xF7\xD2\xFD\xBA\xC5\xB4\xED\xCE\xF3"
                              "0!\n" +
                              GBK_ERROR +
                              "\xBC\xD3\xD4\xD8"
                              "3D\xCA\xB5\xBE\xB0\xCD\xBC\xCA\xB1\xCB\xF7\xD2\xFD\xBA\xC5\xB4\xED\xCE\xF3"
                              "3\xA3\xAC\xD7\xDC\xCA\xFD\xCE\xAA"
                              "2!\n");
}

TEST_F(ResourcePack, RealScenePayloadsMustFitThePool) {
    std::vector<uint8_t> big = png_bytes(2, 2, 0, 255, 0);
    big.resize(1000001, 0);  // trailing bytes past IEND: too big for the pool all the same
    PackFile scene(scene_file({big}), "scene_big.bin");
    CCEBitmap b;
    EXPECT_EQ(b.LoadBitmap3D(scene.wpath().c_str(), 1, tagRECT{0, 0, 1, 1}), 0);
    auto cut = scene_file({png_bytes(2, 2, 0, 255, 0)});
    cut.resize(cut.size() - 10);
    PackFile truncated(cut, "scene_cut.bin");
    EXPECT_EQ(b.LoadBitmap3D(truncated.wpath().c_str(), 1, tagRECT{0, 0, 1, 1}), 0);
    clear_log();
    EXPECT_EQ(b.LoadBitmap3D(u"/nonexistent/scene.bin", 1, tagRECT{0, 0, 1, 1}), 0);
    EXPECT_NE(log_text().find("/nonexistent/scene.bin, "), std::string::npos);
}

TEST_F(ResourcePack, AnEmptyPixelBlockGivesNoPlaneToDraw) {
    /* 1000 x 1000 pixels claimed, no bytes stored: drawing it must not read
     * two million bytes from the pool or a one-byte plane. */
    PackFile pack(make_pack({{1000, 1000, {}, {}}}));
    ASSERT_EQ(CCEBitmap::OpenResource(pack.wpath().c_str()), 1);
    std::vector<uint16_t> screen(64 * 48, 0x1234);
    const Canvas canvas{reinterpret_cast<uint8_t*>(screen.data()), 64 * 2, 64, 48};
    CCEBitmap temp, stored;
    temp.LoadBitmapTemp(300u);
    stored.LoadBitmapW(300u);
    EXPECT_EQ(temp.GetImageData(), nullptr);
    EXPECT_EQ(stored.GetImageData(), nullptr);
    for (CCEBitmap* b : {&temp, &stored}) {
        kesra::draw_bitmap(canvas, *b, 0, 0, 0, 0, 0, 0, false);
        kesra::draw_bitmap(canvas, *b, 0, 0, 0, 0, 0, 0, true);
    }
    EXPECT_EQ(screen[0], 0x1234);
}

/* ---- Hostile packs: sizes the file cannot back, records without pixels ---- */

namespace {

/* n pixel pairs of one colour, each covering the longest run a pair holds. */
std::vector<uint8_t> longest_runs(size_t n, uint16_t color) {
    return pixel_pairs(std::vector<std::pair<uint16_t, uint16_t>>(n, {color, 0xFFFF}));
}

bool logged(const char* text) { return log_text().find(text) != std::string::npos; }

}  // namespace

TEST_F(ResourcePack, RunsThatCannotCoverTheImageAreRefusedBeforeExpanding) {
    PackFile pack(make_pack({
        {32768, 32767, pixel_pairs({{0x1234, 0}}), {}},  // 102 bytes claiming 3 GB once expanded
        {3000, 3000, pixel_pairs({{0x1234, 0xFFFF}}), {}},
        {100, 100, le16_bytes(std::vector<uint16_t>(10000, 0x4321)), alpha_pairs({{31, 255}})},
        {5000, 5000, longest_runs(382, 0x0F0F), {}},                // covers the image, beyond the size limit
        {3, 2, pixel_pairs({{0x7777, 4}}), alpha_pairs({{9, 1}})},  // short runs stay sound
    }));
    ASSERT_EQ(CCEBitmap::OpenResource(pack.wpath().c_str()), 1);
    const std::string damaged =
        std::string(GBK_ERROR) + "\xD7\xCA\xD4\xB4";  // "资源..." (the damaged-pack message)
    for (unsigned id : {300u, 301u, 302u}) {
        clear_log();
        CCEBitmap b;
        EXPECT_EQ(b.LoadBitmapW(id, 0, 0), 0) << id;
        EXPECT_EQ(b.GetImageData(), nullptr);
        EXPECT_EQ(log_text().rfind(damaged, 0), 0u) << id;
    }
    clear_log();
    CCEBitmap huge;
    EXPECT_EQ(huge.LoadBitmapW(303u, 0, 0), 0);
    EXPECT_TRUE(logged("m_pImageData")) << log_text();
    CCEBitmap sound;
    ASSERT_EQ(sound.LoadBitmapW(304u, 0, 0), 1);
    EXPECT_EQ(pixels_of(sound), (std::vector<uint16_t>{0x7777, 0x7777, 0x7777, 0x7777, 0, 0}));
    EXPECT_EQ(alpha_of(sound), (std::vector<uint8_t>{9, 0, 0, 0, 0, 0}));
    // Kept as stored, the same blocks cost only their own bytes.
    CCEBitmap stored;
    EXPECT_EQ(stored.LoadBitmapW(300u), 1);
    EXPECT_EQ(stored.GetPixelSize(), 4);
}

TEST_F(ResourcePack, ResamplingBeyondTheLimitsFailsWithTheAllocationMessage) {
    PackFile pack(make_pack({{2, 2, le16_bytes({1, 2, 3, 4}), {}}}));
    ASSERT_EQ(CCEBitmap::OpenResource(pack.wpath().c_str()), 1);
    for (auto [w, h] : {std::pair{INT_MAX, 1}, std::pair{5000, 5000}}) {
        clear_log();
        CCEBitmap b;
        int result = -1;
        EXPECT_NO_THROW(result = b.LoadBitmapW(300u, w, h)) << w << " x " << h;
        EXPECT_EQ(result, 0);
        EXPECT_EQ(b.GetImageData(), nullptr);
        EXPECT_TRUE(logged("m_pImageData")) << w << " x " << h;
    }
    CCEBitmap fine;
    ASSERT_EQ(fine.LoadBitmapW(300u, 4, 1), 1);
    EXPECT_EQ(pixels_of(fine), (std::vector<uint16_t>{1, 2, 2, 2}));
}

TEST_F(ResourcePack, RecordsWithoutPixelsOrWithWrappingPitchAreRefused) {
    PackFile pack(
        make_pack({{INT32_MAX, 0, {}, {}}, {0, 5, {}, {}}, {-4, -4, {}, {}}, {1, 1, le16_bytes({9}), {}}}));
    ASSERT_EQ(CCEBitmap::OpenResource(pack.wpath().c_str()), 1);
    for (unsigned id : {300u, 301u, 302u}) {
        CCEBitmap stored, expanded, temp;
        EXPECT_EQ(stored.LoadBitmapW(id), 0) << id;
        EXPECT_EQ(expanded.LoadBitmapW(id, 0, 0), 0) << id;
        EXPECT_EQ(temp.LoadBitmapTemp(id), 0) << id;
        EXPECT_EQ(stored.GetWidth(), 0);
    }
    CCEBitmap one;
    EXPECT_EQ(one.LoadBitmapW(303u), 1);
}

TEST_F(ResourcePack, OpeningAnotherPackForgetsTheTemporaryBitmaps) {
    PackFile red(make_pack({{1, 1, le16_bytes({0xF800}), {}}}), "red.pack");
    PackFile blue(make_pack({{1, 1, le16_bytes({0x001F}), {}}}), "blue.pack");
    ASSERT_EQ(CCEBitmap::OpenResource(red.wpath().c_str()), 1);
    CCEBitmap first;
    ASSERT_EQ(first.LoadBitmapTemp(300u), 1);
    EXPECT_EQ(pixels_of(first)[0], 0xF800);
    ASSERT_EQ(CCEBitmap::OpenResource(blue.wpath().c_str()), 1);
    CCEBitmap second;
    ASSERT_EQ(second.LoadBitmapTemp(300u), 1);
    EXPECT_EQ(pixels_of(second)[0], 0x001F);
    CCEBitmap again;  // the new pack's image is now the one cached
    ASSERT_EQ(again.LoadBitmapTemp(300u), 1);
    EXPECT_EQ(again.GetImageData(), second.GetImageData());
}

TEST_F(ResourcePack, FrameRecordsBeyondTheLimitsAreNotInflated) {
    const std::vector<uint8_t> zeros(size_t{5000} * 5000 * 2, 0);  // a sound block of a too large image
    PackFile frames(
        make_pack({{5000, 5000, zlib(zeros), {}}, {2000, 2000, std::vector<uint8_t>(20, 0x78), {}}}),
        "frames_large.bin");
    clear_log();
    CCEBitmap b;
    EXPECT_EQ(b.LoadBitmapGIF(frames.wpath().c_str(), 300), 0);
    EXPECT_EQ(b.GetImageData(), nullptr);
    EXPECT_TRUE(logged("m_pImageData")) << log_text();
    clear_log();
    EXPECT_EQ(b.LoadBitmapGIF(frames.wpath().c_str(), 301), 0);  // 20 bytes cannot give 8 MB
    EXPECT_EQ(log_text().rfind(GBK_ERROR, 0), 0u);
}
