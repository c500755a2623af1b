// gui/io_dialog.h -- edit fields over the modal window: the game draws them itself and feeds
// them from typed text (Windows-1252 bytes), with caret, selection, scrolling and clipboard.
//
// The dialog runs a nested main loop: ticks, painting and everything else keep going while it
// is open. A list of fields ends with a record whose flags are 0.
#pragma once
#include "base/event.h"

inline constexpr int EF_PRESENT = 1;    // the record is a field
inline constexpr int EF_MULTILINE = 2;  // several lines, vertical scrolling, Enter breaks lines
inline constexpr int EF_UPPER = 4;      // typed letters become capitals

struct EditField {
    int flags;
    int x, y, width, height;  // relative to the modal window
    char* text;               // Windows-1252, zero-terminated
    int size;                 // buffer bytes; at most size - 1 characters
    int id;                   // set when shown: the field's position in the list
};

// Runs until io_dialog_end and returns its result; fields at (x, y) + their own offsets. When
// the game is asked to close meanwhile, the dialog ends with 0 and the buffers stay unchanged.
int io_dialog_open(int x, int y, EditField* fields);
void io_dialog_end(int result, int keep);  // keep = 1 copies the texts back; no dialog: fatal
void io_dialog_invalidate(int x, int y, int width, int height);  // screen rectangle; no dialog: fatal
int io_dialog_is_open();
// The working text of the open dialog's field `id` (null when there is none), and replacing it
// (cut to the field's limit; the caret at the end).
const char* io_dialog_text(int id);
void io_dialog_set_text(int id, const char* text);

// The window manager offers input to the open dialog's fields first (typed text, editing keys,
// presses in a field, the wheel over a multi-line field, ticks for the caret); 1 when consumed.
int io_dialog_event(KernelEvent* event);
void io_dialog_draw();                                 // after the modal window painted: the fields on top
void io_dialog_set_colours(int text, int background);  // skin colours 16 and 17

// The nested loop the kernel provides: runs until *done or the game is to close (returns 0).
using ModalRunner = int (*)(const int* done);
void io_dialog_set_runner(ModalRunner runner);
