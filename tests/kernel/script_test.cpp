// The automation harness: the script format (ticks, relative ticks, errors naming their line)
// and snapshots, which come out right way up and in true colours.
#include "kernel/script.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/io_gdi.h"
#include "platform/io_video.h"
#include "support/fatal_trap.h"

namespace {

std::string error_of(const char* text) {
    static int seed;
    write_fuzz_seed("fuzz_script", ("case-" + std::to_string(seed++)).c_str(), text, std::strlen(text));
    char error[256] = "";
    return script_parse_text(text, error, sizeof error) ? "" : error;
}

TEST(script, accepts_every_command_and_names_the_line_of_an_error) {
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
                       "24 key end shift ctrl\n"
                       "\n"
                       "30 snap out.png\n"
                       "31 quit\n"),
              "");
    EXPECT_TRUE(script_active());
    script_free();

    const char* const tick = "the line must start with a tick";
    const char* const drag = "expected drag X0 Y0 X1 Y1 TICKS";
    const std::pair<const char*, std::string> errors[] = {
        {"0 move 1 2\nmove 1 2\n", std::string("line 2: ") + tick},
        {"0 jump\n", "line 1: unknown command jump"},
        {"\n\n0 press 1 2 middle\n", "line 3: the button must be left or right"},
        {"0 key home2\n", "line 1: unknown key home2"},
        {"0 move 1\n", "line 1: expected move X Y"},
        {"0 drag 1 2 3 4 0\n", std::string("line 1: ") + drag},
        {"0 drag 1 2 3 4 100000000\n", std::string("line 1: ") + drag},
        {"-3 quit\n", std::string("line 1: ") + tick},
        {"0 quit now\n", "line 1: quit takes nothing"},
        {"0 wheel 1 2\n", "line 1: expected wheel X Y STEPS"},
        {"0 key a shift shift\n", "line 1: expected key KEY [ctrl] [shift]"},
        {"+x snap a.png\n", std::string("line 1: ") + tick}};
    for (const auto& [text, error] : errors)
        EXPECT_EQ(error_of(text), "script: " + error) << text;
    EXPECT_FALSE(script_active());
}

TEST(snap, right_way_up_in_true_colours) {
    io_video_create_frame(5, 3, 24);
    io_gdi_set_pen(PEN_SOLID, 0xFF0000);
    io_gdi_line(0, 0, 0, 0);  // top left red
    io_gdi_set_pen(PEN_SOLID, 0x0000FF);
    io_gdi_line(4, 2, 4, 2);  // bottom right blue
    io_gdi_reset_pen();
    const char* path = "/tmp/lumavex-snap-test.png";
    ASSERT_TRUE(script_write_png(path));
    io_video_close();

    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path));
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
    std::remove(path);
    ASSERT_EQ(image.width * 10 + image.height, 53u);
    std::vector<uint8_t> want(5 * 3 * 3, 0);
    want[0] = 255, want[(2 * 5 + 4) * 3 + 2] = 255;  // red first; nothing else drawn
    EXPECT_EQ(rgb, want);
}

}  // namespace
