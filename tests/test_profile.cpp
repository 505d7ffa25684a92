/* test_profile.cpp - the frame profiler: a known sequence of calls gives
 * exact counts in the frame its Flip closes, nested calls count once, and
 * nothing is counted while profiling is off. */
#include <cstring>

#include "bitmap/image_pool.h"
#include "kesra_profile.h"
#include "test_helpers.h"

namespace {

using kesra::test::Screen;

struct ProfileOn {
    ProfileOn() { KesraProfileSetEnabled(1); }
    ~ProfileOn() { KesraProfileSetEnabled(0); }
};

void draw_known_sequence(CCEDraw& dc) {
    tagPOINT tri[3] = {{2, 2}, {20, 4}, {8, 18}};
    tagPOINT road[3] = {{0, 30}, {30, 34}, {60, 30}};
    tagRECT all{0, 0, 64, 48};
    dc.DrawLine(0, 0, 10, 10);
    dc.DrawHLine(0, 5, 30, 5, 0xF800);
    dc.DrawRect(1, 1, 9, 9, 0x07E0);
    dc.FillRect(2, 2, 6, 6, 0x001F);
    dc.FillRect(all, 0xFFFF, 0.5f);  // counts once, through the overload it calls
    dc.FillPolygon(tri, 3, static_cast<unsigned short>(0x1234), 0, 0);
    dc.DrawAntiPolyline(road, 3, 0x8410, 5, all, 0, 0);
    dc.DrawDashLine(road, 3, all, 4, 3, 0, 0xFFFF, 0x0000, 0, 0);
    tagDISTINCT_STRUCT plain{};
    plain.nMode = -1;  // plain text: the DrawTextW it calls is the one run
    dc.DrawTextWithDistinct(u"ab", 2, all, 0, plain);
    CCEBitmap none;
    dc.DrawBitmap(&none, 0, 0, 0, 0, 0, 0);  // counts once, through CCEBitmap::Draw
    kesra::pool::find(12345);                // not in the table
}

TEST(Profile, FlipClosesAFrameWithExactCounts) {
    Screen screen(64, 48);
    ProfileOn on;
    draw_known_sequence(*screen.dc);
    KesraFrameStats open{};
    ASSERT_EQ(KesraProfileLastFrame(&open), 0);  // nothing presented yet
    ASSERT_EQ(screen.dc->Flip(0, 0, 0), 1);

    KesraFrameStats f{};
    ASSERT_EQ(KesraProfileLastFrame(&f), 1);
    EXPECT_EQ(f.frame, 1u);
    EXPECT_EQ(f.lines, 3u);
    EXPECT_EQ(f.fills, 2u);
    EXPECT_EQ(f.polygons, 1u);
    EXPECT_EQ(f.roads, 2u);
    EXPECT_EQ(f.text_runs, 1u);
    EXPECT_EQ(f.bitmaps, 1u);
    EXPECT_EQ(f.transitions, 0u);
    EXPECT_EQ(f.image_hits, 0u);
    EXPECT_EQ(f.image_misses, 1u);

    // The next frame starts empty and is numbered on.
    KesraFrameStats next{};
    ASSERT_EQ(KesraProfileCurrentFrame(&next), 1);
    EXPECT_EQ(next.lines + next.fills + next.polygons + next.roads + next.text_runs + next.bitmaps, 0u);
    screen.dc->FillRect(0, 0, 3, 3, 0);
    ASSERT_EQ(screen.dc->Flip(0, 0, 0), 1);
    ASSERT_EQ(KesraProfileLastFrame(&f), 1);
    EXPECT_EQ(f.frame, 2u);
    EXPECT_EQ(f.fills, 1u);
    EXPECT_EQ(f.lines, 0u);
}

TEST(Profile, CountsNothingWhenOff) {
    Screen screen(64, 48);
    KesraProfileSetEnabled(0);
    EXPECT_EQ(KesraProfileEnabled(), 0);
    draw_known_sequence(*screen.dc);
    std::vector<int> allocating(100);  // the library's operator new, where it counts
    KesraFrameStats now{};
    ASSERT_EQ(KesraProfileCurrentFrame(&now), 1);
    const KesraFrameStats zero{};
    EXPECT_EQ(std::memcmp(&now, &zero, sizeof now), 0);
    ASSERT_EQ(screen.dc->Flip(0, 0, 0), 1);
    EXPECT_EQ(KesraProfileLastFrame(&now), 0);
    EXPECT_EQ(KesraProfileLastFrame(nullptr), 0);
}

}  // namespace
