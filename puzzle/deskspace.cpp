// puzzle/deskspace.cpp -- the view of the desk and free room in it.
//
// Sections: the view; the blocked grid; the lattice of squares; spreading pieces; gathering and
// the fresh scatter; places; carrying.
//
// Room is kept in two grids of small cells: the hard one blocks what no piece may ever cover (the
// title line, the windows, beyond the desk), the soft one what moved pieces should not pile onto
// (the pieces that stay, each shrunk by an eighth of a square so that neighbours may overlap a
// little). Both are summed, so asking about any rectangle costs four looks.
#include "puzzle/deskspace.h"

#include <cmath>
#include <cstring>

#include "platform/io_mem.h"
#include "puzzle/piece.h"
#include "puzzle/play.h"

namespace {

// --- The view ---

// Table pixels. While the table is the desk the view is the whole desk below the title line, so
// only `top` counts; on a large table it is the part the screen shows (`part` set).
struct View {
    int top;  // first table row in view (below the title line)
    Rect keepOut[DESK_KEEP_OUT_MAX];
    int count;
    int part;    // the view is a part of a large table: left, right, bottom count
    int left;    // first table column in view
    int right;   // first table column beyond the view
    int bottom;  // first table row beyond the view
    int band;    // the title line's rows, kept clear at the table's top
};
View g_view = {0, {}, 0, 0, 0, 0, 0, 0};

int desk_w() { return play_table_width(); }
int desk_h() { return play_table_height(); }
int view_l() { return g_view.part ? g_view.left : 0; }
int view_r() { return g_view.part ? g_view.right : desk_w(); }
int view_b() { return g_view.part ? g_view.bottom : desk_h(); }

PlayPiece& piece(int i) { return play_state.pieces[i]; }

// A piece's rectangle where it lies (unclamped, shadow not included).
PieceQuad quad_at(const PlayPiece& p, int x, int y) {
    PieceQuad q;
    piece_quad(&play_state.shapes[p.shape], x, y, p.angle, 0, 0, &q);
    return q;
}

bool meets(const Rect& r, int l, int t, int rr, int b) {
    return l < r.x + r.w && rr >= r.x && t < r.y + r.h && b >= r.y;
}

// The side of the square every piece image fits in at any quarter turn.
int largest_side() {
    int side = 1;
    for (int s = 0; s < play_state.shapeCount; s++) {
        const Image* im = play_state.shapes[s].piece;
        if (!im) continue;
        if (im->width > side) side = im->width;
        if (im->height > side) side = im->height;
    }
    return side;
}

// --- The blocked grid ---

struct Grid {
    int cell, cols, rows;
    uint8_t* marks;  // cols x rows
    int32_t* sums;   // (cols + 1) x (rows + 1): blocked cells above and left of each corner
};

Grid grid_make(int cell) {
    Grid g = {cell, (desk_w() + cell - 1) / cell, (desk_h() + cell - 1) / cell, nullptr, nullptr};
    const size_t cells = (size_t)g.cols * g.rows;
    g.marks = (uint8_t*)io_mem_alloc(cells ? cells : 1);
    std::memset(g.marks, 0, cells ? cells : 1);
    g.sums = (int32_t*)io_mem_alloc((size_t)(g.cols + 1) * (g.rows + 1) * sizeof(int32_t));
    return g;
}

void grid_release(Grid* g) {
    io_mem_free(g->marks);
    io_mem_free(g->sums);
    g->marks = nullptr;
    g->sums = nullptr;
}

// Every cell the pixel rectangle (inclusive bounds) touches becomes blocked.
void grid_mark(Grid* g, int l, int t, int r, int b) {
    const int maxX = g->cols * g->cell - 1, maxY = g->rows * g->cell - 1;
    l = l < 0 ? 0 : l, t = t < 0 ? 0 : t;
    r = r > maxX ? maxX : r, b = b > maxY ? maxY : b;
    if (r < l || b < t) return;
    for (int cy = t / g->cell; cy <= b / g->cell; cy++)
        std::memset(g->marks + (size_t)cy * g->cols + l / g->cell, 1,
                    (size_t)(r / g->cell - l / g->cell + 1));
}

void grid_sum(Grid* g) {
    const int w = g->cols + 1;
    std::memset(g->sums, 0, (size_t)w * sizeof(int32_t));
    for (int y = 0; y < g->rows; y++) {
        int32_t row = 0;
        g->sums[(size_t)(y + 1) * w] = 0;
        for (int x = 0; x < g->cols; x++) {
            row += g->marks[(size_t)y * g->cols + x];
            g->sums[(size_t)(y + 1) * w + x + 1] = g->sums[(size_t)y * w + x + 1] + row;
        }
    }
}

// Whether a blocked cell touches the pixel rectangle; beyond the grid counts as blocked.
bool grid_blocked(const Grid& g, int l, int t, int r, int b) {
    if (l < 0 || t < 0 || r >= g.cols * g.cell || b >= g.rows * g.cell || r < l || b < t) return true;
    const int w = g.cols + 1;
    const int c0 = l / g.cell, c1 = r / g.cell + 1, r0 = t / g.cell, r1 = b / g.cell + 1;
    const int32_t* s = g.sums;
    return s[(size_t)r1 * w + c1] - s[(size_t)r0 * w + c1] - s[(size_t)r1 * w + c0] +
               s[(size_t)r0 * w + c0] !=
           0;
}

// What no piece may cover: the title line, the windows, and the cells' overhang beyond the desk.
Grid hard_grid(int cell) {
    Grid g = grid_make(cell);
    if (g_view.top > 0) grid_mark(&g, 0, 0, g.cols * cell - 1, g_view.top - 1);
    if (view_l() > 0) grid_mark(&g, 0, 0, view_l() - 1, g.rows * cell - 1);
    grid_mark(&g, view_r(), 0, g.cols * cell - 1, g.rows * cell - 1);
    grid_mark(&g, 0, view_b(), g.cols * cell - 1, g.rows * cell - 1);
    for (int k = 0; k < g_view.count; k++) {
        const Rect& r = g_view.keepOut[k];
        grid_mark(&g, r.x, r.y, r.x + r.w - 1, r.y + r.h - 1);
    }
    grid_sum(&g);
    return g;
}

// --- The lattice of squares ---

struct Lattice {
    int pitch, side;     // squares of `side` pixels, `pitch` apart
    int x0, y0, nx, ny;  // top-left of square (0, 0); squares across and down
};

// The squares over the view, centred in it.
Lattice lattice_make(int pitch, int side) {
    Lattice l = {pitch, side, 0, 0, 0, 0};
    const int w = view_r() - view_l() - side, h = view_b() - g_view.top - side;
    if (w < 0 || h < 0 || pitch <= 0) return l;
    l.nx = w / pitch + 1, l.ny = h / pitch + 1;
    l.x0 = view_l() + (w - (l.nx - 1) * pitch) / 2;
    l.y0 = g_view.top + (h - (l.ny - 1) * pitch) / 2;
    return l;
}

void square_at(const Lattice& l, int i, int j, int* x, int* y) {
    *x = l.x0 + i * l.pitch, *y = l.y0 + j * l.pitch;
}

// A square wholly in view (hard) whose middle part, a pitch wide, is clear of the staying pieces
// (soft).
bool square_free(const Lattice& l, const Grid& hard, const Grid& soft, int x, int y, bool* inView) {
    *inView = !grid_blocked(hard, x, y, x + l.side - 1, y + l.side - 1);
    if (!*inView) return false;
    const int foot = l.pitch < l.side ? l.pitch : l.side, in = (l.side - foot) / 2;
    return !grid_blocked(soft, x + in, y + in, x + in + foot - 1, y + in + foot - 1);
}

// Per square: 2 free, 1 in view but over staying pieces, 0 not in view; the number free.
int lattice_states(const Lattice& l, const Grid& hard, const Grid& soft, uint8_t* states) {
    int free = 0;
    for (int j = 0; j < l.ny; j++)
        for (int i = 0; i < l.nx; i++) {
            int x, y;
            bool inView;
            square_at(l, i, j, &x, &y);
            const bool ok = square_free(l, hard, soft, x, y, &inView);
            states[(size_t)j * l.nx + i] = ok ? 2 : inView ? 1 : 0;
            free += ok;
        }
    return free;
}

// The tightest lattice worth trying and the most generous: pieces of the cut's size touch at the
// one, and lie a square and a half apart at the other (jittered) or a square apart.
Lattice lattice_for(int need, int side, int jitter, const Grid& hard, const Grid& soft, uint8_t** states) {
    const int size = play_state.record.pieceSize > 4 ? play_state.record.pieceSize : 4;
    const int low = size < side ? size : side;
    int pitch = jitter ? side * 3 / 2 : side;
    for (;;) {
        Lattice l = lattice_make(pitch, side);
        io_mem_free(*states);
        *states = (uint8_t*)io_mem_alloc((size_t)l.nx * l.ny + 1);
        if (lattice_states(l, hard, soft, *states) >= need || pitch <= low) return l;
        const int step = pitch / 16 > 1 ? pitch / 16 : 1;
        pitch = pitch - step > low ? pitch - step : low;
    }
}

// The free square nearest to (cx, cy): rings of squares around the nearest one, widened while a
// farther ring could still hold a nearer square. -1 when none is free.
int nearest_free(const Lattice& l, const uint8_t* states, int cx, int cy) {
    const int half = l.side / 2;
    auto index_of = [&](int v, int origin, int n) {
        const int d = v - origin - half;
        const int k = d > 0 ? (d + l.pitch / 2) / l.pitch : 0;
        return k >= n ? n - 1 : k;
    };
    const int ci = index_of(cx, l.x0, l.nx), cj = index_of(cy, l.y0, l.ny);
    const int rings = l.nx > l.ny ? l.nx : l.ny;
    int best = -1;
    long long bestLength = 0;
    for (int r = 0; r <= rings; r++) {
        const long long nearest = (long long)(r - 1) * l.pitch;
        if (best != -1 && nearest * nearest > bestLength) break;
        for (int dj = -r; dj <= r; dj++) {
            const int j = cj + dj;
            if (j < 0 || j >= l.ny) continue;
            const int step = (dj == -r || dj == r) ? 1 : 2 * r;
            for (int di = -r; di <= r; di += step > 0 ? step : 1) {
                const int i = ci + di;
                if (i < 0 || i >= l.nx || states[(size_t)j * l.nx + i] != 2) continue;
                const long long dx = l.x0 + i * l.pitch + half - cx, dy = l.y0 + j * l.pitch + half - cy;
                const long long length = dx * dx + dy * dy;
                if (best == -1 || length < bestLength) best = j * l.nx + i, bestLength = length;
            }
        }
    }
    return best;
}

// --- Spreading pieces ---

// Puts the piece's image in the middle of the square at (x, y).
void put_in_square(PlayPiece& p, int side, int x, int y) {
    const PieceQuad q = quad_at(p, 0, 0);
    p.x = x + (side - (q.right - q.left + 1)) / 2 - q.left;
    p.y = y + (side - (q.bottom - q.top + 1)) / 2 - q.top;
}

// A piece no square can take: moved the least that brings its rectangle into the desk below the
// title line, as far as it fits.
void clamp_into_view(PlayPiece& p) {
    const PieceQuad q = quad_at(p, p.x, p.y);
    int dx = 0, dy = 0;
    if (q.right >= view_r()) dx = view_r() - 1 - q.right;
    if (q.left + dx < view_l()) dx = view_l() - q.left;
    if (q.bottom >= view_b()) dy = view_b() - 1 - q.bottom;
    if (q.top + dy < g_view.top) dy = g_view.top - q.top;
    p.x += dx, p.y += dy;
}

// The staying pieces as obstacles: resting pieces not moved, each shrunk by an eighth of a square.
Grid soft_grid(int cell, int side, const uint8_t* moving) {
    Grid g = grid_make(cell);
    const int in = side / 8;
    for (int i = 0; i < play_state.pieceCount; i++) {
        const PlayPiece& p = piece(i);
        if (moving[i] || p.lift != 0) continue;
        const PieceQuad q = quad_at(p, p.x, p.y);
        grid_mark(&g, q.left + in, q.top + in, q.right - in, q.bottom - in);
    }
    grid_sum(&g);
    return g;
}

int cell_for(int side) { return side / 8 < 2 ? 2 : side / 8 > 8 ? 8 : side / 8; }

}  // namespace

