// puzzle/deskindex.h -- where the open game's pieces lie on the desk, and which of them can
// change between two events, so that the work of a frame grows with what changed and not with
// the piece count.
//
// The desk is cut into square bins of DESK_BIN pixels; every piece is listed in each bin its
// screen rectangle (as last drawn) meets, and the list is kept current as rectangles are
// recomputed (pieces_rects). The stacking order is read into ranks (0 at the bottom) when it
// changed (stack_version). The resting layer draws only the pieces of bins that meet dirty cells,
// in stacking order; the hit test looks only at the bin under the point.
//
// Between two events of the desk nothing but the tick changes a piece, and the tick changes only
// the carried and turning pieces: the index keeps those (the active pieces), the lifted pieces,
// and the pieces a tick changed since the last refresh (the watched pieces). After anything else
// may have changed pieces (an event of the desk, a game opened, a test poking fields),
// deskindex_touch makes the next tick and the next refresh look at every piece again.
#pragma once

inline constexpr int DESK_BIN = 64;  // pixels on a side of a bin

// --- Lifetime (the piece table's: pieces_alloc and pieces_free) ---
void deskindex_alloc(int pieceCount);
void deskindex_free();

// --- Keeping it current ---
void deskindex_place(int piece);  // the piece's screen rectangle changed (or it went off the desk)
void deskindex_touch();           // any piece may have changed: the next tick and refresh look at all
int deskindex_tick_stale();       // 1 once after a touch: the tick looks at every piece
int deskindex_refresh_stale();    // 1 once after a touch: the refresh looks at every piece

// The active pieces (carried, turning or asked to turn), in index order. The tick rebuilds the
// list as it goes: deskindex_active_begin, then deskindex_active_keep for each piece still active.
int deskindex_active_count();
const int* deskindex_active();
void deskindex_active_begin();
void deskindex_active_keep(int piece);
// Pieces a tick changed since the last refresh; the refresh takes them (and empties the list).
void deskindex_watch(int piece);
int deskindex_take_watched(int* out);  // out holds the piece count; returns how many
// The lifted pieces, from the refresh's look at every piece: set, then read in stacking order.
void deskindex_lifted_begin();
void deskindex_lifted_add(int piece);
int deskindex_lifted(int* out);  // bottom first; out holds the piece count; returns how many

// A list of one int per piece for the caller's own use (the pieces of one pass), kept with the index.
int* deskindex_scratch();

// --- Questions ---
int deskindex_rank(int piece);  // place in the stacking order from the bottom, -1 when not stacked
// The pieces listed in bins that meet dirty cells, each once, bottom first (by rank); -1 when
// they are more than `most` (the caller walks the whole stacking order instead).
int deskindex_dirty_pieces(int* out, int most);
// The topmost piece for which hit(piece, x, y) holds among those whose rectangle holds the point;
// -1 when none.
int deskindex_top_at(int x, int y, int (*hit)(int piece, int x, int y));
// Every bin list equals a search of all pieces' rectangles (tests): 1 when it does.
int deskindex_consistent();
