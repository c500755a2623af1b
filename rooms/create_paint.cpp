// rooms/create_paint.cpp -- what the create room draws itself: the area with the picture and
// the cutting grid, and the edge-style buttons' sample edges.
#include "rooms/create_paint.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "gui/button.h"
#include "gui/ge.h"
#include "gui/window.h"
#include "platform/io_mem.h"
#include "platform/screen.h"
#include "puzzle/curve.h"
#include "puzzle/grid.h"
#include "rooms/create_rules.h"

namespace {

// Skin colours of the picture area and its frame.
constexpr int COLOUR_AREA = 31, COLOUR_AREA_FRAME = 32;
// Where the edge sample sits in its button: after the radio ring, with a margin all round.
constexpr int SAMPLE_LEFT = 30, SAMPLE_RIGHT = 8, SAMPLE_MARGIN = 5;
// The part of the picture the grid leaves out is shown darkened by this shadow strength.
constexpr int DIM_STRENGTH = 170, DIM_TILE = 64;

// Rounds towards minus infinity.
int floor_div(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// The grid over the picture is drawn span by span of the dirty cells, clipped to each span, so a
// tool window above the area that is not being redrawn keeps its pixels. Only edges whose box
// meets the span are drawn.
struct GridPaint {
    int x, y;   // the grid's top-left corner on the screen (margins included)
    int reach;  // how far an edge's pixels may lie from its nominal cell line, screen pixels
    double curveReach;
    double scale;  // screen pixels a picture pixel (below 1 for a picture larger than the area)
};

// A picture distance on the screen.
int scaled(int v, double scale) { return scale == 1.0 ? v : (int)std::lround(v * scale); }

void grid_edge(int type, int ax, int ay, int bx, int by, double curveReach, const Rect& span) {
    const int bulge = (int)std::ceil(curveReach * (std::abs(bx - ax) + std::abs(by - ay))) + 1;
    if (std::min(ax, bx) - bulge >= span.x + span.w || std::max(ax, bx) + bulge < span.x ||
        std::min(ay, by) - bulge >= span.y + span.h || std::max(ay, by) + bulge < span.y)
        return;
    curve_draw(type, ax, ay, bx, by);
}

void grid_span(void* ctx, int x, int y, int w, int h) {
    const GridPaint& p = *(const GridPaint*)ctx;
    const GridInfo* grid = grid_info();
    const int columns = grid->columns, rows = grid->rows;
    // A cell on the screen; at 1:1 exactly the cut's size.
    const int size = std::max(1, p.scale == 1.0 ? grid->size : (int)std::floor(grid->size * p.scale));
    screen_set_clip(x, y, w, h);
    const Rect span = {x, y, w, h};
    const int i0 = std::max(0, floor_div(x - p.x - p.reach, size) - 1);
    const int i1 = std::min(columns, floor_div(x + w - p.x + p.reach, size) + 1);
    const int j0 = std::max(0, floor_div(y - p.y - p.reach, size) - 1);
    const int j1 = std::min(rows, floor_div(y + h - p.y + p.reach, size) + 1);
    const double k = p.scale;
    for (int j = j0; j <= j1; j++) {
        for (int i = i0; i <= i1; i++) {
            const GridNode& n = grid->nodes[j * (columns + 1) + i];
            // The same points the cut preview uses: inner edges one pixel up and left.
            const int ox = p.x - (i != 0 ? 1 : 0), oy = p.y - (j != 0 ? 1 : 0);
            const int nx = scaled(n.x, k) + ox, ny = scaled(n.y, k) + oy;
            if (i < columns) {
                const GridNode& r = grid->nodes[j * (columns + 1) + i + 1];
                grid_edge(n.right, nx, ny, scaled(r.x, k) + ox, scaled(r.y, k) + oy, p.curveReach, span);
            }
            if (j < rows) {
                const GridNode& b = grid->nodes[(j + 1) * (columns + 1) + i];
                grid_edge(n.down, nx, ny, scaled(b.x, k) + ox, scaled(b.y, k) + oy, p.curveReach, span);
            }
        }
    }
}

Image* g_dimTile;  // the darkening mask, made on first use

// The strips of the picture at r that the grid leaves out, darkened with a tiled shadow mask.
void dim_margins(const Rect& r, double scale) {
    const GridInfo* grid = grid_info();
    if (!grid->nodes || grid->columns <= 0 || grid->rows <= 0) return;
    Image*& tile = g_dimTile;
    if (!tile) {
        tile = img_create(DIM_TILE, DIM_TILE, IMG_8BIT);
        img_fill(tile, DIM_STRENGTH);
    }
    const int gx = r.x + scaled(grid->marginX, scale), gy = r.y + scaled(grid->marginY, scale);
    const int gw = scaled(grid->columns * grid->size, scale), gh = scaled(grid->rows * grid->size, scale);
    const Rect strips[4] = {{r.x, r.y, r.w, gy - r.y},
                            {r.x, gy + gh, r.w, r.y + r.h - (gy + gh)},
                            {r.x, gy, gx - r.x, gh},
                            {gx + gw, gy, r.x + r.w - (gx + gw), gh}};
    for (const Rect& strip : strips)
        for (int y = strip.y; y < strip.y + strip.h; y += DIM_TILE)
            for (int x = strip.x; x < strip.x + strip.w; x += DIM_TILE)
                img_draw_shadow(tile, x, y, 0, 0, std::min(DIM_TILE, strip.x + strip.w - x),
                                std::min(DIM_TILE, strip.y + strip.h - y));
}

void paint_grid(const Rect& r, int irregularity, double curveReach, double scale) {
    const GridInfo* grid = grid_info();
    if (!grid->nodes || grid->columns <= 0 || grid->rows <= 0) return;
    const int size = grid->size, jitter = irregularity * size / 100;
    GridPaint p;
    p.x = r.x + scaled(grid->marginX, scale);
    p.y = r.y + scaled(grid->marginY, scale);
    p.curveReach = curveReach;
    p.scale = scale;
    p.reach = scaled(jitter + (int)std::ceil(curveReach * 2 * (size + 2 * jitter)), scale) + 2;
    ge_set_pen(PEN_SOLID, 0);
    const Rect clip = screen_clip();
    screen_for_each_dirty_span(r.x - 1, r.y - 1, r.w + 2, r.h + 2, grid_span, &p);
    screen_set_clip(clip.x, clip.y, clip.w, clip.h);
}

// An edge-style button's sample edge, drawn span by span of the dirty cells.
struct Sample {
    int type;
    int ax, ay, bx, by;
};

void sample_span(void* ctx, int x, int y, int w, int h) {
    const Sample& s = *(const Sample*)ctx;
    screen_set_clip(x, y, w, h);
    curve_draw(s.type, s.ax, s.ay, s.bx, s.by);
}

}  // namespace

void create_paint_free() {
    io_mem_free(g_dimTile);
    g_dimTile = nullptr;
}

double create_curve_reach() {
    double reach = 0;
    for (int type = 0; type < CURVE_COUNT; type++) {
        const EdgeCurve* curve = curve_slot(type);
        if (!curve || !curve->points) continue;
        for (int i = 0; i < curve->count; i++) {
            const CurvePoint& p = curve->points[i];
            reach = std::max({reach, std::fabs(p.y), -p.x, p.x - 1});
        }
    }
    return reach;
}

void create_paint_room(const Image* shown, int irregularity, double curveReach, double scale) {
    const Rect a = create_picture_area(screen.width, screen.height);
    const Rect clip = screen_clip();
    // The background only where the area and its frame leave it visible.
    const Rect around[4] = {{0, 0, screen.width, a.y - 1},
                            {0, a.y + a.h + 1, screen.width, screen.height - (a.y + a.h + 1)},
                            {0, a.y - 1, a.x - 1, a.h + 2},
                            {a.x + a.w + 1, a.y - 1, screen.width - (a.x + a.w + 1), a.h + 2}};
    for (const Rect& r : around) {
        const Rect part = rect_intersect(r, clip);
        if (part.w <= 0 || part.h <= 0) continue;
        screen_set_clip(part.x, part.y, part.w, part.h);
        ge_background_draw();
    }
    screen_set_clip(clip.x, clip.y, clip.w, clip.h);
    ge_draw_top_bar();

    ge_set_fill(ge_colour(COLOUR_AREA));
    const Rect p = shown ? create_picture_rect(screen.width, screen.height, shown->width, shown->height) : a;
    if (!shown) {
        ge_fill_rect(a.x, a.y, a.w, a.h);
    } else {
        ge_fill_rect(a.x, a.y, a.w, p.y - a.y);
        ge_fill_rect(a.x, p.y + p.h, a.w, a.y + a.h - (p.y + p.h));
        ge_fill_rect(a.x, p.y, p.x - a.x, p.h);
        ge_fill_rect(p.x + p.w, p.y, a.x + a.w - (p.x + p.w), p.h);
    }
    ge_set_pen(PEN_SOLID, ge_colour(COLOUR_AREA_FRAME));
    ge_rectangle(a.x - 1, a.y - 1, a.w + 2, a.h + 2);
    if (!shown) return;
    img_draw(shown, p.x, p.y, 0, 0, p.w, p.h);
    dim_margins(p, scale);
    paint_grid(p, irregularity, curveReach, scale);
}

void create_paint_edge_button(int button, int k, int width, int height) {
    int pw, ph;
    ge_picture_size(GE_PICTURE_RADIO, &pw, &ph);
    ge_draw_picture(GE_PICTURE_RADIO + (button_state(button) ? 1 : 0), 5, (height - ph) / 2);
    CurvePoint points[MAX_CONTROLPOINTS];
    const int count = curve_get_into(k, points);
    if (count < 4) return;
    double x0 = points[0].x, x1 = x0, y0 = points[0].y, y1 = y0;
    for (int i = 1; i < count; i++) {
        x0 = std::min(x0, points[i].x), x1 = std::max(x1, points[i].x);
        y0 = std::min(y0, points[i].y), y1 = std::max(y1, points[i].y);
    }
    const int room = width - SAMPLE_LEFT - SAMPLE_RIGHT, tall = height - 2 * SAMPLE_MARGIN;
    double length = room / std::max(x1 - x0, 1e-3);
    if (y1 - y0 > 1e-3) length = std::min(length, tall / (y1 - y0));
    int sx, sy;
    window_screen_pos(button, &sx, &sy);
    const double left = sx + SAMPLE_LEFT + (room - length * (x1 - x0)) / 2 - length * x0;
    const double base = sy + SAMPLE_MARGIN + (tall - length * (y1 - y0)) / 2 - length * y0;
    const Sample s = {k, (int)left, (int)base, (int)(left + length), (int)base};
    const int colour = !button_enabled(button)
                           ? GE_BUTTON_TEXT_INACTIVE
                           : (button_active(button) ? GE_BUTTON_TEXT_HOVER : GE_BUTTON_TEXT);
    ge_set_pen(PEN_SOLID, ge_colour(colour));
    const Rect clip = screen_clip();
    screen_for_each_dirty_span(sx, sy, width, height, sample_span, (void*)&s);
    screen_set_clip(clip.x, clip.y, clip.w, clip.h);
}
