// kernel/autosolve.h -- the game's `autosolve` script command: it plays the open puzzle to the end
// through the real mouse, a move at a time, as puzzle/solve.h plans the moves. It runs over many
// ticks through the harness's added commands (platform/script.h).
#pragma once

// Adds `autosolve [TICKS [MOVES]]` to the script's commands: TICKS a move carries its pieces
// (default 6), MOVES after which it stops (default: at the end).
void autosolve_register();
