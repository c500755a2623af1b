// rooms/store.cpp -- the store room: the room window with the shelf, the main panel, the gift
// panel, the info window and the tools window; the selection rules and every button's action.
// The use-picture tool is in store_use, where new boxes go in store_place.
//
// Sections: state and constants -- info window -- selection rules -- starting a box -- delete,
// reset, rename -- use picture -- buttons and keys -- the room window -- building the windows
// -- keeping new boxes off the panels -- public.
#include "rooms/store.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/str.h"
#include "base/version.h"
#include "gift/giftbuild.h"
#include "gui/button.h"
#include "gui/chooser.h"
#include "gui/ge.h"
#include "gui/io_dialog.h"
#include "gui/lt.h"
#include "gui/msgbox.h"
#include "gui/window.h"
#include "platform/io_debug.h"
#include "platform/io_desktop.h"
#include "platform/io_file.h"
#include "platform/io_ini.h"
#include "platform/screen.h"
#include "platform/sys.h"
#include "puzzle/box.h"
#include "rooms/create.h"
#include "rooms/gallery.h"
#include "rooms/intro.h"
#include "rooms/options.h"
#include "rooms/play.h"
#include "rooms/shelf.h"
#include "rooms/store_place.h"
#include "rooms/store_use.h"

namespace {

// --- State and constants ---

constexpr const char* SECTION = "STOREROOM";

constexpr int TEXT_NAME_TAKEN = 16;
constexpr int TEXT_TOO_LARGE = 25;
constexpr int TEXT_ROOM_TITLE = 100, TEXT_GIFT_TITLE = 190, TEXT_WHAT_TO_DO = 102;
constexpr int TEXT_MENU_TITLE = 117;  // the main panel's; the gift panel is titled like the room
constexpr int TEXT_UNUSABLE_NAME = 167;
constexpr int TEXT_TOOLS_TITLE = 120;
constexpr int TEXT_INFO_NAME = 130, TEXT_INFO_SIZE = 131, TEXT_INFO_DONE = 132;
constexpr int TEXT_INFO_TIME = 134, TEXT_INFO_DATE = 135;
constexpr int TEXT_DELETE_ONE = 140, TEXT_DELETE_SEVERAL = 141, TEXT_DELETE_FAILED = 142;
constexpr int TEXT_RESET_ONE = 145, TEXT_RESET_SEVERAL = 146;
constexpr int TEXT_NONE_CLICKED = 150, TEXT_SEVERAL = 151, TEXT_NONE_SELECTED = 152, TEXT_LINK_BOX = 153;
constexpr int TEXT_CANNOT_PLAY = 154, TEXT_RENAME_QUESTION = 156;
constexpr int TEXT_DISK_FULL_BOX = 168;  // a box cannot be opened: the disk is full
constexpr int TEXT_HIDDEN_PICTURE = 158, TEXT_RENAME_FAILED = 159;
constexpr int TEXT_PLAY_AGAIN = 202;

constexpr int HELP_MAIN = 0, HELP_GIFT = 10;

// Default places (screen coordinates).
constexpr int PANEL_X = 20, PANEL_Y = 50;
constexpr int INFO_X = 20, INFO_Y = 400;
constexpr int TOOLS_X = 320, TOOLS_Y = 50;
constexpr int INFO_WIDTH = 200, INFO_LINES = 3;

// The tools window: two rows of framed text buttons whose frame elements join into one grid,
// wide enough for every text with its margins.
constexpr int TOOL_WIDTH = 86, TOOL_HEIGHT = 24;
constexpr int TOOLS_WIDTH = 4 * TOOL_WIDTH, TOOLS_HEIGHT = 66;

// The rename question's edit field (relative to the input box).
constexpr int RENAME_X = 10, RENAME_Y = 60, RENAME_WIDTH = 300, RENAME_HEIGHT = 20;

enum MainButton { MAIN_PLAY, MAIN_NEW, MAIN_GIFT, MAIN_GALLERY, MAIN_HELP, MAIN_QUIT, MAIN_BUTTONS };
constexpr int MAIN_TEXTS[MAIN_BUTTONS] = {110, 111, 112, 113, 115, 116};

enum GiftButton { GIFT_PLAY, GIFT_NORMAL, GIFT_HELP, GIFT_QUIT, GIFT_BUTTONS };
constexpr int GIFT_TEXTS[GIFT_BUTTONS] = {191, 192, 193, 194};

enum ToolButton {
    TOOL_EDIT,
    TOOL_DELETE,
    TOOL_USE,
    TOOL_RESET,
    TOOL_RENAME,
    TOOL_ABOUT,
    TOOL_WEB,
    TOOL_OPTIONS,
    TOOL_BUTTONS
};
struct ToolPlace {
    int text, frame, x, y, width;
};
constexpr ToolPlace TOOL_PLACES[TOOL_BUTTONS] = {
    {121, 28, 0, 18, TOOL_WIDTH},
    {122, 30, TOOL_WIDTH, 18, TOOL_WIDTH},
    {123, 30, 2 * TOOL_WIDTH, 18, TOOL_WIDTH},
    {126, 26, 3 * TOOL_WIDTH, 18, TOOL_WIDTH},
    {124, 12, 0, 42, TOOL_WIDTH},
    {125, 14, TOOL_WIDTH, 42, TOOL_WIDTH},
    {127, 14, 2 * TOOL_WIDTH, 42, TOOL_WIDTH},
    {114, 10, 3 * TOOL_WIDTH, 42, TOOL_WIDTH},
};

struct StoreRoom {
    int room;                  // the full-screen room window
    int mainPanel, giftPanel;  // button menus
    int info;                  // text window
    int tools;                 // the tools window
    int mainButtons[MAIN_BUTTONS];
    int giftButtons[GIFT_BUTTONS];
    int toolButtons[TOOL_BUTTONS];
    int giftInterface;        // 1: only the gift panel is shown
    const ShelfBox* infoBox;  // the box the info window shows, or null
    void (*quit)();           // the kernel's quit request
    unsigned panelsSeen;      // the panels' places and the screen size when boxes were last kept off them
    int toldUnusable;         // the player was told about box files whose names cannot be used
};
StoreRoom g_store = {-1, -1, -1, -1, -1, {}, {}, {}, 0, nullptr, nullptr, 0, 0};

int created() { return g_store.room >= 0; }

// --- Info window ---

// A box's details; with no box, what the player can do here.
void show_info(const ShelfBox* box) {
    g_store.infoBox = box;
    if (!created()) return;
    char text[1024];
    if (box)
        store_info_text(box, text, sizeof text);
    else
        str_copy_bounded(text, lt_get(TEXT_WHAT_TO_DO), sizeof text);
    text_window_set_text(g_store.info, text);
}

// The single selected box's details, or what to do when none is selected.
void show_selection_info() {
    ShelfBox* one;
    const int count = shelf_selected_count(&one);
    if (count == 1)
        show_info(one);
    else if (count == 0)
        show_info(nullptr);
}

// The room's window area of a box, redrawn (a box that came, went or changed its label).
void redraw_box(const ShelfBox* box) {
    if (!created() || !box) return;
    int x, y, w, h;
    shelf_box_extent(box, &x, &y, &w, &h);
    window_redraw_part(g_store.room, x, y, w, h);
}

// --- Selection rules ---

int selected_count(ShelfBox** single) {
    ShelfBox* one = nullptr;
    const int count = shelf_selected_count(&one);
    if (single) *single = count == 1 ? one : nullptr;
    return count;
}

// Shows the refusal of the rule, if any; 1 when the selection passes.
int passes(int need) {
    const int text = store_selection_refusal(need);
    if (text) msgbox_show_text(text, MSG_OK);
    return !text;
}

ShelfBox* single_selected() {
    ShelfBox* one;
    selected_count(&one);
    return one;
}

// --- Starting a box ---

// A link box opens its web page; a finished box asks to start again (resetting it first); then
// the play room takes the box. 0 only when the play room could not open the box.
int start_box(ShelfBox* box) {
    if (box->record.isLink) {
        char address[1024];
        std::snprintf(address, sizeof address, "%s%s", PUBLISHER_ADDRESS, box->address ? box->address : "");
        io_open_document(address);
        return 1;
    }
    if (box->summary.percent >= 100) {
        if (!msgbox_show_text(TEXT_PLAY_AGAIN, MSG_OK_CANCEL)) return 1;
        shelf_reset(box);
    }
    if (box->isNew) {
        redraw_box(box);  // the label below the box goes
        box->isNew = 0;
        box->dirty = 1;
    }
    char name[BOX_NAME_MAX];
    std::snprintf(name, sizeof name, "%s", box->name);
    return play_box(name);
}

// A name from another program or the command line as a plain box name: the folder part and the
// box extension go; 0 when what is left is not a box name.
int plain_box_name(const char* text, char* out, int size) {
    if (!text || size <= 0) return 0;
    const char* base = text;
    for (const char* p = text; *p; p++)
        if (*p == '/' || *p == '\\') base = p + 1;
    int length = (int)std::strlen(base);
    const int extension = (int)std::strlen(BOX_EXTENSION) + 1;
    if (length > extension && base[length - extension] == '.') {
        int same = 1;
        for (int i = 1; i < extension; i++) {
            char c = base[length - extension + i];
            if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
            same &= c == BOX_EXTENSION[i - 1];
        }
        if (same) length -= extension;
    }
    if (length <= 0 || length >= size) return 0;
    std::memcpy(out, base, (size_t)length);
    out[length] = 0;
    return box_name_ok(out);
}

// --- Delete, reset, rename ---

void delete_selection() {
    if (!passes(STORE_NEED_SOME)) return;
    const int count = selected_count(nullptr);
    if (!msgbox_show_text(count == 1 ? TEXT_DELETE_ONE : TEXT_DELETE_SEVERAL, MSG_OK_CANCEL)) return;
    show_info(nullptr);
    int failed = 0;
    for (ShelfBox* box = shelf_head(); box;) {
        ShelfBox* next = box->next;
        if (box->selected) {
            redraw_box(box);
            if (!shelf_delete(box)) failed++;
        }
        box = next;
    }
    if (failed) msgbox_show_text(TEXT_DELETE_FAILED, MSG_OK);
}

void reset_selection() {
    if (!passes(STORE_NEED_SOME_PUZZLE)) return;
    const int count = selected_count(nullptr);
    if (!msgbox_show_text(count == 1 ? TEXT_RESET_ONE : TEXT_RESET_SEVERAL, MSG_OK_CANCEL)) return;
    for (ShelfBox* box = shelf_head(); box; box = box->next)
        if (box->selected && !box->record.isLink) shelf_reset(box);
    if (g_store.infoBox) show_info(g_store.infoBox);  // the progress shown may have changed
}

// Asks until the answer is done with, cancelled, or failed.
void rename_selected() {
    if (!passes(STORE_NEED_ONE_PUZZLE)) return;
    ShelfBox* box = single_selected();
    char answer[BOX_NAME_MAX];
    std::snprintf(answer, sizeof answer, "%s", box->name);
    for (;;) {
        EditField fields[2] = {
            {EF_PRESENT, RENAME_X, RENAME_Y, RENAME_WIDTH, RENAME_HEIGHT, answer, (int)sizeof answer, 0},
            {0, 0, 0, 0, 0, nullptr, 0, 0},
        };
        if (!inputbox_show(lt_get(TEXT_RENAME_QUESTION), fields)) return;
        const int result = store_rename_answer(box, answer);
        if (result == STORE_RENAME_DONE || result == STORE_RENAME_FAILED) return;
    }
}

// The edit button's checks; the create room takes the box once it exists.
int edit_refusal(const ShelfBox* box) {
    if (box->record.hiddenPicture) return TEXT_HIDDEN_PICTURE;
    if (box->record.width > screen.width - 20 || box->record.height > screen.height - 80)
        return TEXT_TOO_LARGE;
    return 0;
}

void edit_selected() {
    if (!passes(STORE_NEED_ONE_PUZZLE)) return;
    ShelfBox* box = single_selected();
    if (const int text = edit_refusal(box)) {
        msgbox_show_text(text, MSG_OK);
        return;
    }
    box->isNew = 0;
    box->dirty = 1;
    if (!createroom_open_box(box->name)) msgbox_show_text(store_cannot_open_text(), MSG_OK);
}

// --- Use picture ---

void use_selected() {
    if (!passes(STORE_NEED_ONE_PUZZLE)) return;
    store_use_picture(single_selected());
}

// --- Buttons and keys ---

void show_face() {
    const int gift = g_store.giftInterface;
    window_show(g_store.mainPanel, !gift);
    window_show(g_store.info, !gift);
    window_show(g_store.tools, !gift);
    window_show(g_store.giftPanel, gift);
    ge_set_room_title(lt_get(gift ? TEXT_GIFT_TITLE : TEXT_ROOM_TITLE));
    window_redraw(g_store.room);
}

void play_selected() {
    if (!passes(STORE_NEED_ONE)) return;
    store_start_box(single_selected());
}

void quit() {
    if (g_store.quit) g_store.quit();
}

// The selected boxes go into the gift in the shelf's drawing order, bottom-most first.
void make_gift() {
    if (!passes(STORE_NEED_SOME)) return;
    std::vector<const char*> names;
    for (const ShelfBox* box = shelf_tail(); box; box = box->previous)
        if (box->selected) names.push_back(box->name);
    gift_build(names.data(), (int)names.size());
}

int index_of(const int* buttons, int count, int button) {
    for (int i = 0; i < count; i++)
        if (buttons[i] == button) return i;
    return -1;
}

void main_button(int which) {
    switch (which) {
        case MAIN_PLAY:
            play_selected();
            break;
        case MAIN_HELP:
            io_help(HELP_MAIN);
            break;
        case MAIN_QUIT:
            quit();
            break;
        case MAIN_NEW:
            createroom_open_new();
            break;
        case MAIN_GALLERY:
            galleryroom_enter();
            break;
        case MAIN_GIFT:
            make_gift();
            break;
        default:
            break;
    }
}

void gift_button(int which) {
    switch (which) {
        case GIFT_PLAY:
            play_selected();
            break;
        case GIFT_NORMAL:
            g_store.giftInterface = 0;
            show_face();
            break;
        case GIFT_HELP:
            io_help(HELP_GIFT);
            break;
        case GIFT_QUIT:
            quit();
            break;
        default:
            break;
    }
}

void tool_button(int which) {
    switch (which) {
        case TOOL_EDIT:
            edit_selected();
            break;
        case TOOL_DELETE:
            delete_selection();
            break;
        case TOOL_USE:
            use_selected();
            break;
        case TOOL_RESET:
            reset_selection();
            break;
        case TOOL_RENAME:
            rename_selected();
            break;
        case TOOL_ABOUT:
            intro_about();
            break;
        case TOOL_WEB:
            io_open_document(PUBLISHER_ADDRESS);
            break;
        case TOOL_OPTIONS:
            if (options_run()) options_apply();
            break;
        default:
            break;
    }
}

void button_pressed(int button) {
    int i;
    if ((i = index_of(g_store.mainButtons, MAIN_BUTTONS, button)) >= 0)
        main_button(i);
    else if ((i = index_of(g_store.giftButtons, GIFT_BUTTONS, button)) >= 0)
        gift_button(i);
    else if ((i = index_of(g_store.toolButtons, TOOL_BUTTONS, button)) >= 0)
        tool_button(i);
}

// --- The room window ---
//
// The pointer, event by event:
//   left press             -> the shelf decides; the box under it shows its info; a drag
//                             captures the mouse, empty space starts a rubber band, a double
//                             click on a box starts it
//   WE_CAPTUREMOVE         -> the dragged boxes follow
//   release while captured -> the capture ends; WE_CAPTUREEND puts the boxes down
//   WE_BANDEND             -> the boxes whose centres lie inside toggle; a single selected box
//                             shows its info

void save_places() {
    window_save_placement(g_store.mainPanel, SECTION, "CPMainWin");
    window_save_placement(g_store.giftPanel, SECTION, "CPGiftWin");
    window_save_placement(g_store.info, SECTION, "InfoWin");
    window_save_placement(g_store.tools, SECTION, "ToolsWin");
    io_ini_write_int(CONFIG_INI, "MAIN", "GiftIFace", g_store.giftInterface);
}

// The room's panels, for keeping boxes off them.
int panels(int* windows) {
    windows[0] = g_store.mainPanel, windows[1] = g_store.giftPanel;
    windows[2] = g_store.info, windows[3] = g_store.tools;
    return 4;
}

// Whenever the panels or the screen changed (a window moved, rolled up or shown, a new screen
// size), every box they would hide moves out from under them; a window being dragged first
// comes to rest.
void keep_boxes_clear() {
    if (window_capture_kind() != CAPTURE_NONE) return;
    int windows[4];
    const int count = panels(windows);
    const unsigned seen = store_place_signature(windows, count);
    if (seen == g_store.panelsSeen) return;
    g_store.panelsSeen = seen;
    for (ShelfBox* box = shelf_head(); box; box = box->next)
        if (!box->dragging) store_place_clear(box, windows, count);
}

// The box under the pointer gets its label while the room is the one shown and nothing is
// carried or being chosen.
void update_hover() {
    int x, y;
    window_mouse(&x, &y);
    ShelfBox* box = nullptr;
    if (window_room() == g_store.room && window_capture_kind() == CAPTURE_NONE && !window_has_modal() &&
        window_at(x, y) == g_store.room)
        box = shelf_box_at(x, y);
    shelf_set_hover(box);
}

void mouse_down(int x, int y, int flags) {
    if (!(flags & MOUSE_LEFT) || (flags & MOUSE_CAPTURED)) return;
    ShelfBox* hit = nullptr;
    const int action = shelf_button_down(x, y, (flags & MOUSE_CTRL) != 0, sys_millis(), &hit);
    if (hit)
        show_info(hit);
    else if (shelf_selected_count(nullptr) == 0)
        show_info(nullptr);
    if (action == SHELF_DRAG)
        window_start_capture(g_store.room);
    else if (action == SHELF_BAND)
        window_start_band(g_store.room);
    else if (action == SHELF_START && hit)
        store_start_box(hit);
}

int room_handler(int /*window*/, KernelEvent* event) {
    switch (event->type) {
        case KE_IDLE:
            keep_boxes_clear();
            shelf_invalidate_changes();
            ge_background_draw();
            ge_draw_top_bar();
            shelf_paint();
            return 0;
        case KE_MOUSEDOWN:
            mouse_down((int)event->a, (int)event->b, (int)event->c);
            return 1;
        case KE_MOUSEUP:
            if ((event->c & MOUSE_CAPTURED) && window_capture_kind() == CAPTURE_MOUSE) window_end_capture();
            return 1;
        case WE_CAPTUREMOVE:
            shelf_drag_motion((int)event->a, (int)event->b);
            return 1;
        case WE_CAPTUREEND: {
            shelf_drag_end();
            // A box put down under a panel comes out from under it.
            int windows[4];
            const int count = panels(windows);
            for (ShelfBox* box = shelf_head(); box; box = box->next)
                if (box->selected) store_place_clear(box, windows, count);
            return 1;
        }
        case WE_BANDEND: {
            const WindowBand* band = (const WindowBand*)event->c;
            if (!band) return 1;
            shelf_band_end(band->x, band->y, band->width, band->height, band->ctrl);
            show_selection_info();
            return 1;
        }
        case KE_TICK:
        case KE_MOUSEMOVE:
            update_hover();
            return 0;
        case KE_KEYDOWN:
            if (event->a == KEY_ENTER) {
                play_selected();
                return 1;
            }
            if (event->a == KEY_DELETE) {
                delete_selection();
                return 1;
            }
            return 0;
        case WE_BUTTON:
            button_pressed((int)event->a);
            return 1;
        case WE_SCREENSIZE:  // the boxes keep their places relative to the screen's size
            shelf_screen_resized((int)event->a, (int)event->b, screen.width, screen.height);
            return 1;
        case WE_DESTROY:
            save_places();
            shelf_save_layout();
            shelf_free();
            g_store.infoBox = nullptr;
            g_store.room = -1;  // the windows are gone: nothing is drawn or shown any more
            return 0;
        default:
            return 0;
    }
}

// Only the buttons draw in the tools window.
int tools_handler(int /*window*/, KernelEvent* /*event*/) { return 0; }

// --- Building the windows ---

int build_menu(const int* texts, int count, int* buttons, const char* key, int title) {
    const int menu = button_menu_create(g_store.room, PANEL_X, PANEL_Y, lt_get(title));
    for (int i = 0; i < count; i++)
        buttons[i] = button_menu_add_text(menu, texts[i], 0);
    button_menu_finish(menu);
    window_move(menu, PANEL_X, PANEL_Y);
    window_restore_placement(menu, SECTION, key, PLACE_POSITION);
    return menu;
}

void build_tools() {
    g_store.tools = window_register(g_store.room, TW_CHILD | TW_RAISE | TW_TITLE, TOOLS_X, TOOLS_Y,
                                    TOOLS_WIDTH, TOOLS_HEIGHT, tools_handler, nullptr);
    window_set_title(g_store.tools, lt_get(TEXT_TOOLS_TITLE));
    for (int i = 0; i < TOOL_BUTTONS; i++) {
        const ToolPlace& p = TOOL_PLACES[i];
        const int button = button_register(g_store.tools, BS_PUSH | BS_TEXT | BS_FRAME, p.x, p.y, p.width,
                                           TOOL_HEIGHT, 0, lt_get(p.text), p.frame, 0);
        button_set_notify(button, g_store.room);
        g_store.toolButtons[i] = button;
    }
    window_restore_placement(g_store.tools, SECTION, "ToolsWin", PLACE_POSITION);
}

// A box the shelf placed at random goes off the room's panels (rooms/store_place.h).
void keep_off_panels(ShelfBox* box) {
    if (!created()) return;
    int windows[4];
    store_place_box(box, windows, panels(windows));
}

// Box files left off the shelf because their names could not be made usable: told once.
void tell_unusable() {
    const char* name = nullptr;
    if (g_store.toldUnusable || !shelf_unusable_files(&name)) return;
    g_store.toldUnusable = 1;
    char shown[BOX_NAME_MAX], text[LOG_LINE_MAX];
    chooser_shown_name(name, shown, sizeof shown);
    lt_with_value(TEXT_UNUSABLE_NAME, shown, text, sizeof text);
    msgbox_show(text, MSG_OK);
}

}  // namespace

