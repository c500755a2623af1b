// loader/ldui.cpp -- the extractor's dialog: a small window of its own, drawn entirely with the
// game's toolkit (skin, window manager, buttons, message box, progress window), holding a text
// area with a scroll bar, the four buttons, an etched line and the copyright line. It drives the
// extractor's work (ldcore.h) and has its own small harness for scripted runs: the virtual clock,
// timed input and snapshots in the game's script format.
//
// Sections: layout and state -- the text area -- the dialog and its buttons -- events and frames
// -- the script -- start and end (ld_ui_run).
#include <SDL.h>
#include <png.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/event.h"
#include "base/str.h"
#include "base/version.h"
#include "gui/button.h"
#include "gui/font.h"
#include "gui/ge.h"
#include "gui/io_dialog.h"
#include "gui/msgbox.h"
#include "gui/window.h"
#include "image/img.h"
#include "loader/ldcore.h"
#include "loader/ldpack.h"
#include "platform/io_debug.h"
#include "platform/io_mem.h"
#include "platform/io_video.h"
#include "platform/screen.h"
#include "platform/sys.h"
#include "resources/cache.h"
#include "resources/dp.h"

// Layout and state ------------------------------------------------------------------------------

namespace {

// The dialog in frame pixels: its design measures in dialog units, 1.6 pixels across and 1.68
// down, so the whole of 300 x 143 units becomes 480 x 240.
constexpr int DIALOG_W = 480, DIALOG_H = 240;
constexpr int AREA_X = 11, AREA_Y = 12, AREA_W = 347, AREA_H = 180;  // the text area
constexpr int BUTTON_X = 369, BUTTON_W = 100, BUTTON_H = 24;         // wide enough for the game's button font
constexpr int BUTTON_Y[4] = {12, 44, 76, 108};
constexpr int LINE_X = 11, LINE_Y = 203, LINE_W = 458;  // the etched line
constexpr int COPYRIGHT_Y = 213;

constexpr int ELEMENT_PANEL = 32;     // the skin's panel tile over the whole dialog
constexpr int KEY_ALT_BIT = 0x20000;  // beside KEY_CTRL: a key pressed with Alt (the buttons' letters)
constexpr int PERIOD_MS = FRAME_PERIOD_MS;

// The buttons in the dialog's order; '&' marks the letter that presses it with Alt.
enum { BUTTON_UNPACK, BUTTON_RUN, BUTTON_ABOUT, BUTTON_CANCEL, BUTTON_COUNT };
constexpr const char* BUTTON_TEXTS[BUTTON_COUNT] = {"&Uitpakken", "&Uitvoeren", "&Over...", "&Annuleren"};

constexpr const char* PREPARING = "Voorbereiden...";
constexpr const char* COPYRIGHT = "Copyright \xA9 het Lumavex-team en Dremwick. Alle rechten voorbehouden.";
constexpr const char* ABOUT_TEXT =
    "Lumavex Gift %i.%02i\n\n"
    "Pakt de puzzels uit die u cadeau hebt gekregen en zet ze in de puzzelkast van Lumavex. "
    "Is Lumavex nog niet op deze computer, dan wordt het eerst ge\xEFnstalleerd.\n\n"
    "Lumavex en Lumavex Gift zijn gemaakt door het Lumavex-team en uitgegeven door Dremwick.";

// The phases of the dialog: which of Unpack and Run may be pressed.
enum Phase { PHASE_UNPACKING, PHASE_READY, PHASE_DELIVERED };

struct Ui {
    LdGift* gift;
    const char* self;             // the gift's own file
    int dialog;                   // the dialog's window (the room window)
    int area;                     // the text area's window
    int buttons[BUTTON_COUNT];    // their windows
    int mnemonics[BUTTON_COUNT];  // the byte offset of each button's letter in its shown text
    char labels[BUTTON_COUNT][16];
    int focus;  // the button Enter and Space press, drawn with a ring
    int phase;
    // The loop.
    int closing;          // a close was asked for: Cancel, Run, the window, a signal, the script
    int ticks;            // ticks raised since the dialog opened
    uint32_t clockStart;  // sys_millis() when the dialog opened
    int ticksDone;        // ticks raised since clockStart
    int blocks;           // blocks the progress bar shows
};
Ui g_ui;

// The text area ---------------------------------------------------------------------------------
//
// A read-only text of Windows-1252 bytes with "\r\n" line ends, drawn as text in the system font
// on white, wrapped at blanks (a word wider than the area is broken between characters), with a
// vertical scroll bar: arrows at both ends, the track that pages, the thumb that drags. The
// wheel and the keys scroll as well; whatever is appended scrolls the end into view.

constexpr int TEXT_MAX = 1 << 18;    // bytes the area keeps; what comes after is dropped
constexpr int LINE_BYTES_MAX = 400;  // a laid-out line is cut after this many bytes
constexpr int INSET = 4;             // pixels between the area's edge and its text
constexpr int BAR_W = 18;            // the scroll bar: the width of its arrow pictures
constexpr int ARROW_H = 18;
constexpr int THUMB_MIN = 14;
constexpr int PICTURE_DOWN = 18, PICTURE_UP = 20;  // skin pictures, + 1 when lit
constexpr int WHEEL_LINES = 3;
constexpr int REPEAT_DELAY = 8, REPEAT_EVERY = 2;  // ticks before an arrow or the track repeats

// Skin colours beyond the toolkit's named ones: the bevels' dark and light corners, and the
// lighter teal of the shelf's surprise boxes.
constexpr int SKIN_BEVEL_DARK = 0, SKIN_BEVEL_LIGHT = 2, SKIN_BEVEL_WHITE = 7, SKIN_TEAL_LIGHT = 26;

enum BarPart { PART_NONE, PART_UP, PART_DOWN, PART_PAGE_UP, PART_PAGE_DOWN, PART_THUMB };

struct TextLine {
    int start, end;  // bytes of the text, without the line break
};

struct TextArea {
    std::string text;
    std::vector<TextLine> lines;
    int advances[256];  // the system font's advance of every byte
    int lineHeight;
    int top;      // first line shown
    int pressed;  // the bar part held down, PART_NONE
    int grab;     // thumb dragging: the pointer's distance from the thumb's top
    int repeat;   // ticks until the held part acts again
    int lit;      // the arrow the pointer is over: PART_UP, PART_DOWN or PART_NONE
};
TextArea g_text;

int text_width() { return AREA_W - 2 * INSET - BAR_W - 1; }
int visible_lines() { return std::max(1, (AREA_H - 2 * INSET) / g_text.lineHeight); }
int max_top() { return std::max(0, (int)g_text.lines.size() - visible_lines()); }

// Lays the text out again: a line ends at a line break, at the blank where the next word would
// reach past the width, or inside a word that is wider than the width by itself.
void layout_text() {
    const std::string& t = g_text.text;
    const int* adv = g_text.advances;
    const int width = text_width(), n = (int)t.size();
    g_text.lines.clear();
    for (int at = 0;;) {
        int end = at, w = 0, lastBreak = -1;
        while (end < n && t[end] != '\n' && end - at < LINE_BYTES_MAX) {
            const int c = (unsigned char)t[end];
            if (end > at && w + adv[c] > width) break;
            w += adv[c];
            end++;
            if (c == ' ' || c == '\t') lastBreak = end;
        }
        int next = end;
        if (end < n && (t[end] == '\n' || t[end] == ' ' || t[end] == '\t'))
            next = end + 1;  // the break or the blank that did not fit goes with this line
        else if (end < n && lastBreak > at)
            end = next = lastBreak;  // the word that did not fit starts the next line
        int shown = end;
        while (shown > at && t[shown - 1] == '\r')
            shown--;
        g_text.lines.push_back({at, shown});
        if (next >= n) {
            if (n > 0 && t[n - 1] == '\n' && next == n) g_text.lines.push_back({n, n});
            return;
        }
        at = next;
    }
}

void scroll_to(int top) {
    top = std::clamp(top, 0, max_top());
    if (top == g_text.top) return;
    g_text.top = top;
    window_redraw(g_ui.area);
}

void scroll_by(int lines) { scroll_to(g_text.top + lines); }

void append_text(const char* text) {
    if (!text || !*text) return;
    const size_t room = TEXT_MAX - std::min<size_t>(TEXT_MAX, g_text.text.size());
    g_text.text.append(text, std::min(room, std::strlen(text)));
    layout_text();
    g_text.top = max_top();
    window_redraw(g_ui.area);
}

// The scroll bar's parts, in the area's own coordinates.
struct Bar {
    int x, trackTop, trackBottom;  // the track runs between the arrows
    int thumbTop, thumbHeight;     // 0 high when everything fits
};

Bar bar_layout() {
    Bar b;
    b.x = AREA_W - 1 - BAR_W;
    b.trackTop = 1 + ARROW_H;
    b.trackBottom = AREA_H - 1 - ARROW_H;
    const int track = b.trackBottom - b.trackTop, lines = (int)g_text.lines.size();
    b.thumbTop = b.trackTop;
    b.thumbHeight = 0;
    if (lines > visible_lines()) {
        b.thumbHeight = std::clamp(track * visible_lines() / lines, THUMB_MIN, track);
        b.thumbTop += (track - b.thumbHeight) * g_text.top / max_top();
    }
    return b;
}

int bar_part(int x, int y) {
    const Bar b = bar_layout();
    if (x < b.x || x >= AREA_W - 1 || y < 1 || y >= AREA_H - 1) return PART_NONE;
    if (y < b.trackTop) return PART_UP;
    if (y >= b.trackBottom) return PART_DOWN;
    if (!b.thumbHeight) return PART_NONE;
    if (y < b.thumbTop) return PART_PAGE_UP;
    return y < b.thumbTop + b.thumbHeight ? PART_THUMB : PART_PAGE_DOWN;
}

// One step of a held part: an arrow moves a line, the track a page towards the pointer.
void bar_step(int part, int pointerY) {
    const Bar b = bar_layout();
    const int page = std::max(1, visible_lines() - 1);
    if (part == PART_UP) scroll_by(-1);
    if (part == PART_DOWN) scroll_by(1);
    if (part == PART_PAGE_UP && pointerY < b.thumbTop) scroll_by(-page);
    if (part == PART_PAGE_DOWN && pointerY >= b.thumbTop + b.thumbHeight) scroll_by(page);
}

void drag_thumb(int pointerY) {
    const Bar b = bar_layout();
    const int room = b.trackBottom - b.trackTop - b.thumbHeight;
    if (room <= 0) return;
    const int at = pointerY - g_text.grab - b.trackTop;
    scroll_to((at * max_top() + room / 2) / room);
}

void draw_bar(int sx, int sy) {
    const Bar b = bar_layout();
    const int track = b.trackBottom - b.trackTop;
    ge_set_fill(ge_colour(SKIN_BEVEL_LIGHT));
    ge_fill_rect(sx + b.x, sy + b.trackTop, BAR_W, track);
    ge_set_pen(0, ge_colour(SKIN_BEVEL_DARK));
    ge_line(sx + b.x - 1, sy + 1, sx + b.x - 1, sy + AREA_H - 2);
    ge_draw_picture(PICTURE_UP + (g_text.lit == PART_UP || g_text.pressed == PART_UP), b.x, 1);
    ge_draw_picture(PICTURE_DOWN + (g_text.lit == PART_DOWN || g_text.pressed == PART_DOWN), b.x,
                    b.trackBottom);
    if (!b.thumbHeight) return;
    const int x = sx + b.x + 2, y = sy + b.thumbTop + 1, w = BAR_W - 4, h = b.thumbHeight - 2;
    ge_set_fill(ge_colour(g_text.pressed == PART_THUMB ? GE_BUTTON_TEXT_HOVER : GE_ROOM_TITLE_BAR));
    ge_fill_rect(x, y, w, h);
    ge_set_pen(0, ge_colour(SKIN_TEAL_LIGHT));
    ge_rectangle(x, y, w, h);
    if (h >= 12) {  // the grip: three short lines across the middle
        ge_set_pen(0, ge_colour(GE_TITLE_TEXT));
        for (int i = -1; i <= 1; i++)
            ge_line(x + 4, y + h / 2 + 3 * i, x + w - 5, y + h / 2 + 3 * i);
    }
}

void draw_area(int window) {
    int sx, sy;
    window_screen_pos(window, &sx, &sy);
    ge_set_fill(0xFFFFFF);
    ge_fill_rect(sx + 1, sy + 1, AREA_W - 2 - BAR_W - 1, AREA_H - 2);
    ge_bevel_box(0, 0, AREA_W, AREA_H);
    draw_bar(sx, sy);
    const ScreenRect clip = screen_clip();
    const int tx = sx + INSET, ty = sy + INSET;
    screen_set_clip(tx, sy + 1, text_width() + 1, AREA_H - 2);
    font_set_style(FONT_SYSTEM, ge_colour(GE_EDIT_TEXT), -1);
    char line[LINE_BYTES_MAX + 1];
    const int last = std::min((int)g_text.lines.size(), g_text.top + visible_lines());
    for (int i = g_text.top; i < last; i++) {
        const TextLine& l = g_text.lines[i];
        const int n = l.end - l.start;
        std::memcpy(line, g_text.text.data() + l.start, n);
        line[n] = 0;
        std::replace(line, line + n, '\t', ' ');
        font_draw(line, tx, ty + (i - g_text.top) * g_text.lineHeight);
    }
    screen_set_clip(clip.x, clip.y, clip.w, clip.h);
}

// Hover over the arrows, checked each tick like the buttons do.
void update_lit() {
    int mx, my, sx, sy;
    window_mouse(&mx, &my);
    window_screen_pos(g_ui.area, &sx, &sy);
    int part = bar_part(mx - sx, my - sy);
    if (part != PART_UP && part != PART_DOWN) part = PART_NONE;
    if (part != g_text.lit) {
        g_text.lit = part;
        window_redraw(g_ui.area);
    }
}

int area_handler(int window, KernelEvent* event) {
    switch (event->type) {
        case KE_IDLE:
            draw_area(window);
            return 0;
        case KE_TICK:
            update_lit();
            if (g_text.pressed && g_text.pressed != PART_THUMB && --g_text.repeat <= 0) {
                int mx, my, sx, sy;
                window_mouse(&mx, &my);
                window_screen_pos(window, &sx, &sy);
                bar_step(g_text.pressed, my - sy);
                g_text.repeat = REPEAT_EVERY;
            }
            return 0;
        case KE_WHEEL:
            scroll_by(-WHEEL_LINES * (int)event->c);
            return 1;
        case KE_MOUSEDOWN: {
            if (event->c & 8) return 1;  // another press while one is held
            if (!(event->c & 1)) return 1;
            const int part = bar_part((int)event->a, (int)event->b);
            if (part == PART_NONE) return 1;
            g_text.pressed = part;
            g_text.repeat = REPEAT_DELAY;
            if (part == PART_THUMB)
                g_text.grab = (int)event->b - bar_layout().thumbTop;
            else
                bar_step(part, (int)event->b);
            window_start_capture(window);
            window_redraw(window);
            return 1;
        }
        case KE_MOUSEUP:
            if (event->c & 8) window_end_capture();
            return 1;
        case WE_CAPTUREMOVE:
            if (g_text.pressed == PART_THUMB) drag_thumb(((const int*)event->c)[1]);
            return 1;
        case WE_CAPTUREEND:
            g_text.pressed = PART_NONE;
            window_redraw(window);
            return 1;
        default:
            return 0;
    }
}

// Keys that scroll the text, whichever button has the focus.
int area_key(int key) {
    const int page = std::max(1, visible_lines() - 1);
    switch (key & ~KEY_CTRL) {
        case KEY_UP:
            scroll_by(-1);
            return 1;
        case KEY_DOWN:
            scroll_by(1);
            return 1;
        case KEY_PAGEUP:
            scroll_by(-page);
            return 1;
        case KEY_PAGEDOWN:
            scroll_by(page);
            return 1;
        case KEY_HOME:
            scroll_to(0);
            return 1;
        case KEY_END:
            scroll_to(max_top());
            return 1;
        default:
            return 0;
    }
}

void area_create(int parent) {
    g_text = {};
    g_text.lineHeight = std::max(1, font_get(FONT_SYSTEM)->lineAdvance);
    for (int c = 1; c < 256; c++) {
        const char one[2] = {(char)c, 0};
        g_text.advances[c] = font_text_width(FONT_SYSTEM, one, 1);
    }
    g_text.advances['\t'] = g_text.advances[' '];  // a tab is drawn as a blank
    layout_text();
    g_ui.area = window_register(parent, TW_CHILD, AREA_X, AREA_Y, AREA_W, AREA_H, area_handler, nullptr);
}

}  // namespace

