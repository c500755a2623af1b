// gui/button.cpp -- buttons and the panels made of them: the button bar, the icon strip, the
// button row and the button menu.
//
// Sections: button records and styles; registration and phase pictures; drawing; the handler
// (hover, press); group operations; button bar; icon strip; button row; button menu.
#include "gui/button.h"

#include <cstdio>

#include "base/limits.h"
#include "gui/font.h"
#include "gui/ge.h"
#include "gui/lt.h"
#include "image/img.h"
#include "platform/io_debug.h"
#include "platform/io_ff.h"
#include "platform/io_mem.h"
#include "resources/cache.h"

namespace {

// One per button window, its user data; freed on WE_DESTROY.
struct Button {
    int style;
    int textWidth;         // measured with the shadow
    int textHeight;        // measured, without the shadow offset
    int key;               // key code that presses it, 0 for none
    int phasePictures[4];  // cache indices, chosen by l + 2 * enabled
    int phaseWidth, phaseHeight;
    int picture, pictureWidth, pictureHeight;  // skin picture (BS_PICTURE)
    int frameElement;
    int state;    // 0/1: checked (toggle, radio)
    int enabled;  // a disabled button neither hovers nor presses
    int active;   // the mouse hovers over it
    int groupFirst;
    int groupLast;     // on a group's first button: its last button
    int notifyTarget;  // -1: the parent
    ButtonDrawFunction drawFunction;
};

constexpr int HOVER_POP = 3000;  // force-feedback pulse when the mouse enters a button
// A text keeps this far from the button's edges; a text too wide for that in the button font is
// drawn in the small font instead (a long translation, a narrow button).
constexpr int TEXT_MARGIN = 6;

struct ButtonFonts {
    int font = FONT_MEDIUM;
    int colour = 0, disabled = 0, hover = 0, shadow = -1;
};

ButtonFonts fonts;
bool isButton[WINDOW_MAX];  // windows whose user data is a Button
int openGroup = -1;         // first button of the radio group being registered

Button* button_of(int window) {
    if (static_cast<unsigned>(window) >= static_cast<unsigned>(WINDOW_MAX) || !isButton[window])
        return nullptr;
    return static_cast<Button*>(window_user_data(window));
}

Button* checked_button(int window) {
    Button* b = button_of(window);
    IO_ASSERT(b != nullptr);
    return b;
}

bool is_push(const Button* b) { return (b->style & BS_PUSH) != 0; }
bool is_toggle_or_radio(const Button* b) { return (b->style & (BS_TOGGLE | BS_RADIO)) != 0; }

// Push buttons light up while hovered, toggles and radios while checked.
int lit(const Button* b) { return is_push(b) ? b->active : b->state; }

void picture_size(int cacheIndex, int* width, int* height) {
    const auto* image = static_cast<const Image*>(cache_lock(cacheIndex));
    *width = image->width;
    *height = image->height;
    cache_unlock(cacheIndex);
}

// ---- drawing ----

// The font a title of measured width `textWidth` is drawn in inside `room` pixels: the button
// font while it keeps its margins, else the small font; *width and *height as drawn then.
int button_text_font(int room, int textWidth, int* width, int* height, const char* title) {
    if (textWidth + 2 * TEXT_MARGIN <= room || fonts.font == FONT_SMALL) return fonts.font;
    font_set_style(FONT_SMALL, fonts.colour, fonts.shadow);
    int w = 0, h = 0;
    font_measure(title, &w, &h);
    const Font* small = font_get(FONT_SMALL);
    *width = w;
    *height = h - (small && fonts.shadow != -1 ? small->shadowOffset : 0);
    return FONT_SMALL;
}

void draw_button(int window, const Button* b, int width, int height) {
    if (b->style & BS_FRAME) ge_draw_element(b->frameElement, 0, 0, width, height);
    int x = 0;  // left edge of the next piece of content for toggles and radios
    if (b->style & BS_PICTURE) {
        int px = is_push(b) ? (width - b->pictureWidth) / 2 : 5;
        ge_draw_picture(b->picture + lit(b), px, (height - b->pictureHeight) / 2);
        x = px + b->pictureWidth;
    }
    if (b->style & BS_DRAWN) {
        if (b->drawFunction) b->drawFunction(window, width, height);
        return;
    }
    const char* title = window_title(window);
    if ((b->style & BS_TEXT) && title) {
        int colour = !b->enabled ? fonts.disabled : b->active ? fonts.hover : fonts.colour;
        const int start = is_push(b) ? 0 : x + (is_toggle_or_radio(b) ? 5 : 0);
        int tw = b->textWidth, th = b->textHeight;
        const int font = button_text_font(width - start, tw, &tw, &th, title);
        font_set_style(font, colour, fonts.shadow);
        int tx = is_push(b) ? (width - tw) / 2 : start;
        window_draw_text(window, title, tx, (height - th) / 2);
        x = tx + tw;
    }
    if (b->style & BS_FAZE) {
        int px = is_push(b) && !(b->style & (BS_PICTURE | BS_TEXT)) ? (width - b->phaseWidth) / 2 : x;
        window_draw_cached(window, b->phasePictures[lit(b) + 2 * b->enabled], px,
                           (height - b->phaseHeight) / 2);
    }
}

// ---- the handler ----
//
// Hover and press, event by event:
//   KE_MOUSEMOVE inside, enabled, not active  -> pop 3000, active = 1, redraw (not consumed)
//   KE_TICK with the mouse outside, active    -> active = 0, redraw
//   WE_OUTSIDE (another window has the mouse) -> active = 0, redraw when it was set
//   KE_MOUSEDOWN left / KE_KEYDOWN of its key -> press: consumed unless disabled
// Broadcasts and mouse moves are never consumed, so every sibling sees them.

void set_active(int window, Button* b, int active) {
    if (b->active == active) return;
    b->active = active;
    window_redraw(window);
}

bool mouse_over(int window) {
    int mx, my, x, y, w, h;
    window_mouse(&mx, &my);
    window_screen_pos(window, &x, &y);
    window_size(window, &w, &h);
    return mx >= x && mx < x + w && my >= y && my < y + h;
}

void clear_group(int first) {
    const Button* head = checked_button(first);
    for (int w = first; w <= head->groupLast && w < WINDOW_MAX; w++) {
        Button* b = button_of(w);
        if (b && b->groupFirst == first && b->state) {
            b->state = 0;
            window_redraw(w);
        }
    }
}

int press(int window, Button* b) {
    if (!b->enabled) return 0;
    if (b->style & BS_TOGGLE) {
        b->state = !b->state;
    } else if (b->style & BS_RADIO) {
        clear_group(b->groupFirst);
        b->state = 1;
    }
    window_redraw(window);
    if (b->style & BS_NOTIFY) {
        KernelEvent note{WE_BUTTON, window, b->state, 0};
        post_event(b->notifyTarget >= 0 ? b->notifyTarget : window_parent(window), &note);
    }
    return 1;
}

int button_handler(int window, KernelEvent* event) {
    Button* b = static_cast<Button*>(window_user_data(window));
    switch (event->type) {
        case KE_IDLE:
            draw_button(window, b, static_cast<int>(event->a), static_cast<int>(event->b));
            return 0;
        case KE_MOUSEMOVE:
            if (b->enabled && !b->active) {
                io_ff_pop(HOVER_POP);
                set_active(window, b, 1);
            }
            return 0;
        case KE_TICK:
            if (b->active && !mouse_over(window)) set_active(window, b, 0);
            return 0;
        case WE_OUTSIDE:
            set_active(window, b, 0);
            return 0;
        case KE_MOUSEDOWN:
            return (event->c & MOUSE_LEFT) ? press(window, b) : 0;
        case KE_KEYDOWN:
            return b->key != 0 && event->a == b->key ? press(window, b) : 0;
        case WE_DESTROY:
            isButton[window] = false;
            if (openGroup == window) openGroup = -1;  // a group left open dies with its first button
            io_mem_free(b);
            return 1;
        default:
            return 0;
    }
}

// Step 8 of registration: the radio group bookkeeping, before the window exists.
void check_group(int style, const char* text) {
    if ((style & BS_RGFIRST) && openGroup >= 0) io_fatal("button_register: next BS_RGFIRST for %s", text);
    if ((style & BS_RADIO) && !(style & BS_RGFIRST) && openGroup < 0)
        io_fatal("button_register: where is for %s BS_RGFIRST?", text);
}

void join_group(int window, Button* b) {
    if (b->style & BS_RGFIRST) {
        openGroup = window;
        b->groupLast = window;
    }
    if ((b->style & BS_RADIO) || (b->style & BS_RGFIRST)) {
        b->groupFirst = openGroup;
        checked_button(openGroup)->groupLast = window;
    }
    if (b->style & BS_RGLAST) openGroup = -1;
}

int register_button(int parent, int style, int x, int y, int width, int height, int picture, const char* text,
                    ButtonDrawFunction draw, int frameElement, int key) {
    if (style & BS_PUSH) style |= BS_NOTIFY;
    const char* name = text ? text : "";
    check_group(style, name);

    auto* b = static_cast<Button*>(io_mem_alloc(sizeof(Button)));
    *b = Button{};
    b->style = style;
    b->enabled = 1;
    b->notifyTarget = -1;
    b->groupFirst = b->groupLast = -1;
    b->frameElement = frameElement;
    b->picture = picture;
    b->key = key;
    b->drawFunction = draw;
    if (style & BS_PICTURE) ge_picture_size(picture, &b->pictureWidth, &b->pictureHeight);
    if ((style & BS_TEXT) && text) {
        font_set_style(fonts.font, fonts.colour, fonts.shadow);
        int w = 0, h = 0;
        font_measure(text, &w, &h);
        b->textWidth = w;
        b->textHeight = h - font_get(fonts.font)->shadowOffset;
    }
    if ((style & BS_FAZE) && text) {
        load_faze(text, b->phasePictures, 3);
        b->phasePictures[3] = b->phasePictures[1];  // enabled and lit: the lit picture
        picture_size(b->phasePictures[0], &b->phaseWidth, &b->phaseHeight);
    }
    int naturalWidth, naturalHeight;
    button_natural_size(style, b->pictureWidth, b->pictureHeight, b->textWidth, b->textHeight, b->phaseWidth,
                        b->phaseHeight, &naturalWidth, &naturalHeight);
    if (width == 0) width = naturalWidth;
    if (height == 0) height = naturalHeight;

    int windowStyle = TW_CHILD | TW_OUTSIDE | ((style & BS_SHADOW) ? TW_SHADOW : 0);
    int window = window_register(parent, windowStyle, x, y, width, height, button_handler, b);
    isButton[window] = true;
    if ((style & BS_TEXT) && text) window_set_title(window, text);
    join_group(window, b);
    return window;
}

}  // namespace