// --- Public ---

void store_init() {
    g_store.infoBox = nullptr;
    g_store.room = window_register(-1, TW_SCREEN, 0, 0, 0, 0, room_handler, nullptr);

    g_store.mainPanel =
        build_menu(MAIN_TEXTS, MAIN_BUTTONS, g_store.mainButtons, "CPMainWin", TEXT_MENU_TITLE);
    g_store.giftPanel =
        build_menu(GIFT_TEXTS, GIFT_BUTTONS, g_store.giftButtons, "CPGiftWin", TEXT_GIFT_TITLE);

    g_store.info = text_window_create(g_store.room, INFO_WIDTH, INFO_LINES);
    window_move(g_store.info, INFO_X, INFO_Y);
    window_restore_placement(g_store.info, SECTION, "InfoWin", PLACE_POSITION | PLACE_ROLLED_UP);

    build_tools();
    store_use_create();

    int gift = 0;
    io_ini_read_int(CONFIG_INI, "MAIN", "GiftIFace", &gift);
    g_store.giftInterface = gift == 1;
    show_face();

    int oldWidth, oldHeight;
    store_place_old_screen_size(&oldWidth, &oldHeight);
    shelf_init(screen.width, screen.height);
    shelf_load_all(oldWidth, oldHeight);
    // New boxes go to free places; arranged ones that a panel would hide (another screen size,
    // a moved panel) come out from under it.
    int windows[4];
    const int count = panels(windows);
    for (ShelfBox* box = shelf_head(); box; box = box->next) {
        if (!box->arranged)
            keep_off_panels(box);
        else
            store_place_clear(box, windows, count);
        box->drawnX = box->x;
        box->drawnY = box->y;
    }
    g_store.panelsSeen = store_place_signature(windows, count);
}

