// tests/puzzle/drag_test.cpp -- the play on the desk: hit test, button rules, snapping, joining
// and completion as the drop reports them, band selection, gathering, the rigid carry.
#include "puzzle/drag.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "platform/sys.h"
#include "puzzle/deskspace.h"
#include "puzzle/piece.h"
#include "puzzle/play_samples.h"
#include "puzzle/stack.h"

using play_samples::HandGame;
using play_samples::P;
using V = std::vector<int>;

namespace {

// Pieces of a columns x rows picture cut into size x size cells, with their neighbours.
void grid(int columns, int rows, int size = 100) {
    play_samples::grid_neighbours(columns, rows);
    for (int i = 0; i < columns * rows; i++)
        P(i).homeX = i % columns * size, P(i).homeY = i / columns * size;
}

void place(int i, int x, int y, int angle = 0, int group = -1) {
    P(i).x = x, P(i).y = y, P(i).angle = angle, P(i).group = group;
}

V result(const DropResult& r) { return {r.joined, r.completed, r.x, r.y, r.elapsedSeconds}; }

}  // namespace

TEST(DragSnap, angle_within_five_and_squared_distance_within_half_the_size) {
    HandGame game(2, 100, 100);
    grid(2, 1);
    place(0, 300, 300);
    auto snaps = [](int x, int y, int angle) { return place(1, x, y, angle), snap_test(0, 1); };
    // 359 and 0 count as 359 apart.
    EXPECT_EQ((V{snaps(400, 300, 4), snaps(400, 300, 6), snaps(400, 300, 359), snaps(405, 305, 0),
                 snaps(405, 306, 0)}),
              (V{1, 0, 0, 1, 0}));
    place(0, 300, 300, 90);  // a quarter turn counter-clockwise puts the right neighbour above
    EXPECT_EQ((V{snaps(300, 200, 90), snaps(400, 300, 90)}), (V{1, 0}));
}

TEST(DragDrop, a_group_joins_onto_its_neighbour_and_the_last_join_completes_once) {
    HandGame game(3, 100, 100);
    grid(3, 1);
    place(0, 200, 100), place(1, 500, 300, 0, 2), place(2, 600, 300, 0, 2);
    stack_reset();
    pieces_settle();
    play_state.info = {.elapsedSeconds = 3782};
    play_state.sessionMs = 125000;  // played this session
    P(0).selected = 1;
    group_pick_up(1);  // carried off by the mouse to just beside piece 0
    play_state.pendingDx = 302 - 500, play_state.pendingDy = 101 - 300;
    pieces_tick();
    desk_mouse_at(340, 160);
    play_state.changed = 0;

    // 3782 seconds before, 125 in this game.
    EXPECT_EQ(result(pieces_drop()), (V{1, 1, 340, 160, 3907})) << "one join, the last";
    EXPECT_EQ((V{P(0).x, P(0).y, P(1).x, P(1).y, P(2).x, P(2).y}), (V{200, 100, 300, 100, 400, 100}))
        << "the dropped group moves, its neighbour stays";
    EXPECT_EQ((V{P(0).group, P(1).group, P(2).group}), (V{2, 2, 2}));
    EXPECT_EQ(HandGame::stack(), (V{0, 2, 1})) << "members just above the neighbour";
    EXPECT_EQ((V{play_state.info.percent, play_state.info.elapsedSeconds, play_state.changed}),
              (V{100, 3907, 1}));
    EXPECT_NE(play_state.info.date[0], 0);
    EXPECT_EQ(P(0).selected, 0) << "a join clears the selection";

    group_pick_up(0);
    desk_mouse_at(50, 60);
    EXPECT_EQ(result(pieces_drop()), (V{0, 0, 50, 60, 0})) << "a whole puzzle does not complete again";
    EXPECT_EQ(play_state.info.elapsedSeconds, 3907);
}

