// tests/tools/skin_art_test.cpp -- the skin's resources and sheet layout, and the quality of its art.
// (mkpack --contact-sheet shows every picture of the skin for a look.)
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <map>

#include "gui/ge.h"
#include "gui/skin_pack.h"
#include "gui/window.h"
#include "image/gformat.h"
#include "image/img.h"
#include "platform/io_ini.h"
#include "tools/mkpack/skin_local.h"

namespace {

struct Built {
    std::vector<PackResource> resources;
    std::vector<SheetPicture> sheet;
    std::map<std::string, const std::vector<uint8_t>*> by_name;
};

const Built& built() {
    static Built b = [] {
        Built r;
        EXPECT_TRUE(part_skin("", &r.resources, &r.sheet));
        for (const PackResource& p : r.resources)
            r.by_name[p.name] = &p.bytes;
        return r;
    }();
    return b;
}

// The built skin.ini as a file, written once per run.
const std::string& skin_ini_file() {
    static const std::string path = [] {
        const std::vector<uint8_t>& bytes = *built().by_name.at("skin.ini");
        char name[] = "/tmp/skin_ini_XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0 || write(fd, bytes.data(), bytes.size()) != (ssize_t)bytes.size()) return std::string();
        close(fd);
        static std::string made = name;
        std::atexit([] { std::remove(made.c_str()); });
        return made;
    }();
    return path;
}

const Image* image_of(const char* name) {
    auto it = built().by_name.find(name);
    return it == built().by_name.end() ? nullptr : (const Image*)it->second->data();
}

// Picture n + 1 is the hover or checked look of picture n.
const int TWINS[] = {
    GE_PICTURE_TICK,        GE_PICTURE_RADIO,        GE_PICTURE_ZOOM,         GE_PICTURE_ZOOM + 2,
    GE_PICTURE_ZOOM + 4,    GE_PICTURE_ZOOM + 6,     GE_PICTURE_ZOOM + 8,     GE_PICTURE_HELP,
    GE_PICTURE_EYE,         GE_PICTURE_UNROLL,       GE_PICTURE_ROLL_UP,      GE_PICTURE_CLOSE,
    GE_PICTURE_SLIDER_LEFT, GE_PICTURE_SLIDER_RIGHT, GE_PICTURE_SLIDER_THUMB, GE_PICTURE_ROTATION,
    GE_PICTURE_ROOM_HELP,   GE_PICTURE_CANCEL,       GE_PICTURE_OK,           GE_PICTURE_CORNER};

const uint8_t* colour_at(const Image* im, int x, int y) {
    return (const uint8_t*)im + im->colourOffset + (size_t)y * im->colourPitch + 3 * x;
}
int alpha_at(const Image* im, int x, int y) {
    return im->alphaOffset ? ((const uint8_t*)im + im->alphaOffset)[(size_t)y * im->alphaPitch + x] : 255;
}
// Sum of channel differences between two same-sized rectangles (colour and alpha).
long rect_difference(const Image* im, Rect a, Rect b) {
    long sum = 0;
    for (int y = 0; y < a.h; y++)
        for (int x = 0; x < a.w; x++) {
            for (int k = 0; k < 3; k++)
                sum += std::abs(colour_at(im, a.x + x, a.y + y)[k] - colour_at(im, b.x + x, b.y + y)[k]);
            sum += std::abs(alpha_at(im, a.x + x, a.y + y) - alpha_at(im, b.x + x, b.y + y));
        }
    return sum;
}

bool overlap(Rect a, Rect b) {
    return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

std::vector<int> as_list(Rect r) { return {r.x, r.y, r.w, r.h}; }

}  // namespace

TEST(SkinArt, every_resource_is_there_with_its_kind_and_size) {
    struct Want {
        const char* name;
        int kind, w, h;  // kind 0: a JPEG
    };
    const Want wants[] = {{"img/active.img", 0x13, SHEET_A_W, SHEET_A_H},
                          {"img/inactive.img", 0x13, SHEET_B_W, SHEET_B_H},
                          {"img/lttl_pzzl.img", 0x13, 30, 20},
                          {"img/connected.img", 0x13, 256, 32},
                          {"img/icon.img", 0x13, 64, 64},
                          {"img/cursor.img", 0x13, 32, 32},
                          {"img/options_tint.img", 3, 181, 129},
                          {"img/options_logo.img", 3, OPTIONS_LOGO_W, 64},
                          {"img/background.jpg", 0, DESK_W, DESK_H},
                          {"img/intro.jpg", 0, 480, 300},
                          {"img/gallery/wall.jpg", 0, 256, 256},
                          {"img/gallery/floor.jpg", 0, 256, 256},
                          {"img/gallery/ceiling.jpg", 0, 256, 256}};
    ASSERT_EQ(built().resources.size(), std::size(wants) + 1);  // and skin.ini
    for (const Want& w : wants) {
        SCOPED_TRACE(w.name);
        ASSERT_TRUE(built().by_name.count(w.name));
        const std::vector<uint8_t>& bytes = *built().by_name.at(w.name);
        if (w.kind) {
            // The Image record itself, nothing more (its layout byte for byte: SkinKit below).
            const Image* im = (const Image*)bytes.data();
            ASSERT_EQ(bytes.size(), (size_t)IMG_HEADER_SIZE + (w.kind == 0x13 ? 4 : 3) * w.w * w.h);
            EXPECT_EQ((std::vector<int>{im->kind, im->width, im->height}),
                      (std::vector<int>{w.kind, w.w, w.h}));
            // Premultiplied colour never exceeds its alpha.
            int bad = 0;
            for (int y = 0; y < w.h; y++)
                for (int x = 0; x < w.w; x++)
                    for (int k = 0; k < 3; k++)
                        bad += colour_at(im, x, y)[k] > alpha_at(im, x, y);
            EXPECT_EQ(bad, 0);
        } else {
            FILE* f = fmemopen((void*)bytes.data(), bytes.size(), "rb");
            ASSERT_TRUE(f);
            int width, height, kind;
            EXPECT_EQ(gformat_jpg_info(f, &width, &height, &kind), 1);
            EXPECT_EQ((std::vector<int>{width, height, kind}), (std::vector<int>{w.w, w.h, IMG_24BIT}));
            std::fclose(f);
        }
    }
}

TEST(SkinArt, sheet_rectangles_fit_their_sheets_and_stay_apart) {
    std::vector<Rect> used;
    for (int n = 0; n < GE_PICTURE_COUNT; n++) {
        Rect r = ge_picture_rect(n);
        EXPECT_TRUE(r.w > 0 && r.h > 0 && r.x + r.w <= SHEET_A_W && r.y + r.h <= SHEET_A_H)
            << "picture " << n;
        used.push_back(r);
    }
    // The 25 frame tiles: columns of 12, rows at 18, 30, 36, 40, 46 of heights 12, 6, 4, 6, 12.
    EXPECT_EQ(as_list(ge_frame_tile_rect(0)), (std::vector<int>{0, 18, 12, 12}));
    EXPECT_EQ(as_list(ge_frame_tile_rect(11)), (std::vector<int>{12, 36, 12, 4}));
    EXPECT_EQ(as_list(ge_frame_tile_rect(17)), (std::vector<int>{24, 40, 12, 6}));
    EXPECT_EQ(as_list(ge_frame_tile_rect(24)), (std::vector<int>{48, 46, 12, 12}));
    for (int t = 0; t < GE_FRAME_TILE_COUNT; t++) {
        used.push_back(ge_frame_tile_rect(t));
        EXPECT_LE(used.back().y + used.back().h, SHEET_B_H);
    }
    for (size_t i = 0; i < used.size(); i++)
        for (size_t j = i + 1; j < used.size(); j++)
            EXPECT_FALSE(overlap(used[i], used[j])) << i << " and " << j;
    for (int p = 0; p < GE_TITLE_PIECE_COUNT; p++) {
        Rect r = ge_title_piece_rect(p);
        EXPECT_TRUE(r.w > 0 && r.h == TITLE_HEIGHT && r.x + r.w <= SHEET_B_W) << "piece " << p;
        for (int t = 0; t < GE_FRAME_TILE_COUNT; t++)
            EXPECT_FALSE(overlap(r, ge_frame_tile_rect(t))) << "piece " << p << " tile " << t;
    }
    EXPECT_EQ(as_list(ge_picture_rect(GE_PICTURE_COUNT)), (std::vector<int>{0, 0, 0, 0}));
}

// The reader against the writer: every picture the game cuts from the pack's sheet is, pixel for
// pixel, the picture the pack builder drew for that number (drawn over black, where a
// premultiplied picture leaves exactly its own colour).
TEST(SkinArt, the_game_draws_every_picture_as_the_builder_drew_it) {
    SkinFrame frame(64, 64);
    ge_init(skin_ini_file().c_str());
    for (int n = 0; n < GE_PICTURE_COUNT; n++) {
        Canvas sheet(SHEET_A_W, SHEET_A_H);
        draw_skin_picture(sheet, n);
        const std::vector<uint8_t> drawn = canvas_to_img(sheet, true);
        const Image* im = (const Image*)drawn.data();
        const Rect r = ge_picture_rect(n);
        SkinFrame::fill(0);
        screen_invalidate_all();
        ge_draw_picture(n, 0, 0);
        int wrong = 0;
        for (int y = 0; y < 64; y++)
            for (int x = 0; x < 64; x++)
                for (int k = 0; k < 3; k++) {
                    const bool inside = x < r.w && y < r.h;
                    wrong += SkinFrame::at(x, y)[k] != (inside ? colour_at(im, r.x + x, r.y + y)[k] : 0);
                }
        EXPECT_EQ(wrong, 0) << "picture " << n;
    }
    ge_done();
}

TEST(SkinArt, pictures_are_drawn_and_twins_differ) {
    const Image* a = image_of("img/active.img");
    ASSERT_TRUE(a);
    for (int n = 0; n < GE_PICTURE_COUNT; n++) {
        Rect r = ge_picture_rect(n);
        int opaque = 0, covered = 0;
        for (int y = 0; y < r.h; y++)
            for (int x = 0; x < r.w; x++) {
                opaque += alpha_at(a, r.x + x, r.y + y) == 255;
                covered += alpha_at(a, r.x + x, r.y + y) > 0;
            }
        EXPECT_GT(covered, r.w * r.h / 8) << "picture " << n << " is nearly empty";
        // Pictures drawn on a bar or strip with nothing behind them paint their own ground.
        if ((n >= GE_PICTURE_ZOOM && n < GE_PICTURE_CLOSE) || n >= GE_PICTURE_CORNER) {
            EXPECT_EQ(opaque, r.w * r.h) << "picture " << n;
        }
    }
    for (int n : TWINS) {
        Rect base = ge_picture_rect(n), twin = ge_picture_rect(n + 1);
        ASSERT_TRUE(base.w == twin.w && base.h == twin.h) << n;
        // A look a player can tell apart: on average more than 8 levels a pixel.
        EXPECT_GT(rect_difference(a, base, twin), 8L * base.w * base.h)
            << "pictures " << n << " and " << n + 1;
    }
    EXPECT_GT(rect_difference(a, ge_picture_rect(GE_PICTURE_TRACK), ge_picture_rect(GE_PICTURE_TRACK + 1)),
              0);
}

TEST(SkinArt, frame_tiles_join_without_steps) {
    for (const char* name : {"img/active.img", "img/inactive.img"}) {
        SCOPED_TRACE(name);
        const Image* im = image_of(name);
        ASSERT_TRUE(im);
        auto row_of = [&](int tile, int row) {
            Rect r = ge_frame_tile_rect(tile);
            return Rect{r.x, r.y + row, r.w, 1};
        };
        auto column_of = [&](int tile, int col) {
            Rect r = ge_frame_tile_rect(tile);
            return Rect{r.x + col, r.y, 1, r.h};
        };
        // Tiles that are repeated along one direction look the same at every step.
        for (int t : {10, 11, 12, 13, 14})
            for (int y = 1; y < 4; y++)
                EXPECT_EQ(rect_difference(im, row_of(t, 0), row_of(t, y)), 0) << "tile " << t;
        for (int t : {1, 6, 11, 16, 21})
            for (int x = 1; x < 12; x++)
                EXPECT_EQ(rect_difference(im, column_of(t, 0), column_of(t, x)), 0) << "tile " << t;
        // A corner's last row continues into the side below it, and the side into the corner
        // below: at most a level or two apart (the face's shading starts), never a step.
        const int down[][2] = {{0, 10}, {3, 13}, {5, 10}, {8, 13}, {4, 14}, {2, 12}, {9, 14}, {7, 12}};
        for (auto& d : down)
            EXPECT_LE(rect_difference(im, row_of(d[0], ge_frame_tile_rect(d[0]).h - 1), row_of(d[1], 0)), 96)
                << d[0] << " over " << d[1];
        const int up[][2] = {{20, 10}, {23, 13}, {15, 10}, {18, 13}, {24, 14}, {22, 12}, {19, 14}, {17, 12}};
        for (auto& u : up)
            EXPECT_LE(rect_difference(im, row_of(u[0], 0), row_of(u[1], 0)), 96) << u[1] << " over " << u[0];
        // The centre is solid.
        Rect centre = ge_frame_tile_rect(11);
        for (int y = 0; y < centre.h; y++)
            for (int x = 0; x < centre.w; x++)
                EXPECT_EQ(alpha_at(im, centre.x + x, centre.y + y), 255);
    }
}

TEST(SkinArt, textures_repeat_without_seams) {
    for (const Canvas& c :
         {draw_desk_texture(), draw_gallery_wall(), draw_gallery_floor(), draw_gallery_ceiling()}) {
        // The mean step between two columns (rows), over the three channels.
        auto step = [&](bool columns, int a, int b) {
            double s = 0;
            const int n = columns ? c.h : c.w;
            for (int i = 0; i < n; i++)
                for (int ch = 0; ch < 3; ch++)
                    s += std::fabs(columns ? c.at(a, i)[ch] - c.at(b, i)[ch]
                                           : c.at(i, a)[ch] - c.at(i, b)[ch]);
            return s / n;
        };
        // Designed joints (grooves, strips, beams) make the largest steps inside a tile; the step
        // across the tile's own edge may be as large as those, never larger.
        double inner_x = 0, inner_y = 0;
        for (int i = 0; i + 1 < c.w; i++)
            inner_x = std::max(inner_x, step(true, i, i + 1));
        for (int i = 0; i + 1 < c.h; i++)
            inner_y = std::max(inner_y, step(false, i, i + 1));
        EXPECT_LE(step(true, c.w - 1, 0), 1.25 * inner_x) << c.w << " x " << c.h;
        EXPECT_LE(step(false, c.h - 1, 0), 1.25 * inner_y) << c.w << " x " << c.h;
    }
    // Each frame of the sparkle strip fades out before its borders, so frames never bleed.
    const Canvas strip = draw_sparkle_strip();
    for (int y = 0; y < strip.h; y++)
        for (int f = 0; f < 8; f++)
            EXPECT_LT(strip.at(f * 32, y)[3], 0.05f);
}

// The colours, the desk colour and the gradient of skin.ini are read through the skin's own reader
// by the skin tests (a missing colour is fatal there); the gallery's tints are read here as the
// gallery reads them.
TEST(SkinArt, gallery_tints_read_back_with_the_game_rules) {
    for (const char* key : {"Texture0", "Texture1", "Texture2", "Texture3"}) {
        int hue, brightness, saturation;
        EXPECT_EQ(io_ini_read_triple(skin_ini_file().c_str(), "GALLERY", key, &hue, &brightness, &saturation),
                  1)
            << key;
    }
}

TEST(SkinKit, distances_worked_out_by_hand) {
    EXPECT_FLOAT_EQ(sd_circle(3, 4, 0, 0, 2), 3.0f);
    EXPECT_FLOAT_EQ(sd_rect(5, 2, 0, 0, 10, 4), -2.0f);
    EXPECT_FLOAT_EQ(sd_rect(13, 2, 0, 0, 10, 4), 3.0f);
    // A rounded corner of radius 2: the arc's centre is (8, 2), so from (13, 7) the distance is
    // hypot(5, 5) - 2.
    EXPECT_NEAR(sd_rect(13, 7, 0, 0, 10, 4, 2), std::hypot(5.0f, 5.0f) - 2, 1e-5);
    const std::vector<float> square = {0, 0, 10, 0, 10, 10, 0, 10};
    EXPECT_FLOAT_EQ(sd_polygon(5, 5, square), -5.0f);
    EXPECT_FLOAT_EQ(sd_polygon(15, 5, square), 5.0f);
    EXPECT_FLOAT_EQ(sd_segment(5, 3, 0, 0, 10, 0, 1), 2.0f);
    EXPECT_FLOAT_EQ(sd_polyline(12, 10, {0, 0, 10, 0, 10, 10}, 0.5f), 1.5f);
    // A piece with a knob on top reaches above its square; one with a socket does not.
    const int knob[4] = {1, 0, 0, 0}, socket[4] = {-1, 0, 0, 0};
    EXPECT_LT(sd_piece(0, -12, 0, 0, 20, knob), 0.0f);
    EXPECT_GT(sd_piece(0, -9, 0, 0, 20, socket), 0.0f);
    EXPECT_LT(sd_piece(9, -9, 0, 0, 20, socket), 0.0f);
}

TEST(SkinKit, outputs_keep_colour_premultiplied) {
    Canvas c(2, 1);
    c.set(0, 0, rgb(0x804020));
    c.set(1, 0, rgb(0xFFFFFF, 0.5f));
    std::vector<uint8_t> img = canvas_to_img(c, true);
    ASSERT_EQ(img.size(), (size_t)IMG_HEADER_SIZE + 2 * 4);
    const Image* im = (const Image*)img.data();
    EXPECT_EQ((std::vector<int>{(int)im->magic, im->kind, im->width, im->height, (int)im->colourOffset,
                                im->colourPitch, (int)im->alphaOffset, im->alphaPitch}),
              (std::vector<int>{(int)IMG_MAGIC, 0x13, 2, 1, IMG_HEADER_SIZE, 6, IMG_HEADER_SIZE + 6, 2}));
    const uint8_t* p = img.data() + IMG_HEADER_SIZE;
    EXPECT_EQ(std::vector<uint8_t>(p, p + 8),
              (std::vector<uint8_t>{0x20, 0x40, 0x80, 128, 128, 128, 255, 128}));
    std::vector<uint8_t> flat = canvas_to_img(c, false);
    const Image* opaque = (const Image*)flat.data();
    EXPECT_EQ((std::vector<int>{opaque->kind, opaque->alphaOffset, (int)flat.size()}),
              (std::vector<int>{IMG_24BIT, 0, IMG_HEADER_SIZE + 6}));

    Mask m;
    EXPECT_FALSE(text_mask("/nonexistent/face.ttf", 12, "x", 0, &m));
}