// ---- registration ----

void button_set_style(int font, int colour, int disabled, int hover, int shadow) {
    fonts = ButtonFonts{font, colour, disabled, hover, shadow};
}

int button_register(int parent, int style, int x, int y, int width, int height, int picture, const char* text,
                    int frameElement, int key) {
    return register_button(parent, style, x, y, width, height, picture, text, nullptr, frameElement, key);
}

int button_register_drawn(int parent, int style, int x, int y, int width, int height, ButtonDrawFunction draw,
                          int frameElement, int key) {
    return register_button(parent, style | BS_DRAWN, x, y, width, height, 0, nullptr, draw, frameElement,
                           key);
}

void load_faze(const char* baseName, int* slots, int count) {
    int previous = cache_set_fatal_if_missing(0);
    for (int i = 0; i < count; i++) {
        char name[PATH_MAX_GAME];
        std::snprintf(name, sizeof name, "%s_%i.img", baseName, i);
        slots[i] = cache_register_picture(name);
    }
    cache_set_fatal_if_missing(previous);
    if (count > 0 && slots[0] < 0) io_fatal("button.cpp: load_faze %s", baseName);
    for (int i = 1; i < count; i++)
        if (slots[i] < 0) slots[i] = slots[0];
}

void button_natural_size(int style, int pictureWidth, int pictureHeight, int textWidth, int textHeight,
                         int phaseWidth, int phaseHeight, int* width, int* height) {
    int side = (style & (BS_TOGGLE | BS_RADIO)) ? 5 : 0;
    int framed = (style & BS_PUSH) && (style & BS_FRAME) ? 15 : 0;
    *width = pictureWidth + side + textWidth + side + phaseWidth + framed;
    int h = pictureHeight > textHeight ? pictureHeight : textHeight;
    *height = h > phaseHeight ? h : phaseHeight;
}

