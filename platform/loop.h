// platform/loop.h -- the fixed-step loop of both programs, the game and the gift extractor: a
// clock whose ticks fall due one period apart, the pass (what waits, else the script's input of
// the tick that is due, the tick and its frame, then that tick's snapshots), the nested loops of
// modal windows and the outer loop. Headless, each pass moves the virtual clock one period on, so
// scripted runs are deterministic. The program supplies what differs through hooks.
#pragma once
#include <cstdint>

struct LoopHooks {
    int (*period)();             // ms between ticks; 0: no ticks
    int (*tick)();               // the script's number for the tick that falls due next
    int (*pump)();               // handles what waits; 1 when the pass ends there
    void (*step)(uint32_t now);  // raises the tick that is due (loop_behind, loop_tick_raised), draws
    int (*stopped)();            // null, or 1 after a tick's input when no frame may follow (closing)
    int (*closing)();            // nested loops end without their answer
    int (*ended)();              // the outer loop ends
    int (*between)();            // null, or the outer loop's own work between passes; 1 when it did some
};
void loop_set_hooks(const LoopHooks& hooks);

// The clock: ticks fall due one period apart from its start.
void loop_restart_clock(uint32_t now);  // nothing raised since `now`
// Periods of `period` ms elapsed since the start that no tick was raised for; 0 without a period.
int loop_behind(uint32_t now, int period);
void loop_tick_raised();

// One pass; `may_wait`: a pass with nothing due sleeps until the next period or message (never
// headless).
void loop_pass(int may_wait);
void loop_run();  // passes until the program's end
// A modal loop inside an event handler: passes until *done becomes nonzero (1), or until the
// program closes (0; the close itself then runs once the modal caller has returned).
int loop_run_nested(const int* done);
int loop_nested_depth();  // nested loops running now
