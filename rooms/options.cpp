// rooms/options.cpp -- the options window: two choice lists (interface language, help pages), the
// colour field with its preview and the brightness slider, the force-feedback tick box, defaults,
// the language page, OK and Cancel.
//
// Sections: settings; lists; the window's state and layout; choice controls and their list;
// the colour field; the window; public.
#include "rooms/options.h"

#include <cstdio>
#include <cstring>

#include "base/version.h"
#include "gui/button.h"
#include "gui/font.h"
#include "gui/ge.h"
#include "gui/lt.h"
#include "gui/window.h"
#include "image/img_scale.h"
#include "platform/io_desktop.h"
#include "platform/io_ff.h"
#include "platform/io_file.h"
#include "platform/io_ini.h"
#include "platform/screen.h"
#include "resources/cache.h"

// Settings ---------------------------------------------------------------------------------------

namespace {

constexpr const char* LIST_FOLDER = "sfiles/ml";

// A name of a file right inside the list folder: no folder part, not empty.
bool plain_name(const char* name) { return name[0] && !std::strchr(name, '/') && !std::strchr(name, '\\'); }

void read_name(const char* key, char* out, int size) {
    if (io_ini_read(CONFIG_INI, "MAIN", key, out, size) <= 0 || !plain_name(out)) out[0] = 0;
}

// "BackGround": exactly three whole numbers, hue first, then saturation and brightness.
bool read_tint(int* hue, int* saturation, int* brightness) {
    char text[64];
    if (io_ini_read(CONFIG_INI, "MAIN", "BackGround", text, sizeof text) <= 0) return false;
    int h, s, b, used = 0;
    if (std::sscanf(text, "%d %d %d %n", &h, &s, &b, &used) != 3 || text[used]) return false;
    if (h < 0 || h > 360 || s < 0 || s > 100 || b < -100 || b > 100) return false;
    *hue = h;
    *saturation = s;
    *brightness = b;
    return true;
}

int clamp(int v, int low, int high) { return v < low ? low : (v > high ? high : v); }

}  // namespace

void options_defaults(OptionsSettings* out) {
    out->language[0] = 0;
    out->help[0] = 0;
    out->hue = OPTIONS_DEFAULT_HUE;
    out->saturation = OPTIONS_DEFAULT_SATURATION;
    out->brightness = OPTIONS_DEFAULT_BRIGHTNESS;
    out->feedback = 1;
}

void options_read(OptionsSettings* out) {
    options_defaults(out);
    read_name("UserInterface", out->language, sizeof out->language);
    read_name("HelpFile", out->help, sizeof out->help);
    read_tint(&out->hue, &out->saturation, &out->brightness);
    char feedback[8];
    io_ini_read(CONFIG_INI, "MAIN", "FeedBackSupport", feedback, sizeof feedback);
    out->feedback = std::strcmp(feedback, "0") != 0;
}

int options_write(const OptionsSettings& s) {
    char tint[48];
    std::snprintf(tint, sizeof tint, "%i %i %i", s.hue, s.saturation, s.brightness);
    int ok = io_ini_write(CONFIG_INI, "MAIN", "UserInterface", s.language);
    ok &= io_ini_write(CONFIG_INI, "MAIN", "HelpFile", s.help);
    ok &= io_ini_write(CONFIG_INI, "MAIN", "BackGround", tint);
    ok &= io_ini_write(CONFIG_INI, "MAIN", "FeedBackSupport", s.feedback ? "1" : "0");
    return io_ini_flush(CONFIG_INI) && ok;
}

void options_field_colour(int x, int y, int* hue, int* saturation) {
    *hue = clamp(2 * x, 0, 360);
    *saturation = clamp((128 - y) * 100 / 128, 1, 99);
}

uint32_t options_preview_colour(int hue, int saturation, int brightness) {
    return hls_to_rgb((float)hue, (float)((brightness + 100) * 0.005), (float)(saturation * 0.01));
}

// Lists ------------------------------------------------------------------------------------------

