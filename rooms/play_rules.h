// rooms/play_rules.h -- the play room's pure rules: which of the picture window's size steps fit
// the screen beside the control panel and where the window may lie, and the title line's text.
#pragma once

#include "base/rect.h"

inline constexpr int PICTURE_WINDOW_GAP = 4;  // pixels kept between the picture window and the panel

// The screen as the picture window sees it: rows above `top` belong to the title line; `panel` is
// the control panel's rectangle (0 wide when it is hidden).
struct PlayScreen {
    int width, height, top;
    Rect panel;
};

// The picture window's size (its contents plus the frame, the title bar and the button strip) at
// a step, for a grid region of pw x ph.
void playroom_picture_window_size(int pw, int ph, int zoom, int* width, int* height);
// Whether a window of width x height can lie wholly on the screen below the title line without
// meeting the panel (nor coming closer to it than the gap).
int playroom_window_fits(const PlayScreen& screen, int width, int height);
// The largest step up to `zoom` whose window fits; 0 when even the smallest does not.
int playroom_picture_step(const PlayScreen& screen, int pw, int ph, int zoom);
// The place nearest to (*x, *y) (the window's wanted top-left) where the window lies on the screen
// below the title line, off the panel; a window that fits nowhere is only kept on the screen.
void playroom_window_place(const PlayScreen& screen, int width, int height, int* x, int* y);

// The title line while playing: the room's name, the box's name, the percent joined and the
// playing time ("m:ss" or "h:mm:ss").
void playroom_title_text(char* out, int size, const char* room, const char* box, int percent,
                         const char* joined, int seconds);
