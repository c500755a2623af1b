// tests/image/img_test.cpp -- the Image record, pixel operations, lines and the screen drawers.
//
// Ideas not yet written: a golden hash of a skin frame drawn with img_tile over a real grid.
#include "image/img.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/io_mem.h"
#include "platform/io_video.h"
#include "platform/screen.h"
#include "support/fatal_trap.h"

namespace {

struct Bgr {
    int b, g, r;
    bool operator==(const Bgr&) const = default;
};

Bgr pixel_at(const ImageView& v, int x, int y) {
    const uint8_t* p = v.pixels + (ptrdiff_t)y * v.pitch + x * 3;
    return {p[0], p[1], p[2]};
}

uint8_t* image_pixel(Image* im, int x, int y) {
    ImageView v;
    img_view(&v, im, x, y);
    return v.pixels;
}

// A 24-bit image whose pixel (x, y) is (x, y, 7) as blue, green, red.
Image* make_ramp(int w, int h, int kind = IMG_24BIT) {
    Image* im = img_create(w, h, kind);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint8_t* p = image_pixel(im, x, y);
            p[0] = (uint8_t)x, p[1] = (uint8_t)y, p[2] = 7;
        }
    return im;
}

// A 64 x 48 frame: cells of 32 x 24 (two by two), all dirty, the frame open and black.
class ImgScreen : public ::testing::Test {
   protected:
    void SetUp() override {
        img_shadow_table_init();
        io_video_create_frame(64, 48, 24);
        screen_grid_create();
        io_video_begin_paint();
    }
    void TearDown() override {
        io_video_end_paint();
        screen_grid_free();
        io_video_close();
    }
    Bgr at(int x, int y) {
        ImageView v;
        img_screen_view(&v, 0, 0);
        return pixel_at(v, x, y);
    }
    void fill_screen(int b, int g, int r) {
        for (int y = 0; y < screen.height; y++)
            for (int x = 0; x < screen.width; x++) {
                uint8_t* p = screen.buf + (ptrdiff_t)y * screen.pitch + x * 3;
                p[0] = (uint8_t)b, p[1] = (uint8_t)g, p[2] = (uint8_t)r;
            }
    }
    std::vector<uint8_t> snapshot() {
        std::vector<uint8_t> bytes;
        for (int y = 0; y < screen.height; y++) {
            const uint8_t* row = screen.buf + (ptrdiff_t)y * screen.pitch;
            bytes.insert(bytes.end(), row, row + screen.width * 3);
        }
        return bytes;
    }
};

TEST(ImgCreate, header_sizes_and_views) {
    screen_set_size_for_tests(40, 30);
    Image* im = img_create(5, 4, IMG_KIND_SCREEN);
    EXPECT_EQ(im->magic, IMG_MAGIC);
    EXPECT_EQ(im->kind, IMG_24BIT);
    EXPECT_EQ(im->colourPitch, 15);
    EXPECT_EQ(im->alphaOffset, 0);
    EXPECT_EQ(io_mem_size(im), 36u + 3 * 5 * 4);
    io_mem_free(im);

    im = img_create(5, 4, IMG_KIND_GREY);
    EXPECT_EQ(im->kind, IMG_8BIT);
    EXPECT_EQ(io_mem_size(im), 36u + 20);
    io_mem_free(im);

    im = img_create(5, 4, IMG_24BIT | IMG_ALPHA);
    EXPECT_EQ(im->colourPitch, 15);
    EXPECT_EQ(im->alphaOffset, 36 + 60);
    EXPECT_EQ(im->alphaPitch, 5);
    EXPECT_EQ(io_mem_size(im), 36u + 4 * 20);
    ImageView v;
    img_view(&v, im, 2, 1);
    EXPECT_EQ(v.width, 3);
    EXPECT_EQ(v.height, 3);
    EXPECT_EQ(v.pixels, (uint8_t*)im + 36 + 15 + 6);
    EXPECT_EQ(v.alpha, (uint8_t*)im + 96 + 5 + 2);
    int w, h, pitch;
    uint8_t* px;
    img_pixels(im, &px, &pitch, &w, &h);
    EXPECT_EQ(px, (uint8_t*)im + 36);
    EXPECT_EQ(pitch, 15);
    EXPECT_EQ(w * 10 + h, 54);
    io_mem_free(im);

    EXPECT_NE(fatal_message_of([] { (void)img_create(-1, 4, IMG_8BIT); }), "");
    EXPECT_NE(fatal_message_of([] { (void)img_create(1 << 30, 1 << 30, IMG_24BIT); }), "");
}