void options_list_files(const char* folder, const char* extension, OptionsList* out) {
    out->count = 1;
    out->files[0][0] = 0;
    std::snprintf(out->shown[0], sizeof out->shown[0], "English");
    char pattern[2 * PATH_MAX_GAME];
    std::snprintf(pattern, sizeof pattern, "%s/*.%s", folder, extension);
    IoFind find;
    IoFindEntry entry;
    for (int more = io_find_first(&find, pattern, 0, &entry); more; more = io_find_next(&find, &entry)) {
        if (out->count == OPTIONS_LIST_MAX || !plain_name(entry.name)) continue;
        // Kept in name order after "English".
        int at = out->count;
        while (at > 1 && std::strcmp(out->files[at - 1], entry.name) > 0)
            at--;
        std::memmove(out->files[at + 1], out->files[at], sizeof out->files[0] * (size_t)(out->count - at));
        std::memmove(out->shown[at + 1], out->shown[at], sizeof out->shown[0] * (size_t)(out->count - at));
        std::snprintf(out->files[at], sizeof out->files[at], "%s", entry.name);
        std::snprintf(out->shown[at], sizeof out->shown[at], "%s", entry.name);
        if (char* dot = std::strrchr(out->shown[at], '.')) *dot = 0;
        out->count++;
    }
    io_find_close(&find);
}

int options_list_find(const OptionsList& list, const char* file) {
    if (!file || !file[0]) return 0;
    for (int i = 1; i < list.count; i++)
        if (!std::strcmp(list.files[i], file)) return i;
    return 0;
}

// The window's state and layout ------------------------------------------------------------------

namespace {

constexpr const char* CAPTION = "Lumavex Options";
constexpr const char* TINT_PICTURE = "img/options_tint.img";
constexpr const char* LOGO_PICTURE = "img/options_logo.img";

constexpr int TEXT_LANGUAGE = 600, TEXT_HELP = 601, TEXT_COLOUR = 602, TEXT_BRIGHTNESS = 603;
constexpr int TEXT_FEEDBACK = 604, TEXT_DEFAULTS = 605, TEXT_LANGUAGE_PAGE = 606;

constexpr int ELEMENT_FIRST = 4, ELEMENT_MIDDLE = 6, ELEMENT_LAST = 2, ELEMENT_LONE = 0, ELEMENT_BODY = 25;
constexpr int ELEMENT_LIST = 9;
constexpr int SLIDER_FRAME = 1;

// Two columns over the body: the logo and the controls on the left, the colour on the right.
constexpr int WIDTH = 464, HEIGHT = 320;
constexpr int BOTTOM = 42;  // the button bar and the frame's edge under the body
constexpr int LEFT_X = 14, LEFT_W = 232;
constexpr int LOGO_Y = 30;
constexpr int LABEL_H = 16;
constexpr int LANGUAGE_Y = 120, HELP_Y = 170;  // the choice controls; their labels above
constexpr int CHOICE_H = 24, ARROW_W = 26;
constexpr int FEEDBACK_Y = 204;
constexpr int TOOLS_Y = 240, DEFAULTS_W = 110;
constexpr int RIGHT_X = 268, FIELD_Y = 46;
constexpr int PREVIEW_Y = FIELD_Y + OPTIONS_FIELD_HEIGHT + 8, PREVIEW_H = 22;
constexpr int SLIDER_Y = PREVIEW_Y + PREVIEW_H + 8;
constexpr int ROW_H = 18, LIST_ROWS_MAX = 7;

enum Choice { CHOICE_LANGUAGE, CHOICE_HELP, CHOICES };

struct ChoiceControl {
    OptionsList list;
    int selected;
    int previous, shown, next;  // the arrows and the button that shows the choice
    int y;
};

struct OptionsWindow {
    int window = -1;
    int field = -1, popup = -1;
    int tick = -1, defaults = -1, page = -1, slider = -1, ok = -1, cancel = -1;
    int tint = -1, logo = -1;  // cache indices of the pictures
    ChoiceControl choices[CHOICES];
    OptionsSettings settings;
    // The open list: which choice, its rectangle (window coordinates), the first row shown and
    // the row under the pointer.
    int open = -1, listX = 0, listY = 0, listW = 0, listRows = 0, top = 0, hover = -1;
    int backdrop = -1;  // the bare screen behind the window before the game starts
};

OptionsWindow g_options;

void label_style() {
    font_set_style(FONT_SYSTEM, ge_colour(GE_MSGBOX_TEXT), ge_colour(GE_MSGBOX_TEXT_SHADOW));
}

void draw_label(int text, int x, int y) {
    label_style();
    window_draw_text(g_options.window, lt_get(text), x, y);
}

void redraw_preview() {
    window_redraw_part(g_options.window, RIGHT_X - 1, PREVIEW_Y - 1, OPTIONS_FIELD_WIDTH + 2, PREVIEW_H + 2);
    window_redraw(g_options.field);
}

}  // namespace

