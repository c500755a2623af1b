// tests/image/pic_test.cpp -- the working picture: import by the first bytes, photos turned upright,
// the fitted import, export, the pack's JPEG loader and the memory hooks.
#include "image/pic.h"

#include <gtest/gtest.h>
#include <jpeglib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "image/gformat_img.h"
#include "image/img.h"
#include "pic_samples.h"
#include "platform/io_mem.h"
#include "resources/dp.h"
#include "resources/packwriter.h"
#include "support/fatal_trap.h"
#include "support/pictures.h"

using namespace pic_samples;

namespace {

// A 4 x 2 24-bit BMP with a different colour in every pixel.
Bytes small_bmp() {
    BmpSpec s = {.width = 4, .height = 2};
    for (int i = 0; i < 24; i++)
        s.data.push_back((uint8_t)(i * 10));
    return s.build();
}

Bytes small_jpeg(int kind = IMG_24BIT) { return encode_jpg(sample_picture(24, 16, kind), 90); }

Bytes small_tif() {
    const std::string path = temp_path("rgba-source.tif");
    write_tif(path, {.width = 2,
                     .samples = 4,
                     .photometric = PHOTOMETRIC_RGB,
                     .rows = {{1, 2, 3, 77, 4, 5, 6, 200}},
                     .extra_alpha = true});
    return read_file(path);
}

int import_as(const std::string& name, const Bytes& bytes) {
    write_file(temp_path(name), bytes);
    return pic_import(temp_path(name).c_str());
}

// A progressive JPEG of the picture (several scans over the whole picture).
Bytes encode_progressive(const PictureBuffer* b) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = (JDIMENSION)b->width;
    c.image_height = (JDIMENSION)b->height;
    c.input_components = 3;
    c.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 85, TRUE);
    jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = b->pixels + (size_t)c.next_scanline * b->pitch;
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Bytes bytes(out, out + size);
    std::free(out);
    return bytes;
}

struct PicTest : ::testing::Test {
    void TearDown() override { pic_free(); }
};

TEST_F(PicTest, import_chooses_the_codec_by_the_first_bytes_and_converts_to_colour) {
    const Bytes bmp = small_bmp(), jpg = small_jpeg(), tif = small_tif(), grey = small_jpeg(IMG_8BIT);
    const Bytes words = BmpSpec{.width = 2, .bits = 16, .data = {0x1F, 0x7C, 0x21, 0x04}}.build();
    write_tif(temp_path("mm.tif"), {.width = 3, .rows = {{10, 20, 30}}, .big_endian = true});
    const Pic img(5, 1, IMG_8BIT);
    img.set({99, 99, 99, 99, 99});
    FILE* f = std::fopen(temp_path("grey.img").c_str(), "wb");
    ASSERT_EQ(img_write_image(f, img.im), 1);
    std::fclose(f);
    // The name plays no part: a BMP named .jpg is as good as any.
    const struct {
        const char* name;
        Bytes bytes;
        int width;
        uint32_t first;  // pixel (0, 0) after the conversion to colour; 1: grey, 0: any
    } accepted[] = {{"a.jpg", bmp, 4, 0x8C8278},
                    {"555.bmp", words, 2, 0xFF00FF},
                    {"b.bmp", jpg, 24, 0},
                    {"grey.jpg", grey, 24, 1},
                    {"c.png", tif, 2, 0x010203},  // its alpha plane dropped
                    {"d", read_file(temp_path("mm.tif")), 3, 0x0A0A0A},
                    {"e.tif", read_file(temp_path("grey.img")), 5, 0x636363}};
    for (const auto& c : accepted) {
        EXPECT_EQ(import_as(c.name, c.bytes), 1) << c.name;
        int w = 0, h = 0;
        EXPECT_EQ(pic_size(&w, &h), 1);
        EXPECT_EQ(w, c.width) << c.name;
        const PictureBuffer* p = pic_working();
        EXPECT_EQ(p->kind * 10 + (p->alpha != nullptr), IMG_24BIT * 10) << c.name;
        const uint32_t first = pixel_of(p, 0, 0);
        EXPECT_EQ(first, c.first > 1 ? c.first : c.first ? (first & 0xFF) * 0x010101u : first) << c.name;
    }

    // What no codec of the game reads fails before any codec sees it: a GIF named .jpg, a magic
    // one byte off, a file too short for any magic.
    gformat_error("untouched");
    Bytes near_bmp = bmp;
    near_bmp[1] = 'N';
    const std::pair<const char*, Bytes> unreadable[] = {
        {"f.jpg", text_bytes("GIF89a")}, {"g.bmp", near_bmp}, {"h.jpg", {0xFF}}};
    for (const auto& [name, bytes] : unreadable) {
        EXPECT_EQ(import_as(name, bytes), 0) << name;
        EXPECT_EQ(pic_working(), nullptr);
    }
    EXPECT_STREQ(gformat_last_error(), "untouched");

    EXPECT_EQ(pic_import(temp_path("missing.jpg").c_str()), 0);
    // A pipe named like a picture is never opened: refused at once, never waited on.
    ASSERT_EQ(mkfifo(temp_path("pipe.jpg").c_str(), 0600), 0);
    EXPECT_EQ(pic_import(temp_path("pipe.jpg").c_str()), 0);
    std::remove(temp_path("pipe.jpg").c_str());
    int w = 1, h = 1;
    EXPECT_EQ(pic_size(&w, &h), 0);
    EXPECT_EQ(w + h, 0);
}

