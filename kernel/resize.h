// kernel/resize.h -- the main window's size while the game runs: the frame follows it and the
// toolkit and the rooms are laid out again, as at a start on a screen of that size; and the
// game's `resize W H` script command.
#pragma once

// The window now has w x h window pixels (PM_RESIZE). The frame size it gives (platform/sys.h:
// sys_frame_for_window) is taken up at once, or, while a modal loop runs, once it has ended. A
// window of exactly the frame's size keeps the frame.
void kernel_window_resized(int w, int h);
// Between two passes of the outer loop: a size that waited for a modal loop is taken up now; 1
// when one was.
int kernel_resize_waiting();
// The frame becomes width x height now: the frame buffer and the dirty cells, the background and
// top bar, the window manager's windows, then each room (WE_SCREENSIZE). Nothing of a game in
// progress is lost: the play room keeps its pieces on the new desk.
void kernel_resize_frame(int width, int height);

// Adds `resize W H` to the script's commands: the window is given W x H window pixels, as a
// window manager would give them (also below the window's minimum).
void resize_register();
