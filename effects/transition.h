/* transition.h - the frame compositor and the transitions built on it. Three
 * display-shaped buffers take part: the old frame (what the screen showed),
 * the new frame (the instance buffer) and the output (the back buffer). Every
 * rectangle is half-open; every read and write is held inside the screen. */
#ifndef KESRA_EFFECTS_TRANSITION_H
#define KESRA_EFFECTS_TRANSITION_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "core/canvas.h"
#include "effects/transforms.h"
#include "wintypes.h"

/* One compositor call: seventeen 32-bit words, zeroed before every use. */
struct tagCOMPOSE_PARAM {
    DWORD dwMode;   // one COMPOSE_* bit; the lowest bit set wins
    DWORD dwSpare;  // always 0
    RECT rcArea;    // the rectangle the mode works on, screen coordinates
    LONG nLevel;    // blend level 0-32 (32 = the source colour)
    LONG nOffset;   // displacement of the moving modes, in pixels
    tagEFFECTIMAGE Image;
};

namespace kesra {

enum : DWORD {
    COMPOSE_CHECKER = 0x1,
    COMPOSE_FRAME = 0x2,
    COMPOSE_BLEND = 0x4,
    COMPOSE_SPLIT_V = 0x8,
    COMPOSE_SPLIT_H = 0x10,
    COMPOSE_IMAGE = 0x20,
    COMPOSE_IMAGE_PIXELS = 0x40,
    COMPOSE_SLIDE_UP = 0x80,
    COMPOSE_SLIDE_DOWN = 0x100,
    COMPOSE_SLIDE_LEFT = 0x200,
    COMPOSE_SLIDE_RIGHT = 0x400,
    COMPOSE_DARK_IMAGE = 0x800,
};

/* The shadow a moving edge casts on the frame beside it, toward black. */
constexpr int kShadowRamp[7] = {20, 17, 14, 11, 8, 5, 3};

/* Modifies dst by the mode of param, reading src (same geometry; unused by
 * the image modes). A null dst.origin makes the checker mode work on
 * param.Image. Returns 1. */
int compose_frame(const Canvas& dst, const Canvas& src, const tagCOMPOSE_PARAM& param);

/* A copy of base (ypitch * height bytes) into out followed by the blend or
 * the frame mode on rc, in one pass: the blend of over at level, and the
 * white frame. out, base and over have one geometry. */
void blend_over(const Canvas& out, const Canvas& base, const Canvas& over, const RECT& rc, int level);
void frame_over(const Canvas& out, const Canvas& base, const RECT& rc);

/* out becomes base byte for byte (ypitch * height), except the columns of rc
 * on the rows of rc (cut to the screen), which span(out_row, base_row, y)
 * writes, both rows from the rectangle's first column on the screen. */
using RowSpan = std::function<void(uint16_t* out, const uint16_t* base, int64_t y)>;
void copy_around(const Canvas& out, const Canvas& base, const RECT& rc, const RowSpan& span);

/* The bitmap alpha blend over n pixels (level 0 keeps d, 31 and above store
 * the source): of s into d at one level, of one colour into d, and of s into d
 * at each pixel's own level. Equal to blend565 pixel by pixel. */
void blend_span(uint16_t* d, const uint16_t* s, size_t n, int level);
void blend_span_color(uint16_t* d, size_t n, uint16_t color, int level);
void blend_span_alpha(uint16_t* d, const uint16_t* s, const uint8_t* alpha, size_t n);
/* The same blends written to out instead of d (out may be d): out[i] is what
 * d[i] would have become. Level 0 copies d. */
void blend_span_into(uint16_t* out, const uint16_t* d, const uint16_t* s, size_t n, int level);
void blend_span_color_into(uint16_t* out, const uint16_t* d, size_t n, uint16_t color, int level);

/* Every other pixel of n from first (0 or 1) becomes black: a row of the
 * checker shadow. */
void checker_span(uint16_t* row, size_t n, int first);

/* A nearest-neighbour scaled row, planned once for many rows: pixel i of an
 * output row is pixel columns[i] of its source row. Columns lie from 0 to
 * below the source width; nothing past a source row is read. */
class ColumnGather {
   public:
    ColumnGather(std::vector<LONG> columns, LONG source_width);
    /* Whether the columns are consecutive, so that a row is a plain run from first(). */
    bool contiguous() const { return contiguous_; }
    LONG first() const { return columns_.empty() ? 0 : columns_[0]; }
    size_t size() const { return columns_.size(); }
    /* out[i] = in[columns[i]] for every column; in is the source row. */
    void gather(uint16_t* out, const uint16_t* in) const;
    /* blend_span_into(out, under, the gathered row, size(), level), through
     * scratch (size() pixels) where it needs the row whole. */
    void blend_into(uint16_t* out, const uint16_t* under, const uint16_t* in, int level,
                    uint16_t* scratch) const;

   private:
    std::vector<LONG> columns_;
    LONG source_width_;
    bool contiguous_ = true;
    int group_ = 0;                // outputs per permuted group; 0 takes them one by one
    std::vector<uint16_t> index_;  // 32 indices a group, from the group's first column
};

struct TransitionFrames {
    Canvas old_frame;  // the saved copy of what the screen showed
    Canvas new_frame;  // the frame to show; the zoom frame darkens it
    Canvas out;        // where each step is composed
    size_t bytes;      // one whole buffer
};

/* Shows out; called once per presented step. */
struct PresentSink {
    void (*present)(void* context);
    void* context;
    void operator()() const { present(context); }
};

/* Runs the effect that dwEffect names (none: no steps), then the finish that
 * copies the new frame to out and presents it once more. */
void run_transition(const TransitionFrames& frames, DWORD dwEffect, const RECT& area, LONG nTime,
                    const PresentSink& present);

/* nTime / 100 held in [1, max]. */
int transition_steps(LONG nTime, int max);

/* Map zoom: a zoomed copy of a width x height source frame (rows packed)
 * into dst, which has the same size. Zoom in fills dst; zoom out draws the
 * reduced frame centred and leaves the rest. -1 for zoom <= 0. */
int zoom_map(const Canvas& dst, const uint16_t* src, double zoom);

/* One darkening pass over count pixels: every field loses v, borrowing. */
void fade_pixels(uint16_t* pixels, size_t count, uint32_t v);

}  // namespace kesra

#endif
