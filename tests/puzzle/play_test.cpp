// tests/puzzle/play_test.cpp -- the play state: scatter, settling, rectangles, stacking, groups kept
// on the desk, percent joined, ticks, refresh, the two drawing layers, whole games from real boxes.
#include "puzzle/play.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "platform/screen.h"
#include "puzzle/curve.h"
#include "puzzle/cut_support.h"
#include "puzzle/deskindex.h"
#include "puzzle/drag.h"
#include "puzzle/game.h"
#include "puzzle/grid.h"
#include "puzzle/group.h"
#include "puzzle/pieces.h"
#include "puzzle/play_samples.h"
#include "puzzle/progress.h"
#include "puzzle/stack.h"
#include "support/fatal_trap.h"

using namespace box_samples;
using play_samples::HandGame;
using V = std::vector<int>;

using play_samples::P;

namespace {

V box(const PieceQuad& q) { return {q.left, q.top, q.right, q.bottom}; }

}  // namespace

TEST(PlayScatter, pieces_start_inside_the_desk_below_the_top_line) {
    HandGame game(48);
    play_rand_seed(1);
    pieces_scatter();
    // By hand: the C library generator from seed 1 draws 41, 18467, ...; so x = 41 mod
    // (1024 - 100) and y = 18467 mod (768 - 100 - 20) + 20.
    EXPECT_EQ(P(0).x, 41);
    EXPECT_EQ(P(0).y, 343);
    for (int i = 0; i < 48; i++) {
        EXPECT_TRUE(P(i).x >= 0 && P(i).x < 1024 - 100 && P(i).y >= 20 && P(i).y < 768 - 100) << i;
        EXPECT_EQ(P(i).angle, 0);
        EXPECT_EQ(P(i).group, -1);
    }
    std::vector<int> order = HandGame::stack();
    EXPECT_EQ(std::set<int>(order.begin(), order.end()).size(), 48u) << "every piece stacked once";

    play_state.record.rotation = 1;
    pieces_scatter();
    std::set<int> angles;
    for (int i = 0; i < 48; i++) {
        EXPECT_TRUE(P(i).y >= 120 && P(i).y < 768 - 100) << "rotation keeps room for a turned piece";
        angles.insert(P(i).angle);
    }
    EXPECT_EQ(angles, (std::set<int>{0, 90, 180, 270}));
    EXPECT_EQ(HandGame::stack().size(), 48u);

    // A desk smaller than a piece does not divide by zero.
    play_state.deskWidth = 50;
    play_state.deskHeight = 50;
    pieces_scatter();
    EXPECT_EQ(P(5).x, 0);
    play_rand_seed(1);
}

TEST(PlaySettle, drops_turns_cut_short_and_resets_the_flags) {
    HandGame game(6);
    const int angles[6] = {45, 135, -90, 405, 359, 270};
    const int settled[6] = {0, 90, 270, 0, 270, 270};
    for (int i = 0; i < 6; i++) {
        P(i).x = 100 + 50 * i, P(i).y = 200, P(i).angle = angles[i];
        P(i).selected = P(i).carried = P(i).turnRequest = P(i).needsRedraw = 1;
        P(i).turning = -1;
        P(i).lift = 5;
    }
    pieces_settle();
    for (int i = 0; i < 6; i++) {
        EXPECT_EQ(P(i).angle, settled[i]) << angles[i];
        EXPECT_EQ((V{P(i).selected, P(i).carried, P(i).turning, P(i).turnRequest, P(i).needsRedraw, P(i).lift,
                     P(i).moved}),
                  V(7, 0));
        EXPECT_EQ((V{P(i).drawnAngle, P(i).drawnX}), (V{P(i).angle, P(i).x}));
        EXPECT_NE(P(i).screenQuad.right, -1);
    }
}

