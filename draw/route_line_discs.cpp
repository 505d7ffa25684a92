/* route_line_discs.cpp - the constant disc table of the route line, built at
 * compile time: the row at offset dy from the centre of a disc of radius r is
 * 2 floor(sqrt((r + 1/2)^2 - dy^2)) + 1 wide, which in integers is
 * 2 floor(isqrt((2r + 1)^2 - 4 dy^2) / 2) + 1, except for twenty rows that
 * the route's discs have always drawn 2 pixels narrower. */
#include <cstdint>

#include "draw/route_line.h"

namespace kesra {

namespace {

struct DiscTable {
    uint8_t rows[kDiscTableRows][kDiscTableRowBytes];
};

constexpr int64_t isqrt(int64_t v) {
    int64_t r = 0;
    while ((r + 1) * (r + 1) <= v) ++r;
    return r;
}

/* (r, |dy|) rows two pixels narrower than the rule. */
constexpr int kNarrowRows[20][2] = {
    {1, 1},  {4, 2},   {4, 4},   {8, 6},   {9, 3},   {9, 9},   {16, 4}, {16, 16}, {17, 9}, {17, 15},
    {25, 5}, {25, 11}, {25, 17}, {25, 19}, {25, 23}, {25, 25}, {36, 6}, {36, 36}, {49, 7}, {49, 49},
};

constexpr bool is_narrow_row(int r, int dy) {
    for (const auto& row : kNarrowRows)
        if (row[0] == r && row[1] == dy) return true;
    return false;
}

constexpr DiscTable make_disc_table() {
    DiscTable t{};
    for (int r = 0; r < kDiscTableRows; ++r) {
        for (int dy = -r; dy <= r; ++dy) {
            const int64_t d = 2 * r + 1;
            int width = static_cast<int>(2 * (isqrt(d * d - 4 * dy * dy) / 2) + 1);
            if (is_narrow_row(r, dy < 0 ? -dy : dy)) width -= 2;
            t.rows[r][dy + r] = static_cast<uint8_t>(width);
        }
    }
    return t;
}

constexpr DiscTable kDiscTable = make_disc_table();

template <size_t N>
constexpr bool row_is(int r, const uint8_t (&widths)[N]) {
    for (size_t i = 0; i < N; ++i)
        if (kDiscTable.rows[r][i] != widths[i]) return false;
    return N == static_cast<size_t>(2 * r + 1) && (N == kDiscTableRowBytes || kDiscTable.rows[r][N] == 0);
}

constexpr uint8_t kRow0[] = {1};
constexpr uint8_t kRow1[] = {1, 3, 1};
constexpr uint8_t kRow2[] = {3, 5, 5, 5, 3};
constexpr uint8_t kRow3[] = {3, 5, 7, 7, 7, 5, 3};
constexpr uint8_t kRow5[] = {5, 7, 9, 11, 11, 11, 11, 11, 9, 7, 5};
constexpr uint8_t kRow10[] = {7,  11, 13, 15, 17, 19, 19, 21, 21, 21, 21,
                              21, 21, 21, 19, 19, 17, 15, 13, 11, 7};
static_assert(row_is(0, kRow0) && row_is(1, kRow1) && row_is(2, kRow2) && row_is(3, kRow3), "small discs");
static_assert(row_is(5, kRow5) && row_is(10, kRow10), "discs of radius 5 and 10");
static_assert(kDiscTable.rows[74][74] == 149 && kDiscTable.rows[74][149] == 0, "largest disc");

}  // namespace

const uint8_t* disc_table_row(int r) { return kDiscTable.rows[r]; }

}  // namespace kesra
