// kernel/events.h -- kernel events, the main loop, timing and input state.
#pragma once
#include <cstdint>

#include "base/event.h"

// Words of the texts other programs send (KE_TEXT a).
inline constexpr int TEXT_WORD_BOX_NAME = 0;  // a box name from the gift extractor (store room)
inline constexpr int TEXT_WORD_BOX_FILE = 1;  // a box file's absolute path from a second copy

// Where the dispatcher sends events. The window manager takes everything but paint and text;
// the text handler takes texts from other programs (the words below, others are dropped); the
// minimise corner gets what no window took.
void kernel_set_window_manager(KernelHandler handler);
void kernel_set_text_handler(KernelHandler handler);
void kernel_set_corner_handler(KernelHandler handler);

void kernel_event(int type, intptr_t a, intptr_t b, intptr_t c);

// Timing: the idle step raises at most one tick per pass, and an idle event unless the loop
// is two or more periods behind. The ticks fall due on the shared loop's clock (platform/loop.h).
struct KernelClock {
    int game_time;  // ms; advances one period per tick
    int active;     // the application has the focus
    int ready;      // start-up finished: events flow
};
KernelClock& kernel_clock();
void kernel_idle_step(uint32_t now);
void kernel_restart_clock(uint32_t now);  // no tick raised since `now`
int kernel_ticks();                       // ticks raised since the kernel became ready

// Input state of the last events.
int kernel_mouse_x();
int kernel_mouse_y();
int kernel_mouse_buttons();  // bit 1 left, bit 2 right, bit 4 Ctrl

void kernel_refresh_now();  // handle pending messages, then draw
// Draws the dirty cells and presents them now, also while the game starts and no event flows yet
// (the splash); pending messages wait.
void kernel_present_now();
void kernel_quit_request();  // the main window closes after the current event

// The translation of platform messages into kernel events (the drawing window's rules).
struct PlatformMessage;
void kernel_translate(const PlatformMessage& message);
void kernel_reset_input();  // button marks and input state back to the start

// The game's run of the shared loop (platform/loop.h): until the main window is gone; returns
// the exit code.
int kernel_run_loop();
// A modal loop inside an event handler: runs passes of the main loop (messages, the idle step,
// the script, the headless clock) until *done becomes nonzero (1), or until the game is to close
// (0; the close itself then runs in the outer loop once the modal caller has returned).
int kernel_run_nested(const int* done);
int kernel_nested_depth();  // nested loops running now
// Runs `run` once in the outermost loop, between two passes and outside any modal (a later call
// before then replaces it).
void kernel_defer(void (*run)());
void kernel_close_request();  // the main window's close: minimise, destroy, shut down
int kernel_closing();
