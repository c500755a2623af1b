// puzzle/deskindex.cpp -- the bins of the desk, the ranks of the stacking order, and the lists of
// pieces that can change between two events (active, watched, lifted).
//
// Sections: state and helpers; lifetime; keeping it current; the lists; questions.
#include "puzzle/deskindex.h"

#include <algorithm>
#include <cstring>

#include "platform/io_mem.h"
#include "platform/screen.h"
#include "puzzle/play.h"
#include "puzzle/stack.h"

namespace {

constexpr int BIN_FIRST_CAPACITY = 16;  // pieces a bin holds before it grows (doubling)

struct Bin {
    int* items;  // pieces listed here, in no order
    int count, capacity;
};

// Where a piece is listed: bins c0..c1 by r0..r1 (inclusive), c0 -1 when nowhere.
struct Placed {
    int c0, r0, c1, r1;
};

struct DeskIndex {
    int count;             // pieces
    int deskW, deskH;      // desk size the bins were cut for
    int columns, rows;     // bins
    Bin* bins;             // columns x rows, row after row
    Placed* placed;        // per piece
    int* rank;             // per piece: place from the bottom, -1 not stacked
    unsigned rankVersion;  // stack_version the ranks were read at
    int ranksRead;         // the ranks were read at all
    int* mark;             // per piece: the stamp of the last collection that met it
    int stamp;
    int* active[2];  // two lists, so the tick reads one while it writes the other
    int activeCount[2];
    int current;  // the list read now
    int* watched;
    int watchedCount;
    uint8_t* isWatched;  // per piece
    int* lifted;
    int liftedCount;
    int* scratch;  // the caller's
    int tickStale, refreshStale;
};
DeskIndex g_index;

int* ints(int n) { return (int*)io_mem_alloc((size_t)(n > 0 ? n : 1) * sizeof(int)); }

Bin& bin(int c, int r) { return g_index.bins[r * g_index.columns + c]; }

void bin_add(Bin& b, int piece) {
    if (b.count == b.capacity) {
        b.capacity = b.capacity ? 2 * b.capacity : BIN_FIRST_CAPACITY;
        b.items = (int*)io_mem_realloc(b.items, (size_t)b.capacity * sizeof(int));
    }
    b.items[b.count++] = piece;
}

void bin_remove(Bin& b, int piece) {
    for (int i = 0; i < b.count; i++)
        if (b.items[i] == piece) {
            b.items[i] = b.items[--b.count];
            return;
        }
}

void free_bins() {
    for (int i = 0; i < g_index.columns * g_index.rows; i++)
        io_mem_free(g_index.bins[i].items);
    io_mem_free(g_index.bins);
    g_index.bins = nullptr;
    g_index.columns = g_index.rows = 0;
}

// The bins a piece's screen rectangle meets; c0 -1 when it is off the desk.
Placed range_of(int piece) {
    const PieceQuad& q = play_state.pieces[piece].screenQuad;
    if (q.right == -1 || q.right < q.left || q.bottom < q.top || q.right < 0 || q.bottom < 0)
        return {-1, 0, 0, 0};
    auto column = [](int x) { return std::clamp(x / DESK_BIN, 0, g_index.columns - 1); };
    auto row = [](int y) { return std::clamp(y / DESK_BIN, 0, g_index.rows - 1); };
    return {column(std::max(q.left, 0)), row(std::max(q.top, 0)), column(q.right), row(q.bottom)};
}

void list_in(int piece, const Placed& p) {
    if (p.c0 < 0) return;
    for (int r = p.r0; r <= p.r1; r++)
        for (int c = p.c0; c <= p.c1; c++)
            bin_add(bin(c, r), piece);
}

void unlist(int piece, const Placed& p) {
    if (p.c0 < 0) return;
    for (int r = p.r0; r <= p.r1; r++)
        for (int c = p.c0; c <= p.c1; c++)
            bin_remove(bin(c, r), piece);
}

// Bins for the desk as it is now, every piece listed again (the desk was resized).
void cut_bins() {
    free_bins();
    g_index.deskW = play_state.deskWidth;
    g_index.deskH = play_state.deskHeight;
    g_index.columns = std::max(1, (g_index.deskW + DESK_BIN - 1) / DESK_BIN);
    g_index.rows = std::max(1, (g_index.deskH + DESK_BIN - 1) / DESK_BIN);
    const size_t n = (size_t)g_index.columns * g_index.rows;
    g_index.bins = (Bin*)io_mem_alloc(n * sizeof(Bin));
    std::memset(g_index.bins, 0, n * sizeof(Bin));
    for (int i = 0; i < g_index.count; i++) {
        g_index.placed[i] = range_of(i);
        list_in(i, g_index.placed[i]);
    }
}

void ensure_bins() {
    if (!g_index.bins || g_index.deskW != play_state.deskWidth || g_index.deskH != play_state.deskHeight)
        cut_bins();
}

// The ranks, read again when the stacking order changed since they were read.
void ensure_ranks() {
    if (g_index.ranksRead && g_index.rankVersion == stack_version()) return;
    for (int i = 0; i < g_index.count; i++)
        g_index.rank[i] = -1;
    int r = 0;
    for (int i = play_state.bottom; i != -1 && r < g_index.count; i = play_state.pieces[i].next)
        g_index.rank[i] = r++;
    g_index.rankVersion = stack_version();
    g_index.ranksRead = 1;
}

void sort_by_rank(int* pieces, int n) {
    const int* rank = g_index.rank;
    std::sort(pieces, pieces + n, [rank](int a, int b) { return rank[a] < rank[b]; });
}

// A stamp for one collection; the marks start afresh when the stamps run out.
int next_stamp() {
    if (++g_index.stamp == 0x7FFFFFFF) {
        std::memset(g_index.mark, 0, (size_t)g_index.count * sizeof(int));
        g_index.stamp = 1;
    }
    return g_index.stamp;
}

}  // namespace

