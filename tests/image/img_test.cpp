// tests/image/img_test.cpp -- the Image record, pixel operations, lines and the screen drawers.
#include "image/img.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/io_mem.h"
#include "platform/screen.h"
#include "puzzle/cut_support.h"
#include "support/fatal_trap.h"
#include "support/pictures.h"

namespace {

// Fills p so that pixel (x, y) has blue x, green y and red 7 (and alpha 255).
void ramp(const Pic& p) {
    for (int y = 0; y < p.im->height; y++)
        for (int x = 0; x < p.im->width; x++)
            std::memcpy(p.at(x, y), std::vector<uint8_t>{(uint8_t)x, (uint8_t)y, 7}.data(), 3);
    if (p.view().alpha) std::memset(p.view().alpha, 255, (size_t)p.im->width * p.im->height);
}

TEST(ImgCreate, header_sizes_and_views) {
    screen_set_size_for_tests(40, 30);
    Pic screen_kind(5, 4, IMG_KIND_SCREEN), alpha(5, 4, IMG_24BIT | IMG_ALPHA);
    EXPECT_EQ((std::vector<long long>{screen_kind.im->kind, (long long)io_mem_size(screen_kind.im),
                                      (long long)io_mem_size(alpha.im), alpha.im->alphaOffset}),
              (std::vector<long long>{3, 36 + 3 * 5 * 4, 36 + 4 * 20, 36 + 60}));
    const ImageView v = alpha.view(2, 1);  // 3 x 3 from (2, 1)
    EXPECT_EQ(v.width * 10 + v.height, 33);
    EXPECT_EQ(v.pixels, (const uint8_t*)alpha.im + 36 + 15 + 6);
    EXPECT_EQ(v.alpha, (const uint8_t*)alpha.im + 96 + 5 + 2);
    EXPECT_NE(fatal_message_of([] { (void)img_create(-1, 4, IMG_8BIT); }), "");
    EXPECT_NE(fatal_message_of([] { (void)img_create(1 << 30, 1 << 30, IMG_24BIT); }), "");
}

TEST(ImgPixelOps, fill_rect_scale_and_the_shadow_table) {
    Pic colour(7, 3, IMG_24BIT);  // one group of four and three pixels in every row
    img_fill(colour.im, 0x00112233);
    img_fill_rect(colour.im, 0x00AABBCC, 1, 1, 5, 1);
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 7; x++)
            EXPECT_EQ(colour.pixel(x, y), y == 1 && x >= 1 && x <= 5 ? 0xAABBCCu : 0x112233u)
                << x << "," << y;

    Pic grey(5, 2, IMG_8BIT), word(2, 1, IMG_16BIT), alpha(2, 1, IMG_24BIT | IMG_ALPHA);
    img_fill(grey.im, 0x1234C8);
    EXPECT_EQ(grey.pixel(4, 1), 0xC8u);
    img_scale_values(grey.im, 128);  // 200 x 128 / 255 = 100.4
    EXPECT_EQ(grey.pixel(0, 0), 100u);
    word.set({0x5A, 0x5A, 0x5A, 0x5A});  // 16-bit pictures are neither filled nor scaled
    img_fill(word.im, 0);
    img_scale_values(word.im, 0);
    EXPECT_EQ(word.at(1, 0)[1], 0x5A);
    alpha.view().alpha[0] = 9;
    img_fill(alpha.im, 0x00FFFFFF);
    EXPECT_EQ(alpha.pixel(1, 0), 0xFFFFFFu);
    EXPECT_EQ(alpha.view().alpha[0], 9);  // the alpha plane is left alone

    img_shadow_table_init();
    const uint8_t* t = img_shadow_table();
    EXPECT_EQ(t[64 * 256 + 255], 191);  // 191 x 255 / 255; the draws below pin the rest
    EXPECT_EQ(t[1 * 256 + 1], 1);       // 254 / 255 rounds up
}

