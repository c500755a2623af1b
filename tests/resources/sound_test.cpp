// Sound effects from a folder pack: the playing wave stays locked until the next one or the stop.
#include "resources/sound.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/io_sound.h"
#include "resources/cache.h"
#include "resources/dp.h"
#include "support/files.h"

namespace {

// A mono 16-bit wave of n silent samples.
Bytes wave(uint32_t n) {
    Bytes b = text_bytes("RIFF");
    put32(&b, 36 + 2 * n);
    for (uint8_t c : text_bytes("WAVEfmt "))
        b.push_back(c);
    put32(&b, 16);
    put16(&b, 1);
    put16(&b, 1);
    put32(&b, 22050);
    put32(&b, 44100);
    put16(&b, 2);
    put16(&b, 16);
    for (uint8_t c : text_bytes("data"))
        b.push_back(c);
    put32(&b, 2 * n);
    b.resize(b.size() + 2 * n);
    return b;
}

TEST(sound, a_new_sound_cuts_the_last_and_moves_the_lock) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    TempDir dir;
    write_file(dir / "a.wav", wave(22050));
    write_file(dir / "b.wav", wave(100));
    write_file(dir / "junk.wav", text_bytes("not a wave"));
    dp_done();
    dp_open(dir.path + "@");
    cache_init();
    ASSERT_EQ(io_sound_init(), 1);
    sound_reset();

    const int a = sound_precache("a.wav"), b = sound_precache("b.wav"), junk = sound_precache("junk.wav");
    sound_play(a);
    EXPECT_EQ(cache_lock_count(a), 1);
    sound_play(b);  // while a still plays
    EXPECT_EQ(cache_lock_count(a), 0);
    EXPECT_EQ(cache_lock_count(b), 1);
    sound_play(b);
    EXPECT_EQ(cache_lock_count(b), 1) << "playing the same wave again holds one lock";
    sound_play(junk);  // cannot play, yet is the current sound
    EXPECT_EQ(cache_lock_count(b), 0);
    sound_play(-1);
    sound_stop();
    EXPECT_EQ(cache_lock_count(junk), 0);
    sound_stop();

    const Bytes bytes = wave(100);
    EXPECT_EQ(io_sound_play_memory(bytes.data(), bytes.size()), 1);
    EXPECT_EQ(io_sound_play_memory(bytes.data(), 20), 0);
    io_sound_done();
    EXPECT_EQ(io_sound_play_memory(bytes.data(), bytes.size()), 0) << "no mixer: nothing plays";
    cache_done();
    dp_done();
}

}  // namespace
