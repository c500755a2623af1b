// tests/puzzle/shape_test.cpp -- the tracer, the approved shapes and drawings of a cut (which pin the
// tracer, light tables and normal codes), worker threads, clipping and a reassembled picture.
#include "puzzle/shape.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "puzzle/box.h"
#include "puzzle/curve.h"
#include "puzzle/cut_support.h"
#include "puzzle/grid.h"
#include "puzzle/light.h"
#include "puzzle/piece.h"
#include "puzzle/play_samples.h"
#include "puzzle/trace.h"
#include "support/fatal_trap.h"
#include "support/golden.h"

using cut_support::CurvePack;
using cut_support::Frame;

namespace {

uint16_t* codes_of(const Image* im) { return (uint16_t*)((uint8_t*)im + im->colourOffset); }
uint8_t* bytes_of(const Image* im) { return (uint8_t*)im + im->colourOffset; }

// An 8-bit canvas of w x h at 255 with the chain traced into it.
std::vector<uint8_t> traced(int w, int h, const std::vector<double>& xy) {
    std::vector<uint8_t> c((size_t)w * h, 255);
    ImageView v{w, h, IMG_8BIT, c.data(), w, nullptr, 0};
    trace_view(&v, xy.data(), (int)xy.size() / 2);
    return c;
}

BoxRecord settings(int w, int h, int size, int irregularity, int style) {
    BoxRecord b{};
    b.width = w, b.height = h, b.pieceSize = size, b.irregularity = irregularity, b.edgeStyle = style;
    return b;
}

// A picture whose blue is 160, green grows by gx a column and red by gy a row: every texel of a
// small picture differs, and light and shade show plainly.
Image* gradient_picture(int w, int h, int gx, int gy) {
    Image* im = img_create(w, h, IMG_24BIT);
    for (int v = 0; v < h; v++)
        for (int u = 0; u < w; u++)
            std::memcpy(bytes_of(im) + v * im->colourPitch + u * 3,
                        std::vector<uint8_t>{160, (uint8_t)(u * gx), (uint8_t)(v * gy)}.data(), 3);
    return im;
}

uint64_t table_hash() { return play_samples::shapes_hash(shapes_table(), shapes_count()); }

// The approved shape tables of the cuts of size 24 and 50 below (5 x 4 pieces, irregularity 35,
// edge style 2). They are looked at, and re-approved, through the desks "shapes24" and "shapes50"
// their pieces are drawn in (see frame_hash).
const uint64_t TABLES[2] = {2917993110391821406u, 2262603364141226179u};

// The open frame, pinned by its hash as an approved picture (support/golden.h says how to look
// at it and re-approve it).
uint64_t frame_hash(const char* name) {
    const ImageView frame{screen.width, screen.height, IMG_24BIT, screen.buf, screen.pitch, nullptr, 0};
    return golden_hash(frame, "%s", name);
}

// A hand-made shape of rows x (codes / rows) codes.
struct HandShape {
    PieceShape s{};
    HandShape(std::vector<uint16_t> codes, int rows = 1) {
        s.piece = img_create((int)codes.size() / rows, rows, IMG_16BIT);
        std::memcpy(codes_of(s.piece), codes.data(), codes.size() * 2);
    }
    ~HandShape() { io_mem_free(s.piece); }
};

// Draws a shape with its texel (0, 0) at screen (x, y) and its picture home at (hx, hy).
void draw(const PieceShape& s, int x, int y, int angle, int selected, int shadow = 0, int lift = 0,
          int hx = 0, int hy = 0) {
    PieceQuad q;
    piece_quad(&s, x, y, angle, lift, shadow, &q);
    piece_draw(&q, &s, hx, hy, angle, selected, shadow);
}

// Blue, green and red of a screen pixel.
std::vector<int> px(int x, int y) {
    const uint8_t* p = Frame::at(x, y);
    return {p[0], p[1], p[2]};
}

}  // namespace

