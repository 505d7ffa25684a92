/* outline.cpp - glyph outlines in the font's operation codes: lines and
 * cubics from a contour's start point, each written in the shortest form
 * that gives back exactly the same points (vertical, horizontal, delta,
 * arch, quarter-point and full forms). The closing line back to the start
 * is implied and never written. */
#include <cmath>
#include <cstdlib>

#include "tools/kesra-font/font_tool.h"

namespace kesra_font {

namespace {

struct Op {
    int code;
    std::vector<int> operands;  // each written as one byte
};

bool fits_nibble(int d) { return d >= -8 && d <= 7; }
bool fits_byte(int v) { return v >= -128 && v <= 127; }
int nibble(int d) { return d >= 0 ? d : (d == -8 ? 8 : 8 - d); }
int delta_pair(int dx, int dy) { return (nibble(dx) << 4) | nibble(dy); }
bool same(Point a, Point b) { return a.x == b.x && a.y == b.y; }

Op line_op(Point from, Point to) {
    const int dx = to.x - from.x, dy = to.y - from.y;
    if (dx == 0) return {1, {to.y}};
    if (dy == 0) return {2, {to.x}};
    if (fits_nibble(dx) && fits_nibble(dy)) return {12, {delta_pair(dx, dy)}};
    return {11, {to.x, to.y}};
}

/* Arches: control points a third of the way out, square to the chord. */
bool arch_op(Point c, const Segment& s, Op* op) {
    if (s.to.y == c.y && s.to.x != c.x) {
        const int d = 2 * std::abs(s.to.x - c.x) / 3;
        for (int sign : {1, -1})
            if (same(s.c1, {c.x, c.y + sign * d}) && same(s.c2, {s.to.x, c.y + sign * d})) {
                *op = {sign > 0 ? 4 : 5, {s.to.x}};
                return true;
            }
    }
    if (s.to.x == c.x && s.to.y != c.y) {
        const int d = 2 * std::abs(s.to.y - c.y) / 3;
        for (int sign : {-1, 1})
            if (same(s.c1, {c.x + sign * d, c.y}) && same(s.c2, {c.x + sign * d, s.to.y})) {
                *op = {sign < 0 ? 6 : 7, {s.to.y}};
                return true;
            }
    }
    return false;
}

Op cubic_op(Point c, const Segment& s) {
    Op op;
    if (arch_op(c, s, &op)) return op;
    const int d1x = s.c1.x - c.x, d1y = s.c1.y - c.y, d2x = s.c2.x - s.c1.x, d2y = s.c2.y - s.c1.y;
    const int d3x = s.to.x - s.c2.x, d3y = s.to.y - s.c2.y;
    if (fits_nibble(d1x) && fits_nibble(d1y) && fits_nibble(d2x) && fits_nibble(d2y) && fits_nibble(d3x) &&
        fits_nibble(d3y))
        return {8, {delta_pair(d1x, d1y), delta_pair(d2x, d2y), delta_pair(d3x, d3y)}};
    /* Quarter points of the chord; C++ division truncates toward zero. */
    const int qx = (s.to.x - c.x) / 4, qy = (s.to.y - c.y) / 4;
    const int ax = s.c1.x - (c.x + qx), ay = s.c1.y - (c.y + qy);
    const int bx = s.c2.x - (c.x + 3 * qx), by = s.c2.y - (c.y + 3 * qy);
    const bool a_fits = fits_nibble(ax) && fits_nibble(ay), b_fits = fits_nibble(bx) && fits_nibble(by);
    if (a_fits && b_fits) return {13, {delta_pair(ax, ay), delta_pair(bx, by), s.to.x, s.to.y}};
    if (a_fits) return {14, {delta_pair(ax, ay), s.c2.x, s.c2.y, s.to.x, s.to.y}};
    if (b_fits) return {15, {s.c1.x, s.c1.y, delta_pair(bx, by), s.to.x, s.to.y}};
    return {0, {s.c1.x, s.c1.y, s.c2.x, s.c2.y, s.to.x, s.to.y}};
}

/* The operations of one contour, without zero-length pieces and without the
 * final line back to the start. */
std::vector<Op> contour_ops(const Contour& contour) {
    std::vector<Segment> segments;
    Point at = contour.start;
    for (const Segment& s : contour.segments) {
        if (same(s.to, at) && (!s.cubic || (same(s.c1, at) && same(s.c2, at)))) continue;
        segments.push_back(s);
        at = s.to;
    }
    if (!segments.empty() && !segments.back().cubic && same(segments.back().to, contour.start))
        segments.pop_back();

    std::vector<Op> ops;
    at = contour.start;
    for (size_t i = 0; i < segments.size(); ++i) {
        const Segment& s = segments[i];
        if (s.cubic) {
            ops.push_back(cubic_op(at, s));
        } else {
            Op op = line_op(at, s.to);
            /* A vertical line into a horizontal one is one corner operation. */
            if (op.code == 1 && i + 1 < segments.size() && !segments[i + 1].cubic &&
                segments[i + 1].to.y == s.to.y && segments[i + 1].to.x != s.to.x) {
                op = {10, {segments[i + 1].to.x, s.to.y}};
                ++i;
            }
            ops.push_back(op);
        }
        at = segments[i].to;
    }
    return ops;
}

}  // namespace

bool encode_outline(const std::vector<Contour>& contours, std::vector<uint8_t>* out, std::string* error) {
    std::vector<uint8_t> bytes;
    size_t count = 0;
    bytes.push_back(0);
    for (const Contour& contour : contours) {
        const std::vector<Op> ops = contour_ops(contour);
        if (ops.empty()) continue;
        if (++count > 255) {
            *error = "more than 255 contours";
            return false;
        }
        if (ops.size() > 0xFFFF) {
            *error = "a contour of more than 65535 operations";
            return false;
        }
        bool inside = fits_byte(contour.start.x) && fits_byte(contour.start.y);
        for (const Segment& s : contour.segments)
            for (Point p : {s.c1, s.c2, s.to}) inside = inside && fits_byte(p.x) && fits_byte(p.y);
        if (!inside) {
            *error = "a point outside the em";
            return false;
        }
        bytes.push_back(static_cast<uint8_t>(contour.start.x));
        bytes.push_back(static_cast<uint8_t>(contour.start.y));
        if (ops.size() <= 255) {
            bytes.push_back(static_cast<uint8_t>(ops.size()));
        } else {
            bytes.push_back(0);
            bytes.push_back(static_cast<uint8_t>(ops.size() & 0xFF));
            bytes.push_back(static_cast<uint8_t>(ops.size() >> 8));
        }
        for (size_t i = 0; i < ops.size(); i += 2) {
            const int low = i + 1 < ops.size() ? ops[i + 1].code : 0;
            bytes.push_back(static_cast<uint8_t>((ops[i].code << 4) | low));
        }
        for (const Op& op : ops)
            for (int v : op.operands) {
                bytes.push_back(static_cast<uint8_t>(v));
            }
    }
    bytes[0] = static_cast<uint8_t>(count);
    out->insert(out->end(), bytes.begin(), bytes.end());
    return true;
}

namespace {
int round_to_byte(double v) {
    const long r = std::lround(v);
    return static_cast<int>(r < -128 ? -128 : r > 127 ? 127 : r);
}
}  // namespace

int EmMapping::x(double font_x) const { return round_to_byte(font_x * scale); }
int EmMapping::y(double font_y) const { return round_to_byte((font_y - descender) * scale - kBaseline); }

}  // namespace kesra_font
