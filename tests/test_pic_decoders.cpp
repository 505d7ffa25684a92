// The picture decoders: GIF (header, block walk, LZW, interlace, row size) and
// baseline JPEG (marker loop, Huffman, IDCT, replication, colour conversion),
// hand-built streams, cut and corrupted input, and the pixels of giflib's and
// libjpeg-turbo's tools on golang-1.19-src's samples and on files they made.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/pixel.h"
#include "image/gif_decoder.h"
#include "image/jpeg_decoder.h"

namespace {

using Bytes = std::vector<uint8_t>;
using kesra::pic::GifDecoder;
using kesra::pic::JpegDecoder;

const std::string kSamples = KESRA_DEBIAN_IMAGES;

Bytes read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void write_file(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

/* A temporary file of the running test (ctest runs tests side by side). */
std::string temp(const std::string& name) {
    return ::testing::TempDir() + "pic_" + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
           "_" + name;
}

/* A sample of the Debian package; a missing one fails the test. */
Bytes sample(const std::string& name) {
    Bytes bytes = read_file(kSamples + "/" + name);
    EXPECT_FALSE(bytes.empty()) << kSamples << "/" << name << " is missing (fixture fetch_debian_images)";
    return bytes;
}

void run(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

/* Decoding from an exact-size heap copy, so that a read past the end is an
 * overrun the sanitizers see. */
bool gif_from(GifDecoder& gif, const Bytes& bytes) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes.size() + !bytes.size()]);
    if (!bytes.empty()) std::memcpy(copy.get(), bytes.data(), bytes.size());
    return gif.open_memory(copy.get(), bytes.size()) && gif.decode() != nullptr;
}

bool jpeg_from(JpegDecoder& jpeg, const Bytes& bytes, int idct = kesra::pic::kJpegIdctInteger) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes.size() + !bytes.size()]);
    if (!bytes.empty()) std::memcpy(copy.get(), bytes.data(), bytes.size());
    return jpeg.decode_memory(copy.get(), bytes.size(), idct);
}

// ---------------------------------------------------------------- GIF streams

/* LZW codes packed least-significant bit first at the widths a decoder reads
 * them: root + 1 bits after a clear, one more once the next free code reaches
 * the width's limit, never past 12 - then cut into sub-blocks. */
Bytes lzw_data(int root_bits, const std::vector<int>& codes) {
    const int clear = 1 << root_bits;
    int width = root_bits + 1, next_free = clear + 2;
    bool first = true;
    Bytes packed;
    uint32_t bits = 0;
    int held = 0;
    for (int code : codes) {
        bits |= static_cast<uint32_t>(code) << held;
        held += width;
        while (held >= 8) {
            packed.push_back(static_cast<uint8_t>(bits));
            bits >>= 8;
            held -= 8;
        }
        if (code == clear) {
            width = root_bits + 1;
            next_free = clear + 2;
            first = true;
        } else if (!first && next_free < 4096) {
            if (++next_free == (1 << width) && width < 12) ++width;
        } else {
            first = false;
        }
    }
    if (held) packed.push_back(static_cast<uint8_t>(bits));
    Bytes blocks{static_cast<uint8_t>(root_bits)};
    for (size_t at = 0; at < packed.size(); at += 255) {
        const size_t n = std::min<size_t>(255, packed.size() - at);
        blocks.push_back(static_cast<uint8_t>(n));
        blocks.insert(blocks.end(), packed.begin() + at, packed.begin() + at + n);
    }
    blocks.push_back(0);
    return blocks;
}

