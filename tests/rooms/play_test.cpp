// tests/rooms/play_test.cpp -- the picture window's contents at its five size steps, the steps
// and places that fit beside the control panel, and the title line.
#include "rooms/play.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

#include "rooms/play_rules.h"

namespace {

std::pair<int, int> size_at(int pw, int ph, int zoom) {
    int w = -1, h = -1;
    playroom_picture_size(pw, ph, zoom, &w, &h);
    return {w, h};
}

}  // namespace

TEST(PlayRoomPicture, steps_grow_from_128_to_the_region_and_small_regions_are_enlarged) {
    EXPECT_EQ(size_at(640, 480, 0), std::pair(128, 96));
    EXPECT_EQ(size_at(640, 480, 1), std::pair(256, 192));
    EXPECT_EQ(size_at(640, 480, 3), std::pair(512, 384));
    EXPECT_EQ(size_at(640, 480, 4), std::pair(640, 480));
    EXPECT_EQ(size_at(640, 480, 9), std::pair(640, 480));  // steps beyond the ends are clamped
    EXPECT_EQ(size_at(640, 480, -1), std::pair(128, 96));
    for (int z = 0; z <= PICTURE_ZOOM_MAX; z++) {
        EXPECT_EQ(size_at(100, 50, z), std::pair(128, 64)) << z;
        EXPECT_EQ(size_at(128, 96, z), std::pair(128, 96)) << z;
    }
    EXPECT_EQ(size_at(129, 100, 4), std::pair(129, 100));
    EXPECT_EQ(size_at(129, 100, 3), std::pair(128, 99));  // 128 * 100 / 129, rounded down
}

namespace {

bool meets(const Rect& a, const Rect& b) {
    const Rect both = rect_intersect(a, b);
    return both.w > 0 && both.h > 0;
}

}  // namespace

// The picture window beside the control panel (20, 50, 194 x 138, as the play room lays it out)
// at every step, for a 600 x 400 region and for a region fitted to each desk (the desk less 20 by
// 80): a step is taken only when its window fits on the screen below the title line off the
// panel, and the window is then placed there whatever place it wanted.
TEST(PlayRoomPicture, steps_that_do_not_fit_beside_the_panel_are_skipped_on_three_screens) {
    struct Case {
        int w, h, pw, ph, largest;
    };
    const Case cases[] = {{800, 600, 600, 400, 3},   {800, 600, 780, 520, 2},   {1024, 768, 600, 400, 4},
                          {1024, 768, 1004, 688, 3}, {1920, 1080, 600, 400, 4}, {1920, 1080, 1900, 1000, 3}};
    for (const Case& c : cases) {
        const PlayScreen s = {c.w, c.h, 20, {20, 50, 194, 138}};
        for (int z = 0; z <= PICTURE_ZOOM_MAX; z++) {
            SCOPED_TRACE(std::to_string(c.w) + " " + std::to_string(c.pw) + " step " + std::to_string(z));
            const int step = playroom_picture_step(s, c.pw, c.ph, z);
            EXPECT_EQ(step, std::min(z, c.largest));
            int ww, wh;
            playroom_picture_window_size(c.pw, c.ph, step, &ww, &wh);
            for (const auto& [wx, wy] :
                 {std::pair(20, 200), std::pair(0, 0), std::pair(c.w, c.h), std::pair(60, 80)}) {
                int x = wx, y = wy;
                playroom_window_place(s, ww, wh, &x, &y);
                EXPECT_TRUE(x >= 0 && y >= 20 && x + ww <= c.w && y + wh <= c.h) << x << "," << y;
                EXPECT_FALSE(meets({x, y, ww, wh}, s.panel)) << x << "," << y;
            }
        }
    }
    // A place that is already free is kept; one under the panel goes to the nearest free place.
    const PlayScreen s = {1024, 768, 20, {20, 50, 194, 138}};
    int x = 300, y = 300;
    playroom_window_place(s, 256, 210, &x, &y);
    EXPECT_EQ(std::pair(x, y), std::pair(300, 300));
    x = 20, y = 121;  // the step-1 window grown upwards from y 200: 4 pixels below the panel
    playroom_window_place(s, 256, 210, &x, &y);
    EXPECT_EQ(std::pair(x, y), std::pair(20, 192));
}

TEST(PlayRoomTitle, box_percent_and_time_follow_the_room_name) {
    char text[128];
    playroom_title_text(text, sizeof text, "Puzzle Table", "Sunset Lake", 42, "joined", 185);
    EXPECT_STREQ(text, "Puzzle Table - Sunset Lake - 42% joined - 3:05");
    playroom_title_text(text, sizeof text, "Puzzle Table", "Sunset Lake", 100, "joined", 3 * 3600 + 62);
    EXPECT_STREQ(text, "Puzzle Table - Sunset Lake - 100% joined - 3:01:02");
}