TEST(ShapeTrace, joints_and_dips_leave_no_gap) {
    // Two straight segments whose joint lies on the boundary between rows 4 and 5 of column 6:
    // the pixel holding the joint must be written, or the fill would leak through it.
    std::vector<double> p = {6.5, 8.0, 6.5, 7.0, 6.5, 6.0, 6.5, 5.0, 6.5, 4.0, 6.5, 3.0, 6.5, 2.0};
    std::vector<uint8_t> c = traced(20, 20, p);
    for (int y = 2; y <= 7; y++)
        EXPECT_NE(c[y * 20 + 6], 255) << y;
    // A short segment that dips into pixel (5, 5) through its top side and back out of it,
    // travelling right: the inside lies below, so the pixel is covered, not cleared.
    std::vector<double> dip = {0.5, 4.9, 2.0, 4.9, 3.5, 4.9, 5.1, 4.9,  // along row 4
                               5.3, 5.6, 5.7, 5.6, 5.9, 4.9,            // down to y = 5.43 and back
                               7.0, 4.9, 8.0, 4.9, 9.5, 4.9};
    c = traced(20, 20, dip);
    EXPECT_EQ(c[5 * 20 + 5], 254);
    std::vector<double> back;
    for (size_t i = dip.size(); i > 0; i -= 2)
        back.insert(back.end(), {dip[i - 2], dip[i - 1]});
    c = traced(20, 20, back);  // travelling left: the inside is above, the dip lies outside
    EXPECT_TRUE(c[5 * 20 + 5] == 0 || c[5 * 20 + 5] == 255) << (int)c[5 * 20 + 5];  // never covered
    EXPECT_GE(c[4 * 20 + 5], 250);
}

// Two cuts with every kind of knob (below size 30 the relief is shallower, the shadow narrower): the
// tables are pinned, and a desk of their pieces at odd turns, some lifted, is the approved picture.
TEST(ShapeRender, the_shapes_of_a_cut_and_their_drawing_are_the_approved_ones) {
    CurvePack pack;
    curves_load();
    light_tables_build();
    img_shadow_table_init();
    const uint64_t desks[2] = {5748046108230823210u, 15846919305489945764u};
    for (int k = 0; k < 2; k++) {
        const int size = k ? 50 : 24, W = size * 5, H = size * 4;
        BoxRecord b = settings(W, H, size, 35, 2);
        CutPiece* pieces = pieces_cut(&b);
        ASSERT_EQ(b.pieceCount, 20);
        EXPECT_EQ(table_hash(), TABLES[k]) << "size " << size;

        Image* pic = gradient_picture(W, H, 1, 1);
        piece_set_picture(pic);
        Frame frame(W * 2 + size, H * 2 + size);
        Frame::fill(0x2E5A3A);
        for (int i = 0; i < b.pieceCount; i++) {
            const CutPiece& c = pieces[i];
            const PieceShape& s = shapes_table()[c.shape];
            const int x = c.homeX * 7 / 4 + size * 3 / 2, y = c.homeY * 7 / 4 + size * 3 / 2;
            const int angle = (i * 67) % 360;
            if (i % 3 == 0) draw(s, x, y, angle, 0, 1, size / 10);
            draw(s, x, y, angle, i == 7, 0, 0, c.homeX + s.pieceX, c.homeY + s.pieceY);
        }
        EXPECT_EQ(frame_hash(k ? "shapes50" : "shapes24"), desks[k]) << "size " << size;
        piece_set_picture(nullptr);
        io_mem_free(pic);
        io_mem_free(pieces);
        shapes_free();
    }
}

TEST(ShapeRender, worker_threads_give_the_approved_table_and_report_progress_in_order) {
    CurvePack pack;
    curves_load();
    BoxRecord b = settings(250, 200, 50, 35, 2);
    grid_build(&b);
    std::vector<PieceOutline> outlines(b.pieceCount);
    std::vector<int32_t> shapeOf(b.pieceCount);
    const int count = grid_outlines(outlines.data(), shapeOf.data());
    grid_free();
    shape_canvas_prepare(50, 50);
    for (int threads : {1, 3}) {
        shapes_alloc(count);
        static std::vector<int> steps;
        steps.clear();
        shape_render_many((const int32_t*)outlines.data(), count, threads,
                          [](int done) { steps.push_back(done); });
        EXPECT_EQ(table_hash(), TABLES[1]) << threads;
        ASSERT_FALSE(steps.empty());
        EXPECT_EQ(steps.back(), count);
        EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end()));
    }
    // A bad curve type is refused before any thread starts; a full table is refused too.
    shapes_alloc(1);
    PieceOutline bad = outlines[0];
    bad.types[2] = 9;
    EXPECT_EQ(fatal_message_of([&] { shape_render_many((const int32_t*)&bad, 1, 2, nullptr); }),
              "curve_get: type out of range(9)\n");
    EXPECT_EQ(fatal_message_of([&] { shape_render(bad.corners, outlines[0].types, 4); }), "");
    EXPECT_EQ(fatal_message_of([&] { shape_render(bad.corners, outlines[0].types, 4); }),
              "shape_render: the shape table is full\n");
    shape_canvas_free();
    shapes_free();
}

