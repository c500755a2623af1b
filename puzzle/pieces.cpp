// puzzle/pieces.cpp -- the pieces of the open game: the table, scatter, settling, rectangles,
// keeping pieces on the desk, refresh, ticks and the two drawing layers.
//
// Sections: the table; layout; per paint and per tick.
#include "puzzle/pieces.h"

#include <cmath>
#include <cstring>
#include <thread>

#include "platform/io_debug.h"
#include "platform/io_mem.h"
#include "platform/screen.h"
#include "puzzle/deskindex.h"
#include "puzzle/deskspace.h"
#include "puzzle/grid.h"
#include "puzzle/play.h"
#include "puzzle/progress.h"
#include "puzzle/stack.h"
#include "puzzle/vec.h"

namespace {

constexpr int SCATTER_TOP = 20;  // no piece starts above this line (the title line)
constexpr int TURN_STEP = 9;     // degrees per tick of a turn

long g_visits;  // pieces looked at by refreshes, ticks and the resting layer

// (x, y) turned about (px, py) by degrees, rounded half away from zero.
void turn_about(int x, int y, int px, int py, int degrees, int* ox, int* oy) {
    vec_turn(x - px, y - py, degrees, ox, oy);
    *ox += px, *oy += py;
}

// A quad on the table moved onto the screen through the view of a large table; a table that is
// the desk is the screen.
void table_to_screen(PieceQuad* q) {
    if (!play_state.bigTable) return;
    const TableView& v = play_state.view;
    double l = 0, t = 0, r = 0, b = 0;
    for (int i = 0; i < 4; i++) {
        double& x = q->corner[i][0];
        double& y = q->corner[i][1];
        view_to_screen(v, x, y, &x, &y);
        if (i == 0 || x < l) l = x;
        if (i == 0 || x > r) r = x;
        if (i == 0 || y < t) t = y;
        if (i == 0 || y > b) b = y;
    }
    q->left = (int32_t)std::floor(l), q->top = (int32_t)std::floor(t);
    q->right = (int32_t)std::ceil(r), q->bottom = (int32_t)std::ceil(b);
}

// The quad's rectangle made relative to the desk: off the desk marks it (right -1), else it is
// clamped to the desk.
void clamp_to_desk(PieceQuad* q) {
    table_to_screen(q);
    if (q->bottom < 0 || q->top >= play_state.deskHeight || q->right < 0 || q->left >= play_state.deskWidth) {
        q->right = -1;
        return;
    }
    if (q->left < 0) q->left = 0;
    if (q->top < 0) q->top = 0;
    if (q->right >= play_state.deskWidth) q->right = play_state.deskWidth - 1;
    if (q->bottom >= play_state.deskHeight) q->bottom = play_state.deskHeight - 1;
}

// The piece's area on the screen: its rectangle joined with its shadow's, when shown.
void invalidate_area(const PlayPiece& p) {
    const PieceQuad& a = p.screenQuad;
    const PieceQuad& b = p.shadowQuad;
    int l, t, r, bt;
    if (a.right != -1) {
        l = a.left, t = a.top, r = a.right, bt = a.bottom;
        if (b.right != -1) {
            l = l < b.left ? l : b.left;
            t = t < b.top ? t : b.top;
            r = r > b.right ? r : b.right;
            bt = bt > b.bottom ? bt : b.bottom;
        }
    } else if (b.right != -1) {
        l = b.left, t = b.top, r = b.right, bt = b.bottom;
    } else {
        return;
    }
    screen_invalidate(l, t, r - l + 1, bt - t + 1);
}

// The push that brings the centre of the piece's unclamped rectangle onto the table.
void desk_push(const PlayPiece& p, int* dx, int* dy) {
    PieceQuad q;
    piece_quad(&play_state.shapes[p.shape], p.x, p.y, p.angle, 0, 0, &q);
    const int cx = (q.left + q.right) / 2, cy = (q.top + q.bottom) / 2;
    const int w = play_table_width(), h = play_table_height();
    *dx = cx < 0 ? -cx : cx > w ? w - cx : 0;
    *dy = cy < 0 ? -cy : cy > h ? h - cy : 0;
}

// One piece's part of the refresh: its old and new areas dirty when it changed or asked to be
// redrawn.
void refresh_piece(int i) {
    g_visits++;
    PlayPiece& p = play_state.pieces[i];
    const bool added = p.needsRedraw != 0;
    if (added) invalidate_area(p);
    if (p.x != p.drawnX || p.y != p.drawnY || p.lift != p.drawnLift || p.angle != p.drawnAngle) {
        if (!added) invalidate_area(p);
        pieces_rects(i);
        invalidate_area(p);
        p.drawnX = p.x, p.drawnY = p.y, p.drawnLift = p.lift, p.drawnAngle = p.angle;
    }
    p.needsRedraw = 0;
}

// The refresh after an event: every piece, and the lifted ones noted for the carried layer.
void refresh_all() {
    int* watched = deskindex_scratch();
    (void)deskindex_take_watched(watched);  // all are looked at now
    deskindex_lifted_begin();
    for (int i = 0; i < play_state.pieceCount; i++) {
        refresh_piece(i);
        if (play_state.pieces[i].lift != 0) deskindex_lifted_add(i);
    }
}

// One piece's part of the tick; a piece that moved is watched for the refresh, one that is still
// carried or turning stays active.
void tick_piece(int i) {
    g_visits++;
    PlayPiece& p = play_state.pieces[i];
    if (!p.turning && !p.carried && !p.turnRequest) return;
    if (p.turning) {
        p.angle += TURN_STEP * p.turning;
        if (p.angle % 90 == 0) p.turning = 0;
        p.angle = angle_normal(p.angle);
        turn_about(p.turnAnchorX, p.turnAnchorY, p.pivotX, p.pivotY, p.angle - p.turnStartAngle, &p.anchorX,
                   &p.anchorY);
        if (p.carried) {
            p.pivotX += play_state.pendingDx, p.pivotY += play_state.pendingDy;
            p.turnAnchorX += play_state.pendingDx, p.turnAnchorY += play_state.pendingDy;
        }
        p.x = p.anchorX, p.y = p.anchorY;
    }
    if (p.carried) {
        p.anchorX += play_state.pendingDx, p.anchorY += play_state.pendingDy;
        p.x = p.anchorX, p.y = p.anchorY;
    }
    if (p.turning || p.carried) play_state.changed = 1;
    if (!p.turning && p.turnRequest) {
        p.turning = p.turnRequest;
        p.turnRequest = 0;
        p.turnStartAngle = p.angle;
        p.pivotX = play_state.mouseX, p.pivotY = play_state.mouseY;
        p.turnAnchorX = p.anchorX, p.turnAnchorY = p.anchorY;
    }
    deskindex_watch(i);
    if (p.turning || p.carried || p.turnRequest) deskindex_active_keep(i);
}

void draw_resting_piece(int i) {
    g_visits++;
    const PlayPiece& p = play_state.pieces[i];
    if (p.lift == 0)
        piece_draw(&p.screenQuad, &play_state.shapes[p.shape], p.homeX, p.homeY, p.angle, p.selected, 0);
}

// A redraw of most of a desk of many pieces is drawn in two bands of rows at once, the lower
// on a worker thread: the pieces' drawing is made ready first, so that both bands only read.
// Each band draws every piece clipped to its rows, in the same order: the picture is the same.
int g_band_pieces = 2000;  // fewer pieces are drawn on this thread alone

// Draws the listed pieces (indices, bottom first) clipped to the rows [top, bottom], asking a few
// pieces ahead for their records: the list is read in stacking order, which jumps about the
// table of pieces and of shapes.
void draw_listed(const int* order, int n, int top, int bottom) {
    piece_set_band(top, bottom);
    const PlayPiece* pieces = play_state.pieces;
    for (int k = 0; k < n; k++) {
        if (k + 8 < n) __builtin_prefetch(&pieces[order[k + 8]].screenQuad);
        if (k + 4 < n) __builtin_prefetch(&play_state.shapes[pieces[order[k + 4]].shape]);
        if (k + 2 < n) {  // the heads of the images a piece seen from afar is drawn from
            const PieceShape& s = play_state.shapes[pieces[order[k + 2]].shape];
            for (const Image* level : s.pieceLevels)
                if (level) __builtin_prefetch(level);
        }
        const PlayPiece& p = pieces[order[k]];
        const PieceQuad& q = p.screenQuad;
        if (q.bottom >= top && q.top <= bottom)
            piece_draw(&q, &play_state.shapes[p.shape], p.homeX, p.homeY, p.angle, p.selected, 0);
    }
    piece_set_band(0, 1 << 30);
}

// The whole stacking order, bottom first: the resting pieces on the screen listed once, then
// drawn, in two bands at once when it is worth it.
void draw_all_resting() {
    int* order = deskindex_scratch();
    int n = 0;
    for (int i = play_state.bottom; i != -1; i = play_state.pieces[i].next) {
        g_visits++;
        const PlayPiece& p = play_state.pieces[i];
        if (p.lift == 0 && p.screenQuad.right != -1 && n < play_state.pieceCount) order[n++] = i;
    }
    if (n < g_band_pieces || std::thread::hardware_concurrency() < 2) {
        draw_listed(order, n, 0, 1 << 30);
        return;
    }
    for (int k = 0; k < n; k++) {
        const PlayPiece& p = play_state.pieces[order[k]];
        piece_prepare(&p.screenQuad, &play_state.shapes[p.shape], 0);
    }
    const int middle = play_state.deskHeight / 2;
    std::thread lower(draw_listed, order, n, middle, play_state.deskHeight - 1);
    draw_listed(order, n, 0, middle - 1);
    lower.join();
}

}  // namespace

