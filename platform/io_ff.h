// platform/io_ff.h -- the force-feedback mouse: short pulses, a boundary that holds the mouse
// inside a rectangle, and applause, forwarded to an optional plug-in library.
//
// Every call does nothing unless the plug-in is loaded and switched on and has that entry point;
// a missing plug-in only means no feedback.
#pragma once

// A short pulse: 3000 when the mouse enters an enabled button, 5000 for a join.
void io_ff_pop(int strength);
// The rectangle (left, top, right, bottom) the mouse is held in, with the screen size (width,
// height); called just before io_ff_bound_start.
void io_ff_bound_set(const int rect[4], const int screenSize[2]);
void io_ff_bound_start();
void io_ff_bound_stop();
void io_ff_applause();  // the puzzle is finished
