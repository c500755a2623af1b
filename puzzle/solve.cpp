// puzzle/solve.cpp -- planning an automatic solver's moves from where the pieces lie. Groups are
// keyed by their identifier, loose pieces by their own index (a group's identifier is the index
// of one of its members, so the two never meet).
#include "puzzle/solve.h"

#include <cmath>

#include "platform/io_mem.h"
#include "puzzle/drag.h"
#include "puzzle/play.h"
#include "puzzle/vec.h"

namespace {

constexpr int DESK_MARGIN = 2;  // pointer destinations stay this far inside the desk
constexpr int GRAB_GRID = 7;    // points tried across a piece's rectangle to find a visible one

int key_of(int piece) {
    const PlayPiece& p = play_state.pieces[piece];
    return p.group == -1 ? piece : p.group;
}

// The top-left of the picture when it lies centred on the table (the desk, when it is the table).
void home_origin(int* x, int* y) {
    *x = (play_table_width() - play_state.record.width) / 2;
    *y = (play_table_height() - play_state.record.height) / 2;
}

// The table point the pointer at the screen point stands for, as the desk input rounds it.
void pointer_on_table(int sx, int sy, int* tx, int* ty) {
    if (!play_state.bigTable) {
        *tx = sx, *ty = sy;
        return;
    }
    double x, y;
    view_to_table(play_state.view, sx, sy, &x, &y);
    *tx = (int)std::lround(x), *ty = (int)std::lround(y);
}

// The screen point nearest to a table point.
void table_on_screen(int tx, int ty, int* sx, int* sy) {
    if (!play_state.bigTable) {
        *sx = tx, *sy = ty;
        return;
    }
    double x, y;
    view_to_screen(play_state.view, tx, ty, &x, &y);
    *sx = (int)std::lround(x), *sy = (int)std::lround(y);
}

int target_angle(int n) { return n == -1 ? 0 : play_state.pieces[n].angle; }

// Where piece m must lie to sit beside n as the picture has them; n = -1: at its place in the
// picture centred on the desk.
void place_beside(int m, int n, int* x, int* y) {
    const PlayPiece& pm = play_state.pieces[m];
    if (n == -1) {
        home_origin(x, y);
        *x += pm.homeX, *y += pm.homeY;
        return;
    }
    const PlayPiece& pn = play_state.pieces[n];
    vec_turn(pm.homeX - pn.homeX, pm.homeY - pn.homeY, pn.angle, x, y);
    *x += pn.x, *y += pn.y;
}

int clockwise_turns(int from, int to) { return angle_normal(from - to + 45) / 90; }

int at_home(int m) {
    int x, y;
    place_beside(m, -1, &x, &y);
    const PlayPiece& p = play_state.pieces[m];
    return p.x == x && p.y == y && p.angle == 0;
}

// A desk point on the piece where piece_at finds a member of the piece's group; 0 when hidden.
int grab_point(int piece, SolvePointFree free, int* gx, int* gy) {
    const PieceQuad& q = play_state.pieces[piece].screenQuad;
    if (q.right == -1) return 0;
    const int key = key_of(piece);
    const int cx = (q.left + q.right) / 2, cy = (q.top + q.bottom) / 2;
    for (int k = -1; k < GRAB_GRID * GRAB_GRID; k++) {
        const int x = k < 0 ? cx : q.left + (q.right - q.left) * (k % GRAB_GRID + 1) / (GRAB_GRID + 1);
        const int y = k < 0 ? cy : q.top + (q.bottom - q.top) * (k / GRAB_GRID + 1) / (GRAB_GRID + 1);
        const int hit = piece_at(x, y);
        if (hit != -1 && key_of(hit) == key && (!free || free(x, y))) {
            *gx = x, *gy = y;
            return 1;
        }
    }
    return 0;
}

int on_desk(int x, int y) {
    return x >= DESK_MARGIN && y >= DESK_MARGIN && x < play_state.deskWidth - DESK_MARGIN &&
           y < play_state.deskHeight - DESK_MARGIN;
}

// The pointer's destination when piece m, carried from (gx, gy), is turned to n's angle and
// placed beside n.
void destination(int m, int n, int gx, int gy, int* dx, int* dy) {
    const PlayPiece& pm = play_state.pieces[m];
    int px, py;  // the pointer on the table
    pointer_on_table(gx, gy, &px, &py);
    int mx = pm.x, my = pm.y;
    const int turns = clockwise_turns(pm.angle, target_angle(n));
    if (turns) {  // about the pointer, as the tick turns carried pieces
        vec_turn(pm.x - px, pm.y - py, -90 * turns, &mx, &my);
        mx += px, my += py;
    }
    int tx, ty;
    place_beside(m, n, &tx, &ty);
    table_on_screen(px + tx - mx, py + ty - my, dx, dy);
}

}  // namespace

