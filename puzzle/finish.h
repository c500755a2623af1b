// puzzle/finish.h -- the finished puzzle shown off: the whole picture glides and turns upright to
// a place the play room chose, then its seams fade into the clean picture; a finished puzzle put
// down upright (or opened again) shows the clean picture at once. The pieces keep their own
// drawing everywhere else: this only draws over a finished puzzle resting upright.
//
// Everything runs on kernel ticks, so a headless run plays it the same every time. On a large
// table (puzzle/view.h) places are table pixels, and the fade draws the clean picture over the
// pieces as the view shows them (finish_overlay), whatever the view does meanwhile.
#pragma once

#include "base/rect.h"

enum FinishPhase {
    FINISH_NONE,    // the pieces are drawn as they are
    FINISH_MOVING,  // the picture glides to its place
    FINISH_FADING,  // the seams fade
    FINISH_SHOWN,   // the clean picture
};
inline constexpr int FINISH_MOVE_TICKS = 15;  // about half a second
inline constexpr int FINISH_FADE_TICKS = 30;  // about a second

// The finished picture's extent (the union of its pieces' rectangles) when it lies upright with
// the grid region's top-left at (0, 0); 0 when the puzzle is not finished.
int finish_extent(Rect* extent);
// Starts the show of a finished puzzle: the picture glides and turns upright until the grid
// region's top-left lies at (x, y), then fades. 0 when the puzzle is not finished (nothing starts).
int finish_start(int x, int y);
// The clean picture at once, where the finished puzzle lies (it must rest upright); 0 otherwise.
int finish_show();
// A running glide or fade jumps to its end (the game ends, or is saved, mid-way).
void finish_skip();
// Back to the pieces' own drawing (the picture is picked up; the game ends). Frees what it kept.
void finish_stop();
// Per kernel tick: the glide and the fade step on. The phase afterwards.
int finish_tick();
int finish_phase();
// The grid region of the picture on the desk while a show runs or is shown; 0 otherwise.
int finish_picture_rect(Rect* rect);

// --- Per desk paint (after the background and the title line) ---
// Draws the finished picture where the desk is dirty instead of the pieces; 0 when the pieces are
// to be drawn as usual (then finish_capture runs after them).
int finish_draw();
// After the pieces were drawn: keeps what the finished puzzle looks like with its seams, the start
// of the fade.
void finish_capture();
// After the pieces of a large table were drawn: the clean picture over them, by the fade's level.
void finish_overlay();
