// puzzle/trace.cpp -- the edge tracer: stepping along each segment until the pixel changes,
// bisecting for the exit point, and the emit rule that turns an entry and an exit into coverage.
#include "puzzle/trace.h"

#include <cmath>

#include "platform/io_debug.h"

namespace {

struct Pt {
    double x, y;
};

inline void canvas_set(TraceCanvas* r, int x, int y, int v) {
    if (x < 0 || y < 0 || x >= r->width || y >= r->height) return;
    r->pixels[y * r->width + x] = (uint8_t)v;
    if (x < r->left) r->left = x;
    if (x > r->right) r->right = x;
    if (y < r->top) r->top = y;
    if (y > r->bottom) r->bottom = y;
}

// floor() for the coordinates of a canvas (far inside the range of a 64-bit integer), without
// the library call that a baseline x86-64 build makes of it.
inline double floor_small(double v) {
    const double t = (double)(int64_t)v;
    return t > v ? t - 1.0 : t;
}

inline double snap(double v) {
    const double r = floor_small(v + 0.5);
    return std::fabs(v - r) < 0.0001 ? r : v;
}

struct Bezier {
    Pt p0, p1, p2, p3;
    Pt at(double t) const {
        const double mt = 1.0 - t;
        const double a = mt * mt * mt, b = 3.0 * mt * mt * t, c = 3.0 * mt * t * t, d = t * t * t;
        return {snap(a * p0.x + b * p1.x + c * p2.x + d * p3.x),
                snap(a * p0.y + b * p1.y + c * p2.y + d * p3.y)};
    }
};

inline int pix(double v) { return (int)floor_small(v); }

// The nearest side of the unit square to (x, y): 0 top, 1 right, 2 bottom, 3 left; on a tie the
// earlier side.
int nearest_side(double x, double y) {
    const double d[4] = {std::fabs(y), std::fabs(x - 1), std::fabs(y - 1), std::fabs(x)};
    int best = 0;
    for (int i = 1; i < 4; i++)
        if (d[i] < d[best]) best = i;
    return best;
}

// The share of a pixel inside the curve that enters it at (x0, y0) on side s0 and leaves it at
// (x1, y1) on side s1, in pixel coordinates.
double covered_share(int s0, int s1, double x0, double y0, double x1, double y1) {
    switch (s0 * 4 + s1) {
        case 0 * 4 + 1:
            return 1 - (1 - x0) * y1 / 2;
        case 0 * 4 + 2:
            return (x0 + x1) / 2;
        case 0 * 4 + 3:
            return x0 * y1 / 2;
        case 1 * 4 + 0:
            return (1 - x1) * y0 / 2;
        case 1 * 4 + 2:
            return 1 - (1 - x1) * (1 - y0) / 2;
        case 1 * 4 + 3:
            return (y0 + y1) / 2;
        case 2 * 4 + 0:
            return 1 - (x0 + x1) / 2;
        case 2 * 4 + 1:
            return (1 - x0) * (1 - y1) / 2;
        case 2 * 4 + 3:
            return 1 - (1 - y1) * x0 / 2;
        case 3 * 4 + 0:
            return 1 - y0 * x1 / 2;
        case 3 * 4 + 1:
            return 1 - (y0 + y1) / 2;
        case 3 * 4 + 2:
            return (1 - y0) * x1 / 2;
        // Entry and exit on the same side: the curve dips into the pixel and back. The pixel
        // is outside when the inside lies beyond that side, and inside (less the dip) when the
        // inside lies towards the pixel, by the same direction rule as a run along a side.
        case 0 * 4 + 0:
            return x0 < x1 ? 1.0 : 0.0;
        case 1 * 4 + 1:
            return y0 < y1 ? 1.0 : 0.0;
        case 2 * 4 + 2:
            return x0 >= x1 ? 1.0 : 0.0;
        case 3 * 4 + 3:
            return y0 >= y1 ? 1.0 : 0.0;
        default:
            return 0.0;
    }
}

// Sets the coverage of pixel (px, py) crossed from entry a to exit b; inside is right of travel.
void emit(TraceCanvas* r, int px, int py, Pt a, Pt b) {
    const double x0 = a.x - px, y0 = a.y - py, x1 = b.x - px, y1 = b.y - py;
    // Runs along a pixel side cover the pixel on the inside of the side fully.
    if (x0 == 0 && x1 == 0) return canvas_set(r, y0 >= y1 ? px : px - 1, py, 254);
    if (x0 == 1 && x1 == 1) return canvas_set(r, y0 < y1 ? px : px + 1, py, 254);
    if (y0 == 0 && y1 == 0) return canvas_set(r, px, x0 < x1 ? py : py - 1, 254);
    if (y0 == 1 && y1 == 1) return canvas_set(r, px, x0 >= x1 ? py : py + 1, 254);
    const double f = covered_share(nearest_side(x0, y0), nearest_side(x1, y1), x0, y0, x1, y1);
    int v = (int)(f * 255.0);
    if (v > 254) v = 254;
    if (v < 0) v = 0;
    canvas_set(r, px, py, v);
}

// Traces a chain of 3k + 1 points, pixel by pixel. The walk goes on across the joints of the
// segments: a pixel that holds a joint is emitted once, from where the chain entered it to where
// it leaves it (starting afresh at each joint would skip a pixel whose edge holds the joint, and
// the gap would let the flood fill into the piece).
void trace_points(TraceCanvas* r, const Pt* p, int count) {
    if (count < 4) return;
    const Pt start = {snap(p[0].x), snap(p[0].y)};
    Pt entry = start, last_exit = start;
    int cx = pix(start.x), cy = pix(start.y);
    for (int s = 0; s + 3 < count; s += 3) {
        const Bezier bz{p[s], p[s + 1], p[s + 2], p[s + 3]};
        const double chord = std::hypot(bz.p3.x - bz.p0.x, bz.p3.y - bz.p0.y);
        const double dt = 1.0 / (2.0 * chord);
        double t = 0.0;
        Pt at_t = bz.at(0.0);
        for (;;) {
            double tn;
            Pt q;
            int qx, qy;
            for (;;) {
                tn = t + dt;
                if (!(tn < 1.0)) tn = 1.0;
                q = bz.at(tn);
                qx = pix(q.x), qy = pix(q.y);
                if (qx == cx && qy == cy && tn < 1.0) {
                    t = tn;
                    at_t = q;
                    continue;
                }
                break;
            }
            if (qx == cx && qy == cy) break;  // the segment ends inside the current pixel
            // Bisect for the point where the curve leaves the current pixel.
            double lo = t, hi = tn;
            Pt best = q, exit_pt = at_t;
            int nx = qx, ny = qy;
            for (int guard = 0; guard < 200; guard++) {
                const double mid = (lo + hi) * 0.5;
                const Pt m = bz.at(mid);
                if (pix(m.x) == cx && pix(m.y) == cy) {
                    exit_pt = m;
                    if (std::fabs(m.x - best.x) <= 0.001 && std::fabs(m.y - best.y) <= 0.001) break;
                    lo = mid;
                } else {
                    hi = mid;
                    best = m;
                    nx = pix(m.x), ny = pix(m.y);
                }
            }
            if (std::fabs(exit_pt.x - entry.x) > 0.002 || std::fabs(exit_pt.y - entry.y) > 0.002)
                emit(r, cx, cy, entry, exit_pt);
            last_exit = exit_pt;
            entry = best;
            cx = nx, cy = ny;
            t = hi;
            at_t = best;
        }
    }
    const Pt end = p[count - 1];
    if (std::fabs(last_exit.x - end.x) > 0.1 || std::fabs(last_exit.y - end.y) > 0.1)
        emit(r, cx, cy, entry, end);
}

}  // namespace

void trace_begin(TraceCanvas* canvas, uint8_t* pixels, int width, int height) {
    canvas->pixels = pixels;
    canvas->width = width;
    canvas->height = height;
    canvas->left = width, canvas->top = height, canvas->right = -1, canvas->bottom = -1;
}

void trace_chain(TraceCanvas* canvas, const double* points_xy, int count) {
    trace_points(canvas, (const Pt*)points_xy, count);
}

void trace_view(const ImageView* canvas, const double* points_xy, int count) {
    IO_ASSERT(canvas->kind == IMG_8BIT && canvas->pitch == canvas->width);
    TraceCanvas c;
    trace_begin(&c, canvas->pixels, canvas->width, canvas->height);
    trace_points(&c, (const Pt*)points_xy, count);
}
