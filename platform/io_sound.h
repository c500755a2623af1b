// platform/io_sound.h -- short sound effects played from memory and one background MIDI tune,
// through the sound card's mixer. Neither is required: a missing audio device, a tune that
// cannot be played or a missing soundfont is logged once and the game goes on silently.
#pragma once
#include <cstddef>

union SDL_Event;

// Opens the mixer (SDL's dummy driver in headless mode) and points MIDI at the General MIDI
// soundfont; 0 when there is no audio (every call below then does nothing and returns 0).
int io_sound_init();
void io_sound_done();  // stops everything and closes the mixer

// Plays a WAV file held in memory, cutting off the sound that played before. The bytes must stay
// valid until the next play or stop. 1 when it plays.
int io_sound_play_memory(const void* data, size_t size);
void io_sound_stop();

// MIDI. Both stop the current tune first; failures are logged ("test_midi open: ...",
// "play_midi open: ...", "play_midi play: ...") and give 0.
int test_midi(const char* path);              // opens and parses the tune, then closes it
int play_midi(const char* path, int repeat);  // plays it; remembers path and repeat
void midi_set_repeat(int repeat);
void midi_stop();
int midi_playing();  // a tune is open
// The tune's end, delivered on the main thread (the platform's event loop calls it): closes
// the tune and, with repeat set, plays the remembered path again. code 1 = ended normally.
void midi_completion(int code);
// The platform's event loop offers every SDL event here first: 1 when it was the report of a
// tune's end (midi_completion has then run for it, unless that tune was stopped meanwhile).
int midi_take_event(const SDL_Event& event);

// Walks a standard MIDI file's chunks and events: 1 when it is well formed, else 0 with the
// reason in why. Every tune is checked before the mixer sees it.
int midi_check(const void* data, size_t size, char* why, int why_size);
