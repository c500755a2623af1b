// tests/puzzle/finish_test.cpp -- the finished picture: its glide upright to the place asked for,
// whole at every step, and the fade that ends in the clean picture where the seams were.
#include "puzzle/finish.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "platform/io_mem.h"
#include "platform/screen.h"
#include "puzzle/cut_support.h"
#include "puzzle/piece.h"
#include "puzzle/play_samples.h"

using play_samples::HandGame;
using play_samples::P;
using V = std::vector<int>;

namespace {

// A 2 x 2 puzzle of 100-pixel pieces over a 200 x 200 picture, joined, turned a quarter
// counter-clockwise with piece 0 at (500, 400).
struct TurnedPuzzle : HandGame {
    Image* picture;
    TurnedPuzzle() : HandGame(4, 100, 100, 1024, 768) {
        play_state.record.width = play_state.record.height = 200;
        picture = cut_support::test_picture(200, 200);
        play_state.picture = picture;
        play_state.pixels = (uint8_t*)picture + picture->colourOffset;
        play_state.pitch = picture->colourPitch;
        for (int i = 0; i < 4; i++) {
            P(i).homeX = i % 2 * 100, P(i).homeY = i / 2 * 100;
            P(i).group = 0, P(i).angle = 90;
            // A quarter turn counter-clockwise: right becomes up, down becomes right.
            P(i).x = 500 + P(i).homeY, P(i).y = 400 - P(i).homeX;
        }
    }
};

}  // namespace

TEST(Finish, the_picture_glides_whole_and_upright_to_its_place_then_fades_clean) {
    TurnedPuzzle game;
    Rect extent;
    ASSERT_EQ(finish_extent(&extent), 1);
    EXPECT_EQ((V{extent.x, extent.y, extent.w, extent.h}), (V{0, 0, 200, 200}));
    ASSERT_EQ(finish_start(300, 200), 1);
    for (int tick = 1; tick < FINISH_MOVE_TICKS; tick++) {
        EXPECT_EQ(finish_tick(), FINISH_MOVING) << tick;
        // Whole at every step: the four pieces keep their distances (one pixel of rounding).
        const int dx = P(1).x - P(0).x, dy = P(1).y - P(0).y;
        EXPECT_NEAR(std::sqrt((double)(dx * dx + dy * dy)), 100.0, 1.5) << tick;
        EXPECT_EQ(P(3).angle, P(0).angle);
    }
    EXPECT_EQ(finish_tick(), FINISH_FADING);
    EXPECT_EQ((V{P(0).x, P(0).y, P(3).x, P(3).y, P(0).angle, P(3).angle}), (V{300, 200, 400, 300, 0, 0}));
    // No paint yet, so nothing kept: the fade waits.
    EXPECT_EQ(finish_tick(), FINISH_FADING);

    // A paint of the pieces over a grey desk, kept; then the fade runs its ticks and the grid
    // region shows the picture itself, the rest of the area what the pieces drew.
    cut_support::Frame frame(1024, 768);
    cut_support::Frame::fill(0x808080);
    EXPECT_EQ(finish_draw(), 0) << "nothing kept yet: the pieces draw";
    finish_capture();
    int ticks = 0;
    while (finish_tick() == FINISH_FADING && ticks < 100)
        ticks++;
    EXPECT_EQ(ticks + 1, FINISH_FADE_TICKS);
    EXPECT_EQ(finish_phase(), FINISH_SHOWN);
    screen_invalidate_all();
    EXPECT_EQ(finish_draw(), 1);
    int clean = 0;
    for (int y = 0; y < 200; y++)
        for (int x = 0; x < 200; x++)
            clean += std::memcmp(cut_support::Frame::at(300 + x, 200 + y),
                                 play_state.pixels + y * play_state.pitch + x * 3, 3) == 0;
    EXPECT_EQ(clean, 200 * 200);
    EXPECT_EQ(cut_support::Frame::at(299, 250)[0], 0x80) << "beside the picture the desk stays";

    // Picked up, the pieces draw again; put down upright, the clean picture shows at once.
    finish_stop();
    EXPECT_EQ(finish_phase(), FINISH_NONE);
    EXPECT_EQ(finish_draw(), 0);
    EXPECT_EQ(finish_show(), 1);
    EXPECT_EQ(finish_phase(), FINISH_SHOWN);
    P(2).group = -1;  // a puzzle not whole shows nothing
    EXPECT_EQ(finish_show(), 0);
    EXPECT_EQ(finish_start(0, 0), 0);
    finish_stop();
    io_mem_free(game.picture);
    play_state.picture = nullptr;
}

// The game ends while the picture glides: it is put at its place at once, upright.
TEST(Finish, a_glide_cut_short_ends_at_its_place) {
    TurnedPuzzle game;
    ASSERT_EQ(finish_start(100, 50), 1);
    finish_tick();
    finish_skip();
    EXPECT_EQ((V{P(0).x, P(0).y, P(2).x, P(2).y, P(2).angle}), (V{100, 50, 100, 150, 0}));
    EXPECT_EQ(finish_phase(), FINISH_SHOWN);
    finish_stop();
    io_mem_free(game.picture);
    play_state.picture = nullptr;
}

// On a large table the fade draws the clean picture over the pieces where the view shows it,
// every paint: at 100 % the picture's own pixels, at 50 % its halved ones, beside it the desk.
TEST(Finish, on_a_large_table_the_clean_picture_follows_the_view) {
    TurnedPuzzle game;
    piece_set_picture(game.picture);
    play_state.bigTable = 1;
    play_state.view = {4000, 3000, 1024, 768, 1.0, -2000, -1500};
    ASSERT_EQ(finish_start(2300, 1700), 1);
    while (finish_tick() == FINISH_MOVING) {
    }
    EXPECT_EQ(finish_phase(), FINISH_FADING) << "nothing to keep: the fade runs at once";
    int ticks = 0;
    while (finish_tick() == FINISH_FADING && ticks < 100)
        ticks++;
    EXPECT_EQ(ticks + 1, FINISH_FADE_TICKS);
    cut_support::Frame frame(1024, 768);
    for (double zoom : {1.0, 0.5}) {
        SCOPED_TRACE(zoom);
        play_state.view.zoom = zoom;
        play_state.view.x = (int)(300 - 2300 * zoom), play_state.view.y = (int)(200 - 1700 * zoom);
        cut_support::Frame::fill(0x808080);
        screen_invalidate_all();
        EXPECT_EQ(finish_draw(), 0) << "the pieces draw";
        finish_overlay();
        const Image* pic = piece_picture_level(zoom == 1.0 ? 0 : 1);
        const int side = (int)(200 * zoom);
        int clean = 0;
        for (int y = 0; y < side; y++)
            for (int x = 0; x < side; x++)
                clean += std::memcmp(cut_support::Frame::at(300 + x, 200 + y),
                                     (const uint8_t*)pic + pic->colourOffset + y * pic->colourPitch + x * 3,
                                     3) == 0;
        EXPECT_EQ(clean, side * side);
        EXPECT_EQ(cut_support::Frame::at(299, 250)[0], 0x80) << "beside the picture the desk stays";
        EXPECT_EQ(cut_support::Frame::at(300 + side, 250)[0], 0x80);
    }
    finish_stop();
    piece_set_picture(nullptr);
}
