/* polygon_fill.cpp - the scan fill. Edge x positions are fixed point with 12
 * fractional bits (held in 64 bits so that far-off vertices cannot wrap); an
 * edge covers rows y_top ... y_bottom - 1. The active list is ordered only when
 * an edge joins it; each pair of active edges gives a span that leaves out its
 * left pixel (column floor(x)) except at column 0. */
#include <algorithm>
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

/* The edge records and the sorted pointers (terminated by a null) that a
 * fill of up to kStaticEdges edges uses; a polygon with more edges uses
 * arrays that grow to the largest polygon seen and are kept for later calls. */
struct EdgeTables {
    Edge edges[kStaticEdges];
    Edge* sorted[kStaticEdges + 2];
    ScratchArray<Edge> big_edges;
    ScratchArray<Edge*> big_sorted;
};

/* One set per thread, so that threads fill polygons at the same time; a fill
 * never starts another, so both fill variants share it. */
EdgeTables& thread_edge_tables() {
    thread_local EdgeTables tables;
    return tables;
}

struct EdgeStore {
    Edge* edges = nullptr;
    Edge** sorted = nullptr;

    bool take(EdgeTables& tables, int64_t count) {
        if (count <= kStaticEdges) {
            edges = tables.edges;
            sorted = tables.sorted;
            return true;
        }
        edges = tables.big_edges.take(static_cast<size_t>(count));
        sorted = tables.big_sorted.take(static_cast<size_t>(count) + 2);
        return edges && sorted;
    }
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
void scan_fill_with(const Canvas& c, const POINT* pts, int n, SpanFn span) {
    if (!pts || n < 2 || !c.origin) return;
    EdgeStore store;
    if (!store.take(thread_edge_tables(), count_sloped_edges(pts, n))) return;
    build_edges(pts, n, store.edges, store.sorted);
    walk_scan_lines(c, store.sorted, span);
}

}  // namespace

void scan_fill(const Canvas& c, const POINT* pts, int n, uint16_t color) {
    scan_fill_with(c, pts, n, [&c, color](int32_t lo, int32_t hi, int32_t y) {
        store_run(reinterpret_cast<uint8_t*>(c.at(lo, y)), c.xpitch, int64_t{hi} - lo + 1, color);
    });
}

void scan_fill_pattern(const Canvas& c, const POINT* pts, int n, const Pattern& pattern) {
    if (!pattern.usable()) return;
    scan_fill_with(c, pts, n, [&c, &pattern](int32_t lo, int32_t hi, int32_t y) {
        store_pattern_run(c, lo, hi, y, pattern);
    });
}

}  // namespace kesra