TEST(DragDrop, a_piece_joins_each_neighbour_it_fits_and_a_drop_beside_nothing_reports_no_join) {
    HandGame game(4, 100, 100);
    grid(4, 1);
    place(0, 100, 100), place(1, 600, 400), place(2, 304, 98), place(3, 700, 100);
    stack_reset();
    pieces_settle();
    P(3).selected = 1;
    group_pick_up(1);
    desk_drag_motion(-400, -300);  // right beside 0, and close enough to 2
    desk_mouse_at(230, 150);
    EXPECT_EQ(result(pieces_drop()), (V{2, 0, 230, 150, 0}));
    EXPECT_EQ((V{P(0).group, P(1).group, P(2).group, P(3).group}), (V{0, 0, 0, -1}));
    EXPECT_EQ(P(3).selected, 0);
    EXPECT_LT(play_state.info.percent, 100);

    P(3).selected = 1;
    group_pick_up(3);
    desk_drag_motion(0, 300);
    EXPECT_EQ(result(pieces_drop()), (V{0, 0, 230, 150, 0}));
    EXPECT_EQ((V{P(3).y, P(3).group, P(3).selected}), (V{400, -1, 1})) << "the selection stays";
}

TEST(DragDrop, motion_after_the_last_tick_still_moves_the_dropped_pieces) {
    HandGame game(2, 100, 100);
    grid(2, 1);
    place(0, 100, 100), place(1, 600, 500);
    stack_reset();
    pieces_settle();
    group_pick_up(1);
    desk_drag_motion(-198, -399);  // released before the next tick
    pieces_drop();
    EXPECT_EQ((V{P(1).x, P(1).y, P(1).lift, play_state.pendingDx}), (V{402, 101, 0, 0}));
}

TEST(DragSelect, a_band_flips_a_group_once_and_ctrl_keeps_the_selection) {
    HandGame game(4, 100, 100);
    grid(2, 2);
    place(0, 100, 100, 0, 0), place(1, 200, 100, 0, 0), place(2, 100, 200, 0, 0), place(3, 600, 500);
    stack_reset();
    pieces_settle();
    auto selected = [] { return V{P(0).selected, P(1).selected, P(2).selected, P(3).selected}; };
    // Centres at (149, 149) and (249, 149); the band reaches piece size / 5 beyond its edges.
    select_in_rect(0, 0, 128, 128);
    EXPECT_EQ(selected(), (V{0, 0, 0, 0}));
    select_in_rect(140, 140, 120, 10);
    EXPECT_EQ(selected(), (V{1, 1, 1, 0})) << "two centres inside: flipped once";

    EXPECT_EQ(desk_button_down(900, 50, MOUSE_LEFT | MOUSE_CTRL, 0), DESK_BAND);
    select_in_rect(100, 100, 600, 500);
    EXPECT_EQ(selected(), (V{0, 0, 0, 1})) << "Ctrl flips what the band covers";
    EXPECT_EQ(desk_button_down(120, 220, MOUSE_LEFT | MOUSE_CTRL, 0), DESK_NOTHING);
    EXPECT_EQ(selected(), (V{1, 1, 1, 1})) << "Ctrl-click flips the group";
    EXPECT_EQ(desk_button_down(900, 50, MOUSE_LEFT, 0), DESK_BAND);
    EXPECT_EQ(selected(), (V{0, 0, 0, 0}));
}

