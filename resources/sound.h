// resources/sound.h -- sound effects from the data pack: the wave data stays in the file cache
// and is locked while it plays.
#pragma once

int sound_precache(const char* name);  // registers the wave file; its cache index
void sound_play(int index);            // cuts off the previous sound; failures are ignored
void sound_stop();                     // stops the sound and releases its lock (kernel_done)
void sound_reset();                    // no current sound (kernel_init)