TEST(ImgShadowTable, darkening_values) {
    img_shadow_table_init();
    const uint8_t* t = img_shadow_table();
    EXPECT_EQ(t[128 * 256 + 200], 100);
    EXPECT_EQ(t[255 * 256 + 200], 0);
    EXPECT_EQ(t[0 * 256 + 200], 200);
    EXPECT_EQ(t[64 * 256 + 255], 191);  // 191 x 255 / 255
    EXPECT_EQ(t[1 * 256 + 1], 1);       // 254 / 255 rounds up
}

TEST(ImgPixelOps, fill_rect_scale) {
    Image* im = img_create(7, 3, IMG_24BIT);
    img_fill(im, 0x00112233);
    for (int x = 0; x < 7; x++)
        EXPECT_EQ(std::memcmp(image_pixel(im, x, 2), "\x33\x22\x11", 3), 0) << x;
    img_fill_rect(im, 0x00AABBCC, 1, 1, 5, 1);
    EXPECT_EQ(image_pixel(im, 0, 1)[0], 0x33);
    EXPECT_EQ(image_pixel(im, 1, 1)[0], 0xCC);
    EXPECT_EQ(image_pixel(im, 5, 1)[2], 0xAA);
    EXPECT_EQ(image_pixel(im, 6, 1)[0], 0x33);
    EXPECT_EQ(image_pixel(im, 1, 0)[0], 0x33);
    io_mem_free(im);

    Image* grey = img_create(5, 2, IMG_8BIT);
    img_fill(grey, 0x1234C8);
    EXPECT_EQ(image_pixel(grey, 4, 1)[0], 0xC8);
    img_scale_values(grey, 128);  // 200 x 128 / 255 = 100.4
    EXPECT_EQ(image_pixel(grey, 0, 0)[0], 100);
    io_mem_free(grey);

    Image* word = img_create(2, 1, IMG_16BIT);
    std::memset(image_pixel(word, 0, 0), 0x5A, 4);
    img_fill(word, 0);
    img_scale_values(word, 0);
    EXPECT_EQ(image_pixel(word, 1, 0)[1], 0x5A);
    io_mem_free(word);

    Image* alpha = img_create(2, 1, IMG_24BIT | IMG_ALPHA);
    ImageView v;
    img_view(&v, alpha, 0, 0);
    v.alpha[0] = 9;
    img_fill(alpha, 0x00FFFFFF);
    EXPECT_EQ(v.pixels[5], 0xFF);
    EXPECT_EQ(v.alpha[0], 9);
    io_mem_free(alpha);
}

TEST(ImgBlit, copy_and_alpha_composite) {
    img_shadow_table_init();  // compositing darkens through the table
    // Width 7: one group of four and three pixels of remainder in every row.
    Image* plain = make_ramp(7, 2);
    Image* alpha = make_ramp(7, 2, IMG_24BIT | IMG_ALPHA);
    ImageView av;
    img_view(&av, alpha, 0, 0);
    std::memset(av.alpha, 255, 14);

    Image* a = img_create(9, 3, IMG_24BIT);
    Image* b = img_create(9, 3, IMG_24BIT);
    img_fill(a, 0x00405060);
    img_fill(b, 0x00405060);
    img_blit(a, 1, 1, plain);
    img_blit(b, 1, 1, alpha);
    EXPECT_EQ(std::memcmp(a, b, io_mem_size(a)), 0);
    EXPECT_EQ(image_pixel(a, 7, 2)[0], 6);
    EXPECT_EQ(image_pixel(a, 0, 1)[0], 0x60);

    // Transparent black leaves the destination; a half shadow plus the premultiplied source.
    std::memset(av.pixels, 0, 42);
    std::memset(av.alpha, 0, 14);
    av.alpha[5] = 128;
    av.pixels[15] = 50, av.pixels[16] = 0, av.pixels[17] = 255;
    img_fill(b, 0x00C8C8C8);
    img_blit_part(b, 0, 0, alpha, 0, 0, 7, 1);
    EXPECT_EQ(std::memcmp(image_pixel(b, 0, 0), "\xC8\xC8\xC8", 3), 0);
    EXPECT_EQ(std::memcmp(image_pixel(b, 4, 0), "\xC8\xC8\xC8", 3), 0);
    EXPECT_EQ(image_pixel(b, 5, 0)[0], 150);  // 100 + 50
    EXPECT_EQ(image_pixel(b, 5, 0)[1], 100);
    EXPECT_EQ(image_pixel(b, 5, 0)[2], 255);  // 100 + 255 is held at 255
    for (Image* im : {plain, alpha, a, b})
        io_mem_free(im);
}

