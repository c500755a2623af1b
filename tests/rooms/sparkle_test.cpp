// tests/rooms/sparkle_test.cpp -- the join sparkle: eight frames of two ticks each above and left
// of the point, and no stale frame left on the overlay when it ends, stops or starts elsewhere.
#include "rooms/sparkle.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/screen.h"

using V = std::vector<int>;

namespace {

// A 640 x 480 grid of 32 x 32 cells, all clean, and no sparkle running.
struct CleanScreen {
    CleanScreen() {
        screen_set_size_for_tests(640, 480);
        screen_grid_create();
        sparkle_stop();
        screen_flush();
    }
    ~CleanScreen() {
        sparkle_stop();
        screen_grid_free();
    }
};

bool dirty_at(int x, int y) { return screen_is_dirty(x, y, SPARKLE_SIZE, SPARKLE_SIZE); }

}  // namespace

TEST(Sparkle, eight_frames_of_two_ticks_with_the_point_as_bottom_right_corner) {
    CleanScreen s;
    sparkle_start(200, 150);
    V frames;
    int frame, x = -1, y = -1;
    for (int tick = 0; tick <= SPARKLE_TICKS; tick++) {
        frames.push_back(sparkle_frame(&frame, &x, &y) ? frame : -1);
        sparkle_tick();
    }
    EXPECT_EQ(frames, (V{0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, -1}));
    EXPECT_EQ((V{x, y}), (V{168, 118}));
}

TEST(Sparkle, ending_stopping_or_starting_elsewhere_marks_the_old_frame_for_redraw) {
    CleanScreen s;
    int frame, x, y;
    sparkle_start(200, 150);
    for (int tick = 0; tick < SPARKLE_TICKS - 1; tick++)
        sparkle_tick();
    screen_flush();
    sparkle_tick();  // the last frame ends
    EXPECT_TRUE(dirty_at(168, 118));
    EXPECT_FALSE(sparkle_frame(&frame, &x, &y));
    screen_flush();
    sparkle_tick();
    sparkle_stop();
    EXPECT_FALSE(dirty_at(168, 118)) << "an idle sparkle marks nothing";

    sparkle_start(200, 150);
    screen_flush();
    sparkle_start(500, 400);  // a new join elsewhere before the first sparkle ended
    EXPECT_TRUE(dirty_at(168, 118));
    ASSERT_TRUE(sparkle_frame(&frame, &x, &y));
    EXPECT_EQ((V{frame, x, y}), (V{0, 468, 368}));
    screen_flush();
    sparkle_stop();  // the finished puzzle
    EXPECT_TRUE(dirty_at(468, 368));
    EXPECT_FALSE(sparkle_frame(&frame, &x, &y));
}
