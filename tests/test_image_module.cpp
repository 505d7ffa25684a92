// The image module: byte order of decoded pixels (A, R, G, B), the stack of
// images and its 1024-record limit, round trips through BMP, JPEG and PNG,
// zlib blocks, and files that are cut short or lie in their headers.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "image/ql_module.h"
#include "kesra.h"
#include "tests/test_image_writers.h"
#include "tools/common/png565.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::vector<std::u16string> g_messages;
void capture_message(const WCHAR* text) { g_messages.emplace_back(text); }

class ImageModule : public ::testing::Test {
   protected:
    void SetUp() override {
        QLConstructor();
        g_messages.clear();
        HostSetMessageHandler(capture_message);
    }
    void TearDown() override {
        QLDestructor();
        HostSetMessageHandler(nullptr);
    }
    std::string path(const char* name) const { return ::testing::TempDir() + "ql_" + name; }
    static std::u16string wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }
    int load(const std::string& file, int type) { return QLLoad(wide(file).c_str(), type); }
    int save(const std::string& file, int type) { return QLSave(wide(file).c_str(), type); }
    static int from_memory(const std::vector<uint8_t>& data, int type) {
        return kesra::ql::load_resource(data.data(), data.size(), type);
    }
};

void write_file(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

Bytes read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

Bytes current_pixels() {
    const BYTE* p = QLGetPixelData();
    return p ? Bytes(p, p + size_t{QLGetWidth()} * QLGetHeight() * 4) : Bytes{};
}

using kesra::test::make_jpeg;
using kesra::test::make_png;

/* A 1 x 1 RGBA PNG. */
Bytes pixel_png(const Bytes& rgba = {1, 2, 3, 4}) {
    return make_png(1, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8, rgba);
}

void put_be32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

/* A 1 x 1 PNG whose IHDR (with a correct CRC) claims side x side pixels. */
Bytes png_claiming(uint32_t side) {
    Bytes png = pixel_png();
    put_be32(png, 16, side);
    put_be32(png, 20, side);
    put_be32(png, 29, static_cast<uint32_t>(crc32(0, png.data() + 12, 17)));
    return png;
}

/* A 3 x 2 test image: every pixel different. */
Bytes three_by_two() {
    return {255, 10,  20,  30,  255, 40,  50,  60,  255, 70,  80,  90,
            255, 100, 110, 120, 255, 130, 140, 150, 255, 160, 170, 180};
}

void push_rgba_image(const Bytes& argb, uint32_t width, uint32_t height) {
    kesra::ql::Image image;
    ASSERT_TRUE(kesra::ql::allocate_pixels(image, width, height, 0));
    std::memcpy(image.pixels, argb.data(), argb.size());
    ASSERT_TRUE(kesra::ql::push_image(image));
}

/* three_by_two() saved by the module as a file of the type; the stack is left as it was. */
Bytes saved_three_by_two(const std::string& file, int type) {
    push_rgba_image(three_by_two(), 3, 2);
    EXPECT_EQ(QLSave(std::u16string(file.begin(), file.end()).c_str(), type), 1);
    QLReleaseLastImage();
    return read_file(file);
}

/* The JPEG with its frame header claiming side x side pixels. */
Bytes jpeg_claiming(Bytes jpeg, uint16_t side) {
    for (size_t i = 2; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = jpeg[i + 7] = static_cast<uint8_t>(side >> 8);
            jpeg[i + 6] = jpeg[i + 8] = static_cast<uint8_t>(side);
            break;
        }
    return jpeg;
}

/* A BMP written by hand: 54-byte headers, optional palette, rows. */
Bytes make_bmp(int32_t width, int32_t height, uint16_t bits, const Bytes& palette, const Bytes& rows,
               uint32_t colours = 0) {
    Bytes b(54, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    b[0] = 'B', b[1] = 'M';
    put32(10, 54 + static_cast<uint32_t>(palette.size()));
    put32(14, 40);
    put32(18, static_cast<uint32_t>(width));
    put32(22, static_cast<uint32_t>(height));
    b[26] = 1;
    b[28] = static_cast<uint8_t>(bits);
    put32(46, colours);
    b.insert(b.end(), palette.begin(), palette.end());
    b.insert(b.end(), rows.begin(), rows.end());
    return b;
}

/* A zlib block of the data made by the module; freed by the caller. */
Bytes compressed(const Bytes& input, int level) {
    BYTE* packed = nullptr;
    DWORD length = 0;
    EXPECT_EQ(QLCompress(&packed, &length, input.data(), static_cast<DWORD>(input.size()), level), 0);
    Bytes block(packed, packed + length);
    std::free(packed);
    return block;
}

TEST_F(ImageModule, RgbaPixelReadsBackAlphaFirst) {
    const std::string file = path("rgba.png");
    write_file(file, pixel_png({10, 20, 30, 40}));
    ASSERT_EQ(load(file, QL_TYPE_PNG), 1);
    EXPECT_EQ(current_pixels(), (Bytes{40, 10, 20, 30}));
    EXPECT_EQ(QLGetPixelDepth(), 32);
    EXPECT_EQ(QLIsAlpha(), 1);
    EXPECT_EQ(QLGetAlphaLevel(), 255);
    QLReleaseLastImage();

    // From memory the same pixel, but only a tRNS chunk sets the alpha flag.
    const Bytes data = pixel_png({10, 20, 30, 40});
    ASSERT_EQ(QLLoadResource(data.data(), QL_TYPE_PNG), 1);
    EXPECT_EQ(current_pixels(), (Bytes{40, 10, 20, 30}));
    EXPECT_EQ(QLIsAlpha(), 0);
}

TEST_F(ImageModule, OtherColourTypesBecomeArgb) {
    // Alpha from tRNS; index 2 has no entry: opaque.
    const Bytes palette =
        make_png(3, 1, PNG_COLOR_TYPE_PALETTE, 8, {2, 1, 0}, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}, {0, 128});
    ASSERT_EQ(from_memory(palette, QL_TYPE_PNG), 1);
    EXPECT_EQ(current_pixels(), (Bytes{255, 7, 8, 9, 128, 4, 5, 6, 0, 1, 2, 3}));
    EXPECT_EQ(QLGetPixelDepth(), 8);
    EXPECT_EQ(QLIsAlpha(), 1);

    // 16-bit grey: pixel depth 16, high bytes kept.
    ASSERT_EQ(from_memory(make_png(2, 1, PNG_COLOR_TYPE_GRAY, 16, {0x12, 0x34, 0xAB, 0xCD}), QL_TYPE_PNG), 1);
    EXPECT_EQ(current_pixels(), (Bytes{255, 0x12, 0x12, 0x12, 255, 0xAB, 0xAB, 0xAB}));
    EXPECT_EQ(QLGetPixelDepth(), 16);

    // 2-bit palette, four pixels (indices 0, 1, 2, 3) in one byte.
    const Bytes bits = make_png(4, 1, PNG_COLOR_TYPE_PALETTE, 2, {0x1B},
                                {{0, 0, 0}, {10, 10, 10}, {20, 20, 20}, {30, 30, 30}});
    ASSERT_EQ(from_memory(bits, QL_TYPE_PNG), 1);
    EXPECT_EQ(current_pixels(), (Bytes{255, 0, 0, 0, 255, 10, 10, 10, 255, 20, 20, 20, 255, 30, 30, 30}));
}

TEST_F(ImageModule, InstalledPngMatchesAnotherReader) {
    const std::string file = "/usr/share/gitweb/static/git-logo.png";  // package git (make deps installs it)
    kesra::devutil::RgbaImage reference;
    ASSERT_TRUE(kesra::devutil::read_png_rgba(file, reference)) << file << " is missing: apt-get install git";
    ASSERT_EQ(load(file, QL_TYPE_PNG), 1);
    ASSERT_EQ(QLGetWidth(), static_cast<DWORD>(reference.width));
    ASSERT_EQ(QLGetHeight(), static_cast<DWORD>(reference.height));
    Bytes argb;
    for (size_t i = 0; i < reference.rgba.size(); i += 4)
        argb.insert(argb.end(),
                    {reference.rgba[i + 3], reference.rgba[i], reference.rgba[i + 1], reference.rgba[i + 2]});
    EXPECT_EQ(current_pixels(), argb);
}

TEST_F(ImageModule, LoadsStackAndReleasesPop) {
    const Bytes first = pixel_png({1, 2, 3, 4}), second = pixel_png({5, 6, 7, 8});
    ASSERT_EQ(from_memory(first, QL_TYPE_PNG), 1);
    ASSERT_EQ(from_memory(second, QL_TYPE_PNG), 1);
    EXPECT_EQ(current_pixels(), (Bytes{8, 5, 6, 7}));
    QLSetAlphaLevel(7);
    QLReleaseLastImage();
    EXPECT_EQ(current_pixels(), (Bytes{4, 1, 2, 3}));
    EXPECT_EQ(QLGetAlphaLevel(), 255);
    QLReleaseLastImage();
    EXPECT_EQ(QLGetPixelData(), nullptr);  // the stack is empty again
    EXPECT_EQ(QLGetWidth(), 0u);
    QLReleaseLastImage();  // nothing to pop
    ASSERT_EQ(from_memory(second, QL_TYPE_PNG), 1);
    QLSetTransactionImage(QL_MAX_IMAGES);  // outside the table: ignored
    EXPECT_EQ(current_pixels(), (Bytes{8, 5, 6, 7}));

    // The destructor frees the pixels once; only the pixels go.
    QLDestructor();
    EXPECT_EQ(QLGetPixelData(), nullptr);
    EXPECT_EQ(QLGetWidth(), 1u);
    QLReleaseLastImage();
    QLDestructor();
}

TEST_F(ImageModule, TheTableHolds1024ImagesOf256MegabytesInAll) {
    const Bytes data = pixel_png();
    for (int i = 0; i < QL_MAX_IMAGES; ++i) ASSERT_EQ(QLLoadResource(data.data(), QL_TYPE_PNG), 1) << i;
    QLSetAlphaLevel(9);
    EXPECT_EQ(QLLoadResource(data.data(), QL_TYPE_PNG), 0);
    EXPECT_EQ(QLGetAlphaLevel(), 9);  // the last image is still current
    for (int i = 0; i < QL_MAX_IMAGES; ++i) QLReleaseLastImage();
    EXPECT_EQ(QLGetPixelData(), nullptr);

    auto push = [](uint32_t side) {
        kesra::ql::Image image;
        return kesra::ql::allocate_pixels(image, side, side, 0) && kesra::ql::push_image(image);
    };
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(push(4096)) << i;  // 64 MB each
    EXPECT_FALSE(push(1));
    QLReleaseLastImage();
    EXPECT_TRUE(push(4096));
    EXPECT_FALSE(push(4097));  // beyond the size of one image as well
}

TEST_F(ImageModule, PngMessages) {
    EXPECT_EQ(load(path("missing.png"), QL_TYPE_PNG), 0);
    const std::string file = path("text.png");
    write_file(file, Bytes{'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g', '!'});
    EXPECT_EQ(load(file, QL_TYPE_PNG), 0);
    QLSIZE size{};
    EXPECT_EQ(QLReadImageHeader(wide(file).c_str(), QL_TYPE_PNG, &size), 0);
    EXPECT_EQ(load(path("missing.bmp"), QL_TYPE_BMP), 0);  // BMP and JPEG fail quietly
    EXPECT_EQ(load(path("missing.jpg"), QL_TYPE_JPEG), 0);
    EXPECT_EQ(load(path("missing.jpg"), 7), 0);
    EXPECT_EQ(g_messages, (std::vector<std::u16string>{u"opens file failed", u"not a PNG", u"not a PNG"}));
    EXPECT_EQ(QLGetPixelData(), nullptr);
}

TEST_F(ImageModule, CmykJpegBecomesRgb) {
    // An 8 x 8 Adobe CMYK JPEG (inks stored inverted): C = 255, M = 0, Y = 0,
    // K = 255 is red, R = C * K / 255.
    const std::string file = path("cmyk.jpg");
    write_file(file,
               make_jpeg(8, 8, 4, [](int, int, int k) -> uint8_t { return k == 0 || k == 3 ? 255 : 0; }));
    ASSERT_EQ(load(file, QL_TYPE_JPEG), 1);
    const Bytes argb = current_pixels();
    ASSERT_EQ(argb.size(), 8u * 8 * 4);
    EXPECT_EQ(argb[0], 255);
    EXPECT_NEAR(argb[1], 255, 3);
    EXPECT_NEAR(argb[2], 0, 3);
    EXPECT_NEAR(argb[3], 0, 3);
}

TEST_F(ImageModule, BmpAndPngRoundTripsAreExact) {
    const std::string file = path("round.bmp");
    const Bytes bytes = saved_three_by_two(file, QL_TYPE_BMP);
    ASSERT_EQ(bytes.size(), 54u + 2 * 12);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(Bytes(bytes.begin() + 2, bytes.begin() + 6), (Bytes{14, 0, 0, 0}));  // as saved before
    EXPECT_EQ(bytes[10], 54);
    EXPECT_EQ(bytes[28], 24);
    EXPECT_EQ(Bytes(bytes.begin() + 38, bytes.begin() + 42), (Bytes{0xA0, 0x0E, 0, 0}));  // 3744
    // The bottom row is stored first, B, G, R, then 3 filler bytes.
    EXPECT_EQ(Bytes(bytes.begin() + 54, bytes.begin() + 66),
              (Bytes{120, 110, 100, 150, 140, 130, 180, 170, 160, 0, 0, 0}));
    ASSERT_EQ(load(file, QL_TYPE_BMP), 1);
    EXPECT_EQ(current_pixels(), three_by_two());
    EXPECT_EQ(QLGetPixelDepth(), 24);
    QLSIZE size{};
    ASSERT_EQ(QLReadImageHeader(wide(file).c_str(), QL_TYPE_BMP, &size), 1);
    EXPECT_EQ(size.dwWidth, 3u);
    EXPECT_EQ(size.dwHeight, 2u);

    Bytes argb = three_by_two();
    argb[4] = 77;  // one translucent pixel
    push_rgba_image(argb, 3, 2);
    ASSERT_EQ(save(path("round.png"), QL_TYPE_PNG), 1);
    ASSERT_EQ(load(path("round.png"), QL_TYPE_PNG), 1);
    EXPECT_EQ(current_pixels(), argb);
    ASSERT_EQ(QLReadImageHeader(wide(path("round.png")).c_str(), QL_TYPE_PNG, &size), 1);
    EXPECT_EQ(size.dwWidth, 3u);
}

TEST_F(ImageModule, JpegRoundTripStaysCloseAndCutDataLoadsWhatArrived) {
    const uint32_t w = 32, h = 16;
    Bytes argb;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            argb.insert(argb.end(), {255, static_cast<uint8_t>(x * 8), static_cast<uint8_t>(y * 16), 128});
    push_rgba_image(argb, w, h);
    const std::string file = path("round.jpg");
    ASSERT_EQ(save(file, QL_TYPE_JPEG), 1);
    ASSERT_EQ(load(file, QL_TYPE_JPEG), 1);
    ASSERT_EQ(QLGetWidth(), w);
    EXPECT_EQ(QLGetPixelDepth(), 24);
    const Bytes back = current_pixels();
    for (size_t i = 0; i < back.size(); ++i) ASSERT_NEAR(back[i], i % 4 ? argb[i] : 255, 12) << i;
    QLSIZE size{};
    ASSERT_EQ(QLReadImageHeader(wide(file).c_str(), QL_TYPE_JPEG, &size), 1);
    EXPECT_EQ(size.dwHeight, h);
    const Bytes data = read_file(file);
    ASSERT_EQ(QLLoadResource(data.data(), QL_TYPE_JPEG), 1);
    EXPECT_EQ(current_pixels(), back);

    // Cut short, libjpeg ends the data with its own EOI: the image loads, and
    // without the EOI alone it is the whole image. Without a frame it fails.
    for (const bool in_memory : {false, true}) {
        auto load_cut = [&](size_t keep) {
            const Bytes cut(data.begin(), data.begin() + keep);
            if (in_memory) return from_memory(cut, QL_TYPE_JPEG);
            write_file(path("cut.jpg"), cut);
            return load(path("cut.jpg"), QL_TYPE_JPEG);
        };
        ASSERT_EQ(load_cut(data.size() - 2), 1) << in_memory;
        EXPECT_EQ(current_pixels(), back);
        ASSERT_EQ(load_cut(data.size() - 40), 1) << in_memory;  // half the coded data
        EXPECT_EQ(QLGetHeight(), h);
        const Bytes part = current_pixels();
        for (size_t y = 0; y < 8; ++y)  // the first block arrived whole
            EXPECT_TRUE(std::equal(&part[y * w * 4], &part[y * w * 4 + 32], &back[y * w * 4])) << y;
        EXPECT_EQ(load_cut(40), 0) << in_memory;
        EXPECT_EQ(QLGetHeight(), h);
    }
}

TEST_F(ImageModule, BmpPaletteAnd555Pixels) {
    const std::string file = path("pal.bmp");
    // 2 x 2, 8-bit, two palette entries; rows of 4 bytes, bottom row first.
    write_file(file, make_bmp(2, 2, 8, {1, 2, 3, 0, 4, 5, 6, 0}, {1, 0, 0, 0, 0, 1, 0, 0}, 2));
    ASSERT_EQ(load(file, QL_TYPE_BMP), 1);
    EXPECT_EQ(current_pixels(), (Bytes{255, 3, 2, 1, 255, 6, 5, 4, 255, 6, 5, 4, 255, 3, 2, 1}));
    EXPECT_EQ(QLGetPixelDepth(), 8);
    // 16-bit RGB555: full channels become 0xFF, 0x0421 is 8, 8, 8.
    write_file(file, make_bmp(2, 1, 16, {}, {0xFF, 0x7F, 0x21, 0x04}));
    ASSERT_EQ(load(file, QL_TYPE_BMP), 1);
    EXPECT_EQ(current_pixels(), (Bytes{255, 255, 255, 255, 255, 8, 8, 8}));
    // Rows stored top-down (negative height).
    write_file(file, make_bmp(1, -2, 24, {}, {1, 2, 3, 0, 4, 5, 6, 0}));
    ASSERT_EQ(load(file, QL_TYPE_BMP), 1);
    EXPECT_EQ(current_pixels(), (Bytes{255, 3, 2, 1, 255, 6, 5, 4}));
    // A depth that is not decoded gives a white image when its rows are present.
    write_file(file, make_bmp(2, 2, 4, {}, {0, 0, 0, 0, 0, 0, 0, 0}));
    ASSERT_EQ(load(file, QL_TYPE_BMP), 1);
    EXPECT_EQ(current_pixels(), Bytes(16, 0xFF));
}

TEST_F(ImageModule, TruncatedFilesFailWithoutARecord) {
    push_rgba_image(three_by_two(), 3, 2);
    for (auto [type, name] :
         {std::pair{QL_TYPE_BMP, path("cut.bmp")}, std::pair{QL_TYPE_PNG, path("cut.png")},
          std::pair{QL_TYPE_JPEG, path("cut.jpg")}}) {
        ASSERT_EQ(save(name, type), 1);
        const Bytes whole = read_file(name);
        std::vector<size_t> cuts = {0, 10, 40};
        if (type != QL_TYPE_JPEG) cuts.insert(cuts.end(), {whole.size() - 10, whole.size() - 1});
        for (size_t cut : cuts) {
            write_file(name, Bytes(whole.begin(), whole.begin() + cut));
            EXPECT_EQ(load(name, type), 0) << name << " cut at " << cut;
            EXPECT_EQ(QLGetWidth(), 3u);  // the earlier image is still current
        }
    }
}

/* Headers claiming more than the data backs: 2^31 - 1 columns, a huge
 * palette, 8192 x 8192 in 54 bytes; PNG and JPEG sizes past the limits or
 * far past the few hundred bytes of data (which would decode as grey). */
TEST_F(ImageModule, LyingHeadersAreRefused) {
    EXPECT_EQ(from_memory({}, QL_TYPE_BMP), 0);
    const std::string bmp = path("lie.bmp");
    for (const Bytes& lie :
         {make_bmp(0x7FFFFFFF, 2, 24, {}, {1, 2, 3, 4}), make_bmp(2, 2, 8, {}, {1, 2, 3, 4}, 0xFFFFFFF0u),
          make_bmp(8192, 8192, 4, {}, {}), make_bmp(8192, 8192, 0, {}, {})}) {
        write_file(bmp, lie);
        EXPECT_EQ(load(bmp, QL_TYPE_BMP), 0);
    }
    EXPECT_EQ(from_memory(png_claiming(100000), QL_TYPE_PNG), 0);
    EXPECT_EQ(from_memory(png_claiming(4096), QL_TYPE_PNG), 0);
    const Bytes jpeg = saved_three_by_two(path("lie.jpg"), QL_TYPE_JPEG);
    EXPECT_EQ(from_memory(jpeg_claiming(jpeg, 60000), QL_TYPE_JPEG), 0);
    EXPECT_EQ(from_memory(jpeg_claiming(jpeg, 4000), QL_TYPE_JPEG), 0);
    write_file(path("lie.jpg"), jpeg_claiming(jpeg, 4000));
    EXPECT_EQ(load(path("lie.jpg"), QL_TYPE_JPEG), 0);
    EXPECT_EQ(QLGetPixelData(), nullptr);
}

TEST_F(ImageModule, ResourceEndsAreFoundByWalkingTheData) {
    const Bytes png = pixel_png();
    EXPECT_EQ(kesra::ql::png_extent(png.data(), png.size()), png.size());
    EXPECT_EQ(kesra::ql::png_extent(png.data(), png.size() - 1), 0u);
    Bytes jpeg = saved_three_by_two(path("extent.jpg"), QL_TYPE_JPEG);
    const size_t length = jpeg.size();
    jpeg.insert(jpeg.end(), {0xFF, 0xD9, 0x12});  // bytes after the image
    EXPECT_EQ(kesra::ql::jpeg_extent(jpeg.data(), jpeg.size()), length);
    EXPECT_EQ(kesra::ql::jpeg_extent(jpeg.data(), length - 1), 0u);
}

TEST_F(ImageModule, ZlibBlocksRoundTripAndDamageFails) {
    Bytes input(3 * 1363149 + 17);  // inflates past two growth steps
    for (size_t i = 0; i < input.size(); ++i) input[i] = static_cast<uint8_t>((i / 1000) * 7);
    Bytes packed = compressed(input, 6);
    BYTE* out = nullptr;
    DWORD length = 0;
    ASSERT_EQ(QLDecompress(&out, &length, packed.data(), static_cast<DWORD>(packed.size())), 0);
    ASSERT_EQ(length, input.size());
    EXPECT_EQ(std::memcmp(out, input.data(), input.size()), 0);
    std::free(out);

    out = reinterpret_cast<BYTE*>(1);
    EXPECT_EQ(QLCompress(&out, &length, input.data(), 3, 10), -3);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(QLCompress(&out, &length, input.data(), 3, -2), -3);
    Bytes noise(100000);  // incompressible data is kept, larger
    uint32_t seed = 12345;
    for (auto& b : noise) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
    EXPECT_GT(compressed(noise, 9).size(), noise.size());

    const Bytes block = compressed(Bytes(50000, 'k'), 9);
    Bytes corrupted = block;
    corrupted[2] ^= 0xFF;  // the first deflate block header
    EXPECT_EQ(QLDecompress(&out, &length, corrupted.data(), static_cast<DWORD>(corrupted.size())), -3);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(length, 0u);
    corrupted = block;
    corrupted[0] = 0x00;  // not a zlib header
    EXPECT_EQ(QLDecompress(&out, &length, corrupted.data(), static_cast<DWORD>(corrupted.size())), -3);
    EXPECT_EQ(QLDecompress(&out, &length, block.data(), static_cast<DWORD>(block.size() - 5)), -3);
    EXPECT_EQ(out, nullptr);
    corrupted = block;
    corrupted.push_back(0x55);  // bytes after the stream are ignored
    ASSERT_EQ(QLDecompress(&out, &length, corrupted.data(), static_cast<DWORD>(corrupted.size())), 0);
    EXPECT_EQ(length, 50000u);
    std::free(out);
}

TEST_F(ImageModule, InflatingStopsAtTheLimitOrThePlanesEnd) {
    const Bytes zeros = compressed(Bytes((64u << 20) + 1, 0), 1);
    BYTE* out = reinterpret_cast<BYTE*>(1);
    DWORD length = 7;
    EXPECT_EQ(QLDecompress(&out, &length, zeros.data(), static_cast<DWORD>(zeros.size())), -4);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(length, 0u);

    // Into a plane of a given size: exactly that many bytes, no more, no fewer.
    Bytes plane(1000, 0xAA), larger(1001);
    EXPECT_FALSE(kesra::ql::inflate_exact(zeros.data(), zeros.size(), plane.data(), plane.size()));
    const Bytes thousand = compressed(Bytes(1000, 7), 6);
    EXPECT_TRUE(kesra::ql::inflate_exact(thousand.data(), thousand.size(), plane.data(), 1000));
    EXPECT_EQ(plane, Bytes(1000, 7));
    EXPECT_FALSE(kesra::ql::inflate_exact(thousand.data(), thousand.size(), plane.data(), 999));
    EXPECT_FALSE(kesra::ql::inflate_exact(thousand.data(), thousand.size(), larger.data(), larger.size()));
}

/* Maps a one-page file through the platform so that the page after the view
 * cannot be read: the view is steered into the first page of a two-page
 * reservation whose second page stays inaccessible. Views that land in some
 * other gap are kept, so every try fills one more gap above the reservation. */
const uint8_t* map_before_guard_page(const std::u16string& file, size_t page) {
    for (int attempt = 0; attempt < 256; ++attempt) {
        void* reserved = mmap(nullptr, 2 * page, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (reserved == MAP_FAILED) return nullptr;
        munmap(reserved, page);
        HANDLE f = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        HANDLE m = CreateFileMappingW(f, nullptr, PAGE_READONLY, 0, 0, nullptr);
        void* view = m ? MapViewOfFile(m, FILE_MAP_READ, 0, 0, 0) : nullptr;
        if (m) CloseHandle(m);
        CloseHandle(f);
        if (view && view == reserved) return static_cast<const uint8_t*>(view);
        munmap(static_cast<uint8_t*>(reserved) + page, page);
        if (!view) return nullptr;
    }
    return nullptr;
}

TEST_F(ImageModule, ResourcesInAFileViewStopAtTheViewsEnd) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const Bytes png = pixel_png();
    // A PNG whose last chunk claims to end 8 bytes into the page after the file.
    Bytes damaged_png(png.begin(), png.end() - 12);  // IEND dropped
    const size_t at = damaged_png.size();
    damaged_png.resize(at + 8);
    put_be32(damaged_png, at, static_cast<uint32_t>(page - at - 4));
    std::memcpy(&damaged_png[at + 4], "tEXt", 4);
    damaged_png.resize(page, 'a');
    // A JPEG cut before its EOI marker, its coded data running on to the end.
    Bytes damaged_jpeg = saved_three_by_two(path("view.jpg"), QL_TYPE_JPEG);
    damaged_jpeg.resize(damaged_jpeg.size() - 2);
    damaged_jpeg.resize(page, 0x00);
    Bytes sound_png = png;
    sound_png.resize(page, 0);

    for (auto [name, bytes, type, loads] : {std::tuple{"view_png.bin", damaged_png, QL_TYPE_PNG, 0},
                                            std::tuple{"view_jpeg.bin", damaged_jpeg, QL_TYPE_JPEG, 0},
                                            std::tuple{"view_sound.bin", sound_png, QL_TYPE_PNG, 1}}) {
        write_file(path(name), bytes);
        const uint8_t* view = map_before_guard_page(wide(path(name)), page);
        ASSERT_NE(view, nullptr) << "no view could be placed before an inaccessible page";
        EXPECT_EQ(QLLoadResource(view, type), loads) << name;
        if (loads) QLReleaseLastImage();
    }
    EXPECT_EQ(QLGetPixelData(), nullptr);
}

}  // namespace