// --- The table ---

void pieces_alloc(int count) {
    pieces_free();
    IO_ASSERT(count > 0 && count <= CUT_PIECES_MAX);
    play_state.pieces = (PlayPiece*)io_mem_alloc((size_t)count * sizeof(PlayPiece));
    std::memset(play_state.pieces, 0, (size_t)count * sizeof(PlayPiece));
    play_state.pieceCount = count;
    for (int i = 0; i < count; i++) {
        PlayPiece& p = play_state.pieces[i];
        p.prev = p.next = -1;
        p.group = -1;
        p.screenQuad.right = p.shadowQuad.right = -1;
    }
    play_state.bottom = play_state.top = -1;
    deskindex_alloc(count);
}

void pieces_free() {
    deskindex_free();
    io_mem_free(play_state.pieces);
    play_state.pieces = nullptr;
    play_state.pieceCount = 0;
    play_state.bottom = play_state.top = -1;
}

// --- Layout ---

void pieces_rects(int piece) {
    PlayPiece& p = play_state.pieces[piece];
    const PieceShape* shape = &play_state.shapes[p.shape];
    piece_quad(shape, p.x, p.y, p.angle, p.lift, 0, &p.screenQuad);
    clamp_to_desk(&p.screenQuad);
    if (p.lift != 0 && shape->shadow) {
        piece_quad(shape, p.x, p.y, p.angle, p.lift, 1, &p.shadowQuad);
        clamp_to_desk(&p.shadowQuad);
    } else {
        p.shadowQuad.right = -1;
    }
    deskindex_place(piece);
}