// Choice controls and their list -----------------------------------------------------------------

namespace {

int choice_of_button(int button) {
    for (int c = 0; c < CHOICES; c++) {
        const ChoiceControl& k = g_options.choices[c];
        if (button == k.previous || button == k.shown || button == k.next) return c;
    }
    return -1;
}

// The shown choice: its name, with a small mark at the right that says a list opens.
void draw_choice(int window, int width, int height) {
    const int c = choice_of_button(window);
    if (c < 0) return;
    const ChoiceControl& k = g_options.choices[c];
    int x, y;
    window_screen_pos(window, &x, &y);
    const int active = button_active(window);
    font_set_style(FONT_MEDIUM, ge_colour(active ? GE_BUTTON_TEXT_HOVER : GE_BUTTON_TEXT),
                   ge_colour(GE_BUTTON_TEXT_SHADOW));
    font_set_layout(1, width - 24);
    int w = 0, h = 0;
    font_measure(k.list.shown[k.selected], &w, &h);
    font_draw(k.list.shown[k.selected], x + 8, y + (height - h) / 2 + 1);
    // A small downward triangle.
    ge_set_pen(PEN_SOLID, ge_colour(active ? GE_BUTTON_TEXT_HOVER : GE_BUTTON_TEXT));
    const int cx = x + width - 14, cy = y + height / 2 - 1;
    for (int i = 0; i < 4; i++)
        ge_line(cx - 3 + i, cy - 1 + i, cx + 4 - i, cy - 1 + i);
}

void select_choice(int c, int index) {
    ChoiceControl& k = g_options.choices[c];
    if (index < 0 || index >= k.list.count) return;
    k.selected = index;
    window_redraw(k.shown);
    char* target = c == CHOICE_LANGUAGE ? g_options.settings.language : g_options.settings.help;
    std::snprintf(target, PATH_MAX_GAME, "%s", k.list.files[index]);
}

void redraw_list() {
    OptionsWindow& s = g_options;
    window_redraw_part(s.window, s.listX - 2, s.listY - 2, s.listW + 4, s.listRows * ROW_H + 4);
}

void close_list() {
    if (g_options.open < 0) return;
    redraw_list();
    g_options.open = -1;
    window_show(g_options.popup, 0);
}

// The list opens under its control when it fits above the button bar, else over it.
void open_list(int c) {
    OptionsWindow& s = g_options;
    const ChoiceControl& k = s.choices[c];
    s.open = c;
    s.listRows = k.list.count < LIST_ROWS_MAX ? k.list.count : LIST_ROWS_MAX;
    s.listX = LEFT_X + ARROW_W;
    s.listW = LEFT_W - 2 * ARROW_W;
    const int height = s.listRows * ROW_H;
    s.listY = k.y + CHOICE_H + height <= HEIGHT - BOTTOM ? k.y + CHOICE_H : k.y - height;
    s.top = k.selected - s.listRows + 1 > 0 ? k.selected - s.listRows + 1 : 0;
    s.hover = k.selected;
    window_show(s.popup, 1);
    window_raise(s.popup);
    redraw_list();
}

int list_row_at(int x, int y) {
    const OptionsWindow& s = g_options;
    if (x < s.listX || x >= s.listX + s.listW || y < s.listY || y >= s.listY + s.listRows * ROW_H) return -1;
    return s.top + (y - s.listY) / ROW_H;
}

void scroll_list(int rows) {
    OptionsWindow& s = g_options;
    const int last = s.choices[s.open].list.count - s.listRows;
    const int top = clamp(s.top + rows, 0, last > 0 ? last : 0);
    if (top == s.top) return;
    s.top = top;
    redraw_list();
}

void draw_list() {
    const OptionsWindow& s = g_options;
    if (s.open < 0) return;
    const ChoiceControl& k = s.choices[s.open];
    int x, y;
    window_screen_pos(s.window, &x, &y);
    x += s.listX;
    y += s.listY;
    ge_draw_element(ELEMENT_LIST, s.listX - 2, s.listY - 2, s.listW + 4, s.listRows * ROW_H + 4);
    for (int r = 0; r < s.listRows; r++) {
        const int i = s.top + r;
        if (i == s.hover) {
            ge_set_fill(ge_colour(GE_SELECTION));
            ge_fill_rect(x, y + r * ROW_H, s.listW, ROW_H);
        }
        label_style();
        font_set_layout(0, s.listW - 12);
        font_draw(k.list.shown[i], x + 6, y + r * ROW_H + 2);
        if (i == k.selected) {
            ge_set_pen(PEN_SOLID, ge_colour(GE_MSGBOX_TEXT));
            ge_rectangle(x, y + r * ROW_H, s.listW, ROW_H);
        }
    }
    // More rows above or below: a short rule at that edge.
    ge_set_pen(PEN_SOLID, ge_colour(GE_MSGBOX_TEXT));
    if (s.top > 0) ge_line(x + s.listW / 2 - 8, y, x + s.listW / 2 + 8, y);
    if (s.top + s.listRows < k.list.count)
        ge_line(x + s.listW / 2 - 8, y + s.listRows * ROW_H - 1, x + s.listW / 2 + 8,
                y + s.listRows * ROW_H - 1);
}

// The open list covers the whole window: a press on a row chooses it, a press anywhere else
// closes the list without a change.
int popup_handler(int /*window*/, KernelEvent* event) {
    OptionsWindow& s = g_options;
    switch (event->type) {
        case KE_IDLE:
            draw_list();
            return 1;
        case KE_MOUSEMOVE: {
            const int row = list_row_at((int)event->a, (int)event->b);
            if (row >= 0 && row != s.hover) {
                s.hover = row;
                redraw_list();
            }
            return 1;
        }
        case KE_MOUSEDOWN: {
            const int row = list_row_at((int)event->a, (int)event->b);
            if (row >= 0) select_choice(s.open, row);
            close_list();
            return 1;
        }
        case KE_WHEEL:
            scroll_list(-(int)event->c);
            return 1;
        case KE_KEYDOWN:
            if (event->a == KEY_ESCAPE) close_list();
            if (event->a == KEY_ENTER) {
                select_choice(s.open, s.hover);
                close_list();
            }
            return 1;
        default:
            return s.open >= 0 && event->type != KE_TICK && event->type != WE_DESTROY;
    }
}

void build_choice(int c, int y) {
    ChoiceControl& k = g_options.choices[c];
    const int w = g_options.window;
    k.y = y;
    k.previous = button_register(w, BS_PUSH | BS_TEXT | BS_FRAME, LEFT_X, y, ARROW_W, CHOICE_H, 0, "<",
                                 ELEMENT_FIRST, 0);
    k.shown = button_register_drawn(w, BS_PUSH | BS_DRAWN | BS_FRAME, LEFT_X + ARROW_W, y,
                                    LEFT_W - 2 * ARROW_W, CHOICE_H, draw_choice, ELEMENT_MIDDLE, 0);
    k.next = button_register(w, BS_PUSH | BS_TEXT | BS_FRAME, LEFT_X + LEFT_W - ARROW_W, y, ARROW_W, CHOICE_H,
                             0, ">", ELEMENT_LAST, 0);
}

}  // namespace

