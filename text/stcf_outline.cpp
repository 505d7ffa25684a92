/* stcf_outline.cpp - the outline interpreter. Operation codes are nibbles, high
 * nibble first, followed by the operands of all operations in order. The
 * current point is kept in em units; the rounded box's corners are shaped on
 * the grid. Every read is checked, so bad data stops the outline. */
#include "text/stcf_outline.h"

#include <cstdlib>

namespace kesra::stcf {

namespace {

struct EmPoint {
    int32_t x, y;
};

/* Reads one contour's operands in order. */
class OperandStream {
   public:
    OperandStream(const ImageReader& in, uint64_t offset) : in_(in), at_(offset) {}
    bool byte(uint32_t* v) { return in_.u8(at_++, v); }
    bool coord(int32_t* v) {
        uint32_t b;
        if (!byte(&b)) return false;
        *v = static_cast<int8_t>(b);
        return true;
    }
    bool point(EmPoint* p) { return coord(&p->x) && coord(&p->y); }
    bool delta(EmPoint* d) {
        uint32_t b;
        if (!byte(&b)) return false;
        *d = {delta_nibble(b >> 4), delta_nibble(b & 15)};
        return true;
    }
    uint64_t position() const { return at_; }

   private:
    const ImageReader& in_;
    uint64_t at_;
};

EmPoint plus(EmPoint a, EmPoint b) { return {a.x + b.x, a.y + b.y}; }

class ContourPen {
   public:
    ContourPen(const Grid& grid, const Placement& place, ScanConverter& scan, EmPoint start)
        : grid_(grid), place_(place), scan_(scan), start_(start), current_(start) {
        scan_.move_to(g(start));
    }
    EmPoint current() const { return current_; }
    EmPoint start() const { return start_; }
    void line(EmPoint p) {
        scan_.line_to(g(p));
        current_ = p;
    }
    void cubic(EmPoint c1, EmPoint c2, EmPoint p) {
        scan_.cubic_to(g(c1), g(c2), g(p));
        current_ = p;
    }
    /* A quarter round of the rounded box, shaped on the grid; the tangent at
     * its start follows the side just drawn. */
    void corner(EmPoint p, bool after_vertical) {
        const GridPoint c = scan_.current(), e = g(p);
        if (after_vertical)
            scan_.cubic_to({c.x, c.y + 2 * (e.y - c.y) / 3}, {e.x + 2 * (c.x - e.x) / 3, e.y}, e);
        else
            scan_.cubic_to({c.x + 2 * (e.x - c.x) / 3, c.y}, {e.x, e.y + 2 * (c.y - e.y) / 3}, e);
        current_ = p;
    }
    void close() { line(start_); }

   private:
    GridPoint g(EmPoint p) const { return to_grid(grid_, place_, p.x, p.y); }
    const Grid& grid_;
    const Placement& place_;
    ScanConverter& scan_;
    EmPoint start_, current_;
};

/* The control points of a curve to p that starts a quarter and three quarters
 * of the way along the chord. */
EmPoint quarter(EmPoint c, EmPoint p, int quarters) {
    return {c.x + quarters * ((p.x - c.x) / 4), c.y + quarters * ((p.y - c.y) / 4)};
}

bool run_operation(uint32_t code, OperandStream& ops, ContourPen& pen) {
    const EmPoint c = pen.current();
    EmPoint a{}, b{}, p{};
    int32_t v;
    switch (code) {
        case 0:
            if (!ops.point(&a) || !ops.point(&b) || !ops.point(&p)) return false;
            pen.cubic(a, b, p);
            return true;
        case 1:
            if (!ops.coord(&v)) return false;
            pen.line({c.x, v});
            return true;
        case 2:
            if (!ops.coord(&v)) return false;
            pen.line({v, c.y});
            return true;
        case 3:
        case 11:
            if (!ops.point(&p)) return false;
            pen.line(p);
            return true;
        case 4:
        case 5: {
            if (!ops.coord(&v)) return false;
            const int32_t d = (code == 4 ? 1 : -1) * (2 * std::abs(v - c.x) / 3);
            pen.cubic({c.x, c.y + d}, {v, c.y + d}, {v, c.y});
            return true;
        }
        case 6:
        case 7: {
            if (!ops.coord(&v)) return false;
            const int32_t d = (code == 6 ? -1 : 1) * (2 * std::abs(v - c.y) / 3);
            pen.cubic({c.x + d, c.y}, {c.x + d, v}, {c.x, v});
            return true;
        }
        case 8: {
            EmPoint d1, d2, d3;
            if (!ops.delta(&d1) || !ops.delta(&d2) || !ops.delta(&d3)) return false;
            a = plus(c, d1), b = plus(a, d2), p = plus(b, d3);
            pen.cubic(a, b, p);
            return true;
        }
        case 9: {
            int32_t box[10];
            for (int32_t& n : box)
                if (!ops.coord(&n)) return false;
            pen.line({c.x, box[0]});
            pen.corner({box[1], box[2]}, true);
            pen.line({box[3], pen.current().y});
            pen.corner({box[4], box[5]}, false);
            pen.line({pen.current().x, box[6]});
            pen.corner({box[7], box[8]}, true);
            pen.line({box[9], pen.current().y});
            pen.corner(pen.start(), false);
            return true;
        }
        case 10:
            if (!ops.point(&p)) return false;
            pen.line({c.x, p.y});
            pen.line(p);
            return true;
        case 12:
            if (!ops.delta(&a)) return false;
            pen.line(plus(c, a));
            return true;
        case 13: {
            EmPoint da, db;
            if (!ops.delta(&da) || !ops.delta(&db) || !ops.point(&p)) return false;
            pen.cubic(plus(quarter(c, p, 1), da), plus(quarter(c, p, 3), db), p);
            return true;
        }
        case 14: {
            EmPoint da;
            if (!ops.delta(&da) || !ops.point(&b) || !ops.point(&p)) return false;
            pen.cubic(plus(quarter(c, p, 1), da), b, p);
            return true;
        }
        default: {  // 15
            EmPoint db;
            if (!ops.point(&a) || !ops.delta(&db) || !ops.point(&p)) return false;
            pen.cubic(a, plus(quarter(c, p, 3), db), p);
            return true;
        }
    }
}

}  // namespace

bool draw_outline(const ImageReader& in, uint64_t offset, const Grid& grid, const Placement& place,
                  ScanConverter& scan) {
    uint32_t contours;
    if (!in.u8(offset++, &contours)) return false;
    for (uint32_t k = 0; k < contours; ++k) {
        OperandStream head(in, offset);
        EmPoint start;
        uint32_t count;
        if (!head.point(&start) || !head.byte(&count)) return false;
        uint64_t codes = head.position();
        if (count == 0) {
            if (!in.u16(codes, &count)) return false;
            codes += 2;
        }
        const uint64_t code_bytes = (uint64_t{count} + 1) / 2;
        if (!in.has(codes, code_bytes)) return false;
        OperandStream ops(in, codes + code_bytes);
        ContourPen pen(grid, place, scan, start);
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t pair = 0;
            in.u8(codes + i / 2, &pair);
            if (!run_operation(i % 2 == 0 ? pair >> 4 : pair & 15, ops, pen)) return false;
        }
        pen.close();
        offset = ops.position();
    }
    return true;
}

}  // namespace kesra::stcf
