// rooms/play.h -- the play room: the desk (plain or with the faint picture), the control panel,
// the picture window and the overlay with the join sparkle. Created once at start-up; a game is
// open in it between play_box and leaving.
#pragma once

void playroom_create();      // at start-up, after the store room
int playroom_room_window();  // the desk
// Starts the box (reads it, cuts or takes the cut cache, restores or scatters) and shows the
// room with the picture window (neither it nor the faint picture shows for a box that keeps its
// picture a surprise) and the box's tune; 0 when the box cannot be played (the current room stays; the
// caller tells the player). A game still open is ended first.
int play_box(const char* name);
void playroom_leave();  // ends the game (saves it), stops its tune, returns to the store room
// Milliseconds of play each tick stands for (the main loop's frame period; 33 until set).
void playroom_set_frame_period(int ms);

inline constexpr int PICTURE_ZOOM_MAX = 4;  // the picture window's size steps are 0..4
// The picture window's contents for a grid region of pw x ph at zoom step z: at least 128 wide,
// growing in even steps to the region's own size; the height keeps the region's proportions.
void playroom_picture_size(int pw, int ph, int zoom, int* width, int* height);
