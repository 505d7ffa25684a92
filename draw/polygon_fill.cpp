/* polygon_fill.cpp - the scan fill. Edge x positions are fixed point with 12
 * fractional bits (held in 64 bits so that far-off vertices cannot wrap); an
 * edge covers rows y_top ... y_bottom - 1. The active list is ordered only when
 * an edge joins it; each pair of active edges gives a span that leaves out its
 * left pixel (column floor(x)) except at column 0. The fill keeps its active
 * edges in an array and sorts the edges by row in buckets; the plain fill, a
 * linked list and one comparison sort, is the reference it is held to. */
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "draw/polygon.h"
#include "draw/scratch.h"
#include "draw/span_row.h"

namespace kesra {

namespace {

constexpr int kFixedShift = 12;
constexpr int kStaticEdges = 2000;

struct Edge {
    int32_t y_top;
    int32_t y_bottom;
    int64_t x;     // on the current scan line, 12 fractional bits
    int64_t dxdy;  // step per scan line, 12 fractional bits
    Edge* prev;
    Edge* next;
};

/* The plain fill's edge records and sorted pointers (terminated by a null),
 * grown to the largest polygon seen on the thread. */
struct PlainEdgeTables {
    ScratchArray<Edge> edges;
    ScratchArray<Edge*> sorted;
};

int64_t count_sloped_edges(const POINT* pts, int n) {
    int64_t count = 0;
    for (int i = 0; i < n; ++i)
        if (pts[i].y != pts[i == 0 ? n - 1 : i - 1].y) ++count;
    return count;
}

/* Each vertex with the one before it (the first with the last); the edges
 * come back sorted by y_top, then x, then dxdy, null-terminated. */
int64_t build_edges(const POINT* pts, int n, Edge* edges, Edge** sorted) {
    int64_t count = 0;
    for (int i = 0; i < n; ++i) {
        const POINT& cur = pts[i];
        const POINT& prev = pts[i == 0 ? n - 1 : i - 1];
        if (cur.y == prev.y) continue;
        Edge& e = edges[count];
        const POINT& upper = cur.y < prev.y ? cur : prev;
        e.y_top = std::min(cur.y, prev.y);
        e.y_bottom = std::max(cur.y, prev.y);
        e.x = static_cast<int64_t>(upper.x) * (int64_t{1} << kFixedShift);
        e.dxdy = (int64_t{prev.x} - cur.x) * (int64_t{1} << kFixedShift) / (int64_t{prev.y} - cur.y);
        e.prev = e.next = nullptr;
        sorted[count] = &e;
        ++count;
    }
    std::sort(sorted, sorted + count, [](const Edge* a, const Edge* b) {
        if (a->y_top != b->y_top) return a->y_top < b->y_top;
        if (a->x != b->x) return a->x < b->x;
        return a->dxdy < b->dxdy;
    });
    sorted[count] = nullptr;
    return count;
}

/* The active edges, kept in the order in which they joined. */
struct ActiveList {
    Edge* head = nullptr;

    /* Before the first edge further right, or level with it and not steeper
     * to the left. */
    void insert(Edge* e) {
        Edge* before = nullptr;
        Edge* at = head;
        while (at && !(at->x > e->x || (at->x == e->x && at->dxdy >= e->dxdy))) {
            before = at;
            at = at->next;
        }
        e->prev = before;
        e->next = at;
        if (at) at->prev = e;
        if (before)
            before->next = e;
        else
            head = e;
    }

    void remove_ended(int64_t y) {
        for (Edge* e = head; e;) {
            Edge* next = e->next;
            if (y >= e->y_bottom) {
                if (e->prev)
                    e->prev->next = next;
                else
                    head = next;
                if (next) next->prev = e->prev;
            }
            e = next;
        }
    }

    /* Only edges that have a partner move on: an odd last edge stays put. */
    void advance_pairs(int64_t rows) {
        for (Edge* a = head; a && a->next; a = a->next->next) {
            a->x += a->dxdy * rows;
            a->next->x += a->next->dxdy * rows;
        }
    }

