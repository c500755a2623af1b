// puzzle/game.h -- starting a game from a box and ending it (which saves it).
#pragma once

// Reads the box, loads and fits the picture, takes the cut from the cache or cuts afresh,
// restores the quick save or scatters, settles, and shows the play room. 1 when the game is open,
// 0 when the box could not be played (nothing stays open then).
int game_start(const char* name);
// Finishes turns, drops what is carried, adds the time played, saves, frees the game.
void game_end();