/* A GIF89a with a 4-entry global table, extension bytes, one image. */
Bytes make_gif(int width, int height, const Bytes& lzw, bool interlaced = false, const Bytes& before = {}) {
    const uint8_t w0 = uint8_t(width), w1 = uint8_t(width >> 8), h0 = uint8_t(height),
                  h1 = uint8_t(height >> 8);
    Bytes gif{'G', 'I', 'F', '8', '9', 'a', w0, w1, h0, h1,  0x81, 0,  0,
              10,  20,  30,  40,  50,  60,  70, 80, 90, 100, 110,  120};
    gif.insert(gif.end(), before.begin(), before.end());
    gif.insert(gif.end(), {0x2C, 0, 0, 0, 0, w0, w1, h0, h1, uint8_t(interlaced ? 0x40 : 0)});
    gif.insert(gif.end(), lzw.begin(), lzw.end());
    gif.push_back(0x3B);
    return gif;
}

/* Literal codes for the values, framed by clear and end codes. */
std::vector<int> literals(int root_bits, const std::vector<int>& values) {
    std::vector<int> codes{1 << root_bits};
    codes.insert(codes.end(), values.begin(), values.end());
    codes.push_back((1 << root_bits) + 1);
    return codes;
}

TEST(GifDecoder, RowSizeRoundsUpAndPaletteIsBgr0) {
    GifDecoder gif;
    ASSERT_TRUE(gif_from(gif, make_gif(3, 2, lzw_data(2, literals(2, {1, 2, 3, 3, 2, 1})))));
    EXPECT_EQ(gif.row_size(), 4);
    const uint8_t* rows = gif.indices();
    EXPECT_EQ(Bytes(rows, rows + 8), (Bytes{1, 2, 3, 0, 3, 2, 1, 0}));
    const uint8_t* palette = gif.palette();
    EXPECT_EQ(Bytes(palette, palette + 8), (Bytes{30, 20, 10, 0, 60, 50, 40, 0}));
    // The information header: size 40, width, rows top-down, 8 bits, 256 colours.
    const uint8_t* header = gif.buffer();
    int32_t height_field;
    std::memcpy(&height_field, header + 8, 4);
    EXPECT_EQ(header[0], 40);
    EXPECT_EQ(header[4], 3);
    EXPECT_EQ(height_field, -2);
    EXPECT_EQ(header[14], 8);
    EXPECT_EQ(header[33], 1);  // 256 colours used
}

TEST(GifDecoder, InterlacedRowsFollowTheFourPasses) {
    std::vector<int> order;
    for (int n = 0; n < 10; ++n) order.push_back(kesra::pic::gif_interlaced_row(n, 10));
    EXPECT_EQ(order, (std::vector<int>{0, 8, 4, 2, 6, 1, 3, 5, 7, 9}));
    EXPECT_EQ(kesra::pic::gif_interlaced_row(10, 10), -1);

    GifDecoder gif;
    ASSERT_TRUE(
        gif_from(gif, make_gif(1, 10, lzw_data(4, literals(4, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9})), true)));
    for (int n = 0; n < 10; ++n) EXPECT_EQ(gif.indices()[order[n] * 4], n) << "decoded line " << n;
}

TEST(GifDecoder, CodeNotYetDefinedRepeatsThePreviousStringsFirstByte) {
    // clear, 1, 2 (adds 6 = "1 2"), 7 = next free: "2 2" (adds 7), 6: "1 2", end.
    GifDecoder gif;
    ASSERT_TRUE(gif_from(gif, make_gif(6, 1, lzw_data(2, {4, 1, 2, 7, 6, 5}))));
    EXPECT_EQ(Bytes(gif.indices(), gif.indices() + 6), (Bytes{1, 2, 2, 2, 1, 2}));
}