TEST(PlayRects, turned_off_desk_and_lifted_pieces) {
    HandGame game(3, 100, 60);
    P(0).x = 300, P(0).y = 300, P(0).angle = 90;
    pieces_rects(0);
    // A quarter turn swaps width and height, counter-clockwise about the top-left pixel.
    EXPECT_EQ(box(P(0).screenQuad), (V{300, 201, 359, 300}));
    EXPECT_EQ(P(0).shadowQuad.right, -1) << "resting pieces show no shadow";

    P(1).x = -99, P(1).y = 10;  // its last column is x = 0
    pieces_rects(1);
    EXPECT_EQ(box(P(1).screenQuad), (V{0, 10, 0, 69}));
    for (auto [x, y] : {std::pair{-100, 10}, {1024, 10}, {10, 768}}) {
        P(1).x = x, P(1).y = y;
        pieces_rects(1);
        EXPECT_EQ(P(1).screenQuad.right, -1) << x << "," << y;
    }

    P(2).x = 1000, P(2).y = 700, P(2).lift = 5;
    pieces_rects(2);
    EXPECT_EQ(box(P(2).screenQuad), (V{1000, 700, 1023, 759})) << "clamped to the desk";
    EXPECT_EQ(box(P(2).shadowQuad), (V{1000 + 5 - 4, 700 + 5 - 4, 1023, 767}));
}

TEST(PlayStack, raise_unlink_insert_and_group_size) {
    HandGame game(5);
    for (int i = 0; i < 5; i++)
        stack_raise(i);
    EXPECT_EQ(HandGame::stack(), (V{0, 1, 2, 3, 4}));
    stack_raise(1);
    stack_raise(1);
    EXPECT_EQ(HandGame::stack(), (V{0, 2, 3, 4, 1}));
    stack_unlink(0);
    EXPECT_EQ(HandGame::stack(), (V{2, 3, 4, 1}));
    stack_raise(0);
    stack_insert_above(2, 0);
    EXPECT_EQ(HandGame::stack(), (V{2, 0, 3, 4, 1}));
    stack_insert_above(2, 0);  // already directly above
    stack_insert_above(4, 4);  // itself
    EXPECT_EQ(HandGame::stack(), (V{2, 0, 3, 4, 1}));
    stack_insert_above(1, 2);
    EXPECT_EQ(HandGame::stack(), (V{0, 3, 4, 1, 2}));
    stack_unlink(2);
    stack_unlink(0);
    EXPECT_EQ(HandGame::stack(), (V{3, 4, 1}));
    stack_reset();
    EXPECT_EQ(HandGame::stack(), (V{0, 1, 2, 3, 4}));

    P(1).group = P(3).group = P(4).group = 3;
    EXPECT_EQ(group_size(0), 1);
    EXPECT_EQ(group_size(4), 3);
}

TEST(PlayKeepOnDesk, a_group_comes_back_as_a_whole) {
    HandGame game(5, 100, 100);
    // A group of three dragged far off the right edge; centres at x + 49.
    const int xs[3] = {3100, 3000, 3200};
    for (int i = 0; i < 3; i++)
        P(i).x = xs[i], P(i).y = 300 + 10 * i, P(i).group = 1, P(i).moved = 1;
    P(3).x = -500, P(3).y = 900, P(3).moved = 1;  // loose, off to the left and below
    P(4).x = -500, P(4).y = 100;                  // not moved: stays
    pieces_keep_on_desk();
    // The member nearest the desk ends with its centre on the edge; the others keep their places
    // in the group. The loose piece: centre (-50 + 49) / 2 = 0.
    EXPECT_EQ((V{P(1).x + 49, P(0).x - P(1).x, P(2).x - P(1).x, P(0).y}), (V{1024, 100, 200, 300}));
    EXPECT_EQ((V{P(3).x, P(3).y + 49, P(4).x}), (V{-50, 768, -500}));
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(P(i).moved, 0);

    // One member already on the desk stops the search: nobody moves.
    P(0).x = 500, P(1).x = 1100, P(2).x = 3000;
    P(1).moved = 1;
    pieces_keep_on_desk();
    EXPECT_EQ((V{P(0).x, P(2).x, P(1).moved}), (V{500, 3000, 0}));
}

