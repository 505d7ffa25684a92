/* The vector and reordered routines against the plain loops they replace:
 * seeded random inputs, whole buffers compared (guard pixels and row padding
 * included, so a store past a run shows), and no allocation once a frame's
 * working arrays have grown. */
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>
#include <random>
#include <vector>

#include "core/pixel.h"
#include "core/pixel_runs.h"
#include "draw/capsule.h"
#include "draw/polygon.h"
#include "draw/route_line.h"

namespace {

std::atomic<uint64_t> g_allocations{0};

}  // namespace

/* Every allocation of the test program is counted. The replacements pair
 * malloc with free, which GCC cannot see through the replaced operators. */
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t bytes) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(bytes ? bytes : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t bytes) { return operator new(bytes); }
void* operator new(size_t bytes, const std::nothrow_t&) noexcept {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(bytes ? bytes : 1);
}
void* operator new[](size_t bytes, const std::nothrow_t& tag) noexcept { return operator new(bytes, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }

namespace kesra {
namespace {

using Pixels = std::vector<uint16_t>;

Pixels random_pixels(std::mt19937& rng, size_t n) {
    Pixels v(n);
    for (auto& p : v) p = static_cast<uint16_t>(rng());
    return v;
}

/* Levels in stretches of one kind (0, 31 and above, between), so that whole
 * vector steps of each kind occur beside mixed ones. */
std::vector<uint8_t> random_levels(std::mt19937& rng, size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n;) {
        const int kind = static_cast<int>(rng() % 4);
        const size_t len = 1 + rng() % 40;
        for (size_t k = 0; k < len && i < n; ++k, ++i)
            v[i] = static_cast<uint8_t>(kind == 0 ? 0 : kind == 1 ? 31 + rng() % 225 : rng() % 31);
    }
    return v;
}

TEST(FastPaths, FillsMatchThePlainLoopAtEveryStartAndLength) {
    std::mt19937 rng(16001);
    for (int round = 0; round < 3000; ++round) {
        const size_t start = rng() % 40, n = round < 200 ? static_cast<size_t>(round) : rng() % 2000;
        const uint16_t color = static_cast<uint16_t>(rng());
        Pixels fast = random_pixels(rng, start + n + 40), plain = fast;
        fill_run565(fast.data() + start, n, color);
        fill_run565_plain(plain.data() + start, n, color);
        ASSERT_EQ(fast, plain) << "start " << start << " n " << n;
        fast = plain = random_pixels(rng, start + n + 40);
        fill565(fast.data() + start, static_cast<int64_t>(n), color);  // short and long runs
        fill_run565_plain(plain.data() + start, n, color);
        ASSERT_EQ(fast, plain) << "fill565 start " << start << " n " << n;
    }
}

TEST(FastPaths, KeyedCopyMatchesThePlainLoop) {
    std::mt19937 rng(16002);
    for (int round = 0; round < 2000; ++round) {
        const size_t start = rng() % 20, n = rng() % 600;
        const uint16_t key = static_cast<uint16_t>(rng());
        Pixels src = random_pixels(rng, start + n);
        for (size_t i = 0; i < src.size();) {  // stretches of keyed and of other pixels
            const bool keyed = rng() % 2;
            for (size_t len = 1 + rng() % 48; len > 0 && i < src.size(); --len, ++i)
                if (keyed || rng() % 8 == 0) src[i] = key;
        }
        Pixels fast = random_pixels(rng, start + n + 20), plain = fast;
        copy_keyed565(fast.data() + start, src.data() + start, n, key);
        copy_keyed565_plain(plain.data() + start, src.data() + start, n, key);
        ASSERT_EQ(fast, plain) << "start " << start << " n " << n;
    }
}

TEST(FastPaths, BitmapBlendRunsMatchThePlainLoop) {
    std::mt19937 rng(16003);
    for (int round = 0; round < 2000; ++round) {
        const size_t n = rng() % 300, odd = rng() % 2;  // source colours at odd byte addresses too
        std::vector<uint8_t> colors(2 * n + 1);
        for (auto& b : colors) b = static_cast<uint8_t>(rng());
        const std::vector<uint8_t> levels = random_levels(rng, n);
        Pixels fast = random_pixels(rng, n + 20), plain = fast;
        blend_bitmap_run565(fast.data(), colors.data() + odd, levels.data(), n);
        blend_bitmap_run565_plain(plain.data(), colors.data() + odd, levels.data(), n);
        ASSERT_EQ(fast, plain) << "n " << n;
    }
}

TEST(FastPaths, OneLevelBlendRunsMatchThePlainLoopAtEveryLevel) {
    std::mt19937 rng(16004);
    for (int level = 0; level <= 32; ++level)
        for (int round = 0; round < 40; ++round) {
            const size_t n = rng() % 200, odd = rng() % 2;
            std::vector<uint8_t> colors(2 * n + 1);
            for (auto& b : colors) b = static_cast<uint8_t>(rng());
            const uint16_t color = static_cast<uint16_t>(rng());
            const Pixels dst = random_pixels(rng, n + 20);
            Pixels fast = dst, plain = dst;
            blend_run565_wide(fast.data(), colors.data() + odd, n, level);
            blend_run565_plain(plain.data(), colors.data() + odd, n, level);
            ASSERT_EQ(fast, plain) << "level " << level << " n " << n;
            fast = plain = dst;
            blend_color_run565_wide(fast.data(), n, color, level);
            blend_color_run565_plain(plain.data(), n, color, level);
            ASSERT_EQ(fast, plain) << "colour, level " << level << " n " << n;
        }
}

/* A canvas whose rows carry padding after their pixels, and a guard row
 * above and below, so that any write off the canvas changes the buffer. */
struct PaddedCanvas {
    PaddedCanvas(std::mt19937& rng, int32_t width, int32_t height, int32_t padding)
        : pitch(width + padding), pixels(random_pixels(rng, static_cast<size_t>(pitch) * (height + 2))) {
        canvas = Canvas{reinterpret_cast<uint8_t*>(pixels.data() + pitch), pitch * 2, width, height};
    }
    int32_t pitch;
    Pixels pixels;
    Canvas canvas;
};

TEST(FastPaths, ColumnSpansInBlocksMatchOneColumnAtATime) {
    std::mt19937 rng(16005);
    for (int round = 0; round < 1500; ++round) {
        PaddedCanvas fast(rng, 60 + static_cast<int32_t>(rng() % 40), 50, static_cast<int32_t>(rng() % 5));
        PaddedCanvas plain = fast;
        plain.canvas.origin = reinterpret_cast<uint8_t*>(plain.pixels.data() + plain.pitch);
        const size_t n = rng() % 60;
        const int32_t x0 = static_cast<int32_t>(rng() % (fast.canvas.width - n + 1));
        std::vector<int16_t> top(n), bottom(n);
        for (size_t i = 0; i < n; ++i) {
            top[i] = static_cast<int16_t>(rng() % 50);
            bottom[i] = static_cast<int16_t>(rng() % 6 == 0 ? -1 : top[i] + rng() % (50 - top[i]));
            if (rng() % 10 == 0) top[i] = INT16_MAX;  // an empty column as the capsule marks it
        }
        const uint16_t color = static_cast<uint16_t>(rng());
        PaddedCanvas blended = fast;
        blended.canvas.origin = reinterpret_cast<uint8_t*>(blended.pixels.data() + blended.pitch);
        fill_column_spans(fast.canvas, x0, top.data(), bottom.data(), n, color);
        fill_column_spans_blended(blended.canvas, x0, top.data(), bottom.data(), n, color);
        fill_column_spans_plain(plain.canvas, x0, top.data(), bottom.data(), n, color);
        ASSERT_EQ(fast.pixels, plain.pixels) << "round " << round;
        ASSERT_EQ(blended.pixels, plain.pixels) << "round " << round;
    }
}

/* The tabled directions of short segments, across the table's edges, and
 * those of long ones are atan2's. */
TEST(FastPaths, CapsuleDirectionsMatchThePlainAngle) {
    for (int64_t dx = 0; dx <= 70; ++dx)
        for (int64_t dy = -70; dy <= 70; ++dy)
            ASSERT_EQ(direction_index(dx, dy), direction_index_plain(dx, dy)) << dx << ", " << dy;
    // Degrees per radian are taken as 57.29578, a little short: straight up
    // (just past the table) and 45 degrees up both fall one below the whole turn.
    EXPECT_EQ(direction_index(0, -64), 359);
    EXPECT_EQ(direction_index(int64_t{1} << 32, -(int64_t{1} << 32)), 404);
}

/* Capsules of every direction and radius, near and across the screen's
 * edges, far off it and wider than a column window, under random clip boxes
 * (upside-down ones too) and offsets: the block fill and the outline without
 * divisions give the pixels of the plain forms. */
TEST(FastPaths, CapsulesMatchThePlainFillAndOutline) {
    std::mt19937 rng(16006);
    auto coordinate = [&](int32_t size) {
        const int kind = static_cast<int>(rng() % 10);
        if (kind == 0) return static_cast<LONG>(static_cast<int32_t>(rng() % 20000000) - 10000000);
        if (kind == 1) return static_cast<LONG>(static_cast<int32_t>(rng() % 6000) - 3000);
        return static_cast<LONG>(static_cast<int32_t>(rng() % (size + 80)) - 40);
    };
    for (int round = 0; round < 1500; ++round) {
        const int32_t width = 120 + static_cast<int32_t>(rng() % 80),
                      height = 90 + static_cast<int32_t>(rng() % 40);
        PaddedCanvas fast(rng, width, height, static_cast<int32_t>(rng() % 4));
        PaddedCanvas plain = fast;
        plain.canvas.origin = reinterpret_cast<uint8_t*>(plain.pixels.data() + plain.pitch);
        ClipBox clip{static_cast<int32_t>(rng() % 60) - 20, static_cast<int32_t>(rng() % 60) - 20,
                     width - 40 + static_cast<int32_t>(rng() % 80),
                     height - 40 + static_cast<int32_t>(rng() % 80)};
        if (rng() % 20 == 0) std::swap(clip.top, clip.bottom);
        const int32_t offX = static_cast<int32_t>(rng() % 41) - 20,
                      offY = static_cast<int32_t>(rng() % 41) - 20;
        const uint16_t edge = static_cast<uint16_t>(rng()), fill = static_cast<uint16_t>(rng());
        CapsuleRenderer fast_renderer(fast.canvas, clip, offX, offY, edge);
        CapsuleRenderer plain_renderer(plain.canvas, clip, offX, offY, edge);
        for (int segment = 0; segment < 4; ++segment) {
            const POINT a{coordinate(width), coordinate(height)}, b{coordinate(width), coordinate(height)};
            const int radius = static_cast<int>(rng() % 31) - 1;
            const CapsulePolygon poly = capsule_polygon(a, b, radius);
            fast_renderer.fill(poly, fill);
            fast_renderer.outline(poly);
            plain_renderer.fill_plain(poly, fill);
            plain_renderer.outline_plain(poly);
            ASSERT_EQ(fast.pixels, plain.pixels)
                << "round " << round << " segment " << segment << " (" << a.x << ", " << a.y << ") - (" << b.x
                << ", " << b.y << ") r " << radius;
        }
    }
}

/* Capsules lying on the screen, or reaching just over its edges or the clip
 * box's: those seen whole are filled and outlined without clip tests, and
 * still give the pixels of the plain forms. */
TEST(FastPaths, CapsulesOnTheScreenMatchThePlainFillAndOutline) {
    std::mt19937 rng(16008);
    for (int round = 0; round < 400; ++round) {
        const int32_t width = 100 + static_cast<int32_t>(rng() % 60),
                      height = 80 + static_cast<int32_t>(rng() % 40);
        PaddedCanvas fast(rng, width, height, static_cast<int32_t>(rng() % 4));
        PaddedCanvas plain = fast;
        plain.canvas.origin = reinterpret_cast<uint8_t*>(plain.pixels.data() + plain.pitch);
        const bool whole_screen = rng() % 2 == 0;
        const ClipBox clip = whole_screen
                                 ? ClipBox{0, 0, width - 1, height - 1}
                                 : ClipBox{static_cast<int32_t>(rng() % 10), static_cast<int32_t>(rng() % 10),
                                           width - 1 - static_cast<int32_t>(rng() % 10),
                                           height - 1 - static_cast<int32_t>(rng() % 10)};
        const int32_t offX = static_cast<int32_t>(rng() % 9) - 4, offY = static_cast<int32_t>(rng() % 9) - 4;
        const uint16_t edge = static_cast<uint16_t>(rng()), fill = static_cast<uint16_t>(rng());
        CapsuleRenderer fast_renderer(fast.canvas, clip, offX, offY, edge);
        CapsuleRenderer plain_renderer(plain.canvas, clip, offX, offY, edge);
        for (int segment = 0; segment < 8; ++segment) {
            const int radius = static_cast<int>(rng() % 12);
            auto coordinate = [&](int32_t size) {
                return static_cast<LONG>(radius + static_cast<int32_t>(rng() % (size - 2 * radius)));
            };
            const POINT a{coordinate(width), coordinate(height)}, b{coordinate(width), coordinate(height)};
            const CapsulePolygon poly = capsule_polygon(a, b, radius);
            fast_renderer.fill(poly, fill);
            fast_renderer.outline(poly);
            plain_renderer.fill_plain(poly, fill);
            plain_renderer.outline_plain(poly);
            ASSERT_EQ(fast.pixels, plain.pixels)
                << "round " << round << " segment " << segment << " (" << a.x << ", " << a.y << ") - (" << b.x
                << ", " << b.y << ") r " << radius;
        }
    }
}

/* Polygons of every kind: self-crossing stars of random points, wavy map
 * areas of thousands of vertices, combs whose teeth all start on one row,
 * and vertices far off the screen (rows above it jumped over, rows too far
 * apart for the row buckets): the array walk gives the linked list's pixels. */
TEST(FastPaths, ScanFillMatchesThePlainFill) {
    std::mt19937 rng(16009);
    for (int round = 0; round < 600; ++round) {
        const int32_t width = 80 + static_cast<int32_t>(rng() % 60),
                      height = 60 + static_cast<int32_t>(rng() % 40);
        PaddedCanvas fast(rng, width, height, static_cast<int32_t>(rng() % 4));
        PaddedCanvas plain = fast;
        plain.canvas.origin = reinterpret_cast<uint8_t*>(plain.pixels.data() + plain.pitch);
        const int kind = round % 4;
        const int n = kind == 1 ? 1000 + static_cast<int>(rng() % 3000) : 2 + static_cast<int>(rng() % 60);
        std::vector<POINT> pts;
        for (int i = 0; i < n; ++i) {
            const double t = 2 * M_PI * i / n, r = width * (0.5 + 0.1 * std::sin(37 * t));
            switch (kind) {
                case 0:  // random points around the screen
                    pts.push_back({static_cast<LONG>(rng() % (width + 40)) - 20,
                                   static_cast<LONG>(rng() % (height + 40)) - 20});
                    break;
                case 1:  // a wavy area
                    pts.push_back({static_cast<LONG>(std::lround(width / 2 + r * std::cos(t))),
                                   static_cast<LONG>(std::lround(height / 2 + 0.7 * r * std::sin(t)))});
                    break;
                case 2:  // a comb: every tooth starts on one row
                    pts.push_back(
                        {static_cast<LONG>(i * 3 % (width + 20)) - 10,
                         static_cast<LONG>(i % 2 ? 5 : height - 1 - static_cast<int32_t>(rng() % 20))});
                    break;
                default:  // far-off vertices
                    pts.push_back({static_cast<LONG>(static_cast<int32_t>(rng() % 200000) - 100000),
                                   static_cast<LONG>(rng() % 3 ? static_cast<int32_t>(rng() % 200000) - 100000
                                                               : static_cast<int32_t>(rng() % height))});
            }
        }
        if (round % 40 == 0)
            for (POINT& p : pts) p.y = 7;  // every edge level: nothing to fill
        const uint16_t color = static_cast<uint16_t>(rng());
        scan_fill(fast.canvas, pts.data(), n, color);
        scan_fill_plain(plain.canvas, pts.data(), n, color);
        ASSERT_EQ(fast.pixels, plain.pixels) << "round " << round << " kind " << kind << " n " << n;
    }
}

/* The route line's segments and a large polygon's edges live in arrays kept
 * from call to call: drawing the same frame again allocates nothing. */
TEST(FastPaths, RepeatedFramesAllocateNothing) {
    std::mt19937 rng(16007);
    Pixels buffer(800 * 480);
    const Canvas c{reinterpret_cast<uint8_t*>(buffer.data()), 1600, 800, 480};
    std::vector<POINT> route, area;
    for (int i = 0; i < 40; ++i)
        route.push_back({static_cast<LONG>(rng() % 800), static_cast<LONG>(rng() % 480)});
    for (int i = 0; i < 5000; ++i)
        area.push_back({static_cast<LONG>(rng() % 900) - 50, static_cast<LONG>(rng() % 580) - 50});
    auto frame = [&] {
        std::fill(buffer.begin(), buffer.end(), 0);
        fill_polygon(c, area.data(), static_cast<int>(area.size()), 0x1234);
        draw_route_line_3d(c, route.data(), static_cast<int64_t>(route.size()), 0xFE60, 0xA800, 21,
                           ClipBox{0, 0, 799, 479});
    };
    frame();  // the arrays grow here
    const Pixels first = buffer;
    const uint64_t before = g_allocations.load();
    frame();
    EXPECT_EQ(g_allocations.load(), before);
    EXPECT_EQ(buffer, first);  // arrays left from the first frame change no pixel
}

}  // namespace
}  // namespace kesra
