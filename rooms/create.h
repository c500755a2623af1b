// rooms/create.h -- the create room: a new box from one of the player's own pictures, or new
// settings for an existing box. The picture is shown as it will be played, in the play area with
// the cutting grid over it; around it the info window, the picture window (import and size), the
// pieces window (piece size, irregularity, edge style) and the options window (rotation, hidden
// picture, tune), and the save / cancel / help panel.
//
// The picture of an existing box cannot be replaced or resized; only its settings can.
#pragma once
#include "puzzle/box.h"

// Creates the room's windows (start-up, after the store room); window places from "CREATEROOM".
void createroom_create();
// The store room's new-box button: the room opens empty, only import enabled.
void createroom_open_new();
// The store room's edit button: reads the box with all its parts and opens the room on it.
// 0 when the box cannot be read (the room is not shown; the caller stays where it was).
int createroom_open_box(const char* name);
// Leaving (save or cancel) stops the tune, empties the room and goes back to the store room
// through store_created (rooms/store.h).

// --- The room from outside the pointer (tests, benchmarks) ---
// What the import button does once the chooser gave a path: the room is emptied, then the
// picture loaded; 1 when it was taken, 0 when the player was told why not (the room stays empty).
int createroom_import(const char* path);
const BoxRecord* createroom_record();  // all zero while the room is empty
// The window of one of the room's controls (buttons, tick boxes, sliders), for pressing it.
enum CreateControl {
    CREATE_IMPORT,
    CREATE_FIND,  // find pictures: the chooser in the player's pictures folder
    CREATE_SIZE,  // slider
    CREATE_LARGEST,
    CREATE_RANDOM,
    CREATE_PIECE_SIZE,    // slider: its value is a step of create_piece_steps (rooms/create_rules.h)
    CREATE_IRREGULARITY,  // slider
    CREATE_EDGE_FIRST,    // edge style 0; style k is the control CREATE_EDGE_FIRST + k
    CREATE_ROTATION = CREATE_EDGE_FIRST + 8,
    CREATE_HIDDEN,
    CREATE_TUNE,
    CREATE_REPEAT,
    CREATE_PLAY,
    CREATE_STOP,
    CREATE_SAVE,
    CREATE_CANCEL,
    CREATE_HELP,
    CREATE_FIT,  // fit the grid to the whole picture
    CREATE_CONTROLS
};
int createroom_control(int control);  // -1 before createroom_create