TEST(PlayProgress, percent_of_joined_links) {
    {
        HandGame game(48);
        play_samples::grid_neighbours(8, 6);
        progress_update();
        EXPECT_EQ(play_state.info.percent, 0);
        P(0).group = P(1).group = 0;  // one joined pair: 2 of 164 entries
        progress_update();
        EXPECT_EQ(play_state.info.percent, 1);
        P(2).group = P(3).group = 2;
        P(8).group = P(9).group = 0;  // 0-1, 0-8, 1-9, 8-9 and 2-3 both ways, not 1-2: 10 entries
        progress_update();
        EXPECT_EQ(play_state.info.percent, 6);
        for (int i = 0; i < 48; i++)
            P(i).group = 0;
        progress_update();
        EXPECT_EQ(play_state.info.percent, 100);
    }
    {
        HandGame game(10000);  // small shares round up to one
        play_samples::grid_neighbours(100, 100);
        P(0).group = P(1).group = 0;  // 2 of 39600 entries
        progress_update();
        EXPECT_EQ(play_state.info.percent, 1);
    }
    HandGame single(1);  // a single piece is whole
    progress_update();
    EXPECT_EQ(play_state.info.percent, 100);
}

TEST(PlayTick, carried_pieces_follow_the_mouse_and_turn_in_ten_ticks) {
    HandGame game(2);
    PlayPiece& p = P(0);
    p.x = p.anchorX = 600, p.y = p.anchorY = 400;
    p.carried = 1, p.lift = 5;
    play_state.pendingDx = 7, play_state.pendingDy = -3;
    pieces_tick();
    EXPECT_EQ((V{p.x, p.y, play_state.pendingDx, P(1).x}), (V{607, 397, 0, 0})) << "resting pieces stay";

    // A turn request starts on the next tick about the mouse, then 9 degrees a tick.
    p.x = p.anchorX = 600, p.y = p.anchorY = 400;
    p.turnRequest = 1;
    play_state.mouseX = 500, play_state.mouseY = 400;
    pieces_tick();
    EXPECT_EQ((V{p.turning, p.turnRequest, p.angle}), (V{1, 0, 0}));
    for (int t = 0; t < 9; t++)
        pieces_tick();
    EXPECT_EQ((V{p.angle, p.turning}), (V{81, 1}));
    pieces_tick();
    EXPECT_EQ((V{p.angle, p.turning}), (V{90, 0}));
    // 100 pixels right of the pivot turned counter-clockwise: above it.
    EXPECT_EQ((V{p.x, p.y}), (V{500, 300}));

    // Clockwise from 0 wraps to 351, and motion during the turn carries the pivot along.
    HandGame again(1);
    PlayPiece& q = P(0);
    q.x = q.anchorX = 600, q.y = q.anchorY = 400;
    q.carried = 1, q.turnRequest = -1;
    play_state.mouseX = 500, play_state.mouseY = 400;
    pieces_tick();
    play_state.pendingDx = 10;
    pieces_tick();
    EXPECT_EQ((V{q.angle, q.pivotX}), (V{351, 510}));
    for (int t = 0; t < 9; t++)
        pieces_tick();
    EXPECT_EQ((V{q.angle, q.x, q.y}), (V{270, 510, 500})) << "clockwise on the screen: below the pivot";
}

