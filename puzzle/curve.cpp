// puzzle/curve.cpp -- the eight edge curves: loading and normalising them, copies on request,
// mapping onto a segment, drawing with the software pen, and turning vectors by whole degrees.
#include "puzzle/curve.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/le.h"
#include "platform/io_debug.h"
#include "platform/io_gdi.h"
#include "platform/io_mem.h"
#include "resources/dp.h"

namespace {

EdgeCurve g_curves[CURVE_COUNT];            // normalised, point 0 at (0, 0)
CurvePoint g_result[MAX_CONTROLPOINTS];     // what curve_get hands out
GdiPoint g_draw_points[MAX_CONTROLPOINTS];  // curve_draw's integer chain

// Units of the edge's length: every point relative to the first, over the x distance from the
// first to the last; both axes by the same factor. Point 0 is cleared last.
void normalise(EdgeCurve* c, int slot) {
    const int n = c->count;
    if (n < 2 || c->points[n - 1].x == c->points[0].x)
        io_fatal("curves_load: curve %i has no length\n", slot);
    const double x0 = c->points[0].x, y0 = c->points[0].y;
    const double d = c->points[n - 1].x - x0;
    for (int i = 1; i < n; i++) {
        c->points[i].x = (c->points[i].x - x0) / d;
        c->points[i].y = (c->points[i].y - y0) / d;
    }
    c->points[0] = {0.0, 0.0};
}

// Fatal unless (type with bit 7 cleared) names one of the eight curves.
int curve_index(int type) {
    const int index = type & ~CURVE_MIRROR;
    if (index < 0 || index >= CURVE_COUNT) io_fatal("curve_get: type out of range(%i)\n", index);
    return index;
}

}  // namespace

// --- Loading ---

void curves_load() {
    char name[32];
    for (int i = 0; i < CURVE_COUNT; i++) {
        EdgeCurve* c = &g_curves[i];
        io_mem_free(c->points);
        *c = {};
        std::snprintf(name, sizeof name, "curves/c_%i.crv", i);
        const int index = dp_get_index(name, 1);
        const long count = dp_size(index) / 8;
        if (count > MAX_CONTROLPOINTS) io_fatal("curve->n>MAX_CONTROLPOINTS\n");
        c->count = (int32_t)count;
        c->points = (CurvePoint*)io_mem_alloc((size_t)count * sizeof(CurvePoint));
        dp_fopen(index);
        for (int k = 0; k < count; k++) {
            uint8_t raw[8];
            dp_fread(raw, 8);
            LeCursor point = le_cursor(raw, sizeof raw);
            const int32_t x = le_i32(&point);
            c->points[k] = {(double)x, (double)le_i32(&point)};
        }
        dp_fclose();
        normalise(c, i);
    }
}

void curves_free() {
    for (EdgeCurve& c : g_curves) {
        io_mem_free(c.points);
        c = {};
    }
}

const EdgeCurve* curve_slot(int index) {
    IO_ASSERT(index >= 0 && index < CURVE_COUNT);
    return &g_curves[index];
}

// --- Evaluation ---

int curve_get_into(int type, CurvePoint* out) {
    const EdgeCurve* c = &g_curves[curve_index(type)];
    const bool mirror = (type & CURVE_MIRROR) != 0;
    for (int i = 0; i < c->count; i++)
        out[i] = {c->points[i].x, mirror ? -c->points[i].y : c->points[i].y};
    return c->count;
}

const CurvePoint* curve_get(int type, int* count) {
    *count = curve_get_into(type, g_result);
    return g_result;
}

void curve_map(CurvePoint* points, int count, int ax, int ay, int bx, int by) {
    const double dx = (double)bx - ax;
    const double dy = (double)ay - by;  // screen y grows downward
    const double len = std::sqrt(dx * dx + dy * dy);
    const double theta = std::atan2(dy, dx);
    const double c = std::cos(theta), s = std::sin(theta);
    for (int i = 0; i < count; i++) {
        const double x = points[i].x, y = points[i].y;
        points[i].x = ax + len * (x * c + y * s);
        points[i].y = ay + len * (-x * s + y * c);
    }
}

// --- Drawing ---

void curve_draw(int type, int ax, int ay, int bx, int by) {
    int count;
    CurvePoint* points = const_cast<CurvePoint*>(curve_get(type, &count));
    curve_map(points, count, ax, ay, bx, by);
    for (int i = 0; i < count; i++)
        g_draw_points[i] = {(int)points[i].x, (int)points[i].y};
    io_gdi_bezier(g_draw_points, count);
}