TEST(DragMouse, hit_test_and_the_click_versus_drag_rule) {
    HandGame game(2, 100, 60);
    uint16_t* codes =
        (uint16_t*)((uint8_t*)play_state.shapes[0].piece + play_state.shapes[0].piece->colourOffset);
    for (int v = 30; v < 60; v++)  // the bottom-right quarter is outside the outline
        for (int u = 50; u < 100; u++)
            codes[v * 100 + u] = 0;
    codes[5] = 1;  // a fringe pixel of the least coverage
    place(0, 100, 100), place(1, 300, 300, 90);
    stack_reset();
    pieces_settle();
    EXPECT_EQ((V{piece_at(175, 115), piece_at(175, 145), piece_at(105, 100)}), (V{0, -1, 0}));
    // Turned a quarter counter-clockwise: image (u, v) lies at (300 + v, 300 - u).
    EXPECT_EQ((V{piece_at(315, 225), piece_at(345, 225)}), (V{1, -1}));

    // A quick click leaves the piece on the mouse; the next left press ends the capture.
    EXPECT_EQ(desk_button_down(120, 120, MOUSE_LEFT, 1000), DESK_CAPTURE);
    EXPECT_EQ((V{P(0).carried, P(0).lift, play_state.top}), (V{1, 5, 0}));
    pieces_refresh();
    EXPECT_EQ(piece_at(202, 150), -1) << "the shadow is not the piece";
    EXPECT_EQ(desk_button_up(120, 120, MOUSE_LEFT | MOUSE_CAPTURED, 1250), DESK_NOTHING);
    // A right click turns clockwise, with Ctrl counter-clockwise.
    EXPECT_EQ(desk_button_down(700, 700, MOUSE_RIGHT | MOUSE_CAPTURED, 1400), DESK_NOTHING);
    const int clockwise = P(0).turnRequest;
    EXPECT_EQ(desk_button_down(700, 700, MOUSE_RIGHT | MOUSE_CTRL | MOUSE_CAPTURED, 1400), DESK_NOTHING);
    EXPECT_EQ((V{clockwise, P(0).turnRequest}), (V{-1, 1}));
    EXPECT_EQ(desk_button_down(700, 700, MOUSE_LEFT | MOUSE_CAPTURED, 1500), DESK_END_CAPTURE);
    // Held longer, the release drops.
    pieces_drop();
    EXPECT_EQ(desk_button_down(120, 120, MOUSE_LEFT, 2000), DESK_CAPTURE);
    EXPECT_EQ(desk_button_up(120, 120, MOUSE_LEFT | MOUSE_CAPTURED, 2251), DESK_END_CAPTURE);
}

TEST(DragGather, largest_groups_lowest_and_loose_pieces_on_top_selected) {
    HandGame game(6);
    for (int i : {0, 1, 2})
        P(i).group = 0;
    P(3).group = P(4).group = 3;
    P(0).selected = 1;
    for (int i : {5, 2, 4, 0, 3, 1})
        stack_raise(i);
    gather_loose();
    EXPECT_EQ(HandGame::stack(), (V{2, 0, 1, 4, 3, 5}));
    EXPECT_EQ((V{P(0).selected, P(1).selected, P(3).selected, P(5).selected}), (V{0, 0, 0, 1}));
}

namespace {

// Piece i's rectangle at rest (the hand-made shape is w x h, unturned).
Rect rect_of(int i) {
    PieceQuad q;
    piece_quad(&play_state.shapes[P(i).shape], P(i).x, P(i).y, P(i).angle, 0, 0, &q);
    return {q.left, q.top, q.right - q.left + 1, q.bottom - q.top + 1};
}

bool in_desk(const Rect& r, int top) {
    return r.x >= 0 && r.y >= top && r.x + r.w <= play_state.deskWidth && r.y + r.h <= play_state.deskHeight;
}

bool meets(const Rect& a, const Rect& b) {
    const Rect both = rect_intersect(a, b);
    return both.w > 0 && both.h > 0;
}

}  // namespace

// A carried selection keeps its shape: however far the pointer goes, the whole set stops where
// its first piece reaches an edge (here the right edge, then the title line), and the drop leaves
// it so. A group picked up alone still goes off the desk and is brought back on the drop.
TEST(DragCarry, a_selection_moves_as_one_rigid_set_and_stops_at_the_edges) {
    HandGame game(4, 100, 60);
    desk_set_view(20, nullptr, 0);
    place(0, 100, 100), place(1, 700, 400), place(2, 300, 650), place(3, 500, 500, 0, 3);
    stack_reset();
    pieces_settle();
    for (int i : {0, 1, 2})
        P(i).selected = 1;
    ASSERT_EQ(desk_button_down(150, 130, MOUSE_LEFT, 0), DESK_CAPTURE);
    desk_drag_motion(5000, 30);
    pieces_tick();
    // Piece 1's right edge (x + 99) reaches 1023: the set moved 224 right; down it moved 30.
    EXPECT_EQ((V{P(0).x, P(1).x, P(2).x, P(0).y, P(1).y, P(2).y}), (V{324, 924, 524, 130, 430, 680}));
    desk_drag_motion(-20, -5000);  // up until piece 0 meets the title line
    (void)pieces_drop();
    EXPECT_EQ((V{P(0).x, P(1).x, P(2).x, P(0).y, P(1).y, P(2).y}), (V{304, 904, 504, 20, 320, 570}));
    EXPECT_EQ((V{P(3).x, P(3).y}), (V{500, 500})) << "the group was not selected";

    // Alone, a group follows the pointer anywhere and the drop brings it back.
    pieces_touch();  // as the play room does on every press
    ASSERT_EQ(desk_button_down(550, 530, MOUSE_LEFT, 10000), DESK_CAPTURE);
    desk_drag_motion(5000, 0);
    pieces_tick();
    EXPECT_EQ(P(3).x, 5500);
    (void)pieces_drop();
    EXPECT_EQ((P(3).x + P(3).x + 99) / 2, 1024) << "its middle back on the right edge";
}