TEST(PlayRefresh, marks_old_and_new_areas_of_changed_pieces) {
    cut_support::Frame frame(1024, 768);
    HandGame game(2, 100, 60);
    P(0).x = 100, P(0).y = 100;
    P(1).x = 600, P(1).y = 500;
    pieces_settle();
    screen_flush();
    pieces_refresh();
    EXPECT_FALSE(screen_is_dirty(0, 0, 1024, 768)) << "nothing changed";

    P(0).x = 400;
    pieces_refresh();
    EXPECT_FALSE(screen_is_dirty(0, 0, 1024, 768)) << "set by hand, outside the desk's events: not looked at";
    pieces_touch();
    pieces_refresh();
    EXPECT_TRUE(screen_is_dirty(100, 100, 100, 60)) << "old area";
    EXPECT_TRUE(screen_is_dirty(400, 100, 100, 60)) << "new area";
    EXPECT_FALSE(screen_is_dirty(600, 500, 100, 60));
    EXPECT_EQ((V{P(0).drawnX, P(0).screenQuad.left}), (V{400, 400}));
    screen_flush();

    P(1).needsRedraw = 1;
    pieces_touch();
    pieces_refresh();
    EXPECT_TRUE(screen_is_dirty(600, 500, 100, 60));
    EXPECT_EQ(P(1).needsRedraw, 0);
    screen_flush();

    P(1).lift = 5;  // lifting shows the shadow
    pieces_touch();
    pieces_refresh();
    EXPECT_TRUE(screen_is_dirty(600 + 5 + 100, 500 + 5 + 60, 1, 1));
    EXPECT_NE(P(1).shadowQuad.right, -1);
}

TEST(PlayDraw, lifted_pieces_and_their_shadows_lie_above_resting_ones) {
    cut_support::Frame frame(400, 300);
    img_shadow_table_init();
    HandGame game(2, 40, 40, 400, 300);
    play_state.picture = cut_support::test_picture(200, 200);
    piece_set_picture(play_state.picture);
    P(0).homeX = 10, P(0).homeY = 10;
    P(1).homeX = 100, P(1).homeY = 100;
    P(0).x = P(1).x = 50, P(0).y = P(1).y = 50;
    stack_raise(0);
    stack_raise(1);
    pieces_settle();
    P(0).lift = 5;  // the lower piece is carried
    pieces_refresh();
    cut_support::Frame::fill(0x00FF00);
    pieces_draw_resting();
    EXPECT_EQ(play_state.firstLifted, 0);
    const uint8_t* pic = (const uint8_t*)play_state.picture + play_state.picture->colourOffset;
    auto picture_at = [&](int x, int y) { return pic + y * play_state.picture->colourPitch + 3 * x; };
    EXPECT_EQ(std::memcmp(cut_support::Frame::at(60, 60), picture_at(110, 110), 3), 0)
        << "resting piece drawn";
    pieces_draw_carried();
    EXPECT_EQ(std::memcmp(cut_support::Frame::at(60, 60), picture_at(20, 20), 3), 0) << "lifted piece on top";
    // The shadow shows beyond the lifted piece: the desk colour darkened.
    const uint8_t* shade = cut_support::Frame::at(50 + 5 + 40 + 2, 50 + 5 + 40 + 2);
    EXPECT_TRUE(shade[0] == 0 && shade[1] > 0 && shade[1] < 255) << (int)shade[1];
    piece_set_picture(nullptr);
}

// --- Whole games from boxes ---

namespace {

struct BoxGame {
    box_samples::GameFolder folder;
    cut_support::CurvePack pack;
    BoxGame() {
        curves_load();
        play_state = {};
        play_state.deskWidth = 1024;
        play_state.deskHeight = 768;
        play_rand_seed(1);
    }
    ~BoxGame() {
        game_end();
        play_state = {};
        play_rand_seed(1);
    }
};

}  // namespace

