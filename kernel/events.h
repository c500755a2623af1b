// kernel/events.h -- kernel events, the main loop, timing and input state.
#pragma once
#include <cstdint>

// What a, b and c mean for each type.
enum KernelEventType {
    KE_IDLE = 1,        // 0, 0, 0: draw now; raised when the loop is not behind
    KE_TICK = 2,        // game time in ms, 0, 0: one per frame period
    KE_PAINT = 3,       // address of a ScreenRect, 0, 0: the platform exposed this area
    KE_TEXT = 4,        // word (0 from the gift extractor), address of a text, 0
    KE_MOUSEDOWN = 10,  // x, y, button (1 left, 2 right) + 4 with Ctrl
    KE_MOUSEUP = 11,    // x, y, as above
    KE_MOUSEMOVE = 13,  // x, y, 0
    KE_KEYDOWN = 20,    // key code + 0x10000 with Ctrl, 0, 0
    KE_KEYUP = 21,      // as above
    KE_CHAR = 22,       // character 32..127, 0, 0 (only when character input is on)
    KE_RESETKEYS = 23,  // 0, 0, 0: drop every key-held state
};

// Key codes of KE_KEYDOWN and KE_KEYUP besides letters and digits (their ASCII codes).
inline constexpr int KEY_LEFT = 128, KEY_RIGHT = 129, KEY_UP = 130, KEY_DOWN = 131;
inline constexpr int KEY_PAGEUP = 132, KEY_PAGEDOWN = 133, KEY_BACKSPACE = 134, KEY_ESCAPE = 135;
inline constexpr int KEY_ENTER = 136, KEY_TAB = 137, KEY_DELETE = 138, KEY_SPACE = 32;
inline constexpr int KEY_PRINTSCREEN = 44, KEY_F1 = 140;  // F1..F12 are 140..151
inline constexpr int KEY_CTRL = 0x10000;

struct KernelEvent {
    int type;
    intptr_t a, b, c;
};

// Handlers return nonzero when they consumed the event.
using KernelHandler = int (*)(KernelEvent* event);

// Where the dispatcher sends events. The window manager takes everything but paint and text;
// the store room takes texts from other programs; the minimise corner gets what no window took.
void kernel_set_window_manager(KernelHandler handler);
void kernel_set_text_handler(KernelHandler handler);
void kernel_set_corner_handler(KernelHandler handler);

void kernel_event(int type, intptr_t a, intptr_t b, intptr_t c);

// Timing: the idle step raises at most one tick per pass, and an idle event unless the loop
// is two or more periods behind.
struct KernelClock {
    uint32_t start;   // ms of the platform counter when the clock (re)started
    int ticks_done;   // ticks raised since then
    int game_time;    // ms; advances one period per tick
    int active;       // the application has the focus
    int ready;        // start-up finished: events flow
};
KernelClock& kernel_clock();
void kernel_idle_step(uint32_t now);
void kernel_restart_clock(uint32_t now);
int kernel_ticks();  // ticks raised since the kernel became ready

// Input state of the last events.
int kernel_mouse_x();
int kernel_mouse_y();
int kernel_mouse_buttons();  // bit 1 left, bit 2 right, bit 4 Ctrl

void kernel_refresh_now();     // handle pending messages, then draw
void kernel_quit_request();    // the main window closes after the current event
void kernel_set_cursor(int kind);  // 0 arrow, 1 hourglass, 2 the game's own
int kernel_cursor();
void kernel_minimise();

// The translation of platform messages into kernel events (the drawing window's rules).
struct PlatformMessage;
void kernel_translate(const PlatformMessage& message);
void kernel_reset_input();  // button marks and input state back to the start

// Runs until the main window is gone; returns the exit code.
int kernel_run_loop();
void kernel_close_request();  // the main window's close: minimise, destroy, shut down
int kernel_closing();
