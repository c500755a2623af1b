// tests/puzzle/grid_test.cpp -- the cutting grid: geometry and margins, the jitter generator by
// hand, edge types, outline sharing, piece numbering and neighbour order, the cut preview, and
// fitting a cut to the play area.
// Ideas not yet written: a picture of exactly one piece size plus one pixel in each direction.
#include "puzzle/grid.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <vector>

#include "puzzle/box.h"
#include "puzzle/curve.h"
#include "puzzle/cut_support.h"
#include "puzzle/shape.h"

using cut_support::CurvePack;

namespace {

BoxRecord settings(int w, int h, int size, int irregularity = 0, int style = 1) {
    BoxRecord b{};
    b.width = w;
    b.height = h;
    b.pieceSize = size;
    b.irregularity = irregularity;
    b.edgeStyle = style;
    return b;
}

const GridNode& node(int i, int j) {
    const GridInfo* g = grid_info();
    return g->nodes[j * (g->columns + 1) + i];
}

struct Outlines {
    std::vector<PieceOutline> outlines;
    std::vector<int32_t> shapeOf;
    int count;
};

Outlines outlines_of(BoxRecord b) {
    grid_build(&b);
    Outlines o;
    o.outlines.resize(b.pieceCount);
    o.shapeOf.resize(b.pieceCount);
    o.count = grid_outlines(o.outlines.data(), o.shapeOf.data());
    return o;
}

}  // namespace

TEST(GridBuild, geometry_and_margins) {
    BoxRecord b = settings(800, 600, 100);
    grid_build(&b);
    const GridInfo* g = grid_info();
    EXPECT_EQ(g->columns, 8);
    EXPECT_EQ(g->rows, 6);
    EXPECT_EQ(b.pieceCount, 48);
    EXPECT_EQ(g->marginX, 0);
    EXPECT_EQ(g->marginY, 0);
    EXPECT_EQ(node(8, 6).x, 800);
    EXPECT_EQ(node(8, 6).y, 600);

    BoxRecord c = settings(810, 605, 100);
    grid_build(&c);
    EXPECT_EQ(grid_info()->marginX, 5);  // 10 left over: 5 and 5
    EXPECT_EQ(grid_info()->marginY, 2);  // 5 left over: 2 above, 3 below
    EXPECT_EQ(c.pieceCount, 48);

    BoxRecord none = settings(80, 600, 100);  // narrower than a piece: no pieces
    grid_build(&none);
    EXPECT_EQ(none.pieceCount, 0);
    BoxRecord zero = settings(800, 600, 0);  // a damaged box must not divide by zero
    grid_build(&zero);
    EXPECT_EQ(zero.pieceCount, 0);
    BoxRecord huge = settings(16384, 16384, 10);  // beyond what a cut may hold
    grid_build(&huge);
    EXPECT_EQ(huge.pieceCount, 0);
    for (int style : {8, 99, -1, 256}) {  // no such curve: refused here, not fatal later
        BoxRecord odd = settings(800, 600, 100, 0, style);
        grid_build(&odd);
        EXPECT_EQ(odd.pieceCount, 0) << style;
    }
    BoxRecord mirrored = settings(800, 600, 100, 0, 7 | CURVE_MIRROR);
    grid_build(&mirrored);
    EXPECT_EQ(mirrored.pieceCount, 48);
    grid_free();
    EXPECT_EQ(grid_info()->nodes, nullptr);
}

// Settings no box may hold reach the cut from other callers too: each gives no pieces, with no
// overflow on the way (the sanitizer build runs this) and no walk along a far-flung outline.
TEST(GridBuild, settings_beyond_the_box_format_give_no_cut) {
    CurvePack pack;
    curves_load();
    const BoxRecord cases[] = {
        settings(800, 600, 100, 1862270996),   settings(800, 600, 100, INT32_MAX),
        settings(800, 600, 100, 41),           settings(800, 600, 100, -1),
        settings(800, 600, INT32_MAX, 40),     settings(800, 600, -100, 40),
        settings(INT32_MAX, INT32_MAX, 1, 40), settings(16385, 600, 100, 40),
        settings(600, 16385, 100, 40),         settings(INT32_MIN, 600, 100, 40),
    };
    for (const BoxRecord& c : cases) {
        BoxRecord b = c;
        EXPECT_EQ(pieces_cut(&b), nullptr) << b.width << " " << b.pieceSize << " " << b.irregularity;
        EXPECT_EQ(b.pieceCount, 0);
    }
    BoxRecord widest = settings(300, 200, 100, 40);  // the widest jitter still cuts
    CutPiece* p = pieces_cut(&widest);
    EXPECT_EQ(widest.pieceCount, 6);
    io_mem_free(p);
    shapes_free();
}