void store_enter() {
    ge_set_room_title(lt_get(g_store.giftInterface ? TEXT_GIFT_TITLE : TEXT_ROOM_TITLE));
    show_selection_info();
    shelf_forget_click();
    window_focus(g_store.room);
    tell_unusable();
}

void store_return(const char* name) {
    ShelfBox* box = name ? shelf_find(name) : nullptr;
    if (box) {
        shelf_refresh(box);
        box->dirty = 1;
        if (g_store.infoBox == box) show_info(box);
    }
    store_enter();
}

void store_created(const char* name) {
    const int known = name && shelf_find(name);
    if (ShelfBox* box = name ? shelf_load(name) : nullptr) {
        if (!known) keep_off_panels(box);
        shelf_deselect_all();
        shelf_select(box, 1);
        box->dirty = 1;
        show_info(box);
    }
    store_enter();
}

int store_room_window() { return g_store.room; }

void store_set_quit_hook(void (*quit)()) { g_store.quit = quit; }

int store_text(KernelEvent* event) {
    if (event->a != 0) return 0;
    char name[BOX_NAME_MAX];
    if (!plain_box_name((const char*)event->b, name, sizeof name)) {
        io_log("store: not a box name: %s\n", event->b ? (const char*)event->b : "");
        return 1;
    }
    const int known = shelf_find(name) != nullptr;
    ShelfBox* box = shelf_load(name);
    if (!box) {
        io_log("store: the box %s cannot be read\n", name);
        return 1;
    }
    if (!known) keep_off_panels(box);
    box->dirty = 1;
    redraw_box(box);
    return 1;
}

