// rooms/store_use.cpp -- the store room's "use picture" tool and its choice window.
#include "rooms/store_use.h"

#include "gui/button.h"
#include "gui/ge.h"
#include "gui/lt.h"
#include "gui/msgbox.h"
#include "gui/window.h"
#include "image/pic.h"
#include "platform/io_debug.h"
#include "platform/io_desktop.h"
#include "platform/io_file.h"
#include "puzzle/box.h"
#include "resources/tagfile.h"
#include "rooms/gallery.h"
#include "rooms/shelf.h"

namespace {

constexpr const char* WALLPAPER_FILE = "sfiles/a.tmp";
constexpr const char* WALLPAPER_NAME = "Lumavex";

constexpr int TEXT_USE_TITLE = 105, TEXT_USE_GALLERY = 106, TEXT_USE_WALLPAPER = 107;
constexpr int TEXT_WALLPAPER_FAILED = 108, TEXT_WALLPAPER_SET = 109, TEXT_NOT_FINISHED = 155;

// The choice window and its answers.
constexpr int CHOICE_WIDTH = 320, CHOICE_HEIGHT = 132;
constexpr int CHOICE_BOTTOM = 42;  // the bar and the frame under the choices
enum UseChoice { USE_CANCEL = 0, USE_GALLERY = 1, USE_WALLPAPER = 2 };

struct UseWindow {
    int window;      // modal, hidden between uses
    int first;       // the first radio button
    int ok, cancel;  // its bar
};
UseWindow g_use = {-1, -1, -1, -1};

int choice_handler(int /*window*/, KernelEvent* event) {
    switch (event->type) {
        case KE_IDLE:
            ge_draw_element(25, 0, TITLE_HEIGHT, (int)event->a, (int)event->b - CHOICE_BOTTOM);
            return 0;
        case WE_BUTTON:
            if (event->a == g_use.ok) {
                window_end_modal(button_selected_in_group(g_use.first) + 1, 0);
            } else if (event->a == g_use.cancel) {
                window_end_modal(USE_CANCEL, 0);
            } else {
                return 0;
            }
            return 1;
        default:
            return 0;
    }
}

// The choice window, modal: USE_GALLERY, USE_WALLPAPER or USE_CANCEL; the gallery comes first.
int choose_use() {
    button_select_in_group(g_use.first, 0);
    window_show(g_use.window, 1);
    const int result = window_focus_modal(g_use.window, nullptr);
    window_show(g_use.window, 0);
    return result;
}

// The box's picture as a picture file handed to the desktop; 1 when the desktop took it.
int set_wallpaper(const ShelfBox* box) {
    FileStamp stamp;
    BoxRecord record;
    int ok = box_read(box->name, &stamp, &record, BOX_PICTURE) && pic_import(BOX_PICTURE_FILE) &&
             pic_save_bmp(WALLPAPER_FILE);
    pic_free();
    box_clear_work_files(BOX_PICTURE);
    ok = ok && io_set_wallpaper(WALLPAPER_FILE, WALLPAPER_NAME);
    io_delete_file(WALLPAPER_FILE);
    return ok;
}

}  // namespace

void store_use_create() {
    g_use.window =
        window_register(-1, TW_MODAL | TW_TITLE, 0, 0, CHOICE_WIDTH, CHOICE_HEIGHT, choice_handler, nullptr);
    window_set_title(g_use.window, lt_get(TEXT_USE_TITLE));
    window_show(g_use.window, 0);
    const int style = BS_RADIO | BS_PICTURE | BS_TEXT;
    g_use.first = button_register(g_use.window, style | BS_RGFIRST, 20, 32, 0, 0, GE_PICTURE_RADIO,
                                  lt_get(TEXT_USE_GALLERY), 0, 0);
    button_register(g_use.window, style | BS_RGLAST, 20, 58, 0, 0, GE_PICTURE_RADIO,
                    lt_get(TEXT_USE_WALLPAPER), 0, 0);
    const int bar = button_bar_create(g_use.window);
    g_use.ok = button_bar_add(bar, 1, 0, nullptr, GE_PICTURE_OK, KEY_ENTER, 0);
    g_use.cancel = button_bar_add(bar, 0, 0, nullptr, GE_PICTURE_CANCEL, KEY_ESCAPE, 0);
    button_bar_layout(bar);
}

void store_use_picture(const ShelfBox* box) {
    if (box->summary.percent < 100) {
        msgbox_show_text(TEXT_NOT_FINISHED, MSG_OK);
        return;
    }
    const int choice = choose_use();
    if (choice == USE_GALLERY) {
        if (!galleryroom_add_box(box->name)) io_log("store: %s gave no picture for the gallery\n", box->name);
        return;
    }
    if (choice != USE_WALLPAPER) return;
    if (!set_wallpaper(box)) {
        io_log("store: the wallpaper from %s was not taken\n", box->name);
        msgbox_show_text(TEXT_WALLPAPER_FAILED, MSG_OK);
        return;
    }
    msgbox_show_text(TEXT_WALLPAPER_SET, MSG_OK);
}
