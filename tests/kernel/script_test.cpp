// The automation script format: ticks, relative ticks, and errors naming their line.
#include "kernel/script.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/fatal_trap.h"

namespace {

std::string error_of(const char* text) {
    static int seed;
    std::string name = "case-" + std::to_string(seed++);
    write_fuzz_seed("fuzz_script", name.c_str(), text, std::strlen(text));
    char error[256] = "";
    if (script_parse_text(text, error, sizeof error)) return "";
    return error;
}

TEST(script, accepts_every_command) {
    EXPECT_EQ(error_of("# a comment\n"
                       "0 move 10 20\n"
                       "+1 press 10 20 left\n"
                       "+1 release 10 20 left ctrl   # trailing comment\n"
                       "5 click 1 2 right\n"
                       "+2 drag 0 0 100 100 10\n"
                       "20 key f5\n"
                       "20 keydown a ctrl\n"
                       "21 keyup kp7\n"
                       "22 type Hello # world\n"
                       "\n"
                       "30 snap out.png\n"
                       "31 quit\n"),
              "");
    EXPECT_TRUE(script_active());
    script_free();
}

TEST(script, errors_name_the_line) {
    EXPECT_EQ(error_of("0 move 1 2\nmove 1 2\n"), "script: line 2: the line must start with a tick");
    EXPECT_EQ(error_of("0 jump\n"), "script: line 1: unknown command jump");
    EXPECT_EQ(error_of("\n\n0 press 1 2 middle\n"), "script: line 3: the button must be left or right");
    EXPECT_EQ(error_of("0 key home2\n"), "script: line 1: unknown key home2");
    EXPECT_EQ(error_of("0 move 1\n"), "script: line 1: expected move X Y");
    EXPECT_EQ(error_of("0 drag 1 2 3 4 0\n"), "script: line 1: expected drag X0 Y0 X1 Y1 TICKS");
    EXPECT_EQ(error_of("0 drag 1 2 3 4 100000000\n"), "script: line 1: expected drag X0 Y0 X1 Y1 TICKS");
    EXPECT_EQ(error_of("-3 quit\n"), "script: line 1: the line must start with a tick");
    EXPECT_EQ(error_of("0 quit now\n"), "script: line 1: quit takes nothing");
    EXPECT_EQ(error_of("+x snap a.png\n"), "script: line 1: the line must start with a tick");
    EXPECT_FALSE(script_active());
}

}  // namespace
