// kernel/events.cpp -- the main loop, the idle step, kernel events and their dispatcher, and
// the translation of platform messages into kernel events.
//
// Road of an event: SDL (or the script) -> sys_dispatch_sdl_event -> PlatformMessage ->
// kernel_translate -> kernel_event -> dispatcher -> window manager / store room / corner.
// Road of a frame: KE_IDLE opens a frame, windows draw into the dirty cells, the dispatcher
// flushes the grid into presentation rectangles, closing the frame presents them.
#include "kernel/events.h"

#include <algorithm>

#include "kernel/app_config.h"
#include "kernel/kernel.h"
#include "kernel/resize.h"
#include "platform/io_debug.h"
#include "platform/io_video.h"
#include "platform/loop.h"
#include "platform/screen.h"
#include "platform/script.h"
#include "platform/sys.h"

namespace {

struct Dispatch {
    KernelHandler window_manager;  // everything but paint and text
    KernelHandler text;            // texts sent by other programs (words 0 and 1)
    KernelHandler corner;          // what no window consumed (minimise corner)
};
Dispatch g_dispatch;

struct Input {
    int mouse_x, mouse_y;  // clamped to the frame buffer
    int buttons;           // bit 1 left, 2 right, 4 Ctrl of the last button event
    int left_mark;         // a left press was seen and no release yet
    int right_mark;
};
Input g_input;

struct Loop {
    int quit_request;    // lives for one event
    int close_posted;    // the main window is to close after the current event
    int closing;         // the close sequence runs
    int ticks;           // ticks raised since the kernel became ready
    void (*deferred)();  // runs once in the outermost loop, outside any modal
};
Loop g_loop;

KernelClock g_clock;

void dispatch(KernelEvent* e) {
    if (e->type == KE_PAINT) {
        const Rect* r = (const Rect*)e->a;
        screen_invalidate(r->x, r->y, r->w, r->h);
        return;
    }
    if (e->type == KE_TEXT) {
        io_log("kernel: text %i from another program: %s\n", (int)e->a, (const char*)e->b);
        if ((e->a == TEXT_WORD_BOX_NAME || e->a == TEXT_WORD_BOX_FILE) && g_dispatch.text) g_dispatch.text(e);
        return;
    }
    // The minimise corner lies over every room: a press on it is its own, before the room's
    // window under it takes it.
    if (e->type == KE_MOUSEDOWN && g_dispatch.corner && g_dispatch.corner(e)) return;
    int consumed = g_dispatch.window_manager ? g_dispatch.window_manager(e) : 0;
    if (!consumed && g_dispatch.corner && e->type != KE_MOUSEDOWN) g_dispatch.corner(e);
    if (e->type == KE_IDLE) screen_flush();
}

int clamp_coordinate(int v, int size) {
    unsigned u = (uint16_t)v;
    return (int)u > size - 1 ? std::max(size - 1, 0) : (int)u;
}

void store_position(const PlatformMessage& m) {
    g_input.mouse_x = clamp_coordinate(m.x, screen.width);
    g_input.mouse_y = clamp_coordinate(m.y, screen.height);
    g_input.buttons = m.held & (MOUSE_LEFT | MOUSE_RIGHT | MOUSE_CTRL);
}

int ctrl_bit(const PlatformMessage& m) { return m.held & MOUSE_CTRL; }

void display_changed() {
    if (sys_question_box(
            app_config.title,
            "The display resolution has changed. It is recommended to restart this program.\nExit?.", 0))
        kernel_close_request();
}

}  // namespace

void kernel_set_window_manager(KernelHandler handler) { g_dispatch.window_manager = handler; }
void kernel_set_text_handler(KernelHandler handler) { g_dispatch.text = handler; }
void kernel_set_corner_handler(KernelHandler handler) { g_dispatch.corner = handler; }

void kernel_event(int type, intptr_t a, intptr_t b, intptr_t c) {
    if (!g_clock.ready) return;
    KernelEvent e = {type, a, b, c};
    if (type == KE_IDLE) io_video_begin_paint();
    g_loop.quit_request = 0;
    dispatch(&e);
    if (type == KE_IDLE) io_video_end_paint();
    if (g_loop.quit_request) g_loop.close_posted = 1;
}

