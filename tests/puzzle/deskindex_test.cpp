// tests/puzzle/deskindex_test.cpp -- the desk index against a search of every piece: after
// thousands of random moves, turns, joins, restacks, lifts and carried ticks its bins, the hit
// test and the pieces it hands the resting layer are those a walk of all pieces finds; an idle
// frame looks at no piece and presents nothing.
#include "puzzle/deskindex.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "platform/io_video.h"
#include "platform/screen.h"
#include "puzzle/cut_support.h"
#include "puzzle/drag.h"
#include "puzzle/play_samples.h"
#include "puzzle/stack.h"
#include "puzzle/view.h"

using play_samples::HandGame;
using play_samples::P;
using V = std::vector<int>;

namespace {

constexpr int DESK_W = 1024, DESK_H = 768;

uint32_t g_seed = 12345;
int rnd(int n) {
    g_seed = g_seed * 1103515245u + 12345u;
    return (int)((g_seed >> 8) % (uint32_t)n);
}

// The stacking order, bottom first.
V stack_order() {
    V order;
    for (int i = play_state.bottom; i != -1; i = P(i).next)
        order.push_back(i);
    return order;
}

bool meets_dirty(const PlayPiece& p) {
    const PieceQuad& q = p.screenQuad;
    return q.right != -1 && screen_is_dirty(q.left, q.top, q.right - q.left + 1, q.bottom - q.top + 1);
}

// What a walk of every piece finds: the topmost piece whose rectangle holds the point (the pieces
// are fully covered rectangles, so a quarter-turned one is hit wherever its rectangle is).
int walk_top_at(int x, int y) {
    for (int i = play_state.top; i != -1; i = P(i).prev) {
        const PieceQuad& q = P(i).screenQuad;
        if (q.right != -1 && x >= q.left && x <= q.right && y >= q.top && y <= q.bottom) return i;
    }
    return -1;
}

// One random change, as the desk's events make them (then touched) or as a tick carries and
// turns pieces (then only watched).
void random_step() {
    const int n = play_state.pieceCount;
    const int i = rnd(n);
    switch (rnd(7)) {
        case 0:  // moved somewhere, now and then half off the desk
            P(i).x = rnd(DESK_W + 200) - 100, P(i).y = rnd(DESK_H + 200) - 100;
            pieces_touch();
            break;
        case 1:  // a quarter turn
            P(i).angle = rnd(4) * 90;
            pieces_touch();
            break;
        case 2: {  // two pieces joined: one stacked just above the other
            const int j = rnd(n);
            P(i).group = P(j).group = j;
            stack_insert_above(j, i);
            pieces_touch();
            break;
        }
        case 3:  // restacked
            if (rnd(2))
                stack_raise(i);
            else
                stack_insert_above(rnd(n), i);
            break;
        case 4:  // picked up or put down
            P(i).lift = P(i).lift ? 0 : play_state.liftHeight;
            if (P(i).lift) stack_raise(i);
            pieces_touch();
            break;
        case 5:  // carried for a few ticks without any event in between
            P(i).carried = 1, P(i).anchorX = P(i).x, P(i).anchorY = P(i).y;
            pieces_touch();
            for (int t = 0; t < 3; t++) {
                play_state.pendingDx = rnd(41) - 20, play_state.pendingDy = rnd(41) - 20;
                pieces_tick();
                if (t == 1) pieces_refresh();
            }
            P(i).carried = 0;
            pieces_touch();
            break;
        default:  // a turn in progress: 9 degrees a tick, so at angles between the quarters
            P(i).turnRequest = rnd(2) ? 1 : -1;
            pieces_touch();
            for (int t = 0; t < 1 + rnd(12); t++)
                pieces_tick();
            break;
    }
    pieces_refresh();
}

}  // namespace

TEST(DeskIndex, bins_hit_test_and_dirty_pieces_equal_a_walk_of_every_piece_after_random_steps) {
    cut_support::Frame frame(DESK_W, DESK_H);
    HandGame game(300, 40, 30, DESK_W, DESK_H, 40);
    for (int i = 0; i < 300; i++) {
        P(i).x = rnd(DESK_W - 40), P(i).y = rnd(DESK_H - 30);
        stack_raise(i);
    }
    pieces_settle();
    pieces_refresh();
    int checked_hits = 0, checked_draws = 0;
    for (int step = 0; step < 4000; step++) {
        random_step();
        ASSERT_EQ(deskindex_consistent(), 1) << "step " << step;
        for (int k = 0; k < 4; k++) {
            const int x = rnd(DESK_W), y = rnd(DESK_H);
            const int want = walk_top_at(x, y);
            if (want != -1 && P(want).angle % 90 != 0) continue;  // a turned piece's corners are not it
            ASSERT_EQ(piece_at(x, y), want) << "step " << step << " at " << x << "," << y;
            checked_hits += want != -1;
        }
        if (step % 10 != 0) continue;
        // The resting layer's pieces for a random dirty patch: those of the walk that meet it.
        screen_flush();
        screen_invalidate(rnd(DESK_W), rnd(DESK_H), 1 + rnd(300), 1 + rnd(200));
        V want, got;
        for (int i : stack_order())
            if (meets_dirty(P(i))) want.push_back(i);
        std::vector<int> listed(play_state.pieceCount);
        const int n = deskindex_dirty_pieces(listed.data(), play_state.pieceCount);
        ASSERT_GE(n, 0);
        for (int k = 0; k < n; k++)
            if (meets_dirty(P(listed[k]))) got.push_back(listed[k]);
        ASSERT_EQ(got, want) << "step " << step;
        checked_draws += (int)want.size();
    }
    EXPECT_GT(checked_hits, 1000);
    EXPECT_GT(checked_draws, 1000);
    // A desk of another size (the window was resized) cuts its bins again.
    play_state.deskWidth = 800, play_state.deskHeight = 600;
    EXPECT_EQ(deskindex_consistent(), 1);
    for (int i = 0; i < 300; i++)
        pieces_rects(i);
    EXPECT_EQ(deskindex_consistent(), 1);
}

