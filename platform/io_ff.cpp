// platform/io_ff.cpp -- forwarding of the force-feedback calls to the plug-in's entry points.
//
// Loading the plug-in and switching it on are not built yet, so the entry points stay null and
// the state stays 0: every call below returns at once. Nothing here pretends to give feedback.
#include "platform/io_ff.h"

namespace {

struct FeedbackPlugin {
    int state;  // 0 off; otherwise what the plug-in's start-up returned
    void (*popStart)(int strength);
    void (*boundStart)();
    void (*boundSet)(const int* rect, const int* screenSize);
    void (*boundStop)();
    void (*applauseStart)();
};

FeedbackPlugin plugin;

}  // namespace

// Placeholders until the plug-in is loaded for real.
int io_ff_detect() { return 0; }
int io_ff_load() { return 0; }
void io_ff_switch(int) {}
int io_ff_state() { return plugin.state; }
void io_ff_unload() {}

void io_ff_pop(int strength) {
    if (plugin.state && plugin.popStart) plugin.popStart(strength);
}

void io_ff_bound_set(const int rect[4], const int screenSize[2]) {
    if (plugin.state && plugin.boundSet) plugin.boundSet(rect, screenSize);
}

void io_ff_bound_start() {
    if (plugin.state && plugin.boundStart) plugin.boundStart();
}

void io_ff_bound_stop() {
    if (plugin.state && plugin.boundStop) plugin.boundStop();
}

void io_ff_applause() {
    if (plugin.state && plugin.applauseStart) plugin.applauseStart();
}