TEST(PlayGame, starts_scattered_saves_and_resumes_the_same_desk) {
    BoxGame g;
    play_samples::make_box("garden", 320, 240, 40, 30, 1);
    ASSERT_EQ(game_start("garden"), 1);
    ASSERT_EQ(play_state.pieceCount, 48);
    EXPECT_EQ((V{play_state.open, play_state.info.percent, (int)HandGame::stack().size()}), (V{1, 0, 48}));
    EXPECT_TRUE(exists("sfiles/temp/garden.tmp")) << "the cut was cached";
    EXPECT_FALSE(exists(BOX_PICTURE_FILE)) << "working files are cleared";
    std::set<int> angles;
    for (int i = 0; i < 48; i++)
        angles.insert(P(i).angle);
    EXPECT_GT(angles.size(), 1u) << "the box's rotation turns pieces";
    EXPECT_EQ(P(47).pieceTexture[2][0], play_state.shapes[P(47).shape].piece->width - 1) << "settled";
    EXPECT_EQ(play_state.ghostDesk, nullptr) << "made when first shown";
    ASSERT_NE(game_ghost_desk(), nullptr);
    EXPECT_EQ(play_state.ghostDesk->width, 1024);

    // Join a few pieces, turn one, then leave and come back.
    for (int i : {0, 1, 8})
        P(i).group = 0;
    P(9).angle = 180;
    P(5).x = 777, P(5).y = 555;
    P(9).moved = P(5).moved = 1;  // as a drop leaves them
    pieces_keep_on_desk();
    stack_raise(3);
    progress_update();
    EXPECT_EQ(play_state.info.percent, 2);
    play_state.info.elapsedSeconds = 500;
    // The desk as the save keeps it, the cut as the cache keeps it: every piece's place and
    // links, and the bytes of every shape.
    auto layout = [] {
        V all;
        for (int i = 0; i < 48; i++)
            all.insert(all.end(), {P(i).x, P(i).y, P(i).angle, P(i).group, P(i).homeX, P(i).homeY, P(i).shape,
                                   P(i).neighbourCount, P(i).neighbours[0], P(i).neighbours[3]});
        const uint64_t h = play_samples::shapes_hash(play_state.shapes, play_state.shapeCount);
        all.insert(all.end(), {play_state.shapeCount, play_state.liftHeight, (int)h, (int)(h >> 32)});
        return all;
    };
    const V before = layout();
    const V order = HandGame::stack();
    game_end();
    EXPECT_TRUE(play_state.open == 0 && play_state.pieces == nullptr);
    EXPECT_TRUE(exists("sfiles/qs/garden.qsv"));
    const Bytes cache = read_file("sfiles/temp/garden.tmp");
    write_fuzz_seed("fuzz_cutcache", "real48", cache.data(), cache.size());

    static int cuts = 0;
    const CutProgress counter = {[](int) { cuts++; }, nullptr, nullptr};
    grid_set_progress(&counter);
    ASSERT_EQ(game_start("garden"), 1);
    grid_set_progress(nullptr);
    EXPECT_EQ(cuts, 0) << "the cut comes from the cache";
    EXPECT_EQ(layout(), before) << "the save gives the same desk, the cache the same cut";
    EXPECT_EQ(HandGame::stack(), order);
    EXPECT_EQ((V{play_state.info.percent, play_state.info.pieceCount}), (V{2, 48}));
    EXPECT_GE(play_state.info.elapsedSeconds, 500);
}

TEST(PlayGame, boxes_that_cannot_be_played_leave_nothing_open) {
    BoxGame g;
    EXPECT_EQ(game_start("missing"), 0);
    EXPECT_EQ(play_state.open, 0);

    play_samples::make_box("huge-pieces", 64, 48, 100);  // no piece fits the picture
    EXPECT_EQ(game_start("huge-pieces"), 0);
    EXPECT_TRUE(play_state.open == 0 && play_state.pieces == nullptr && play_state.picture == nullptr);
    EXPECT_FALSE(exists(BOX_PICTURE_FILE) || exists("sfiles/temp/huge-pieces.tmp"));
}