// --- The view ---

namespace {

// A screen rectangle as the table rectangle under it (rounded outward).
Rect table_rect(const TableView& v, const Rect& r) {
    double l, t, rr, b;
    view_to_table(v, r.x, r.y, &l, &t);
    view_to_table(v, r.x + r.w, r.y + r.h, &rr, &b);
    const int x0 = (int)std::floor(l), y0 = (int)std::floor(t);
    return {x0, y0, (int)std::ceil(rr) - x0, (int)std::ceil(b) - y0};
}

}  // namespace

void desk_set_view(int top, const Rect* keepOut, int count) {
    g_view.top = g_view.band = top > 0 ? top : 0;
    g_view.count = 0;
    g_view.part = play_state.bigTable;
    if (g_view.part) {
        // The screen's part of the table; the title line keeps its rows at the table's top as well.
        const TableView& v = play_state.view;
        int l, t, r, b;
        view_visible(v, &l, &t, &r, &b);
        const Rect below = table_rect(v, {0, g_view.top, 1, 1});
        g_view.left = l, g_view.right = r + 1, g_view.bottom = b + 1;
        g_view.top = below.y > g_view.top ? below.y : g_view.top;
        if (g_view.top < t) g_view.top = t;
    }
    for (int k = 0; k < count && k < DESK_KEEP_OUT_MAX; k++)
        if (keepOut[k].w > 0 && keepOut[k].h > 0)
            g_view.keepOut[g_view.count++] =
                g_view.part ? table_rect(play_state.view, keepOut[k]) : keepOut[k];
}