TEST(ImgBlit, copy_and_alpha_composite) {
    img_shadow_table_init();  // compositing darkens through the table
    Pic plain(7, 2, IMG_24BIT), alpha(7, 2, IMG_24BIT | IMG_ALPHA), a(9, 3, IMG_24BIT), b(9, 3, IMG_24BIT);
    ramp(plain);
    ramp(alpha);
    img_fill(a.im, 0x00405060);
    img_fill(b.im, 0x00405060);
    img_blit(a.im, 1, 1, plain.im);
    img_blit(b.im, 1, 1, alpha.im);  // opaque: the same as a copy
    EXPECT_EQ(a.plane(), b.plane());
    EXPECT_EQ(a.pixel(7, 2), 0x070106u);
    EXPECT_EQ(a.pixel(0, 1), 0x405060u);

    // Transparent black leaves the destination; a half shadow plus the premultiplied source.
    const ImageView av = alpha.view();
    std::memset(av.pixels, 0, 42);
    std::memset(av.alpha, 0, 14);
    av.alpha[5] = 128;
    std::memcpy(av.pixels + 15, "\x32\x00\xFF", 3);
    img_fill(b.im, 0x00C8C8C8);
    img_blit_part(b.im, 0, 0, alpha.im, 0, 0, 7, 1);
    EXPECT_EQ(b.pixel(0, 0), 0xC8C8C8u);
    EXPECT_EQ(b.pixel(4, 0), 0xC8C8C8u);
    EXPECT_EQ(b.pixel(5, 0), 0xFF6496u);  // blue 100 + 50, green 100, red 100 + 255 held at 255
}

TEST(ImgConvert, kinds) {
    Pic colour(3, 1, IMG_24BIT), grey(3, 1, IMG_8BIT), words(3, 1, IMG_16BIT), wide(4, 1, 1);
    colour.set({0, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0, 0});
    img_convert(grey.im, colour.im);  // 0.299, 0.587 and 0.114 of 255, rounded
    EXPECT_EQ(grey.plane(), (std::vector<uint8_t>{76, 150, 29}));
    words.set({0xFF, 0x7F, 0x00, 0x40, 0x21, 0x00});  // white; red 16; green 1 and blue 1
    img_convert(colour.im, words.im);
    EXPECT_EQ(colour.plane(), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0, 0, 0x83, 8, 8, 0}));
    wide.set({1});
    img_convert(colour.im, wide.im);  // size mismatch: nothing; grey and alpha are pinned by the import
    EXPECT_EQ(colour.pixel(0, 0), 0xFFFFFFu);
}

std::vector<std::pair<int, int>> line_points(int w, int h, int x0, int y0, int x1, int y1) {
    Pic p(w, h, IMG_8BIT);
    img_fill(p.im, 0);
    const ImageView v = p.view();
    const uint8_t one = 1;
    img_line(&v, x0, y0, x1, y1, &one);
    std::vector<std::pair<int, int>> points;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            if (p.pixel(x, y)) points.emplace_back(x, y);
    return points;
}

TEST(ImgLine, bresenham_and_clipping) {
    using P = std::vector<std::pair<int, int>>;
    EXPECT_EQ(line_points(8, 8, 0, 0, 5, 2), (P{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2}}));
    EXPECT_EQ(line_points(8, 8, 5, 2, 0, 0), (P{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2}}));
    EXPECT_EQ(line_points(8, 8, 1, 1, 1, 1), (P{{1, 1}}));
    EXPECT_EQ(line_points(4, 4, -5, 2, 5, 2), (P{{0, 2}, {1, 2}, {2, 2}, {3, 2}}));
    EXPECT_EQ(line_points(4, 4, -2, -2, 5, 5), (P{{0, 0}, {1, 1}, {2, 2}, {3, 3}}));
    EXPECT_EQ(line_points(4, 4, 2, -9, 2, 9), (P{{2, 0}, {2, 1}, {2, 2}, {2, 3}}));
    EXPECT_EQ(line_points(4, 4, -1, 2, 2, -1), (P{{1, 0}, {0, 1}}));
    EXPECT_EQ(line_points(4, 4, -3, -1, 9, -1), P{});
    EXPECT_EQ(line_points(4, 4, -1, 0, 0, -1), P{});  // cuts the corner outside
    EXPECT_EQ(line_points(4, 4, -2000000000, 1, 2000000000, 2).size(), 4u);

    Pic p(3, 3, IMG_24BIT);  // colour lines take three bytes a point
    img_fill(p.im, 0);
    const ImageView v = p.view();
    img_line(&v, 0, 2, 2, 0, "\x01\x02\x03");
    EXPECT_EQ(p.pixel(1, 1), 0x030201u);
    EXPECT_EQ(p.pixel(2, 2), 0u);
}

