// puzzle/drag.cpp -- the play on the desk: the desk's mouse events, picking up, selecting,
// turning, dropping, snapping and joining, the finished puzzle, gathering loose pieces.
//
// Sections: helpers; the desk's mouse events; picking up and selecting; snapping and joining;
// dropping and completion; gathering.
//
// A group is named by the index of one of its pieces, so per-group scratch tables are indexed by
// that identifier and hold one entry per piece. Every pass over the pieces walks the table once:
// a desk holds well over a thousand pieces and a drop must stay far below a frame.
#include "puzzle/drag.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/io_desktop.h"
#include "platform/io_mem.h"
#include "platform/sys.h"
#include "puzzle/deskindex.h"
#include "puzzle/deskspace.h"
#include "puzzle/pieces.h"
#include "puzzle/play.h"
#include "puzzle/progress.h"
#include "puzzle/stack.h"
#include "puzzle/vec.h"

namespace {

constexpr int SNAP_ANGLE = 5;  // degrees two joining pieces may differ by

uint32_t pick_up_tick;  // ms of the last pick-up: a shorter click keeps the pieces on the mouse

PlayPiece& piece(int i) { return play_state.pieces[i]; }

// A scratch table of one int per piece (per group identifier), all zero; io_mem_free it.
int* scratch_zeroed() {
    const size_t bytes = (size_t)play_state.pieceCount * sizeof(int);
    int* t = (int*)io_mem_alloc(bytes);
    std::memset(t, 0, bytes);
    return t;
}

// The piece lifted onto the mouse and raised to the top.
void pick_up_one(int i) {
    PlayPiece& p = piece(i);
    p.lift = play_state.liftHeight;
    p.anchorX = p.x, p.anchorY = p.y;
    p.carried = 1;
    p.needsRedraw = 1;
    stack_raise(i);
}

void flip_selected(PlayPiece& p) {
    p.selected = !p.selected;
    p.needsRedraw = 1;
}

// Whether the point lies on the piece as it was last drawn: inside its rectangle and on a
// nonzero piece code of its image (the anti-aliased fringe counts; the shadow never does).
int hit(const PlayPiece& p, int x, int y) {
    const PieceQuad& q = p.screenQuad;
    if (q.right == -1 || x < q.left || x > q.right || y < q.top || y > q.bottom) return 0;
    const Image* img = play_state.shapes[p.shape].piece;
    if (!img) return 0;
    int u, w;
    vec_turn(x - p.drawnX, y - p.drawnY, angle_normal(360 - p.drawnAngle), &u, &w);
    if (u < 0 || u >= img->width || w < 0 || w >= img->height) return 0;
    uint16_t code;
    std::memcpy(&code, (const uint8_t*)img + img->colourOffset + (ptrdiff_t)w * img->colourPitch + u * 2, 2);
    return code != 0;
}

}  // namespace

// --- The desk's mouse events ---
//
// Button down, the first rule that applies wins (L left, R right, C Ctrl, D capture running,
// P the piece under the mouse):
//   L, P unselected, not C, not D  select none, pick up P's group, capture
//   L, P selected, not C, not D    pick up the selection, capture
//   L, P, C, not D                 flip P's group's selection
//   L or R                         no P and neither D nor C: select none; R and D: turn, stop
//   L, D                           end the capture (which drops)
//   L, no P                        rubber band (with C nothing was deselected: the band flips)
// Button up ends the capture only after a held drag: a quick click leaves the pieces on the
// mouse until the next left press.

int desk_button_down(int x, int y, int flags, uint32_t now) {
    const bool left = flags & MOUSE_LEFT, right = flags & MOUSE_RIGHT;
    const bool ctrl = flags & MOUSE_CTRL, captured = flags & MOUSE_CAPTURED;
    const int p = piece_at(x, y);
    if (left && p != -1 && !ctrl && !captured) {
        if (!piece(p).selected) {
            select_none();
            group_pick_up(p);
        } else {
            selection_pick_up();
        }
        pick_up_tick = now;
        return DESK_CAPTURE;
    }
    if (left && p != -1 && ctrl && !captured) {
        group_toggle_select(p);
        return DESK_NOTHING;
    }
    if (left || right) {
        if (p == -1 && !captured && !ctrl) select_none();
        if (right && captured) {
            turn_request(ctrl ? 1 : -1);
            return DESK_NOTHING;
        }
    }
    if (left && captured) return DESK_END_CAPTURE;
    if (left && p == -1) return DESK_BAND;
    return DESK_NOTHING;
}

