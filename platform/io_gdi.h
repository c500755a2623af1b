// platform/io_gdi.h -- pens, lines, rectangle outlines and Bezier curves drawn in software
// straight into the frame buffer (no dirty-cell clipping; callers invalidate what they draw).
// Every pixel stays inside the screen's clip rectangle.
#pragma once

struct GdiPoint {
    int x, y;
};

// Pen styles; the width is always 1.
enum GdiPenStyle { PEN_SOLID = 0, PEN_DASHED = 1, PEN_DOTTED = 2 };
// Colour 0x00RRGGBB, -1 the null pen (draws nothing). Any other style is fatal.
void io_gdi_set_pen(int style, int colour);
void io_gdi_reset_pen();                                // the black solid pen
void io_gdi_line(int x0, int y0, int x1, int y1);       // both end points drawn
void io_gdi_rectangle(int x, int y, int w, int h);      // outline of x..x+w-1, y..y+h-1
void io_gdi_bezier(const GdiPoint* points, int count);  // 3k + 1 points
