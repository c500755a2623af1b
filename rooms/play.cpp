// rooms/play.cpp -- placeholder until the play room lands.
#include "rooms/play.h"

#include "puzzle/game.h"

void playroom_create() {}
int playroom_room_window() { return -1; }
int play_box(const char* name) { return game_start(name); }
void playroom_leave() { game_end(); }
