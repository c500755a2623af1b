// puzzle/playinfo.h -- what the windows around the desk read from the open game and the few
// settings they hand to it; the play state itself stays with the engine.
#pragma once

#include "image/img.h"

struct PlaySummary {
    const char* name;   // the box's name
    int pieceCount;     // pieces of the open game, 0 when none is open
    int percent;        // joined, 0..100
    int hiddenPicture;  // the box keeps its picture a surprise until finished
    int hasTune;        // the box brought a tune (the working file BOX_TUNE_FILE)
    int repeatTune;     // the tune starts again when it ends
    int seconds;        // playing time so far, over every game of the box
};
void play_summary(PlaySummary* out);

// The grid region of the open game's picture (24-bit; columns x size by rows x size from the
// margins); 0 when no game is open.
int play_picture_region(const Image** picture, int* x, int* y, int* width, int* height);

// The desk with the faint picture, desk-sized (made when first asked for), or null when no game is
// open.
const Image* play_ghost_desk();

// The desk's size (the screen); set once by the play room before any game starts.
void play_set_desk(int width, int height);

// The picture window's size step the player chose for this box (kept with its saved game), or -1
// when none was chosen yet; setting it while no game is open does nothing.
int play_picture_zoom();
void play_set_picture_zoom(int zoom);
// The open game started on a freshly scattered desk (no saved game was taken up).
int play_fresh_desk();

// --- The view of a large table (puzzle/view.h) ---
// The open game's table is larger than the desk, so the view zooms and pans; 0 when the table is
// the desk (the view never moves and the operations below do nothing).
int play_big_table();
// The view zoomed one step in (+1) or out (-1), to 100 % (zoom 1), or to the whole table
// (zoom 0), keeping the table point under the screen point (x, y) where it is as far as the pan
// limits allow; 1 when the view changed.
int play_view_zoom_step(int direction, int x, int y);
int play_view_zoom_to(double zoom, int x, int y);
int play_view_pan(int dx, int dy);      // screen pixels; 1 when the view moved
int play_view_centre_on(int x, int y);  // the table point to the screen's middle, as far as it goes
// The view that shows the table rectangle whole and in the middle of the screen (at most 100 %);
// 1 when the view changed.
int play_view_show(int x, int y, int w, int h);
// Where a finished picture lies on a large table: the grid region's top-left in the middle of the
// table (where the faint picture shows). 0 when the table is the desk.
int play_table_picture_place(int* x, int* y);
// A table rectangle as the screen shows it now (the same rectangle while the table is the desk).
void play_view_rect(int* x, int* y, int* w, int* h);
double play_view_zoom();  // screen pixels per table pixel (1 when the table is the desk)
// The view: its zoom and where the table's top-left lies on the screen; the table's size.
void play_view_get(double* zoom, int* x, int* y, int* tableW, int* tableH);