int store_open_box(const char* name) {
    char plain[BOX_NAME_MAX];
    if (!plain_box_name(name, plain, sizeof plain)) return 0;
    const int known = shelf_find(plain) != nullptr;
    ShelfBox* box = shelf_load(plain);
    if (!box) return 0;
    if (!known) keep_off_panels(box);
    shelf_deselect_all();
    shelf_select(box, 1);
    show_info(box);
    // The box stays on the shelf with its file even when the play room cannot take it.
    store_start_box(box);
    return 1;
}

void store_start_box(ShelfBox* box) {
    if (box && !start_box(box)) msgbox_show_text(store_cannot_open_text(), MSG_OK);
}

int store_selection_refusal(int need) {
    ShelfBox* one;
    const int count = selected_count(&one);
    switch (need) {
        case STORE_NEED_SOME:
            return count == 0 ? TEXT_NONE_SELECTED : 0;
        case STORE_NEED_SOME_PUZZLE:
            if (count == 0) return TEXT_NONE_SELECTED;
            return one && one->record.isLink ? TEXT_LINK_BOX : 0;
        case STORE_NEED_ONE:
        case STORE_NEED_ONE_PUZZLE:
            if (count == 0) return TEXT_NONE_CLICKED;
            if (count > 1) return TEXT_SEVERAL;
            return need == STORE_NEED_ONE_PUZZLE && one->record.isLink ? TEXT_LINK_BOX : 0;
        default:
            return 0;
    }
}