void desk_set_whole_table(int top, const Rect* keepOut, int count) {
    g_view.top = g_view.band = top > 0 ? top : 0;
    g_view.count = 0;
    g_view.part = 0;
    for (int k = 0; k < count && k < DESK_KEEP_OUT_MAX; k++)
        if (keepOut[k].w > 0 && keepOut[k].h > 0)
            g_view.keepOut[g_view.count++] =
                play_state.bigTable ? table_rect(play_state.view, keepOut[k]) : keepOut[k];
}

int desk_view_top() { return g_view.top; }

int desk_in_view(int left, int top, int right, int bottom) {
    if (left < view_l() || top < g_view.top || right >= view_r() || bottom >= view_b()) return 0;
    for (int k = 0; k < g_view.count; k++)
        if (meets(g_view.keepOut[k], left, top, right, bottom)) return 0;
    return 1;
}

// --- Spreading pieces ---

void desk_spread(const uint8_t* moving, int jitter) {
    const int n = play_state.pieceCount;
    int need = 0;
    for (int i = 0; i < n; i++)
        need += moving[i] != 0;
    if (need == 0 || play_state.shapeCount <= 0) return;
    const int side = largest_side(), cell = cell_for(side);
    Grid hard = hard_grid(cell), soft = soft_grid(cell, side, moving);
    uint8_t* states = nullptr;
    const Lattice l = lattice_for(need, side, jitter, hard, soft, &states);
    const int squares = l.nx * l.ny;
    int shared = 0;  // round robin over the squares in view once no free one is left
    for (int i = play_state.top; i != -1; i = piece(i).prev) {
        if (!moving[i]) continue;
        PlayPiece& p = piece(i);
        const PieceQuad q = quad_at(p, p.x, p.y);
        int k = nearest_free(l, states, (q.left + q.right) / 2, (q.top + q.bottom) / 2);
        if (k != -1) {
            states[k] = 1;
        } else {
            for (int tries = 0; tries < squares && k == -1; tries++)
                if (states[(shared + tries) % squares] != 0) k = (shared + tries) % squares;
            if (k != -1) shared = (k + 1) % squares;
        }
        if (k == -1) {
            clamp_into_view(p);
            continue;
        }
        int x, y;
        square_at(l, k % l.nx, k / l.nx, &x, &y);
        if (jitter && l.pitch > side) {
            const int spare = (l.pitch - side) / 2;
            const int jx = play_rand() % (2 * spare + 1) - spare, jy = play_rand() % (2 * spare + 1) - spare;
            bool inView;
            if (square_free(l, hard, soft, x + jx, y + jy, &inView)) x += jx, y += jy;
        }
        put_in_square(p, side, x, y);
    }
    io_mem_free(states);
    grid_release(&hard);
    grid_release(&soft);
}

