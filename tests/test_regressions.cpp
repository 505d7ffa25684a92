/* test_regressions.cpp - faults the fuzz harnesses and the hostile-input
 * sweep found, each with the input that showed it, made here from what the
 * tools write: a thread whose handle is closed while it runs (every animation
 * sound does so), an animation frame without planes claiming a huge size. */
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "anim/ani_frames.h"
#include "platform/platform_internal.h"
#include "text/ft_face.h"
#include "tools/kesra-ani/ani_tool.h"
#include "winapi.h"

namespace {

std::atomic<bool> g_may_end{false};

DWORD wait_until_allowed(LPVOID) {
    while (!g_may_end.load()) Sleep(1);
    return 0;
}

/* Polls for up to a generous 20 s; true once no more than count are alive. */
bool thread_objects_drop_to(int count) {
    for (int i = 0; i < 20000 && kesra::platform::thread_objects_alive() > count; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return kesra::platform::thread_objects_alive() <= count;
}

/* kesra-ani's file of one animation with one 2 x 2 frame, that frame's header
 * then rewritten to the given size with neither plane. */
std::vector<uint8_t> animation_with_planeless_frame(int32_t width, int32_t height) {
    using namespace kesra::ani;
    kesra_ani::Animation a;
    a.frames.push_back(kesra_ani::Frame{2, 2, std::vector<uint16_t>(4, 0x1234), {}});
    std::vector<uint8_t> file;
    std::string error;
    EXPECT_TRUE(kesra_ani::assemble({a}, 6, &file, &error)) << error;
    MemorySource src(file.data(), file.size());
    Animation anim;
    FrameHeader header;
    uint64_t streams = 0;
    if (!find_animation(src, kFirstId, &anim) || !find_frame(src, anim, 0, &header, &streams)) {
        ADD_FAILURE() << "kesra-ani's frame is not found";
        return file;
    }
    header = FrameHeader{width, height, 0, 0};
    write_frame_header(file.data() + streams - kFrameHeaderBytes, header);
    return file;
}

}  // namespace

/* fuzz_ani: the sound thread's handle is closed at once; the thread object
 * stayed behind for every sound played. */
TEST(Regressions, ThreadClosedWhileRunningFreesItsObjectWhenItEnds) {
    const int before = kesra::platform::thread_objects_alive();
    g_may_end = false;
    HANDLE thread = CreateThread(nullptr, 0, wait_until_allowed, nullptr, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(kesra::platform::thread_objects_alive(), before + 1);
    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_FAILED);  // the handle is gone, the thread runs on
    g_may_end = true;
    EXPECT_TRUE(thread_objects_drop_to(before));
}

/* sweep fuzz_ani, mutation 0: a frame header with no planes was taken at its
 * word, so its size overflowed the bitmap's byte counts. Such a frame loads
 * only when its size is one a plane could have, or has a side of 0. */
TEST(Regressions, PlanelessAnimationFrameOfHugeSizeIsRefused) {
    for (auto [width, height, loads] : {std::tuple{0x7FFFFFFF, 48, false}, std::tuple{-5, 3, false},
                                        std::tuple{0, 0, true}, std::tuple{6, 0, true}}) {
        const std::vector<uint8_t> file = animation_with_planeless_frame(width, height);
        kesra::ani::MemorySource src(file.data(), file.size());
        CCEBitmap bitmap;
        EXPECT_EQ(kesra::ani::load_frame(src, kesra::ani::kFirstId, 0, 0, 0, &bitmap), loads) << width;
        EXPECT_EQ(bitmap.m_nWidth, loads ? width : 0);
        EXPECT_EQ(bitmap.m_nPixelSize, 0);
        EXPECT_EQ(bitmap.m_pImageData, nullptr);
    }
}

/* A font whose glyph outline is enormous made FreeType allocate and clear a
 * bitmap of hundreds of megabytes while text was measured (found by
 * fuzz_font). A glyph whose bitmap would pass 16,777,216 pixels, the largest
 * image, is not rendered: a box of 4094 x 4094 pixels (4096 x 4096 with its
 * margin) still is, one a pixel wider is not. */
TEST(Regressions, AGlyphTooLargeToRenderIsSkipped) {
    auto too_large = [](long width, long height) {
        FT_Vector points[2] = {{0, 0}, {width * 64, height * 64}};
        char tags[2] = {FT_CURVE_TAG_ON, FT_CURVE_TAG_ON};
        short contours[1] = {1};
        FT_Outline outline{};
        outline.n_contours = 1;
        outline.n_points = 2;
        outline.points = points;
        outline.tags = tags;
        outline.contours = contours;
        return kesra::outline_too_large(outline);
    };
    EXPECT_FALSE(too_large(40, 48));
    EXPECT_FALSE(too_large(4094, 4094));
    EXPECT_TRUE(too_large(4095, 4094));
    EXPECT_TRUE(too_large(16777300, 1));  // one side alone past the limit
    EXPECT_TRUE(too_large(3000000, 3000000));
}
