// The dirty-cell grid: cell sizes, clipping, spans and the presentation list.
#include "platform/screen.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/io_video.h"
#include "support/fatal_trap.h"

namespace {

// Presentation rectangles as {left, top, right, bottom}.
using Rects = std::vector<std::vector<int>>;

struct Grid800 : ::testing::Test {
    void SetUp() override {
        io_video_create_frame(800, 600, 24);
        screen_grid_create();
        flushed();
    }
    void TearDown() override {
        screen_grid_free();
        io_video_close();
    }
    static Rects flushed() {
        io_video_begin_paint();
        screen_flush();
        io_video_end_paint();
        Rects r;
        for (int i = 0; i < io_video_present_list().count; i++) {
            const PresentRect& p = io_video_present_list().rects[i];
            r.push_back({p.left, p.top, p.right, p.bottom});
        }
        return r;
    }
};

TEST(ScreenGrid, cell_sizes_follow_the_preference_list) {
    const Screen saved = screen;
    // {screen side, cell side}; 77: nothing before 11 in the list divides it
    const int cases[][2] = {{800, 32},  {600, 24}, {1024, 32}, {768, 32}, {480, 32},
                            {1152, 32}, {1366, 2}, {1080, 24}, {97, 1},   {7 * 11, 11}};
    for (const auto& c : cases) {
        screen_set_size_for_tests(c[0], c[0]);
        screen_grid_create();
        EXPECT_EQ(screen_grid_cell_width(), c[1]) << c[0];
        EXPECT_EQ(screen_grid_cell_height(), c[1]) << c[0];
    }
    screen_grid_free();
    screen = saved;
}

TEST_F(Grid800, cells_first_frame_and_clipped_invalidation) {
    EXPECT_EQ(screen_grid_cell_width() * 100 + screen_grid_cell_height(), 3224);
    EXPECT_TRUE(flushed().empty());  // the set-up's flush cleaned every cell

    screen_invalidate(30, 20, 4, 8);  // columns 0-1 of rows 0-1
    EXPECT_EQ((std::vector<bool>{screen_is_dirty(0, 0, 1, 1), screen_is_dirty(63, 47, 1, 1),
                                 screen_is_dirty(64, 0, 1, 1), screen_is_dirty(0, 48, 1, 1)}),
              (std::vector<bool>{true, true, false, false}));
    EXPECT_EQ(flushed(), (Rects{{0, 0, 64, 24}, {0, 24, 64, 48}}));

    screen_invalidate(-10, 5, 5, 5);  // nothing left after clipping
    screen_invalidate(800, 5, 5, 5);
    screen_invalidate(5, 600, 5, 5);
    screen_invalidate(5, 5, 0, 5);
    EXPECT_TRUE(flushed().empty());
    screen_invalidate(790, 590, 100, 100);  // only the bottom-right cell
    EXPECT_EQ(flushed(), (Rects{{768, 576, 800, 600}}));
    screen_invalidate(-40, -40, 50, 50);  // keeps the part inside: cell (0, 0)
    EXPECT_EQ(flushed(), (Rects{{0, 0, 32, 24}}));
}

TEST_F(Grid800, spans_merge_runs_of_a_row_and_the_walker_keeps_to_touched_cells) {
    screen_invalidate(64, 72, 64, 24);   // row 3, columns 2 and 3
    screen_invalidate(224, 72, 32, 24);  // row 3, column 7
    EXPECT_EQ(flushed(), (Rects{{64, 72, 128, 96}, {224, 72, 256, 96}}));

    screen_invalidate(0, 0, 800, 24);  // the whole top row
    Rects spans;
    const auto add = [](void* ctx, int x, int y, int w, int h) { ((Rects*)ctx)->push_back({x, y, w, h}); };
    screen_for_each_dirty_span(100, 10, 50, 50, add, &spans);
    EXPECT_EQ(spans, (Rects{{96, 0, 64, 24}}));  // columns 3 and 4 of row 0 only; rows 1-2 are clean

    // A clip cuts the spans to itself, off the cell edges; the flush still presents whole cells.
    screen_invalidate(0, 24, 800, 24);
    spans.clear();
    screen_set_clip(900, 0, 10, 10);  // off the screen: nothing
    screen_for_each_dirty_span(0, 0, 800, 600, add, &spans);
    screen_set_clip(110, 20, 30, 600);
    screen_for_each_dirty_span(0, 0, 800, 600, add, &spans);
    EXPECT_EQ(spans, (Rects{{110, 20, 30, 4}, {110, 24, 30, 24}}));
    EXPECT_EQ(flushed(), (Rects{{0, 0, 800, 24}, {0, 24, 800, 48}}));
    screen_clip_reset();
}

TEST_F(Grid800, dirty_bounds) {
    Rect b;
    EXPECT_FALSE(screen_dirty_bounds(0, 0, 799, 599, &b));
    screen_invalidate(100, 100, 1, 1);  // cell column 3, row 4: 96..127 x 96..119
    screen_invalidate(300, 200, 1, 1);  // column 9, row 8: 288..319 x 192..215
    ASSERT_TRUE(screen_dirty_bounds(0, 0, 799, 599, &b));
    EXPECT_EQ((std::vector<int>{b.x, b.y, b.w, b.h}), (std::vector<int>{96, 96, 320 - 96, 216 - 96}));
    ASSERT_TRUE(screen_dirty_bounds(110, 0, 305, 205, &b));  // clipped to the asked rectangle
    EXPECT_EQ((std::vector<int>{b.x, b.y, b.w, b.h}),
              (std::vector<int>{110, 96, 305 - 110 + 1, 205 - 96 + 1}));
    EXPECT_FALSE(screen_dirty_bounds(400, 400, 500, 500, &b));
}

TEST_F(Grid800, frame_cycle_guards_and_full_list) {
    EXPECT_EQ(fatal_message_of([] { io_video_end_paint(); }), "io_video_end_paint: screen.buf is NULL\n");
    io_video_begin_paint();
    EXPECT_EQ(screen.buf, screen_top_row());
    EXPECT_EQ(screen.pitch, -2400);
    EXPECT_EQ(fatal_message_of([] { io_video_begin_paint(); }),
              "io_video_begin_paint: screen.buf is not NULL\n");
    for (int i = 0; i < PRESENT_RECT_MAX + 10; i++)
        io_video_add_rect(i, 0, 1, 1);
    EXPECT_EQ(io_video_present_list().count, PRESENT_RECT_MAX);
    EXPECT_EQ(io_video_present_list().rects[PRESENT_RECT_MAX - 1].left, PRESENT_RECT_MAX - 1);
    io_video_end_paint();
    EXPECT_EQ(screen.buf, nullptr);
}

TEST(video, stride_and_display_check) {
    io_video_create_frame(801, 3, 24);  // rows of 2403 bytes padded to 2404
    EXPECT_EQ(screen.pitch, -2404);
    EXPECT_EQ(screen.bytesPerPixel, 3);
    io_video_close();
    static int asked;
    asked = 0;
    auto warn = [] { return asked++, 0; };
    EXPECT_EQ(io_video_check_display(16, warn), 1);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(io_video_check_display(8, warn), 0);
    EXPECT_EQ(asked, 1);
}

}  // namespace
