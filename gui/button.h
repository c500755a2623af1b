// gui/button.h -- buttons (child windows that draw themselves and post WE_BUTTON to their
// parent) and the shared controls made of them: button bar, icon strip, button row, button
// menu, text window, slider, message box, input box and progress window.
#pragma once
#include "gui/msgbox.h"
#include "gui/slider.h"
#include "gui/window.h"

// Button styles.
inline constexpr int BS_PUSH = 0x1;       // push button: content centred; notifies
inline constexpr int BS_TOGGLE = 0x2;     // a press flips the state
inline constexpr int BS_RADIO = 0x4;      // a press clears the group and checks this one
inline constexpr int BS_TEXT = 0x8;       // shows its title in the button font
inline constexpr int BS_FAZE = 0x10;      // shows phase pictures "%s_%i.img"
inline constexpr int BS_DRAWN = 0x20;     // content drawn by a function
inline constexpr int BS_NOTIFY = 0x40;    // posts WE_BUTTON on a press
inline constexpr int BS_RGFIRST = 0x80;   // first button of a radio group
inline constexpr int BS_RGLAST = 0x100;   // last button of a radio group
inline constexpr int BS_PICTURE = 0x200;  // shows a skin picture (+1 when hovered or checked)
inline constexpr int BS_FRAME = 0x400;    // draws its frame element over the whole button first
inline constexpr int BS_SHADOW = 0x800;   // casts a shadow

// Draws a BS_DRAWN button's content; the drawing origin is the button.
using ButtonDrawFunction = void (*)(int window, int width, int height);

// The button font and the colours of enabled, disabled and hovered texts and their shadow;
// set at start-up.
void button_set_style(int font, int colour, int disabled, int hover, int shadow);

// Natural size for a width or height of 0. `text` is the title (BS_TEXT) or the phase pictures'
// base name (BS_FAZE).
int button_register(int parent, int style, int x, int y, int width, int height, int picture, const char* text,
                    int frameElement, int key);
int button_register_drawn(int parent, int style, int x, int y, int width, int height, ButtonDrawFunction draw,
                          int frameElement, int key);
// Looks up "%s_%i.img" for i < count in the file cache; picture 0 must exist (else fatal), later
// missing ones take picture 0's index.
void load_faze(const char* baseName, int* slots, int count);
// The size a button of this style takes when registered with a width or height of 0, from the
// sizes of its picture, its measured text and its phase picture 0.
void button_natural_size(int style, int pictureWidth, int pictureHeight, int textWidth, int textHeight,
                         int phaseWidth, int phaseHeight, int* width, int* height);

void button_set_state(int button, int state);  // ignored for push buttons
int button_state(int button);
void button_enable(int button, int enabled);
int button_enabled(int button);
int button_active(int button);  // 1 while the mouse hovers over it
void button_set_frame(int button, int element);
void button_set_notify(int button, int target);  // -1: the parent
void button_select_in_group(int first, int k);
int button_selected_in_group(int first);  // -1 when none is checked

// Button bar: two rows (main, alternative) of eight slots along the parent's bottom edge.
int button_bar_create(int parent);
int button_bar_add(int bar, int index, int alternative, const char* text, int picture, int key, int width);
int button_bar_button(int bar, int index, int alternative);  // -1 when empty
void button_bar_layout(int bar);

// Icon strip: an 18-pixel panel of picture buttons along the parent's bottom edge.
int icon_strip_create(int parent);
int icon_strip_add(int strip, int picture, int key);

// Button row: a segmented row of 32-pixel buttons.
int button_row_create(int parent, int x, int y);
int button_row_add(int row, const char* text, int picture);
void button_row_finish(int row);

// Button menu: a titled, raisable window with a vertical list of text buttons.
int button_menu_create(int parent, int x, int y, const char* title);
int button_menu_add(int menu, const char* text, int key);
int button_menu_add_text(int menu, int number, int key);  // the language text `number`
void button_menu_finish(int menu);
