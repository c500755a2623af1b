// platform/io_sound.cpp -- placeholder until sound lands.
#include "platform/io_sound.h"

int io_sound_init() { return 0; }
void io_sound_done() {}
int io_sound_play_memory(const void*, size_t) { return 0; }
void io_sound_stop() {}
int test_midi(const char*) { return 0; }
int play_midi(const char*, int) { return 0; }
void midi_set_repeat(int) {}
void midi_stop() {}
int midi_playing() { return 0; }
void midi_completion(int) {}
