// rooms/play.h -- the play room: the desk (plain or with the faint picture), the control panel,
// the picture window and the overlay with the join sparkle. Created once at start-up; a game is
// open in it between play_box and leaving.
#pragma once

void playroom_create();      // at start-up, after the store room
int playroom_room_window();  // the desk
// Starts the box (reads it, cuts or takes the cut cache, restores or scatters) and shows the
// room; 0 when the box cannot be played (the current room stays; the caller tells the player).
int play_box(const char* name);
void playroom_leave();  // ends the game (saves it) and returns to the store room
