// The play room on the headless game: the faint picture and the picture window from the keys,
// their settings kept in config.ini, and a box that keeps its picture a surprise.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "e2e/game_run.h"
#include "e2e/store_game.h"
#include "platform/io_ini.h"

namespace {

using namespace e2e;

// A sample box copied into the game's puzzles folder; its path for the command line.
std::string with_box(Game& g, const std::string& name) {
    g.copy_boxes({name});
    return "puzzles/" + name + ".pzl";
}

TEST(play_room, faint_picture_and_picture_window_keys_are_kept_for_the_next_run) {
    Game g;
    const std::string box = with_box(g, "Sunset Lake");  // a 600 x 400 grid region
    g.write("s.txt",
            "3 key g\n+1 key p\n+1 key tab\n+1 key kpminus\n"                              // stays at 0
            "+1 key kpplus\n+1 key kpplus\n+1 key kpplus\n+1 key kpplus\n+1 key kpplus\n"  // stops at 4
            "+1 key kpminus\n+1 key kpminus\n+1 key kpminus\n+2 quit\n");
    ASSERT_EQ(g.run({"--headless", "--script", "s.txt", box}), 0) << g.file("stderr.txt");
    std::string ini = g.file(CONFIG_INI);
    EXPECT_EQ(ini_value(ini, "GhostVisible"), "1") << ini;
    EXPECT_EQ(ini_value(ini, "PictureIZoom"), "1");
    // Step 1: 128 + (600 - 128) / 4 = 246 by 246 * 400 / 600 = 164, plus the frame, the title
    // and the strip. Each growth would move the window up into the control panel (20, 50 to
    // 214, 188), so it stays 4 pixels below it at y 192; each shrink moves it down by the height
    // it loses (79, 79, 78), so it ends at y 428.
    EXPECT_EQ(ini_value(ini, "PictureWin"), "20 428 256 210 1 0");
    EXPECT_EQ(ini_value(ini, "CPanelWin").substr(0, 6), "20 50 ");

    // The next run starts from them; the size keys do nothing while the window is hidden.
    g.write("s.txt", "3 key p\n+1 key kpplus\n+1 key kpminus\n+1 key kpminus\n+1 quit\n");
    ASSERT_EQ(g.run({"--headless", "--script", "s.txt", box}), 0) << g.file("stderr.txt");
    ini = g.file(CONFIG_INI);
    EXPECT_EQ(ini_value(ini, "GhostVisible"), "1") << ini;
    EXPECT_EQ(ini_value(ini, "PictureIZoom"), "1");
    EXPECT_EQ(ini_value(ini, "PictureWin"), "20 428 256 210 0 0");
}

// At its largest step the picture window of a picture fitted to the desk still lies on the
// screen, off the control panel, and the step is kept with the box: a box with no step of its
// own starts at the default, the box that has one at its own.
TEST(play_room, the_largest_picture_window_fits_beside_the_panel_and_each_box_keeps_its_step) {
    Game g;
    const std::string big = with_box(g, "Tulip Fields"), lake = with_box(g, "Sunset Lake");
    g.write("s.txt", "3 key kpplus\n+1 key kpplus\n+1 key kpplus\n+1 key kpplus\n+1 key kpplus\n+2 quit\n");
    ASSERT_EQ(g.run({"--headless", "--script", "s.txt", big}), 0) << g.file("stderr.txt");
    std::string ini = g.file(CONFIG_INI);
    int x, y, w, h, px, py, pw, ph;
    ASSERT_EQ(std::sscanf(ini_value(ini, "PictureWin").c_str(), "%d %d %d %d", &x, &y, &w, &h), 4);
    ASSERT_EQ(std::sscanf(ini_value(ini, "CPanelWin").c_str(), "%d %d %d %d", &px, &py, &pw, &ph), 4);
    EXPECT_TRUE(x >= 0 && y >= 20 && x + w <= 1024 && y + h <= 768) << ini_value(ini, "PictureWin");
    EXPECT_FALSE(x < px + pw && x + w > px && y < py + ph && y + h > py) << "over the panel";
    const std::string step = ini_value(ini, "PictureIZoom");
    EXPECT_GE(std::stoi(step), 3);
    EXPECT_EQ(chunk_i32(g.file("sfiles/qs/Tulip Fields.qsv"), 102, -1), std::stoi(step));

    // The lake had no step of its own: it starts at the default, and a step chosen there stays
    // with the lake while the tulips keep theirs.
    g.write("s.txt", "3 key kpminus\n+2 quit\n");
    ASSERT_EQ(g.run({"--headless", "--script", "s.txt", lake}), 0);
    EXPECT_EQ(chunk_i32(g.file("sfiles/qs/Sunset Lake.qsv"), 102, -1), std::stoi(step) - 1);
    g.write("s.txt", "3 quit\n");
    ASSERT_EQ(g.run({"--headless", "--script", "s.txt", big}), 0);
    EXPECT_EQ(chunk_i32(g.file("sfiles/qs/Tulip Fields.qsv"), 102, -1), std::stoi(step));
}

TEST(play_room, a_surprise_picture_refuses_both_pictures_with_a_message_and_changes_no_later_box) {
    Game g;
    const std::string box = with_box(g, "Balloon Festival");
    g.write(CONFIG_INI, "[PLAYROOM]\nGhostVisible=1\n");
    // Each refusal is a message box over the desk that Enter closes.
    g.write("s.txt",
            "2 snap before.png\n+1 key p\n+3 snap refused.png\n+1 key enter\n+3 snap after.png\n"
            "+1 key g\n+2 key enter\n+1 key tab\n+2 key enter\n+2 quit\n");
    ASSERT_EQ(g.run({"--headless", "--script", "s.txt", box}), 0) << g.file("stderr.txt");
    EXPECT_NE(g.file("refused.png"), g.file("before.png"));
    EXPECT_EQ(g.file("after.png"), g.file("before.png"));
    std::string ini = g.file(CONFIG_INI);
    // Neither picture showed, but the player's own choices stay for the boxes to come.
    EXPECT_EQ(ini_value(ini, "GhostVisible"), "1") << ini;
    std::string picture = ini_value(ini, "PictureWin");
    ASSERT_GE(picture.size(), 4u);
    EXPECT_EQ(picture.substr(picture.size() - 4), " 1 0");
}

TEST(play_room, after_a_surprise_box_the_next_box_shows_both_pictures_again) {
    StoreGame g({"Balloon Festival", "Sunset Lake"});
    g.arrange({{"Balloon Festival", slot(0)}, {"Sunset Lake", slot(1)}});
    std::string ini = g.file(CONFIG_INI);
    g.write(CONFIG_INI, ini + "[PLAYROOM]\nGhostVisible=1\n");
    const std::string surprise = at(slot(0).x + 40, slot(0).y + 40),
                      lake = at(slot(1).x + 40, slot(1).y + 40);
    // The surprise box, back to the store, the lake; there P and G hide what was shown.
    ASSERT_EQ(
        g.play("2 click " + surprise + " left\n+3 click " + surprise + " left\n+10 key escape\n+10 click " +
               lake + " left\n+3 click " + lake + " left\n+10 key p\n+2 key g\n+2 quit\n"),
        0)
        << g.file("stderr.txt");
    ini = g.file(CONFIG_INI);
    EXPECT_EQ(ini_value(ini, "GhostVisible"), "0") << ini;
    const std::string picture = ini_value(ini, "PictureWin");
    ASSERT_GE(picture.size(), 4u);
    EXPECT_EQ(picture.substr(picture.size() - 4), " 0 0") << "P hid the window the lake showed";
}

}  // namespace
