/* context.h - what the primitives take from a drawing context: its canvas
 * (instance buffer laid out as the display) and its current pen. */
#ifndef KESRA_DRAW_CONTEXT_H
#define KESRA_DRAW_CONTEXT_H

#include "cedraw.h"
#include "core/canvas.h"
#include "draw/lines.h"

namespace kesra {

inline Canvas canvas_of(const CCEDraw& dc) { return display_canvas(dc.m_pBuffer); }

/* The pen to draw with; a context without one selects the default pen first. */
inline CCEPen& current_pen(CCEDraw& dc) {
    if (!dc.m_pPen) dc.SetToDefaultPen();
    return *dc.m_pPen;
}

/* The current pen's width and colour, as the pen routines take them. */
inline PenShape current_pen_shape(CCEDraw& dc) {
    const CCEPen& pen = current_pen(dc);
    return PenShape{pen.m_dwWidth, pen.m_wColor};
}

}  // namespace kesra

#endif
