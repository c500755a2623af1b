// puzzle/view.cpp -- the table's size, the view's transforms, its zoom steps and pan limits.
#include "puzzle/view.h"

#include <cmath>

namespace {

// Below this the whole table would be a speck: a larger zoom is taken as the least.
constexpr double ZOOM_FLOOR = 1.0 / 64;

int at_least(int v, int low) { return v < low ? low : v; }

// The table's extent on the screen at the view's zoom.
int extent(int table, double zoom) { return (int)std::lround(table * zoom); }

// One axis within the limits: a table larger than the screen covers it, a smaller one is centred.
int32_t limit_axis(int32_t at, int table, int screen, double zoom) {
    const int e = extent(table, zoom);
    if (e <= screen) return (screen - e) / 2;
    if (at > 0) return 0;
    if (at < screen - e) return screen - e;
    return at;
}

}  // namespace

// --- The table ---

int view_table_size(int gridW, int gridH, int pieceSize, int deskW, int deskH, int* tableW, int* tableH) {
    *tableW = deskW, *tableH = deskH;
    if (gridW <= deskW - VIEW_PLAY_AREA_LESS_W && gridH <= deskH - VIEW_PLAY_AREA_LESS_H) return 0;
    if (deskW <= 0 || deskH <= 0) return 0;
    // Shaped like the desk: w / h = deskW / deskH and w x h = VIEW_TABLE_AREA x the cut.
    const double area = (double)VIEW_TABLE_AREA * gridW * gridH;
    const double w = std::sqrt(area * deskW / deskH);
    const int margin = 2 * (pieceSize > 0 ? pieceSize : 0);
    *tableW = at_least(at_least((int)std::ceil(w), gridW + 2 * margin), deskW);
    *tableH = at_least(
        at_least((int)std::ceil(w * deskH / deskW), gridH + 2 * margin + VIEW_PLAY_AREA_LESS_H), deskH);
    return 1;
}

TableView view_make(int tableW, int tableH, int screenW, int screenH) {
    TableView v = {tableW, tableH, screenW, screenH, 1.0, 0, 0};
    view_whole(&v);
    return v;
}

int view_fixed(const TableView& v) {
    return v.tableWidth == v.screenWidth && v.tableHeight == v.screenHeight;
}

// --- Transforms ---

void view_to_screen(const TableView& v, double tx, double ty, double* sx, double* sy) {
    *sx = tx * v.zoom + v.x;
    *sy = ty * v.zoom + v.y;
}

void view_to_table(const TableView& v, double sx, double sy, double* tx, double* ty) {
    *tx = (sx - v.x) / v.zoom;
    *ty = (sy - v.y) / v.zoom;
}

// --- Zoom and pan ---

double view_fit_zoom(const TableView& v) {
    if (v.tableWidth <= 0 || v.tableHeight <= 0 || v.screenWidth <= 0 || v.screenHeight <= 0) return 1.0;
    const double fx = (double)v.screenWidth / v.tableWidth, fy = (double)v.screenHeight / v.tableHeight;
    const double fit = fx < fy ? fx : fy;
    return fit > 1.0 ? 1.0 : fit < ZOOM_FLOOR ? ZOOM_FLOOR : fit;
}

void view_limit(TableView* v) {
    if (view_fixed(*v) || v->tableWidth <= 0 || v->tableHeight <= 0) {
        v->zoom = 1.0, v->x = v->y = 0;
        return;
    }
    const double fit = view_fit_zoom(*v);
    if (!std::isfinite(v->zoom) || v->zoom < fit * (1 - 1e-9) || v->zoom > VIEW_ZOOM_MAX) {
        view_whole(v);
        return;
    }
    // A view that shows nothing of the table is damage, not a place to pan back from.
    if (v->x >= v->screenWidth || v->y >= v->screenHeight || v->x + extent(v->tableWidth, v->zoom) <= 0 ||
        v->y + extent(v->tableHeight, v->zoom) <= 0) {
        view_whole(v);
        return;
    }
    v->x = limit_axis(v->x, v->tableWidth, v->screenWidth, v->zoom);
    v->y = limit_axis(v->y, v->tableHeight, v->screenHeight, v->zoom);
}

void view_whole(TableView* v) {
    v->zoom = view_fixed(*v) ? 1.0 : view_fit_zoom(*v);
    v->x = v->y = 0;
    if (view_fixed(*v)) return;
    v->x = limit_axis(0, v->tableWidth, v->screenWidth, v->zoom);
    v->y = limit_axis(0, v->tableHeight, v->screenHeight, v->zoom);
}

double view_zoom_step(double zoom, int direction, double fit) {
    if (!std::isfinite(zoom) || zoom <= 0) return fit;
    // Steps are 2^(k / VIEW_STEPS_PER_DOUBLING); k of the step at or just beyond zoom.
    const double k = std::log2(zoom) * VIEW_STEPS_PER_DOUBLING;
    const double next = direction > 0 ? std::floor(k + 1e-6) + 1 : std::ceil(k - 1e-6) - 1;
    double z = std::exp2(next / VIEW_STEPS_PER_DOUBLING);
    if (z > VIEW_ZOOM_MAX) z = VIEW_ZOOM_MAX;
    if (z < fit) z = fit;
    return z;
}

int view_zoom_at(TableView* v, double zoom, int px, int py) {
    if (view_fixed(*v)) return 0;
    const TableView before = *v;
    const double fit = view_fit_zoom(*v);
    zoom = zoom < fit ? fit : zoom > VIEW_ZOOM_MAX ? VIEW_ZOOM_MAX : zoom;
    double tx, ty;
    view_to_table(*v, px, py, &tx, &ty);
    v->zoom = zoom;
    v->x = limit_axis((int32_t)std::lround(px - tx * zoom), v->tableWidth, v->screenWidth, zoom);
    v->y = limit_axis((int32_t)std::lround(py - ty * zoom), v->tableHeight, v->screenHeight, zoom);
    return v->zoom != before.zoom || v->x != before.x || v->y != before.y;
}

int view_pan(TableView* v, int dx, int dy) {
    if (view_fixed(*v)) return 0;
    const int32_t x = v->x, y = v->y;
    v->x = limit_axis(x + dx, v->tableWidth, v->screenWidth, v->zoom);
    v->y = limit_axis(y + dy, v->tableHeight, v->screenHeight, v->zoom);
    return v->x != x || v->y != y;
}

void view_visible(const TableView& v, int* left, int* top, int* right, int* bottom) {
    double l, t, r, b;
    view_to_table(v, 0, 0, &l, &t);
    view_to_table(v, v.screenWidth, v.screenHeight, &r, &b);
    *left = l < 0 ? 0 : (int)std::floor(l);
    *top = t < 0 ? 0 : (int)std::floor(t);
    *right = (int)std::ceil(r) - 1;
    *bottom = (int)std::ceil(b) - 1;
    if (*right > v.tableWidth - 1) *right = v.tableWidth - 1;
    if (*bottom > v.tableHeight - 1) *bottom = v.tableHeight - 1;
}
