// platform/screen.h -- the 24-bit frame buffer and its dirty-cell grid.
//
// The buffer is stored bottom row first, so `screen.pitch` is negative: a view at (x, y) starts
// at buf + y * pitch + x * bytesPerPixel. `buf` is set only while a frame is open.
#pragma once
#include <cstdint>

#include "base/rect.h"

struct Screen {
    int width;          // pixels
    int height;         // pixels
    int bits;           // bits per pixel (24)
    int bytesPerPixel;  // (bits + 4) / 8
    int pitch;          // bytes from one screen row to the one below it; negative
    uint8_t* buf;       // top row while a frame is open, else null
};
extern Screen screen;

// The frame buffer itself (owned by the video layer); the top row is always reachable here,
// also outside a frame, for the drawing calls that bypass the dirty cells.
uint8_t* screen_top_row();

// Grid lifetime: from start-up to shutdown. All cells start dirty. A cell's width and height are
// the first sizes of a preference list (32, 28, 24, ...; 1 at the end) that divide the screen's.
void screen_grid_create();
void screen_grid_free();
int screen_grid_cell_width();
int screen_grid_cell_height();

void screen_invalidate(int x, int y, int w, int h);
void screen_invalidate_all();
bool screen_any_dirty();  // some cell is dirty
bool screen_is_dirty(int x, int y, int w, int h);
// Bounding box of the dirty cells among those touched by (x0, y0)-(x1, y1) inclusive, clipped
// to that rectangle; false when none is dirty.
bool screen_dirty_bounds(int x0, int y0, int x1, int y1, Rect* out);

// The clip rectangle: every dirty span walk and every io_gdi pen stroke stays inside it. The
// window manager sets it to a window's rectangle before the window paints; by default (and after
// screen_clip_reset) it is the whole screen. The grid's own bookkeeping (invalidation, dirty
// queries, flush) ignores it.
void screen_set_clip(int x, int y, int w, int h);
void screen_clip_reset();
Rect screen_clip();

// Calls action once per horizontal run of dirty cells touched by the rectangle, top row first,
// left to right, with the run's pixel rectangle (one cell row high), cut to the clip rectangle.
using SpanAction = void (*)(void* ctx, int x, int y, int w, int h);
void screen_for_each_dirty_span(int x, int y, int w, int h, SpanAction action, void* ctx);

// End of frame: every dirty span of the whole screen becomes a presentation rectangle,
// then every cell is clean.
void screen_flush();

// Test support: the grid's view of the screen size can be set without a video driver.
void screen_set_size_for_tests(int width, int height);
