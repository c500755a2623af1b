// rooms/store_place.cpp -- keeping boxes the shelf placed at random off the store room's panels.
#include "rooms/store_place.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

int over_panel(const ShelfBox* box, const Panels& panels) {
    int x, y, w, h;
    shelf_box_extent(box, &x, &y, &w, &h);
    if (y < TOP_BAR_BOTTOM) return 1;
    for (int i = 0; i < panels.count; i++) {
        const int window = panels.windows[i];
        if (!window_visible(window)) continue;
        int wx, wy, ww, wh;
        window_screen_pos(window, &wx, &wy);
        window_size(window, &ww, &wh);
        if (x < wx + ww + PANEL_MARGIN && wx - PANEL_MARGIN < x + w && y < wy + wh + PANEL_MARGIN &&
            wy - PANEL_MARGIN < y + h)
            return 1;
    }
    return 0;
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

}  // namespace

void store_place_box(ShelfBox* box, const int* windows, int count) {
    const Panels panels = {windows, count};
    if (!find_random_place(box, panels, true)) find_random_place(box, panels, false);
    shelf_clamp(box);
}

int store_place_arranged(const char* name) {
    for (int i = 0;; i++) {
        char key[16], listed[BOX_NAME_MAX], place[32];
        std::snprintf(key, sizeof key, "%i", i);
        if (io_ini_read(CONFIG_INI, "BOXNAMES", key, listed, sizeof listed) <= 0 ||
            io_ini_read(CONFIG_INI, "BOXPOSS", key, place, sizeof place) <= 0)
            return 0;
        if (!std::strcmp(listed, name)) return 1;
    }
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