// An APP1 EXIF block with one directory entry: orientation, in either byte order.
Bytes exif_block(int orientation, bool big) {
    const uint8_t o = (uint8_t)orientation;
    return big ? Bytes{'E', 'x',  'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1,
                       1,   0x12, 0,   3,   0, 0, 0,   1,   0, o,  0, 0, 0, 0, 0, 0}
               : Bytes{'E',  'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0,
                       0x12, 1,   3,   0,   1, 0, 0,   0,   o,  0, 0, 0, 0, 0, 0, 0};
}

// A w x h JPEG in four quarters, red and green over blue and white, with an APP1 block.
Bytes quarters(const Bytes& app1, int w = 40, int h = 24) {
    PicPtr pic(pic_create(w, h, IMG_24BIT));
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const uint32_t c = y < h / 2 ? (x < w / 2 ? 0xFF0000 : 0xFF00) : (x < w / 2 ? 0xFF : 0xFFFFFF);
            uint8_t* p = pic->pixels + y * pic->pitch + 3 * x;
            p[0] = (uint8_t)c, p[1] = (uint8_t)(c >> 8), p[2] = (uint8_t)(c >> 16);
        }
    Bytes jpg = encode_jpg(pic, 95);
    const Bytes marker = {0xFF, 0xE1, (uint8_t)((app1.size() + 2) >> 8), (uint8_t)(app1.size() + 2)};
    jpg.insert(jpg.begin() + 2, app1.begin(), app1.end());
    jpg.insert(jpg.begin() + 2, marker.begin(), marker.end());
    return jpg;
}

// The colours of the corners, top left, top right, bottom left, bottom right: R, G, B, W or ?.
std::string corners(const PictureBuffer* p) {
    std::string seen;
    for (int i = 0; i < 4; i++) {
        const uint32_t c = pixel_of(p, i % 2 * (p->width - 1), i / 2 * (p->height - 1));
        seen += "?BG?R??W"[((c >> 16 & 255) > 128) * 4 + ((c >> 8 & 255) > 128) * 2 + ((c & 255) > 128)];
    }
    return seen;
}

TEST_F(PicTest, jpeg_photos_are_turned_upright_by_their_exif_orientation) {
    const char* const upright[] = {"", "RGBW", "GRWB", "WBGR", "BWRG", "RBGW", "BRWG", "WGBR", "GWRB"};
    for (int o = 1; o <= 8; o++) {
        const Bytes jpg = quarters(exif_block(o, o & 1));
        write_fuzz_seed("fuzz_jpeg", ("exif-" + std::to_string(o)).c_str(), jpg.data(), jpg.size());
        ASSERT_EQ(import_as("turned.jpg", jpg), 1) << o;
        EXPECT_EQ(pic_working()->width * 100 + pic_working()->height, o < 5 ? 4024 : 2440) << o;
        EXPECT_EQ(corners(pic_working()), upright[o]) << o;
    }
    // Broken or lying blocks count as no orientation and are never read beyond their end.
    auto with = [](Bytes b, size_t at, uint8_t v) { return b[at] = v, b; };
    const Bytes good = exif_block(6, false);                    // read as 6 above
    const Bytes lies[] = {Bytes(good.begin(), good.end() - 6),  // the entry cut short
                          with(good, 14, 2),                    // two entries in a block that holds one
                          with(good, 10, 0xF0),                 // a directory beyond the block
                          with(good, 18, 4),                    // a LONG, not a SHORT
                          with(good, 24, 9),                    // no such orientation
                          with(good, 4, 'X'),                   // not "Exif", two zero bytes
                          with(good, 7, 'M')};                  // mixed byte order
    for (const Bytes& lie : lies)
        EXPECT_EQ(gformat_exif_orientation(lie.data(), lie.size()), 1) << &lie - lies;
    ASSERT_EQ(import_as("lie.jpg", quarters(lies[1])), 1);
    EXPECT_EQ(corners(pic_working()), "RGBW");
}

