// puzzle/drag.cpp -- placeholder until the play on the desk lands.
#include "puzzle/drag.h"

#include "puzzle/pieces.h"
#include "puzzle/play.h"

int desk_button_down(int, int, int, uint32_t) { return DESK_NOTHING; }
int desk_button_up(int, int, int, uint32_t) { return DESK_NOTHING; }
void desk_drag_motion(int dx, int dy) { play_state.pendingDx += dx, play_state.pendingDy += dy; }
void desk_mouse_at(int x, int y) { play_state.mouseX = x, play_state.mouseY = y; }
int piece_at(int, int) { return -1; }
void group_pick_up(int) {}
void selection_pick_up() {}
void group_toggle_select(int) {}
void select_none() {}
void turn_request(int) {}
void select_in_rect(int, int, int, int) {}
void gather_loose() {}
int snap_test(int, int) { return 0; }
int pieces_put_down(int) {
    for (int i = 0; i < play_state.pieceCount; i++) {
        PlayPiece& p = play_state.pieces[i];
        p.moved = p.carried;
        if (p.carried) p.lift = 0, p.carried = 0, p.anchorX = p.x, p.anchorY = p.y;
    }
    pieces_keep_on_desk();
    return 0;
}
int pieces_drop() { return pieces_put_down(1); }
void sparkle_start(int, int) {}
void sparkle_stop() {}
void sparkle_tick() {}
int sparkle_frame(int*, int*, int*) { return 0; }
