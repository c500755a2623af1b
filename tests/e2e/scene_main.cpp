// tests/e2e/scene_main.cpp -- the game with one more room of its own, shown instead of the store
// room: every kind of control of the toolkit, and buttons that open the message box, the input
// box, the progress window, the file chooser and the about screen. What the player chose is
// logged ("scene: ..."), so scripts can check it. Everything else is the real game.
#include <cstdio>
#include <initializer_list>

#include "gui/button.h"
#include "gui/chooser.h"
#include "gui/ge.h"
#include "gui/io_dialog.h"
#include "gui/window.h"
#include "kernel/kernel.h"
#include "platform/io_debug.h"
#include "rooms/intro.h"
#include "tests/e2e/scene.h"

using namespace scene;

namespace {

struct Scene {
    int controls;
    int open[4];  // message, input, progress, open file
    int about;
    int progress_left;  // ticks until the progress window closes
    int shown;          // the controls window's look last logged: visible + 2 * rolled up
    char first[32], second[32];
    char file[260], folder[260];
};
Scene g_scene;

void open_boxes(int which) {
    if (which == 0) {
        int answer =
            msgbox_show("The picture is larger than the screen. Shall the game scale it down to fit?", 3);
        io_log("scene: message %i\n", answer);
    } else if (which == 1) {
        EditField fields[3] = {};
        fields[0] = {EF_PRESENT, 10, 60, 300, 20, g_scene.first, (int)sizeof g_scene.first, 0};
        fields[1] = {EF_PRESENT | EF_UPPER, 10, 90, 300, 20, g_scene.second, (int)sizeof g_scene.second, 0};
        int answer = inputbox_show("Name and code of the new box:", fields);
        io_log("scene: input %i [%s] [%s]\n", answer, g_scene.first, g_scene.second);
    } else if (which == 2) {
        progress_open(100);
        progress_set("Cutting the picture into pieces...", 50);
        g_scene.progress_left = 20;
    } else {
        int answer = chooser_open(g_scene.file, g_scene.folder, "*.pzl");
        io_log("scene: open %i [%s] [%s]\n", answer, g_scene.file, g_scene.folder);
    }
}

int controls_handler(int window, KernelEvent* e) {
    int w, h;
    window_size(window, &w, &h);
    switch (e->type) {
        case KE_IDLE:
            ge_draw_element(9, 0, TITLE_HEIGHT, w, h - TITLE_HEIGHT);
            return 0;
        case KE_TICK:
            if (g_scene.progress_left > 0 && --g_scene.progress_left == 0) progress_close();
            return 0;
        case WE_BUTTON:
            for (int i = 0; i < 4; i++)
                if (e->a == g_scene.open[i]) {
                    open_boxes(i);
                    return 1;
                }
            if (e->a == g_scene.about) {
                intro_about();
                io_log("scene: about closed\n");
                return 1;
            }
            io_log("scene: button %i state %i\n", (int)e->a, (int)e->b);
            return 1;
        case WE_SLIDER:
            io_log("scene: slider %i\n", (int)e->b);
            return 1;
        default:
            return 0;
    }
}

// Logs every change of the controls window's look, for scripts to check.
int watch_handler(int /*window*/, KernelEvent* e) {
    if (e->type != KE_TICK) return 0;
    int shown = window_visible(g_scene.controls) + 2 * window_rolled_up(g_scene.controls);
    if (shown != g_scene.shown) {
        g_scene.shown = shown;
        io_log("scene: controls visible %i rolled %i\n", shown & 1, shown >> 1);
    }
    return 0;
}

int panel_handler(int window, KernelEvent* e) {
    if (e->type != KE_IDLE) return 0;
    int w, h;
    window_size(window, &w, &h);
    ge_draw_element(9, 0, TITLE_HEIGHT, w, h - TITLE_HEIGHT);
    return 0;
}

void build_controls(int room) {
    const int style = TW_CHILD | TW_RAISE | TW_TITLE | TW_ROLLUP | TW_CLOSE;
    int c = window_register(room, style, CONTROLS_X, CONTROLS_Y, CONTROLS_W, CONTROLS_H, controls_handler,
                            nullptr);
    g_scene.controls = c;
    window_set_title(c, "Controls");

    const char* push[3] = {"Play", "Hovered", "Disabled"};
    int disabled = -1;
    for (int i = 0; i < 3; i++)
        disabled = button_register(c, 0x409, PUSH_X[i], PUSH_Y, PUSH_W, PUSH_H, 0, push[i], 14, 0);
    button_enable(disabled, 0);

    int tick = button_register(c, 0x24A, 16, CHECK_Y, 0, 0, 0, "Rotation", 0, 0);
    button_register(c, 0x24A, 160, CHECK_Y, 0, 0, 0, "Hidden picture", 0, 0);
    button_set_state(tick, 1);
    int first = button_register(c, 0x2CC, 16, RADIO_Y, 0, 0, 2, "Small pieces", 0, 0);
    button_register(c, 0x34C, 160, RADIO_Y, 0, 0, 2, "Large pieces", 0, 0);
    button_select_in_group(first, 1);
    button_register(c, 0x601, 340, CHECK_Y, 40, 40, 41, nullptr, 14, 0);

    int slider = slider_register(c, SLIDER_NOTIFY | SLIDER_ARROWS, SLIDER_X, SLIDER_Y, SLIDER_W, 9);
    window_set_title(slider, "Number of pieces");
    slider_set_range(slider, 0, 100);
    slider_set_value(slider, 40);

    int row = button_row_create(c, ROW_X, ROW_Y);
    for (const char* text : {"Desk", "Picture", "Edges"})
        button_row_add(row, text, 0);
    button_row_finish(row);

    const char* open[4] = {"Message", "Input", "Progress", "Open file"};
    for (int i = 0; i < 4; i++)
        g_scene.open[i] = button_register(c, 0x409, OPEN_X[i], OPEN_Y, OPEN_W, PUSH_H, 0, open[i], 14, 0);
    g_scene.about = button_register(c, 0x409, ABOUT_X, ABOUT_Y, OPEN_W, PUSH_H, 0, "About", 14, 0);

    int strip = icon_strip_create(c);
    for (int picture : {4, 6, 8, 10, 12})
        icon_strip_add(strip, picture, 0);
}

// The scene's room: the game's background and top bar, like every room.
int room_handler(int /*window*/, KernelEvent* e) {
    if (e->type == KE_IDLE) {
        ge_background_draw();
        ge_draw_top_bar();
    }
    return 0;
}

void build_scene() {
    int room = window_register(-1, TW_SCREEN, 0, 0, 0, 0, room_handler, nullptr);
    ge_set_room_title("Toolkit");
    window_focus(room);
    build_controls(room);
    g_scene.shown = 1;
    window_register(room, TW_CHILD | TW_NOCATCH, 0, 0, 1, 1, watch_handler, nullptr);

    int menu = button_menu_create(room, MENU_X, MENU_Y, "Sort");
    for (const char* text : {"By name", "By date", "By size"})
        button_menu_add(menu, text, 0);
    button_menu_finish(menu);

    int text = text_window_create(room, 220, 4);
    window_move(text, TEXT_X, TEXT_Y);
    text_window_set_text(text, "Sunflowers at dusk\n500 pieces, turning on.\nStarted yesterday, 40% joined.");

    const int style = TW_CHILD | TW_RAISE | TW_TITLE | TW_ROLLUP | TW_CLOSE;
    int rolled = window_register(room, style, ROLLED_X, ROLLED_Y, ROLLED_W, ROLLED_H, panel_handler, nullptr);
    window_set_title(rolled, "Tools");
    window_roll_up(rolled, 1);
    std::snprintf(g_scene.folder, sizeof g_scene.folder, "%s", kernel_puzzles_folder());
}

}  // namespace

int main(int argc, char** argv) {
    kernel_set_start_hook(build_scene);
    return kernel_main(argc, argv);
}