    int64_t first_end() const {
        int64_t end = INT64_MAX;
        for (const Edge* e = head; e; e = e->next) end = std::min<int64_t>(end, e->y_bottom);
        return end;
    }
};

/* Rows above the screen draw nothing, so the walk jumps from one change of
 * the active list to the next there; rows below the screen are not walked. */
template <class SpanFn>
void walk_scan_lines(const Canvas& c, Edge* const* sorted, SpanFn span) {
    if (!sorted[0]) return;
    int64_t y = sorted[0]->y_top;
    ActiveList active;
    while (true) {
        while (*sorted && (*sorted)->y_top == y) active.insert(*sorted++);
        active.remove_ended(y);
        if (!active.head && !*sorted) return;
        if (y >= c.height) return;
        if (y < 0) {
            int64_t next = std::min<int64_t>(active.first_end(), 0);
            if (*sorted) next = std::min<int64_t>(next, (*sorted)->y_top);
            active.advance_pairs(next - y);
            y = next;
            continue;
        }
        for (Edge* a = active.head; a && a->next; a = a->next->next) {
            const int64_t xl = a->x >> kFixedShift, xr = a->next->x >> kFixedShift;
            int64_t start = xl != 0 ? xl + 1 : 0, end = xr;
            if (end > start && clamp_run(start, end, c.width))
                span(static_cast<int32_t>(start), static_cast<int32_t>(end), static_cast<int32_t>(y));
            a->x += a->dxdy;
            a->next->x += a->next->dxdy;
        }
        ++y;
    }
}

template <class SpanFn>
void scan_fill_plain_with(const Canvas& c, const POINT* pts, int n, SpanFn span) {
    if (!pts || n < 2 || !c.origin) return;
    thread_local PlainEdgeTables tables;
    const int64_t count = count_sloped_edges(pts, n);
    Edge* edges = tables.edges.take(static_cast<size_t>(count) + 1);
    Edge** sorted = tables.sorted.take(static_cast<size_t>(count) + 2);
    if (!edges || !sorted) return;
    build_edges(pts, n, edges, sorted);
    walk_scan_lines(c, sorted, span);
}

/* ---- the fill ---- */

/* An edge as it waits to join and as it is active: what the walk reads. */
struct ActiveEdge {
    int64_t x;     // on the current scan line, 12 fractional bits
    int64_t dxdy;  // step per scan line, 12 fractional bits
    int64_t y_bottom;
};

/* The step per scan line of an edge from (x0, y0) to (x1, y1), y0 != y1,
 * truncated toward zero: most map edges span one row and need no division,
 * most others fit a 32-bit one. */
int64_t edge_step(int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
    const int64_t num = (x1 - x0) * (int64_t{1} << kFixedShift), den = y1 - y0;
    if (den == 1) return num;
    if (den == -1) return -num;
    if (num >= INT32_MIN && num <= INT32_MAX && den >= INT32_MIN && den <= INT32_MAX)
        return static_cast<int32_t>(num) / static_cast<int32_t>(den);
    return num / den;
}

/* Working arrays of one fill: the edges, their order of joining (by row,
 * then x, then step), the active edges and the row buckets of the sort.
 * Polygons of up to kStaticEdges vertices use the fixed arrays. */
struct FillTables {
    ActiveEdge edges[kStaticEdges];
    int32_t tops[kStaticEdges];
    uint32_t order[kStaticEdges];
    ActiveEdge active[kStaticEdges];
    ScratchArray<ActiveEdge> big_edges;
    ScratchArray<int32_t> big_tops;
    ScratchArray<uint32_t> big_order;
    ScratchArray<ActiveEdge> big_active;
    ScratchArray<uint32_t> buckets;
};

struct FillStore {
    ActiveEdge* edges = nullptr;
    int32_t* tops = nullptr;
    uint32_t* order = nullptr;
    ActiveEdge* active = nullptr;

