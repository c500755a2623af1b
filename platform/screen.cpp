// platform/screen.cpp -- the dirty-cell grid over the frame buffer.
//
// The screen is cut into equal cells whose size divides the screen size exactly. Drawing marks
// cells dirty; during a frame every screen draw is clipped to the dirty cells, and at the end
// of the frame the dirty runs of each cell row become presentation rectangles.
#include "platform/screen.h"

#include <algorithm>
#include <cstring>

#include "platform/io_mem.h"
#include "platform/io_video.h"

Screen screen;

namespace {

constexpr int CLIP_PREFERENCE[] = {
    32, 28, 24, 20, 16, 36, 40, 30, 26, 22, 18, 34, 38, 31, 29, 27, 25, 23, 21, 19, 17, 33, 35, 37,
    39, 12, 8,  14, 10, 15, 13, 11, 9,  44, 48, 52, 56, 60, 64, 42, 46, 50, 54, 58, 62, 41, 43, 45,
    47, 49, 51, 53, 55, 57, 59, 61, 63, 7,  6,  5,  4,  68, 72, 76, 80, 66, 70, 74, 78, 65, 67, 69,
    71, 73, 75, 77, 79, 84, 88, 92, 96, 82, 86, 90, 94, 81, 83, 85, 87, 89, 91, 93, 95, 3,  2,  1};
static_assert(sizeof CLIP_PREFERENCE / sizeof CLIP_PREFERENCE[0] == 96);

struct Grid {
    int cell_w;  // pixels
    int cell_h;  // pixels
    int columns;
    int rows;
    uint8_t* cells;  // columns x rows, row after row; 1 dirty
    int any;         // some cell may be dirty (0: none is, so every query answers at once)
};
Grid g_grid;

struct Clip {
    int set;             // 0: the whole screen
    int x0, y0, x1, y1;  // exclusive right and bottom
};
Clip g_clip;

// The clip rectangle cut to the screen, as left, top and exclusive right, bottom.
Clip effective_clip() {
    Clip c = g_clip.set ? g_clip : Clip{1, 0, 0, screen.width, screen.height};
    c.x0 = std::max(c.x0, 0);
    c.y0 = std::max(c.y0, 0);
    c.x1 = std::min(c.x1, screen.width);
    c.y1 = std::min(c.y1, screen.height);
    return c;
}

// Cell range touched by a rectangle after the shared clipping rules; false when nothing is left.
struct CellRange {
    int c0, r0, c1, r1;  // inclusive
};

bool clip_to_cells(int x, int y, int w, int h, CellRange* out) {
    if (!g_grid.cells || w <= 0 || h <= 0) return false;
    if (x < 0) {
        w += x;
        x = 0;
        if (w <= 0) return false;
    }
    if (y < 0) {
        h += y;
        y = 0;
        if (h <= 0) return false;
    }
    if (x >= screen.width || y >= screen.height) return false;
    int x1 = std::min(x + w - 1, screen.width - 1);
    int y1 = std::min(y + h - 1, screen.height - 1);
    *out = {x / g_grid.cell_w, y / g_grid.cell_h, x1 / g_grid.cell_w, y1 / g_grid.cell_h};
    out->c1 = std::min(out->c1, g_grid.columns - 1);
    out->r1 = std::min(out->r1, g_grid.rows - 1);
    return out->c0 <= out->c1 && out->r0 <= out->r1;
}

// The cell size for a screen side: the first size of the preference list that divides it.
int ideal_clip(int n) {
    for (int d : CLIP_PREFERENCE)
        if (n % d == 0) return d;
    return 1;
}

uint8_t* row_cells(int row) { return g_grid.cells + row * g_grid.columns; }

void add_present_rect(void*, int x, int y, int w, int h) { io_video_add_rect(x, y, w, h); }

}  // namespace

void screen_grid_create() {
    screen_grid_free();
    g_grid.cell_w = ideal_clip(screen.width);
    g_grid.cell_h = ideal_clip(screen.height);
    g_grid.columns = screen.width / g_grid.cell_w;
    g_grid.rows = screen.height / g_grid.cell_h;
    size_t count = (size_t)g_grid.columns * g_grid.rows;
    g_grid.cells = (uint8_t*)io_mem_alloc(count ? count : 1);
    std::memset(g_grid.cells, 1, count);
    g_grid.any = 1;
}

void screen_grid_free() {
    io_mem_free(g_grid.cells);
    g_grid = {};
    g_clip = {};
}

int screen_grid_cell_width() { return g_grid.cell_w; }
int screen_grid_cell_height() { return g_grid.cell_h; }