KernelClock& kernel_clock() { return g_clock; }

void kernel_restart_clock(uint32_t now) { loop_restart_clock(now); }

void kernel_idle_step(uint32_t now) {
    const int period = app_config.framePeriod;
    if (period == 0) {
        g_clock.game_time = 0;
        kernel_event(KE_IDLE, 0, 0, 0);
        return;
    }
    int n = loop_behind(now, period);
    if (n >= 1) {
        loop_tick_raised();
        g_clock.game_time += period;
        if (g_clock.ready) g_loop.ticks++;
        kernel_event(KE_TICK, g_clock.game_time, 0, 0);
    }
    if (n <= 1) kernel_event(KE_IDLE, 0, 0, 0);
}

int kernel_ticks() { return g_loop.ticks; }

int kernel_mouse_x() { return g_input.mouse_x; }
int kernel_mouse_y() { return g_input.mouse_y; }
int kernel_mouse_buttons() { return g_input.buttons; }

void kernel_present_now() {
    if (screen.buf) return;  // inside a frame: it is presented when the frame closes
    io_video_begin_paint();
    KernelEvent idle = {KE_IDLE, 0, 0, 0};
    dispatch(&idle);
    io_video_end_paint();
}

void kernel_refresh_now() {
    while (sys_pump_one()) {
    }
    kernel_event(KE_IDLE, 0, 0, 0);
}

void kernel_quit_request() { g_loop.quit_request = 1; }

void kernel_reset_input() { g_input = {}; }

namespace {

// A button's press or release: the button marks and the input mask decide what the kernel sees.
void translate_button(const PlatformMessage& m, bool down) {
    const uint32_t mask = app_config.inputMask;
    store_position(m);
    int* mark = m.button == 1 ? &g_input.left_mark : m.button == 2 ? &g_input.right_mark : nullptr;
    if (!mark) return;
    *mark = down;
    const uint32_t bit =
        m.button == 1 ? (down ? INPUT_LEFT_DOWN : INPUT_LEFT_UP) : (down ? INPUT_RIGHT_DOWN : INPUT_RIGHT_UP);
    if (mask & bit)
        kernel_event(down ? KE_MOUSEDOWN : KE_MOUSEUP, g_input.mouse_x, g_input.mouse_y,
                     m.button | ctrl_bit(m));
}

// A release that happened where we could not see it (outside the window) is reported before the
// move.
void translate_move(const PlatformMessage& m) {
    const uint32_t mask = app_config.inputMask;
    int x = clamp_coordinate(m.x, screen.width), y = clamp_coordinate(m.y, screen.height);
    if ((mask & INPUT_LEFT_UP) && !(m.held & MOUSE_LEFT) && g_input.left_mark) {
        g_input.left_mark = 0;
        kernel_event(KE_MOUSEUP, x, y, 1 | ctrl_bit(m));
    }
    if ((mask & INPUT_RIGHT_UP) && !(m.held & MOUSE_RIGHT) && g_input.right_mark) {
        g_input.right_mark = 0;
        kernel_event(KE_MOUSEUP, x, y, 2 | ctrl_bit(m));
    }
    store_position(m);
    kernel_event(KE_MOUSEMOVE, g_input.mouse_x, g_input.mouse_y, 0);
}

void translate_key(const PlatformMessage& m) {
    bool down = m.kind == PM_KEY_DOWN;
    if (m.key < 0 || !(app_config.inputMask & (down ? INPUT_KEY_DOWN : INPUT_KEY_UP))) return;
    int code = m.key | ((m.held & MOUSE_CTRL) ? KEY_CTRL : 0);
    kernel_event(down ? KE_KEYDOWN : KE_KEYUP, code, 0, 0);
}

// Everything but the mouse and the keys.
void translate_window(const PlatformMessage& m) {
    switch (m.kind) {
        case PM_PAINT: {
            Rect r = {m.x, m.y, m.w, m.h};
            kernel_event(KE_IDLE, 0, 0, 0);
            kernel_event(KE_PAINT, (intptr_t)&r, 0, 0);
            kernel_event(KE_IDLE, 0, 0, 0);
            break;
        }
        case PM_ACTIVATE:
        case PM_DEACTIVATE:
            g_clock.active = m.kind == PM_ACTIVATE;
            if (g_clock.active) kernel_restart_clock(sys_millis());
            kernel_event(KE_RESETKEYS, 0, 0, 0);
            break;
        case PM_SET_TEXT:
            kernel_event(KE_TEXT, m.word, (intptr_t)m.text, 0);
            break;
        case PM_CLOSE:
            kernel_close_request();
            break;
        case PM_DISPLAY_CHANGED:
            display_changed();
            break;
        case PM_RESIZE:
            kernel_window_resized(m.w, m.h);
            break;
        default:
            break;
    }
}

}  // namespace

