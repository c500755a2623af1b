// rooms/sparkle.h -- the little sparkle the play room shows where pieces join: the strip
// "img/connected.img" holds 8 frames of 32 x 32, each shown for two ticks. Only the animation's
// state is kept here; the play room's overlay draws the frame.
#pragma once

inline constexpr int SPARKLE_SIZE = 32;   // one frame of the strip, square
inline constexpr int SPARKLE_TICKS = 16;  // the whole animation: 8 frames of two ticks each

// Starts afresh with the point as the frame's bottom-right corner; a sparkle still running is
// dropped and its area marked for redraw.
void sparkle_start(int x, int y);
void sparkle_stop();  // marks the area of a running sparkle for redraw
void sparkle_tick();  // per tick of the overlay; marks the frame's area for redraw
// The frame to draw now (source x in the strip is frame * SPARKLE_SIZE) and its top-left;
// 0 when idle.
int sparkle_frame(int* frame, int* x, int* y);
