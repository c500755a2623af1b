// puzzle/shape.h -- piece shapes: the table of the cut's distinct outlines and the renderer
// that turns an outline into a lit coverage mask and a soft shadow.
//
// A piece image holds one 16-bit code per pixel: 0 outside; 0x8000 fully covered and flat (the
// picture pixel is copied); else bits 0..4 coverage in 32 steps and bits 5..14 a normal code
// (puzzle/normal.h).
#pragma once
#include <cstdint>

#include "image/img.h"

inline constexpr int PIECE_CODE_FLAT = 0x8000;
inline constexpr int SHADOW_SCALE = 191;  // shadow strength 75 percent of 255, rounded down

inline constexpr int SHAPE_LEVELS = 4;  // smaller levels of a shape: 1/2, 1/4, 1/8 and 1/16

// One distinct outline of a cut, rendered. Shared by every piece with that outline.
struct PieceShape {
    Image* piece;              // IMG_16BIT piece codes, owned
    Image* shadow;             // IMG_8BIT shadow strengths, owned; null when none
    int32_t pieceX, pieceY;    // piece image's top-left relative to the grid cell's top-left
    int32_t shadowX, shadowY;  // shadow image's top-left relative to the piece image's top-left
    // The images halved level by level, made when a zoomed-out view first draws them
    // (puzzle/piece.h); owned, null until then. Never kept in the cut cache.
    Image* pieceLevels[SHAPE_LEVELS];
    Image* shadowLevels[SHAPE_LEVELS];
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

// --- The shape table ---
void shapes_alloc(int count);  // all records zero; replaces (and frees) the previous table
void shapes_free();            // the table and every image of every record
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