TEST_F(PicTest, import_fit_decodes_large_jpegs_reduced_but_never_below_the_fitted_size) {
    write_file(temp_path("big.jpg"), quarters(exif_block(6, true), 400, 300));  // 300 x 400 upright
    static std::vector<std::pair<int, int>> steps;
    pic_set_progress([](int done, int total) { steps.push_back({done, total}); });
    // The box to fit in, and the size decoded.
    const int cases[][4] = {{100, 100, 75, 100},    // fitted 75 x 100: a quarter is just enough
                            {149, 1000, 150, 200},  // fitted 149 x 199 (rounded up): a half
                            {200, 201, 300, 400},   // fitted 151 x 201: a half is one short
                            {1000, 1000, 300, 400}};
    for (const auto& [fit_w, fit_h, w, h] : cases) {
        steps.clear();
        int fw = 0, fh = 0;
        ASSERT_EQ(pic_import_fit(temp_path("big.jpg").c_str(), fit_w, fit_h, &fw, &fh), 1);
        EXPECT_EQ(fw * 1000 + fh, 300400);
        EXPECT_EQ(pic_working()->width * 1000 + pic_working()->height, w * 1000 + h) << fit_w;
        EXPECT_EQ(corners(pic_working()), "BRWG");
        // Decoded rows, then turned rows, rising to one total.
        ASSERT_FALSE(steps.empty());
        EXPECT_EQ(steps.back(), std::make_pair(w + h, w + h));
        EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end()));
    }
    pic_set_progress(nullptr);
    int fw = 1, fh = 1;
    EXPECT_EQ(pic_import_fit(temp_path("missing.jpg").c_str(), 10, 10, &fw, &fh), 0);
    EXPECT_EQ(fw + fh, 0);
}

TEST_F(PicTest, thumbnails_fit_a_square_from_a_reduced_decode_within_their_budgets) {
    write_file(temp_path("photo.jpg"), quarters(exif_block(6, true), 400, 300));  // 300 x 400 upright
    write_file(temp_path("small.bmp"), small_bmp());
    write_file(temp_path("broken.jpg"), text_bytes("not a picture"));
    ASSERT_EQ(import_as("kept.bmp", small_bmp()), 1);  // the working picture of an import
    static int steps;
    pic_set_progress([](int, int) { steps++; });
    steps = 0;

    int jpeg = 0;
    EXPECT_EQ(pic_thumbnail_pixels(temp_path("photo.jpg").c_str(), &jpeg), 400 * 300);
    EXPECT_EQ(jpeg, 1);
    Image* t = pic_thumbnail(temp_path("photo.jpg").c_str(), 100, 1000000, 0);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ((std::vector<int>{t->width, t->height}), (std::vector<int>{75, 100})) << "upright, fitted";
    io_mem_free(t);
    t = pic_thumbnail(temp_path("small.bmp").c_str(), 100, 0, 8);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ((std::vector<int>{t->width, t->height}), (std::vector<int>{4, 2})) << "never enlarged";
    io_mem_free(t);
    // Over the budget of its kind, unreadable or missing: no thumbnail.
    EXPECT_EQ(pic_thumbnail(temp_path("photo.jpg").c_str(), 100, 119999, 1000000), nullptr);
    EXPECT_EQ(pic_thumbnail(temp_path("small.bmp").c_str(), 100, 1000000, 7), nullptr);
    EXPECT_EQ(pic_thumbnail(temp_path("broken.jpg").c_str(), 100, 1000000, 1000000), nullptr);
    EXPECT_EQ(pic_thumbnail(temp_path("missing.jpg").c_str(), 100, 1000000, 1000000), nullptr);
    EXPECT_EQ(pic_thumbnail_pixels(temp_path("broken.jpg").c_str(), &jpeg), -1);

    EXPECT_EQ((std::vector<int>{pic_working()->width, pic_working()->height, steps}),
              (std::vector<int>{4, 2, 0}))
        << "the import's picture and progress are left alone";
    pic_set_progress(nullptr);
}

