// rooms/sparkle.h -- the little sparkle the play room shows where pieces join, and the wave of
// sparkles that runs over a finished picture: the strip "img/connected.img" holds 8 frames of
// 32 x 32, each shown for two ticks. Only the animations' state is kept here; the play room's
// overlay draws the frames.
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

// --- The wave over a finished picture ---
inline constexpr int SPARKLE_WAVE_MAX = 96;    // sparkles of one wave
inline constexpr int SPARKLE_WAVE_TICKS = 30;  // the last sparkle starts this long after the first
// Starts a wave of sparkles over the rectangle, spread over it and starting from its left edge to
// its right; a wave still running is dropped (its areas marked for redraw). Ticks with
// sparkle_tick.
void sparkle_wave(int x, int y, int width, int height);
int sparkle_wave_running();
// The frame of the wave's sparkle i (0..SPARKLE_WAVE_MAX - 1) to draw now and its top-left; 0 when
// that one is not showing.
int sparkle_wave_frame(int i, int* frame, int* x, int* y);