// Gather: loose pieces under a window, off the desk or on a group are brought into view, the rest
// stay; on a desk completely covered by a group the gather still ends with every loose piece
// wholly on the desk below the title line and out of the window.
TEST(DragGather, loose_pieces_come_into_view_apart_and_off_the_windows) {
    HandGame game(12, 100, 60, 1024, 768);
    const Rect window = {20, 50, 200, 300};
    desk_set_view(20, &window, 1);
    place(0, 40, 60), place(1, 100, 200), place(2, -80, 400), place(3, 990, 700), place(4, 500, 5);
    place(5, 600, 300), place(6, 700, 300, 0, 6), place(7, 800, 300, 0, 6), place(8, 720, 320);
    place(9, 400, 600), place(10, 410, 610), place(11, 300, 100);
    stack_reset();
    gather_loose();
    for (int i : {0, 1, 2, 3, 4, 5, 8, 9, 10, 11}) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(in_desk(rect_of(i), 20));
        EXPECT_FALSE(meets(rect_of(i), window));
        EXPECT_EQ(P(i).selected, 1);
    }
    EXPECT_EQ((V{P(5).x, P(5).y, P(9).x, P(11).x}), (V{600, 300, 400, 300})) << "pieces in view stay";
    EXPECT_FALSE(meets(rect_of(8), rect_of(6)) && meets(rect_of(8), rect_of(7))) << "off the group";
    for (int i : {0, 1, 2, 3, 4})
        for (int j : {5, 9, 10, 11, 6, 7})
            EXPECT_FALSE(meets(rect_of(i), rect_of(j))) << i << " over " << j << ": the desk has room";

    // A desk covered by one group of 40 pieces: 10 loose pieces, some far off, still end in view.
    HandGame full(50, 100, 60, 400, 300);
    desk_set_view(20, &window, 1);
    for (int i = 0; i < 40; i++)
        place(i, i % 5 * 80, i / 5 * 40, 0, 0);
    for (int i = 40; i < 50; i++)
        place(i, -500 + 100 * i % 1000, 2000 - 90 * i);
    stack_reset();
    gather_loose();
    for (int i = 40; i < 50; i++) {
        EXPECT_TRUE(in_desk(rect_of(i), 20)) << i;
        EXPECT_FALSE(meets(rect_of(i), window)) << i;
    }
    desk_set_view(0, nullptr, 0);
}

// --- A table larger than the desk, seen through a view ---

namespace {

// An 8000 x 6000 table on the 1024 x 768 desk, the table point (3000, 2500) at the screen point
// (300, 300).
void big_table(double zoom) {
    play_state.bigTable = 1;
    play_state.view = {8000,
                       6000,
                       1024,
                       768,
                       zoom,
                       (int)std::lround(300 - 3000 * zoom),
                       (int)std::lround(300 - 2500 * zoom)};
    pieces_view_changed();
}

// The screen pixel that shows the table point.
void screen_of(double tx, double ty, int* x, int* y) {
    double sx, sy;
    view_to_screen(play_state.view, tx, ty, &sx, &sy);
    *x = (int)std::floor(sx), *y = (int)std::floor(sy);
}

}  // namespace

