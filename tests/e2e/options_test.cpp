// tests/e2e/options_test.cpp -- the options window in the headless game, before the game with
// `-options yes` and from the store room's tools window.
#include <gtest/gtest.h>

#include <string>

#include "e2e/store_game.h"
#include "platform/io_ini.h"

namespace {

using namespace e2e;

// The window is centred on the 1024 x 768 screen; its colour field starts at (548, 270).
std::string field(int x, int y) { return at(548 + x, 270 + y); }
const std::string OPTIONS_BUTTON = at(582, 104);  // the tools window's second row, right

std::string main_key(StoreGame& g, const char* key) { return ini_value(g.file(CONFIG_INI), key); }

TEST(options, before_the_game_ok_writes_the_settings_and_the_store_room_opens_it_again) {
    StoreGame g({"Sunset Lake"});
    g.arrange({{"Sunset Lake", slot(0)}});
    const std::string script = "2 snap options.png\n+2 click " + field(100, 0) + " left\n+2 key enter\n" +
                               "+10 snap store.png\n+2 click " + OPTIONS_BUTTON + " left\n" + "+5 drag " +
                               field(10, 10) + " " + field(45, 64) + " 6\n" +
                               "+5 snap again.png\n+2 key enter\n+5 quit\n";
    ASSERT_EQ(g.play(script, {"-options", "yes"}), 0) << g.file("stderr.txt");
    EXPECT_TRUE(g.has("options.png"));
    EXPECT_TRUE(g.has("again.png"));
    // The drag's end point counts: hue 90, saturation 50; the first run's 200 99 was replaced.
    EXPECT_EQ(main_key(g, "BackGround"), "90 50 0");
    EXPECT_EQ(main_key(g, "UserInterface"), "");
    EXPECT_EQ(main_key(g, "HelpFile"), "");
    EXPECT_EQ(main_key(g, "FeedBackSupport"), "1");
}

TEST(options, before_the_game_cancel_ends_it_and_writes_nothing) {
    StoreGame g({});
    g.write(CONFIG_INI, "[MAIN]\nBackGround=10 20 0\nFeedBackSupport=0\n");
    // No quit in the script: Cancel alone ends the game.
    ASSERT_EQ(g.play("2 click " + field(100, 0) + " left\n+2 key escape\n", {"-options", "yes"}), 0)
        << g.file("stderr.txt");
    EXPECT_EQ(main_key(g, "BackGround"), "10 20 0");
    EXPECT_EQ(main_key(g, "FeedBackSupport"), "0");
    EXPECT_EQ(main_key(g, "UserInterface"), "(none)");
}

}  // namespace
