// gui/msgbox.h -- the shared boxes made of buttons: the text window, the modal message box and
// input box, and the progress window.
#pragma once

struct EditField;

// Text window: a titled window that can roll up, showing a wrapped text in the system font.
int text_window_create(int parent, int width, int lines);
void text_window_set_text(int window, const char* text);  // the window grows, never shrinks

// Message box: flags bit 1 or 4 show OK, 2 or 8 Cancel, 16 centres the text. 1 for OK/Enter,
// 0 for Cancel/Escape.
void msgbox_create(const char* title);  // titled with the product title
int msgbox_show(const char* text, int flags);
int msgbox_show_text(int number, int flags);
// The box's height for a text of this height (wrapped at 300 pixels).
int msgbox_height(int textHeight);

// Input box: a modal box with OK and Cancel over the given edit fields; text (or null) is drawn
// above them. 1 for OK (fields copied back), 0 for Cancel (buffers unchanged).
void inputbox_create(const char* title);
int inputbox_show(const char* text, EditField* fields);

// Progress window: a floating 380 x 81 box with a text and up to 60 blocks.
void progress_create(const char* title);
void progress_open(int maximum);
void progress_set(const char* text, int value);  // redraws and shows the screen at once
void progress_close();
// How "show the screen at once" is done (the kernel's refresh); set at start-up.
void progress_set_refresh(void (*refresh)());
int progress_blocks(int value, int maximum);  // blocks shown for a value (clamped to the maximum)
