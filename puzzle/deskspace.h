// puzzle/deskspace.h -- the part of the desk the player sees, and free room in it: the desk below
// the title line less the windows that float over it (the play room hands them in), where pieces
// can be brought without piling them up, and where a rectangle (the finished picture) can lie.
//
// Free room is found on a lattice of squares as large as the largest piece image, so a piece put
// on a free square lies wholly in view whatever its quarter turn. Squares lie a pitch apart that
// shrinks from generous to the piece size until there are enough free ones; only when even the
// tightest lattice has too few free squares do pieces share them (still wholly in view). Every
// choice is reproducible: it depends on the pieces, the desk and the view, and on the game's own
// generator where pieces are scattered.
#pragma once
#include <cstdint>

#include "base/rect.h"

inline constexpr int DESK_KEEP_OUT_MAX = 4;  // windows over the desk the view leaves out

// The view: rows above `top` (the title line) and the keep-out rectangles (screen pixels) are not
// in view. Until set, the whole desk is in view. On a large table (puzzle/view.h) the view is the
// part of the table the screen shows at the time of the call, in table pixels; the title line's
// rows are kept clear at the table's top too.
void desk_set_view(int top, const Rect* keepOut, int count);
// The whole table is the view (below `top` rows at its top), less the keep-out rectangles (screen
// pixels) where the view shows them now: where a fresh large table is scattered.
void desk_set_whole_table(int top, const Rect* keepOut, int count);
int desk_view_top();
// Whether a rectangle (inclusive pixel bounds) lies wholly on the desk below the title line and
// meets no keep-out rectangle.
int desk_in_view(int left, int top, int right, int bottom);

// Moves every piece whose flag is set (loose and resting, at a quarter turn) to free room in view:
// the nearest free square to where it lies, taken in stacking order from the top; the others are
// obstacles that the moved pieces do not cover more than a little. jitter: pieces also shift at
// random within a square's spare room (the fresh scatter), so the desk does not look ruled.
void desk_spread(const uint8_t* moving, int jitter);
// After the scatter of a fresh desk: every piece brought into view, apart from the others where
// the desk has room.
void desk_tidy_scatter();
// Brings into view every loose piece that lies under a keep-out window, not wholly on the desk
// below the title line, or on a group (its middle over a grouped piece); the others stay.
// 1 when any piece moved.
int desk_gather_into_view();

// A place for a width x height rectangle in view, nearest to the middle of the view; 0 when
// there is none. (x, y) is its top-left.
int desk_place(int width, int height, int* x, int* y);

// Carried pieces move as one rigid set: the motion (dx, dy) is cut so that no carried piece's
// rectangle leaves the table below the title line's rows (a piece already beyond an edge may still move
// back, never further out).
void desk_limit_carry(int* dx, int* dy);