void pieces_scatter() {
    const int size = play_state.record.pieceSize;
    const int top = play_state.record.rotation ? size + SCATTER_TOP : SCATTER_TOP;
    // A desk smaller than a piece still gets a valid (if crowded) scatter.
    const int tw = play_table_width(), th = play_table_height();
    const int wide = tw - size > 0 ? tw - size : 1;
    const int high = th - size - top > 0 ? th - size - top : 1;
    for (int i = 0; i < play_state.pieceCount; i++) {
        PlayPiece& p = play_state.pieces[i];
        p.group = -1;
        p.x = play_rand() % wide;
        p.y = play_rand() % high + top;
        p.lift = 0;
        p.angle = play_state.record.rotation ? (play_rand() % 4) * 90 : 0;
        stack_raise(i);
    }
    for (int k = 0; k < 2 * play_state.pieceCount; k++)
        stack_raise(play_rand() % play_state.pieceCount);
}

void pieces_rects_all() {
    for (int i = 0; i < play_state.pieceCount; i++) {
        PlayPiece& p = play_state.pieces[i];
        pieces_rects(i);
        p.drawnX = p.x, p.drawnY = p.y, p.drawnLift = p.lift, p.drawnAngle = p.angle;
    }
}

void pieces_settle() {
    deskindex_touch();
    for (int i = 0; i < play_state.pieceCount; i++) {
        PlayPiece& p = play_state.pieces[i];
        p.angle = angle_normal(p.angle / 90 * 90);
        p.needsRedraw = p.selected = p.carried = p.turning = p.turnRequest = 0;
        p.lift = 0;  // nothing is carried, so nothing is lifted
        p.moved = 1;
    }
    pieces_keep_on_desk();
    pieces_rects_all();
    progress_update();
    play_state.pendingDx = play_state.pendingDy = 0;
}

