/* test_kesra_pack.cpp - kesra-pack: PNG files made here are packed, loaded
 * back through the library and drawn, pixel for pixel; the raw-or-coded
 * choice at its tie; the frame pack and the real-scene file; and the command
 * line's list, extract and error messages. */
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "core/pixel.h"
#include "kesra.h"
#include "tests/test_bitmap_helpers.h"
#include "tests/test_helpers.h"
#include "tools/common/png565.h"
#include "tools/kesra-pack/pack_tool.h"

using namespace kesra;
using namespace kesra::test;
using kesra_pack::Coding;
using kesra_pack::Format;

namespace {

/* Images with runs, gradients of alpha, an opaque one and a 1 x 1. */
std::vector<std::string> make_pngs(const std::string& tag) {
    std::mt19937 rng(99);
    std::vector<std::string> paths;
    const int sizes[][2] = {{13, 7}, {32, 32}, {1, 1}, {40, 3}};
    for (int k = 0; k < 4; ++k) {
        devutil::RgbaImage im;
        im.width = sizes[k][0];
        im.height = sizes[k][1];
        for (int y = 0; y < im.height; ++y)
            for (int x = 0; x < im.width; ++x) {
                const bool flat = (x / 4 + y) % 3 == 0;
                const uint8_t a = k == 1 ? 255 : static_cast<uint8_t>((x * 255) / std::max(1, im.width - 1));
                im.rgba.insert(im.rgba.end(), {static_cast<uint8_t>(flat ? 200 : rng()),
                                               static_cast<uint8_t>(flat ? 30 : rng()),
                                               static_cast<uint8_t>(flat ? 90 : rng()), a});
            }
        paths.push_back(scratch_dir() + "/" + tag + std::to_string(k) + ".png");
        EXPECT_TRUE(devutil::write_png_rgba(paths.back(), im));
    }
    return paths;
}

kesra_pack::Planes planes_of_png(const std::string& path) {
    devutil::RgbaImage im;
    EXPECT_TRUE(devutil::read_png_rgba(path, im));
    return kesra_pack::planes_from_rgba(im, false);
}

bool build(const std::string& out, const std::vector<std::string>& pngs, Format format, Coding coding) {
    kesra_pack::BuildOptions options;
    options.format = format;
    options.coding = coding;
    options.quiet = true;
    std::string error;
    const bool ok = kesra_pack::build(out, pngs, options, &error);
    EXPECT_TRUE(ok) << error;
    return ok;
}

int run_tool(const std::string& args, std::string* output) {
    return run_program(KESRA_PACK_EXE, args, output);
}

}  // namespace

TEST(KesraPack, ATieBetweenRawAndCodedIsWrittenRaw) {
    kesra_pack::Planes p;
    p.width = 4;
    p.height = 1;
    p.pixels = {1, 1, 2, 2};  // two runs: 8 bytes either way
    bool coded = true;
    EXPECT_EQ(kesra_pack::pixel_block(p, Coding::Smaller, &coded).size(), 8u);
    EXPECT_FALSE(coded);
    const auto forced = kesra_pack::pixel_block(p, Coding::Coded, &coded);
    EXPECT_TRUE(coded);
    EXPECT_EQ(forced.size(), 12u);  // one pair more, or it would read as raw
    p.pixels = {3, 3, 3, 3};
    EXPECT_EQ(kesra_pack::pixel_block(p, Coding::Smaller, &coded).size(), 4u);
    EXPECT_TRUE(coded);
    EXPECT_EQ(kesra_pack::pixel_block(p, Coding::Raw, &coded).size(), 8u);
}

TEST(KesraPack, PackedImagesLoadAndDrawBackPixelForPixel) {
    const auto pngs = make_pngs("draw");
    Screen screen(100, 60);
    for (Coding coding : {Coding::Smaller, Coding::Raw, Coding::Coded}) {
        const std::string pack = scratch_dir() + "/built.pack";
        ASSERT_TRUE(build(pack, pngs, Format::Resource, coding));
        ASSERT_EQ(CCEBitmap::OpenResource(wide(pack).c_str()), 1);
        for (size_t i = 0; i < pngs.size(); ++i) {
            SCOPED_TRACE(pngs[i]);
            const kesra_pack::Planes want = planes_of_png(pngs[i]);
            CCEBitmap stored, expanded, direct;
            ASSERT_EQ(stored.LoadBitmapW(static_cast<unsigned>(300 + i)), 1);
            ASSERT_EQ(expanded.LoadBitmapW(static_cast<unsigned>(300 + i), 0, 0), 1);
            EXPECT_EQ(pixels_of(expanded), want.pixels);
            EXPECT_EQ(alpha_of(expanded), want.alpha);
            ASSERT_EQ(direct.LoadBitmapW(wide(pngs[i]).c_str()), 1);  // the library's own PNG loader agrees
            EXPECT_EQ(pixels_of(direct), want.pixels);
            if (!want.alpha.empty()) {
                EXPECT_EQ(alpha_of(direct), want.alpha);
            }

            /* Drawn from the blocks as stored, over a known background. */
            screen.fill(0x4208);
            screen.dc->DrawBitmap(&stored, 3, 2, 0, 0, 0, 0);
            for (int y = 0; y < want.height; ++y)
                for (int x = 0; x < want.width; ++x) {
                    const size_t k = static_cast<size_t>(y) * want.width + x;
                    const unsigned a = want.alpha.empty() ? 31 : want.alpha[k];
                    const uint16_t expect =
                        a >= 31 ? want.pixels[k] : blend565(0x4208, want.pixels[k], static_cast<int32_t>(a));
                    ASSERT_EQ(screen.at(3 + x, 2 + y), expect) << x << "," << y;
                }
        }
        CCEBitmap::CloseResource();
    }
}