int desk_button_up(int, int, int flags, uint32_t now) {
    if ((flags & MOUSE_LEFT) && !(flags & MOUSE_RIGHT) && (flags & MOUSE_CAPTURED) &&
        now - pick_up_tick > CLICK_HOLD_MS)
        return DESK_END_CAPTURE;
    return DESK_NOTHING;
}

void desk_drag_motion(int dx, int dy) { play_state.pendingDx += dx, play_state.pendingDy += dy; }

void desk_mouse_at(int x, int y) { play_state.mouseX = x, play_state.mouseY = y; }

// --- Picking up and selecting ---

int piece_at(int x, int y) {
    if (!play_state.pieces) return -1;
    // Only the pieces listed in the desk index's bin under the point can hold it.
    return deskindex_top_at(x, y, [](int i, int px, int py) { return hit(piece(i), px, py); });
}

void group_pick_up(int p) {
    play_state.carryRigid = 0;
    const int g = piece(p).group;
    if (g == -1) {
        pick_up_one(p);
        return;
    }
    for (int i = 0; i < play_state.pieceCount; i++)
        if (piece(i).group == g) pick_up_one(i);
}

void selection_pick_up() {
    play_state.carryRigid = 1;
    // Raised pieces go to the top, so the walk ends where the first of them now lies.
    for (int i = play_state.bottom; i != -1 && !piece(i).carried;) {
        const int next = piece(i).next;
        if (piece(i).selected) pick_up_one(i);
        i = next;
    }
}

void group_toggle_select(int p) {
    const int g = piece(p).group;
    if (g == -1) {
        flip_selected(piece(p));
        return;
    }
    for (int i = 0; i < play_state.pieceCount; i++)
        if (piece(i).group == g) flip_selected(piece(i));
}

void select_none() {
    for (int i = 0; i < play_state.pieceCount; i++)
        if (piece(i).selected) flip_selected(piece(i));
}

void select_in_rect(int x, int y, int w, int h) {
    const int n = play_state.pieceCount;
    if (n <= 0) return;
    int m = play_state.record.pieceSize / 5;
    if (m < 1) m = 1;
    int* touched = scratch_zeroed();  // per group: a member's centre lies in the band
    for (int i = 0; i < n; i++) {
        PlayPiece& p = piece(i);
        p.mark = 0;
        const double(*c)[2] = p.screenQuad.corner;
        const int cx = ((int)c[0][0] + (int)c[1][0] + (int)c[2][0] + (int)c[3][0]) / 4;
        const int cy = ((int)c[0][1] + (int)c[1][1] + (int)c[2][1] + (int)c[3][1]) / 4;
        if (cx < x - m || cx >= x + w + m + 1 || cy < y - m || cy >= y + h + m + 1) continue;
        if (p.group == -1)
            flip_selected(p);
        else
            touched[p.group] = 1;
    }
    // A group is flipped once, however many of its centres the band holds.
    for (int i = 0; i < n; i++) {
        PlayPiece& p = piece(i);
        if (p.group == -1 || !touched[p.group]) continue;
        flip_selected(p);
        p.mark = 1;
    }
    io_mem_free(touched);
}

void turn_request(int direction) {
    for (int i = 0; i < play_state.pieceCount; i++)
        if (piece(i).carried) piece(i).turnRequest = direction;
}

// --- Snapping and joining ---

int snap_test(int pi, int ni) {
    const PlayPiece& p = piece(pi);
    const PlayPiece& n = piece(ni);
    if (std::abs(p.angle - n.angle) > SNAP_ANGLE) return 0;
    // n's position seen from p's unturned frame must sit where the picture puts it.
    int qx, qy;
    vec_turn(n.x - p.x, n.y - p.y, (3600 - p.angle) % 360, &qx, &qy);
    const long long ex = qx - (n.homeX - p.homeX);
    const long long ey = qy - (n.homeY - p.homeY);
    return ex * ex + ey * ey <= play_state.record.pieceSize / 2;
}