// The colour field -------------------------------------------------------------------------------

namespace {

void set_tint(int hue, int saturation, int brightness) {
    OptionsSettings& s = g_options.settings;
    s.hue = hue;
    s.saturation = saturation;
    s.brightness = brightness;
    slider_set_value(g_options.slider, brightness);
    redraw_preview();
}

void field_at(int x, int y) {
    int hue, saturation;
    options_field_colour(x, y, &hue, &saturation);
    set_tint(hue, saturation, 0);
}

// A press or a drag with the left button chooses; the capture keeps the pointer's place inside
// the field.
int field_handler(int window, KernelEvent* event) {
    switch (event->type) {
        case KE_IDLE: {
            int x, y;
            window_screen_pos(window, &x, &y);
            if (const Image* picture = (const Image*)cache_lock(g_options.tint)) {
                img_draw_all(picture, x, y);
                cache_unlock(g_options.tint);
            }
            // The chosen point: a small ring, black around white, clipped to the field.
            const OptionsSettings& t = g_options.settings;
            const int px = x + t.hue / 2, py = y + 128 - t.saturation * 128 / 100;
            ge_set_pen(PEN_SOLID, 0x000000);
            ge_rectangle(px - 3, py - 3, 7, 7);
            ge_set_pen(PEN_SOLID, 0xFFFFFF);
            ge_rectangle(px - 2, py - 2, 5, 5);
            return 0;
        }
        case KE_MOUSEDOWN:
            if (event->c & MOUSE_CAPTURED) {
                window_end_capture();
            } else if (event->c & MOUSE_LEFT) {
                field_at((int)event->a, (int)event->b);
                window_start_capture(window);
            }
            return 1;
        case KE_MOUSEUP:
            if ((event->c & MOUSE_CAPTURED) && window_capture_kind() == CAPTURE_MOUSE) window_end_capture();
            return 1;
        case WE_CAPTUREMOVE: {
            const int* at = (const int*)event->c;
            if (at) field_at(at[0], at[1]);
            return 1;
        }
        default:
            return 0;
    }
}

}  // namespace

