// gui/edit.h -- the editing engine behind the edit fields: text, caret, selection, line layout
// and scrolling of one field, with no window or screen behind it.
//
// Texts are Windows-1252 bytes. Positions are byte indices 0..length; the selection runs between
// anchor and caret. Coordinates are pixels of the field's text area, scrolling applied.
#pragma once
#include "base/limits.h"

// Width in pixels of the first `length` bytes of text drawn on one line.
using EditMeasure = int (*)(const char* text, int length);

struct EditLine {
    int start, end;  // byte range of a laid-out line, without its line break
};

struct EditState {
    char text[EDIT_TEXT_MAX];  // zero-terminated working text
    int length;                // bytes in text
    int limit;                 // characters at most (the buffer size - 1, within EDIT_TEXT_MAX)
    int multiline, upper;      // the field's flags
    int width, height;         // text area in pixels
    int lineHeight;            // pixels from one line to the next
    int caret, anchor;         // byte indices
    int scrollX;               // pixels scrolled to the left (one-line fields)
    int scrollY;               // first visible line (multi-line fields)
    int lineCount;
    EditLine lines[EDIT_TEXT_MAX];  // one line for one-line fields; wrapped at blanks otherwise
    EditMeasure measure;
};

// flags: EF_MULTILINE and EF_UPPER of gui/io_dialog.h. The caret goes to the end of the text.
void edit_init(EditState* e, const char* text, int limit, int flags, int width, int height, int lineHeight,
               EditMeasure measure);

// Inserts at the caret, replacing the selection: line breaks become blanks in a one-line field,
// tabs become blanks, other control bytes are dropped, letters become capitals with EF_UPPER,
// and what does not fit under the limit is cut off. Returns the bytes inserted.
int edit_insert(EditState* e, const char* bytes, int count);
int edit_type(EditState* e, int byte);  // one typed character; 0 when refused (the field is full)
// UTF-8 text (the clipboard's): characters Windows-1252 cannot hold are dropped.
int edit_paste(EditState* e, const char* utf8);
int edit_copy(const EditState* e, char* utf8, int size);  // the selection as UTF-8; its length
// Backspace (forward = 0) or Delete: the selection, else one character. 0 when nothing changed.
int edit_delete(EditState* e, int forward);

// KEY_LEFT, KEY_RIGHT, KEY_UP, KEY_DOWN, KEY_HOME, KEY_END, KEY_PAGEUP, KEY_PAGEDOWN; extend
// keeps the anchor (Shift). Up and down in a one-line field do nothing and return 0.
int edit_move(EditState* e, int key, int extend);
void edit_select_all(EditState* e);
void edit_selection(const EditState* e, int* from, int* to);  // from <= to

int edit_line_of(const EditState* e, int index);          // the laid-out line that shows the position
void edit_caret_pos(const EditState* e, int* x, int* y);  // top of the caret in the text area
int edit_hit(const EditState* e, int x, int y);           // the position nearest to a point
void edit_place(EditState* e, int x, int y, int extend);  // caret to the point, kept visible
void edit_scroll_lines(EditState* e, int lines);          // multi-line fields; clamped
int edit_visible_lines(const EditState* e);
