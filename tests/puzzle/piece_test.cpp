// tests/puzzle/piece_test.cpp -- pieces seen through the view of a large table: the halved levels
// of a shape and of the picture, a table at 100 % drawn exactly as the desk, the approved drawing
// of a cut seen from afar, and a redraw in two bands.
#include "puzzle/piece.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/screen.h"
#include "puzzle/box.h"
#include "puzzle/curve.h"
#include "puzzle/cut_support.h"
#include "puzzle/grid.h"
#include "puzzle/light.h"
#include "puzzle/pieces.h"
#include "puzzle/play.h"
#include "puzzle/play_samples.h"
#include "puzzle/stack.h"
#include "puzzle/view.h"
#include "support/golden.h"

using cut_support::Frame;
using V = std::vector<int>;

namespace {

uint16_t code(const Image* im, int u, int v) {
    uint16_t c;
    std::memcpy(&c, (const uint8_t*)im + im->colourOffset + v * im->colourPitch + u * 2, 2);
    return c;
}

// A piece code of a lit texel: normal code n, coverage c.
uint16_t lit(int n, int c) { return (uint16_t)(n << 5 | c); }

}  // namespace

TEST(PieceLevels, halved_codes_keep_flat_texels_the_average_cover_and_the_strongest_normal) {
    PieceShape s{};
    // Two rows of five: a flat block, a mixed block, and a last column of one flat texel alone.
    const uint16_t codes[10] = {
        PIECE_CODE_FLAT, PIECE_CODE_FLAT, PIECE_CODE_FLAT, 0,          PIECE_CODE_FLAT,
        PIECE_CODE_FLAT, PIECE_CODE_FLAT, lit(5, 31),      lit(9, 10), 0};
    s.piece = img_create(5, 2, IMG_16BIT);
    std::memcpy((uint8_t*)s.piece + s.piece->colourOffset, codes, sizeof codes);
    s.shadow = img_create(3, 1, IMG_8BIT);
    std::memcpy((uint8_t*)s.shadow + s.shadow->colourOffset, "\x10\x30\xff", 3);

    const Image* half = piece_level(&s, 0, 1);
    ASSERT_TRUE(half && half->width == 3 && half->height == 1);
    // (31 + 0 + 31 + 10 + 2) / 4 = 18 with the normal of the fully covered texel; a lone flat
    // texel beside three missing ones covers (31 + 2) / 4 = 8 under the flat normal.
    EXPECT_EQ((V{code(half, 0, 0), code(half, 1, 0), code(half, 2, 0)}), (V{PIECE_CODE_FLAT, lit(5, 18), 8}));
    const Image* quarter = piece_level(&s, 0, 2);
    ASSERT_TRUE(quarter && quarter->width == 2 && quarter->height == 1);
    EXPECT_EQ(piece_level(&s, 0, 1), half) << "made once";
    EXPECT_EQ(piece_level(&s, 0, 0), s.piece);
    // The shadow: averages, beyond the edge no shadow.
    const Image* shade = piece_level(&s, 1, 1);
    const uint8_t* a = (const uint8_t*)shade + shade->colourOffset;
    EXPECT_EQ((V{shade->width, a[0], a[1]}), (V{2, (0x10 + 0x30 + 2) / 4, (0xff + 2) / 4}));
    for (int l = 0; l < SHAPE_LEVELS; l++)
        io_mem_free(s.pieceLevels[l]), io_mem_free(s.shadowLevels[l]);
    io_mem_free(s.piece);
    io_mem_free(s.shadow);

    // The picture halves by averages; its last odd column and row repeat themselves.
    Image* pic = img_create(3, 3, IMG_24BIT);
    uint8_t* p = (uint8_t*)pic + pic->colourOffset;
    for (int i = 0; i < 27; i++)
        p[i] = (uint8_t)(i * 9);
    piece_set_picture(pic);
    const Image* small = piece_picture_level(1);
    ASSERT_TRUE(small && small->width == 2 && small->height == 2);
    const uint8_t* q = (const uint8_t*)small + small->colourOffset;
    // Blue of (0, 0): texels 0, 1, 3, 4 -> bytes 0, 27, 81, 108; of (1, 1): texel 8 four times.
    EXPECT_EQ((V{q[0], q[small->colourPitch + 3]}), (V{(0 + 27 + 81 + 108 + 2) / 4, 24 * 9}));
    piece_set_picture(nullptr);
    io_mem_free(pic);
}

TEST(PieceLevels, a_large_table_at_100_percent_is_drawn_exactly_as_the_desk) {
    light_tables_build();
    img_shadow_table_init();
    play_samples::HandGame game(3, 40, 30, 320, 240, 30);
    // A shape with lit, fringe and flat codes, so every pixel rule shows.
    PieceShape& s = shapes_table()[0];
    uint16_t* codes = (uint16_t*)((uint8_t*)s.piece + s.piece->colourOffset);
    for (int i = 0; i < 40 * 30; i++)
        codes[i] = i % 7 == 0   ? 0
                   : i % 5 == 0 ? lit(i % 1024, 31)
                   : i % 3 == 0 ? lit(i % 700, i % 31)
                                : codes[i];
    play_state.picture = cut_support::test_picture(400, 300);
    piece_set_picture(play_state.picture);
    const int at[3][4] = {{30, 40, 0, 0}, {150, 60, 90, 0}, {60, 150, 27, 5}};  // x, y, angle, lift
    auto draw_desk = [&](int dx, int dy) {
        Frame::fill(0x406080);
        screen_invalidate(0, 0, 320, 240);
        for (int i = 0; i < 3; i++) {
            PlayPiece& p = play_state.pieces[i];
            p.x = at[i][0] + dx, p.y = at[i][1] + dy, p.angle = at[i][2], p.lift = at[i][3];
            p.homeX = 10 + 50 * i, p.homeY = 20;
            pieces_rects(i);
            if (p.lift) piece_draw(&p.shadowQuad, &s, p.homeX, p.homeY, p.angle, 0, 1);
            piece_draw(&p.screenQuad, &s, p.homeX, p.homeY, p.angle, i == 1, 0);
        }
        return std::vector<uint8_t>(screen.buf + (screen.height - 1) * screen.pitch,
                                    screen.buf + (screen.height - 1) * screen.pitch + 320 * 3 * 240);
    };
    std::vector<uint8_t> desk, table;
    {
        Frame frame(320, 240);
        desk = draw_desk(0, 0);
        // The same pieces 700 and 900 table pixels further on, seen at 100 % from there.
        play_state.bigTable = 1;
        play_state.view = {2000, 1500, 320, 240, 1.0, -700, -900};
        table = draw_desk(700, 900);
    }
    EXPECT_TRUE(desk == table);
    piece_set_picture(nullptr);
}

