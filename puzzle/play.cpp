// puzzle/play.cpp -- the state of the open game, the desk-background hook, and the game's own
// random generator.
#include "puzzle/play.h"

PlayHooks play_hooks;
PlayState play_state;

namespace {

uint32_t g_rand_state = 1;  // the C library's default seed

}  // namespace

int play_rand() {
    g_rand_state = g_rand_state * 214013u + 2531011u;
    return (int)((g_rand_state >> 16) & 0x7FFF);
}

void play_rand_seed(uint32_t seed) { g_rand_state = seed; }
