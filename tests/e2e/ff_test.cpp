// tests/e2e/ff_test.cpp -- the force-feedback mouse in the headless game, with the recording
// stand-in plug-in and its companion copied into the game folder: the calls a hover, a slider's
// thumb dragged and let go, joins and a finished puzzle make, and the cases where the plug-in
// stays silent (switched off in the settings) or is never loaded (the companion is missing).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/store_game.h"
#include "gui/slider.h"
#include "puzzle/box.h"

namespace {

using e2e::at;
using e2e::slot;
using e2e::StoreGame;

const std::string NEW_BOX = at(78, 104), EDIT = at(357, 80), CANCEL = at(949, 740);

// A game whose folder holds the plug-in; every call into it is written to "ff.log" there.
struct FeedbackGame : StoreGame {
    explicit FeedbackGame(const char* box) : StoreGame({box}) {
        for (const char* lib : {"libfbmouse.so", "libifc21.so"})
            std::system(("cp '" LUMAVEX_PLUGIN_DIR "/" + std::string(lib) + "' '" + dir + "/'").c_str());
        setenv("LUMAVEX_FF_LOG", (dir + "/ff.log").c_str(), 1);
        arrange({{box, slot(0)}});
    }
    ~FeedbackGame() { unsetenv("LUMAVEX_FF_LOG"); }
    std::vector<std::string> calls() {
        std::vector<std::string> lines;
        std::istringstream in(file("ff.log"));
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        std::system(("rm -f '" + dir + "/ff.log'").c_str());
        return lines;
    }
};

std::vector<std::string> without_hovers(std::vector<std::string> calls) {
    calls.erase(std::remove(calls.begin(), calls.end(), "fbmouse_pop_start 3000"), calls.end());
    return calls;
}

}  // namespace

TEST(ff, hovers_slider_drags_joins_and_the_finish_reach_the_plugin_in_order) {
    FeedbackGame g("Tulip Fields");
    const std::string box = at(slot(0).x + 40, slot(0).y + 40);

    // A hover over the new-box button: the plug-in is started with null arguments, then pops.
    ASSERT_EQ(g.play("2 move " + NEW_BOX + "\n+5 quit\n"), 0) << g.file("stderr.txt");
    EXPECT_EQ(g.calls(), (std::vector<std::string>{"loaded", "fbmouse_init 0 0 -> 1", "fbmouse_pop_start 3000",
                                                   "fbmouse_done", "unloaded"}));

    // The irregularity slider of the box being edited: its thumb dragged to the right and let go.
    // The mouse is held in the slider's own screen rectangle on the 1024 x 768 screen.
    box_set_folder((g.dir + "/puzzles").c_str());
    FileStamp stamp;
    BoxRecord record;
    ASSERT_EQ(box_read("Tulip Fields", &stamp, &record, 0), 1);
    box_set_folder(nullptr);
    const int left = 250, top = 124, right = 430;  // the pieces window's second slider
    const int thumb = left + slider_thumb_x(0, BOX_IRREGULARITY_MAX, record.irregularity, 44, right - left - 44);
    ASSERT_EQ(g.play("2 click " + box + " left\n+20 click " + EDIT + " left\n+10 drag " + at(thumb, top + 14) +
                     " " + at(thumb + 30, top + 14) + " 6\n+5 click " + CANCEL + " left\n+5 key enter\n+5 quit\n"),
              0)
        << g.file("stderr.txt");
    EXPECT_EQ(without_hovers(g.calls()),
              (std::vector<std::string>{"loaded", "fbmouse_init 0 0 -> 1", "fbmouse_bound_set 250 124 430 156 1024 768",
                                        "fbmouse_bound_start", "fbmouse_bound_stop", "fbmouse_done", "unloaded"}));

    // Played to the end: a pop for each join, then the applause once.
    ASSERT_EQ(g.play("2 click " + box + " left\n+3 click " + box + " left\n+5 autosolve\n+30 key enter\n+5 quit\n"),
              0)
        << g.file("stderr.txt");
    const std::vector<std::string> played = without_hovers(g.calls());
    ASSERT_GE(played.size(), 6u);
    EXPECT_EQ(played[1], "fbmouse_init 0 0 -> 1");
    const auto applause = std::find(played.begin(), played.end(), "fbmouse_applause_start");
    ASSERT_NE(applause, played.end());
    EXPECT_EQ(std::count(played.begin(), played.end(), "fbmouse_applause_start"), 1);
    const long joins = std::count(played.begin(), applause, "fbmouse_pop_start 5000");
    EXPECT_EQ(joins + 2, applause - played.begin()) << "only joins between the start and the applause";
    EXPECT_GT(joins, 0);
    EXPECT_EQ(std::vector<std::string>(applause + 1, played.end()),
              (std::vector<std::string>{"fbmouse_done", "unloaded"}));
}

TEST(ff, the_plugin_stays_silent_when_switched_off_and_is_not_loaded_without_its_companion) {
    FeedbackGame g("Sunset Lake");
    g.write("sfiles/config.ini", "[MAIN]\nOldScreenSize=1024 768\nFeedBackSupport=0\n");
    const std::string hover = "2 move " + NEW_BOX + "\n+5 move 600 600\n+5 move " + NEW_BOX + "\n+5 quit\n";
    ASSERT_EQ(g.play(hover), 0) << g.file("stderr.txt");
    EXPECT_EQ(g.calls(), (std::vector<std::string>{"loaded", "unloaded"}));

    // Any other value, even a damaged one, leaves the feedback on.
    g.write("sfiles/config.ini", "[MAIN]\nOldScreenSize=1024 768\nFeedBackSupport=00\n");
    ASSERT_EQ(g.play(hover), 0);
    EXPECT_EQ(without_hovers(g.calls()).size(), 4u);

    std::system(("rm '" + g.dir + "/libifc21.so'").c_str());
    ASSERT_EQ(g.play(hover), 0);
    EXPECT_TRUE(g.calls().empty());
}