// ---- state and groups ----

void button_set_state(int button, int state) {
    Button* b = checked_button(button);
    if (is_push(b)) return;
    b->state = state ? 1 : 0;
    window_redraw(button);
}

int button_state(int button) { return checked_button(button)->state; }

void button_enable(int button, int enabled) {
    Button* b = checked_button(button);
    enabled = enabled ? 1 : 0;
    if (b->enabled == enabled) return;
    b->enabled = enabled;
    if (!enabled) b->active = 0;
    window_redraw(button);
}

int button_enabled(int button) { return checked_button(button)->enabled; }

int button_active(int button) { return checked_button(button)->active; }

void button_set_frame(int button, int element) {
    checked_button(button)->frameElement = element;
    window_redraw(button);
}

void button_set_notify(int button, int target) { checked_button(button)->notifyTarget = target; }

void button_select_in_group(int first, int k) {
    clear_group(first);
    Button* b = checked_button(first + k);
    b->state = 1;
    window_redraw(first + k);
}

int button_selected_in_group(int first) {
    const Button* head = checked_button(first);
    for (int w = first; w <= head->groupLast && w < WINDOW_MAX; w++) {
        const Button* b = button_of(w);
        if (b && b->groupFirst == first && b->state) return w - first;
    }
    return -1;
}