TEST(GifDecoder, ExtensionsBeforeTheImageAreWalkedOver) {
    const Bytes comment{0x21, 0xFE, 3, 'a', 'b', 'c', 2, 'd', 'e', 0};
    const Bytes control{0x21, 0xF9, 4, 0x09, 20, 0, 3, 0};  // disposal 2, transparent, delay 20, index 3
    const Bytes application{0x21, 0xFF, 11,  'N', 'E', 'T', 'S', 'C', 'A', 'P',
                            'E',  '2',  '.', '0', 3,   1,   0,   0,   0};
    Bytes before = comment;
    before.insert(before.end(), application.begin(), application.end());
    before.insert(before.end(), control.begin(), control.end());
    GifDecoder gif;
    ASSERT_TRUE(gif_from(gif, make_gif(2, 1, lzw_data(2, literals(2, {3, 0})), false, before)));
    EXPECT_EQ(gif.indices()[0], 3);
    EXPECT_EQ(gif.disposal(), 0x08);
    EXPECT_TRUE(gif.transparent());
    EXPECT_EQ(gif.delay(), 20);
    EXPECT_EQ(gif.transparent_colour(), 100u | 110u << 8 | 120u << 16);

    // An unknown extension label ends the walk without an image.
    EXPECT_FALSE(gif_from(gif, make_gif(2, 1, lzw_data(2, literals(2, {3, 0})), false, {0x21, 0x77, 0})));
}

TEST(GifDecoder, FullDictionaryKeepsTwelveBitCodes) {
    // 4200 literals of 8-bit roots: the table fills at 4096 and codes stay 12 bits.
    std::vector<int> values;
    for (int i = 0; i < 4200; ++i) values.push_back((i * 7) & 255);
    GifDecoder gif;
    ASSERT_TRUE(gif_from(gif, make_gif(4200, 1, lzw_data(8, literals(8, values)))));
    for (int i = 0; i < 4200; ++i) ASSERT_EQ(gif.indices()[i], values[i]) << i;
}

TEST(GifDecoder, BrokenStreamsFailAndWritesStayInTheRows) {
    GifDecoder gif;
    EXPECT_FALSE(gif.open_memory(nullptr, 10));
    Bytes good = make_gif(2, 2, lzw_data(2, literals(2, {1, 2, 3, 0})));
    EXPECT_FALSE(gif.open_memory(good.data(), 0));
    Bytes bad = good;
    bad[4] = '8';  // GIF88a
    EXPECT_FALSE(gif_from(gif, bad));
    EXPECT_FALSE(gif_from(gif, Bytes(good.begin(), good.begin() + 12)));
    // A code past the next free code, a string code straight after a clear.
    EXPECT_FALSE(gif_from(gif, make_gif(4, 1, lzw_data(2, {4, 1, 7, 5}))));
    EXPECT_FALSE(gif_from(gif, make_gif(4, 1, lzw_data(2, {4, 6, 5}))));
    // Root sizes past 8 and zero-sized images are refused.
    Bytes wide_root = good;
    wide_root[13 + 12 + 10] = 9;
    EXPECT_FALSE(gif_from(gif, wide_root));
    EXPECT_FALSE(gif_from(gif, make_gif(0, 2, lzw_data(2, literals(2, {1})))));
    // More pixels than the image holds are dropped; a stream cut short keeps what came.
    ASSERT_TRUE(gif_from(gif, make_gif(2, 1, lzw_data(2, literals(2, {1, 2, 3, 3, 3, 3})))));
    EXPECT_EQ(Bytes(gif.indices(), gif.indices() + 4), (Bytes{1, 2, 0, 0}));
    const Bytes real = sample("video-001.interlaced.gif");
    for (size_t cut = 0; cut < real.size(); cut += 97) gif_from(gif, Bytes(real.begin(), real.begin() + cut));
}

// -------------------------------------------------- GIF against giflib's tools

/* giftext -r writes the first image's indices in stream order. */
void expect_gif_like_giflib(const std::string& path) {
    SCOPED_TRACE(path);
    GifDecoder gif;
    const Bytes file = read_file(path);
    ASSERT_FALSE(file.empty());
    ASSERT_TRUE(gif_from(gif, file));
    const std::string raw = temp("giftext.raw");
    run("giftext -r '" + path + "' > '" + raw + "'");
    const Bytes reference = read_file(raw);
    const int w = gif.width(), h = gif.height();
    ASSERT_GE(reference.size(), size_t(w) * h);
    for (int n = 0; n < h; ++n) {
        const int row = gif.interlaced() ? kesra::pic::gif_interlaced_row(n, h) : n;
        ASSERT_EQ(
            0, std::memcmp(gif.indices() + size_t(row) * gif.row_size(), reference.data() + size_t(n) * w, w))
            << "line " << n << " (row " << row << ")";
    }
    if (file[10] & 0x80) {  // the global table, as B, G, R, 0
        const int entries = 2 << (file[10] & 7);
        for (int i = 0; i < entries && !(gif.buffer()[0] == 0); ++i)
            ASSERT_EQ(gif.palette()[i * 4 + 2], file[13 + i * 3]) << "entry " << i;
    }
}

