// base/rect.h -- a rectangle of whole pixels: its top-left corner, its width and its height.
// Screen areas, clip rectangles, the dirty cells' bounds and the parts of a picture cut from a
// sheet all use it.
#pragma once

struct Rect {
    int x, y, w, h;
};

// The part that both rectangles cover; 0 wide or high (at the later corner) when they do not meet.
inline Rect rect_intersect(const Rect& a, const Rect& b) {
    const int x0 = a.x > b.x ? a.x : b.x, y0 = a.y > b.y ? a.y : b.y;
    const int ax1 = a.x + a.w, bx1 = b.x + b.w, ay1 = a.y + a.h, by1 = b.y + b.h;
    const int x1 = ax1 < bx1 ? ax1 : bx1, y1 = ay1 < by1 ? ay1 : by1;
    return {x0, y0, x1 > x0 ? x1 - x0 : 0, y1 > y0 ? y1 - y0 : 0};
}