TEST(PlayGame, a_cut_too_large_for_the_desk_keeps_its_size_on_a_larger_table_and_is_cached) {
    BoxGame g;
    play_state.deskWidth = 640;
    play_state.deskHeight = 480;
    play_samples::make_box("wide", 800, 400, 50, 0);
    ASSERT_EQ(game_start("wide"), 1);
    EXPECT_TRUE(play_state.record.width == 800 && play_state.record.pieceSize == 50) << "not shrunk";
    EXPECT_EQ(play_state.pieceCount, 16 * 8);
    ASSERT_EQ(play_state.bigTable, 1);
    int tw, th;
    ASSERT_EQ(view_table_size(800, 400, 50, 640, 480, &tw, &th), 1);
    EXPECT_TRUE(play_table_width() == tw && play_table_height() == th);
    EXPECT_EQ(play_state.view.zoom, view_fit_zoom(play_state.view)) << "a fresh game shows the whole table";
    EXPECT_TRUE(exists("sfiles/temp/wide.tmp"));
    EXPECT_FALSE(exists("sfiles/temp/640x480/wide.tmp"));
    // The pieces lie all over the table, and at the whole table's zoom every one is on the screen,
    // drawn smaller.
    int beyond = 0;
    for (int i = 0; i < play_state.pieceCount; i++) {
        const PlayPiece& p = P(i);
        EXPECT_TRUE(p.x >= 0 && p.y >= 0 && p.x < tw && p.y < th) << i;
        beyond += p.x > 640 || p.y > 480;
        const PieceQuad& q = p.screenQuad;
        ASSERT_NE(q.right, -1) << i;
        EXPECT_LT(q.right - q.left, 50) << i;
    }
    EXPECT_GT(beyond, 0) << "scattered over the whole table, not the desk";
    V layout;
    for (int i = 0; i < play_state.pieceCount; i++)
        layout.push_back(P(i).x), layout.push_back(P(i).y);
    const uint64_t shapes = play_samples::shapes_hash(play_state.shapes, play_state.shapeCount);
    game_end();

    // Opened again on a desk of another size: the same cut from the cache (a changed byte of a
    // shape shows) and the same table positions.
    Bytes cache = read_file("sfiles/temp/wide.tmp");
    ASSERT_GT(cache.size(), 64u);
    cache[cache.size() - 4 - 10] ^= 0x01;  // a pixel of the last shape's last image, before the lift
    write_file("sfiles/temp/wide.tmp", cache);
    play_state.deskWidth = 720;
    play_state.deskHeight = 560;
    ASSERT_EQ(game_start("wide"), 1);
    EXPECT_NE(play_samples::shapes_hash(play_state.shapes, play_state.shapeCount), shapes) << "read, not cut";
    V again;
    const int dx = play_table_width() / 2 - tw / 2, dy = play_table_height() / 2 - th / 2;
    for (int i = 0; i < play_state.pieceCount; i++)
        again.push_back(P(i).x - dx), again.push_back(P(i).y - dy);
    EXPECT_EQ(again, layout) << "positions kept relative to the table's centre";
}

// A game saved before large tables existed may hold a picture shrunk to a smaller desk, with as
// many pieces: it is taken up where it lay, each group laid anew as the picture has its pieces at
// the box's own size; the view shows the whole table. A game saved on the large table keeps its
// view and its groups exactly.
TEST(PlayGame, an_older_game_of_a_large_cut_is_taken_up_with_its_groups_laid_anew) {
    BoxGame g;
    play_state.deskWidth = 640;
    play_state.deskHeight = 480;
    play_samples::make_box("wide", 800, 400, 50, 20);
    ASSERT_EQ(game_start("wide"), 1);
    ASSERT_EQ(play_state.bigTable, 1);
    // Pieces 0 and 1 (left and right of the top row) joined as a shrunk picture left them.
    P(0).group = P(1).group = 1;
    P(1).x = 700, P(1).y = 500, P(0).x = 700 - 30, P(0).y = 502;
    play_state.view.zoom = 1.0, play_state.view.x = -300, play_state.view.y = -200;
    game_end();
    Bytes save = read_file("sfiles/qs/wide.qsv");
    ASSERT_EQ(get32(save, save.size() - 28), 103u) << "the view is the last chunk";
    ASSERT_EQ(game_start("wide"), 1);
    EXPECT_EQ((V{play_state.viewRead, P(1).x, P(0).x}), (V{1, 700, 670})) << "kept as it was";
    EXPECT_EQ((V{play_state.view.x, play_state.view.y}), (V{-300, -200}));
    game_end();

    write_file("sfiles/qs/wide.qsv", Bytes(save.begin(), save.end() - 28));  // as saved before
    ASSERT_EQ(game_start("wide"), 1);
    EXPECT_EQ(play_state.viewRead, 0);
    EXPECT_EQ((V{P(1).x, P(1).y, P(0).group, P(1).group}), (V{700, 500, 1, 1}));
    EXPECT_EQ((V{P(0).x - P(1).x, P(0).y - P(1).y}), (V{P(0).homeX - P(1).homeX, P(0).homeY - P(1).homeY}));
    EXPECT_EQ(play_state.view.zoom, view_fit_zoom(play_state.view));
}