    bool take(FillTables& t, int64_t count) {
        if (count <= kStaticEdges) {
            edges = t.edges;
            tops = t.tops;
            order = t.order;
            active = t.active;
            return true;
        }
        const size_t n = static_cast<size_t>(count);
        edges = t.big_edges.take(n);
        tops = t.big_tops.take(n);
        order = t.big_order.take(n);
        active = t.big_active.take(n);
        return edges && tops && order && active;
    }
};

bool joins_before(const ActiveEdge* edges, const int32_t* tops, uint32_t a, uint32_t b) {
    if (tops[a] != tops[b]) return tops[a] < tops[b];
    if (edges[a].x != edges[b].x) return edges[a].x < edges[b].x;
    return edges[a].dxdy < edges[b].dxdy;
}

/* order[0 ... count - 1] by row of joining, then x, then step. Many edges
 * over rows within a few times their count are counted into buckets, each
 * bucket then sorted by insertion (few edges join on one row); others take a
 * comparison sort. */
void sort_by_joining(FillTables& t, const ActiveEdge* edges, const int32_t* tops, uint32_t* order,
                     int64_t count) {
    if (count == 0) return;
    int64_t lo = INT64_MAX, hi = INT64_MIN;
    for (int64_t i = 0; i < count; ++i) {
        lo = std::min<int64_t>(lo, tops[i]);
        hi = std::max<int64_t>(hi, tops[i]);
    }
    const int64_t rows = hi - lo + 1;
    // Buckets pay a pass over every row: worth it for many edges over few rows.
    uint32_t* starts =
        count >= 64 && rows <= 4 * count ? t.buckets.take(static_cast<size_t>(rows) + 1) : nullptr;
    if (!starts) {
        for (int64_t i = 0; i < count; ++i) order[i] = static_cast<uint32_t>(i);
        std::sort(order, order + count,
                  [edges, tops](uint32_t a, uint32_t b) { return joins_before(edges, tops, a, b); });
        return;
    }
    std::memset(starts, 0, (static_cast<size_t>(rows) + 1) * sizeof *starts);
    for (int64_t i = 0; i < count; ++i) ++starts[tops[i] - lo + 1];
    for (int64_t r = 0; r < rows; ++r) starts[r + 1] += starts[r];
    for (int64_t i = 0; i < count; ++i) order[starts[tops[i] - lo]++] = static_cast<uint32_t>(i);
    // Each bucket now ends where the next one began.
    const auto by_x = [edges](uint32_t a, uint32_t b) {
        return edges[a].x != edges[b].x ? edges[a].x < edges[b].x : edges[a].dxdy < edges[b].dxdy;
    };
    for (int64_t r = 0, first = 0; r < rows; first = starts[r++]) {
        uint32_t* const b = order + first;
        const int64_t size = starts[r] - first;
        if (size > 16) {
            std::sort(b, b + size, by_x);
            continue;
        }
        for (int64_t i = 1; i < size; ++i) {
            const uint32_t e = b[i];
            int64_t j = i;
            for (; j > 0 && by_x(e, b[j - 1]); --j) b[j] = b[j - 1];
            b[j] = e;
        }
    }
}

/* The edges of the polygon (each vertex with the one before it), horizontal
 * ones left out; their number. */
int64_t build_fill_edges(const POINT* pts, int n, ActiveEdge* edges, int32_t* tops) {
    int64_t count = 0;
    for (int i = 0; i < n; ++i) {
        const POINT& cur = pts[i];
        const POINT& prev = pts[i == 0 ? n - 1 : i - 1];
        if (cur.y == prev.y) continue;
        const POINT& upper = cur.y < prev.y ? cur : prev;
        tops[count] = std::min(cur.y, prev.y);
        edges[count] = {static_cast<int64_t>(upper.x) * (int64_t{1} << kFixedShift),
                        edge_step(cur.x, cur.y, prev.x, prev.y), std::max(cur.y, prev.y)};
        ++count;
    }
    return count;
}

/* The active edges in an array, in the order in which they joined: the same
 * walk as the linked list's, edges that end taken out in the pass that draws
 * the row's spans. */
struct ActiveArray {
    ActiveEdge* items;
    int64_t size = 0;

    /* Before the first edge further right, or level with it and not steeper
     * to the left (edges that end on this row still count). */
    void insert(const ActiveEdge& e) {
        int64_t i = 0;
        while (i < size && !(items[i].x > e.x || (items[i].x == e.x && items[i].dxdy >= e.dxdy))) ++i;
        for (int64_t j = size; j > i; --j) items[j] = items[j - 1];  // a few edges: no call
        items[i] = e;
        ++size;
    }

    void remove_ended(int64_t y) {
        int64_t kept = 0;
        for (int64_t i = 0; i < size; ++i)
            if (y < items[i].y_bottom) items[kept++] = items[i];
        size = kept;
    }

