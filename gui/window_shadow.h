// gui/window_shadow.h -- the soft drop shadows of windows: 8-bit masks that darken the screen
// under and beside a window, in two kinds (small while resting, large while being moved).
//
// A mask is the window's outline drawn as a frame element, scaled to at most 145 and blurred.
// Windows large enough are drawn from shared nine-patch masks whose middle rows and columns are
// tiled to any size; smaller windows get masks rendered for their own size.
#pragma once

inline constexpr int SHADOW_SMALL = 0;  // sigma 2.0, offset 2
inline constexpr int SHADOW_LARGE = 1;  // sigma 5.0, offset 6

struct WindowShadow;

// A shadow record for a window outline of `element` (0 windows, 16 the rolled-up bar).
WindowShadow* window_shadow_create(int element, int width, int height);
void window_shadow_resize(WindowShadow* shadow, int width, int height);
void window_shadow_free(WindowShadow* shadow);
// Draws the shadow of a window whose screen rectangle starts at (x, y); masks are made on demand.
void window_shadow_draw(WindowShadow* shadow, int kind, int x, int y);
// How far a shadow of this kind reaches beyond its window on any side (offset + blur radius).
int window_shadow_extent(int kind);

// The shared nine-patch masks; made on first use when not prepared at start-up.
void window_shadow_prepare();
void window_shadow_done();
