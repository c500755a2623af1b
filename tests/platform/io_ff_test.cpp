// The force-feedback plug-in with the recording stand-in: where it is looked for, and which calls
// reach it as it is switched on and off.
#include "platform/io_ff.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "platform/io_file.h"
#include "support/files.h"

namespace {

using Calls = std::vector<std::string>;

// A game folder, a folder on the library path, and the stand-in's record of its calls.
struct FeedbackFixture : ::testing::Test {
    TempDir game, libs, logs;
    std::string saved_path;
    void SetUp() override {
        io_set_start_folder(game.path.c_str());
        setenv("LUMAVEX_FF_LOG", (logs / "calls").c_str(), 1);
        const char* path = std::getenv("LD_LIBRARY_PATH");
        saved_path = path ? path : "";
        setenv("LD_LIBRARY_PATH", libs.path.c_str(), 1);  // read at each search, not at start
    }
    void TearDown() override {
        io_ff_unload();
        setenv("LD_LIBRARY_PATH", saved_path.c_str(), 1);
        unsetenv("LUMAVEX_FF_LOG");
        unsetenv("LUMAVEX_FF_INIT_RESULT");
        io_set_start_folder("");
    }
    static void put(const std::string& folder, const char* name) {
        write_file(folder + "/" + name, read_file(std::string(LUMAVEX_PLUGIN_DIR) + "/" + name));
    }
    Calls calls() {
        const Bytes b = read_file(logs / "calls");
        std::istringstream in(std::string(b.begin(), b.end()));
        Calls lines;
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
};

TEST_F(FeedbackFixture, both_libraries_are_needed_in_the_game_folder_or_on_the_library_path) {
    put(game.path, "libfbmouse.so");
    EXPECT_EQ(io_ff_detect(), 0);
    EXPECT_EQ(io_ff_load(), 0);
    EXPECT_TRUE(calls().empty()) << "never loaded without its companion";

    put(libs.path, "libifc21.so");
    EXPECT_EQ(io_ff_detect(), 1);
    ASSERT_EQ(io_ff_load(), 1);
    EXPECT_EQ(io_ff_load(), 1);
    io_ff_unload();
    EXPECT_EQ(calls(), (Calls{"loaded", "unloaded"})) << "loaded once, by the path found";
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
                              "fbmouse_bound_set 10 20 190 52 1024 768", "fbmouse_bound_start",
                              "fbmouse_bound_stop", "fbmouse_applause_start", "fbmouse_done",
                              "fbmouse_init 0 0 -> 7", "fbmouse_done", "unloaded"}));
}

}  // namespace