// ---- button bar ----

namespace {

constexpr int BAR_HEIGHT = 24;
constexpr int BAR_MARGIN = 24;  // from the right edge to slot 0
constexpr int BAR_BUTTON_WIDTH = 90;

struct ButtonBar {
    int slots[2][BUTTON_BAR_SLOTS];  // main and alternative rows, -1 when empty
    int highest;                     // highest slot index used, -1 when none
};

// Fills the bar's background around its visible buttons; the buttons draw their own frames.
int bar_handler(int window, KernelEvent* event) {
    auto* bar = static_cast<ButtonBar*>(window_user_data(window));
    if (event->type == WE_DESTROY) {
        io_mem_free(bar);
        return 1;
    }
    if (event->type != KE_IDLE) return 0;
    int width = static_cast<int>(event->a), left = width, right = 0;
    for (auto& row : bar->slots) {
        for (int button : row) {
            if (button < 0 || !window_visible(button)) continue;
            int x, y, w, h;
            window_pos(button, &x, &y);
            window_size(button, &w, &h);
            if (x < left) left = x;
            if (x + w > right) right = x + w;
        }
    }
    if (left >= right) {
        ge_draw_element(9, 0, 0, width, BAR_HEIGHT);
    } else {
        ge_draw_element(13, 0, 0, left, BAR_HEIGHT);
        ge_draw_element(11, right, 0, width - right, BAR_HEIGHT);
    }
    return 0;
}

ButtonBar* bar_of(int bar) {
    auto* b = static_cast<ButtonBar*>(window_user_data(bar));
    IO_ASSERT(b != nullptr);
    return b;
}

// Text buttons (0x409) when a text is given, else picture buttons (0x601).
int panel_button(int parent, int x, int y, int width, int height, const char* text, int picture, int frame,
                 int key) {
    int style = text ? BS_PUSH | BS_TEXT | BS_FRAME : BS_PUSH | BS_PICTURE | BS_FRAME;
    return button_register(parent, style, x, y, width, height, picture, text, frame, key);
}

}  // namespace

