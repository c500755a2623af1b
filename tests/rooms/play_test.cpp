// tests/rooms/play_test.cpp -- the picture window's contents at its five size steps.
#include "rooms/play.h"

#include <gtest/gtest.h>

#include <utility>

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