// --- Lifetime ---

void deskindex_alloc(int pieceCount) {
    deskindex_free();
    const int n = pieceCount > 0 ? pieceCount : 0;
    g_index.count = n;
    g_index.placed = (Placed*)io_mem_alloc((size_t)(n > 0 ? n : 1) * sizeof(Placed));
    for (int i = 0; i < n; i++)
        g_index.placed[i] = {-1, 0, 0, 0};
    g_index.rank = ints(n);
    g_index.mark = ints(n);
    std::memset(g_index.mark, 0, (size_t)n * sizeof(int));
    g_index.active[0] = ints(n);
    g_index.active[1] = ints(n);
    g_index.watched = ints(n);
    g_index.isWatched = (uint8_t*)io_mem_alloc((size_t)(n > 0 ? n : 1));
    std::memset(g_index.isWatched, 0, (size_t)n);
    g_index.lifted = ints(n);
    g_index.scratch = ints(n);
    g_index.ranksRead = 0;
    deskindex_touch();
}

void deskindex_free() {
    free_bins();
    for (void* p : {(void*)g_index.placed, (void*)g_index.rank, (void*)g_index.mark, (void*)g_index.active[0],
                    (void*)g_index.active[1], (void*)g_index.watched, (void*)g_index.isWatched,
                    (void*)g_index.lifted, (void*)g_index.scratch})
        io_mem_free(p);
    g_index = {};
}

// --- Keeping it current ---

void deskindex_place(int piece) {
    if (piece < 0 || piece >= g_index.count) return;
    if (!g_index.bins || g_index.deskW != play_state.deskWidth || g_index.deskH != play_state.deskHeight) {
        cut_bins();  // lists this piece too
        return;
    }
    const Placed now = range_of(piece);
    Placed& was = g_index.placed[piece];
    if (now.c0 == was.c0 && now.r0 == was.r0 && now.c1 == was.c1 && now.r1 == was.r1) return;
    unlist(piece, was);
    list_in(piece, now);
    was = now;
}

void deskindex_touch() { g_index.tickStale = g_index.refreshStale = 1; }

int deskindex_tick_stale() {
    const int stale = g_index.tickStale;
    g_index.tickStale = 0;
    return stale;
}

int deskindex_refresh_stale() {
    const int stale = g_index.refreshStale;
    g_index.refreshStale = 0;
    return stale;
}

// --- The lists ---

int deskindex_active_count() { return g_index.active[0] ? g_index.activeCount[g_index.current] : 0; }
const int* deskindex_active() { return g_index.active[g_index.current]; }

void deskindex_active_begin() {
    g_index.current = 1 - g_index.current;
    g_index.activeCount[g_index.current] = 0;
}

void deskindex_active_keep(int piece) {
    int& n = g_index.activeCount[g_index.current];
    if (n < g_index.count) g_index.active[g_index.current][n++] = piece;
}