TEST(DeskIndex, an_idle_frame_looks_at_no_piece_and_presents_nothing_and_a_carried_one_only_its_own) {
    cut_support::Frame frame(DESK_W, DESK_H);
    HandGame game(2000, 20, 20, DESK_W, DESK_H, 20);
    play_state.picture = cut_support::test_picture(2000, 2000);
    piece_set_picture(play_state.picture);
    for (int i = 0; i < 2000; i++)
        P(i).x = rnd(DESK_W - 20), P(i).y = rnd(DESK_H - 20), P(i).homeX = rnd(1900), P(i).homeY = rnd(1900);
    stack_reset();
    pieces_settle();
    pieces_tick();
    pieces_refresh();
    pieces_draw_resting();
    screen_flush();
    io_video_end_paint();

    // A frame where nothing happened: the tick, the refresh and both layers.
    const long before = pieces_visits();
    io_video_begin_paint();
    pieces_tick();
    pieces_refresh();
    pieces_draw_resting();
    pieces_draw_carried();
    screen_flush();
    EXPECT_EQ(pieces_visits(), before);
    EXPECT_EQ(io_video_present_list().count, 0);
    io_video_end_paint();

    // One carried piece: its tick and refresh, and the resting pieces around its two places.
    group_pick_up(7);
    pieces_touch();  // the pick-up's event
    io_video_begin_paint();
    pieces_tick();
    pieces_refresh();
    pieces_draw_resting();
    screen_flush();
    io_video_end_paint();
    const long carried = pieces_visits();
    io_video_begin_paint();
    play_state.pendingDx = 10;
    pieces_tick();
    pieces_refresh();
    pieces_draw_resting();
    pieces_draw_carried();
    EXPECT_LT(pieces_visits() - carried, 200) << "a carried piece's frame looks at its neighbourhood only";
    EXPECT_GT(pieces_visits() - carried, 1);
    screen_flush();
    EXPECT_GT(io_video_present_list().count, 0);
    piece_set_picture(nullptr);
}

// The same on a table four times the desk seen whole (at 25 %): idle frames look at nothing, a
// change of the view looks at every piece once and the frame after it at none again, a carried
// piece's frame at its neighbourhood.
TEST(DeskIndex, a_large_table_at_any_zoom_is_idle_when_nothing_changes) {
    cut_support::Frame frame(DESK_W, DESK_H);
    HandGame game(2000, 20, 20, DESK_W, DESK_H, 20);
    play_state.picture = cut_support::test_picture(2000, 2000);
    piece_set_picture(play_state.picture);
    play_state.bigTable = 1;
    play_state.view = view_make(4 * DESK_W, 4 * DESK_H, DESK_W, DESK_H);
    for (int i = 0; i < 2000; i++)
        P(i).x = rnd(4 * DESK_W - 20), P(i).y = rnd(4 * DESK_H - 20), P(i).homeX = rnd(1900),
        P(i).homeY = rnd(1900);
    stack_reset();
    pieces_settle();
    io_video_end_paint();  // each frame below opens and closes its own
    auto frame_visits = [](int dx) {
        const long before = pieces_visits();
        io_video_begin_paint();
        play_state.pendingDx = dx;
        pieces_tick();
        pieces_refresh();
        pieces_draw_resting();
        pieces_draw_carried();
        screen_flush();
        const int presented = io_video_present_list().count;
        io_video_end_paint();
        return std::pair<long, int>(pieces_visits() - before, presented);
    };
    frame_visits(0);
    EXPECT_EQ(frame_visits(0), (std::pair<long, int>(0, 0))) << "idle";
    ASSERT_EQ(view_zoom_at(&play_state.view, 1.0, 300, 200), 1);
    pieces_view_changed();
    EXPECT_GE(frame_visits(0).first, 2000) << "a new view: every piece once";
    EXPECT_EQ(frame_visits(0), (std::pair<long, int>(0, 0))) << "idle again";
    // A piece in view carried at 100 %.
    int shown = -1;
    for (int i = 0; i < 2000 && shown < 0; i++)
        if (P(i).screenQuad.right != -1 && P(i).screenQuad.left > 40 && P(i).screenQuad.top > 40) shown = i;
    ASSERT_GE(shown, 0);
    group_pick_up(shown);
    pieces_touch();
    frame_visits(0);
    const std::pair<long, int> carried = frame_visits(10);
    EXPECT_LT(carried.first, 200) << "a carried piece's frame looks at its neighbourhood only";
    EXPECT_GT(carried.second, 0);
    io_video_begin_paint();  // as the frame's end expects it
    piece_set_picture(nullptr);
}
