// resources/sound.cpp -- placeholder until sound lands.
#include "resources/sound.h"

int sound_precache(const char*) { return -1; }
void sound_play(int) {}
void sound_stop() {}
void sound_reset() {}
