// tests/e2e/ff_test.cpp -- the force-feedback mouse in the headless game, with the recording
// stand-in plug-in beside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>
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

// The 20-byte layout entry of a piece in a quick save: x, y (from the desk centre), lift, angle,
// group; 0 beyond the layout.
int32_t field(const std::string& save, int piece, int k) {
    const std::string layout = chunk(save, 100);
    int32_t v = 0;
    if (layout.size() >= 20 * (size_t)piece + 4 * (size_t)k + 4)
        std::memcpy(&v, layout.data() + 20 * piece + 4 * k, 4);
    return v;
}

// The rightmost piece of a quick save (the first of its column).
int rightmost(const std::string& save) {
    int best = 0;
    for (int i = 1; (size_t)i < chunk(save, 100).size() / 20; i++)
        if (field(save, i, 0) > field(save, best, 0)) best = i;
    return best;
}

// A finished desk's quick save with every join undone and no date, and the piece moved right by
// dx: every other piece still lies exactly in its place, so the put-down that brings the piece
// back joins them all and finishes the puzzle.
std::string undone(std::string save, int piece, int dx) {
    for (size_t at = 24; at + 8 <= save.size();) {
        uint32_t head[2];
        std::memcpy(head, save.data() + at, 8);
        if (at + 8 + head[1] > save.size()) break;
        char* data = save.data() + at + 8;
        if (head[0] == 2 || head[0] == 3) std::memset(data, 0, head[1]);
        for (uint32_t k = 16; head[0] == 100 && k + 4 <= head[1]; k += 20)
            std::memset(data + k, 0xFF, 4);  // group -1
        if (head[0] == 100 && 20 * (uint32_t)piece + 4 <= head[1]) {
            int32_t x;
            std::memcpy(&x, data + 20 * piece, 4);
            x += dx;
            std::memcpy(data + 20 * piece, &x, 4);
        }
        at += 8 + head[1];
    }
    return save;
}

// A point on the body of a piece of a 100-pixel, unturned puzzle on the 1024 x 768 desk, moved
// right by dx.
std::string piece_point(const std::string& save, int piece, int dx = 0) {
    return at(512 + field(save, piece, 0) + 65 + dx, 384 + field(save, piece, 1) + 65);
}

// How many groups the saved desk holds (loose pieces count one each).
size_t groups(const std::string& save) {
    const std::string layout = chunk(save, 100);
    std::set<int32_t> seen;
    int loose = 0;
    for (size_t at = 0; at + 20 <= layout.size(); at += 20) {
        int32_t g;
        std::memcpy(&g, layout.data() + at + 16, 4);
        g == -1 ? (void)loose++ : (void)seen.insert(g);
    }
    return seen.size() + loose;
}

}  // namespace

TEST(ff, hovers_slider_drags_joins_and_the_finish_reach_the_plugin_in_order) {
    FeedbackGame g;
    EXPECT_EQ(
        g.run("2 move " + NEW_BOX + "\n+5 quit\n", true),
        (Calls{"loaded", "fbmouse_init 0 0 -> 1", "fbmouse_pop_start 3000", "fbmouse_done", "unloaded"}));

    // The irregularity slider of the box being edited (240 wide, 140 down), its thumb dragged: the
    // mouse is held in the slider's screen rectangle on the 1024 x 768 screen.
    BoxRecord record;
    ASSERT_TRUE(g.record("Sunset Lake", &record));
    const int thumb = 250 + slider_thumb_x(0, BOX_IRREGULARITY_MAX, record.irregularity, 44, 240 - 44);
    EXPECT_EQ(g.run("2 click " + BOX + " left\n+20 click " + EDIT + " left\n+10 drag " + at(thumb, 158) +
                    " " + at(thumb + 30, 158) + " 6\n+5 click " + CANCEL + " left\n+5 key enter\n+5 quit\n"),
              (Calls{"loaded", "fbmouse_init 0 0 -> 1", "fbmouse_bound_set 250 140 490 172 1024 768",
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

TEST(ff, the_drop_that_finishes_pops_and_applauds_and_the_games_end_puts_down_silently) {
    FeedbackGame g;
    const std::string open = "2 click " + BOX + " left\n+3 click " + BOX + " left\n";
    ASSERT_EQ(g.run(open + "+5 autosolve\n+30 key enter\n+5 quit\n").back(), "unloaded");
    const std::string save = "sfiles/qs/Sunset Lake.qsv", solved = g.file(save);
    ASSERT_EQ((std::pair{percent(g, "Sunset Lake"), groups(solved)}), (std::pair{100, (size_t)1}));
    // The rightmost piece starts 200 pixels right of its place, on the desk beyond the puzzle:
    // a quick click leaves it on the mouse, the pointer brings it back.
    const int piece = rightmost(solved);
    const std::string carry = "+20 click " + piece_point(solved, piece, 200) + " left\n+2 move " +
                              piece_point(solved, piece) + "\n";
    const Calls quiet = {"loaded", "fbmouse_init 0 0 -> 1", "fbmouse_done", "unloaded"};

    // Quitting with the piece on the mouse puts it down in its place, which finishes the puzzle.
    g.write(save, undone(solved, piece, 200));
    EXPECT_EQ(g.run(open + carry + "+5 quit\n"), quiet);
    EXPECT_EQ((std::pair{percent(g, "Sunset Lake"), groups(g.file(save))}), (std::pair{100, (size_t)1}));

    // Dropped by the next click instead: one pop for the joins, the applause, then the message
    // that Enter closes.
    g.write(save, undone(solved, piece, 200));
    EXPECT_EQ(
        g.run(open + carry + "+5 click " + piece_point(solved, piece) + " left\n+10 key enter\n+5 quit\n"),
        (Calls{"loaded", "fbmouse_init 0 0 -> 1", "fbmouse_pop_start 5000", "fbmouse_applause_start",
               "fbmouse_done", "unloaded"}));
    EXPECT_EQ((std::pair{percent(g, "Sunset Lake"), groups(g.file(save))}), (std::pair{100, (size_t)1}));

    // Not carried back, the piece stays apart however the game ends.
    g.write(save, undone(solved, piece, 200));
    EXPECT_EQ(g.run(open + "+20 click " + piece_point(solved, piece, 200) + " left\n+5 quit\n"), quiet);
    EXPECT_EQ(groups(g.file(save)), (size_t)2);
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