TEST(KesraPack, FramePacksAndRealSceneFiles) {
    const auto pngs = make_pngs("frames");
    const std::string frames = scratch_dir() + "/built_frames.pack";
    ASSERT_TRUE(build(frames, pngs, Format::Frames, Coding::Smaller));
    const std::string scene = scratch_dir() + "/built.scene";
    ASSERT_TRUE(build(scene, pngs, Format::Scene, Coding::Smaller));
    for (size_t i = 0; i < pngs.size(); ++i) {
        SCOPED_TRACE(pngs[i]);
        const kesra_pack::Planes want = planes_of_png(pngs[i]);
        CCEBitmap b, s;
        ASSERT_EQ(b.LoadBitmapGIF(wide(frames).c_str(), static_cast<LONG>(300 + i)), 1);
        EXPECT_EQ(pixels_of(b), want.pixels);
        EXPECT_EQ(alpha_of(b), want.alpha);
        const tagRECT rect{0, 0, want.width - 1, want.height - 1};
        ASSERT_EQ(s.LoadBitmap3D(wide(scene).c_str(), static_cast<LONG>(i + 1), rect), 1);
        EXPECT_EQ(pixels_of(s), want.pixels);
    }
    CCEBitmap none;
    EXPECT_EQ(none.LoadBitmap3D(wide(scene).c_str(), static_cast<LONG>(pngs.size() + 1), tagRECT{0, 0, 1, 1}),
              0);
}

TEST(KesraPack, ListExtractAndErrors) {
    const auto pngs = make_pngs("cli");
    const std::string pack = scratch_dir() + "/cli.pack";
    std::string out;
    ASSERT_EQ(run_tool("build " + pack + " " + pngs[0] + " " + pngs[1], &out), 0) << out;
    ASSERT_EQ(run_tool("list " + pack, &out), 0) << out;
    EXPECT_NE(out.find("300      13 x 7"), std::string::npos) << out;
    EXPECT_NE(out.find("301     32 x 32"), std::string::npos) << out;
    EXPECT_NE(out.find("none"), std::string::npos) << out;  // the opaque image has no alpha block

    const std::string back = scratch_dir() + "/extracted.png";
    ASSERT_EQ(run_tool("extract " + pack + " 300 " + back, &out), 0) << out;
    const kesra_pack::Planes original = planes_of_png(pngs[0]), again = planes_of_png(back);
    EXPECT_EQ(again.pixels, original.pixels);
    EXPECT_EQ(again.alpha, original.alpha);

    EXPECT_EQ(run_tool("extract " + pack + " 302 " + back, &out), 1);
    EXPECT_NE(out.find("beyond the pack's 2 images"), std::string::npos) << out;
    const std::string missing = scratch_dir() + "/missing.png";
    const std::string failed = scratch_dir() + "/failed.pack";
    EXPECT_EQ(run_tool("build " + failed + " " + pngs[0] + " " + missing, &out), 1);
    EXPECT_NE(out.find(missing), std::string::npos) << out;
    EXPECT_EQ(std::fopen(failed.c_str(), "rb"), nullptr);  // no half-written pack is left
    write_bytes(scratch_dir() + "/junk.pack", {1, 2, 3});
    EXPECT_EQ(run_tool("list " + scratch_dir() + "/junk.pack", &out), 1);
    EXPECT_NE(out.find("junk.pack"), std::string::npos) << out;

    // Numbers beyond 32 bits are refused, not cut down to name another image.
    for (const char* id : {"4294967596", "4294967296", "-4294966996", "99999999999999999999999"}) {
        EXPECT_EQ(run_tool("extract " + pack + " " + id + " " + back, &out), 1) << id;
        EXPECT_NE(out.find("out of range"), std::string::npos) << id << ": " << out;
    }
    const std::string scene = scratch_dir() + "/cli.scene";
    ASSERT_EQ(run_tool("build --format scene " + scene + " " + pngs[0], &out), 0) << out;
    EXPECT_EQ(run_tool("extract --format scene " + scene + " 4294967297 " + back, &out), 1);
    EXPECT_NE(out.find("out of range"), std::string::npos) << out;
    EXPECT_EQ(run_tool("extract --format scene " + scene + " 1 " + back, &out), 0) << out;
}
