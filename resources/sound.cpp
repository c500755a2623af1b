// resources/sound.cpp -- sound effects from the data pack. The playing wave stays locked in the
// file cache, so the mixer can read it until the next sound or the stop releases it.
#include "resources/sound.h"

#include "platform/io_mem.h"
#include "platform/io_sound.h"
#include "resources/cache.h"

namespace {
int g_current = -1;  // cache index of the wave playing, -1 for none
}  // namespace

int sound_precache(const char* name) { return cache_register_raw(name); }

void sound_play(int index) {
    if (index < 0) return;
    const void* wave = cache_lock(index);
    io_sound_play_memory(wave, io_mem_size(wave));
    if (g_current >= 0) cache_unlock(g_current);
    g_current = index;
}

void sound_stop() {
    io_sound_stop();
    if (g_current >= 0) cache_unlock(g_current);
    g_current = -1;
}

void sound_reset() { g_current = -1; }
