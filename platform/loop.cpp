// platform/loop.cpp -- the fixed-step loop: its clock, the pass, nested and outer loops.
//
// One pass, in order: what waits (a message ends the pass); headless, the virtual clock moves on
// a period, but only when the tick it gave last was raised, because a modal opened by a tick's
// input runs its own passes and the clock must not run ahead of them; the script's input of the
// tick that is due; the tick and the frame; the script's snapshots and quit of that tick.
#include "platform/loop.h"

#include "platform/io_debug.h"
#include "platform/screen.h"
#include "platform/script.h"
#include "platform/sys.h"

namespace {

struct Loop {
    LoopHooks hooks;
    uint32_t start;  // ms of the platform counter when the clock (re)started
    int ticks_done;  // ticks raised since then
    int nested;      // nested loops running now
};
Loop g_loop;

}  // namespace

void loop_set_hooks(const LoopHooks& hooks) { g_loop.hooks = hooks; }

void loop_restart_clock(uint32_t now) {
    g_loop.start = now;
    g_loop.ticks_done = 0;
}

int loop_behind(uint32_t now, int period) {
    return period > 0 ? (int)((now - g_loop.start) / (uint32_t)period) - g_loop.ticks_done : 0;
}

void loop_tick_raised() { g_loop.ticks_done++; }

void loop_pass(int may_wait) {
    const LoopHooks& h = g_loop.hooks;
    if (h.pump()) return;
    const int p = h.period();
    if (sys_headless() && loop_behind(sys_millis(), p) < 1) sys_advance_virtual_clock(p > 0 ? p : 1);
    const uint32_t now = sys_millis();
    const int due = loop_behind(now, p) >= 1;
    const int tick = h.tick();
    if (due) script_before_tick(tick);
    if (h.stopped && h.stopped()) return;
    h.step(now);
    if (due) script_after_tick(tick);
    if (!due && may_wait && !sys_headless()) {
        // Nothing is due: sleep until the next period or the next message instead of spinning;
        // the frame is already drawn.
        const uint32_t next = g_loop.start + (uint32_t)(g_loop.ticks_done + 1) * (uint32_t)p;
        const uint32_t wait = next - sys_millis();
        if ((int32_t)wait > 0) sys_wait(wait);
    }
}

void loop_run() {
    const LoopHooks& h = g_loop.hooks;
    while (!h.ended()) {
        if (h.between && h.between()) continue;
        loop_pass(1);
    }
}

int loop_run_nested(const int* done) {
    if (screen.buf) io_fatal("loop_run_nested: a frame is being drawn\n");
    g_loop.nested++;
    int result = 0;
    for (;;) {
        if (*done) {
            result = 1;
            break;
        }
        if (g_loop.hooks.closing()) break;
        loop_pass(1);
    }
    g_loop.nested--;
    return result;
}

int loop_nested_depth() { return g_loop.nested; }
