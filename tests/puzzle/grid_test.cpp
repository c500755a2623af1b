// tests/puzzle/grid_test.cpp -- the cutting grid: refused settings, numbering and neighbours, the
// preview, fitting. (Corners and edges: through the approved shapes of the shape tests.)
#include "puzzle/grid.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/io_mem.h"
#include "puzzle/box.h"
#include "puzzle/curve.h"
#include "puzzle/cut_support.h"
#include "puzzle/shape.h"

using cut_support::CurvePack;
using V = std::vector<int>;

namespace {

BoxRecord settings(int w, int h, int size, int irregularity = 0, int style = 1) {
    BoxRecord b{};
    b.width = w, b.height = h, b.pieceSize = size, b.irregularity = irregularity, b.edgeStyle = style;
    return b;
}

}  // namespace

// Also settings no box may hold (other callers reach the cut): no division by zero, no overflow
// (the sanitizer build runs this), no walk along a far-flung outline, no fatal curve type later.
TEST(GridBuild, settings_that_cannot_be_cut_give_no_pieces) {
    CurvePack pack;
    curves_load();
    // Width, height, piece size, irregularity, edge style.
    // clang-format off
    const int cases[][5] = {
        {80, 600, 100, 0, 1}, {800, 600, 0, 0, 1}, {16384, 16384, 10, 0, 1}, {800, 600, 100, 0, 8},
        {800, 600, 100, 0, -1}, {800, 600, 100, 0, 256}, {800, 600, 100, 1862270996, 1},
        {800, 600, 100, INT32_MAX, 1}, {800, 600, 100, 41, 1}, {800, 600, 100, -1, 1},
        {800, 600, INT32_MAX, 40, 1}, {800, 600, -100, 40, 1}, {INT32_MAX, INT32_MAX, 1, 40, 1},
        {16385, 600, 100, 40, 1}, {600, 16385, 100, 40, 1}, {INT32_MIN, 600, 100, 40, 1}};
    // clang-format on
    for (const auto& c : cases) {
        BoxRecord b = settings(c[0], c[1], c[2], c[3], c[4]);
        b.pieceCount = 7;
        EXPECT_EQ(pieces_cut(&b), nullptr) << b.width << " " << b.pieceSize << " " << b.irregularity;
        EXPECT_EQ(b.pieceCount, 0);
    }
    BoxRecord widest = settings(300, 200, 100, 40, 7 | CURVE_MIRROR);  // the widest jitter, a mirrored curve
    CutPiece* p = pieces_cut(&widest);
    EXPECT_EQ(widest.pieceCount, 6);
    io_mem_free(p);
    shapes_free();
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
    EXPECT_EQ((V{p[0].homeX, p[0].homeY, p[6].homeX, p[6].homeY}),
              (V{5, 2, 205, 102}));  // p[6]: row 1, column 2
    // Corner: below, right. Inner: above, left, below, right. Right border: above, left, below; 0.
    auto links = [p](int k) { return V(p[k].neighbours, p[k].neighbours + 4); };
    EXPECT_EQ((V{p[0].neighbourCount, p[5].neighbourCount, p[7].neighbourCount}), (V{2, 4, 3}));
    EXPECT_EQ(links(0), (V{4, 1, 0, 0}));
    EXPECT_EQ(links(5), (V{1, 4, 9, 6}));
    EXPECT_EQ(links(7), (V{3, 6, 11, 0}));
    int count = 0;
    for (int k = 0; k < 12; k++)
        count += p[k].neighbourCount;
    EXPECT_EQ(count, 34);

    // Every distinct outline rendered (which shape each piece gets: the approved desks of the shape tests).
    EXPECT_EQ(shapes_rendered(), shapes_count());
    io_mem_free(p);
    shapes_free();
}

TEST(GridPreview, edges_with_their_offsets) {
    CurvePack pack;
    curves_load();
    BoxRecord b = settings(25, 12, 10, 0, 0);  // 2 x 1, margins (2, 1), all straight
    grid_build(&b);
    cut_support::Frame frame(64, 48);
    cut_support::Frame::fill(0xFFFFFF);
    grid_draw_preview(10, 20);
    // Every edge is drawn with the offset of the node it leaves: (12, 21) for node (0, 0), one
    // less on x from the second column on and one less on y from the second row on. So the top
    // edges run along y = 21 from x = 12 to 22 and 21 to 31, the bottom ones along y = 21 + 10 - 1,
    // and the verticals at x = 12, 21 and 31 from y = 21 to 31.
    std::vector<uint8_t> want(64 * 48, 255), got;
    for (int x = 12; x <= 31; x++)
        want[21 * 64 + x] = want[30 * 64 + x] = 0;
    for (int y = 21; y <= 31; y++)
        want[y * 64 + 12] = want[y * 64 + 21] = want[y * 64 + 31] = 0;
    for (int y = 0; y < 48; y++)
        for (int x = 0; x < 64; x++)
            got.push_back(cut_support::Frame::at(x, y)[0]);
    EXPECT_EQ(got, want);
    grid_free();
}

TEST(GridFit, too_large_cuts_are_scaled_to_the_play_area) {
    BoxRecord b = settings(2000, 1500, 100);
    Image* pic = cut_support::test_picture(2000, 1500);
    // Area 780 x 520: factor min(0.39, 0.34666) -> 693 x 520, piece size 100 * 693 / 2000 = 34.
    EXPECT_EQ(grid_fit_picture(&b, &pic, 800, 600), 1);
    EXPECT_EQ((V{b.width, b.height, b.pieceSize, pic->width, pic->height}), (V{693, 520, 34, 693, 520}));
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
