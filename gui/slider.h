// gui/slider.h -- the slider: a horizontal value control 32 pixels high with a draggable thumb,
// page steps on the track and two arrow buttons; its caption is its window title.
#pragma once

// The caption font and its colours (disabled -1: a disabled slider's caption keeps the colour);
// set at start-up.
void slider_set_style(int font, int colour, int shadow, int disabled = -1);

// Slider styles.
inline constexpr int SLIDER_NOTIFY = 1;  // WE_SLIDER to the parent on every change the user makes
inline constexpr int SLIDER_ARROWS = 2;  // the arrow frames drawn (elements frameBase | 4, frameBase | 2)

// The range starts at 0..10.
int slider_register(int parent, int style, int x, int y, int width, int frameBase);
void slider_set_range(int slider, int minimum, int maximum);
void slider_set_value(int slider, int value);  // clamped into the range
void slider_set_step(int slider, int step);    // what an arrow click adds or takes (1 at first)
int slider_value(int slider);
// A disabled slider shows no thumb, greys its caption and ignores the pointer and its arrows.
void slider_enable(int slider, int enabled);

// The arithmetic of the track, from trackStart to trackEnd (slider-relative x).
int slider_page(int minimum, int maximum);  // a fifth of the range, at least 1
int slider_thumb_x(int minimum, int maximum, int value, int trackStart, int trackEnd);
int slider_value_at(int minimum, int maximum, int x, int trackStart, int trackEnd);