// A 64 x 48 frame: cells of 32 x 24 (two by two), all dirty, the frame open and black.
class ImgScreen : public ::testing::Test {
   protected:
    void SetUp() override { img_shadow_table_init(); }
    cut_support::Frame frame{64, 48};
    static uint32_t at(int x, int y) {
        const uint8_t* p = cut_support::Frame::at(x, y);
        return p[0] | p[1] << 8 | p[2] << 16;
    }
    static void fill_screen(int grey) { cut_support::Frame::fill(0x010101u * grey); }
    static std::vector<uint8_t> snapshot() {  // rows lie bottom-up in memory
        return {cut_support::Frame::at(0, 47), cut_support::Frame::at(0, 47) + 64 * 48 * 3};
    }
};

TEST_F(ImgScreen, draw_clips_to_screen_and_offsets_source) {
    Pic pic(20, 10, IMG_24BIT);
    ramp(pic);
    const Image* im = pic.im;
    img_draw(im, -3, -2, 0, 0, 20, 10);
    EXPECT_EQ(at(0, 0), 0x070203u);
    EXPECT_EQ(at(16, 7), 0x070913u);
    EXPECT_EQ(at(17, 7), 0u);
    EXPECT_EQ(at(0, 8), 0u);
    img_draw(im, 60, 45, 2, 1, 10, 5);  // cut at the right and bottom edges
    EXPECT_EQ(at(63, 47), 0x070305u);

    const auto before = snapshot();
    img_draw_all(im, -20, 0);
    img_draw_all(im, 64, 0);
    img_draw_all(im, 0, -10);
    img_draw_all(im, 10, 48);
    img_draw(im, 5, 5, 0, 0, 0, 4);
    EXPECT_EQ(snapshot(), before);
}

TEST_F(ImgScreen, draw_writes_only_dirty_cells) {
    screen_flush();
    const auto before = snapshot();
    Pic pic(64, 48, IMG_24BIT);
    ramp(pic);
    img_draw_all(pic.im, 0, 0);
    EXPECT_EQ(snapshot(), before);

    screen_invalidate(40, 30, 1, 1);  // the cell at columns 32..63, rows 24..47
    img_draw(pic.im, 10, 5, 0, 0, 64, 48);
    EXPECT_EQ(at(31, 30), 0u);
    EXPECT_EQ(at(32, 23), 0u);
    EXPECT_EQ(at(32, 24), 0x071316u);  // the run starts right of x: source moves by 22, 19
    EXPECT_EQ(at(63, 47), 0x072A35u);
}

TEST_F(ImgScreen, alpha_image_matches_plain_when_opaque_and_leaves_transparent_black) {
    Pic plain(13, 6, IMG_24BIT), alpha(13, 6, IMG_24BIT | IMG_ALPHA);
    ramp(plain);
    ramp(alpha);
    fill_screen(9);
    img_draw_all(plain.im, 27, 20);  // crosses all four cells
    const auto expected = snapshot();
    fill_screen(9);
    img_draw_all(alpha.im, 27, 20);
    EXPECT_EQ(snapshot(), expected);

    const ImageView av = alpha.view();
    std::memset(av.pixels, 0, 13 * 6 * 3);
    std::memset(av.alpha, 0, 13 * 6);
    img_draw_all(alpha.im, 27, 20);
    EXPECT_EQ(snapshot(), expected);
}

