/* test_gif_play.cpp - CGifPlay over compressed frame packs made here: frames
 * shown in order at the top-left corner (seen through the present handler),
 * the end marker, the 101-image bound, refused parameters, damaged packs that
 * end the run cleanly, and Stop from another thread and from the playing
 * thread itself. */
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/test_bitmap_helpers.h"
#include "tests/test_helpers.h"

using namespace kesra::test;

namespace {

constexpr int W = 8, H = 6;

std::vector<uint8_t> zlib(const std::vector<uint8_t>& raw) {
    BYTE* out = nullptr;
    DWORD length = 0;
    EXPECT_EQ(QLCompress(&out, &length, raw.data(), static_cast<DWORD>(raw.size()), 6), 0);
    std::vector<uint8_t> block(out, out + length);
    std::free(out);
    return block;
}

/* A w x h frame of one colour, its pixel block compressed as the pack holds it. */
PackImage solid(int w, int h, uint16_t color) {
    return {w, h, zlib(le16_bytes(std::vector<uint16_t>(static_cast<size_t>(w) * h, color))), {}};
}

std::string write_pack(const std::string& name, const std::vector<PackImage>& frames) {
    const std::string path = scratch_dir() + "/" + name;
    write_bytes(path, make_pack(frames));
    return path;
}

tagGIFPLAY params_for(const std::string& path, CCEDraw* draw, LONG first = 300, DWORD delay = 0) {
    tagGIFPLAY p{};
    p.nFirstID = first;
    p.pDraw = draw;
    p.nDelay = delay;
    const std::u16string w = wide(path);
    std::copy(w.begin(), w.end(), p.szPath);
    return p;
}

/* Pixels (1, 1) and (W - 1, H - 1) of every presented frame. */
std::mutex g_mutex;
std::vector<uint16_t> g_near, g_far;
void record(HWND, const uint16_t* pixels, int width, int) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_near.push_back(pixels[1 * width + 1]);
    g_far.push_back(pixels[(H - 1) * width + W - 1]);
}

size_t frames_seen() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_near.size();
}

class GifPlay : public ::testing::Test {
   protected:
    void SetUp() override {
        g_near.clear();
        HostSetPresentHandler(record);
    }
    void TearDown() override { HostSetPresentHandler(nullptr); }

    /* OnInit and Play on this thread; the run's frames as (1, 1) pixels. */
    std::vector<uint16_t> play(const std::string& path, LONG first = 300) {
        g_near.clear();
        g_far.clear();
        tagGIFPLAY p = params_for(path, screen.dc.get(), first);
        EXPECT_EQ(player.OnInit(&p), 1);
        EXPECT_EQ(player.IsEnd(), 0);
        EXPECT_EQ(player.Play(), 1);
        EXPECT_EQ(player.IsEnd(), 1);
        return g_near;
    }

    Screen screen{W, H};
    CGifPlay player;
};

}  // namespace

TEST_F(GifPlay, FramesFollowInOrderAtTheCornerUntilOneIsMissing) {
    screen.fill(0x1111);
    const std::string path =
        write_pack("three.pack", {solid(W, H, 0xF800), solid(W, H, 0x07E0), solid(3, 2, 0x001F)});
    EXPECT_EQ(play(path), (std::vector<uint16_t>{0xF800, 0x07E0, 0x001F}));
    // The small last frame covers the corner only; the rest keeps the frame before.
    EXPECT_EQ(g_far, (std::vector<uint16_t>{0xF800, 0x07E0, 0x07E0}));
    EXPECT_EQ(HostWindowPixels(screen.window)[1 * W + 1], 0x001F);
    // A later first ID starts further in.
    EXPECT_EQ(play(path, 302), (std::vector<uint16_t>{0x001F}));
}

TEST_F(GifPlay, EndMarkerEndsTheRunUndrawn) {
    const std::string path =
        write_pack("marker.pack", {solid(W, H, 0xF800), solid(4, 1, 0xFFFF), solid(W, H, 0x07E0)});
    EXPECT_EQ(play(path), (std::vector<uint16_t>{0xF800}));
    EXPECT_EQ(screen.at(0, 0), 0xF800);  // the marker's white never reached the buffer
}