int solve_game_open() { return play_state.open; }

int solve_complete() { return play_state.open && play_state.info.percent >= 100; }

int solve_carrying() {
    for (int i = 0; i < play_state.pieceCount; i++)
        if (play_state.pieces[i].carried) return 1;
    return 0;
}

int solve_next_move(SolveMove* move, int skip, SolvePointFree free) {
    if (!play_state.open || solve_complete() || !play_state.pieces) return 0;
    const int n = play_state.pieceCount;
    char* tried = (char*)io_mem_alloc((size_t)n);
    int found = 0;
    // First joins to a neighbour wherever it lies; when none of those fits on the desk (large
    // groups reaching over the edges), a group goes to its place in the picture centred on the
    // desk, which always fits: a fitted cut is never larger than the desk.
    for (int pass = 0; pass < 2 && !found; pass++) {
        for (int i = 0; i < n; i++)
            tried[i] = 0;
        // From the top of the stack down: the topmost pieces are the ones in plain view.
        for (int p = play_state.top; p != -1 && !found; p = play_state.pieces[p].prev) {
            const int key = key_of(p);
            if (tried[key]) continue;
            int gx, gy;
            if (!grab_point(p, free, &gx, &gy)) continue;
            tried[key] = 1;
            for (int m = 0; m < n && !found; m++) {
                if (key_of(m) != key) continue;
                const PlayPiece& pm = play_state.pieces[m];
                for (int k = 0; k < (pass ? 1 : pm.neighbourCount) && !found; k++) {
                    const int nb = pass ? -1 : pm.neighbours[k];
                    if (nb != -1 && key_of(nb) == key) continue;
                    if (nb == -1 && at_home(m)) break;  // the group lies at its place already
                    int dx, dy;
                    destination(m, nb, gx, gy, &dx, &dy);
                    if (!on_desk(dx, dy) || skip-- > 0) continue;
                    *move = {gx, gy, m, nb, clockwise_turns(pm.angle, target_angle(nb))};
                    found = 1;
                }
                if (pass) break;  // one member stands for the group
            }
        }
    }
    io_mem_free(tried);
    return found;
}

int solve_joined(const SolveMove* move) {
    const PlayPiece& a = play_state.pieces[move->piece];
    if (move->target == -1) return at_home(move->piece);
    return a.group != -1 && a.group == play_state.pieces[move->target].group;
}

void solve_offset(const SolveMove* move, int* dx, int* dy) {
    int tx, ty;
    place_beside(move->piece, move->target, &tx, &ty);
    const int ox = tx - play_state.pieces[move->piece].x, oy = ty - play_state.pieces[move->piece].y;
    if (!play_state.bigTable) {
        *dx = ox, *dy = oy;
        return;
    }
    // On a large table the pointer's table point moves by the offset: from the pointer as it is
    // now, the screen point of that.
    int sx, sy;
    table_on_screen(play_state.mouseX + ox, play_state.mouseY + oy, &sx, &sy);
    int px, py;
    table_on_screen(play_state.mouseX, play_state.mouseY, &px, &py);
    *dx = sx - px, *dy = sy - py;
}

int solve_big_table() { return play_state.open && play_state.bigTable; }

int solve_whole_table_shown() {
    return !solve_big_table() || play_state.view.zoom <= view_fit_zoom(play_state.view) * (1 + 1e-9);
}

int solve_turns_left(const SolveMove* move) {
    const PlayPiece& p = play_state.pieces[move->piece];
    if (p.turning || p.turnRequest) return -1;
    return clockwise_turns(p.angle, target_angle(move->target));
}

int solve_grab_selected(const SolveMove* move) {
    const int p = piece_at(move->grabX, move->grabY);
    return p != -1 && play_state.pieces[p].selected;
}
