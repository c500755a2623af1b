// puzzle/game.h -- starting a game from a box and ending it (which saves it). What the player is
// shown around it (the room, the picture window, the tune) is the play room's to decide.
#pragma once
#include "image/img.h"
#include "puzzle/box.h"

// Reads the box, loads and fits the picture, takes the cut from the cache or cuts afresh,
// restores the quick save or scatters, settles and builds the ghost desk. 1 when the game is
// open, 0 when the box could not be played (nothing stays open then). An open game is ended
// first.
int game_start(const char* name);
// Finishes turns, puts down what is carried, adds the time played, saves, frees the game. When
// the save fails, `retry` (may be null) is asked whether to write it again (the player made room
// on the disk). 1 when the game was saved, 0 when it could not be (see game_save_problem).
int game_end(int (*retry)() = nullptr);
int game_open();  // a game is open
// What a game of these settings would hold in memory, in bytes, roughly: the picture with its
// halved levels, every piece's shapes and record, and the free-room grids of its table on a desk
// of deskWidth x deskHeight. A box beyond GAME_MEMORY_MAX is refused before anything is cut (the
// store room says it cannot be opened): a picture at the picture limits cut small never exhausts
// the memory or sends the machine swapping.
inline constexpr long long GAME_MEMORY_MAX = 1536LL << 20;
long long game_memory_estimate(const BoxRecord& record, int deskWidth, int deskHeight);
// The desk (the screen) took a new size. An open game keeps everything: positions stay where they
// were relative to the desk's centre (as a quick save keeps them), then every piece is kept on the
// new desk; carried and turning pieces go on. The cut stays the one the game began with for the
// rest of this game (a fitted cut is not fitted again), and the game is saved where it was begun.
void game_desk_resized(int width, int height);
// The desk with the faint picture at the desk's size, made when first asked for; null when no game
// is open.
const Image* game_ghost_desk();
// Writes the quick save as the game's end would write it now (turns completed, carried pieces
// put down where they are, the time played so far) without changing the game. 1 when written.
int game_autosave();
// Per kernel tick while the play room is current: moves and turns the carried pieces, and every
// AUTOSAVE_MS of play writes the quick save when the layout changed since the last write.
// A failed autosave is tried again at the next period. 1 when an autosave failed on this tick.
inline constexpr int AUTOSAVE_MS = 30000;
int game_tick(int framePeriod);

// What the player should know of the open (or last) game's save: GAME_SAVE_OK, a write that
// failed (with the cause: a full disk is told as such), or a saved game that is there but cannot
// be read (left as it is; this game is kept beside it).
enum GameSaveProblem { GAME_SAVE_OK, GAME_SAVE_FAILED, GAME_SAVE_DISK_FULL, GAME_SAVE_UNREADABLE };
int game_save_problem();
