// Snapshots come out right way up and in true colours.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <vector>

#include "kernel/script.h"
#include "platform/io_gdi.h"
#include "platform/io_video.h"

namespace {

TEST(snap, right_way_up_in_true_colours) {
    io_video_create_frame(5, 3, 24);
    io_gdi_set_pen(0, 0xFF0000);
    io_gdi_line(0, 0, 0, 0);  // top left red
    io_gdi_set_pen(0, 0x0000FF);
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
    ASSERT_EQ(image.width, 5u);
    ASSERT_EQ(image.height, 3u);
    EXPECT_EQ(rgb[0], 255);  // red first
    EXPECT_EQ(rgb[1], 0);
    EXPECT_EQ(rgb[2], 0);
    size_t last = (2 * 5 + 4) * 3;
    EXPECT_EQ(rgb[last + 0], 0);
    EXPECT_EQ(rgb[last + 2], 255);
    EXPECT_EQ(rgb[3], 0);  // nothing else drawn
}

}  // namespace