TEST(DragTable, hit_carry_and_snap_measure_on_the_table_at_25_100_and_200_percent) {
    for (double zoom : {0.25, 1.0, 2.0}) {
        SCOPED_TRACE(zoom);
        HandGame game(2, 100, 100);
        grid(2, 1);
        place(0, 3000, 2500), place(1, 3200, 2600);
        stack_reset();
        big_table(zoom);
        pieces_settle();
        int x, y;
        screen_of(3050, 2550, &x, &y);
        EXPECT_EQ(piece_at(x, y), 0);
        screen_of(3090, 2590, &x, &y);
        EXPECT_EQ(piece_at(x, y), 0);
        screen_of(3102, 2550, &x, &y);
        EXPECT_EQ(piece_at(x, y), -1) << "beyond the image's last column";
        screen_of(3250, 2650, &x, &y);
        EXPECT_EQ(piece_at(x, y), 1);

        // Carried by the pointer: a screen move of d is d / zoom on the table.
        ASSERT_EQ(desk_button_down(x, y, MOUSE_LEFT, 1000), DESK_CAPTURE);
        const int dx = (int)std::lround(-97 * zoom), dy = (int)std::lround(-98 * zoom);
        desk_mouse_at(x + dx, y + dy);
        pieces_tick();
        EXPECT_NEAR(P(1).x, 3200 + dx / zoom, 0.5 / zoom + 0.5);
        EXPECT_NEAR(P(1).y, 2600 + dy / zoom, 0.5 / zoom + 0.5);
        // The view scrolls under the carried piece: it stays under the pointer, so it moves on
        // the table by the pan over the zoom.
        const int before = P(1).x;
        ASSERT_EQ(view_pan(&play_state.view, 40, 0), 1);
        pieces_view_changed();
        desk_view_changed();
        pieces_tick();
        EXPECT_NEAR(P(1).x, before - 40 / zoom, 1);
        // Put down 3 and 2 table pixels from where it joins piece 0: squared 13, within half the
        // piece size at any zoom.
        play_state.pendingDx = 3103 - P(1).x, play_state.pendingDy = 2502 - P(1).y;
        const DropResult r = pieces_drop();
        EXPECT_EQ((V{r.joined, r.x, r.y}), (V{1, x + dx, y + dy})) << "the pointer on the screen";
        EXPECT_EQ((V{P(1).x, P(1).y}), (V{3100, 2500})) << "placed by the picture, in table pixels";
    }
}

TEST(DragTable, pieces_stay_anywhere_on_the_table_and_gather_comes_into_the_view) {
    HandGame game(6, 100, 60);
    place(0, 6000, 5000), place(1, 8500, 200), place(2, 3000, 2500), place(3, 100, 100), place(4, 7900, 5900);
    place(5, 3100, 2600);
    stack_reset();
    big_table(1.0);
    pieces_settle();
    EXPECT_EQ((V{P(0).x, P(0).y}), (V{6000, 5000})) << "beyond the desk, on the table: it stays";
    EXPECT_EQ(P(1).x + 49, 8000) << "beyond the table: its middle comes onto the edge";
    EXPECT_EQ((V{P(4).x, P(4).y}), (V{7900, 5900}));

    // The view shows table pixels 2700..3723 by 2200..2967; the title line's 20 rows and a window
    // at the screen's left are out of it.
    const Rect window = {0, 0, 200, 768};
    desk_set_view(20, &window, 1);
    gather_loose();
    int l, t, r, b;
    view_visible(play_state.view, &l, &t, &r, &b);
    EXPECT_TRUE(l == 2700 && t == 2200 && r == 3723 && b == 2967);
    for (int i = 0; i < 6; i++) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(P(i).x >= 2900 && P(i).y >= 2220 && P(i).x + 100 <= 3724 && P(i).y + 60 <= 2968);
        EXPECT_EQ(P(i).selected, 1);
    }
    EXPECT_EQ((V{P(2).x, P(2).y, P(5).x, P(5).y}), (V{3000, 2500, 3100, 2600})) << "in view: they stay";
    desk_set_view(0, nullptr, 0);
}
