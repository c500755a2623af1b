// tests/platform/io_gdi_font_test.cpp -- platform fonts: the family rule, metrics from the face,
// cell heights, word breaking and right alignment.
#include "platform/io_gdi_font.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/io_video.h"
#include "platform/screen.h"
#include "support/fatal_trap.h"

namespace {

TEST(PlatformFontFaces, family_rule_metrics_wrapping_and_alignment) {
    EXPECT_EQ(fatal_message_of([] { io_gdi_create_font(-11, 2, 0); }),
              "io_gdi_create_font: invalid font family\n");
    EXPECT_EQ(fatal_message_of([] { io_gdi_create_font(-11, 8 | 16, 0); }),
              "io_gdi_create_font: invalid font family\n");

    const int bold = io_gdi_create_font(-13, 130, 1), cell = io_gdi_create_font(20, 32, 0);
    GdiFontMetrics m, c;
    io_gdi_font_metrics(bold, &m);
    io_gdi_font_metrics(cell, &c);
    EXPECT_EQ(m.height - m.internalLeading, 13);
    EXPECT_LT(m.ascent, m.height);
    EXPECT_NEAR(c.height, 20, 1);

    int w, h, w2, h2;
    io_gdi_measure_text(bold, "aa bb", 0, 0, &w, &h);
    EXPECT_EQ(h, m.height);
    io_gdi_measure_text(bold, "aa bb", 0, w - 1, &w2, &h2);
    EXPECT_EQ(h2, 2 * m.height);
    EXPECT_EQ(w2, io_gdi_text_width(bold, "aa ", 3));

    io_video_create_frame(120, 40, 24);
    screen_grid_create();
    io_video_begin_paint();
    std::memset(screen.buf + (ptrdiff_t)(screen.height - 1) * screen.pitch, 0,
                (size_t)-screen.pitch * screen.height);
    EXPECT_EQ(io_gdi_draw_text(bold, "aa", 0, 0, 0xFFFFFF, 2, 100), m.height);
    int rightmost = -1, leftmost = 120;
    for (int y = 0; y < screen.height; y++)
        for (int x = 0; x < screen.width; x++)
            if (screen.buf[(ptrdiff_t)y * screen.pitch + 3 * x])
                rightmost = std::max(rightmost, x), leftmost = std::min(leftmost, x);
    EXPECT_GE(rightmost, 95);
    EXPECT_LE(rightmost, 99);
    EXPECT_GE(leftmost, 100 - io_gdi_text_width(bold, "aa", 2) - 1);
    io_video_end_paint();
    screen_grid_free();
    io_video_close();
    io_gdi_font_done();
}

}  // namespace