// The dialog and its buttons -------------------------------------------------------------------

namespace {

void paint_now();

void set_focus(int button) {
    if (button == g_ui.focus) return;
    if (g_ui.focus >= 0) window_redraw(g_ui.buttons[g_ui.focus]);
    g_ui.focus = button;
    if (button >= 0) window_redraw(g_ui.buttons[button]);
}

// Unpack only once the gift is unpacked and until it has been delivered, Run only after that;
// About and Cancel always. The button that became usable takes the focus.
void set_phase(int phase) {
    g_ui.phase = phase;
    button_enable(g_ui.buttons[BUTTON_UNPACK], phase == PHASE_READY);
    button_enable(g_ui.buttons[BUTTON_RUN], phase == PHASE_DELIVERED);
    if (phase == PHASE_READY) set_focus(BUTTON_UNPACK);
    if (phase == PHASE_DELIVERED) set_focus(BUTTON_RUN);
}

int button_index(int window) {
    for (int i = 0; i < BUTTON_COUNT; i++)
        if (g_ui.buttons[i] == window) return i;
    return -1;
}

// A button's content: its text with the underlined letter, in the toolkit's button colours, and
// the focus ring inside the frame.
void draw_button(int window, int width, int height) {
    const int i = button_index(window);
    if (i < 0) return;
    const int enabled = button_enabled(window);
    const int colour = !enabled                ? GE_BUTTON_TEXT_INACTIVE
                       : button_active(window) ? GE_BUTTON_TEXT_HOVER
                                               : GE_BUTTON_TEXT;
    const char* label = g_ui.labels[i];
    int w, h;
    font_set_style(FONT_MEDIUM, ge_colour(colour), ge_colour(GE_BUTTON_TEXT_SHADOW));
    font_measure(label, &w, &h);
    const int x = (width - w) / 2, y = (height - h) / 2;
    window_draw_text(window, label, x, y);
    int sx, sy;
    window_screen_pos(window, &sx, &sy);
    const int from = font_text_width(FONT_MEDIUM, label, g_ui.mnemonics[i]);
    const int to = font_text_width(FONT_MEDIUM, label, g_ui.mnemonics[i] + 1);
    const int base = y + font_get(FONT_MEDIUM)->height - 1;
    ge_set_pen(0, ge_colour(colour));
    ge_line(sx + x + from, sy + base, sx + x + to - 2, sy + base);
    if (i == g_ui.focus && enabled) {
        ge_set_pen(0, ge_colour(GE_ROOM_TITLE_BAR));
        ge_rectangle(sx + 3, sy + 3, width - 6, height - 6);
    }
}

void make_buttons(int parent) {
    for (int i = 0; i < BUTTON_COUNT; i++) {
        const char* text = BUTTON_TEXTS[i];
        const char* amp = std::strchr(text, '&');
        const int at = amp ? (int)(amp - text) : 0;
        char* label = g_ui.labels[i];
        std::snprintf(label, sizeof g_ui.labels[i], "%.*s%s", at, text, amp ? amp + 1 : text + at);
        g_ui.mnemonics[i] = at;
        const int key = std::toupper((unsigned char)label[at]) | KEY_ALT_BIT;
        g_ui.buttons[i] = button_register_drawn(parent, BS_PUSH | BS_NOTIFY | BS_FRAME, BUTTON_X, BUTTON_Y[i],
                                                BUTTON_W, BUTTON_H, draw_button, 0, key);
    }
}

void append_line(const char* text) { append_text(text); }

void show_about() {
    char text[1024];
    std::snprintf(text, sizeof text, ABOUT_TEXT, GAME_VERSION / 100, GAME_VERSION % 100);
    msgbox_show(text, 1 | 16);
}

// Unpack: the boxes go to the game (installed first when missing). The window does not react
// while the installer runs, so it is drawn once first, with the wait cursor and no button to
// press.
void deliver() {
    set_phase(PHASE_UNPACKING);
    sys_set_cursor(1);
    paint_now();
    ld_deliver(g_ui.gift, append_line);
    sys_set_cursor(0);
    set_phase(PHASE_DELIVERED);
}

// Run: starts the game and closes. A headless run never starts it: it says what it would start.
void run_game() {
    if (ld_options.sys.headless) {
        const std::string command = ld_game_command(g_ui.gift);
        if (!command.empty()) std::printf("%s\n", command.c_str());
    } else {
        ld_start_game(g_ui.gift);
    }
    g_ui.closing = 1;
}

// A press leaves the focus where it is, so Enter keeps offering the next step.
void press(int button) {
    if (button < 0 || !button_enabled(g_ui.buttons[button])) return;
    switch (button) {
        case BUTTON_UNPACK:
            deliver();
            break;
        case BUTTON_RUN:
            run_game();
            break;
        case BUTTON_ABOUT:
            show_about();
            break;
        default:
            g_ui.closing = 1;
            break;
    }
}

// Tab and Shift+Tab walk the focus over the buttons that can be pressed.
void move_focus(int step) {
    for (int k = 1; k <= BUTTON_COUNT; k++) {
        const int b = ((g_ui.focus < 0 ? 0 : g_ui.focus) + step * k + BUTTON_COUNT * k) % BUTTON_COUNT;
        if (button_enabled(g_ui.buttons[b])) {
            set_focus(b);
            return;
        }
    }
}

void draw_dialog() {
    ge_draw_element(ELEMENT_PANEL, 0, 0, DIALOG_W, DIALOG_H);
    ge_set_pen(0, ge_colour(SKIN_BEVEL_DARK));
    ge_line(LINE_X, LINE_Y, LINE_X + LINE_W - 1, LINE_Y);
    ge_set_pen(0, ge_colour(SKIN_BEVEL_WHITE));
    ge_line(LINE_X, LINE_Y + 1, LINE_X + LINE_W - 1, LINE_Y + 1);
    font_set_style(FONT_SYSTEM, ge_colour(GE_MSGBOX_TEXT), -1);
    font_draw(COPYRIGHT, LINE_X, COPYRIGHT_Y);
}

int dialog_handler(int, KernelEvent* event) {
    switch (event->type) {
        case KE_IDLE:
            draw_dialog();
            return 0;
        case WE_BUTTON:
            press(button_index((int)event->a));
            return 1;
        case KE_WHEEL:  // anywhere in the dialog: the text is all there is to scroll
            scroll_by(-WHEEL_LINES * (int)event->c);
            return 1;
        case KE_KEYDOWN: {
            const int key = (int)event->a;
            if (g_ui.phase == PHASE_UNPACKING) return 1;
            if (key == KEY_ENTER || key == KEY_SPACE)
                press(g_ui.focus);
            else if (key == KEY_ESCAPE)
                press(BUTTON_CANCEL);
            else if (key == KEY_TAB)
                move_focus(sys_shift_held() ? -1 : 1);
            else
                area_key(key);
            return 1;
        }
        default:
            return 0;
    }
}

void dialog_create() {
    g_ui.dialog = window_register(-1, TW_SCREEN, 0, 0, 0, 0, dialog_handler, nullptr);
    area_create(g_ui.dialog);
    make_buttons(g_ui.dialog);
    g_ui.focus = -1;
    set_phase(PHASE_UNPACKING);
    window_focus(g_ui.dialog);
}

}  // namespace

