/* stcf_levels.cpp - smoothing, sharpening, rings and the style table. The
 * smoothing rules depend on the level count: a full pixel beside an empty one
 * above or below gives part of its value to it. */
#include "text/stcf_levels.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace kesra::stcf {

namespace {

/* Per level count: the full pixel's new value (0 keeps it), what the empty
 * neighbour gets, the "second value" and what an empty neighbour of it gets
 * (0: no rule). Eight levels lower a full pixel only when its other side is
 * full too. */
struct SmoothRule {
    uint8_t full_becomes, empty_gets, second, empty_next_to_second;
};

bool smooth_rule(int levels, SmoothRule* rule) {
    switch (levels) {
        case 16:
            *rule = {12, 4, 12, 3};
            return true;
        case 12:
            *rule = {8, 3, 8, 2};
            return true;
        case 8:
            *rule = {6, 2, 0, 0};
            return true;
        case 6:
            *rule = {4, 2, 4, 1};
            return true;
        case 4:
            *rule = {3, 1, 0, 0};
            return true;
        default:
            return false;
    }
}

using StyleTable = std::array<std::array<uint8_t, kStyleEntryBytes>, kStyleCount>;

/* Entry 0 spreads 16 levels over a byte; entry 3 is a palette: 2 for empty,
 * 0x91..0x9F for partial, 3 for full. The other entries up to 83 pass levels
 * and ring values through; entries from 84 on are all zero. */
StyleTable make_styles() {
    StyleTable t{};
    for (int s = 0; s <= 83; ++s)
        for (int k = 0; k < kStyleEntryBytes; ++k) t[s][k] = static_cast<uint8_t>(k);
    for (int k = 0; k < 16; ++k) t[0][k] = static_cast<uint8_t>(16 * k);
    t[0][16] = 0xFF;
    t[3][0] = 0x02;
    for (int k = 1; k < 16; ++k) t[3][k] = static_cast<uint8_t>(0x90 + k);
    t[3][16] = 0x03;
    return t;
}

}  // namespace

void smooth_edges(uint8_t* cell, int width, int height, int levels) {
    SmoothRule rule;
    if (!smooth_rule(levels, &rule)) return;
    const uint8_t full = static_cast<uint8_t>(levels);
    for (int y = 1; y <= height - 2; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = cell + y * width + x;
            uint8_t* below = p + width;
            uint8_t* above = p - width;
            if (*p == full) {
                uint8_t* empty = *below == 0 ? below : *above == 0 ? above : nullptr;
                if (!empty) continue;
                *empty = rule.empty_gets;
                const uint8_t other = empty == below ? *above : *below;
                if (levels != 8 || other == full) *p = rule.full_becomes;
            } else if (rule.second && *p == rule.second) {
                uint8_t* empty = *below == 0 ? below : *above == 0 ? above : nullptr;
                if (empty) *empty = rule.empty_next_to_second;
            }
        }
}

void sharpen(uint8_t* cell, int width, int height, int levels, uint8_t* before) {
    std::memcpy(before, cell, static_cast<size_t>(width) * height);
    auto at = [&](int x, int y) -> int {
        return x < 0 || y < 0 || x >= width || y >= height ? 0 : before[y * width + x];
    };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int v = at(x, y);
            if (v <= 0 || v >= levels) continue;
            int around = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (dx || dy) around += at(x + dx, y + dy);
            cell[y * width + x] = static_cast<uint8_t>(std::clamp((24 * v - around) / 16, 0, levels));
        }
}

namespace {

void ring_around(uint8_t* cell, int width, int height, bool (*is_centre)(uint8_t), uint8_t mark) {
    for (int y = 1; y <= height - 2; ++y)
        for (int x = 1; x <= width - 2; ++x) {
            if (!is_centre(cell[y * width + x])) continue;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    uint8_t& n = cell[(y + dy) * width + x + dx];
                    if (n == 0) n = mark;
                }
        }
}

}  // namespace

void add_rings(uint8_t* cell, int width, int height, bool second) {
    ring_around(
        cell, width, height, [](uint8_t v) { return v != 0 && v != kRing; }, kRing);
    if (second)
        ring_around(
            cell, width, height, [](uint8_t v) { return v == kRing; }, kSecondRing);
}

uint8_t* style_entry(int style) {
    static StyleTable table = make_styles();
    return table[static_cast<size_t>(style)].data();
}

}  // namespace kesra::stcf