TEST_F(PicTest, jpegs_decoded_slice_by_slice_equal_the_whole_decode_and_fail_alike) {
    const PicPtr picture = sample_picture(640, 480);
    write_file(temp_path("baseline.jpg"), encode_jpg(picture, 85));
    write_file(temp_path("progressive.jpg"), encode_progressive(picture.get()));
    for (const char* name : {"baseline.jpg", "progressive.jpg"}) {
        // Whole: 640 x 480 covering 100 x 100 decodes at a quarter (160 x 120).
        FILE* f = std::fopen(temp_path(name).c_str(), "rb");
        PictureBuffer* whole = pic_create(160, 120, IMG_24BIT);
        ASSERT_EQ(gformat_jpg_read_scaled(whole, f, 4), 1) << name;
        std::fclose(f);
        // In slices of 512 bytes: many steps, the same pixels.
        GformatJpgSlices* slices = gformat_jpg_slices_begin(temp_path(name).c_str(), 100, 100);
        ASSERT_NE(slices, nullptr);
        int steps = 0, state;
        while ((state = gformat_jpg_slices_step(slices, 512)) == 0)
            steps++;
        EXPECT_EQ(state, 1) << name;
        EXPECT_GT(steps, (int)read_file(temp_path(name)).size() / 512 - 2) << name;
        int orientation = 0;
        PictureBuffer* sliced = gformat_jpg_slices_take(slices, &orientation);
        ASSERT_NE(sliced, nullptr) << name;
        EXPECT_EQ((std::vector<int>{sliced->width, sliced->height, orientation}),
                  (std::vector<int>{160, 120, 1}));
        for (int y = 0; y < 120; y++)
            ASSERT_EQ(
                std::memcmp(sliced->pixels + y * sliced->pitch, whole->pixels + y * whole->pitch, 160 * 3), 0)
                << name << " row " << y;
        gformat_jpg_slices_end(slices);
        pic_release(sliced);
        pic_release(whole);
    }
    // Cut short, or not a JPEG: a failure, however small the steps.
    const Bytes full = read_file(temp_path("progressive.jpg"));
    write_file(temp_path("short.jpg"), Bytes(full.begin(), full.begin() + (long)full.size() / 2));
    write_file(temp_path("text.jpg"), text_bytes("no picture here"));
    for (const char* name : {"short.jpg", "text.jpg"}) {
        GformatJpgSlices* slices = gformat_jpg_slices_begin(temp_path(name).c_str(), 100, 100);
        ASSERT_NE(slices, nullptr);
        int state;
        while ((state = gformat_jpg_slices_step(slices, 700)) == 0) {
        }
        EXPECT_EQ(state, -1) << name;
        int orientation;
        EXPECT_EQ(gformat_jpg_slices_take(slices, &orientation), nullptr);
        gformat_jpg_slices_end(slices);
    }
    EXPECT_EQ(gformat_jpg_slices_begin(temp_path("missing.jpg").c_str(), 100, 100), nullptr);
}

TEST_F(PicTest, buffers_hold_their_planes_in_one_block) {
    for (auto [w, kind] : {std::pair{4, 0}, {4, IMG_ALPHA}, {0, 3}, {16385, 1}})
        EXPECT_EQ(PicPtr(pic_create(w, 4, kind)), nullptr) << w << " " << kind;
    PicPtr b(pic_create(5, 3, IMG_24BIT | IMG_ALPHA));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ((std::vector<long>{b->pitch, b->alphaPitch, b->alpha - b->pixels}),
              (std::vector<long>{15, 5, 45}));
    EXPECT_GE(io_mem_size(b.get()), (size_t)(b->alpha - (uint8_t*)b.get()) + 15);
    EXPECT_EQ(PicPtr(pic_create(3, 2, IMG_8BIT))->alpha, nullptr);
}