// Events and frames ----------------------------------------------------------------------------
//
// Input takes the road of the game: SDL event (or a script line made into one) -> platform
// message -> kernel event -> window manager. Alt with a letter is taken before the platform,
// which reports Alt combinations without their key, and becomes the letter + KEY_ALT_BIT.

namespace {

void script_before_tick(int tick);
void script_after_tick(int tick);

void send_event(int type, intptr_t a, intptr_t b, intptr_t c) {
    KernelEvent e = {type, a, b, c};
    if (type == KE_IDLE) io_video_begin_paint();
    window_dispatch(&e);
    if (type == KE_IDLE) {
        screen_flush();
        io_video_end_paint();
    }
}

int clamp_x(int x) { return std::clamp(x, 0, screen.width - 1); }
int clamp_y(int y) { return std::clamp(y, 0, screen.height - 1); }

void on_platform_message(const PlatformMessage& m) {
    const int ctrl = (m.held & 4) ? 4 : 0;
    switch (m.kind) {
        case PM_PAINT:
            screen_invalidate_all();
            break;
        case PM_BUTTON_DOWN:
        case PM_BUTTON_UP:
            if (m.button != 1 && m.button != 2) break;
            send_event(m.kind == PM_BUTTON_DOWN ? KE_MOUSEDOWN : KE_MOUSEUP, clamp_x(m.x), clamp_y(m.y),
                       m.button | ctrl);
            break;
        case PM_MOUSE_MOVE:
            send_event(KE_MOUSEMOVE, clamp_x(m.x), clamp_y(m.y), 0);
            break;
        case PM_KEY_DOWN:
        case PM_KEY_UP:
            if (m.key >= 0)
                send_event(m.kind == PM_KEY_DOWN ? KE_KEYDOWN : KE_KEYUP, m.key | (ctrl ? KEY_CTRL : 0), 0,
                           0);
            break;
        case PM_WHEEL:
            send_event(KE_WHEEL, clamp_x(m.x), clamp_y(m.y), m.steps);
            break;
        case PM_SYSKEY_DOWN:
        case PM_ACTIVATE:
        case PM_DEACTIVATE:
            send_event(KE_RESETKEYS, 0, 0, 0);
            break;
        case PM_CLOSE:  // the window's close button, SIGTERM, SIGINT
            g_ui.closing = 1;
            break;
        default:
            break;
    }
}

void feed(const SDL_Event& e) {
    if (e.type == SDL_KEYDOWN && (e.key.keysym.mod & KMOD_ALT)) {
        const int key = sys_translate_key(e.key.keysym.sym);
        if (key >= 'A' && key <= 'Z') {
            send_event(KE_KEYDOWN, key | KEY_ALT_BIT, 0, 0);
            return;
        }
    }
    sys_dispatch_sdl_event(e);
}

int pump_one() {
    SDL_Event e;
    if (!SDL_PollEvent(&e)) return 0;
    feed(e);
    return 1;
}

int tick_due(uint32_t now) { return (int)((now - g_ui.clockStart) / PERIOD_MS) > g_ui.ticksDone; }

// One pass: the waiting messages, then the tick that is due with the script's input before it
// and its snapshots after the frame. Headless, the clock moves one period a pass; otherwise a
// pass with nothing due sleeps until the next period, unless `nowait` (progress while unpacking).
void run_pass(int nowait) {
    while (pump_one()) {
    }
    if (sys_headless() && !tick_due(sys_millis())) sys_advance_virtual_clock(PERIOD_MS);
    const uint32_t now = sys_millis();
    const int due = tick_due(now), tick = g_ui.ticks;
    if (due) {
        script_before_tick(tick);
        g_ui.ticksDone++;
        g_ui.ticks++;
        send_event(KE_TICK, (intptr_t)g_ui.ticks * PERIOD_MS, 0, 0);
    }
    send_event(KE_IDLE, 0, 0, 0);
    if (due) script_after_tick(tick);
    if (!due && !nowait && !sys_headless()) {
        const uint32_t next = g_ui.clockStart + (uint32_t)(g_ui.ticksDone + 1) * PERIOD_MS;
        const uint32_t wait = next - sys_millis();
        if ((int32_t)wait > 0) sys_wait(wait);
    }
}

// The message box's loop: runs passes until it is answered or the dialog is to close.
int run_nested(const int* done) {
    while (!*done) {
        if (g_ui.closing) return 0;
        run_pass(0);
    }
    return 1;
}

// The progress window's refresh: one pass without waiting, so the waiting messages run too.
void refresh_now() { run_pass(1); }

void paint_now() { send_event(KE_IDLE, 0, 0, 0); }

// Each record lets the waiting messages run; the window is drawn again when the bar grows.
void on_progress(int done, int count) {
    const int blocks = progress_blocks(done, count);
    if (blocks == g_ui.blocks && done < count) {
        while (pump_one()) {
        }
        return;
    }
    g_ui.blocks = blocks;
    progress_open(count);
    progress_set(PREPARING, done);
}

}  // namespace

