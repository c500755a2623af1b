// rooms/store.cpp -- the store room's window: it paints the background and the top bar.
#include "rooms/store.h"

#include "gui/ge.h"
#include "gui/lt.h"
#include "gui/window.h"
#include "platform/io_debug.h"
#include "rooms/play.h"

namespace {

constexpr int TEXT_ROOM_TITLE = 100;  // "Puzzle Store"

struct StoreRoom {
    int room;  // the full-screen room window
};
StoreRoom g_store = {-1};

int room_handler(int /*window*/, KernelEvent* event) {
    if (event->type == KE_IDLE) {
        ge_background_draw();
        ge_draw_top_bar();
    }
    return 0;
}

}  // namespace

void store_init() { g_store.room = window_register(-1, TW_SCREEN, 0, 0, 0, 0, room_handler, nullptr); }

void store_enter() {
    ge_set_room_title(lt_get(TEXT_ROOM_TITLE));
    window_focus(g_store.room);
}

int store_room_window() { return g_store.room; }

int store_text(KernelEvent* event) {
    io_log("store: box from another program: %s\n", (const char*)event->b);
    return 1;
}

void store_return(const char* /*name*/) { store_enter(); }

void store_set_quit_hook(void (* /*quit*/)()) {}

int store_open_box(const char* name) { return play_box(name); }
