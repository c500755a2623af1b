// The force-feedback plug-in with the recording stand-in: where it is found, when it is loaded,
// how it is switched, what reaches it, and the settings key that keeps it off.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "platform/io_ff.h"
#include "platform/io_file.h"
#include "support/files.h"

namespace {

// A game folder, a folder standing for the library path, and the stand-in's record of its calls.
struct FeedbackFixture : ::testing::Test {
    TempDir game, libs, logs;
    void SetUp() override {
        io_set_start_folder(game.path.c_str());
        setenv("LUMAVEX_FF_LOG", (logs / "calls").c_str(), 1);
        unsetenv("LUMAVEX_FF_INIT_RESULT");
        const char* path = std::getenv("LD_LIBRARY_PATH");
        saved_path = path ? path : "";
        setenv("LD_LIBRARY_PATH", libs.path.c_str(), 1);
    }
    void TearDown() override {
        io_ff_unload();
        setenv("LD_LIBRARY_PATH", saved_path.c_str(), 1);
        unsetenv("LUMAVEX_FF_LOG");
        unsetenv("LUMAVEX_FF_INIT_RESULT");
        io_set_start_folder("");
    }
    static void put(const std::string& folder, const std::string& built) {
        const std::string name = built.substr(built.rfind('/') + 1);
        write_file(folder + "/" + name, read_file(std::string(LUMAVEX_PLUGIN_DIR) + "/" + built));
    }
    std::vector<std::string> calls() {
        const Bytes b = read_file(logs / "calls");
        std::istringstream in(std::string(b.begin(), b.end()));
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        std::remove((logs / "calls").c_str());
        return lines;
    }
    static void every_call() {
        const int rect[4] = {10, 20, 190, 52}, size[2] = {1024, 768};
        io_ff_pop(3000);
        io_ff_bound_set(rect, size);
        io_ff_bound_start();
        io_ff_bound_stop();
        io_ff_applause();
    }
    std::string saved_path;
};

using Calls = std::vector<std::string>;

TEST_F(FeedbackFixture, both_libraries_are_needed_in_the_game_folder_or_on_the_library_path) {
    EXPECT_EQ(io_ff_detect(), 0);
    put(game.path, "libfbmouse.so");
    EXPECT_EQ(io_ff_detect(), 0);
    EXPECT_EQ(io_ff_load(), 0) << "never loaded without its companion";
    EXPECT_TRUE(calls().empty());

    put(libs.path, "libifc21.so");
    EXPECT_EQ(io_ff_detect(), 1);
    ASSERT_EQ(io_ff_load(), 1);
    EXPECT_EQ(io_ff_load(), 1);
    EXPECT_EQ(calls(), (Calls{"loaded"})) << "loaded once";
    io_ff_unload();
    EXPECT_EQ(calls(), (Calls{"unloaded"}));

    // Both on the library path, none in the game folder.
    std::remove((game / "libfbmouse.so").c_str());
    put(libs.path, "libfbmouse.so");
    EXPECT_EQ(io_ff_detect(), 1);
    EXPECT_EQ(io_ff_load(), 1);
}

TEST_F(FeedbackFixture, a_plugin_without_its_start_up_or_refusing_to_start_gives_no_feedback) {
    put(game.path, "libifc21.so");
    put(game.path, "noinit/libfbmouse.so");
    EXPECT_EQ(io_ff_load(), 0);
    io_ff_switch(1);
    every_call();
    EXPECT_EQ(io_ff_state(), 0);
    EXPECT_EQ(calls(), (Calls{"loaded", "unloaded"})) << "freed again at once";

    put(game.path, "libfbmouse.so");
    setenv("LUMAVEX_FF_INIT_RESULT", "0", 1);
    ASSERT_EQ(io_ff_load(), 1);
    io_ff_switch(1);
    EXPECT_EQ(io_ff_state(), 0);
    every_call();
    io_ff_unload();
    EXPECT_EQ(calls(), (Calls{"loaded", "fbmouse_init 0 0 -> 0", "unloaded"}));
}

TEST_F(FeedbackFixture, calls_reach_the_plugin_only_while_it_is_switched_on) {
    put(game.path, "libifc21.so");
    put(game.path, "libfbmouse.so");
    io_ff_switch(1);  // not loaded yet: nothing to switch
    every_call();
    ASSERT_EQ(io_ff_load(), 1);
    every_call();
    setenv("LUMAVEX_FF_INIT_RESULT", "7", 1);
    io_ff_switch(1);
    io_ff_switch(1);
    EXPECT_EQ(io_ff_state(), 7);
    every_call();
    io_ff_switch(0);
    io_ff_switch(0);
    every_call();
    io_ff_switch(1);
    io_ff_unload();
    EXPECT_EQ(io_ff_state(), 0);
    every_call();
    EXPECT_EQ(calls(), (Calls{"loaded", "fbmouse_init 0 0 -> 7", "fbmouse_pop_start 3000",
                              "fbmouse_bound_set 10 20 190 52 1024 768", "fbmouse_bound_start", "fbmouse_bound_stop",
                              "fbmouse_applause_start", "fbmouse_done", "fbmouse_init 0 0 -> 7", "fbmouse_done",
                              "unloaded"}));
}

TEST_F(FeedbackFixture, only_a_setting_of_exactly_zero_keeps_the_feedback_off) {
    EXPECT_EQ(io_ff_wanted("config.ini"), 1) << "no settings file";
    int n = 0;
    for (auto [value, wanted] : {std::pair{"0", 0}, {"1", 1}, {"00", 1}, {" 0 ", 0}, {"", 1}, {"off", 1}}) {
        const std::string ini = "config" + std::to_string(n++) + ".ini";
        write_file(game / ini, text_bytes("[Main]\nfeedbacksupport=" + std::string(value) + "\n"));
        EXPECT_EQ(io_ff_wanted(ini.c_str()), wanted) << "'" << value << "'";
    }
    write_file(game / "config.ini", text_bytes("[MAIN]\nOldScreenSize=1024 768\n"));
    EXPECT_EQ(io_ff_wanted("config.ini"), 1) << "no key";
}

}  // namespace