// The script -----------------------------------------------------------------------------------
//
// The game's script lines: "TICK COMMAND ARGS", TICK a tick counted from the dialog's opening or
// +N after the previous line, '#' to the end of a line a comment. Commands: move X Y; press,
// release, click X Y left|right; drag X0 Y0 X1 Y1 TICKS; keydown, keyup, key KEY; wheel X Y
// STEPS; snap PATH; quit. Keys and clicks may end in the modifiers ctrl, shift and alt. A
// headless run closes once the last line has run.

namespace {

enum ScriptKind { SC_MOVE, SC_PRESS, SC_RELEASE, SC_KEYDOWN, SC_KEYUP, SC_WHEEL, SC_SNAP, SC_QUIT };

struct ScriptLine {
    int tick, kind;
    int x, y, button, key, steps;
    int ctrl, shift, alt;
    std::string path;
};

struct Script {
    std::vector<ScriptLine> lines;  // in tick order
    size_t input;                   // first line whose input has not been sent
    size_t next;                    // first line not finished
    int buttons;                    // SDL button mask held by scripted presses
    int lastTick;
};
Script g_script;

struct KeyName {
    const char* name;
    int key;
};
constexpr KeyName KEY_NAMES[] = {
    {"left", SDLK_LEFT},           {"right", SDLK_RIGHT},       {"up", SDLK_UP},     {"down", SDLK_DOWN},
    {"pageup", SDLK_PAGEUP},       {"pagedown", SDLK_PAGEDOWN}, {"home", SDLK_HOME}, {"end", SDLK_END},
    {"escape", SDLK_ESCAPE},       {"enter", SDLK_RETURN},      {"tab", SDLK_TAB},   {"space", SDLK_SPACE},
    {"backspace", SDLK_BACKSPACE}, {"delete", SDLK_DELETE}};

int key_of(const std::string& name) {
    if (name.size() == 1 && std::isalpha((unsigned char)name[0])) return SDLK_a + std::tolower(name[0]) - 'a';
    if (name.size() == 1 && std::isdigit((unsigned char)name[0])) return SDLK_0 + name[0] - '0';
    for (const KeyName& k : KEY_NAMES)
        if (name == k.name) return k.key;
    return 0;
}

bool number(const std::string& s, int* out) {
    char* end;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (s.empty() || *end || v < -100000 || v > 100000000) return false;
    *out = (int)v;
    return true;
}

// Trailing modifier words, each at most once; false when the words left are not `count`.
bool modifiers(std::vector<std::string>& words, size_t count, ScriptLine* l) {
    while (words.size() > count) {
        const std::string& w = words.back();
        int* flag = w == "ctrl" ? &l->ctrl : w == "shift" ? &l->shift : w == "alt" ? &l->alt : nullptr;
        if (!flag || *flag) return false;
        *flag = 1;
        words.pop_back();
    }
    return words.size() == count;
}

// One line's command (the words after the tick) into lines; an error text, or "" when it fits.
std::string parse_command(ScriptLine l, std::vector<std::string> w, std::vector<ScriptLine>* out) {
    const std::string verb = w[0];
    w.erase(w.begin());
    if (verb == "move" || verb == "press" || verb == "release" || verb == "click") {
        const size_t want = verb == "move" ? 2 : 3;
        if (!modifiers(w, want, &l) || !number(w[0], &l.x) || !number(w[1], &l.y))
            return "expected " + verb + (want == 2 ? " X Y" : " X Y BUTTON");
        l.kind = verb == "move" ? SC_MOVE : verb == "release" ? SC_RELEASE : SC_PRESS;
        if (want == 3) {
            l.button = w[2] == "left" ? SDL_BUTTON_LEFT : w[2] == "right" ? SDL_BUTTON_RIGHT : 0;
            if (!l.button) return "the button must be left or right";
        }
        out->push_back(l);
        if (verb == "click") {
            l.kind = SC_RELEASE;
            l.tick++;
            out->push_back(l);
        }
        return "";
    }
    if (verb == "drag") {
        int x1, y1, ticks;
        if (w.size() != 5 || !number(w[0], &l.x) || !number(w[1], &l.y) || !number(w[2], &x1) ||
            !number(w[3], &y1) || !number(w[4], &ticks) || ticks < 1 || ticks > 10000)
            return "expected drag X0 Y0 X1 Y1 TICKS";
        const int x0 = l.x, y0 = l.y, tick = l.tick;
        l.button = SDL_BUTTON_LEFT;
        l.kind = SC_PRESS;
        out->push_back(l);
        l.kind = SC_MOVE;
        for (int k = 1; k <= ticks; k++) {
            l.tick = tick + k;
            l.x = x0 + (x1 - x0) * k / ticks;
            l.y = y0 + (y1 - y0) * k / ticks;
            out->push_back(l);
        }
        l.kind = SC_RELEASE;
        out->push_back(l);
        return "";
    }
    if (verb == "key" || verb == "keydown" || verb == "keyup") {
        if (!modifiers(w, 1, &l)) return "expected " + verb + " KEY";
        if (!(l.key = key_of(w[0]))) return "unknown key " + w[0];
        l.kind = verb == "keyup" ? SC_KEYUP : SC_KEYDOWN;
        out->push_back(l);
        if (verb == "key") {
            l.kind = SC_KEYUP;
            l.tick++;
            out->push_back(l);
        }
        return "";
    }
    if (verb == "wheel") {
        if (w.size() != 3 || !number(w[0], &l.x) || !number(w[1], &l.y) || !number(w[2], &l.steps) ||
            !l.steps)
            return "expected wheel X Y STEPS";
        l.kind = SC_MOVE;  // the pointer goes there first
        out->push_back(l);
        l.kind = SC_WHEEL;
        out->push_back(l);
        return "";
    }
    if (verb == "snap" && w.size() == 1) {
        l.kind = SC_SNAP;
        l.path = w[0];
        out->push_back(l);
        return "";
    }
    if (verb == "quit" && w.empty()) {
        l.kind = SC_QUIT;
        out->push_back(l);
        return "";
    }
    return "unknown command " + verb;
}

// Reads the whole script; false with the line named in error when one is malformed.
bool script_load(const char* path, std::string* error) {
    FILE* f = std::fopen(path, "rb");
    if (!f) {
        *error = std::string("script: cannot read ") + path;
        return false;
    }
    std::vector<ScriptLine> lines;
    char buffer[4096];
    int number_of_line = 0, tick = 0;
    while (std::fgets(buffer, sizeof buffer, f)) {
        number_of_line++;
        std::string text = buffer;
        text = text.substr(0, text.find('#'));
        std::vector<std::string> words;
        for (size_t i = 0; i < text.size();) {
            while (i < text.size() && std::isspace((unsigned char)text[i]))
                i++;
            const size_t start = i;
            while (i < text.size() && !std::isspace((unsigned char)text[i]))
                i++;
            if (i > start) words.push_back(text.substr(start, i - start));
        }
        if (words.empty()) continue;
        int t = 0;
        std::string problem;
        if (!number(words[0].substr(words[0][0] == '+'), &t) || t < 0)
            problem = "a line begins with its tick";
        else if (words.size() < 2)
            problem = "a command is missing";
        tick = words[0][0] == '+' ? tick + t : t;
        ScriptLine l = {};
        l.tick = tick;
        if (problem.empty())
            problem = parse_command(l, std::vector<std::string>(words.begin() + 1, words.end()), &lines);
        if (!problem.empty()) {
            std::fclose(f);
            *error = "script: line " + std::to_string(number_of_line) + ": " + problem;
            return false;
        }
    }
    std::fclose(f);
    std::stable_sort(lines.begin(), lines.end(),
                     [](const ScriptLine& a, const ScriptLine& b) { return a.tick < b.tick; });
    g_script = {};
    g_script.lines = std::move(lines);
    g_script.lastTick = g_script.lines.empty() ? 0 : g_script.lines.back().tick;
    return true;
}

void send_sdl(const ScriptLine& l, SDL_Event& e) {
    sys_force_ctrl(l.ctrl);
    sys_force_shift(l.shift);
    feed(e);
    sys_force_ctrl(-1);
    sys_force_shift(-1);
}

void script_input(const ScriptLine& l) {
    SDL_Event e = {};
    const int s = sys_scale();
    switch (l.kind) {
        case SC_MOVE:
            e.type = SDL_MOUSEMOTION;
            e.motion.x = l.x * s;
            e.motion.y = l.y * s;
            e.motion.state = g_script.buttons;
            break;
        case SC_PRESS:
        case SC_RELEASE:
            if (l.kind == SC_PRESS)
                g_script.buttons |= SDL_BUTTON(l.button);
            else
                g_script.buttons &= ~SDL_BUTTON(l.button);
            e.type = l.kind == SC_PRESS ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
            e.button.button = (uint8_t)l.button;
            e.button.x = l.x * s;
            e.button.y = l.y * s;
            e.button.state = l.kind == SC_PRESS ? SDL_PRESSED : SDL_RELEASED;
            e.button.clicks = 1;
            break;
        case SC_KEYDOWN:
        case SC_KEYUP:
            e.type = l.kind == SC_KEYDOWN ? SDL_KEYDOWN : SDL_KEYUP;
            e.key.keysym.sym = l.key;
            e.key.keysym.mod =
                (l.ctrl ? KMOD_LCTRL : 0) | (l.shift ? KMOD_LSHIFT : 0) | (l.alt ? KMOD_LALT : 0);
            break;
        case SC_WHEEL:
            e.type = SDL_MOUSEWHEEL;
            e.wheel.y = l.steps;
            e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
            break;
        default:
            return;
    }
    send_sdl(l, e);
}

void script_before_tick(int tick) {
    // Marked first: a message box opened by this input runs later ticks from inside it.
    while (g_script.input < g_script.lines.size() && g_script.lines[g_script.input].tick <= tick)
        script_input(g_script.lines[g_script.input++]);
}

// The frame buffer as a PNG, right way up.
bool write_png(const char* path) {
    const uint8_t* top = screen_top_row();
    FILE* f = top ? std::fopen(path, "wb") : nullptr;
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        std::remove(path);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, screen.width, screen.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_bgr(png);  // the frame buffer holds blue, green, red
    png_write_info(png, info);
    const int stride = ((screen.bits * screen.width + 31) / 8) & ~3;
    for (int y = 0; y < screen.height; y++)
        png_write_row(png, (png_const_bytep)(top - (ptrdiff_t)y * stride));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}

void script_after_tick(int tick) {
    while (g_script.next < g_script.input && g_script.lines[g_script.next].tick <= tick) {
        const ScriptLine& l = g_script.lines[g_script.next++];
        if (l.kind == SC_SNAP && !write_png(l.path.c_str()))
            std::fprintf(stderr, "script: cannot write %s\n", l.path.c_str());
        if (l.kind == SC_QUIT) g_ui.closing = 1;
    }
    if (sys_headless() && g_script.next == g_script.lines.size() && tick >= g_script.lastTick)
        g_ui.closing = 1;
}

}  // namespace

