// Sound on SDL's dummy audio driver: a tune's end reaching the main thread, repeat, replaced and
// stopped tunes, files and machines that cannot play, and effects cutting each other off.
#include "platform/io_sound.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/io_debug.h"
#include "platform/sys.h"
#include "resources/cache.h"
#include "resources/dp.h"
#include "resources/sound.h"
#include "support/fatal_trap.h"
#include "support/files.h"

namespace {

// One quarter-second note as a standard MIDI file.
const Bytes TUNE = {'M', 'T', 'h', 'd', 0, 0,    0,  6,   0,    0,    0,    1,  1, 0xE0, 'M',  'T',  'r', 'k',
                    0,   0,   0,   13,  0, 0x90, 60, 100, 0x81, 0x70, 0x80, 60, 0, 0,    0xFF, 0x2F, 0};

struct Sound : ::testing::Test {
    TempDir dir;
    std::string tune = dir / "tune.mid";
    int level = io_debug_level();
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        write_file(tune, TUNE);
        ASSERT_EQ(io_sound_init(), 1);
    }
    void TearDown() override {
        io_sound_done();
        unsetenv("SDL_SOUNDFONTS");
        io_debug_init(level);
    }
    // Hands the next user event (a tune's end) to the platform's dispatcher, as the main loop does.
    static bool dispatch_next_end() {
        SDL_Event e;
        for (int tries = 0; tries < 300; tries++)
            if (SDL_WaitEventTimeout(&e, 100) && e.type >= SDL_USEREVENT) {
                sys_dispatch_sdl_event(e);
                return true;
            }
        return false;
    }
    template <class F>
    std::string logged(F&& f) {
        io_debug_init(2);
        testing::internal::CaptureStderr();
        f();
        return testing::internal::GetCapturedStderr();
    }
};

TEST_F(Sound, a_tune_repeats_until_repeat_is_cleared_and_stopped_tunes_report_nothing) {
    ASSERT_EQ(play_midi(tune.c_str(), 1), 1);
    ASSERT_TRUE(dispatch_next_end());
    EXPECT_EQ(midi_playing(), 1) << "repeat opens the remembered tune again";
    midi_set_repeat(0);
    ASSERT_TRUE(dispatch_next_end()) << "the repeated tune plays to its end too";
    EXPECT_EQ(midi_playing(), 0);

    ASSERT_EQ(play_midi(tune.c_str(), 0), 1);
    ASSERT_EQ(play_midi(tune.c_str(), 1), 1);
    ASSERT_TRUE(dispatch_next_end());  // the first tune's halt, reported at once
    EXPECT_EQ(midi_playing(), 1) << "the report of a replaced tune must not close the new one";
    EXPECT_EQ(test_midi(tune.c_str()), 1);
    EXPECT_EQ(midi_playing(), 0) << "the test stops the playing tune first";
    ASSERT_TRUE(dispatch_next_end());
    EXPECT_EQ(midi_playing(), 0) << "a stopped tune is not repeated";
}

TEST_F(Sound, unreadable_tunes_and_a_missing_soundfont_are_logged_and_refused) {
    Bytes cut = TUNE;
    cut.resize(cut.size() - 4);
    write_file(dir / "cut.mid", cut);
    write_file(dir / "text.mid", text_bytes("just words\n"));
    write_fuzz_seed("fuzz_midi", "tune", TUNE.data(), TUNE.size());
    const std::string log = logged([&] {
        EXPECT_EQ(play_midi((dir / "none.mid").c_str(), 1), 0);
        EXPECT_EQ(test_midi((dir / "text.mid").c_str()), 0);
        EXPECT_EQ(play_midi((dir / "cut.mid").c_str(), 0), 0);
        EXPECT_EQ(test_midi(dir.path.c_str()), 0);
    });
    EXPECT_EQ(log, "play_midi open: cannot open " + dir.path + "/none.mid: No such file or directory\n" +
                       "test_midi open: " + dir.path + "/text.mid: no MThd header\n" +
                       "play_midi open: " + dir.path + "/cut.mid: chunk runs past the end of the file\n" +
                       "test_midi open: " + dir.path + ": not a MIDI file\n");

    io_sound_done();
    setenv("SDL_SOUNDFONTS", (dir / "missing.sf2").c_str(), 1);
    const std::string silent = logged([&] {
        ASSERT_EQ(io_sound_init(), 1);
        EXPECT_EQ(test_midi(tune.c_str()), 1) << "a well-formed tune passes where it cannot play";
        EXPECT_EQ(play_midi(tune.c_str(), 1), 0);
    });
    EXPECT_NE(silent.find("play_midi open: no General MIDI soundfont"), std::string::npos) << silent;
}

TEST_F(Sound, a_new_effect_cuts_the_last_and_moves_the_cache_lock) {
    Bytes wave = text_bytes("RIFF");
    put32(&wave, 36 + 400);
    for (uint32_t v : {0x45564157u, 0x20746D66u, 16u, 0x10001u, 22050u, 44100u, 0x100002u, 0x61746164u, 400u})
        put32(&wave, v);  // "WAVE", "fmt ", PCM mono 16-bit, "data"
    wave.resize(wave.size() + 400);
    write_file(dir / "a.wav", wave);
    write_file(dir / "junk.wav", text_bytes("not a wave"));
    dp_done();
    dp_open(dir.path + "@");
    cache_init();
    sound_reset();
    const int a = sound_precache("a.wav"), junk = sound_precache("junk.wav");
    sound_play(a);
    sound_play(a);
    EXPECT_EQ(cache_lock_count(a), 1) << "the same wave again holds one lock";
    sound_play(junk);  // cannot play, yet replaces the current sound
    EXPECT_EQ(cache_lock_count(a), 0);
    sound_stop();
    EXPECT_EQ(cache_lock_count(junk), 0);
    EXPECT_EQ(io_sound_play_memory(wave.data(), 20), 0);
    io_sound_done();
    EXPECT_EQ(io_sound_play_memory(wave.data(), wave.size()), 0) << "no mixer: nothing plays";
    cache_done();
    dp_done();
}

}  // namespace