TEST_F(ImgScreen, shadow_and_tinted_values) {
    Pic mask(6, 1, IMG_8BIT), colour(2, 2, IMG_24BIT), grey_alpha(2, 2, 0x11);
    mask.set({0x80, 0xFF, 0x00, 0x80, 0x80, 0x01});
    fill_screen(200);
    img_draw_shadow_all(mask.im, 30, 23);
    EXPECT_EQ(at(30, 23), 0x646464u);
    EXPECT_EQ(at(31, 23), 0u);
    EXPECT_EQ(at(32, 23), 0xC8C8C8u);
    EXPECT_EQ(at(35, 23), 0xC7C7C7u);

    fill_screen(0);
    mask.set(std::vector<uint8_t>(6, 255));
    img_draw_tinted(1, 1, 0x00FFFFFF, mask.im, 0, 0, 6, 1);
    EXPECT_EQ(at(1, 1), 0xFEFEFEu);
    EXPECT_EQ(at(6, 1), 0xFEFEFEu);
    EXPECT_EQ(at(7, 1), 0u);

    // Towards a darker colour the signed product floors: 200 + ((16 - 200) x 128 >> 8) = 108.
    fill_screen(200);
    mask.set({255, 255, 128, 0});
    img_draw_tinted(0, 0, 0x00201010, mask.im, 2, 0, 2, 1);
    EXPECT_EQ(at(0, 0), 0x746C6Cu);
    EXPECT_EQ(at(1, 0), 0xC8C8C8u);
    img_draw_tinted(0, 2, 0, mask.im, 2, 0, 1, 1);  // colour 0 darkens exactly like the shadow
    EXPECT_EQ(at(0, 2), 0x646464u);

    const char* const wrong = "img_draw: jine rozliseni nez screen";
    const char* const not_grey = "img_draw_shadow: stin by mel byt IMG_8BIT";
    EXPECT_EQ(fatal_message_of([&] { img_draw_all(mask.im, 0, 0); }), wrong);
    EXPECT_EQ(fatal_message_of([&] { img_draw_tinted(0, 0, 1, colour.im, 0, 0, 2, 2); }), wrong);
    EXPECT_EQ(fatal_message_of([&] { img_draw_shadow_all(colour.im, 0, 0); }), not_grey);
    EXPECT_EQ(fatal_message_of([&] { img_draw_shadow(grey_alpha.im, 0, 0, 0, 0, 2, 2); }), not_grey);
}

struct TileCall {
    int x, y, sx, sy, w, h;
    bool operator==(const TileCall&) const = default;
};
std::vector<TileCall> g_tiles;

TEST(ImgTile, layout_and_flags) {
    const auto record = [](const Image*, int x, int y, int sx, int sy, int w, int h) {
        g_tiles.push_back({x, y, sx, sy, w, h});
    };
    ImgTileDrawer previous = img_set_tile_drawer(record);
    EXPECT_EQ(previous, img_draw);
    const Rect rect{5, 6, 4, 3};
    using V = std::vector<TileCall>;
    auto tiles = [&](int x0, int y0, int xend, int yend, int flags) {
        g_tiles.clear();
        img_tile(nullptr, &rect, x0, y0, xend, yend, flags);
        return g_tiles;
    };
    EXPECT_EQ(tiles(10, 20, 20, 25, 0), (V{{10, 20, 5, 6, 4, 3},
                                           {14, 20, 5, 6, 4, 3},
                                           {18, 20, 5, 6, 2, 3},
                                           {10, 23, 5, 6, 4, 2},
                                           {14, 23, 5, 6, 4, 2},
                                           {18, 23, 5, 6, 2, 2}}));
    EXPECT_EQ(tiles(10, 20, 0, 27, 1), (V{{10, 20, 5, 6, 4, 3}, {10, 23, 5, 6, 4, 3}, {10, 26, 5, 6, 4, 1}}));
    EXPECT_EQ(tiles(0, 0, 6, 99, 2), (V{{0, 0, 5, 6, 4, 3}, {4, 0, 5, 6, 2, 3}}));  // one row
    EXPECT_EQ(tiles(-10, 0, 0, 10, 0), V{});                                        // x end below 1
    EXPECT_EQ(tiles(0, 10, 10, 10, 0), V{});                                        // y0 not below y end
    EXPECT_EQ(tiles(0, -10, 10, 0, 0), V{});                                        // y end below 1
    img_draw_rect(nullptr, &rect, 7, 8);
    EXPECT_EQ(g_tiles, (V{{7, 8, 5, 6, 4, 3}}));
    img_set_tile_drawer(previous);
}

}  // namespace