// Start and end --------------------------------------------------------------------------------

namespace {

// An internal error (the toolkit's fatal path) still removes the work folder.
[[noreturn]] void fatal_sink(const char* message) {
    std::fprintf(stderr, "%s", message);
    sys_message_box(SYS_BOX_STOP, LD_TITLE, message);
    if (g_ui.gift) ld_remove_work(g_ui.gift);
    std::exit(1);
}

void set_window_title(const std::string& title) {
    char utf8[1024];
    str_cp1252_to_utf8(title.c_str(), utf8, sizeof utf8);
    if (sys_window()) SDL_SetWindowTitle(sys_window(), utf8);
}

// The window icon from the carried pack: 0xAARRGGBB from the 24-bit picture with its alpha.
void set_window_icon() {
    const int index = dp_get_index("img/icon.img", 0);
    Image* icon = index >= 0 ? (Image*)dp_load(index) : nullptr;
    if (icon && icon->magic == IMG_MAGIC && icon->kind == (IMG_24BIT | IMG_ALPHA) && icon->width > 0 &&
        icon->width <= 256 && icon->height > 0 && icon->height <= 256) {
        std::vector<uint32_t> argb((size_t)icon->width * icon->height);
        ImageView v;
        img_view(&v, icon, 0, 0);
        for (int y = 0; y < icon->height; y++)
            for (int x = 0; x < icon->width; x++) {
                const uint8_t* c = v.pixels + y * v.pitch + x * 3;
                const uint32_t a = v.alpha[y * v.alphaPitch + x];
                auto un = [a](uint32_t ch) {
                    return a ? std::min<uint32_t>(255, (ch * 255 + a / 2) / a) : 0;
                };
                argb[(size_t)y * icon->width + x] = a << 24 | un(c[2]) << 16 | un(c[1]) << 8 | un(c[0]);
            }
        sys_set_window_icon(argb.data(), icon->width, icon->height);
    }
    io_mem_free(icon);
}

// The platform, the frame and the toolkit, with the carried resources. 0 when the window or
// the resources could not be had.
int start_toolkit() {
    SysOptions sys = ld_options.sys;  // the dialog keeps its own size whatever --window asks
    sys.window_w = DIALOG_W;
    sys.window_h = DIALOG_H;
    if (!sys_init(sys)) return 0;
    sys_set_message_handler(on_platform_message);
    int w, h;
    if (!sys_create_window(LD_TITLE, &w, &h)) return 0;
    io_video_select(1);
    io_video_create_frame(w, h, 24);
    char skin[64];
    if (!ldpack_open(skin, sizeof skin)) {
        std::fprintf(stderr, "%s: the dialog's resources cannot be unpacked\n", LD_TITLE);
        return 0;
    }
    cache_init();
    img_shadow_table_init();
    screen_grid_create();
    ge_init(skin);
    ldpack_close();
    set_window_icon();
    window_prepare_shadows();
    window_init();
    font_init(0);
    button_set_style(FONT_MEDIUM, ge_colour(GE_BUTTON_TEXT), ge_colour(GE_BUTTON_TEXT_INACTIVE),
                     ge_colour(GE_BUTTON_TEXT_HOVER), ge_colour(GE_BUTTON_TEXT_SHADOW));
    window_set_title_style(FONT_SMALL, ge_colour(GE_TITLE_TEXT), ge_colour(GE_TITLE_TEXT_SHADOW));
    io_dialog_set_runner(run_nested);
    progress_set_refresh(refresh_now);
    msgbox_create(LD_TITLE);
    progress_create(LD_TITLE);
    dialog_create();
    return 1;
}

void stop_toolkit() {
    window_done();
    font_done();
    ge_done();
    cache_done();
    dp_done();
    screen_grid_free();
    io_video_close();
    sys_destroy_window();
    sys_done();
}

// The dialog's start: it shows, then the gift unpacks behind the progress window; a gift that
// cannot be unpacked is told in a message box. 1 when the dialog goes on.
int unpack() {
    refresh_now();
    progress_open(1);
    progress_set(PREPARING, 0);
    const int result = ld_unpack(g_ui.gift, g_ui.self, on_progress);
    progress_close();
    if (result != LD_UNPACKED) {
        if (sys_headless()) std::fprintf(stderr, "%s\n", ld_unpack_message(result));
        msgbox_show(ld_unpack_message(result), 1 | 16);
        return 0;
    }
    set_window_title(ld_title(g_ui.gift));
    ld_show_texts(g_ui.gift, append_line);
    set_phase(PHASE_READY);
    return 1;
}

}  // namespace

int ld_ui_run(LdGift* gift, const char* self) {
    g_ui = {};
    g_ui.gift = gift;
    g_ui.self = self;
    if (ld_options.script) {
        std::string error;
        if (!script_load(ld_options.script, &error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 2;
        }
    }
    io_fatal_set_sink(fatal_sink);
    int code = 1;
    if (start_toolkit()) {
        g_ui.clockStart = sys_millis();
        code = unpack() ? 0 : 1;
        while (code == 0 && !g_ui.closing)
            run_pass(0);
    }
    ld_remove_work(gift);
    stop_toolkit();
    io_fatal_set_sink(nullptr);
    return code;
}