void store_info_text(const ShelfBox* box, char* out, int size) {
    if (size <= 0) return;
    out[0] = 0;
    if (!box) return;
    if (box->record.isLink) {
        std::snprintf(out, (size_t)size, "%s", box->description ? box->description : "");
        return;
    }
    const SaveInfo& s = box->summary;
    char name[BOX_NAME_MAX];
    chooser_shown_name(box->name, name, sizeof name);
    std::snprintf(out, (size_t)size, "%s: %s\n%s: %ix%i %s: %i%%", lt_get(TEXT_INFO_NAME), name,
                  lt_get(TEXT_INFO_SIZE), (int)box->record.width, (int)box->record.height,
                  lt_get(TEXT_INFO_DONE), (int)s.percent);
    str_append(out, size, "\n");
    char part[256];
    if (s.percent > 0) {
        char time[32];
        io_duration_text(s.elapsedSeconds, time, sizeof time);
        std::snprintf(part, sizeof part, "%s: %s", lt_get(TEXT_INFO_TIME), time);
        str_append(out, size, part);
    }
    if (s.date[0]) {
        std::snprintf(part, sizeof part, " %s: %.*s", lt_get(TEXT_INFO_DATE), (int)sizeof s.date, s.date);
        str_append(out, size, part);
    }
}