// --- Gathering and the fresh scatter ---

void desk_tidy_scatter() {
    const int n = play_state.pieceCount;
    if (n <= 0) return;
    uint8_t* moving = (uint8_t*)io_mem_alloc((size_t)n);
    for (int i = 0; i < n; i++)
        moving[i] = piece(i).lift == 0 && piece(i).group == -1;
    desk_spread(moving, 1);
    io_mem_free(moving);
}

int desk_gather_into_view() {
    const int n = play_state.pieceCount;
    if (n <= 0 || play_state.shapeCount <= 0) return 0;
    const int side = largest_side(), cell = cell_for(side);
    // The grouped pieces, each shrunk by a quarter of its width and height: a loose piece whose
    // middle lies on one lies on the group.
    Grid groups = grid_make(cell);
    for (int i = 0; i < n; i++) {
        const PlayPiece& p = piece(i);
        if (p.group == -1) continue;
        const PieceQuad q = quad_at(p, p.x, p.y);
        const int inX = (q.right - q.left + 1) / 4, inY = (q.bottom - q.top + 1) / 4;
        grid_mark(&groups, q.left + inX, q.top + inY, q.right - inX, q.bottom - inY);
    }
    grid_sum(&groups);
    uint8_t* moving = (uint8_t*)io_mem_alloc((size_t)n);
    int any = 0;
    for (int i = 0; i < n; i++) {
        const PlayPiece& p = piece(i);
        moving[i] = 0;
        if (p.group != -1 || p.lift != 0 || p.turning || p.angle % 90 != 0) continue;
        const PieceQuad q = quad_at(p, p.x, p.y);
        const int cx = (q.left + q.right) / 2, cy = (q.top + q.bottom) / 2, core = side / 8;
        const bool onGroup = cx - core >= 0 && cy - core >= 0 &&
                             grid_blocked(groups, cx - core, cy - core, cx + core, cy + core);
        moving[i] = !desk_in_view(q.left, q.top, q.right, q.bottom) || onGroup;
        any |= moving[i];
    }
    grid_release(&groups);
    if (any) desk_spread(moving, 0);
    io_mem_free(moving);
    return any;
}

