/* capsule.h - the capsule renderer of the anti-aliased map lines: a segment
 * becomes a 13-point polygon (two half circles of 6 points, closed), filled
 * one vertical span per column (written in blocks of columns, row by row)
 * and edged with a 32-level anti-aliased outline. Every drawn pixel is moved by the offset and then kept only
 * when it lies inside the clip box (all four edges inclusive) and the screen. */
#ifndef KESRA_DRAW_CAPSULE_H
#define KESRA_DRAW_CAPSULE_H

#include <array>
#include <cstdint>

#include "core/canvas.h"
#include "wintypes.h"

namespace kesra {

/* A clip rectangle with all four edges inclusive. */
struct ClipBox {
    int32_t left, top, right, bottom;

    static ClipBox of(const RECT& rc) { return ClipBox{rc.left, rc.top, rc.right, rc.bottom}; }
    bool contains(int64_t x, int64_t y) const { return x >= left && x <= right && y >= top && y <= bottom; }
};

/* The capsule polygon: output point 0 is its leftmost point, output point 6
 * the far end of the first chain (its rightmost point), point 12 repeats 0. */
using CapsulePolygon = std::array<POINT, 13>;

/* Capsule points are kept within +-kCapsuleCoordLimit so that every extent
 * and error term of the walks fits in 32 bits; such points are far off any
 * screen, so a road that reaches them is only bent where nobody sees it. */
constexpr int32_t kCapsuleCoordLimit = 1 << 28;

/* The capsule of radius `radius` round the segment a-b (negative radii count
 * as 0). The half circles are 6 table points 36 degrees apart, starting a
 * quarter turn from the segment's direction; the polygon starts at the
 * leftmost point of the first end's half circle, the earlier one on ties. */
CapsulePolygon capsule_polygon(POINT a, POINT b, int radius);

/* The index into the degree tables of the direction of a segment with
 * extents dx >= 0 and dy: floor(atan2(dy, dx) in degrees + 360) + 90, so
 * within 359 ... 540. Short segments take it from a table of what the plain
 * form, which always calls atan2, gives. */
int direction_index(int64_t dx, int64_t dy);
int direction_index_plain(int64_t dx, int64_t dy);

/* Column tables: the first and the last row of each column's span, counted
 * from the window's first column. Capsules wider than this are filled in
 * windows of this many columns, only where they can be seen. */
constexpr int kCapsuleColumns = 2000;

/* Octants of an edge, from the signs of its extents and its major axis:
 * 0-3 x-major (0: +x +y, 1: +x -y, 2: -x +y, 3: -x -y), 4-7 y-major
 * (4: +y +x, 5: +y -x, 6: -y +x, 7: -y -x); a zero extent counts as +. */
int edge_octant(int32_t sdx, int32_t sdy);

class CapsuleRenderer {
   public:
    CapsuleRenderer(const Canvas& canvas, const ClipBox& clip, int32_t offX, int32_t offY,
                    uint16_t edgeColor);

    /* Fill then outline, as every map line segment is drawn. */
    void draw_segment(POINT a, POINT b, int radius, uint16_t fillColor);

    /* The solid fill: chain 0->6 gives each column's first row, chain 6->12
     * its last row; one vertical span per column, clipped. */
    void fill(const CapsulePolygon& poly, uint16_t color);

    /* The 12 edges of the polygon, each walked by its octant routine. */
    void outline(const CapsulePolygon& poly);

    /* One anti-aliased edge (the polygon's outline is made of these). */
    void outline_edge(POINT from, POINT to);

    /* The plain forms that fill and outline are held to: a store per row down
     * each column, and a division per step of each edge. Same pixels. */
    void fill_plain(const CapsulePolygon& poly, uint16_t color);
    void outline_plain(const CapsulePolygon& poly);

    /* What an octant routine sees: the renderer's target and the current
     * edge. Public so that the routines can be plain functions in a table. */
    struct Target {
        Canvas canvas;
        ClipBox clip;
        int32_t offX, offY;
        uint16_t edgeColor;
    };
    struct Edge {
        int octant;  // -1 when no edge is set up
        int32_t adx, ady;
        int32_t x0, y0, x1, y1;
        int32_t sdx, sdy;
    };
    using OctantRoutine = void (*)(const Target& target, const Edge& edge);

   private:
    bool set_up_edge(POINT from, POINT to);
    /* True when every pixel the outline can touch lies inside the clip box
     * and the screen. */
    bool outline_seen_whole(const CapsulePolygon& poly) const;
    /* Writes the current edge's rows, moved by shift, into a column table. */
    template <class Row>
    void walk_fill_edge(int chain, int32_t window_start, bool plain, Row* table, int32_t shift);
    /* True when every row the fill walks write, moved by the offset, lies
     * within [row_lo, row_hi] and fits 16 bits. */
    bool rows_seen_whole(const CapsulePolygon& poly, int64_t row_lo, int64_t row_hi) const;
    void fill_window(const CapsulePolygon& poly, int32_t window_start, int32_t window_end, uint16_t color,
                     bool plain);
    void fill_columns(const CapsulePolygon& poly, uint16_t color, bool plain);

    Target target_;
    Edge edge_;
    int32_t first_[kCapsuleColumns];
    int32_t last_[kCapsuleColumns];
    int16_t top_rows_[kCapsuleColumns];  // each column's span cut to the clip box and the screen
    int16_t bottom_rows_[kCapsuleColumns];
};

}  // namespace kesra

#endif
