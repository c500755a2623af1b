// tests/e2e/ff_test.cpp -- the force-feedback mouse in the headless game, with the recording
// stand-in plug-in beside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/store_game.h"
#include "gui/slider.h"
#include "platform/io_ini.h"

namespace {

using namespace e2e;
using Calls = std::vector<std::string>;

const std::string NEW_BOX = at(78, 104), EDIT = at(357, 80), CANCEL = at(949, 740);
const std::string BOX = at(slot(0).x + 40, slot(0).y + 40);

// Sunset Lake on the shelf, the plug-in and its companion beside the game, calls in "ff.log".
struct FeedbackGame : StoreGame {
    FeedbackGame() : StoreGame({"Sunset Lake"}) {
        std::system(("cp " LUMAVEX_PLUGIN_DIR "/*.so '" + dir + "/'").c_str());
        setenv("LUMAVEX_FF_LOG", (dir + "/ff.log").c_str(), 1);
        arrange({{"Sunset Lake", slot(0)}});
    }
    ~FeedbackGame() { unsetenv("LUMAVEX_FF_LOG"); }
    // The calls of one run, hover pops left out unless asked for.
    Calls run(const std::string& script, bool hovers = false) {
        EXPECT_EQ(play(script), 0) << file("stderr.txt");
        Calls lines;
        std::istringstream in(file("ff.log"));
        for (std::string line; std::getline(in, line);)
            if (hovers || line != "fbmouse_pop_start 3000") lines.push_back(line);
        std::remove((dir + "/ff.log").c_str());
        return lines;
    }
};

}  // namespace

TEST(ff, hovers_slider_drags_joins_and_the_finish_reach_the_plugin_in_order) {
    FeedbackGame g;
    EXPECT_EQ(
        g.run("2 move " + NEW_BOX + "\n+5 quit\n", true),
        (Calls{"loaded", "fbmouse_init 0 0 -> 1", "fbmouse_pop_start 3000", "fbmouse_done", "unloaded"}));

    // The irregularity slider of the box being edited, its thumb dragged: the mouse is held in the
    // slider's screen rectangle on the 1024 x 768 screen.
    BoxRecord record;
    ASSERT_TRUE(g.record("Sunset Lake", &record));
    const int thumb = 250 + slider_thumb_x(0, BOX_IRREGULARITY_MAX, record.irregularity, 44, 180 - 44);
    EXPECT_EQ(g.run("2 click " + BOX + " left\n+20 click " + EDIT + " left\n+10 drag " + at(thumb, 138) +
                    " " + at(thumb + 30, 138) + " 6\n+5 click " + CANCEL + " left\n+5 key enter\n+5 quit\n"),
              (Calls{"loaded", "fbmouse_init 0 0 -> 1", "fbmouse_bound_set 250 124 430 156 1024 768",
                     "fbmouse_bound_start", "fbmouse_bound_stop", "fbmouse_done", "unloaded"}));

    // Played to the end: only joins, then the applause once.
    const Calls played =
        g.run("2 click " + BOX + " left\n+3 click " + BOX + " left\n+5 autosolve\n+30 key enter\n+5 quit\n");
    const auto applause = std::find(played.begin(), played.end(), "fbmouse_applause_start");
    ASSERT_NE(applause, played.end());
    EXPECT_GT(applause - played.begin(), 2);
    EXPECT_EQ(std::count(played.begin() + 2, applause, "fbmouse_pop_start 5000"),
              applause - played.begin() - 2);
    EXPECT_EQ(Calls(applause + 1, played.end()), (Calls{"fbmouse_done", "unloaded"}));
}

TEST(ff, a_plugin_switched_off_refusing_or_incomplete_stays_silent_and_needs_its_companion) {
    FeedbackGame g;
    const std::string hover = "2 move " + NEW_BOX + "\n+5 move 600 600\n+5 move " + NEW_BOX + "\n+5 quit\n";
    g.write(CONFIG_INI, "[MAIN]\nOldScreenSize=1024 768\nFeedBackSupport=0\n");
    EXPECT_EQ(g.run(hover, true), (Calls{"loaded", "unloaded"}));
    g.write(CONFIG_INI, "[MAIN]\nOldScreenSize=1024 768\nFeedBackSupport=00\n");
    EXPECT_EQ(g.run(hover).size(), 4u) << "only exactly 0 is off";

    setenv("LUMAVEX_FF_INIT_RESULT", "0", 1);
    EXPECT_EQ(g.run(hover, true), (Calls{"loaded", "fbmouse_init 0 0 -> 0", "unloaded"}));
    unsetenv("LUMAVEX_FF_INIT_RESULT");
    std::system(("cp " LUMAVEX_PLUGIN_DIR "/noinit/libfbmouse.so '" + g.dir + "/'").c_str());
    EXPECT_EQ(g.run(hover, true), (Calls{"loaded", "unloaded"}));

    std::remove((g.dir + "/libifc21.so").c_str());
    EXPECT_TRUE(g.run(hover, true).empty());
}