int button_bar_create(int parent) {
    auto* bar = static_cast<ButtonBar*>(io_mem_alloc(sizeof(ButtonBar)));
    for (auto& row : bar->slots)
        for (int& slot : row)
            slot = -1;
    bar->highest = -1;
    int width, height;
    window_size(parent, &width, &height);
    return window_register(parent, TW_CHILD, 0, height - BAR_HEIGHT, width, BAR_HEIGHT, bar_handler, bar);
}

int button_bar_add(int bar, int index, int alternative, const char* text, int picture, int key, int width) {
    ButtonBar* b = bar_of(bar);
    IO_ASSERT(index >= 0 && index < BUTTON_BAR_SLOTS);
    int button =
        panel_button(bar, 0, 0, width ? width : BAR_BUTTON_WIDTH, BAR_HEIGHT, text, picture, 14, key);
    button_set_notify(button, window_parent(bar));
    b->slots[alternative ? 1 : 0][index] = button;
    if (index > b->highest) b->highest = index;
    return button;
}

int button_bar_button(int bar, int index, int alternative) {
    if (index < 0 || index >= BUTTON_BAR_SLOTS) return -1;
    return bar_of(bar)->slots[alternative ? 1 : 0][index];
}

void button_bar_layout(int bar) {
    ButtonBar* b = bar_of(bar);
    int width, height;
    window_size(window_parent(bar), &width, &height);
    window_resize(bar, width, BAR_HEIGHT);
    window_move(bar, 0, height - BAR_HEIGHT);
    int right = width - BAR_MARGIN;
    for (int i = 0; i <= b->highest; i++) {
        int place = 0;  // the main and the alternative button share one place
        for (const auto& row : b->slots) {
            int w, h;
            if (row[i] < 0) continue;
            window_size(row[i], &w, &h);
            if (w > place) place = w;
        }
        for (const auto& row : b->slots)
            if (row[i] >= 0) window_move(row[i], right - place, 0);
        right -= place;
    }
    window_redraw(bar);
}

// ---- icon strip ----

namespace {

constexpr int STRIP_HEIGHT = 18;
constexpr int STRIP_START = 24;  // x of the first button

struct IconStrip {
    int buttons[ICON_STRIP_MAX];
    int count;
    int right;  // right edge of the last button
};

int strip_handler(int window, KernelEvent* event) {
    auto* strip = static_cast<IconStrip*>(window_user_data(window));
    if (event->type == WE_DESTROY) {
        io_mem_free(strip);
        return 1;
    }
    if (event->type != KE_IDLE) return 0;
    int width = static_cast<int>(event->a);
    if (strip->count == 0) {
        ge_draw_element(9, 0, 0, width, STRIP_HEIGHT);
    } else {
        ge_draw_element(13, 0, 0, STRIP_START, STRIP_HEIGHT);
        ge_draw_element(11, strip->right, 0, width - strip->right, STRIP_HEIGHT);
    }
    return 0;
}

}  // namespace

int icon_strip_create(int parent) {
    auto* strip = static_cast<IconStrip*>(io_mem_alloc(sizeof(IconStrip)));
    *strip = IconStrip{};
    strip->right = STRIP_START;
    int width, height;
    window_size(parent, &width, &height);
    return window_register(parent, TW_CHILD, 0, height - STRIP_HEIGHT, width, STRIP_HEIGHT, strip_handler,
                           strip);
}

int icon_strip_add(int strip, int picture, int key) {
    auto* s = static_cast<IconStrip*>(window_user_data(strip));
    IO_ASSERT(s != nullptr && s->count < ICON_STRIP_MAX);
    int button = button_register(strip, BS_PUSH | BS_PICTURE, s->right, 0, 0, 0, picture, nullptr, 0, key);
    button_set_notify(button, window_parent(strip));
    int w, h;
    window_size(button, &w, &h);
    s->buttons[s->count++] = button;
    s->right += w;
    return button;
}