namespace {

// Joins the dropped piece p to n, which stays where it is; the group takes p's identifier, else
// n's, else n's index, and every member is placed around n at n's angle, stacked just above it.
void join(int pi, int ni) {
    const int gp = piece(pi).group, gn = piece(ni).group;
    const int g = gp != -1 ? gp : gn != -1 ? gn : ni;
    const int n = play_state.pieceCount;
    for (int i = 0; i < n; i++) {
        PlayPiece& m = piece(i);
        if (m.group != -1 && (m.group == gp || m.group == gn)) m.group = g;
    }
    piece(pi).group = piece(ni).group = g;
    const PlayPiece& to = piece(ni);
    const int nx = to.x, ny = to.y, angle = to.angle, hx = to.homeX, hy = to.homeY;
    for (int i = 0; i < n; i++) {
        PlayPiece& m = piece(i);
        if (m.group != g) continue;
        vec_turn(m.homeX - hx, m.homeY - hy, angle, &m.x, &m.y);
        m.x += nx, m.y += ny;
        m.angle = angle;
        stack_insert_above(ni, i);
    }
    play_state.changed = 1;
}

// Joins p to every neighbour that snaps; the joins made.
int try_join(int pi) {
    int joined = 0;
    for (int k = 0; k < piece(pi).neighbourCount; k++) {
        const int ni = piece(pi).neighbours[k];
        const PlayPiece& p = piece(pi);
        const PlayPiece& n = piece(ni);
        if (p.group != -1 && p.group == n.group) continue;
        if (n.lift != 0 || n.turning) continue;
        if (!snap_test(pi, ni)) continue;
        join(pi, ni);
        joined++;
    }
    return joined;
}

// Whether every piece is in piece 0's group.
int puzzle_whole() {
    const int g = piece(0).group;
    if (g == -1) return play_state.pieceCount == 1;
    for (int i = 1; i < play_state.pieceCount; i++)
        if (piece(i).group != g) return 0;
    return 1;
}

// The finished puzzle: the summary's percent, date and time.
void complete() {
    play_state.info.percent = 100;
    io_date_text(play_state.info.date, (int)sizeof play_state.info.date);
    play_state.info.elapsedSeconds += play_state.sessionMs / 1000;
}

}  // namespace

// --- Dropping and completion ---

DropResult pieces_drop() {
    DropResult result = {0, 0, play_state.mouseX, play_state.mouseY, 0};
    // Motion that came after the last tick still moves the carried pieces, so that they go down
    // where the pointer let go of them.
    int dx = play_state.pendingDx, dy = play_state.pendingDy;
    play_state.pendingDx = play_state.pendingDy = 0;
    if (play_state.carryRigid) desk_limit_carry(&dx, &dy);
    for (int i = 0; (dx || dy) && i < play_state.pieceCount; i++) {
        PlayPiece& p = play_state.pieces[i];
        if (!p.carried) continue;
        p.x += dx, p.y += dy, p.anchorX += dx, p.anchorY += dy;
        if (p.turning) p.pivotX += dx, p.pivotY += dy, p.turnAnchorX += dx, p.turnAnchorY += dy;
    }
    for (int i = 0; i < play_state.pieceCount; i++) {
        PlayPiece& p = play_state.pieces[i];
        p.moved = p.carried;
        if (p.carried) {
            p.lift = 0, p.carried = 0, p.anchorX = p.x, p.anchorY = p.y;
            play_state.changed = 1;
        }
        if (p.lift == 0 && !p.turning) result.joined += try_join(i);
    }
    if (result.joined) {
        select_none();
        progress_update();
        if (puzzle_whole()) {
            complete();
            result.completed = 1;
            result.elapsedSeconds = play_state.info.elapsedSeconds;
        }
    }
    pieces_keep_on_desk();
    play_state.carryRigid = 0;
    return result;
}

// --- Gathering ---

void gather_loose() {
    const int n = play_state.pieceCount;
    if (n <= 0) return;
    select_none();
    int* members = scratch_zeroed();  // per group identifier, then per size: how many
    for (int i = 0; i < n; i++)
        if (piece(i).group != -1) members[piece(i).group]++;
    int largest = 1;
    for (int i = 0; i < n; i++) {
        PlayPiece& p = piece(i);
        p.mark = p.group == -1 ? 1 : members[p.group];
        if (p.mark > largest) largest = p.mark;
    }
    std::memset(members, 0, (size_t)n * sizeof(int));
    for (int i = 0; i < n; i++)
        members[piece(i).mark - 1] = 1;
    // Largest groups first: each pass puts its pieces on top of everything, so the largest end
    // lowest and the loose pieces on top. A pass stops where its first raised piece now lies.
    for (int k = largest; k >= 1; k--) {
        if (!members[k - 1]) continue;
        int first = -1;
        for (int i = play_state.bottom; i != -1 && i != first;) {
            const int next = piece(i).next;
            if (piece(i).mark == k) {
                stack_raise(i);
                if (first == -1) first = i;
            }
            i = next;
        }
    }
    io_mem_free(members);
    for (int i = 0; i < n; i++) {
        PlayPiece& p = piece(i);
        if (p.mark == 1) p.selected = 1;
        p.needsRedraw = 1;
    }
    (void)desk_gather_into_view();
    play_state.changed = 1;
}