void pieces_keep_on_desk() {
    const int n = play_state.pieceCount;
    // Per group (indexed by its identifier): whether a member moved, and the deciding push.
    struct GroupPush {
        int moved, decided, dx, dy;
        long long length;  // squared push length, -1 before the first member
    };
    GroupPush* groups = (GroupPush*)io_mem_alloc((size_t)n * sizeof(GroupPush));
    for (int g = 0; g < n; g++)
        groups[g] = {0, 0, 0, 0, -1};
    for (int i = 0; i < n; i++) {
        PlayPiece& p = play_state.pieces[i];
        if (p.group == -1) {
            if (!p.moved) continue;
            int dx, dy;
            desk_push(p, &dx, &dy);
            p.x += dx, p.y += dy;
            p.moved = 0;
        } else if (p.moved) {
            groups[p.group].moved = 1;
        }
    }
    // The member with the smallest push decides (the first on equal lengths; 0 ends the search).
    for (int i = 0; i < n; i++) {
        const PlayPiece& p = play_state.pieces[i];
        if (p.group == -1) continue;
        GroupPush& g = groups[p.group];
        if (!g.moved || g.decided) continue;
        int dx, dy;
        desk_push(p, &dx, &dy);
        const long long length = (long long)dx * dx + (long long)dy * dy;
        if (g.length < 0 || length < g.length) g.length = length, g.dx = dx, g.dy = dy;
        if (length == 0) g.decided = 1;
    }
    for (int i = 0; i < n; i++) {
        PlayPiece& p = play_state.pieces[i];
        if (p.group == -1 || !groups[p.group].moved) continue;
        p.x += groups[p.group].dx;
        p.y += groups[p.group].dy;
        p.moved = 0;
    }
    io_mem_free(groups);
}

void pieces_finish_turns() {
    for (int i = 0; i < play_state.pieceCount; i++) {
        PlayPiece& p = play_state.pieces[i];
        if (!p.turning) continue;
        const int turn = 90 * p.turning;
        p.angle = angle_normal(p.turnStartAngle + turn);
        turn_about(p.turnAnchorX, p.turnAnchorY, p.pivotX, p.pivotY, turn, &p.anchorX, &p.anchorY);
        p.x = p.anchorX, p.y = p.anchorY;
        p.turning = p.turnRequest = 0;
    }
}

// --- Per paint and per tick ---

void pieces_touch() { deskindex_touch(); }

void pieces_view_changed() {
    if (!play_state.pieces) return;
    for (int i = 0; i < play_state.pieceCount; i++)
        pieces_rects(i);
    deskindex_touch();
    screen_invalidate(0, 0, play_state.deskWidth, play_state.deskHeight);
}

long pieces_visits() { return g_visits; }

void pieces_set_band_pieces(int count) { g_band_pieces = count; }

void pieces_refresh() {
    if (!play_state.pieces) return;
    if (deskindex_refresh_stale()) {
        refresh_all();
        return;
    }
    // Since the last refresh only the tick changed pieces, and only those it watched.
    int* watched = deskindex_scratch();
    const int n = deskindex_take_watched(watched);
    for (int k = 0; k < n; k++)
        refresh_piece(watched[k]);
}

void pieces_tick() {
    if (!play_state.pieces) return;
    if (play_state.carryRigid) desk_limit_carry(&play_state.pendingDx, &play_state.pendingDy);
    if (deskindex_tick_stale()) {
        deskindex_active_begin();
        for (int i = 0; i < play_state.pieceCount; i++)
            tick_piece(i);
    } else {
        // Between two events only the pieces active at the last tick can move.
        const int n = deskindex_active_count();
        const int* active = deskindex_active();
        deskindex_active_begin();
        for (int k = 0; k < n; k++)
            tick_piece(active[k]);
    }
    play_state.pendingDx = play_state.pendingDy = 0;
}

void pieces_draw_resting() {
    if (!play_state.pieces) return;
    int* lifted = deskindex_scratch();
    const int liftedCount = deskindex_lifted(lifted);
    play_state.firstLifted = liftedCount > 0 ? lifted[0] : -1;
    if (!screen_any_dirty()) return;  // nothing to draw: no piece is looked at
    // The pieces of the bins that meet dirty cells, bottom first; when they are many (a redraw of
    // most of the desk) the walk of the whole stacking order is as quick and needs no sorting.
    int* pieces = deskindex_scratch();
    const int n = deskindex_dirty_pieces(pieces, play_state.pieceCount / 2);
    if (n < 0) {
        draw_all_resting();
        return;
    }
    for (int k = 0; k < n; k++)
        draw_resting_piece(pieces[k]);
}

void pieces_draw_carried() {
    if (!play_state.pieces) return;
    int* lifted = deskindex_scratch();
    const int n = deskindex_lifted(lifted);
    if (n == 0) return;
    if (play_state.shapes[0].shadow)
        for (int k = 0; k < n; k++) {
            const PlayPiece& p = play_state.pieces[lifted[k]];
            piece_draw(&p.shadowQuad, &play_state.shapes[p.shape], p.homeX, p.homeY, p.angle, 0, 1);
        }
    // The lifted pieces are drawn even when the shapes carry no shadows.
    for (int k = 0; k < n; k++) {
        const PlayPiece& p = play_state.pieces[lifted[k]];
        piece_draw(&p.screenQuad, &play_state.shapes[p.shape], p.homeX, p.homeY, p.angle, p.selected, 0);
    }
}