TEST(GifDecoder, DebianSamplesDecodeLikeGiflib) {
    for (const char* name : {"triangle-001.gif", "video-001.5bpp.gif", "video-001.gif",
                             "video-001.interlaced.gif", "video-005.gray.gif"})
        expect_gif_like_giflib(kSamples + "/" + name);
    GifDecoder gif;
    const std::string interlaced = kSamples + "/video-001.interlaced.gif";
    ASSERT_TRUE(gif.open_file(std::u16string(interlaced.begin(), interlaced.end()).c_str()));
    ASSERT_NE(gif.decode(), nullptr);
    EXPECT_TRUE(gif.interlaced());
    EXPECT_FALSE(gif.open_file(u"/nonexistent/x.gif"));
}

// ------------------------------------------------------------- JPEG arithmetic

TEST(JpegDecoder, ColourConversionTruncatesTowardZero) {
    uint8_t r, g, b;
    kesra::pic::jpeg_ycc_to_rgb(100, 128, 200, &r, &g, &b);
    EXPECT_EQ(r, 200);  // 100 + 100.94
    EXPECT_EQ(g, 49);   // 100 - 51.4
    EXPECT_EQ(b, 100);
    kesra::pic::jpeg_ycc_to_rgb(200, 100, 128, &r, &g, &b);
    EXPECT_EQ(g, 209);  // 200 + 9.6
    EXPECT_EQ(b, 151);  // 200 - 49.6, not 150
    kesra::pic::jpeg_ycc_to_rgb(250, 255, 255, &r, &g, &b);
    EXPECT_EQ(r, 255);
    EXPECT_EQ(g, 117);  // 250 - 43.7 - 90.7
    EXPECT_EQ(b, 255);
}

TEST(JpegDecoder, IntegerIdctMatchesTheExactTransform) {
    int32_t block[64] = {80};
    uint8_t out[64];
    kesra::pic::jpeg_idct_integer(block, out, 8);
    for (uint8_t v : out) ASSERT_EQ(v, 138);  // 80 / 8 + 128
    // Seeded blocks against the transform in double precision: off by at most 1.
    std::mt19937 random(13);
    for (int trial = 0; trial < 500; ++trial) {
        for (int i = 0; i < 64; ++i) block[i] = i < 20 ? int(random() % 401) - 200 : 0;
        block[0] = int(random() % 2001) - 1000;
        kesra::pic::jpeg_idct_integer(block, out, 8);
        uint8_t out_float[64];
        kesra::pic::jpeg_idct_float(block, out_float, 8);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                double sum = 0;
                for (int v = 0; v < 8; ++v)
                    for (int u = 0; u < 8; ++u)
                        sum += (u ? 1 : M_SQRT1_2) * (v ? 1 : M_SQRT1_2) * block[v * 8 + u] *
                               std::cos((2 * x + 1) * u * M_PI / 16) * std::cos((2 * y + 1) * v * M_PI / 16);
                const double exact = std::min(255.0, std::max(0.0, sum / 4 + 128));
                ASSERT_NEAR(out[y * 8 + x], exact, 1.0) << "trial " << trial;
                ASSERT_NEAR(out_float[y * 8 + x], exact, 1.0) << "trial " << trial;
            }
    }
}

/* The vector routines against the plain ones on seeded input: blocks of small
 * and of huge coefficients (which must take the 64-bit fallback), and sample
 * rows whose lengths leave a scalar tail. */