// ---- button row ----

namespace {

constexpr int ROW_HEIGHT = 32;

struct ButtonRow {
    int buttons[BUTTON_ROW_MAX];
    int count;
    int width;  // total width of the buttons so far
};

int row_handler(int window, KernelEvent* event) {
    if (event->type == WE_DESTROY) io_mem_free(window_user_data(window));
    return 0;
}

}  // namespace

int button_row_create(int parent, int x, int y) {
    auto* row = static_cast<ButtonRow*>(io_mem_alloc(sizeof(ButtonRow)));
    *row = ButtonRow{};
    return window_register(parent, TW_CHILD | TW_SHADOW, x, y, ROW_HEIGHT, ROW_HEIGHT, row_handler, row);
}

int button_row_add(int row, const char* text, int picture) {
    auto* r = static_cast<ButtonRow*>(window_user_data(row));
    IO_ASSERT(r != nullptr && r->count < BUTTON_ROW_MAX);
    int button = panel_button(row, r->width, 0, 0, ROW_HEIGHT, text, picture, r->count == 0 ? 4 : 6, 0);
    button_set_notify(button, window_parent(row));
    int w, h;
    window_size(button, &w, &h);
    r->buttons[r->count++] = button;
    r->width += w;
    return button;
}

void button_row_finish(int row) {
    auto* r = static_cast<ButtonRow*>(window_user_data(row));
    IO_ASSERT(r != nullptr && r->count > 0);
    button_set_frame(r->buttons[r->count - 1], r->count == 1 ? 0 : 2);
    window_resize(row, r->width, ROW_HEIGHT);
}

// ---- button menu ----

namespace {

constexpr int MENU_ITEM_HEIGHT = 24;
constexpr int MENU_MIN_WIDTH = 71;

struct ButtonMenu {
    int buttons[BUTTON_MENU_MAX];
    int count;
    int widest;
};

int menu_handler(int window, KernelEvent* event) {
    if (event->type == WE_DESTROY) io_mem_free(window_user_data(window));
    return 0;
}

}  // namespace

int button_menu_create(int parent, int x, int y, const char* title) {
    auto* menu = static_cast<ButtonMenu*>(io_mem_alloc(sizeof(ButtonMenu)));
    *menu = ButtonMenu{};
    int window = window_register(parent, TW_CHILD | TW_RAISE | TW_TITLE, x, y, MENU_MIN_WIDTH, TITLE_HEIGHT,
                                 menu_handler, menu);
    window_set_title(window, title);
    return window;
}

int button_menu_add(int menu, const char* text, int key) {
    auto* m = static_cast<ButtonMenu*>(window_user_data(menu));
    IO_ASSERT(m != nullptr && m->count < BUTTON_MENU_MAX);
    int y = TITLE_HEIGHT + MENU_ITEM_HEIGHT * m->count;
    int button = panel_button(menu, 0, y, 0, MENU_ITEM_HEIGHT, text, 0, 24, key);
    button_set_notify(button, window_parent(menu));
    int w, h;
    window_size(button, &w, &h);
    if (w > m->widest) m->widest = w;
    m->buttons[m->count++] = button;
    return button;
}

int button_menu_add_text(int menu, int number, int key) { return button_menu_add(menu, lt_get(number), key); }

void button_menu_finish(int menu) {
    auto* m = static_cast<ButtonMenu*>(window_user_data(menu));
    IO_ASSERT(m != nullptr && m->count > 0);
    button_set_frame(m->buttons[m->count - 1], 8);
    int width = m->widest > MENU_MIN_WIDTH ? m->widest : MENU_MIN_WIDTH;
    for (int i = 0; i < m->count; i++)
        window_resize(m->buttons[i], width, MENU_ITEM_HEIGHT);
    window_resize(menu, width, TITLE_HEIGHT + MENU_ITEM_HEIGHT * m->count);
}