TEST(PieceDraw, clipped_to_dirty_cells_and_to_the_picture) {
    light_tables_build();
    Frame frame(64, 48);
    Image* pic = img_create(4, 1, IMG_24BIT);
    const uint8_t pix[12] = {100, 150, 200, 10, 20, 30, 100, 100, 100, 100, 100, 100};
    std::memcpy(bytes_of(pic), pix, 12);
    piece_set_picture(pic);
    // (Flat copies, selection and every other code: the approved drawings below and above.)
    HandShape h({PIECE_CODE_FLAT, 0, 31, 15});
    // Outside the dirty region nothing is drawn; a piece half in a dirty cell draws that half.
    screen_flush();
    screen_invalidate(0, 0, 32, 24);
    Frame::fill(0xC8C8C8);
    draw(h.s, 40, 30, 0, 0);
    EXPECT_EQ(px(40, 30)[0], 200);
    draw(h.s, 30, 10, 0, 0);
    EXPECT_EQ(px(30, 10)[0], 100);
    EXPECT_EQ(px(31, 10)[0], 200);
    EXPECT_EQ(px(32, 10)[0], 200);  // dirty cells end at x = 32
    screen_invalidate_all();

    // A home that would read beyond the picture draws nothing.
    Frame::fill(0xC8C8C8);
    draw(h.s, 10, 5, 0, 0, 0, 0, 1, 0);
    EXPECT_EQ(px(10, 5)[0], 200);
    piece_set_picture(nullptr);
    io_mem_free(pic);
}

// Every one of the 32768 codes, 128 a row, over a desk of gradients: unturned, selected, and
// turned by three quarters, one half and one quarter. The approved picture shows each normal's
// 32 coverage steps as a band going from the desk to the lit picture, a gradient of its own.
TEST(PieceDraw, every_code_at_every_quarter_turn_is_the_approved_drawing) {
    light_tables_build();
    Frame frame(640, 256);
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 640; x++)
            std::memcpy(Frame::at(x, y), std::vector<uint8_t>{(uint8_t)(x / 3), (uint8_t)y, 90}.data(), 3);
    Image* pic = gradient_picture(128, 256, 2, 1);
    piece_set_picture(pic);
    std::vector<uint16_t> codes(32768);
    for (int i = 0; i < 32768; i++)
        codes[i] = (uint16_t)i;
    HandShape h(codes, 256);
    draw(h.s, 0, 0, 0, 0);
    draw(h.s, 512, 0, 0, 1);
    draw(h.s, 255, 255, 180, 0);
    draw(h.s, 256, 127, 90, 0);
    draw(h.s, 511, 128, 270, 0);
    EXPECT_EQ(frame_hash("codes"), 14805165665196492982u);
    piece_set_picture(nullptr);
    io_mem_free(pic);
}

TEST(PieceDraw, reassembled_picture_is_exact_and_seams_are_covered) {
    CurvePack pack;
    curves_load();
    light_tables_build();
    const int W = 410, H = 305;  // a cut of 400 x 300 at margins (5, 2)
    Image* pic = cut_support::test_picture(W, H);
    BoxRecord b = settings(W, H, 50, 30, 1);
    CutPiece* pieces = pieces_cut(&b);
    ASSERT_EQ(b.pieceCount, 48);
    piece_set_picture(pic);
    Frame frame(W, H);
    // Every piece at its home, over a black desk and then over a white one.
    std::vector<uint8_t> desks[2];
    for (int d = 0; d < 2; d++) {
        Frame::fill(d ? 0xFFFFFF : 0);
        for (int i = 0; i < b.pieceCount; i++) {
            const PieceShape& s = shapes_table()[pieces[i].shape];
            const int hx = pieces[i].homeX + s.pieceX, hy = pieces[i].homeY + s.pieceY;
            draw(s, hx, hy, 0, 0, 0, 0, hx, hy);
        }
        for (int y = 0; y < H; y++)
            desks[d].insert(desks[d].end(), Frame::at(0, y), Frame::at(0, y) + W * 3);
    }
    int exact = 0, worst = 0;
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++) {
            const uint8_t *dark = &desks[0][(y * W + x) * 3], *white = &desks[1][(y * W + x) * 3];
            exact += std::memcmp(dark, bytes_of(pic) + y * pic->colourPitch + x * 3, 3) == 0 &&
                     std::memcmp(white, dark, 3) == 0;
            // How much of the desk shows: the difference between the two desks. The margins are
            // never part of a piece.
            const int weight = std::max({white[0] - dark[0], white[1] - dark[1], white[2] - dark[2]});
            if (x >= 5 && x < 405 && y >= 2 && y < 302)
                worst = std::max(worst, weight);
            else
                EXPECT_EQ(weight, 255) << x << "," << y;
        }
    EXPECT_GT(exact, W * H * 7 / 10) << "flat pixels are copies of the picture";
    EXPECT_LE(worst, 100);  // seams blend two coverages: at most a quarter of the desk shows
    io_mem_free(pieces);
    shapes_free();
    piece_set_picture(nullptr);
    io_mem_free(pic);
}
