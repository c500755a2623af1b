// platform/io_gdi.cpp -- a one-pixel software pen over the frame buffer. The dash pattern runs
// on along a polyline, as a platform pen does.
#include "platform/io_gdi.h"

#include <cmath>
#include <cstddef>
#include <cstdlib>

#include "platform/io_debug.h"
#include "platform/screen.h"

namespace {

struct Pen {
    int style;   // a GdiPenStyle
    int colour;  // 0x00RRGGBB, -1 none
    int phase;   // position in the dash pattern, carried from segment to segment
};
Pen g_pen = {0, 0, 0};
Rect g_limit;  // the clip rectangle of the stroke being drawn

constexpr int DASH_ON = 18, DASH_OFF = 6;  // pixels
constexpr int DOT_ON = 3, DOT_OFF = 3;

bool pattern_on() {
    int on = g_pen.style == PEN_DASHED ? DASH_ON : DOT_ON;
    int off = g_pen.style == PEN_DASHED ? DASH_OFF : DOT_OFF;
    bool lit = g_pen.style == PEN_SOLID || g_pen.phase % (on + off) < on;
    g_pen.phase++;
    return lit;
}

void plot(int x, int y) {
    if (!pattern_on()) return;
    uint8_t* top = screen_top_row();
    if (!top || x < g_limit.x || y < g_limit.y || x >= g_limit.x + g_limit.w || y >= g_limit.y + g_limit.h)
        return;
    uint8_t* p = top + (ptrdiff_t)y * screen.pitch + x * 3;
    p[0] = (uint8_t)(g_pen.colour);
    p[1] = (uint8_t)(g_pen.colour >> 8);
    p[2] = (uint8_t)(g_pen.colour >> 16);
}

// Bresenham from (x0, y0) to (x1, y1); the end point only when asked.
void segment(int x0, int y0, int x1, int y1, bool last) {
    int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        if (x0 == x1 && y0 == y1) {
            if (last) plot(x0, y0);
            return;
        }
        plot(x0, y0);
        int e2 = 2 * err;
        if (e2 >= dy) err += dy, x0 += sx;
        if (e2 <= dx) err += dx, y0 += sy;
    }
}

}  // namespace

void io_gdi_set_pen(int style, int colour) {
    if (style < PEN_SOLID || style > PEN_DOTTED) io_fatal("io_gdi_set_pen: invalid pen style\n");
    g_pen = {style, colour, 0};
}

void io_gdi_reset_pen() { g_pen = {0, 0, 0}; }

void io_gdi_line(int x0, int y0, int x1, int y1) {
    if (g_pen.colour < 0) return;
    g_limit = screen_clip();
    g_pen.phase = 0;
    segment(x0, y0, x1, y1, true);
}

void io_gdi_rectangle(int x, int y, int w, int h) {
    if (g_pen.colour < 0 || w <= 0 || h <= 0) return;
    g_limit = screen_clip();
    g_pen.phase = 0;
    int r = x + w - 1, b = y + h - 1;
    segment(x, y, r, y, false);
    segment(r, y, r, b, false);
    segment(r, b, x, b, false);
    segment(x, b, x, y, w == 1 || h == 1);
}

void io_gdi_bezier(const GdiPoint* p, int count) {
    if (g_pen.colour < 0 || count < 4) return;
    g_limit = screen_clip();
    g_pen.phase = 0;
    for (int i = 0; i + 3 < count; i += 3) {
        // Enough steps that consecutive points are at most about two pixels apart.
        double len = std::hypot(p[i + 1].x - p[i].x, p[i + 1].y - p[i].y) +
                     std::hypot(p[i + 2].x - p[i + 1].x, p[i + 2].y - p[i + 1].y) +
                     std::hypot(p[i + 3].x - p[i + 2].x, p[i + 3].y - p[i + 2].y);
        int steps = (int)(len / 2) + 1;
        if (steps > 4096) steps = 4096;
        int px = p[i].x, py = p[i].y;
        for (int s = 1; s <= steps; s++) {
            double t = (double)s / steps, u = 1 - t;
            double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
            int x = (int)std::lround(a * p[i].x + b * p[i + 1].x + c * p[i + 2].x + d * p[i + 3].x);
            int y = (int)std::lround(a * p[i].y + b * p[i + 1].y + c * p[i + 2].y + d * p[i + 3].y);
            segment(px, py, x, y, false);
            px = x, py = y;
        }
    }
    plot(p[count - 1].x, p[count - 1].y);
}