TEST_F(GifPlay, RunShowsAtMost101Images) {
    std::vector<PackImage> frames;
    for (uint16_t i = 0; i < 105; ++i) frames.push_back(solid(2, 2, i));
    const std::vector<uint16_t> seen = play(write_pack("long.pack", frames));
    ASSERT_EQ(seen.size(), 101u);
    for (uint16_t i = 0; i < 101; ++i) ASSERT_EQ(seen[i], i);
}

TEST_F(GifPlay, OnInitRefusesWhatItCannotPlay) {
    const std::string path = write_pack("one.pack", {solid(W, H, 0xF800)});
    play(path);
    EXPECT_EQ(player.OnInit(nullptr), 0);
    tagGIFPLAY p = params_for(path, nullptr);
    EXPECT_EQ(player.OnInit(&p), 0);
    p = params_for(path, screen.dc.get());
    std::fill(std::begin(p.szPath), std::end(p.szPath), u'a');  // no terminator in 260
    EXPECT_EQ(player.OnInit(&p), 0);
    EXPECT_EQ(player.IsEnd(), 1);  // the state is unchanged
}

TEST_F(GifPlay, DamagedPacksEndTheRunAtTheDamage) {
    EXPECT_TRUE(play(scratch_dir() + "/no_such.pack").empty());

    PackImage corrupt = solid(W, H, 0x07E0);
    corrupt.pixels[corrupt.pixels.size() / 2] ^= 0x5A;
    PackImage short_block = solid(W, H, 0x07E0);
    short_block.pixels = zlib(le16_bytes(std::vector<uint16_t>(W, 0x07E0)));  // one row of the six
    for (const PackImage& bad : {corrupt, short_block}) {
        EXPECT_EQ(play(write_pack("bad.pack", {solid(W, H, 0xF800), bad, solid(W, H, 0x001F)})),
                  (std::vector<uint16_t>{0xF800}));
    }

    // Cut inside the second frame's block: the index at the end is gone too.
    std::vector<uint8_t> file = make_pack({solid(W, H, 0xF800), solid(W, H, 0x07E0)});
    file.resize(file.size() - 20);
    write_bytes(scratch_dir() + "/cut.pack", file);
    EXPECT_TRUE(play(scratch_dir() + "/cut.pack").empty());

    // A frame larger than the screen is cut at its edges.
    EXPECT_EQ(play(write_pack("large.pack", {solid(W + 5, H + 3, 0x8410)})), (std::vector<uint16_t>{0x8410}));
    EXPECT_EQ(g_far, (std::vector<uint16_t>{0x8410}));
}

TEST_F(GifPlay, StopFromAnotherThreadEndsTheRunAndWaitsForIt) {
    std::vector<PackImage> frames;
    for (uint16_t i = 0; i < 30; ++i) frames.push_back(solid(2, 2, i));
    // Thirty frames held a second each: only a working Stop ends the run early.
    tagGIFPLAY p = params_for(write_pack("slow.pack", frames), screen.dc.get(), 300, 1000);
    ASSERT_EQ(player.OnInit(&p), 1);
    player.Stop();  // nothing plays yet: no effect on the run to come
    std::atomic<int> played{0};
    std::thread runner([&] { played = CGifPlay().Play(); });
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (frames_seen() == 0 && std::chrono::steady_clock::now() < give_up)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_GE(frames_seen(), 1u);
    player.Stop();
    EXPECT_EQ(player.IsEnd(), 1);  // Stop returned after the run had ended
    runner.join();
    EXPECT_EQ(played.load(), 1);
    EXPECT_LT(frames_seen(), 30u);
    EXPECT_EQ(frames_seen(), static_cast<size_t>(HostPresentCount(screen.window)));
}

namespace {
void stop_at_second_frame(HWND window, const uint16_t* pixels, int width, int height) {
    record(window, pixels, width, height);
    if (frames_seen() == 2) CGifPlay().Stop();
}
}  // namespace

TEST_F(GifPlay, StopFromThePlayingThreadEndsAfterThatFrame) {
    HostSetPresentHandler(stop_at_second_frame);
    const std::string path =
        write_pack("four.pack", {solid(W, H, 1), solid(W, H, 2), solid(W, H, 3), solid(W, H, 4)});
    EXPECT_EQ(play(path), (std::vector<uint16_t>{1, 2}));
}