TEST(GridBuild, jitter_by_hand_inside_only_and_reproducible) {
    // The generator from 0xABCD1234 draws 24, 99, 76, 19, ... below 100; with d = 20 the shifts
    // are 24 * 40 / 100 - 20 = -11, then 19, 10, -13.
    BoxRecord b = settings(800, 600, 100, 20);
    grid_build(&b);
    EXPECT_EQ(node(1, 1).x, 89);
    EXPECT_EQ(node(1, 1).y, 119);
    EXPECT_EQ(node(2, 1).x, 210);
    EXPECT_EQ(node(2, 1).y, 87);
    std::vector<GridNode> first(grid_info()->nodes, grid_info()->nodes + 9 * 7);
    for (int j = 0; j <= 6; j++)
        for (int i = 0; i <= 8; i++) {
            const GridNode& n = node(i, j);
            if (i == 0 || i == 8 || j == 0 || j == 6) {
                EXPECT_EQ(n.x, 100 * i);
                EXPECT_EQ(n.y, 100 * j);
            } else {
                EXPECT_GE(n.x - 100 * i, -20);
                EXPECT_LE(n.x - 100 * i, 19);
                EXPECT_GE(n.y - 100 * j, -20);
                EXPECT_LE(n.y - 100 * j, 19);
            }
        }
    grid_build(&b);
    for (int k = 0; k < 9 * 7; k++) {
        EXPECT_EQ(grid_info()->nodes[k].x, first[k].x);
        EXPECT_EQ(grid_info()->nodes[k].y, first[k].y);
    }
    grid_free();
}

TEST(GridBuild, edge_types_checkerboard_and_straight_border) {
    BoxRecord b = settings(400, 300, 100, 0, 5);
    grid_build(&b);
    for (int j = 0; j <= 3; j++)
        for (int i = 0; i <= 4; i++) {
            const GridNode& n = node(i, j);
            const int expect = 5 | ((i & 1) != (j & 1) ? CURVE_MIRROR : 0);
            EXPECT_EQ(n.right, j == 0 || j == 3 ? 0 : expect) << i << "," << j;
            EXPECT_EQ(n.down, i == 0 || i == 4 ? 0 : expect) << i << "," << j;
        }
    grid_free();
}

TEST(GridOutlines, sharing_and_edge_walk) {
    Outlines o = outlines_of(settings(800, 600, 100));
    std::set<int> inner;
    for (int j = 1; j < 5; j++)
        for (int i = 1; i < 7; i++)
            inner.insert(o.shapeOf[j * 8 + i]);
    EXPECT_LE(inner.size(), 2u);
    EXPECT_LE(o.count, 2 + 4 + 8);  // plus corners and the four kinds of border piece per colour

    // Cell (1, 1): the bottom and left edges are walked backwards, so their mirror bit flips.
    const PieceOutline& p = o.outlines[o.shapeOf[9]];
    const int32_t corners[8] = {0, 0, 100, 0, 100, 100, 0, 100};
    for (int k = 0; k < 8; k++)
        EXPECT_EQ(p.corners[k], corners[k]);
    // Top: node (1, 1) has equal parities; right: node (2, 1) differs; bottom: node (1, 2)
    // differs, flipped back; left: node (1, 1), flipped.
    EXPECT_EQ(p.types[0], 1);
    EXPECT_EQ(p.types[1], 1 | CURVE_MIRROR);
    EXPECT_EQ(p.types[2], 1);
    EXPECT_EQ(p.types[3], 1 | CURVE_MIRROR);
    grid_free();
}

TEST(GridOutlines, one_column_and_one_piece) {
    Outlines col = outlines_of(settings(150, 400, 100));  // 1 x 4
    for (int k = 0; k < 4; k++) {
        const PieceOutline& p = col.outlines[col.shapeOf[k]];
        EXPECT_EQ(p.types[1] & 127, 0);
        EXPECT_EQ(p.types[3] & 127, 0);
    }
    Outlines one = outlines_of(settings(120, 130, 100, 40));
    ASSERT_EQ(one.count, 1);
    for (int k = 0; k < 4; k++)
        EXPECT_EQ(one.outlines[0].types[k] & 127, 0);
    const int32_t square[8] = {0, 0, 100, 0, 100, 100, 0, 100};
    for (int k = 0; k < 8; k++)
        EXPECT_EQ(one.outlines[0].corners[k], square[k]);
    grid_free();
}

