// platform/io_ff.h -- the force-feedback mouse: short pulses, a boundary that holds the mouse
// inside a rectangle, and applause, forwarded to an optional plug-in library.
//
// Every call does nothing unless the plug-in is loaded and switched on and has that entry point;
// a missing plug-in only means no feedback.
#pragma once

// --- The plug-in ---
// "libfbmouse.so" and "libifc21.so" both found in the game folder (the start folder) or on the
// library path (LD_LIBRARY_PATH, the folders of /etc/ld.so.conf, the standard folders).
int io_ff_detect();
// Loads "libfbmouse.so" from where the search finds it and looks up its seven entry points; 0
// (nothing loaded) when it or "libifc21.so" is missing, it cannot be loaded, or it lacks
// "fbmouse_init". Already loaded: 1.
int io_ff_load();
// Switches the feedback on (the plug-in's start-up decides the state) or off; only a loaded
// plug-in is switched, and only when on differs from the current state. The start-up is given a
// null instance and a null window: the plug-in reaches the mouse on its own.
void io_ff_switch(int on);
int io_ff_state();    // 0 off, else the state the plug-in's start-up gave
void io_ff_unload();  // switched off, library freed, entry points forgotten
// Whether the settings file wants the feedback: "FeedBackSupport" in "MAIN" is anything but
// exactly "0" (a missing key too).
int io_ff_wanted(const char* ini);

// A short pulse: 3000 when the mouse enters an enabled button, 5000 for a join.
void io_ff_pop(int strength);
// The rectangle (left, top, right, bottom) the mouse is held in, with the screen size (width,
// height); called just before io_ff_bound_start.
void io_ff_bound_set(const int rect[4], const int screenSize[2]);
void io_ff_bound_start();
void io_ff_bound_stop();
void io_ff_applause();  // the puzzle is finished