    /* Only edges that have a partner move on: an odd last edge stays put. */
    void advance_pairs(int64_t rows) {
        for (int64_t i = 0; i + 1 < size; i += 2) {
            items[i].x += items[i].dxdy * rows;
            items[i + 1].x += items[i + 1].dxdy * rows;
        }
    }

    int64_t first_end() const {
        int64_t end = INT64_MAX;
        for (int64_t i = 0; i < size; ++i) end = std::min(end, items[i].y_bottom);
        return end;
    }
};

template <class SpanFn>
void walk_rows(const Canvas& c, const ActiveEdge* edges, const int32_t* tops, const uint32_t* order,
               int64_t count, ActiveEdge* active_items, SpanFn span) {
    if (count == 0) return;
    int64_t next = 0;
    int64_t y = tops[order[0]];
    ActiveArray active{active_items};
    while (true) {
        for (; next < count && tops[order[next]] == y; ++next) active.insert(edges[order[next]]);
        if (y >= c.height) return;
        if (y < 0) {
            active.remove_ended(y);
            if (active.size == 0 && next == count) return;
            int64_t to = std::min<int64_t>(active.first_end(), 0);
            if (next < count) to = std::min<int64_t>(to, tops[order[next]]);
            active.advance_pairs(to - y);
            y = to;
            continue;
        }
        // Ended edges are dropped and each pair drawn as the array is compacted.
        ActiveEdge* const a = active.items;
        int64_t kept = 0;
        for (int64_t i = 0; i < active.size; ++i) {
            if (y >= a[i].y_bottom) continue;
            // Edges move only after one ends: a copy in place would read each
            // x back right after the row before stored it.
            if (kept != i) a[kept] = a[i];
            ++kept;
            if ((kept & 1) != 0) continue;
            ActiveEdge& l = a[kept - 2];
            ActiveEdge& r = a[kept - 1];
            const int64_t xl = l.x >> kFixedShift, xr = r.x >> kFixedShift;
            int64_t start = xl != 0 ? xl + 1 : 0, end = xr;
            if (end > start && clamp_run(start, end, c.width))
                span(static_cast<int32_t>(start), static_cast<int32_t>(end), static_cast<int32_t>(y));
            l.x += l.dxdy;
            r.x += r.dxdy;
        }
        active.size = kept;
        if (kept == 0 && next == count) return;
        ++y;
    }
}

template <class SpanFn>
void scan_fill_with(const Canvas& c, const POINT* pts, int n, SpanFn span) {
    if (!pts || n < 2 || !c.origin) return;
    thread_local FillTables tables;
    FillStore store;
    // Room for an edge per vertex: no pass to count the horizontal ones first.
    if (!store.take(tables, n)) return;
    const int64_t count = build_fill_edges(pts, n, store.edges, store.tops);
    sort_by_joining(tables, store.edges, store.tops, store.order, count);
    walk_rows(c, store.edges, store.tops, store.order, count, store.active, span);
}

/* Inlined into each walk: a call per span costs more than a short span. */
inline __attribute__((always_inline)) void store_color_span(const Canvas& c, int32_t lo, int32_t hi,
                                                            int32_t y, uint16_t color) {
    store_run(reinterpret_cast<uint8_t*>(c.at(lo, y)), c.xpitch, int64_t{hi} - lo + 1, color);
}

}  // namespace

void scan_fill(const Canvas& c, const POINT* pts, int n, uint16_t color) {
    scan_fill_with(c, pts, n,
                   [&c, color](int32_t lo, int32_t hi, int32_t y) { store_color_span(c, lo, hi, y, color); });
}

void scan_fill_plain(const Canvas& c, const POINT* pts, int n, uint16_t color) {
    scan_fill_plain_with(
        c, pts, n, [&c, color](int32_t lo, int32_t hi, int32_t y) { store_color_span(c, lo, hi, y, color); });
}

void scan_fill_pattern(const Canvas& c, const POINT* pts, int n, const Pattern& pattern) {
    if (!pattern.usable()) return;
    scan_fill_with(c, pts, n, [&c, &pattern](int32_t lo, int32_t hi, int32_t y) {
        store_pattern_run(c, lo, hi, y, pattern);
    });
}

}  // namespace kesra
