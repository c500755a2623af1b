// gui/msgbox.h -- the shared boxes made of buttons: the text window, the modal message box and
// input box, and the progress window.
#pragma once

struct EditField;

// Text window: a titled window that can roll up, showing a wrapped text in the system font.
int text_window_create(int parent, int width, int lines);
void text_window_set_text(int window, const char* text);  // the window grows, never shrinks

// Message box flags. Bit 4 shows OK too, and bit 8 Cancel.
inline constexpr int MSG_OK = 1;
inline constexpr int MSG_CANCEL = 2;
inline constexpr int MSG_OK_CANCEL = MSG_OK | MSG_CANCEL;
inline constexpr int MSG_CENTRED = 16;  // the text centred
// The answer of a message box or an input box.
inline constexpr int MSG_ANSWER_CANCEL = 0;  // Cancel or Escape
inline constexpr int MSG_ANSWER_OK = 1;      // OK or Enter

// Message box, modal; the answer.
void msgbox_create(const char* title);  // titled with the product title
int msgbox_show(const char* text, int flags);
int msgbox_show_text(int number, int flags);
// The box's height for a text of this height (wrapped at 300 pixels): sized to the text, with no
// empty area below it, and at most the screen's height.
int msgbox_height(int textHeight);
int msgbox_height_for(const char* text, int flags);  // the same for a text, measured as shown

// Input box: a modal box with OK and Cancel over the given edit fields; text (or null) is drawn
// above them. The answer: OK copies the fields back, Cancel leaves the buffers unchanged.
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
