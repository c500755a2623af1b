// tests/e2e/desktop_test.cpp -- the game's window as a desktop window, headless: resized in the
// middle of a game (also to a tiny window and back) it keeps every piece on the desk and the game
// saves and reopens; both video drivers give the same frames; a display without any way to show
// the window gives the game's message and ends.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "tests/e2e/game_run.h"

namespace {

using namespace e2e;

constexpr const char* BOX = "Sunset Lake";

// Every piece of a quick save laid out on a desk of w x h: its top-left no further off the desk
// than a piece image reaches (the piece's centre is on it).
int pieces_off_desk(const std::string& save, int w, int h) {
    const std::string layout = chunk(save, 100);
    int off = 0;
    for (size_t at = 0; at + 20 <= layout.size(); at += 20) {
        int32_t x, y;
        std::memcpy(&x, layout.data() + at, 4);
        std::memcpy(&y, layout.data() + at + 4, 4);
        x += w / 2, y += h / 2;
        off += x < -200 || x > w || y < -200 || y > h;
    }
    return off;
}

struct Desktop : Game {
    Desktop() { copy_boxes({BOX}); }
    int play(const std::string& script, const std::string& window = "1024x768",
             const std::string& driver = "") {
        write("s.txt", script);
        std::vector<std::string> args = {"--headless", "--window", window, "--script", "s.txt"};
        if (!driver.empty()) args.insert(args.end(), {"-videodriver", driver});
        args.push_back(std::string("puzzles/") + BOX + ".pzl");
        return run(args);
    }
    std::string save() { return file(std::string("sfiles/qs/") + BOX + ".qsv"); }
};

TEST(desktop_window, a_game_resized_while_it_is_played_keeps_every_piece_and_saves_and_reopens) {
    Desktop g;
    // A piece carried across the desk, the window made wider, tiny (the frame stays 640 x 480),
    // then 800 x 600; the play room and, after leaving, the store room at that size.
    ASSERT_EQ(g.play("3 drag 512 400 300 300 10\n"
                     "+5 resize 1280 720\n+3 snap wide.png\n"
                     "+1 resize 200 150\n+3 snap tiny.png\n"
                     "+1 resize 800 600\n+3 snap play.png\n"
                     "+1 key escape\n+5 snap store.png\n+1 quit\n"),
              0)
        << g.file("stderr.txt");
    EXPECT_EQ(png_size(g.file("wide.png")), std::make_pair(1280, 720));
    EXPECT_EQ(png_size(g.file("tiny.png")), std::make_pair(640, 480));
    EXPECT_EQ(png_size(g.file("play.png")), std::make_pair(800, 600));
    EXPECT_EQ(png_size(g.file("store.png")), std::make_pair(800, 600));
    const std::string first = g.save();
    ASSERT_GT(chunk_i32(first, 4), 0) << "saved";
    EXPECT_EQ(pieces_off_desk(first, 800, 600), 0);

    // Reopened in a window of that size, the layout is the one saved.
    ASSERT_EQ(g.play("5 quit\n", "800x600"), 0) << g.file("stderr.txt");
    EXPECT_EQ(chunk(g.save(), 100), chunk(first, 100));
    EXPECT_EQ(chunk(g.save(), 101), chunk(first, 101));
    // Started in a larger window and made that size again: the same places once more.
    ASSERT_EQ(g.play("5 resize 800 600\n+3 quit\n", "1024x768"), 0) << g.file("stderr.txt");
    EXPECT_EQ(chunk(g.save(), 100), chunk(first, 100));
}

TEST(desktop_window, both_video_drivers_give_the_same_frames_before_and_after_a_resize) {
    Desktop g;
    const std::string script =
        "3 snap a.png\n+1 drag 500 400 600 450 6\n+3 snap b.png\n"
        "+1 resize 1040 720\n+3 snap c.png\n+1 quit\n";
    std::string frames[2][3];
    for (int d = 0; d < 2; d++) {
        std::system(("rm -rf '" + g.dir + "/sfiles'").c_str());  // each starts from the same desk
        ASSERT_EQ(g.play(script, "1024x768", d == 0 ? "1" : "2"), 0) << g.file("stderr.txt");
        for (int k = 0; k < 3; k++)
            frames[d][k] = g.file(std::string(1, (char)('a' + k)) + ".png");
    }
    for (int k = 0; k < 3; k++) {
        EXPECT_FALSE(frames[0][k].empty()) << k;
        EXPECT_TRUE(frames[0][k] == frames[1][k]) << "frame " << k;
    }
    EXPECT_EQ(png_size(frames[0][2]), std::make_pair(1040, 720));
}

// The minimise corner takes its press before the room under it, in the play room and in the
// store; a press beside it is the room's.
TEST(desktop_window, the_minimise_corner_is_pressed_over_every_room) {
    Desktop g;
    g.write("s.txt",
            "5 click 1014 8 left\n+5 key escape\n+10 click 1014 8 left\n+5 click 990 8 left\n+5 quit\n");
    ASSERT_EQ(g.run({"--headless", "--window", "1024x768", "--script", "s.txt", "-debug", "1",
                     std::string("puzzles/") + BOX + ".pzl"}),
              0)
        << g.file("stderr.txt");
    const std::string log = g.file("application.log");
    int minimised = 0;
    for (size_t at = log.find("sys: the window is minimised"); at != std::string::npos;
         at = log.find("sys: the window is minimised", at + 1))
        minimised++;
    EXPECT_EQ(minimised, 2) << log;
}

TEST(desktop_window, a_display_that_cannot_be_opened_gives_the_message_and_ends) {
    Game g;
    g.env = {{"SDL_VIDEODRIVER", "x11"}, {"DISPLAY", ":9876"}};  // no X server there
    EXPECT_EQ(g.run({"--window", "800x600"}), 1);
    const std::string err = g.file("stderr.txt");
    EXPECT_NE(err.find("cannot open its window"), std::string::npos) << err;
}

}  // namespace
