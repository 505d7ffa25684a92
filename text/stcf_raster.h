/* stcf_raster.h - the built-in engine's supersampling scan converter. Outline
 * points in the 128-unit em (y up, baseline 25 units above the cell bottom)
 * become 26.6 subsample positions; edges record their x crossings on each
 * subsample scanline (scanline 0 is the cell's bottom row, sampled at whole
 * positions), spans between crossing pairs set bits (even-odd), and each
 * pixel's coverage is the number of set bits in its cell. */
#ifndef KESRA_TEXT_STCF_RASTER_H
#define KESRA_TEXT_STCF_RASTER_H

#include <cstdint>

namespace kesra::stcf {

constexpr int kMaxCell = 100;
constexpr int kMaxCrossings = 50;
constexpr int kMaxScanlines = kMaxCell * 4;
constexpr int kMaxBitsBytes = (kMaxCell * 4 + 7) / 8 * kMaxScanlines;
/* Far beyond any real glyph; more edges mark a damaged outline, whose cost
 * would otherwise grow with the whole file. */
constexpr int kMaxEdges = 32768;

/* Subsamples per pixel for a level count, and the cell they cover. */
struct Grid {
    int width = 0, height = 0;  // the cell in pixels
    int adjust = 0;             // the em spans width + adjust by height + adjust pixels
    int across = 0, down = 0;   // subsamples per pixel
    int columns() const { return width * across; }
    int rows() const { return height * down; }
    int bits_stride() const { return (columns() + 7) / 8; }
};

/* False for a level count other than 4, 6, 8, 12 or 16. */
bool make_grid(int levels, int width, int height, int adjust, Grid* grid);

/* Where an outline sits in the em: offset and scales in 1/128. */
struct Placement {
    int32_t dx = 0, dy = 25;
    int32_t sx = 128, sy = 128;
};

struct GridPoint {
    int32_t x, y;  // 26.6 subsamples
};

/* em (x, y) of an outline point (its own units, before placement) on the grid. */
GridPoint to_grid(const Grid& grid, const Placement& place, int32_t x, int32_t y);

/* Collects the crossings of one glyph's edges and fills them into the 1-bit
 * buffer. Crossings past kMaxCrossings on one scanline are dropped. */
class ScanConverter {
   public:
    explicit ScanConverter(const Grid& grid);
    void move_to(GridPoint p) { current_ = p; }
    void line_to(GridPoint p);
    void cubic_to(GridPoint c1, GridPoint c2, GridPoint p);
    GridPoint current() const { return current_; }
    /* True once more than kMaxEdges edges were given: the glyph is dropped. */
    bool overflowed() const { return edges_ > kMaxEdges; }
    /* Sets the spans into bits (rows top-down, bits_stride bytes apart, zeroed
     * by the caller), then forgets the crossings. */
    void fill(uint8_t* bits);

   private:
    void add_edge(GridPoint a, GridPoint b);
    int pieces_for(GridPoint p0, GridPoint c1, GridPoint c2, GridPoint p3) const;
    Grid grid_;
    GridPoint current_{0, 0};
    int edges_ = 0;
};

/* Coverage of each pixel (0..across * down) from the 1-bit buffer, rows
 * grid.width bytes apart. */
void reduce_bits(const Grid& grid, const uint8_t* bits, uint8_t* coverage);

}  // namespace kesra::stcf

#endif