TEST_F(PicTest, saves_bmp_and_jpeg_files) {
    ASSERT_EQ(import_as("src.bmp", small_bmp()), 1);
    ASSERT_EQ(pic_resample(5, 2, 0), 1);
    const std::string bmp_path = temp_path("saved.bmp"), jpg_path = temp_path("saved.jpg");
    ASSERT_EQ(pic_save_bmp(bmp_path.c_str()), 1);
    EXPECT_EQ(read_file(bmp_path).size(), 54u + 16 * 2);
    const Bytes five(pic_working()->pixels, pic_working()->pixels + 30);
    Image* copy = pic_to_image();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(Bytes((uint8_t*)copy + copy->colourOffset, (uint8_t*)copy + copy->colourOffset + 30), five);
    io_mem_free(copy);
    ASSERT_EQ(pic_save_jpeg(jpg_path.c_str(), 80), 1);
    ASSERT_EQ(pic_import(bmp_path.c_str()), 1);
    EXPECT_EQ(std::memcmp(pic_working()->pixels, five.data(), 30), 0);

    Image* image = pic_load_jpeg_image(jpg_path.c_str());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width * 10 + image->height, 52);
    EXPECT_NE(pic_working(), nullptr);  // loading an image leaves the working picture alone
    io_mem_free(image);

    ASSERT_EQ(import_as("g.jpg", small_jpeg(IMG_8BIT)), 1);
    ASSERT_EQ(pic_save_jpeg(jpg_path.c_str(), 80), 1);
    ASSERT_EQ(pic_load_jpeg(jpg_path.c_str()), 1);
    EXPECT_EQ(pic_working()->kind, IMG_24BIT);  // imported as colour, saved as colour
    EXPECT_EQ(pic_load_jpeg(bmp_path.c_str()), 0);
    EXPECT_EQ(pic_working(), nullptr);
    EXPECT_EQ(pic_load_jpeg_image(bmp_path.c_str()), nullptr);

    EXPECT_EQ(pic_save_bmp(bmp_path.c_str()), 0);  // nothing to save, resample or copy
    EXPECT_EQ(pic_save_jpeg(jpg_path.c_str(), 80), 0);
    EXPECT_EQ(pic_resample(3, 3, 0), 0);
    EXPECT_EQ(pic_to_image(), nullptr);
    ASSERT_EQ(import_as("again.bmp", small_bmp()), 1);
    EXPECT_EQ(pic_save_bmp(temp_path("no-such-folder/x.bmp").c_str()), 0);
}

TEST_F(PicTest, the_cache_loader_decodes_pack_resources_and_stays_inside_them) {
    // In a pack the next resource follows: a cut JPEG must not borrow its bytes.
    const Bytes jpg = small_jpeg();
    const size_t half = jpg.size() * 2 / 3;
    const PackItem items[] = {{"img/whole.jpg", jpg.data(), (uint32_t)jpg.size(), nullptr},
                              {"img/cut.jpg", jpg.data(), (uint32_t)half, nullptr},
                              {"img/rest.bin", jpg.data() + half, (uint32_t)(jpg.size() - half), nullptr}};
    ASSERT_EQ(packwriter_write(temp_path("pictures.pck").c_str(), items, 3), 1);
    write_file(temp_path("whole.jpg"), jpg);
    ASSERT_EQ(import_as("held.bmp", small_bmp()), 1);
    const PictureBuffer* held = pic_working();
    dp_open(temp_path("pictures.pck"));
    const int cut = dp_get_index("img/cut.jpg", 1);
    EXPECT_EQ(fatal_message_of([&] { (void)jpg_loader(cut); }), "jpg_loader: gformat_jpg_read img/cut.jpg");
    // The current file was ended before the fatal path: the pack can be read again.
    const Pic image((Image*)jpg_loader(dp_get_index("img/whole.jpg", 1)));
    const Pic direct(pic_load_jpeg_image(temp_path("whole.jpg").c_str()));
    ASSERT_NE(image.im, nullptr);
    EXPECT_EQ(image.im->width * 100 + image.im->height * 10 + image.im->kind, 2563);
    EXPECT_EQ(image.plane(), direct.plane());
    EXPECT_EQ(pic_working(), held);  // a cache load does not touch the working picture
    dp_done();
}

TEST_F(PicTest, memory_hooks_carry_every_buffer) {
    static int taken, given_back;
    taken = given_back = 0;
    pic_install_memory_hooks([](size_t size) { return taken++, io_mem_alloc(size); },
                             [](void* block) { given_back++, io_mem_free(block); });
    ASSERT_EQ(import_as("hooked.bmp", small_bmp()), 1);
    ASSERT_EQ(import_as("hooked.tif", small_tif()), 1);
    ASSERT_EQ(import_as("hooked.jpg", small_jpeg(IMG_8BIT)), 1);
    EXPECT_GE(taken, 6);
    EXPECT_EQ(taken - given_back, 1);  // only the working picture is left
    pic_free();
    EXPECT_EQ(taken, given_back);
    pic_install_memory_hooks(io_mem_alloc, io_mem_free);
    const std::string refused = fatal_message_of([] { pic_install_memory_hooks(nullptr, io_mem_free); });
    EXPECT_EQ(refused.rfind("pic_install_memory_hooks: assertion failed", 0), 0u);
}

}  // namespace