TEST(PieceLevels, a_cut_seen_from_afar_is_the_approved_picture) {
    cut_support::CurvePack pack;
    curves_load();
    light_tables_build();
    img_shadow_table_init();
    BoxRecord b{};
    b.width = 250, b.height = 200, b.pieceSize = 50, b.irregularity = 35, b.edgeStyle = 2;
    CutPiece* pieces = pieces_cut(&b);
    ASSERT_EQ(b.pieceCount, 20);
    Image* pic = cut_support::test_picture(250, 200);
    piece_set_picture(pic);
    // The pieces laid out 1.5 cells apart at odd turns, every fourth lifted, seen at 70 %, 50 %
    // and 30 %: from the image, its half, its quarter.
    const uint64_t approved[3] = {9312740126875241832u, 132688262831578531u, 3278541447490499522u};
    const double zooms[3] = {0.7, 0.5, 0.3};
    for (int z = 0; z < 3; z++) {
        Frame frame(280, 230);
        Frame::fill(0x2E5A3A);
        screen_invalidate(0, 0, 280, 230);
        const TableView v = {400, 330, 280, 230, zooms[z], 4, 4};
        for (int i = 0; i < b.pieceCount; i++) {
            const PieceShape& s = shapes_table()[pieces[i].shape];
            const int x = pieces[i].homeX * 3 / 2 + 20, y = pieces[i].homeY * 3 / 2 + 20,
                      angle = (i * 67) % 360;
            for (int shadow : {1, 0}) {
                if (shadow && i % 4) continue;
                PieceQuad q;
                piece_quad(&s, x, y, angle, 4, shadow, &q);
                for (auto& c : q.corner)
                    view_to_screen(v, c[0], c[1], &c[0], &c[1]);
                q.left = 0, q.top = 0, q.right = 279, q.bottom = 229;
                piece_draw(&q, &s, pieces[i].homeX + s.pieceX, pieces[i].homeY + s.pieceY, angle, i == 5,
                           shadow);
            }
        }
        const ImageView shot{screen.width, screen.height, IMG_24BIT, screen.buf, screen.pitch, nullptr, 0};
        EXPECT_EQ(golden_hash(shot, "afar%d", (int)(zooms[z] * 100)), approved[z]) << zooms[z];
    }
    piece_set_picture(nullptr);
    io_mem_free(pic);
    io_mem_free(pieces);
    shapes_free();
}

// A redraw of the whole desk of many pieces is drawn in two bands on two threads: the picture is
// exactly the one a single thread draws, at 100 % and from the halved levels alike.
TEST(PieceLevels, a_desk_drawn_in_two_bands_is_the_desk_drawn_at_once) {
    light_tables_build();
    img_shadow_table_init();
    play_samples::HandGame game(2500, 30, 30, 320, 240, 30);
    PieceShape& s = shapes_table()[0];
    uint16_t* codes = (uint16_t*)((uint8_t*)s.piece + s.piece->colourOffset);
    for (int i = 0; i < 30 * 30; i++)
        codes[i] = i % 11 == 0 ? 0 : i % 4 == 0 ? lit(i % 1024, 20 + i % 12) : codes[i];
    play_state.picture = cut_support::test_picture(600, 600);
    piece_set_picture(play_state.picture);
    for (int i = 0; i < 2500; i++) {
        PlayPiece& p = play_state.pieces[i];
        p.x = (i * 37) % 1250, p.y = (i * 53) % 930, p.angle = i % 7 ? 0 : (i * 31) % 360;
        p.homeX = (i * 13) % 560, p.homeY = (i * 17) % 560, p.selected = i % 9 == 0;
    }
    stack_reset();
    for (double zoom : {1.0, 0.25}) {
        SCOPED_TRACE(zoom);
        play_state.bigTable = 1;
        play_state.view = {1280, 960, 320, 240, zoom, zoom == 1.0 ? -500 : 0, zoom == 1.0 ? -300 : 0};
        std::vector<uint8_t> frames[2];
        for (int banded : {0, 1}) {
            Frame frame(320, 240);
            Frame::fill(0x305070);
            pieces_settle();
            pieces_set_band_pieces(banded ? 0 : 1 << 30);
            screen_invalidate(0, 0, 320, 240);
            pieces_draw_resting();
            frames[banded].assign(screen.buf + (screen.height - 1) * screen.pitch,
                                  screen.buf + (screen.height - 1) * screen.pitch + 320 * 3 * 240);
        }
        EXPECT_TRUE(frames[0] == frames[1]);
    }
    pieces_set_band_pieces(2000);
    piece_set_picture(nullptr);
}