TEST(PiecesCut, numbering_homes_neighbours_and_shapes) {
    CurvePack pack;
    curves_load();
    BoxRecord b = settings(410, 305, 100, 0);  // 4 x 3, margins (5, 2)
    grid_build(&b);
    CutPiece* p = pieces_cut(&b);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(b.pieceCount, 12);
    EXPECT_EQ(grid_info()->nodes, nullptr);  // the cut frees the grid

    EXPECT_EQ(p[0].homeX, 5);
    EXPECT_EQ(p[0].homeY, 2);
    EXPECT_EQ(p[6].homeX, 205);  // row 1, column 2
    EXPECT_EQ(p[6].homeY, 102);
    // Corner: below, right. Inner: above, left, below, right. Right border: above, left, below.
    EXPECT_EQ(p[0].neighbourCount, 2);
    EXPECT_EQ(p[0].neighbours[0], 4);
    EXPECT_EQ(p[0].neighbours[1], 1);
    EXPECT_EQ(p[0].neighbours[2], 0);
    EXPECT_EQ(p[5].neighbourCount, 4);
    const int inner[4] = {1, 4, 9, 6};
    for (int k = 0; k < 4; k++)
        EXPECT_EQ(p[5].neighbours[k], inner[k]);
    EXPECT_EQ(p[7].neighbourCount, 3);
    const int right[3] = {3, 6, 11};
    for (int k = 0; k < 3; k++)
        EXPECT_EQ(p[7].neighbours[k], right[k]);
    EXPECT_EQ(p[7].neighbours[3], 0);
    int links = 0;
    for (int k = 0; k < 12; k++)
        links += p[k].neighbourCount;
    EXPECT_EQ(links, 34);

    // One rendered shape per distinct outline, in table order; pieces with equal outlines share.
    EXPECT_EQ(shapes_rendered(), shapes_count());
    EXPECT_EQ(p[5].shape == p[6].shape, false);  // the two checkerboard colours
    for (int k = 0; k < shapes_count(); k++)
        EXPECT_NE(shapes_table()[k].piece, nullptr);
    // Top row pieces end on the grid line: no mask rows above it.
    for (int k = 0; k < 4; k++)
        EXPECT_EQ(shapes_table()[p[k].shape].pieceY, 0);
    EXPECT_EQ(shapes_table()[p[0].shape].pieceX, 0);
    io_mem_free(p);
    shapes_free();

    BoxRecord empty = settings(90, 90, 100);
    EXPECT_EQ(pieces_cut(&empty), nullptr);
    EXPECT_EQ(empty.pieceCount, 0);
    EXPECT_EQ(shapes_count(), 0);
}

TEST(GridPreview, edges_with_their_offsets) {
    CurvePack pack;
    curves_load();
    BoxRecord b = settings(25, 12, 10, 0, 0);  // 2 x 1, margins (2, 1), all straight
    grid_build(&b);
    cut_support::Frame frame(64, 48);
    cut_support::Frame::fill(0xFFFFFF);
    grid_draw_preview(10, 20);
    auto black = [](int x, int y) { return cut_support::Frame::at(x, y)[0] == 0; };
    // Node (0, 0): top edge from (12, 21) to (22, 21); node (1, 0): -1 on x, so (21, 21)..(31, 21).
    for (int x = 12; x <= 31; x++)
        EXPECT_TRUE(black(x, 21)) << x;
    // The bottom row of nodes is one pixel up: y = 21 + 10 - 1.
    for (int x = 12; x <= 31; x++)
        EXPECT_TRUE(black(x, 30)) << x;
    EXPECT_FALSE(black(20, 31));
    // Verticals: x = 12 (first column), 21 (node 1 minus 1), 31 (node 2 minus 1).
    for (int y = 21; y <= 31; y++) {
        EXPECT_TRUE(black(12, y)) << y;
        EXPECT_TRUE(black(21, y)) << y;
    }
    EXPECT_FALSE(black(22, 25));
    EXPECT_FALSE(black(32, 25));
    grid_free();
}

TEST(GridFit, too_large_cuts_are_scaled_to_the_play_area) {
    BoxRecord b = settings(2000, 1500, 100);
    Image* pic = cut_support::test_picture(2000, 1500);
    // Area 780 x 520: factor min(0.39, 0.34666) -> 693 x 520, piece size 100 * 693 / 2000 = 34.
    EXPECT_EQ(grid_fit_picture(&b, &pic, 800, 600), 1);
    EXPECT_EQ(b.width, 693);
    EXPECT_EQ(b.height, 520);
    EXPECT_EQ(b.pieceSize, 34);
    EXPECT_EQ(pic->width, 693);
    EXPECT_EQ(pic->height, 520);
    // It fits now: nothing more happens.
    EXPECT_EQ(grid_fit_picture(&b, &pic, 800, 600), 0);
    EXPECT_EQ(b.pieceSize, 34);
    io_mem_free(pic);

    // The cut decides, not the picture: 850 wide with 100-pixel pieces cuts 800, which fits 820.
    BoxRecord c = settings(850, 500, 100);
    Image* pic2 = cut_support::test_picture(850, 500);
    EXPECT_EQ(grid_fit_picture(&c, &pic2, 840, 600), 0);
    EXPECT_EQ(c.width, 850);
    // Small pieces never go below 10.
    BoxRecord d = settings(4000, 400, 12);
    EXPECT_EQ(grid_fit_picture(&d, &pic2, 840, 600), 1);
    EXPECT_EQ(d.pieceSize, 10);
    io_mem_free(pic2);
}