void kernel_translate(const PlatformMessage& m) {
    switch (m.kind) {
        case PM_BUTTON_DOWN:
        case PM_BUTTON_UP:
            translate_button(m, m.kind == PM_BUTTON_DOWN);
            break;
        case PM_MOUSE_MOVE:
            translate_move(m);
            break;
        case PM_KEY_DOWN:
        case PM_KEY_UP:
            translate_key(m);
            break;
        case PM_CHAR:
            if ((app_config.inputMask & INPUT_CHAR) && m.ch >= 32 && m.ch <= 127)
                kernel_event(KE_CHAR, m.ch, 0, 0);
            break;
        case PM_TEXT_INPUT:
            if (m.ch >= 32 && m.ch <= 255) kernel_event(KE_TEXTINPUT, m.ch, 0, 0);
            break;
        case PM_WHEEL:
            if (m.steps)
                kernel_event(KE_WHEEL, clamp_coordinate(m.x, screen.width),
                             clamp_coordinate(m.y, screen.height), m.steps);
            break;
        case PM_SYSKEY_DOWN:
            kernel_event(KE_RESETKEYS, 0, 0, 0);
            break;
        default:
            translate_window(m);
            break;
    }
}

int kernel_closing() { return g_loop.closing; }

void kernel_close_request() {
    if (g_loop.closing) return;
    if (loop_nested_depth()) {
        // Windows are not destroyed under a running modal: the modal ends first, and the
        // outermost loop then closes.
        g_loop.close_posted = 1;
        return;
    }
    g_loop.closing = 1;
    sys_minimise_window(1);
    kernel_destroy_windows();
}

// The game's hooks of the shared loop -------------------------------------------------------------

namespace {

int frame_period() { return app_config.framePeriod; }
int script_tick() { return g_loop.ticks; }

// A waiting message ends the pass; inactive, there are no ticks and no drawing until one arrives.
int pump() {
    if (sys_pump_one()) return 1;
    if (g_clock.active) return 0;
    sys_wait(100);
    return 1;
}

int stopped() { return kernel_windows_gone() || g_loop.close_posted; }
int closing() { return kernel_windows_gone() || g_loop.closing || g_loop.close_posted; }

// The posted close, then a deferred run, each between two passes of the outermost loop.
int between() {
    if (g_loop.close_posted) {
        g_loop.close_posted = 0;
        kernel_close_request();
        return 1;
    }
    if (kernel_resize_waiting()) return 1;
    if (void (*deferred)() = g_loop.deferred) {
        g_loop.deferred = nullptr;
        deferred();
        return 1;
    }
    return 0;
}

constexpr LoopHooks GAME_LOOP = {frame_period, script_tick,         pump,   kernel_idle_step, stopped,
                                 closing,      kernel_windows_gone, between};

void use_game_loop() {
    loop_set_hooks(GAME_LOOP);
    script_set_close(kernel_close_request, 0);
}

}  // namespace

int kernel_run_loop() {
    use_game_loop();
    loop_run();
    return 0;
}

int kernel_run_nested(const int* done) {
    use_game_loop();
    return loop_run_nested(done);
}

int kernel_nested_depth() { return loop_nested_depth(); }

void kernel_defer(void (*run)()) { g_loop.deferred = run; }
