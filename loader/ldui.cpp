// loader/ldui.cpp -- the extractor's dialog: a small window of its own, drawn entirely with the
// game's toolkit (skin, window manager, buttons, text view, message box, progress window), holding
// the text view, the four buttons, an etched line and the copyright line. It drives the
// extractor's work (ldcore.h) and runs on the shared loop and script harness (platform/loop.h,
// platform/script.h), with hooks of its own.
//
// Sections: layout and state -- the dialog and its buttons -- events and frames -- start and end
// (ld_ui_run).
#include <SDL.h>

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
#include "gui/textview.h"
#include "gui/window.h"
#include "image/img.h"
#include "loader/ldcore.h"
#include "loader/ldpack.h"
#include "platform/io_debug.h"
#include "platform/io_mem.h"
#include "platform/io_video.h"
#include "platform/loop.h"
#include "platform/screen.h"
#include "platform/script.h"
#include "platform/sys.h"
#include "resources/cache.h"
#include "resources/dp.h"

// Layout and state ------------------------------------------------------------------------------

namespace {

// The dialog in frame pixels: its design measures in dialog units, 1.6 pixels across and 1.68
// down, so the whole of 300 x 143 units becomes 480 x 240.
constexpr int DIALOG_W = 480, DIALOG_H = 240;
constexpr int AREA_X = 11, AREA_Y = 12, AREA_W = 347, AREA_H = 180;  // the text view
constexpr int BUTTON_X = 369, BUTTON_W = 100, BUTTON_H = 24;         // wide enough for the game's button font
constexpr int BUTTON_Y[4] = {12, 44, 76, 108};
constexpr int LINE_X = 11, LINE_Y = 203, LINE_W = 458;  // the etched line
constexpr int COPYRIGHT_Y = 213;

constexpr int ELEMENT_PANEL = 32;     // the skin's panel tile over the whole dialog
constexpr int KEY_ALT_BIT = 0x20000;  // beside KEY_CTRL: a key pressed with Alt (the buttons' letters)
constexpr int PERIOD_MS = FRAME_PERIOD_MS;
// Skin colours of the etched line: the bevels' dark corner and white.
constexpr int SKIN_BEVEL_DARK = 0, SKIN_BEVEL_WHITE = 7;

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
    int area;                     // the text view's window
    int buttons[BUTTON_COUNT];    // their windows
    int mnemonics[BUTTON_COUNT];  // the byte offset of each button's letter in its shown text
    char labels[BUTTON_COUNT][16];
    int focus;  // the button Enter and Space press, drawn with a ring
    int phase;
    // The loop.
    int closing;  // a close was asked for: Cancel, Run, the window, a signal, the script
    int ticks;    // ticks raised since the dialog opened
    int blocks;   // blocks the progress bar shows
};
Ui g_ui;

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
    ge_set_pen(PEN_SOLID, ge_colour(colour));
    ge_line(sx + x + from, sy + base, sx + x + to - 2, sy + base);
    if (i == g_ui.focus && enabled) {
        ge_set_pen(PEN_SOLID, ge_colour(GE_ROOM_TITLE_BAR));
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

void append_line(const char* text) { textview_append(g_ui.area, text); }

void show_about() {
    char text[1024];
    std::snprintf(text, sizeof text, ABOUT_TEXT, GAME_VERSION / 100, GAME_VERSION % 100);
    msgbox_show(text, MSG_OK | MSG_CENTRED);
}

// Unpack: the boxes go to the game (installed first when missing). The window does not react
// while the installer runs, so it is drawn once first, with the wait cursor and no button to
// press.
void deliver() {
    set_phase(PHASE_UNPACKING);
    sys_set_cursor(CURSOR_WAIT);
    paint_now();
    ld_deliver(g_ui.gift, append_line);
    sys_set_cursor(CURSOR_ARROW);
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
    ge_set_pen(PEN_SOLID, ge_colour(SKIN_BEVEL_DARK));
    ge_line(LINE_X, LINE_Y, LINE_X + LINE_W - 1, LINE_Y);
    ge_set_pen(PEN_SOLID, ge_colour(SKIN_BEVEL_WHITE));
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
            textview_wheel(g_ui.area, (int)event->c);
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
                textview_key(g_ui.area, key);
            return 1;
        }
        default:
            return 0;
    }
}

void dialog_create() {
    g_ui.dialog = window_register(-1, TW_SCREEN, 0, 0, 0, 0, dialog_handler, nullptr);
    g_ui.area = textview_create(g_ui.dialog, AREA_X, AREA_Y, AREA_W, AREA_H);
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

// Every SDL event, real or scripted, is offered here first: Alt with a letter presses a button.
int take_alt_letter(const SDL_Event& e) {
    if (e.type != SDL_KEYDOWN || !(e.key.keysym.mod & KMOD_ALT)) return 0;
    const int key = sys_translate_key(e.key.keysym.sym);
    if (key < 'A' || key > 'Z') return 0;
    send_event(KE_KEYDOWN, key | KEY_ALT_BIT, 0, 0);
    return 1;
}

// The extractor's hooks of the shared loop: every waiting message each pass, a tick when one is
// due, a frame every pass.
int frame_period() { return PERIOD_MS; }
int script_tick() { return g_ui.ticks; }

int pump_all() {
    while (sys_pump_one()) {
    }
    return 0;
}

void step(uint32_t now) {
    if (loop_behind(now, PERIOD_MS) >= 1) {
        loop_tick_raised();
        g_ui.ticks++;
        send_event(KE_TICK, (intptr_t)g_ui.ticks * PERIOD_MS, 0, 0);
    }
    send_event(KE_IDLE, 0, 0, 0);
}

int closing() { return g_ui.closing; }
void close_dialog() { g_ui.closing = 1; }

constexpr LoopHooks DIALOG_LOOP = {frame_period, script_tick, pump_all, step,
                                   nullptr,      closing,     closing,  nullptr};

// The progress window's refresh: one pass without waiting, so the waiting messages run too.
void refresh_now() { loop_pass(0); }

void paint_now() { send_event(KE_IDLE, 0, 0, 0); }

// Each record lets the waiting messages run; the window is drawn again when the bar grows.
void on_progress(int done, int count) {
    const int blocks = progress_blocks(done, count);
    if (blocks == g_ui.blocks && done < count) {
        pump_all();
        return;
    }
    g_ui.blocks = blocks;
    progress_open(count);
    progress_set(PREPARING, done);
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
    sys_set_event_taker(take_alt_letter);
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
    io_dialog_set_runner(loop_run_nested);
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
        msgbox_show(ld_unpack_message(result), MSG_OK | MSG_CENTRED);
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
        char error[512];
        if (!script_load(ld_options.script, error, sizeof error)) {
            std::fprintf(stderr, "%s\n", error);
            return 2;
        }
    }
    io_fatal_set_sink(fatal_sink);
    int code = 1;
    if (start_toolkit()) {
        // Ticks count from the dialog's opening; headless, the script's end closes it.
        loop_set_hooks(DIALOG_LOOP);
        loop_restart_clock(sys_millis());
        script_set_close(close_dialog, sys_headless());
        code = unpack() ? 0 : 1;
        if (code == 0) loop_run();
    }
    ld_remove_work(gift);
    stop_toolkit();
    script_free();
    io_fatal_set_sink(nullptr);
    return code;
}