TEST(JpegDecoder, FastRoutinesEqualThePlainOnes) {
    std::mt19937 random(29);
    int32_t block[64];
    uint8_t fast[64], plain[64];
    for (int trial = 0; trial < 3000; ++trial) {
        const int range = trial % 3 == 0 ? 2048 : trial % 3 == 1 ? 12000 : 8000000;
        for (int i = 0; i < 64; ++i) block[i] = random() % 4 ? 0 : int(random() % (2 * range + 1)) - range;
        kesra::pic::jpeg_idct_integer(block, fast, 8);
        kesra::pic::jpeg_idct_integer_plain(block, plain, 8);
        ASSERT_EQ(0, std::memcmp(fast, plain, 64)) << "trial " << trial;
    }
    constexpr size_t kCount = 8 * 1024 + 13;
    Bytes y(kCount), cb(kCount), cr(kCount);
    for (size_t i = 0; i < kCount; ++i) y[i] = random(), cb[i] = random(), cr[i] = random();
    Bytes r = y, g = cb, b = cr;
    kesra::pic::jpeg_ycc_planes_to_rgb(r.data(), g.data(), b.data(), kCount);
    std::vector<uint16_t> pixels(kCount);
    kesra::pic::jpeg_rgb_to_565(r.data(), g.data(), b.data(), pixels.data(), kCount);
    for (size_t i = 0; i < kCount; ++i) {
        uint8_t want[3];
        kesra::pic::jpeg_ycc_to_rgb(y[i], cb[i], cr[i], &want[0], &want[1], &want[2]);
        ASSERT_EQ(r[i], want[0]) << i;
        ASSERT_EQ(g[i], want[1]) << i;
        ASSERT_EQ(b[i], want[2]) << i;
        ASSERT_EQ(pixels[i], kesra::narrow565(want[0], want[1], want[2])) << i;
    }
}

// ------------------------------------------------- JPEG against libjpeg-turbo

struct Pnm {
    int width = 0, height = 0, channels = 0;
    Bytes samples;
};

Pnm read_pnm(const std::string& path) {
    Pnm pnm;
    const Bytes bytes = read_file(path);
    int maxval = 0, consumed = 0;
    char kind = 0;
    if (std::sscanf(reinterpret_cast<const char*>(bytes.data()), "P%c %d %d %d%n", &kind, &pnm.width,
                    &pnm.height, &maxval, &consumed) != 4)
        return pnm;
    pnm.channels = kind == '6' ? 3 : 1;
    pnm.samples.assign(bytes.begin() + consumed + 1, bytes.end());
    return pnm;
}

/* Our planes against djpeg -dct int -nosmooth (the same integer IDCT, chroma
 * replicated): grey samples equal exactly; colour samples differ by at most
 * kColourTolerance, from libjpeg's rounded conversion constants against the
 * truncating ones here. Returns the largest difference. */
constexpr int kColourTolerance = 2;

int expect_jpeg_like_libjpeg(const std::string& path, int expected_components) {
    SCOPED_TRACE(path);
    JpegDecoder jpeg;
    const Bytes file = read_file(path);
    EXPECT_FALSE(file.empty());
    EXPECT_TRUE(jpeg_from(jpeg, file)) << "status " << jpeg.status();
    EXPECT_EQ(jpeg.components(), expected_components);
    const std::string out = temp("djpeg.pnm");
    run("djpeg -dct int -nosmooth -pnm -outfile '" + out + "' '" + path + "'");
    const Pnm reference = read_pnm(out);
    EXPECT_EQ(reference.width, jpeg.width());
    EXPECT_EQ(reference.height, jpeg.height());
    if (!jpeg.components() || reference.channels != (jpeg.components() == 1 ? 1 : 3) ||
        reference.samples.size() < size_t(reference.width) * reference.height * reference.channels)
        return 999;
    int worst = 0;
    for (int y = 0; y < jpeg.height(); ++y)
        for (int x = 0; x < jpeg.width(); ++x)
            for (int c = 0; c < reference.channels; ++c) {
                const int ours = jpeg.plane(c)[size_t(y) * jpeg.plane_width() + x];
                const int theirs =
                    reference.samples[(size_t(y) * reference.width + x) * reference.channels + c];
                worst = std::max(worst, std::abs(ours - theirs));
            }
    EXPECT_LE(worst, reference.channels == 1 ? 0 : kColourTolerance);
    return worst;
}

