// puzzle/piece.h -- drawing a piece (or its shadow) at any angle onto the 24-bit screen through
// the dirty cells: where it lies on the screen, and its pixels lit through the light tables
// (puzzle/light.h) and blended by coverage.
#pragma once
#include <cstdint>

#include "image/img.h"
#include "puzzle/shape.h"

// Where a piece or its shadow lies on the screen (piece_quad): bounding rectangle (inclusive)
// and the four corners of the image, turned and placed. Texture corners are, in the same order,
// (0, 0), (w - 1, 0), (w - 1, h - 1), (0, h - 1) of the image drawn. right = -1 marks a quad that
// is not on the screen; piece_draw then draws nothing.
struct PieceQuad {
    int32_t left, top, right, bottom;
    double corner[4][2];  // x, y
};

// The corners and bounding rectangle of a piece (shadow 0) or of its shadow (shadow 1) with its
// image's top-left at (x, y), turned by angle degrees about that point (positive: counter-clockwise
// on the screen); the shadow lies lift pixels right of and below it. Rounds half away from zero.
// The rectangle is not clipped to the screen (the play state does that).
void piece_quad(const PieceShape* shape, int x, int y, int angle, int lift, int shadow, PieceQuad* out);
// The picture the pieces take their pixels from (24-bit); it must outlive the drawing. Its
// halved levels are dropped when another (or none) is set.
void piece_set_picture(const Image* picture);
// Draws a piece (shadow 0; its pixels from the picture at home + texture position) or its shadow
// (shadow 1) through the quad, clipped to the dirty cells of the open frame. A selected piece has
// the red byte of every picture pixel raised half-way to 255 (red + 255) / 2, so its picture
// still shows through the tint.
void piece_draw(const PieceQuad* quad, const PieceShape* shape, int homeX, int homeY, int angle, int selected,
                int shadow);
// --- Smaller levels (a zoomed-out view of the table) ---
// A quad that shows its image at less than about 0.7 screen pixels a texel is drawn from a level
// of halved images: level n halves n times (the picture too), up to SHAPE_LEVELS.
int piece_level_for(const PieceQuad* quad, int width, int height);  // 0: the image itself
// The shape's piece image (shadow 0) or shadow at a level, made on first use; level 0 is the
// image itself. Null when the shape has no such image.
const Image* piece_level(const PieceShape* shape, int shadow, int level);
const Image* piece_picture_level(int level);  // the picture set with piece_set_picture, halved

// --- Drawing in bands on several threads ---
// Makes whatever drawing the quad will need (its levels), so that drawing it afterwards takes
// nothing new and may run on any thread.
void piece_prepare(const PieceQuad* quad, const PieceShape* shape, int shadow);
// The rows [top, bottom] this thread's piece_draw calls draw in (every row by default).
void piece_set_band(int top, int bottom);

// Optional: asks the caches for what drawing this piece will read, so that a loop over many
// pieces can call it for the next piece before drawing the current one. Draws nothing.
void piece_prefetch(const PieceQuad* quad, const PieceShape* shape, int homeX, int homeY, int shadow);