int store_rename_answer(ShelfBox* box, const char* answer) {
    char name[BOX_NAME_MAX];
    if (!io_clean_file_name(answer, name, sizeof name) || !box_name_ok(name)) return STORE_RENAME_ASK_AGAIN;
    if (!std::strcmp(name, box->name)) return STORE_RENAME_DONE;
    // Another box on the shelf, or a file of that name the shelf does not show, keeps its name;
    // the box itself under another case of letters is renamed at once.
    const ShelfBox* other = shelf_find(name);
    char path[PATH_MAX_GAME];
    const int fileThere =
        !other && box_file_path(path, sizeof path, box_folder(), name, BOX_EXTENSION) && io_file_exists(path);
    if ((other && other != box) || fileThere) {
        msgbox_show_text(TEXT_NAME_TAKEN, MSG_OK);
        return STORE_RENAME_TAKEN;
    }
    if (!shelf_rename(box, name)) {
        io_log("store: the box %s could not be renamed to %s\n", box->name, name);
        msgbox_show_text(TEXT_RENAME_FAILED, MSG_OK);
        return STORE_RENAME_FAILED;
    }
    if (g_store.infoBox == box) show_info(box);
    return STORE_RENAME_DONE;
}

int store_cannot_open_text() {
    return io_error_is_disk_full(box_read_write_error()) ? TEXT_DISK_FULL_BOX : TEXT_CANNOT_PLAY;
}
