// rooms/store.h -- the store room: the game's home screen. The shelf of boxes (rooms/shelf) on
// the room window, the main panel, the gift panel, the info window and the tools window; the
// selection rules, starting a box, delete, reset, rename, use picture, about, help, web site and
// quit. Boxes announced by other programs come onto the shelf here.
#pragma once
#include "base/event.h"

struct ShelfBox;

// Creates the room's windows and loads the shelf (start-up, after the toolkit); restores the
// window places and the interface choice from config.ini. At program end the room saves them
// and the shelf's arrangement.
void store_init();
// Shows the room: status text, the info window for a single selected box, last click forgotten.
void store_enter();
// Back from a game of box `name`: refreshes that box on the shelf, then enters the room.
void store_return(const char* name);
// The text that says why a box could not be opened: the disk is full (its working files could
// not be written), else that the box may have been moved, deleted or damaged.
int store_cannot_open_text();
int store_room_window();
// Back from the create room: the box saved there comes onto the shelf (a new one at a free place;
// an edited one is already there) and is selected alone; null after a cancel. Enters the room.
void store_created(const char* name);
// What "quit" does (the kernel's quit request, installed at start-up).
void store_set_quit_hook(void (*quit)());

// Texts from other programs: a = 0, b = a box name from the gift extractor: reduced to a plain
// file name and loaded onto the shelf. 1 when taken.
int store_text(KernelEvent* event);
// A box already in the puzzles folder opened from outside (the command line, another copy):
// loaded onto the shelf when it is not there yet, selected alone and started as a double click
// starts it (the player is told when the play room cannot take it; the box stays on the shelf).
// 0 when it cannot be read (the caller tells the player; nothing is left on the shelf).
int store_open_box(const char* name);
// Starts a box as a double click does: a link box opens its web address; a finished box asks
// whether to start again (resetting it); then the play room takes the box.
void store_start_box(ShelfBox* box);

// --- Rules, exposed for tests ---
// Counted over the whole shelf: anything; at least one; at least one, and a single one not a
// link box; exactly one; exactly one, not a link box.
enum StoreNeed {
    STORE_NEED_ANY,
    STORE_NEED_SOME,
    STORE_NEED_SOME_PUZZLE,
    STORE_NEED_ONE,
    STORE_NEED_ONE_PUZZLE
};
// The text number a selection rule refuses with (152 none for "some", 150 none for "one", 151
// several, 153 a link box), or 0 when the selection passes; nothing is shown.
int store_selection_refusal(int need);
// The info window's text for a box (empty for null).
void store_info_text(const ShelfBox* box, char* out, int size);
// One answer to the rename question, with the old name `box`'s: made a file name first; a name
// another box has (letters a..z compared ignoring case), or a box file the shelf does not show,
// is taken; the box's own name in other letter cases renames at once.
enum StoreRenameResult {
    STORE_RENAME_DONE,       // renamed, or the same name: nothing to do
    STORE_RENAME_ASK_AGAIN,  // empty or not a file name: ask again without a message
    STORE_RENAME_TAKEN,      // another box has the name: text 16, then ask again
    STORE_RENAME_FAILED,     // the files could not be renamed: the player was told
};
int store_rename_answer(ShelfBox* box, const char* answer);
