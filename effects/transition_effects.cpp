/* transition_effects.cpp - the transitions: each composes its steps into the
 * output from the old and the new frame and presents them; then the finish
 * shows the new frame. The moving effects step by offsets k * i * i; a step
 * whose offset reaches the edge is skipped and presents nothing. */
#include <algorithm>
#include <cstring>
#include <vector>

#include "cedraw.h"
#include "effects/scale_internal.h"
#include "effects/transition.h"

namespace kesra {
namespace {

struct Geometry {
    RECT rc;
    int64_t w, h, cx, cy;
};

Geometry geometry_of(const RECT& rc) {
    const int64_t w = int64_t{rc.right} - rc.left, h = int64_t{rc.bottom} - rc.top;
    return Geometry{rc, w, h, rc.left + w / 2, rc.top + h / 2};
}

RECT rect_of(int64_t l, int64_t t, int64_t r, int64_t b) {
    auto c = [](int64_t v) { return static_cast<LONG>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
    return RECT{c(l), c(t), c(r), c(b)};
}

void copy_whole(const Canvas& dst, const Canvas& src, size_t bytes) {
    std::memcpy(dst.origin, src.origin, bytes);
}

/* Whether a whole buffer is exactly its rows, so that a step can copy and
 * compose in one pass (blend_over, frame_over). */
bool rows_make_buffer(const TransitionFrames& f) {
    return f.out.ypitch >= 2 * f.out.width &&
           f.bytes == static_cast<size_t>(f.out.ypitch) * static_cast<size_t>(f.out.height);
}

tagCOMPOSE_PARAM param_of(DWORD mode, const RECT& rc) {
    tagCOMPOSE_PARAM p{};
    p.dwMode = mode;
    p.rcArea = rc;
    return p;
}

void darken_checker(const Canvas& c) { compose_frame(c, Canvas{}, param_of(COMPOSE_CHECKER, RECT{})); }

/* The zoom frame: a white frame grows from the centre over the darkened new frame. */
void zoom_frame(const TransitionFrames& f, const Geometry& g, int steps, const PresentSink& present) {
    darken_checker(f.new_frame);
    const int64_t dx = g.w / (2 * steps), dy = g.h / (2 * steps);
    int64_t l = g.cx - g.w / 10, t = g.cy - g.h / 10, r = g.cx + g.w / 10, b = g.cy + g.h / 10;
    const bool one_pass = rows_make_buffer(f);
    auto step = [&](const RECT& rc) {
        if (one_pass) {
            frame_over(f.out, f.new_frame, rc);
        } else {
            copy_whole(f.out, f.new_frame, f.bytes);
            compose_frame(f.out, Canvas{}, param_of(COMPOSE_FRAME, rc));
        }
        present();
    };
    for (int i = 0; i < steps; ++i, l -= dx, r += dx, t -= dy, b += dy) step(rect_of(l, t, r, b));
    step(g.rc);
}

/* The old frame over the new one at a level falling from 32. */
void cross_fade(const TransitionFrames& f, const Geometry& g, int steps, const PresentSink& present) {
    const int d = std::max(32 / steps, 1);
    tagCOMPOSE_PARAM p = param_of(COMPOSE_BLEND, g.rc);
    const bool one_pass = rows_make_buffer(f);
    for (int i = 0, level = 32; i < steps; ++i, level -= d) {
        if (one_pass) {
            blend_over(f.out, f.new_frame, f.old_frame, g.rc, level);
        } else {
            copy_whole(f.out, f.new_frame, f.bytes);
            p.nLevel = level;
            compose_frame(f.out, f.old_frame, p);
        }
        present();
    }
}

/* Offsets k * i * i for i = 0 .. steps - 1, k = edge / steps^2 (at least 1). */
std::vector<int64_t> quadratic_offsets(int64_t edge, int steps) {
    const int64_t k = std::max<int64_t>(edge / (int64_t{steps} * steps), 1);
    std::vector<int64_t> offsets(static_cast<size_t>(steps));
    for (int i = 0; i < steps; ++i) offsets[static_cast<size_t>(i)] = k * i * i;
    return offsets;
}

/* out: the old frame moves away over the new one at growing offsets; in: the
 * new frame comes in over the old one, the offsets (held at the edge) used
 * from the last to the first. */
void moving(const TransitionFrames& f, const Geometry& g, bool out, DWORD mode, int64_t edge, int steps,
            const PresentSink& present) {
    std::vector<int64_t> offsets = quadratic_offsets(edge, steps);
    if (!out) {
        for (int64_t& o : offsets) o = std::min(o, edge);
        std::reverse(offsets.begin(), offsets.end());
    }
    const Canvas& base = out ? f.new_frame : f.old_frame;
    const Canvas& mover = out ? f.old_frame : f.new_frame;
    tagCOMPOSE_PARAM p = param_of(mode, g.rc);
    for (int64_t o : offsets) {
        if (o >= edge) continue;
        copy_whole(f.out, base, f.bytes);
        p.nOffset = static_cast<LONG>(o);
        compose_frame(f.out, mover, p);
        present();
    }
}

/* Pixels of a source image: a plane of its own or a rectangle of a frame. */
struct SourcePlane {
    const uint16_t* pixels;
    size_t pitch;  // pixels from one row to the next
    LONG width, height;
};

/* The source scaled to width x height (nearest neighbour, as effect_scale
 * makes it) and drawn at (x, y) with every pixel blended at one level: the
 * image mode after a uniform alpha on an image without an alpha plane, whose
 * levels would all be level. Row by row, without making the scaled planes:
 * the columns are planned once, a row that maps 1:1 blends straight from
 * the source. With a base, out first becomes a copy of it, in the same pass. */
void draw_scaled_at_level(const Canvas& out, const Canvas* base, const SourcePlane& source, LONG width,
                          LONG height, int64_t x, int64_t y, int level) {
    Block b;
    if (!source.pixels || source.width < 1 || source.height < 1 || width < 1 || height < 1 ||
        !clip_block(x, y, 0, 0, width, height, width, height, out.width, out.height, &b)) {
        if (base) copy_around(out, *base, RECT{}, nullptr);
        return;
    }
    const double fx = 1.0 / (static_cast<double>(width) / source.width);
    const double fy = 1.0 / (static_cast<double>(height) / source.height);
    std::vector<LONG> columns(static_cast<size_t>(b.w));
    for (int32_t i = 0; i < b.w; ++i)
        columns[static_cast<size_t>(i)] = std::min<LONG>(nearest_index((b.sx + i) * fx), source.width - 1);
    const ColumnGather plan(std::move(columns), source.width);
    std::vector<uint16_t> row(plan.contiguous() ? 0 : static_cast<size_t>(b.w));
    auto draw_row = [&](uint16_t* o, const uint16_t* under, int64_t screen_y) {
        const int32_t j = static_cast<int32_t>(screen_y - b.dy);
        const LONG source_row = std::min<LONG>(nearest_index((b.sy + j) * fy), source.height - 1);
        const uint16_t* in = source.pixels + static_cast<size_t>(source_row) * source.pitch;
        if (plan.contiguous()) {
            blend_span_into(o, under, in + plan.first(), plan.size(), level);
            return;
        }
        plan.blend_into(o, under, in, level, row.data());
    };
    if (base) {
        copy_around(out, *base, RECT{b.dx, b.dy, b.dx + b.w, b.dy + b.h}, draw_row);
        return;
    }
    for (int32_t j = 0; j < b.h; ++j) {
        uint16_t* o = out.at(b.dx, b.dy + j);
        draw_row(o, o, b.dy + j);
    }
}

/* The new content grows out of the centre and fades in over the dimmed old
 * frame. An area wholly on the screen is read in place (nothing writes the
 * new frame meanwhile); another is captured first, with zeros off the screen. */
void zoom(const TransitionFrames& f, const Geometry& g, int steps, const PresentSink& present) {
    darken_checker(f.old_frame);
    tagEFFECTIMAGE capture{};
    SourcePlane source{};
    const RECT& rc = g.rc;
    if (rc.left >= 0 && rc.top >= 0 && rc.left < rc.right && rc.top < rc.bottom &&
        rc.right <= f.new_frame.width && rc.bottom <= f.new_frame.height && f.new_frame.ypitch > 0 &&
        f.new_frame.ypitch % 2 == 0 && f.new_frame.origin != f.out.origin) {
        source = SourcePlane{f.new_frame.at(rc.left, rc.top), static_cast<size_t>(f.new_frame.ypitch / 2),
                             static_cast<LONG>(g.w), static_cast<LONG>(g.h)};
    } else if (effect_capture(&capture, f.new_frame, g.rc)) {
        source = SourcePlane{capture.pPixels, static_cast<size_t>(capture.nWidth), capture.nWidth,
                             capture.nHeight};
    }
    const int64_t hw = g.w / 2, hh = g.h / 2;
    const int64_t k = std::max<int64_t>(hw / (int64_t{steps} * steps), 1);
    int level = 32 - 3 * steps;
    const bool one_pass = rows_make_buffer(f);
    for (int j = steps - 1; j >= 0; --j, level += 3) {
        const int64_t w = std::max<int64_t>(hw - int64_t{j} * j * k, 0);
        if (w <= 0 || level < 0) continue;
        const int64_t h = (w * hh) / hw;
        if (h <= 0) continue;
        if (!one_pass) copy_whole(f.out, f.old_frame, f.bytes);
        draw_scaled_at_level(f.out, one_pass ? &f.old_frame : nullptr, source, static_cast<LONG>(2 * w),
                             static_cast<LONG>(2 * h), g.cx - w, g.cy - h, level);
        present();
    }
    effect_free(&capture);
}

/* The new content as a trapezoid that narrows and widens again. */
void swing(const TransitionFrames& f, const Geometry& g, const PresentSink& present) {
    darken_checker(f.old_frame);
    tagEFFECTIMAGE capture{};
    effect_capture(&capture, f.new_frame, g.rc);
    const int64_t hw = g.w / 2, H = g.h, cx = g.rc.left + hw, cy = g.rc.top + H / 2;
    const int64_t A[4] = {hw, hw / 2, hw / 4, hw / 2};
    const int64_t B[4] = {H, 7 * H / 6, 5 * H / 4, 7 * H / 6};
    const double D[4] = {0.75, 0.75, 0.9, 0.9};
    for (int i = 0; i < 4; ++i) {
        const int64_t a = static_cast<int64_t>(static_cast<double>(A[i]) * D[i]);
        const double b = static_cast<double>(B[i]) * D[i];
        const int64_t t = static_cast<int64_t>(-0.5 * b), u = static_cast<int64_t>(0.5 * b);
        tagEFFECTIMAGE warped{};
        warped.nWidth = static_cast<LONG>(2 * a);
        warped.nHeight = static_cast<LONG>(u - t);
        warped.nWarpMode = (i == 0 || i == 3) ? WARP_LEFT : WARP_RIGHT;
        warped.bMirror = i < 3;
        warped.nEdgeFrom = static_cast<LONG>(std::max<int64_t>(0, u - H / 2));
        warped.nEdgeTo = static_cast<LONG>(std::min<int64_t>(t + 3 * H / 2, u - t));
        effect_warp(&warped, capture);
        if (i < 3) {
            tagCOMPOSE_PARAM dim = param_of(COMPOSE_CHECKER, RECT{});
            dim.Image = warped;
            compose_frame(Canvas{}, Canvas{}, dim);
        }
        copy_whole(f.out, f.old_frame, f.bytes);
        tagCOMPOSE_PARAM p = param_of(COMPOSE_IMAGE_PIXELS, rect_of(cx - a, cy + t, cx + a, cy + u));
        p.Image = warped;
        compose_frame(f.out, Canvas{}, p);
        present();
        effect_free(&warped);
    }
    effect_free(&capture);
}

/* Keyframes of the turn in units of a 480 x 272 area: left x, right x, the
 * short edge's top and bottom y, darkening level. */
struct TurnKey {
    int left, right, top, bottom, level;
};
constexpr TurnKey kTurnKeys[8] = {
    {45, 469, 23, 249, 0},   {88, 450, 39, 233, 5}, {135, 405, 48, 224, 10}, {187, 330, 64, 208, 16},
    {149, 292, 56, 216, 10}, {76, 343, 50, 222, 5}, {31, 387, 37, 235, 0},   {9, 434, 21, 251, 0},
};

/* A turn of the screen about a vertical axis, on black: four frames of the
 * old frame, four of the new one. */
void turn(const TransitionFrames& f, const Geometry& g, bool out, const PresentSink& present) {
    tagEFFECTIMAGE capture{};
    effect_capture(&capture, f.old_frame, g.rc);
    for (int frame = 0; frame < 8; ++frame) {
        if (frame == 4) {
            effect_free(&capture);
            effect_capture(&capture, f.new_frame, g.rc);
        }
        const TurnKey& key = kTurnKeys[out ? frame : 7 - frame];
        const int64_t l = key.left * g.w / 480, r = key.right * g.w / 480;
        tagEFFECTIMAGE warped{};
        warped.nWidth = static_cast<LONG>(r - l);
        warped.nHeight = static_cast<LONG>(g.h);
        warped.nWarpMode = ((frame < 4) == out) ? WARP_LEFT : WARP_RIGHT;
        warped.nEdgeFrom = static_cast<LONG>(key.top * g.h / 272);
        warped.nEdgeTo = static_cast<LONG>(key.bottom * g.h / 272);
        effect_warp(&warped, capture);
        std::memset(f.out.origin, 0, f.bytes);
        tagCOMPOSE_PARAM p = param_of(COMPOSE_DARK_IMAGE, rect_of(l, 0, r, g.h));
        p.nLevel = key.level;
        p.Image = warped;
        compose_frame(f.out, Canvas{}, p);
        present();
        effect_free(&warped);
    }
    effect_free(&capture);
}

/* The split e names, the old frame moving out (out) or the new one in;
 * false when e names none. */
bool run_split(const TransitionFrames& f, const Geometry& g, bool out, DWORD e, LONG time,
               const PresentSink& present) {
    if (e & RF_SPLIT_V)
        moving(f, g, out, COMPOSE_SPLIT_V, g.h / 2, transition_steps(time, 15), present);
    else if (e & RF_SPLIT_H)
        moving(f, g, out, COMPOSE_SPLIT_H, g.w / 2, transition_steps(time, 20), present);
    else
        return false;
    return true;
}

/* The slide e names, if any, the old frame moving out (out) or the new one in. */
void run_slide(const TransitionFrames& f, const Geometry& g, bool out, DWORD e, LONG time,
               const PresentSink& present) {
    const int slide = transition_steps(time, 30);
    if (e & RF_SLIDE_UP) return moving(f, g, out, COMPOSE_SLIDE_UP, g.h, slide, present);
    if (e & RF_SLIDE_DOWN) return moving(f, g, out, COMPOSE_SLIDE_DOWN, g.h, slide, present);
    if (e & RF_SLIDE_LEFT) return moving(f, g, out, COMPOSE_SLIDE_LEFT, g.w, slide, present);
    if (e & RF_SLIDE_RIGHT) return moving(f, g, out, COMPOSE_SLIDE_RIGHT, g.w, slide, present);
}

void run_out_effect(const TransitionFrames& f, const Geometry& g, DWORD e, LONG time,
                    const PresentSink& present) {
    if (e & RF_ZOOMFRAME) return zoom_frame(f, g, transition_steps(time, 100), present);
    if (e & RF_FADE) return cross_fade(f, g, transition_steps(time, 32), present);
    if (run_split(f, g, true, e, time, present)) return;
    if (e & RF_ZOOM) return zoom(f, g, transition_steps(time, 20), present);
    if (e & RF_SWING) return swing(f, g, present);
    if (e & RF_TURN) return turn(f, g, true, present);
    run_slide(f, g, true, e, time, present);
}

void run_in_effect(const TransitionFrames& f, const Geometry& g, DWORD e, LONG time,
                   const PresentSink& present) {
    if (e & (RF_FADE | RF_ZOOM | RF_SWING)) return cross_fade(f, g, transition_steps(time, 32), present);
    if (run_split(f, g, false, e, time, present)) return;
    if (e & RF_TURN) return turn(f, g, false, present);
    run_slide(f, g, false, e, time, present);
}

}  // namespace

int transition_steps(LONG nTime, int max) { return std::clamp(nTime / 100, 1, max); }

void run_transition(const TransitionFrames& frames, DWORD dwEffect, const RECT& area, LONG nTime,
                    const PresentSink& present) {
    const Geometry g = geometry_of(area);
    if (dwEffect & RF_OUT)
        run_out_effect(frames, g, dwEffect, nTime, present);
    else if (dwEffect & RF_IN)
        run_in_effect(frames, g, dwEffect, nTime, present);
    copy_whole(frames.out, frames.new_frame, frames.bytes);
    present();
}

}  // namespace kesra