TEST(ImgConvert, kinds) {
    Image* colour = img_create(3, 1, IMG_24BIT);
    std::memcpy(image_pixel(colour, 0, 0), "\x00\x00\xFF\x00\xFF\x00\xFF\x00\x00", 9);
    Image* grey = img_create(3, 1, IMG_8BIT);
    img_convert(grey, colour);
    EXPECT_EQ(image_pixel(grey, 0, 0)[0], 76);   // 0.299 x 255 + 0.5
    EXPECT_EQ(image_pixel(grey, 1, 0)[0], 150);  // 0.587 x 255 + 0.5
    EXPECT_EQ(image_pixel(grey, 2, 0)[0], 29);   // 0.114 x 255 + 0.5

    image_pixel(grey, 1, 0)[0] = 33;
    img_convert(colour, grey);
    EXPECT_EQ(std::memcmp(image_pixel(colour, 1, 0), "\x21\x21\x21", 3), 0);

    Image* words = img_create(3, 1, IMG_16BIT);
    const uint16_t values[3] = {0x7FFF, 0x4000, 0x0021};  // white; red 16; green 1 and blue 1
    std::memcpy(image_pixel(words, 0, 0), values, 6);
    img_convert(colour, words);
    EXPECT_EQ(std::memcmp(image_pixel(colour, 0, 0), "\xFF\xFF\xFF\x00\x00\x83\x08\x08\x00", 9), 0);

    Image* alpha = make_ramp(3, 1, IMG_24BIT | IMG_ALPHA);
    img_convert(colour, alpha);
    EXPECT_EQ(std::memcmp(image_pixel(colour, 2, 0), "\x02\x00\x07", 3), 0);

    Image* wide = img_create(4, 1, IMG_8BIT);
    image_pixel(wide, 0, 0)[0] = 1;
    img_convert(colour, wide);  // size mismatch: nothing
    EXPECT_EQ(image_pixel(colour, 0, 0)[0], 0);
    for (Image* im : {colour, grey, words, alpha, wide})
        io_mem_free(im);
}

std::vector<std::pair<int, int>> line_points(int w, int h, int x0, int y0, int x1, int y1) {
    Image* im = img_create(w, h, IMG_8BIT);
    img_fill(im, 0);
    ImageView v;
    img_view(&v, im, 0, 0);
    const uint8_t one = 1;
    img_line(&v, x0, y0, x1, y1, &one);
    std::vector<std::pair<int, int>> points;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            if (v.pixels[y * v.pitch + x]) points.emplace_back(x, y);
    io_mem_free(im);
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

    Image* im = img_create(3, 3, IMG_24BIT);
    img_fill(im, 0);
    ImageView v;
    img_view(&v, im, 0, 0);
    img_line(&v, 0, 2, 2, 0, "\x01\x02\x03");
    EXPECT_EQ(std::memcmp(image_pixel(im, 1, 1), "\x01\x02\x03", 3), 0);
    EXPECT_EQ(std::memcmp(image_pixel(im, 2, 2), "\x00\x00\x00", 3), 0);
    io_mem_free(im);
}