void deskindex_watch(int piece) {
    if (piece < 0 || piece >= g_index.count || g_index.isWatched[piece]) return;
    g_index.isWatched[piece] = 1;
    g_index.watched[g_index.watchedCount++] = piece;
}

int deskindex_take_watched(int* out) {
    const int n = g_index.watchedCount;
    for (int i = 0; i < n; i++) {
        out[i] = g_index.watched[i];
        g_index.isWatched[out[i]] = 0;
    }
    g_index.watchedCount = 0;
    return n;
}

void deskindex_lifted_begin() { g_index.liftedCount = 0; }

void deskindex_lifted_add(int piece) {
    if (g_index.liftedCount < g_index.count) g_index.lifted[g_index.liftedCount++] = piece;
}

int deskindex_lifted(int* out) {
    ensure_ranks();
    int n = 0;
    for (int i = 0; i < g_index.liftedCount; i++)
        if (g_index.rank[g_index.lifted[i]] >= 0) out[n++] = g_index.lifted[i];
    sort_by_rank(out, n);
    return n;
}

int* deskindex_scratch() { return g_index.scratch; }

// --- Questions ---

int deskindex_rank(int piece) {
    if (piece < 0 || piece >= g_index.count) return -1;
    ensure_ranks();
    return g_index.rank[piece];
}

int deskindex_dirty_pieces(int* out, int most) {
    if (!g_index.count || !screen_any_dirty()) return 0;
    ensure_bins();
    Rect d;
    if (!screen_dirty_bounds(0, 0, g_index.columns * DESK_BIN - 1, g_index.rows * DESK_BIN - 1, &d)) return 0;
    ensure_ranks();
    const int stamp = next_stamp();
    const int c0 = d.x / DESK_BIN, r0 = d.y / DESK_BIN;
    const int c1 = std::min((d.x + d.w - 1) / DESK_BIN, g_index.columns - 1);
    const int r1 = std::min((d.y + d.h - 1) / DESK_BIN, g_index.rows - 1);
    int n = 0;
    for (int r = r0; r <= r1; r++)
        for (int c = c0; c <= c1; c++) {
            if (!screen_is_dirty(c * DESK_BIN, r * DESK_BIN, DESK_BIN, DESK_BIN)) continue;
            const Bin& b = bin(c, r);
            for (int k = 0; k < b.count; k++) {
                const int p = b.items[k];
                if (g_index.mark[p] == stamp) continue;
                g_index.mark[p] = stamp;
                if (g_index.rank[p] < 0) continue;
                if (n == most) return -1;
                out[n++] = p;
            }
        }
    sort_by_rank(out, n);
    return n;
}

int deskindex_top_at(int x, int y, int (*hit)(int piece, int x, int y)) {
    if (!g_index.count || x < 0 || y < 0) return -1;
    ensure_bins();
    const int c = x / DESK_BIN, r = y / DESK_BIN;
    if (c >= g_index.columns || r >= g_index.rows) return -1;
    ensure_ranks();
    const Bin& b = bin(c, r);
    int best = -1, bestRank = -1;
    for (int k = 0; k < b.count; k++) {
        const int p = b.items[k];
        const PieceQuad& q = play_state.pieces[p].screenQuad;
        if (g_index.rank[p] <= bestRank || x < q.left || x > q.right || y < q.top || y > q.bottom) continue;
        if (hit(p, x, y)) best = p, bestRank = g_index.rank[p];
    }
    return best;
}

int deskindex_consistent() {
    if (!g_index.count) return 1;
    ensure_bins();
    long listed = 0, expected = 0;
    for (int i = 0; i < g_index.count; i++) {
        const Placed p = range_of(i);
        const Placed& was = g_index.placed[i];
        if (p.c0 != was.c0 || (p.c0 >= 0 && (p.r0 != was.r0 || p.c1 != was.c1 || p.r1 != was.r1))) return 0;
        if (p.c0 < 0) continue;
        for (int r = p.r0; r <= p.r1; r++)
            for (int c = p.c0; c <= p.c1; c++) {
                const Bin& b = bin(c, r);
                if (std::count(b.items, b.items + b.count, i) != 1) return 0;
                expected++;
            }
    }
    for (int i = 0; i < g_index.columns * g_index.rows; i++)
        listed += g_index.bins[i].count;
    if (listed != expected) return 0;
    ensure_ranks();
    int r = 0;
    for (int i = play_state.bottom; i != -1 && r <= g_index.count; i = play_state.pieces[i].next)
        if (g_index.rank[i] != r++) return 0;
    return 1;
}