// The window -------------------------------------------------------------------------------------

namespace {

void draw_window(int width, int height) {
    OptionsWindow& s = g_options;
    ge_draw_element(ELEMENT_BODY, 0, TITLE_HEIGHT, width, height - BOTTOM);
    int x, y;
    window_screen_pos(s.window, &x, &y);
    if (const Image* logo = (const Image*)cache_lock(s.logo)) {
        img_draw_all(logo, x + LEFT_X, y + LOGO_Y);
        cache_unlock(s.logo);
    }
    draw_label(TEXT_LANGUAGE, LEFT_X + 2, LANGUAGE_Y - LABEL_H - 2);
    draw_label(TEXT_HELP, LEFT_X + 2, HELP_Y - LABEL_H - 2);
    draw_label(TEXT_COLOUR, RIGHT_X + 2, FIELD_Y - LABEL_H - 2);
    ge_bevel_box(RIGHT_X - 1, FIELD_Y - 1, OPTIONS_FIELD_WIDTH + 2, OPTIONS_FIELD_HEIGHT + 2);
    ge_bevel_box(RIGHT_X - 1, PREVIEW_Y - 1, OPTIONS_FIELD_WIDTH + 2, PREVIEW_H + 2);
    const OptionsSettings& t = s.settings;
    ge_set_fill((int)options_preview_colour(t.hue, t.saturation, t.brightness));
    ge_fill_rect(x + RIGHT_X, y + PREVIEW_Y, OPTIONS_FIELD_WIDTH, PREVIEW_H);
}

void show_settings() {
    OptionsWindow& s = g_options;
    select_choice(CHOICE_LANGUAGE, options_list_find(s.choices[CHOICE_LANGUAGE].list, s.settings.language));
    select_choice(CHOICE_HELP, options_list_find(s.choices[CHOICE_HELP].list, s.settings.help));
    button_set_state(s.tick, s.settings.feedback);
    slider_set_value(s.slider, s.settings.brightness);
    window_redraw(s.window);
}

void restore_defaults() {
    options_defaults(&g_options.settings);
    show_settings();
}

void open_language_page() {
    char address[256];
    std::snprintf(address, sizeof address, "%slanguages/", PUBLISHER_ADDRESS);
    io_open_document(address);
}

void confirm() {
    OptionsWindow& s = g_options;
    s.settings.feedback = button_state(s.tick) != 0;
    options_write(s.settings);
    window_end_modal(1, 0);
}

int on_button(int button) {
    OptionsWindow& s = g_options;
    if (button == s.ok) {
        confirm();
    } else if (button == s.cancel) {
        window_end_modal(0, 0);
    } else if (button == s.defaults) {
        restore_defaults();
    } else if (button == s.page) {
        open_language_page();
    } else if (const int c = choice_of_button(button); c >= 0) {
        const ChoiceControl& k = s.choices[c];
        if (button == k.shown)
            open_list(c);
        else
            select_choice(c, (k.selected + (button == k.next ? 1 : k.list.count - 1)) % k.list.count);
    } else {
        return 0;
    }
    return 1;
}

int window_handler(int /*window*/, KernelEvent* event) {
    switch (event->type) {
        case KE_IDLE:
            draw_window((int)event->a, (int)event->b);
            return 0;
        case WE_BUTTON:
            return on_button((int)event->a);
        case WE_SLIDER:
            g_options.settings.brightness = (int)event->b;
            redraw_preview();
            return 1;
        default:
            return 0;
    }
}

int backdrop_handler(int /*window*/, KernelEvent* event) {
    if (event->type != KE_IDLE) return 0;
    ge_background_draw();
    ge_draw_top_bar();
    return 0;
}

void build() {
    OptionsWindow& s = g_options;
    s.tint = cache_register_raw(TINT_PICTURE);
    s.logo = cache_register_raw(LOGO_PICTURE);
    s.window = window_register(-1, TW_MODAL | TW_TITLE, 0, 0, WIDTH, HEIGHT, window_handler, nullptr);
    window_set_title(s.window, CAPTION);
    window_show(s.window, 0);
    s.field = window_register(s.window, TW_CHILD, RIGHT_X, FIELD_Y, OPTIONS_FIELD_WIDTH, OPTIONS_FIELD_HEIGHT,
                              field_handler, nullptr);
    build_choice(CHOICE_LANGUAGE, LANGUAGE_Y);
    build_choice(CHOICE_HELP, HELP_Y);
    s.tick = button_register(s.window, BS_TOGGLE | BS_PICTURE | BS_TEXT, LEFT_X - 4, FEEDBACK_Y, 0, 0,
                             GE_PICTURE_TICK, lt_get(TEXT_FEEDBACK), 0, 0);
    s.page = button_register(s.window, BS_PUSH | BS_TEXT | BS_FRAME, LEFT_X, TOOLS_Y, LEFT_W, CHOICE_H, 0,
                             lt_get(TEXT_LANGUAGE_PAGE), ELEMENT_LONE, 0);
    s.slider = slider_register(s.window, SLIDER_NOTIFY | SLIDER_ARROWS, RIGHT_X - 4, SLIDER_Y,
                               OPTIONS_FIELD_WIDTH + 8, SLIDER_FRAME);
    window_set_title(s.slider, lt_get(TEXT_BRIGHTNESS));
    slider_set_range(s.slider, -100, 100);
    const int bar = button_bar_create(s.window);
    s.ok = button_bar_add(bar, 1, 0, nullptr, GE_PICTURE_OK, KEY_ENTER, 0);
    s.cancel = button_bar_add(bar, 0, 0, nullptr, GE_PICTURE_CANCEL, KEY_ESCAPE, 0);
    s.defaults = button_bar_add(bar, 2, 0, lt_get(TEXT_DEFAULTS), 0, 0, DEFAULTS_W);
    button_bar_layout(bar);
    // Last, so it lies over every other control while a list is open.
    s.popup = window_register(s.window, TW_CHILD, 0, 0, WIDTH, HEIGHT, popup_handler, nullptr);
    window_show(s.popup, 0);
}

}  // namespace

