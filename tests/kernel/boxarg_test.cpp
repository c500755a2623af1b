// tests/kernel/boxarg_test.cpp -- a box file named on the command line.
#include "kernel/boxarg.h"

#include <gtest/gtest.h>

TEST(boxarg, the_box_argument_is_never_a_switch_value) {
    char path[256];
    const char* with_script[] = {"tesselo", "--script", "a.pzl", "--window", "800x600", "b.pzl", "c.pzl"};
    ASSERT_TRUE(boxarg_find(7, (char**)with_script, path, sizeof path));
    EXPECT_STREQ(path, "b.pzl");
    const char* none[] = {"tesselo", "-path", "x.pzl", "--headless", "notes.txt", "-debug"};
    EXPECT_FALSE(boxarg_find(6, (char**)none, path, sizeof path));
}
