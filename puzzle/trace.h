// puzzle/trace.h -- the edge tracer: a chain of cubic Bezier segments walked pixel by pixel into
// an 8-bit canvas, every pixel it crosses set to the share of it that lies inside the outline
// (0..254; the inside lies right of the direction of travel, as outlines run clockwise).
#pragma once
#include <cstdint>

#include "image/img.h"

// A canvas to trace into and the box of the pixels written so far.
struct TraceCanvas {
    uint8_t* pixels;                   // width x height bytes, rows width apart
    int32_t width, height;             // pixels outside are not written
    int32_t left, top, right, bottom;  // inclusive box of writes; right -1 before the first
};

void trace_begin(TraceCanvas* canvas, uint8_t* pixels, int width, int height);  // an empty box
// Traces the chain of 3k + 1 points (x, y pairs) into the canvas, growing its box.
void trace_chain(TraceCanvas* canvas, const double* points_xy, int count);
// The same into an IMG_8BIT view whose rows lie width apart, without a box (tests).
void trace_view(const ImageView* canvas, const double* points_xy, int count);
