// puzzle/drag.h -- the play on the desk: picking pieces up (a piece with its group, or the
// selection), carrying and turning them, dropping them, snapping a dropped piece to a matching
// neighbour and merging their groups, selecting by Ctrl-click or rubber band, the finished
// puzzle, gathering loose pieces.
//
// The desk window forwards its mouse events here and does what the result asks (start or end
// its mouse capture, start a rubber band); a drop tells what happened and the desk window
// decides what the player sees and hears of it. Everything else happens in the open game
// (puzzle/play.h). The events come in screen pixels of the desk; the play itself is in table
// pixels (puzzle/view.h): hit tests take the pointer to the table, carried pieces follow the
// table point under the pointer, snapping and joining measure on the table.
#pragma once
#include <cstdint>

#include "base/event.h"  // the flags of the desk's button events: MOUSE_LEFT, _RIGHT, _CTRL, _CAPTURED

// What the desk window does after a button event.
inline constexpr int DESK_NOTHING = 0;
inline constexpr int DESK_CAPTURE = 1;      // capture the mouse for a drag
inline constexpr int DESK_END_CAPTURE = 2;  // end the drag capture (its end event drops)
inline constexpr int DESK_BAND = 3;         // start a rubber band

inline constexpr uint32_t CLICK_HOLD_MS = 250;  // a shorter click leaves the pieces on the mouse

// --- The desk's mouse events ---
int desk_button_down(int x, int y, int flags, uint32_t now);  // flags MOUSE_*; DESK_*
int desk_button_up(int x, int y, int flags, uint32_t now);    // flags MOUSE_*; DESK_*
void desk_drag_motion(int dx, int dy);  // summed until the next tick moves the carried pieces
void desk_mouse_at(int x, int y);       // the pointer's screen position: turns go about it
// The view of a large table changed (a zoom, a pan, the edge scrolling under a carried piece):
// the carried pieces go with the table point now under the pointer.
void desk_view_changed();

// --- Operations ---
int piece_at(int x, int y);  // topmost piece under the screen point (fringe counts, shadow not), -1 none
void group_pick_up(int piece);
// The selected pieces, carried as one rigid set: the set stops where one of them would leave the
// desk below the title line (puzzle/deskspace.h), so the drop never pushes them into a pile.
void selection_pick_up();
void group_toggle_select(int piece);
void select_none();
void turn_request(int direction);  // +1 counter-clockwise, -1 clockwise, for every carried piece
void select_in_rect(int x, int y, int w, int h);
// Raises the loose pieces above the groups (the largest groups lowest) and selects them, then
// brings every loose piece that lies under a window of the view, not wholly on the desk below
// the title line, or on a group into free room in view (puzzle/deskspace.h).
void gather_loose();
// Whether the dropped piece p lies close enough to its neighbour n, at a close enough angle.
int snap_test(int p, int n);

// What one drop did.
struct DropResult {
    int joined;          // joins made: a dropped piece snapped to a neighbour (0: none)
    int completed;       // this drop finished the puzzle
    int x, y;            // the pointer on the screen where the pieces went down
    int elapsedSeconds;  // when completed: the playing time summed over every game of the box
};

// Puts every carried piece down where the pointer let go of them, joins what snaps and clears
// the selection after a join; a join that leaves one group finishes the puzzle: percent 100,
// the date and the time played. The layout, the selection and the summary are all it changes,
// so the game's end and the autosave put pieces down by ignoring the result.
DropResult pieces_drop();
