// rooms/store_place.cpp -- keeping boxes off the store room's panels: a box the shelf placed at
// random goes to another random place, a box the player or the saved arrangement put under a
// panel moves out by the shortest way.
#include "rooms/store_place.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/rect.h"
#include "gui/window.h"
#include "platform/io_ini.h"
#include "platform/screen.h"
#include "rooms/shelf.h"

namespace {

constexpr int PANEL_MARGIN = 6;  // room for the panels' shadows
constexpr int PLACE_TRIES = 64;
constexpr int TOP_BAR_BOTTOM = 24;  // the room's top bar with its shadow

struct Panels {
    const int* windows;
    int count;
};

// The rectangle a panel covers on the screen now (a rolled-up window is its title bar alone, at
// its right end); 0 for a hidden one.
int panel_rect(int window, Rect* r) {
    if (!window_visible(window)) return 0;
    window_screen_pos(window, &r->x, &r->y);
    window_size(window, &r->w, &r->h);
    if (window_rolled_up(window)) {
        r->x += r->w - ROLLED_WIDTH;
        r->w = ROLLED_WIDTH;
        r->h = TITLE_HEIGHT;
    }
    return 1;
}

int meets(const Rect& a, const Rect& b) {
    return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

// The box's drawing, and the panel with room for its shadow.
Rect extent_of(const ShelfBox* box) {
    Rect e;
    shelf_box_extent(box, &e.x, &e.y, &e.w, &e.h);
    return e;
}

Rect grown(const Rect& r) {
    return {r.x - PANEL_MARGIN, r.y - PANEL_MARGIN, r.w + 2 * PANEL_MARGIN, r.h + 2 * PANEL_MARGIN};
}

// The first panel (or the top bar) the box's drawing meets; 1 with its rectangle in *hit.
int panel_over(const ShelfBox* box, const Panels& panels, Rect* hit) {
    const Rect e = extent_of(box);
    if (e.y < TOP_BAR_BOTTOM) {
        *hit = {0, 0, screen.width, TOP_BAR_BOTTOM};
        return 1;
    }
    for (int i = 0; i < panels.count; i++) {
        Rect r;
        if (panel_rect(panels.windows[i], &r) && meets(e, grown(r))) {
            *hit = grown(r);
            return 1;
        }
    }
    return 0;
}

int over_panel(const ShelfBox* box, const Panels& panels) {
    Rect hit;
    return panel_over(box, panels, &hit);
}

// 1 when the box lies over another box of the shelf.
int over_box(const ShelfBox* box) {
    int x, y, w, h;
    shelf_box_extent(box, &x, &y, &w, &h);
    for (const ShelfBox* other = shelf_head(); other; other = other->next) {
        if (other == box) continue;
        int ox, oy, ow, oh;
        shelf_box_extent(other, &ox, &oy, &ow, &oh);
        if (x < ox + ow && ox < x + w && y < oy + oh && oy < y + h) return 1;
    }
    return 0;
}

int taken(const ShelfBox* box, const Panels& panels, bool boxesToo) {
    return over_panel(box, panels) || (boxesToo && over_box(box));
}

// Random places until one is not taken; 1 when one was found (else the box is where it was).
int find_random_place(ShelfBox* box, const Panels& panels, bool boxesToo) {
    const int x = box->x, y = box->y;
    for (int i = 0; i < PLACE_TRIES; i++) {
        if (!taken(box, panels, boxesToo)) return 1;
        box->x = std::rand() % std::max(1, screen.width - box->width);
        box->y = std::rand() % std::max(1, screen.height - box->height);
    }
    if (!taken(box, panels, boxesToo)) return 1;
    box->x = x;
    box->y = y;
    return 0;
}

// Moves the box just past the four sides of the panel it meets, and on from there past the next
// panel it meets then (two steps at most); the nearest place free of every panel and on the
// screen wins. 0 when there is none (the box is where it was).
int nudge_out(ShelfBox* box, const Panels& panels) {
    const int x0 = box->x, y0 = box->y;
    long long best = -1;
    int bestX = x0, bestY = y0;
    struct Step {
        int x, y, depth;
    };
    Step queue[1 + 4 + 16];
    int head = 0, tail = 0;
    queue[tail++] = {x0, y0, 0};
    while (head < tail) {
        const Step s = queue[head++];
        box->x = s.x;
        box->y = s.y;
        shelf_clamp(box);
        Rect hit;
        if (!panel_over(box, panels, &hit)) {
            const long long d =
                (long long)(box->x - x0) * (box->x - x0) + (long long)(box->y - y0) * (box->y - y0);
            if (best < 0 || d < best) best = d, bestX = box->x, bestY = box->y;
            continue;
        }
        if (s.depth == 2) continue;
        const Rect e = extent_of(box);
        const int moves[4][2] = {{hit.x - (e.x + e.w), 0},
                                 {hit.x + hit.w - e.x, 0},
                                 {0, hit.y - (e.y + e.h)},
                                 {0, hit.y + hit.h - e.y}};
        for (const auto& m : moves)
            if (tail < (int)(sizeof queue / sizeof queue[0]))
                queue[tail++] = {box->x + m[0], box->y + m[1], s.depth + 1};
    }
    box->x = bestX;
    box->y = bestY;
    return best >= 0;
}

}  // namespace

int store_place_clear(ShelfBox* box, const int* windows, int count) {
    const Panels panels = {windows, count};
    const int x = box->x, y = box->y;
    shelf_clamp(box);
    if (over_panel(box, panels) && !nudge_out(box, panels)) store_place_box(box, windows, count);
    return box->x != x || box->y != y;
}

unsigned store_place_signature(const int* windows, int count) {
    // FNV-1a over the screen size and the panels' rectangles.
    unsigned h = 2166136261u;
    auto mix = [&h](int v) {
        for (int i = 0; i < 4; i++, v >>= 8)
            h = (h ^ (unsigned)(v & 255)) * 16777619u;
    };
    mix(screen.width);
    mix(screen.height);
    for (int i = 0; i < count; i++) {
        Rect r = {0, 0, 0, 0};
        const int shown = panel_rect(windows[i], &r);
        for (int v : {shown, r.x, r.y, r.w, r.h})
            mix(v);
    }
    return h;
}

void store_place_box(ShelfBox* box, const int* windows, int count) {
    const Panels panels = {windows, count};
    if (!find_random_place(box, panels, true)) find_random_place(box, panels, false);
    shelf_clamp(box);
}

void store_place_old_screen_size(int* width, int* height) {
    int w = 0, h = 0;
    if (!io_ini_read_pair(CONFIG_INI, "MAIN", "OldScreenSize", &w, &h) || w <= 0 || h <= 0) {
        w = screen.width;
        h = screen.height;
    }
    *width = w;
    *height = h;
}