TEST_F(ImgScreen, draw_clips_to_screen_and_offsets_source) {
    Image* ramp = make_ramp(20, 10);
    img_draw(ramp, -3, -2, 0, 0, 20, 10);
    EXPECT_EQ(at(0, 0), (Bgr{3, 2, 7}));
    EXPECT_EQ(at(16, 7), (Bgr{19, 9, 7}));
    EXPECT_EQ(at(17, 7), (Bgr{0, 0, 0}));
    EXPECT_EQ(at(0, 8), (Bgr{0, 0, 0}));

    img_draw(ramp, 60, 45, 2, 1, 10, 5);  // cut at the right and bottom edges
    EXPECT_EQ(at(63, 47), (Bgr{5, 3, 7}));

    const auto before = snapshot();
    img_draw_all(ramp, -20, 0);
    img_draw_all(ramp, 64, 0);
    img_draw_all(ramp, 0, -10);
    img_draw_all(ramp, 10, 48);
    img_draw(ramp, 5, 5, 0, 0, 0, 4);
    EXPECT_EQ(snapshot(), before);
    io_mem_free(ramp);
}

TEST_F(ImgScreen, draw_writes_only_dirty_cells) {
    screen_flush();
    const auto before = snapshot();
    Image* ramp = make_ramp(64, 48);
    img_draw_all(ramp, 0, 0);
    EXPECT_EQ(snapshot(), before);

    screen_invalidate(40, 30, 1, 1);  // the cell at columns 32..63, rows 24..47
    img_draw(ramp, 10, 5, 0, 0, 64, 48);
    EXPECT_EQ(at(31, 30), (Bgr{0, 0, 0}));
    EXPECT_EQ(at(32, 23), (Bgr{0, 0, 0}));
    EXPECT_EQ(at(32, 24), (Bgr{22, 19, 7}));  // the run starts right of x: source moves by 22, 19
    EXPECT_EQ(at(63, 47), (Bgr{53, 42, 7}));
    io_mem_free(ramp);
}

TEST_F(ImgScreen, alpha_image_matches_plain_when_opaque) {
    Image* plain = make_ramp(13, 6);
    Image* alpha = make_ramp(13, 6, IMG_24BIT | IMG_ALPHA);
    ImageView av;
    img_view(&av, alpha, 0, 0);
    std::memset(av.alpha, 255, 13 * 6);
    fill_screen(9, 9, 9);
    img_draw_all(plain, 27, 20);  // crosses all four cells
    const auto expected = snapshot();
    fill_screen(9, 9, 9);
    img_draw_all(alpha, 27, 20);
    EXPECT_EQ(snapshot(), expected);

    std::memset(av.pixels, 0, 13 * 6 * 3);
    std::memset(av.alpha, 0, 13 * 6);
    img_draw_all(alpha, 27, 20);
    EXPECT_EQ(snapshot(), expected);
    io_mem_free(plain);
    io_mem_free(alpha);
}

TEST_F(ImgScreen, shadow_and_tinted_values) {
    Image* mask = img_create(6, 1, IMG_8BIT);
    std::memcpy(image_pixel(mask, 0, 0), "\x80\xFF\x00\x80\x80\x01", 6);
    fill_screen(200, 200, 200);
    img_draw_shadow_all(mask, 30, 23);
    EXPECT_EQ(at(30, 23), (Bgr{100, 100, 100}));
    EXPECT_EQ(at(31, 23), (Bgr{0, 0, 0}));
    EXPECT_EQ(at(32, 23), (Bgr{200, 200, 200}));
    EXPECT_EQ(at(35, 23), (Bgr{199, 199, 199}));

    fill_screen(0, 0, 0);
    std::memset(image_pixel(mask, 0, 0), 255, 6);
    img_draw_tinted(1, 1, 0x00FFFFFF, mask, 0, 0, 6, 1);
    EXPECT_EQ(at(1, 1), (Bgr{254, 254, 254}));
    EXPECT_EQ(at(6, 1), (Bgr{254, 254, 254}));
    EXPECT_EQ(at(7, 1), (Bgr{0, 0, 0}));

    // Towards a darker colour the signed product floors: 200 + ((16 - 200) x 128 >> 8) = 108.
    fill_screen(200, 200, 200);
    image_pixel(mask, 2, 0)[0] = 128;
    image_pixel(mask, 3, 0)[0] = 0;
    img_draw_tinted(0, 0, 0x00201010, mask, 2, 0, 2, 1);
    EXPECT_EQ(at(0, 0), (Bgr{108, 108, 116}));
    EXPECT_EQ(at(1, 0), (Bgr{200, 200, 200}));
    // Colour 0 darkens exactly like the shadow.
    img_draw_tinted(0, 2, 0, mask, 2, 0, 1, 1);
    EXPECT_EQ(at(0, 2), (Bgr{100, 100, 100}));
    io_mem_free(mask);
}

