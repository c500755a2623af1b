// tests/kernel/boxarg_test.cpp -- a box file named on the command line.
#include "kernel/boxarg.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "support/files.h"

TEST(boxarg, the_box_argument_is_never_a_switch_value) {
    char path[256];
    const char* with_script[] = {"tesselo", "--script", "a.pzl", "--window", "800x600", "b.pzl", "c.pzl"};
    ASSERT_TRUE(boxarg_find(7, (char**)with_script, path, sizeof path));
    EXPECT_STREQ(path, "b.pzl");
    const char* none[] = {"tesselo", "-path", "x.pzl", "--headless", "notes.txt", "-debug"};
    EXPECT_FALSE(boxarg_find(6, (char**)none, path, sizeof path));
}

TEST(boxarg, a_box_from_elsewhere_is_copied_in_under_a_free_name) {
    TempDir dir;
    const std::string puzzles = dir / "puzzles", away = dir / "away";
    mkdir(puzzles.c_str(), 0755);
    mkdir(away.c_str(), 0755);
    write_file(puzzles + "/Lake.pzl", text_bytes("the shelf's own lake"));
    write_file(away + "/Lake.pzl", text_bytes("another lake"));
    char name[64];

    // Already in the puzzles folder: taken as it is.
    ASSERT_TRUE(boxarg_import((puzzles + "/Lake.pzl").c_str(), puzzles.c_str(), name, sizeof name));
    EXPECT_STREQ(name, "Lake");
    // A different box of the same name gets the first free name; the same bytes again reuse it.
    ASSERT_TRUE(boxarg_import((away + "/Lake.pzl").c_str(), puzzles.c_str(), name, sizeof name));
    EXPECT_STREQ(name, "Lake (2)");
    EXPECT_EQ(read_file(puzzles + "/Lake (2).pzl"), text_bytes("another lake"));
    EXPECT_EQ(read_file(puzzles + "/Lake.pzl"), text_bytes("the shelf's own lake"));
    ASSERT_TRUE(boxarg_import((away + "/Lake.pzl").c_str(), puzzles.c_str(), name, sizeof name));
    EXPECT_STREQ(name, "Lake (2)");

    // Missing files and files that are not boxes are refused.
    EXPECT_FALSE(boxarg_import((away + "/Gone.pzl").c_str(), puzzles.c_str(), name, sizeof name));
    write_file(away + "/notes.txt", text_bytes("text"));
    EXPECT_FALSE(boxarg_import((away + "/notes.txt").c_str(), puzzles.c_str(), name, sizeof name));
}
