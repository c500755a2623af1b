// tests/rooms/options_test.cpp -- the options window's settings: the colour field and preview
// arithmetic, reading with damaged values, the keys written, the choice lists from a folder.
#include "rooms/options.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/io_file.h"
#include "platform/io_ini.h"
#include "support/files.h"

namespace {

TEST(options, colour_field_and_preview) {
    int hue, saturation;
    const int cases[][4] = {
        {100, 0, 200, 99},   // the top row is clamped below full saturation
        {200, 128, 360, 1},  // right of the picture and the bottom row: the ends of both ranges
        {45, 64, 90, 50},   {-4, 300, 0, 1}, {180, -10, 360, 99},
    };
    for (const auto& c : cases) {
        options_field_colour(c[0], c[1], &hue, &saturation);
        EXPECT_EQ(hue, c[2]) << c[0] << "," << c[1];
        EXPECT_EQ(saturation, c[3]) << c[0] << "," << c[1];
    }
    // Brightness 0 is the middle lightness: the pure hues; 100 is white, -100 black.
    EXPECT_EQ(options_preview_colour(0, 100, 0), 0xFF0000u);
    EXPECT_EQ(options_preview_colour(120, 100, 0), 0x00FF00u);
    EXPECT_EQ(options_preview_colour(240, 100, 0), 0x0000FFu);
    EXPECT_EQ(options_preview_colour(209, 42, 100), 0xFFFFFFu);
    EXPECT_EQ(options_preview_colour(209, 42, -100), 0x000000u);
}

struct OptionsConfig : ::testing::Test {
    TempDir dir;
    void SetUp() override {
        io_set_start_folder(dir.path.c_str());
        std::filesystem::create_directory(dir / "sfiles");
    }
    void TearDown() override { io_set_start_folder(""); }
    void config(const std::string& text) { write_file(dir / CONFIG_INI, text_bytes(text)); }
    // Language, help, hue, saturation, brightness and feedback as read.
    static std::vector<std::string> read() {
        OptionsSettings s;
        options_read(&s);
        return {s.language,
                s.help,
                std::to_string(s.hue),
                std::to_string(s.saturation),
                std::to_string(s.brightness),
                std::to_string(s.feedback)};
    }
    using Read = std::vector<std::string>;
};

TEST_F(OptionsConfig, defaults_without_keys_and_for_damaged_values) {
    const Read defaults = {"", "", "209", "42", "0", "1"};
    EXPECT_EQ(read(), defaults);
    for (const char* tint :
         {"12 34", "400 10 0", "10 101 0", "10 20 -101", "10 20 30 40", "abc", "10 x 20", "-1 20 0"}) {
        config(std::string("[MAIN]\nBackGround=") + tint + "\n");
        EXPECT_EQ(read(), defaults) << tint;
    }
    // Hue, saturation, brightness in that order; a name from another folder is no entry of a list.
    config(
        "[MAIN]\nBackGround=360 1 -100\nUserInterface=../lang.ini\nHelpFile=sub/help.html\n"
        "FeedBackSupport=0\n");
    EXPECT_EQ(read(), (Read{"", "", "360", "1", "-100", "0"}));
    // Only exactly "0" switches the feedback off.
    for (const char* on : {"00", "no", "1", ""}) {
        config(std::string("[MAIN]\nFeedBackSupport=") + on + "\n");
        EXPECT_EQ(read(), defaults) << on;
    }
}

TEST_F(OptionsConfig, written_keys_read_back_and_keep_the_rest) {
    config("[MAIN]\nOldScreenSize=1024 768\n[STOREROOM]\nToolsWin=1 2 3 4 1 0\n");
    OptionsSettings s;
    options_defaults(&s);
    std::snprintf(s.language, sizeof s.language, "deutsch.ini");
    s.hue = 200;
    s.saturation = 99;
    s.brightness = -20;
    s.feedback = 0;
    ASSERT_EQ(options_write(s), 1);
    const Bytes bytes = read_file(dir / CONFIG_INI);
    const std::string all(bytes.begin(), bytes.end());
    // English help: the key is there, empty; the keys of others stay.
    for (const char* line :
         {"\nBackGround=200 99 -20\n", "\nFeedBackSupport=0\n", "\nUserInterface=deutsch.ini\n",
          "\nHelpFile=\n", "\nOldScreenSize=1024 768\n", "\nToolsWin=1 2 3 4 1 0\n"})
        EXPECT_NE(all.find(line), std::string::npos) << line << all;
    EXPECT_EQ(read(), (Read{"deutsch.ini", "", "200", "99", "-20", "0"}));
    s.feedback = 1;
    options_write(s);
    EXPECT_EQ(read()[5], "1");
}

TEST(options, lists_hold_english_then_the_folders_files_by_name) {
    TempDir dir;
    const std::string ml = dir / "ml";
    std::filesystem::create_directories(ml + "/folder.ini");
    for (const char* name : {"francais.ini", "deutsch.ini", "readme.txt", "guide.html", "nederlands.html"})
        write_file(ml + "/" + name, text_bytes("x"));
    OptionsList list;
    options_list_files(ml.c_str(), "ini", &list);
    ASSERT_EQ(list.count, 3);
    EXPECT_STREQ(list.shown[0], "English");
    EXPECT_STREQ(list.files[0], "");
    EXPECT_STREQ(list.shown[1], "deutsch");
    EXPECT_STREQ(list.files[2], "francais.ini");
    EXPECT_EQ(options_list_find(list, "francais.ini"), 2);
    EXPECT_EQ(options_list_find(list, "missing.ini"), 0);
    EXPECT_EQ(options_list_find(list, ""), 0);

    options_list_files(ml.c_str(), "html", &list);
    ASSERT_EQ(list.count, 3);
    EXPECT_STREQ(list.shown[1], "guide");
    EXPECT_STREQ(list.shown[2], "nederlands");

    options_list_files((dir / "none").c_str(), "ini", &list);  // no folder: English alone
    EXPECT_EQ(list.count, 1);

    for (int i = 0; i < OPTIONS_LIST_MAX + 5; i++)
        write_file(ml + "/l" + std::to_string(100 + i) + ".ini", text_bytes("x"));
    options_list_files(ml.c_str(), "ini", &list);
    EXPECT_EQ(list.count, OPTIONS_LIST_MAX);
    EXPECT_STREQ(list.shown[0], "English");
}

}  // namespace