TEST_F(ImgScreen, wrong_kinds_are_fatal) {
    Image* grey = img_create(2, 2, IMG_8BIT);
    Image* colour = img_create(2, 2, IMG_24BIT);
    Image* greyAlpha = img_create(2, 2, 0x11);
    EXPECT_EQ(fatal_message_of([&] { img_draw_all(grey, 0, 0); }), "img_draw: jine rozliseni nez screen");
    EXPECT_EQ(fatal_message_of([&] { img_draw_tinted(0, 0, 1, colour, 0, 0, 2, 2); }),
              "img_draw: jine rozliseni nez screen");
    EXPECT_EQ(fatal_message_of([&] { img_draw_shadow_all(colour, 0, 0); }),
              "img_draw_shadow: stin by mel byt IMG_8BIT");
    EXPECT_EQ(fatal_message_of([&] { img_draw_shadow(greyAlpha, 0, 0, 0, 0, 2, 2); }),
              "img_draw_shadow: stin by mel byt IMG_8BIT");
    for (Image* im : {grey, colour, greyAlpha})
        io_mem_free(im);
}

struct TileCall {
    int x, y, sx, sy, w, h;
    bool operator==(const TileCall&) const = default;
};
std::vector<TileCall> g_tiles;
void record_tile(const Image*, int x, int y, int sx, int sy, int w, int h) {
    g_tiles.push_back({x, y, sx, sy, w, h});
}

TEST(ImgTile, layout_and_flags) {
    ImgTileDrawer previous = img_set_tile_drawer(record_tile);
    EXPECT_EQ(previous, img_draw);
    const ImgRect rect{5, 6, 4, 3};
    using V = std::vector<TileCall>;

    g_tiles.clear();
    img_tile(nullptr, &rect, 10, 20, 20, 25, 0);
    EXPECT_EQ(g_tiles, (V{{10, 20, 5, 6, 4, 3},
                          {14, 20, 5, 6, 4, 3},
                          {18, 20, 5, 6, 2, 3},
                          {10, 23, 5, 6, 4, 2},
                          {14, 23, 5, 6, 4, 2},
                          {18, 23, 5, 6, 2, 2}}));
    g_tiles.clear();
    img_tile(nullptr, &rect, 10, 20, 0, 27, 1);  // one column down to 27
    EXPECT_EQ(g_tiles, (V{{10, 20, 5, 6, 4, 3}, {10, 23, 5, 6, 4, 3}, {10, 26, 5, 6, 4, 1}}));
    g_tiles.clear();
    img_tile(nullptr, &rect, 0, 0, 6, 99, 2);  // one row
    EXPECT_EQ(g_tiles, (V{{0, 0, 5, 6, 4, 3}, {4, 0, 5, 6, 2, 3}}));
    g_tiles.clear();
    img_tile(nullptr, &rect, -10, 0, 0, 10, 0);  // x end below 1
    img_tile(nullptr, &rect, 0, 10, 10, 10, 0);  // y0 not below y end
    img_tile(nullptr, &rect, 0, -10, 10, 0, 0);  // y end below 1
    EXPECT_TRUE(g_tiles.empty());
    img_draw_rect(nullptr, &rect, 7, 8);
    EXPECT_EQ(g_tiles, (V{{7, 8, 5, 6, 4, 3}}));
    img_set_tile_drawer(previous);
}

}  // namespace
