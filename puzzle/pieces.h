// puzzle/pieces.h -- the pieces of the open game (play_state.pieces): the piece table, the
// layout (scatter, settle, keeping pieces on the desk), every piece's screen rectangles, and per
// paint and per tick the refresh, the carried and turning pieces, and the two drawing layers.
#pragma once

// --- The piece table ---
void pieces_alloc(int count);  // all records zero, not stacked (prev, next -1), group -1
void pieces_free();

// --- Layout ---
void pieces_scatter();         // a fresh desk (game_start when there is no saved layout)
void pieces_settle();          // after a scatter or a restore
void pieces_rects(int piece);  // screen and shadow rectangles for the current values
void pieces_keep_on_desk();    // pieces with moved set come back onto the table
// Every piece's rectangles anew and taken as drawn (after pieces moved outside the tick).
void pieces_rects_all();
void pieces_finish_turns();  // a turn in progress ends at once at its quarter, about its pivot

// --- Per paint and per tick ---
// Between two events of the desk only the tick changes pieces, so the refresh and the tick look
// at the pieces the tick moves (puzzle/deskindex.h). Whatever changes pieces in any other way
// (the desk's events, a game opened, a test setting fields) calls pieces_touch; the next refresh
// and tick then look at every piece.
void pieces_touch();
// The view of a large table moved or zoomed: every piece's screen rectangles anew, the whole desk
// drawn again.
void pieces_view_changed();
long pieces_visits();  // pieces looked at by refreshes, ticks and the resting layer since the start
// A redraw of most of the desk with at least this many pieces is drawn in two bands of rows on
// two threads (2000 unless a test says otherwise; the picture is the same either way).
void pieces_set_band_pieces(int count);
void pieces_refresh();  // marks changed pieces' old and new areas dirty
void pieces_tick();
// The desk layer, bottom to top, lifted pieces left out: the pieces that meet dirty cells only.
void pieces_draw_resting();
void pieces_draw_carried();  // shadows, then the lifted pieces, above everything
