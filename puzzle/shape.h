// puzzle/shape.h -- piece shapes and drawing pieces: the light and blend tables, the normal
// codes, rendering an outline into a lit coverage mask and a soft shadow, and drawing a piece
// (or its shadow) at any angle onto the 24-bit screen through the dirty cells.
//
// A piece image holds one 16-bit code per pixel: 0 outside; 0x8000 fully covered and flat (the
// picture pixel is copied); else bits 0..4 coverage in 32 steps and bits 5..14 a normal code.
// A normal code: bits 0..3 = 15 - elevation index (6 degrees a step), bits 4..9 azimuth index
// (64 steps a turn); 0 is the flat normal (0, 0, 1).
#pragma once
#include <cstdint>

#include "image/img.h"

inline constexpr int PIECE_CODE_FLAT = 0x8000;
inline constexpr int SHADOW_SCALE = 191;  // shadow strength 75 percent of 255, rounded down

// One distinct outline of a cut, rendered. Shared by every piece with that outline.
struct PieceShape {
    Image* piece;              // IMG_16BIT piece codes, owned
    Image* shadow;             // IMG_8BIT shadow strengths, owned; null when none
    int32_t pieceX, pieceY;    // piece image's top-left relative to the grid cell's top-left
    int32_t shadowX, shadowY;  // shadow image's top-left relative to the piece image's top-left
};

// Where a piece or its shadow lies on the screen (piece_quad): bounding rectangle (inclusive)
// and the four corners of the image, turned and placed. Texture corners are, in the same order,
// (0, 0), (w - 1, 0), (w - 1, h - 1), (0, h - 1) of the image drawn. right = -1 marks a quad that
// is not on the screen; piece_draw then draws nothing.
struct PieceQuad {
    int32_t left, top, right, bottom;
    double corner[4][2];  // x, y
};

// Set by shape_canvas_prepare from the piece size (limited to 150).
struct ShapeConstants {
    double shadowSigma;                 // size * 0.05
    int32_t liftHeight;                 // size / 21 rounded, at least 1
    double reliefSigma;                 // (size / 30) / 3, at least 0.5
    double reliefDepth;                 // size / 30, or size * (size / 30) / 75 from 100 on
    int32_t canvasWidth, canvasHeight;  // 4 x the prepared width and height
    int32_t originX, originY;           // a cell's top-left inside the canvas
};

// --- Light tables (built once when the play room is created, before any piece is drawn) ---
void light_tables_build();
const uint8_t* light_table_a();   // blend: [d * 256 + c] = round(d * (31 - c) / 31)
const uint8_t* light_table_b();   // light: [step * 8192 + c * 256 + p]
const uint16_t* light_table_c();  // code to B row / 4, 65536 entries (second half repeats)

// --- Normal codes ---
int normal_encode(double nx, double ny, double nz);  // 10-bit code of a (not flat) normal
void normal_decode(int code, double* n);             // unit normal; code 0 is (0, 0, 1)
int normal_brightness(int code);                     // the brightness byte of the lit normal

// --- The shape table ---
void shapes_alloc(int count);  // all records zero; replaces (and frees) the previous table
void shapes_free();            // the table and both images of every record
PieceShape* shapes_table();
int shapes_count();     // records of the table
int shapes_rendered();  // records filled by shape_render so far

// --- Rendering ---
// Creates the two render canvases (4 x width by 4 x height) and sets the render constants.
void shape_canvas_prepare(int width, int height);
void shape_canvas_free();
const ShapeConstants* shape_constants();
// Renders the next record of the table from an outline (corners as x, y pairs, the four curve
// types); count is 4.
void shape_render(const int32_t* corners, const int32_t* types, int count);
// Renders outlines[0..count) into the next count records, in order, on up to `threads` threads
// (1: this thread only); the result is the same as calling shape_render for each in turn.
// step (may be null) is told how many are done, on this thread, in order.
void shape_render_many(const int32_t* outlines48, int count, int threads, void (*step)(int done));

// Edge tracing, exposed for tests: traces the mapped Bezier chain (3k + 1 points) into an 8-bit
// canvas view with the coverage emit rule; the inside lies right of the direction of travel.
void shape_trace(const ImageView* canvas, const double* points_xy, int count);

// --- Drawing ---
// The corners and bounding rectangle of a piece (shadow 0) or of its shadow (shadow 1) with its
// image's top-left at (x, y), turned by angle degrees about that point (positive: counter-clockwise
// on the screen); the shadow lies lift pixels right of and below it. Rounds half away from zero.
// The rectangle is not clipped to the screen (the play state does that).
void piece_quad(const PieceShape* shape, int x, int y, int angle, int lift, int shadow, PieceQuad* out);
// The picture the pieces take their pixels from (24-bit); it must outlive the drawing.
void piece_set_picture(const Image* picture);
// Draws a piece (shadow 0; its pixels from the picture at home + texture position) or its shadow
// (shadow 1) through the quad, clipped to the dirty cells of the open frame. A selected piece has
// the red byte of every picture pixel at 255.
void piece_draw(const PieceQuad* quad, const PieceShape* shape, int homeX, int homeY, int angle, int selected,
                int shadow);
// Optional: asks the caches for what drawing this piece will read, so that a loop over many
// pieces can call it for the next piece before drawing the current one. Draws nothing.
void piece_prefetch(const PieceQuad* quad, const PieceShape* shape, int homeX, int homeY, int shadow);
