// The dirty-cell grid: cell sizes, clipping, spans and the presentation list.
#include "platform/screen.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/io_video.h"
#include "support/fatal_trap.h"

namespace {

struct Grid800 : ::testing::Test {
    void SetUp() override {
        io_video_create_frame(800, 600, 24);
        screen_grid_create();
        clear();
    }
    void TearDown() override {
        screen_grid_free();
        io_video_close();
    }
    static void clear() {
        io_video_begin_paint();
        screen_flush();
        io_video_end_paint();
    }
    static std::vector<PresentRect> flushed() {
        io_video_begin_paint();
        screen_flush();
        io_video_end_paint();
        const PresentList& l = io_video_present_list();
        return std::vector<PresentRect>(l.rects, l.rects + l.count);
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

TEST_F(Grid800, cells_and_first_frame) {
    clear();
    EXPECT_EQ(screen_grid_cell_width(), 32);
    EXPECT_EQ(screen_grid_cell_height(), 24);
    screen_grid_create();  // all dirty again: one rectangle per cell row, full width
    std::vector<PresentRect> r = flushed();
    ASSERT_EQ(r.size(), 25u);
    EXPECT_EQ(r[24].left, 0);
    EXPECT_EQ(r[24].top, 576);
    EXPECT_EQ(r[24].right, 800);
    EXPECT_EQ(r[24].bottom, 600);
    EXPECT_TRUE(flushed().empty());  // flushing cleans every cell
}

TEST_F(Grid800, invalidate_clipping) {
    screen_invalidate(30, 20, 4, 8);  // columns 0-1 of rows 0-1
    EXPECT_TRUE(screen_is_dirty(0, 0, 1, 1));
    EXPECT_TRUE(screen_is_dirty(63, 47, 1, 1));
    EXPECT_FALSE(screen_is_dirty(64, 0, 1, 1));
    EXPECT_FALSE(screen_is_dirty(0, 48, 1, 1));
    std::vector<PresentRect> r = flushed();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[1].top, 24);
    EXPECT_EQ(r[1].right, 64);

    screen_invalidate(-10, 5, 5, 5);  // nothing left after clipping
    screen_invalidate(800, 5, 5, 5);
    screen_invalidate(5, 600, 5, 5);
    screen_invalidate(5, 5, 0, 5);
    EXPECT_TRUE(flushed().empty());

    screen_invalidate(790, 590, 100, 100);  // only the bottom-right cell
    r = flushed();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].left, 768);
    EXPECT_EQ(r[0].top, 576);
    EXPECT_EQ(r[0].right, 800);
    EXPECT_EQ(r[0].bottom, 600);

    screen_invalidate(-40, -40, 50, 50);  // keeps the part inside: cell (0, 0)
    r = flushed();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].right, 32);
    EXPECT_EQ(r[0].bottom, 24);
}

TEST_F(Grid800, spans_merge_runs_of_a_row) {
    screen_invalidate(64, 72, 64, 24);   // row 3, columns 2 and 3
    screen_invalidate(224, 72, 32, 24);  // row 3, column 7
    std::vector<PresentRect> r = flushed();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].left, 64);
    EXPECT_EQ(r[0].top, 72);
    EXPECT_EQ(r[0].right, 128);
    EXPECT_EQ(r[0].bottom, 96);
    EXPECT_EQ(r[1].left, 224);
    EXPECT_EQ(r[1].right, 256);
}

TEST_F(Grid800, span_walker_limits_to_touched_cells) {
    screen_invalidate(0, 0, 800, 24);  // the whole top row
    struct Span {
        int x, y, w, h;
    };
    std::vector<Span> spans;
    screen_for_each_dirty_span(
        100, 10, 50, 50,
        [](void* ctx, int x, int y, int w, int h) {
            ((std::vector<Span>*)ctx)->push_back({x, y, w, h});
        },
        &spans);
    ASSERT_EQ(spans.size(), 1u);  // columns 3 and 4 of row 0 only; rows 1-2 are clean
    EXPECT_EQ(spans[0].x, 96);
    EXPECT_EQ(spans[0].w, 64);
    EXPECT_EQ(spans[0].h, 24);
}

TEST_F(Grid800, dirty_bounds) {
    ScreenRect b;
    EXPECT_FALSE(screen_dirty_bounds(0, 0, 799, 599, &b));
    screen_invalidate(100, 100, 1, 1);  // cell column 3, row 4: 96..127 x 96..119
    screen_invalidate(300, 200, 1, 1);  // column 9, row 8: 288..319 x 192..215
    ASSERT_TRUE(screen_dirty_bounds(0, 0, 799, 599, &b));
    EXPECT_EQ(b.x, 96);
    EXPECT_EQ(b.y, 96);
    EXPECT_EQ(b.w, 320 - 96);
    EXPECT_EQ(b.h, 216 - 96);
    ASSERT_TRUE(screen_dirty_bounds(110, 0, 305, 205, &b));  // clipped to the asked rectangle
    EXPECT_EQ(b.x, 110);
    EXPECT_EQ(b.w, 305 - 110 + 1);
    EXPECT_EQ(b.y, 96);
    EXPECT_EQ(b.h, 205 - 96 + 1);
    EXPECT_FALSE(screen_dirty_bounds(400, 400, 500, 500, &b));
}

TEST_F(Grid800, frame_cycle_guards_and_full_list) {
    EXPECT_EQ(fatal_message_of([] { io_video_end_paint(); }), "io_video_end_paint: screen.buf is NULL\n");
    io_video_begin_paint();
    EXPECT_EQ(screen.buf + (ptrdiff_t)599 * screen.pitch, screen_top_row() + (ptrdiff_t)599 * screen.pitch);
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
    io_video_create_frame(801, 3, 24);  // 2403 bytes a row round down to 2400... plus padding
    EXPECT_EQ(screen.pitch, -(((24 * 801 + 31) / 8) & ~3));
    EXPECT_EQ(screen.bytesPerPixel, 3);
    io_video_close();
    static int asked;
    asked = 0;
    auto warn = [] {
        asked++;
        return 0;
    };
    EXPECT_EQ(io_video_check_display(16, warn), 1);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(io_video_check_display(8, warn), 0);
    EXPECT_EQ(asked, 1);
}

}  // namespace
