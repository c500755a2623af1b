// tests/kernel/boxarg_test.cpp -- a box file named on the command line.
#include "kernel/boxarg.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/limits.h"
#include "support/files.h"

TEST(boxarg, the_box_argument_is_never_a_switch_value) {
    char path[256];
    const char* with_script[] = {"tesselo", "--script", "a.pzl", "--window", "800x600", "b.pzl", "c.pzl"};
    ASSERT_TRUE(boxarg_find(7, (char**)with_script, path, sizeof path));
    EXPECT_STREQ(path, "b.pzl");
    const char* none[] = {"tesselo", "-path", "x.pzl", "--headless", "notes.txt", "-debug"};
    EXPECT_FALSE(boxarg_find(6, (char**)none, path, sizeof path));
}

// A box file from elsewhere is copied in only when it is a regular file no larger than any box:
// a pipe named like a box never blocks, and a huge (sparse) file is refused without being read.
TEST(boxarg, only_a_regular_file_of_a_box_s_size_is_copied_in) {
    TempDir dir;
    const std::string puzzles = dir / "puzzles", elsewhere = dir / "elsewhere";
    std::filesystem::create_directories(puzzles);
    std::filesystem::create_directories(elsewhere);
    char name[64];
    int copied = -1;
    write_file(elsewhere + "/Trip.pzl", text_bytes("box bytes"));
    ASSERT_EQ(boxarg_import((elsewhere + "/Trip.pzl").c_str(), puzzles.c_str(), name, sizeof name, &copied),
              1);
    EXPECT_STREQ(name, "Trip");
    EXPECT_EQ(copied, 1);

    ASSERT_EQ(mkfifo((elsewhere + "/Pipe.pzl").c_str(), 0600), 0);
    EXPECT_EQ(boxarg_import((elsewhere + "/Pipe.pzl").c_str(), puzzles.c_str(), name, sizeof name, &copied),
              0);
    {
        std::FILE* huge = std::fopen((elsewhere + "/Huge.pzl").c_str(), "wb");
        ASSERT_NE(huge, nullptr);
        ASSERT_EQ(fseeko(huge, BOX_FILE_MAX, SEEK_SET), 0);
        std::fputc(1, huge);
        std::fclose(huge);
    }
    EXPECT_EQ(boxarg_import((elsewhere + "/Huge.pzl").c_str(), puzzles.c_str(), name, sizeof name, &copied),
              0);
    std::vector<std::string> in;
    for (const auto& entry : std::filesystem::directory_iterator(puzzles))
        in.push_back(entry.path().filename().string());
    EXPECT_EQ(in, std::vector<std::string>{"Trip.pzl"});
}