TEST(JpegDecoder, DebianSamplesDecodeLikeLibjpegTurbo) {
    for (const char* name : {"video-001.jpeg", "video-001.221212.jpeg", "video-001.q50.410.jpeg",
                             "video-001.q50.411.jpeg", "video-001.q50.420.jpeg", "video-001.q50.422.jpeg",
                             "video-001.q50.440.jpeg", "video-001.q50.444.jpeg"})
        expect_jpeg_like_libjpeg(kSamples + "/" + name, 3);
    for (const char* name : {"video-005.gray.jpeg", "video-005.gray.q50.jpeg", "video-005.gray.q50.2x2.jpeg"})
        expect_jpeg_like_libjpeg(kSamples + "/" + name, 1);
}

TEST(JpegDecoder, OtherFrameTypesAndComponentIdsAreRefused) {
    JpegDecoder jpeg;
    for (const char* name : {"video-001.progressive.jpeg", "video-001.q50.420.progressive.jpeg",
                             "video-001.progressive.truncated.jpeg", "video-005.gray.q50.progressive.jpeg",
                             "video-001.separate.dc.progression.jpeg"}) {
        EXPECT_FALSE(jpeg_from(jpeg, sample(name))) << name;
        EXPECT_EQ(jpeg.status(), kesra::pic::kJpegFrameError) << name;
        EXPECT_EQ(jpeg.plane(0), nullptr);
    }
    // Components named 'R', 'G', 'B' or 'C', 'M', 'Y', 'K' lie past the
    // identifiers 0-5 the decoder keeps.
    for (const char* name : {"video-001.rgb.jpeg", "video-001.cmyk.jpeg"}) {
        EXPECT_FALSE(jpeg_from(jpeg, sample(name))) << name;
        EXPECT_EQ(jpeg.status(), kesra::pic::kJpegFrameError) << name;
    }
}

/* A PPM of the given size with a seeded pattern. */
std::string make_ppm(const std::string& name, int width, int height) {
    std::string header = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    Bytes bytes(header.begin(), header.end());
    std::mt19937 random(width * 131 + height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            bytes.push_back(static_cast<uint8_t>(x * 255 / width));
            bytes.push_back(static_cast<uint8_t>(y * 255 / height));
            bytes.push_back(static_cast<uint8_t>(random() & 255));
        }
    const std::string path = temp(name);
    write_file(path, bytes);
    return path;
}

/* The offset of the first segment with the given marker, or 0. */
size_t find_segment(const Bytes& file, uint8_t marker) {
    size_t pos = 2;
    while (pos + 4 <= file.size() && file[pos] == 0xFF) {
        if (file[pos + 1] == marker) return pos;
        pos += 2 + (file[pos + 2] << 8 | file[pos + 3]);
    }
    return 0;
}

