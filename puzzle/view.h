// puzzle/view.h -- the table the pieces lie on and the view the screen shows of it.
//
// Pieces lie on a table measured in table pixels (a piece image's pixel is a table pixel). The
// screen shows the table through a view: screen = table x zoom + (x, y). A cut that fits the play
// area gets a table exactly the size of the desk (the screen) and a view that never moves (zoom 1,
// no offset), so such a game is the screen, pixel for pixel. A larger cut keeps its pieces at the
// box's own size and gets a table of about three times the picture's area, shaped like the desk;
// the view then zooms between the whole table and VIEW_ZOOM_MAX in steps of a quarter of a
// doubling, and pans over it.
#pragma once
#include <cstdint>

inline constexpr double VIEW_ZOOM_MAX = 2.0;
inline constexpr int VIEW_STEPS_PER_DOUBLING = 4;  // zoom steps from 100 % to 200 %
inline constexpr int VIEW_TABLE_AREA = 3;          // a large table holds this many pictures' areas
// The play area the cut must fit for the table to be the desk: the desk less these.
inline constexpr int VIEW_PLAY_AREA_LESS_W = 20, VIEW_PLAY_AREA_LESS_H = 80;

struct TableView {
    int32_t tableWidth, tableHeight;    // the table, table pixels
    int32_t screenWidth, screenHeight;  // the desk that shows it, screen pixels
    double zoom;                        // screen pixels per table pixel
    int32_t x, y;                       // where the table's top-left lies on the screen
};

// --- The table ---
// The table for a cut of gridW x gridH pixels on a desk of deskW x deskH: the desk itself when the
// cut fits the play area (0), else a larger table shaped like the desk that holds about
// VIEW_TABLE_AREA times the cut, the cut with a margin of two pieces a side and the desk (1).
int view_table_size(int gridW, int gridH, int pieceSize, int deskW, int deskH, int* tableW, int* tableH);
// A view of a table of tableW x tableH on a desk of screenW x screenH: the table equal to the
// desk is shown as it is, a larger one whole (view_whole).
TableView view_make(int tableW, int tableH, int screenW, int screenH);
// The view never moves: the table is the desk.
int view_fixed(const TableView& v);

// --- Transforms ---
void view_to_screen(const TableView& v, double tx, double ty, double* sx, double* sy);
void view_to_table(const TableView& v, double sx, double sy, double* tx, double* ty);

// --- Zoom and pan ---
double view_fit_zoom(const TableView& v);  // the zoom that shows the whole table (at most 1)
// Zoom in [fit, VIEW_ZOOM_MAX] and the offset within the pan limits: on each axis a table wider
// than the screen covers it (no bare edge shows), a narrower one lies centred. Non-finite or
// absurd values fall back to the whole table. A fixed view is made the identity.
void view_limit(TableView* v);
void view_whole(TableView* v);  // the whole table, centred
// The zoom one step in (direction +1) or out (-1) from zoom: the next power of two to a quarter
// step, within [fit, VIEW_ZOOM_MAX]; 100 % is a step.
double view_zoom_step(double zoom, int direction, double fit);
// Zooms to `zoom` keeping the table point under the screen point (px, py) where it is (within
// half a pixel), as far as the pan limits allow. 1 when the view changed.
int view_zoom_at(TableView* v, double zoom, int px, int py);
// Pans by (dx, dy) screen pixels within the limits. 1 when the view changed.
int view_pan(TableView* v, int dx, int dy);
// The part of the table the screen shows (table pixels, inclusive), clipped to the table.
void view_visible(const TableView& v, int* left, int* top, int* right, int* bottom);