// Public -----------------------------------------------------------------------------------------

int options_run() {
    if (window_has_modal()) return 0;
    OptionsWindow& s = g_options;
    if (s.window < 0) build();
    for (int c = 0; c < CHOICES; c++)
        options_list_files(LIST_FOLDER, c == CHOICE_LANGUAGE ? "ini" : "html", &s.choices[c].list);
    options_read(&s.settings);
    show_settings();
    // Without the plug-in the box stays as it was stored, greyed.
    button_enable(s.tick, io_ff_detect());
    s.open = -1;
    window_show(s.popup, 0);
    window_show(s.window, 1);
    const int result = window_focus_modal(s.window, nullptr);
    close_list();
    window_show(s.window, 0);
    return result;
}

int options_run_first() {
    OptionsWindow& s = g_options;
    if (s.backdrop < 0) s.backdrop = window_register(-1, TW_SCREEN, 0, 0, 0, 0, backdrop_handler, nullptr);
    ge_set_room_title(CAPTION);
    window_focus(s.backdrop);
    window_redraw(s.backdrop);
    return options_run();
}

void options_apply() {
    ge_background_build();
    screen_invalidate_all();
    OptionsSettings s;
    options_read(&s);
    if (s.feedback && io_ff_detect()) io_ff_load();
    io_ff_switch(s.feedback);
}