// --- Places ---

int desk_place(int width, int height, int* x, int* y) {
    const int left = view_l(), w = view_r(), h = view_b(), top = g_view.top;
    if (width <= 0 || height <= 0 || width > w - left || height > h - top) return 0;
    const int cell = 4;
    Grid hard = hard_grid(cell);
    // The middle of the view first, then the nearest free place on the cells' corners.
    const int mx = left + (w - left - width) / 2, my = top + (h - top - height) / 2;
    int found = !grid_blocked(hard, mx, my, mx + width - 1, my + height - 1);
    if (found) {
        *x = mx, *y = my;
    } else {
        long long best = -1;
        for (int py = top - top % cell; py + height <= h; py += cell) {
            if (py < top) continue;
            for (int px = left - left % cell; px + width <= w; px += cell) {
                if (px < left) continue;
                if (grid_blocked(hard, px, py, px + width - 1, py + height - 1)) continue;
                const long long dx = px - mx, dy = py - my, length = dx * dx + dy * dy;
                if (best < 0 || length < best) best = length, *x = px, *y = py;
            }
        }
        found = best >= 0;
    }
    grid_release(&hard);
    return found;
}

// --- Carrying ---

void desk_limit_carry(int* dx, int* dy) {
    int lowX = -(1 << 30), highX = 1 << 30, lowY = -(1 << 30), highY = 1 << 30;
    int carried = 0;
    for (int i = 0; i < play_state.pieceCount; i++) {
        const PlayPiece& p = piece(i);
        if (!p.carried) continue;
        carried = 1;
        const PieceQuad q = quad_at(p, p.x, p.y);
        // How far this piece may go each way; one already beyond an edge may not go further out.
        const int left = q.left >= 0 ? -q.left : 0, right = q.right < desk_w() ? desk_w() - 1 - q.right : 0;
        const int up = q.top >= g_view.band ? g_view.band - q.top : 0;
        const int down = q.bottom < desk_h() ? desk_h() - 1 - q.bottom : 0;
        lowX = left > lowX ? left : lowX, highX = right < highX ? right : highX;
        lowY = up > lowY ? up : lowY, highY = down < highY ? down : highY;
    }
    if (!carried) return;
    *dx = *dx < lowX ? lowX : *dx > highX ? highX : *dx;
    *dy = *dy < lowY ? lowY : *dy > highY ? highY : *dy;
}