TEST(JpegDecoder, FilesMadeByCjpegDecodeLikeLibjpegTurbo) {
    const std::string source = make_ppm("source.ppm", 100, 75);
    struct Made {
        const char* name;
        const char* options;
        int components, h0, v0, restart;
    } made[] = {
        {"420_restart4.jpg", "-sample 2x2 -restart 4B", 3, 2, 2, 4},
        {"422_optimized.jpg", "-sample 2x1 -optimize", 3, 2, 1, 0},
        {"444.jpg", "-sample 1x1 -quality 95", 3, 1, 1, 0},
        {"grey_restart.jpg", "-grayscale -restart 1", 1, 1, 1, 13},
    };
    for (const Made& m : made) {
        const std::string path = temp(m.name);
        run(std::string("cjpeg -baseline ") + m.options + " -outfile '" + path + "' '" + source + "'");
        expect_jpeg_like_libjpeg(path, m.components);
        JpegDecoder jpeg;
        ASSERT_TRUE(jpeg.decode_file(path.c_str())) << m.name;
        EXPECT_EQ(jpeg.h_sampling(0), m.h0) << m.name;
        EXPECT_EQ(jpeg.v_sampling(0), m.v0) << m.name;
        EXPECT_EQ(jpeg.restart_interval(), m.restart) << m.name;
        // 100 x 75 in MCUs of 8 * Hmax by 8 * Vmax.
        EXPECT_EQ(jpeg.plane_width(), m.h0 == 2 ? 112 : 104) << m.name;
        EXPECT_EQ(jpeg.plane_height(), 80) << m.name;
    }
    JpegDecoder jpeg;
    // Width 17 with Hmax 2: planes of two 16-sample MCUs.
    const std::string narrow = temp("w17.jpg");
    run("cjpeg -sample 2x2 -outfile '" + narrow + "' '" + make_ppm("w17.ppm", 17, 9) + "'");
    expect_jpeg_like_libjpeg(narrow, 3);
    ASSERT_TRUE(jpeg.decode_file(narrow.c_str()));
    EXPECT_EQ(jpeg.plane_width(), 32);
    EXPECT_EQ(jpeg.plane_height(), 16);
    // The floating-point transform stays within 2 of the integer one; none gives 128.
    JpegDecoder by_float, by_none;
    const Bytes file = read_file(temp("444.jpg"));
    ASSERT_TRUE(jpeg_from(jpeg, file));
    ASSERT_TRUE(jpeg_from(by_float, file, kesra::pic::kJpegIdctFloat));
    ASSERT_TRUE(jpeg_from(by_none, file, kesra::pic::kJpegIdctNone));
    for (int i = 0; i < jpeg.plane_width() * jpeg.plane_height(); ++i) {
        ASSERT_NEAR(jpeg.plane(0)[i], by_float.plane(0)[i], 2) << i;
        ASSERT_EQ(by_none.plane(0)[i], 128) << i;
    }
    // A missing restart marker is a scan error.
    Bytes restart = read_file(temp("420_restart4.jpg"));
    for (size_t i = 0; i + 1 < restart.size(); ++i)
        if (restart[i] == 0xFF && restart[i + 1] == 0xD2) {
            restart.erase(restart.begin() + i, restart.begin() + i + 2);
            break;
        }
    EXPECT_FALSE(jpeg_from(jpeg, restart));
    EXPECT_EQ(jpeg.status(), kesra::pic::kJpegScanError);
    // Scan data cut in the middle by EOI: the blocks before the cut decode as
    // in the whole file, those after it stay blank (128) instead of being
    // decoded from the zero bits fed in front of the marker.
    ASSERT_TRUE(jpeg_from(jpeg, file));
    const size_t sos = find_segment(file, 0xDA);
    ASSERT_NE(sos, 0u);
    const size_t data = sos + 2 + (file[sos + 2] << 8 | file[sos + 3]);
    Bytes cut(file.begin(), file.begin() + data + (file.size() - data) / 2);
    if (cut.back() == 0xFF) cut.pop_back();
    cut.insert(cut.end(), {0xFF, 0xD9});
    JpegDecoder cut_off;
    ASSERT_TRUE(jpeg_from(cut_off, cut)) << cut_off.status();
    const int width = jpeg.plane_width(), last_row = (jpeg.plane_height() - 8) * width;
    for (int p = 0; p < 3; ++p)
        for (int i = 0; i < 8 * width; ++i) {
            ASSERT_EQ(cut_off.plane(p)[i], jpeg.plane(p)[i]) << "plane " << p << " at " << i;
            ASSERT_EQ(cut_off.plane(p)[last_row + i], 128) << "plane " << p << " at " << last_row + i;
        }
}