void screen_invalidate(int x, int y, int w, int h) {
    CellRange r;
    if (!clip_to_cells(x, y, w, h, &r)) return;
    for (int row = r.r0; row <= r.r1; row++)
        std::memset(row_cells(row) + r.c0, 1, r.c1 - r.c0 + 1);
    g_grid.any = 1;
}

bool screen_any_dirty() { return g_grid.any != 0; }

void screen_invalidate_all() { screen_invalidate(0, 0, screen.width, screen.height); }

bool screen_is_dirty(int x, int y, int w, int h) {
    CellRange r;
    if (!g_grid.any || !clip_to_cells(x, y, w, h, &r)) return false;
    for (int row = r.r0; row <= r.r1; row++) {
        const uint8_t* cells = row_cells(row);
        for (int c = r.c0; c <= r.c1; c++)
            if (cells[c]) return true;
    }
    return false;
}

bool screen_dirty_bounds(int x0, int y0, int x1, int y1, Rect* out) {
    CellRange r;
    if (!g_grid.any || !clip_to_cells(x0, y0, x1 - x0 + 1, y1 - y0 + 1, &r)) return false;
    int bc0 = g_grid.columns, br0 = g_grid.rows, bc1 = -1, br1 = -1;
    for (int row = r.r0; row <= r.r1; row++) {
        const uint8_t* cells = row_cells(row);
        for (int c = r.c0; c <= r.c1; c++) {
            if (!cells[c]) continue;
            bc0 = std::min(bc0, c);
            bc1 = std::max(bc1, c);
            br0 = std::min(br0, row);
            br1 = std::max(br1, row);
        }
    }
    if (bc1 < 0) return false;
    int left = std::max(bc0 * g_grid.cell_w, x0);
    int top = std::max(br0 * g_grid.cell_h, y0);
    int right = std::min((bc1 + 1) * g_grid.cell_w - 1, x1);
    int bottom = std::min((br1 + 1) * g_grid.cell_h - 1, y1);
    *out = {left, top, right - left + 1, bottom - top + 1};
    return true;
}

namespace {

// Runs of dirty cells touched by the rectangle, each cut to the clip (left, top, exclusive right,
// bottom).
void walk_dirty_spans(int x, int y, int w, int h, const Clip& clip, SpanAction action, void* ctx) {
    CellRange r;
    if (!g_grid.any || !clip_to_cells(x, y, w, h, &r)) return;
    const int cw = g_grid.cell_w, ch = g_grid.cell_h;
    r.c0 = std::max(r.c0, clip.x0 / cw);
    r.c1 = std::min(r.c1, (clip.x1 - 1) / cw);
    r.r0 = std::max(r.r0, clip.y0 / ch);
    r.r1 = std::min(r.r1, (clip.y1 - 1) / ch);
    for (int row = r.r0; row <= r.r1; row++) {
        const uint8_t* cells = row_cells(row);
        const int top = std::max(row * ch, clip.y0), bottom = std::min((row + 1) * ch, clip.y1);
        int c = r.c0;
        while (c <= r.c1) {
            if (!cells[c]) {
                c++;
                continue;
            }
            int start = c;
            while (c <= r.c1 && cells[c])
                c++;
            const int left = std::max(start * cw, clip.x0), right = std::min(c * cw, clip.x1);
            action(ctx, left, top, right - left, bottom - top);
        }
    }
}

}  // namespace

void screen_set_clip(int x, int y, int w, int h) {
    g_clip = {1, x, y, x + std::max(w, 0), y + std::max(h, 0)};
}

void screen_clip_reset() { g_clip = {}; }

Rect screen_clip() {
    Clip c = effective_clip();
    return {c.x0, c.y0, std::max(c.x1 - c.x0, 0), std::max(c.y1 - c.y0, 0)};
}

void screen_for_each_dirty_span(int x, int y, int w, int h, SpanAction action, void* ctx) {
    const Clip clip = effective_clip();
    if (clip.x0 >= clip.x1 || clip.y0 >= clip.y1) return;
    walk_dirty_spans(x, y, w, h, clip, action, ctx);
}

void screen_flush() {
    if (!g_grid.cells || !g_grid.any) return;
    walk_dirty_spans(0, 0, screen.width, screen.height, {1, 0, 0, screen.width, screen.height},
                     add_present_rect, nullptr);
    std::memset(g_grid.cells, 0, (size_t)g_grid.columns * g_grid.rows);
    g_grid.any = 0;
}

void screen_set_size_for_tests(int width, int height) {
    screen.width = width;
    screen.height = height;
    screen.bits = 24;
    screen.bytesPerPixel = 3;
}
