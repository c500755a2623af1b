// Tunes through the mixer on SDL's dummy audio driver: the end of a tune reaching the main
// thread, repeat, replacing a playing tune, and the files and machines that cannot play.
#include "platform/io_sound.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/io_debug.h"
#include "platform/sys.h"
#include "support/fatal_trap.h"
#include "support/files.h"

namespace {

// One quarter-second note: a complete standard MIDI file.
Bytes short_tune() {
    Bytes track = {0x00, 0x90, 60, 100, 0x81, 0x70, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00};
    Bytes file = text_bytes("MThd");
    for (uint8_t b : {0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0})
        file.push_back(b);
    for (uint8_t b : text_bytes("MTrk"))
        file.push_back(b);
    for (int s = 24; s >= 0; s -= 8)
        file.push_back((uint8_t)(track.size() >> s));
    file.insert(file.end(), track.begin(), track.end());
    return file;
}

struct Tunes : ::testing::Test {
    TempDir dir;
    int level = io_debug_level();
    std::string tune = dir / "tune.mid";
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        write_file(tune, short_tune());
        ASSERT_EQ(io_sound_init(), 1);
    }
    void TearDown() override {
        io_sound_done();
        unsetenv("SDL_SOUNDFONTS");
        io_debug_init(level);
    }
    // Hands the next user event (a tune's end) to the platform's dispatcher, as the main loop
    // does; false when none came within a generous bound.
    static bool dispatch_next_end() {
        SDL_Event e;
        for (int tries = 0; tries < 300; tries++) {
            if (!SDL_WaitEventTimeout(&e, 100) || e.type < SDL_USEREVENT) continue;
            sys_dispatch_sdl_event(e);
            return true;
        }
        return false;
    }
    // Runs f with the log on standard error and returns what was logged.
    template <class F>
    std::string logged(F&& f) {
        io_debug_init(2);
        testing::internal::CaptureStderr();
        f();
        return testing::internal::GetCapturedStderr();
    }
};

TEST_F(Tunes, an_ended_tune_plays_again_with_repeat_and_closes_without) {
    ASSERT_EQ(play_midi(tune.c_str(), 1), 1);
    ASSERT_TRUE(dispatch_next_end());
    EXPECT_EQ(midi_playing(), 1) << "repeat opens the remembered tune again";
    midi_set_repeat(0);
    ASSERT_TRUE(dispatch_next_end()) << "the repeated tune plays to its end too";
    EXPECT_EQ(midi_playing(), 0);

    // Direct completions: only code 1 on an open tune counts.
    ASSERT_EQ(play_midi(tune.c_str(), 0), 1);
    midi_completion(2);
    EXPECT_EQ(midi_playing(), 1);
    midi_completion(1);
    EXPECT_EQ(midi_playing(), 0);
    midi_completion(1);
}

TEST_F(Tunes, a_new_tune_replaces_the_playing_one_and_its_stop_report_is_ignored) {
    ASSERT_EQ(play_midi(tune.c_str(), 0), 1);
    ASSERT_EQ(play_midi(tune.c_str(), 0), 1);
    // The first tune's halt was reported at once; that report must not close the second.
    ASSERT_TRUE(dispatch_next_end());
    EXPECT_EQ(midi_playing(), 1);
    ASSERT_TRUE(dispatch_next_end());
    EXPECT_EQ(midi_playing(), 0);

    ASSERT_EQ(play_midi(tune.c_str(), 1), 1);
    EXPECT_EQ(test_midi(tune.c_str()), 1);
    EXPECT_EQ(midi_playing(), 0) << "the test stops the playing tune first";
    ASSERT_TRUE(dispatch_next_end());
    EXPECT_EQ(midi_playing(), 0) << "a stopped tune is not repeated";
}

TEST_F(Tunes, unreadable_files_and_a_missing_soundfont_are_logged_and_refused) {
    Bytes cut = short_tune();
    cut.resize(cut.size() - 4);  // the track chunk runs past the end
    write_file(dir / "cut.mid", cut);
    write_file(dir / "text.mid", text_bytes("just some words\n"));
    write_fuzz_seed("fuzz_midi", "short", short_tune().data(), short_tune().size());
    write_fuzz_seed("fuzz_midi", "cut", cut.data(), cut.size());

    std::string log = logged([&] {
        EXPECT_EQ(play_midi((dir / "none.mid").c_str(), 1), 0);
        EXPECT_EQ(test_midi((dir / "text.mid").c_str()), 0);
        EXPECT_EQ(play_midi((dir / "cut.mid").c_str(), 0), 0);
        EXPECT_EQ(test_midi(dir.path.c_str()), 0);
    });
    EXPECT_EQ(log, "play_midi open: cannot open " + dir.path + "/none.mid: No such file or directory\n" +
                       "test_midi open: " + dir.path + "/text.mid: no MThd header\n" +
                       "play_midi open: " + dir.path + "/cut.mid: chunk runs past the end of the file\n" +
                       "test_midi open: " + dir.path + ": not a MIDI file\n");
    EXPECT_EQ(midi_playing(), 0);

    // Track events: running status, and a data byte with no status before it.
    char why[64];
    const uint8_t running[] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96, 'M', 'T', 'r', 'k',
                               0,   0,   0,   7,   0, 0x90, 60, 9, 0, 62, 9};
    EXPECT_EQ(midi_check(running, sizeof running, why, sizeof why), 1);
    uint8_t orphan[sizeof running];
    std::copy(running, running + sizeof running, orphan);
    orphan[23] = 0x3C;
    EXPECT_EQ(midi_check(orphan, sizeof orphan, why, sizeof why), 0);
    EXPECT_STREQ(why, "data byte without a status");

    // Without a soundfont a well-formed tune passes the test but does not play.
    io_sound_done();
    setenv("SDL_SOUNDFONTS", (dir / "missing.sf2").c_str(), 1);
    std::string silent = logged([&] {
        ASSERT_EQ(io_sound_init(), 1);
        EXPECT_EQ(test_midi(tune.c_str()), 1);
        EXPECT_EQ(play_midi(tune.c_str(), 1), 0);
    });
    EXPECT_NE(silent.find("play_midi open: no General MIDI soundfont"), std::string::npos) << silent;
}

}  // namespace
