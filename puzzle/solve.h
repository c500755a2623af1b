// puzzle/solve.h -- reading the open game to plan the next move of an automatic solver: which
// piece to take, where to press on it, how to turn it and where it must go. Nothing here changes
// the game; the solver plays through the real mouse.
#pragma once

// Points the solver presses and moves to are screen points; on a large table (puzzle/view.h) the
// plan is made in table pixels and its pointer points are where the view shows them.
struct SolveMove {
    int grabX, grabY;  // a desk point where piece_at finds the group to carry
    int piece;         // the member of the carried group that will join
    int target;        // the neighbour (outside the group) it joins; -1: its place in the picture
                       // centred on the table
    int quarterTurns;  // clockwise quarter turns still needed: 0..3
};

int solve_game_open();  // a game is open
int solve_complete();   // the open game is finished
int solve_carrying();   // pieces are carried
// The next move: the topmost group that can be taken and joined to a neighbour whose pointer
// destination lies on the desk, else the topmost group not yet at its place in the picture
// centred on the desk, passing over the first `skip` such moves (moves that failed).
// 0 when the puzzle is finished or no move is found.
// free(x, y) says whether a press there reaches the desk (no window lies above it).
using SolvePointFree = int (*)(int x, int y);
int solve_next_move(SolveMove* move, int skip, SolvePointFree free);
int solve_joined(const SolveMove* move);  // the move's two pieces are in one group
// Whether the piece the move presses is selected: a plain press would carry the whole selection
// (the gathered loose pieces), so the solver first takes it out of the selection.
int solve_grab_selected(const SolveMove* move);
// Where the pointer must move by now (dx, dy) so that move->piece lands exactly on its place
// beside move->target, as the pieces lie at this moment (after any turns).
void solve_offset(const SolveMove* move, int* dx, int* dy);
// The quarter turns still needed (clockwise, 0..3) for move->piece to match move->target's
// angle; -1 while a turn is asked for or running.
int solve_turns_left(const SolveMove* move);
// A large table: the solver plays it seen whole (it asks for that view through the keys first).
int solve_big_table();
int solve_whole_table_shown();
