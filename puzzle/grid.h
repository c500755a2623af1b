// puzzle/grid.h -- cutting a picture into pieces: the grid of corners with its reproducible
// jitter and edge types, the cut preview, the piece outlines with their sharing of shapes, the
// piece records of a cut, and fitting a cut that is too large for the play area.
//
// Pieces are numbered row by row, left to right: index = row * columns + column.
#pragma once
#include <cstdint>

#include "image/img.h"

struct BoxRecord;  // puzzle/box.h: pieceSize, irregularity, edgeStyle, width, height, pieceCount

// A cut beyond these is not made (zero pieces): a piece's render canvas is 4 x its size a side,
// and every piece needs a shape.
inline constexpr int CUT_SIZE_MAX = 2048;      // piece size in pixels
inline constexpr int CUT_PIECES_MAX = 100000;  // columns x rows

// One grid corner. Positions are relative to the grid's top-left corner (margins not included).
struct GridNode {
    int32_t x, y;
    int32_t right;  // curve type of the edge leaving this node to the right
    int32_t down;   // curve type of the edge leaving this node downward
};

// The grid of the last grid_build; nodes are (columns + 1) x (rows + 1), row by row.
struct GridInfo {
    int32_t size;  // side of one cell in pixels
    int32_t columns, rows;
    int32_t marginX, marginY;  // the grid is centred on the picture
    GridNode* nodes;           // null after grid_free
};

// The outline shared by every piece of one shape: corners top-left, top-right, bottom-right,
// bottom-left relative to the first (so corner 0 is always (0, 0)); curve types of the top,
// right, bottom and left edges, walked clockwise.
struct PieceOutline {
    int32_t corners[8];  // x0, y0, x1, y1, x2, y2, x3, y3
    int32_t types[4];
};
static_assert(sizeof(PieceOutline) == 48, "outline records are 48 bytes");

// What the cut gives one piece; also the 32-byte piece entry of the cut cache.
struct CutPiece {
    int32_t homeX, homeY;    // cell's top-left node plus the margins (before the shape offset)
    int32_t shape;           // index into the shape table (puzzle/shape.h)
    int32_t neighbourCount;  // 0..4
    int32_t neighbours[4];   // above, left, below, right, each only where it exists; unused 0
};
static_assert(sizeof(CutPiece) == 32, "cut cache piece entries are 32 bytes");

// Progress of the shape rendering during pieces_cut; the play room plugs in its progress window
// (text 201). All three may be null.
struct CutProgress {
    void (*begin)(int total);
    void (*step)(int done);
    void (*end)();
};
void grid_set_progress(const CutProgress* progress);  // null: no progress shown

// --- The grid ---
// Computes columns, rows and margins, writes pieceCount (columns * rows) into settings and
// builds the node table (replacing the previous one). Settings that cannot be cut (piece size
// below 1 or above CUT_SIZE_MAX, more than CUT_PIECES_MAX pieces, an edge style that is not
// a curve, irregularity outside 0..BOX_IRREGULARITY_MAX, a picture beyond PICTURE_SIDE_MAX or
// PICTURE_PIXELS_MAX) give no pieces.
void grid_build(BoxRecord* settings);
void grid_free();
const GridInfo* grid_info();
// Draws every grid edge with curve_draw and the solid black pen, the grid's top-left corner
// (without margins) at (x, y) plus the margins.
void grid_draw_preview(int x, int y);

// --- The cut ---
// Builds the grid from settings and the outlines from it, renders every distinct outline into a
// fresh shape table (puzzle/shape.h) in order, and
// returns the piece records: settings->pieceCount entries from io_mem_alloc (the caller frees
// them), or null when the cut has no pieces (then the shape table is empty). Frees the grid.
[[nodiscard]] CutPiece* pieces_cut(BoxRecord* settings);
// The outline of every cell without rendering anything, row by row (tests, previews): returns
// the number of distinct outlines; shapeOf gets each cell's index into outlines. Both tables
// hold columns * rows entries. Needs a built grid.
int grid_outlines(PieceOutline* outlines, int32_t* shapeOf);

// --- Fitting the cut to the play area ---
// The play area is the desk less 20 pixels of width and 80 of height. When the cut is wider or
// taller than that, the picture is resampled with its aspect kept, *picture replaced (the old
// one released) and settings' pieceSize (at least 10), width and height updated; returns 1 then
// (the cut must not use the cut cache), else 0 with nothing changed.
int grid_fit_picture(BoxRecord* settings, Image** picture, int deskWidth, int deskHeight);