// A game is refused before it is cut when it could not be held: the estimate of 9744 pieces of
// 39 pixels from a 4400 x 3400 picture lies near what such a game measured (about 200 MiB for the
// whole process), a picture at the picture limits cut at 40 pixels still plays, and four times
// that is refused.
TEST(PlayGame, the_memory_a_game_would_hold_is_estimated_before_it_is_cut) {
    const auto mib = [](int w, int h, int size) {
        BoxRecord r{};
        r.width = w, r.height = h, r.pieceSize = size;
        return game_memory_estimate(r, 1920, 1080) >> 20;
    };
    EXPECT_GE(mib(4400, 3400, 39), 150);
    EXPECT_LE(mib(4400, 3400, 39), 300);
    EXPECT_LT(mib(16384, 6103, 40) << 20, GAME_MEMORY_MAX);
    EXPECT_GT(mib(32768, 12206, 40) << 20, GAME_MEMORY_MAX);
    EXPECT_EQ(mib(100, 100, 0), 0) << "settings that cut nothing";
}

// A large table stays the same when the screen changes size: the pieces keep their table places,
// the view keeps its zoom within the new limits, and the screen rectangles follow the new view.
TEST(PlayGame, a_large_table_keeps_its_pieces_when_the_screen_changes_size) {
    BoxGame g;
    play_state.deskWidth = 640;
    play_state.deskHeight = 480;
    play_samples::make_box("wide", 800, 400, 50, 0);
    ASSERT_EQ(game_start("wide"), 1);
    ASSERT_EQ(play_state.bigTable, 1);
    const TableView before = play_state.view;
    ASSERT_EQ(view_zoom_at(&play_state.view, 1.0, 320, 240), 1);
    V places;
    for (int i = 0; i < play_state.pieceCount; i++)
        places.push_back(P(i).x), places.push_back(P(i).y);
    game_desk_resized(800, 600);
    V after;
    for (int i = 0; i < play_state.pieceCount; i++)
        after.push_back(P(i).x), after.push_back(P(i).y);
    EXPECT_EQ(after, places);
    EXPECT_TRUE(play_table_width() == before.tableWidth && play_table_height() == before.tableHeight);
    EXPECT_EQ((V{play_state.view.screenWidth, play_state.view.screenHeight}), (V{800, 600}));
    EXPECT_EQ(play_state.view.zoom, 1.0);
    // Every piece's screen rectangle is where the new view shows it.
    for (int i = 0; i < play_state.pieceCount; i++) {
        PieceQuad q;
        piece_quad(&play_state.shapes[P(i).shape], P(i).x, P(i).y, P(i).angle, 0, 0, &q);
        const int x = q.left + play_state.view.x, y = q.top + play_state.view.y;
        if (x < 0 || y < 0 || x + (q.right - q.left) >= 800 || y + (q.bottom - q.top) >= 600) continue;
        EXPECT_EQ((V{P(i).screenQuad.left, P(i).screenQuad.top}), (V{x, y})) << i;
    }
}

TEST(PlayGame, an_old_cut_cache_is_replaced_by_a_new_cut_and_a_damaged_save_by_a_scatter) {
    BoxGame g;
    play_samples::make_box("meadow", 160, 120, 40, 25);
    ASSERT_EQ(game_start("meadow"), 1);
    V homes;
    for (int i = 0; i < play_state.pieceCount; i++)
        homes.push_back(P(i).homeX);
    play_state.info.elapsedSeconds = 500;
    game_end();
    Bytes cache = read_file("sfiles/temp/meadow.tmp");
    ASSERT_EQ(get32(cache, 20), 125u);
    cache[20] = 124;
    write_file("sfiles/temp/meadow.tmp", cache);
    Bytes save = read_file("sfiles/qs/meadow.qsv");
    const size_t layout = save.size() - 12 * 4 - 8 - 12 * 20;
    save[layout + 16] = 77;  // piece 0's group names no piece
    write_file("sfiles/qs/meadow.qsv", save);

    ASSERT_EQ(game_start("meadow"), 1);
    for (int i = 0; i < play_state.pieceCount; i++)
        EXPECT_EQ(P(i).homeX, homes[i]) << "the same cut again";
    EXPECT_EQ(get32(read_file("sfiles/temp/meadow.tmp"), 20), 125u) << "and a new cache";
    EXPECT_EQ(play_state.info.elapsedSeconds, 0) << "scattered afresh";
    EXPECT_EQ(HandGame::stack().size(), 12u);
}