TEST(JpegDecoder, BrokenSegmentsGiveTheirStatus) {
    const Bytes good = sample("video-001.jpeg");
    JpegDecoder jpeg;
    ASSERT_TRUE(jpeg_from(jpeg, good));
    auto status_of = [&](const Bytes& bytes) {
        EXPECT_FALSE(jpeg_from(jpeg, bytes));
        EXPECT_EQ(jpeg.plane(0), nullptr);
        return jpeg.status();
    };
    Bytes bad = good;
    bad[1] = 0xD9;
    EXPECT_EQ(status_of(bad), kesra::pic::kJpegNoEoi);
    const size_t dht = find_segment(good, 0xC4);
    ASSERT_NE(dht, 0u);
    bad = good;
    bad[dht + 4] = (bad[dht + 4] & 0xF0) | 2;  // table number 2
    EXPECT_EQ(status_of(bad), kesra::pic::kJpegHuffmanError);
    // Three codes of 1 bit: more than the length has room for.
    const Bytes dht_full{0xFF, 0xC4, 0, 22, 0x10, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3};
    bad = good;
    bad.insert(bad.begin() + 2, dht_full.begin(), dht_full.end());
    EXPECT_EQ(status_of(bad), kesra::pic::kJpegHuffmanError);
    const size_t dqt = find_segment(good, 0xDB);
    bad = good;
    bad[dqt + 4] = 0x10;  // 16-bit values
    EXPECT_EQ(status_of(bad), kesra::pic::kJpegQuantError);
    const size_t sof = find_segment(good, 0xC0);
    bad = good;
    bad[sof + 5] = bad[sof + 6] = bad[sof + 7] = bad[sof + 8] = 0xFF;  // 65535 x 65535
    EXPECT_EQ(status_of(bad), kesra::pic::kJpegFrameError);
    bad = good;
    bad[sof + 2] = 0x7F;  // a length past the data
    EXPECT_EQ(status_of(bad), kesra::pic::kJpegFrameError);
    bad = good;
    bad[sof + 1] = 0xC2;
    EXPECT_EQ(status_of(bad), kesra::pic::kJpegFrameError);
    const size_t sos = find_segment(good, 0xDA);
    bad = good;
    bad[sos + 6] = 0x22;  // DC and AC tables 2
    EXPECT_EQ(status_of(bad), kesra::pic::kJpegScanError);
    // A DRI of the wrong length.
    bad = good;
    const Bytes dri{0xFF, 0xDD, 0, 5, 0, 4, 0};
    bad.insert(bad.begin() + 2, dri.begin(), dri.end());
    EXPECT_EQ(status_of(bad), kesra::pic::kJpegRestartError);
    // Huffman codes that lead nowhere: DC table 0 keeps only one 1-bit code.
    bad = good;
    const Bytes dht_tiny{0xFF, 0xC4, 0, 20, 0x00, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    bad.insert(bad.begin() + sos, dht_tiny.begin(), dht_tiny.end());
    for (size_t i = sos + dht_tiny.size() + 2 +
                    (bad[sos + dht_tiny.size() + 2] << 8 | bad[sos + dht_tiny.size() + 3]);
         i < sos + dht_tiny.size() + 200; ++i)
        bad[i] = 0xFE;  // codes of all ones past the first bit
    EXPECT_EQ(status_of(bad), kesra::pic::kJpegScanError);
    // Every cut of the file fails without reading past it; flipped bytes never crash.
    for (size_t cut = 0; cut < good.size(); cut += 61) status_of(Bytes(good.begin(), good.begin() + cut));
    std::mt19937 random(6);
    for (int trial = 0; trial < 200; ++trial) {
        bad = good;
        for (int flips = 0; flips < 4; ++flips) bad[random() % bad.size()] = static_cast<uint8_t>(random());
        jpeg_from(jpeg, bad);
    }
    EXPECT_FALSE(jpeg.decode_file("/nonexistent/x.jpg"));
    EXPECT_FALSE(jpeg.decode_file(nullptr));
}

}  // namespace