TEST(PlayGame, the_autosave_and_the_end_put_a_carried_piece_down_and_save_its_join) {
    BoxGame g;
    play_samples::make_box("meadow", 160, 120, 40, 25);
    ASSERT_EQ(game_start("meadow"), 1);
    const int n = play_state.pieceCount;
    ASSERT_EQ(n, 12);
    // Piece 1 on the mouse, right where it fits beside piece 0.
    P(0).angle = P(1).angle = 0;
    P(1).x = P(0).x + P(1).homeX - P(0).homeX, P(1).y = P(0).y + P(1).homeY - P(0).homeY;
    group_pick_up(1);
    auto saved = [n] {
        const Bytes save = read_file("sfiles/qs/meadow.qsv");
        const size_t layout = save.size() - n * 4 - 8 - n * 20;
        SaveInfo info;
        const FileStamp stamp = sample_stamp(42);
        const int percent = quicksave_read_info("meadow", &stamp, &info) ? info.percent : -1;
        return V{(int)get32(save, layout + 16), (int)get32(save, layout + 20 + 16),
                 (int)get32(save, layout + 40 + 16), percent > 0};
    };

    ASSERT_EQ(game_autosave(), 1);
    EXPECT_EQ(saved(), (V{0, 0, -1, 1})) << "saved as the end would put it down";
    EXPECT_EQ((V{P(1).carried, P(1).lift, P(1).group, P(0).group, play_state.info.percent}),
              (V{1, play_state.liftHeight, -1, -1, 0}))
        << "the live game goes on";
    game_end();
    EXPECT_EQ(saved(), (V{0, 0, -1, 1}));
}

TEST(PlayDesk, a_resized_desk_keeps_places_from_its_centre_and_every_piece_on_it) {
    cut_support::Frame frame(1024, 768);
    HandGame game(3, 100, 60);
    play_state.open = 1;
    P(0).x = 100, P(0).y = 100;
    P(1).x = 1000, P(1).y = 700;
    P(2).x = 500, P(2).y = 300, P(2).carried = 1, P(2).lift = 5, P(2).anchorX = 500, P(2).anchorY = 300;
    stack_reset();
    pieces_settle();
    P(2).carried = 1, P(2).lift = 5;  // picked up again after the settle
    pieces_touch();
    pieces_refresh();
    game_desk_resized(800, 600);  // the centre moves by (-112, -84)
    EXPECT_EQ((V{play_state.deskWidth, play_state.deskHeight}), (V{800, 600}));
    EXPECT_EQ((V{P(0).x, P(0).y}), (V{-12, 16})) << "its centre is on the desk";
    EXPECT_EQ((V{P(1).x, P(1).y}), (V{751, 571})) << "brought back until its centre (x + 49) is on the edge";
    EXPECT_EQ((V{P(2).x, P(2).y, P(2).anchorX, P(2).carried}), (V{388, 216, 388, 1})) << "carried on";
    EXPECT_EQ((V{P(1).screenQuad.right, P(1).drawnX}), (V{799, 751})) << "rectangles for the new desk";
    EXPECT_EQ(deskindex_consistent(), 1);
    game_desk_resized(1024, 768);
    EXPECT_EQ((V{P(0).x, P(0).y, P(1).x, P(1).y}), (V{100, 100, 863, 655}));
    play_state.open = 0;
}
