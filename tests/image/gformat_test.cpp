// tests/image/gformat_test.cpp -- the picture codecs against files laid out by hand (BMP, TIFF
// headers), written by libtiff (each accepted and refused TIFF layout) and by our JPEG encoder:
// pixels worked out by hand, round trips, and one lie per guard. The inputs double as the seeds
// of the fuzz targets.
// Not yet written: a TIFF whose library messages exceed a log line.
#include "image/gformat.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

// clang-format off
#include <jpeglib.h>
// clang-format on

#include "image/pic.h"
#include "pic_samples.h"
#include "support/fatal_trap.h"

using namespace pic_samples;

namespace {

const char BMP_LOAD[] = "BMP loader: unknown error";

// Decodes, expects success, and keeps the file as a seed of the BMP fuzz target.
PictureBuffer* bmp_ok(const char* seed, const Bytes& bytes) {
    write_fuzz_seed("fuzz_bmp", seed, bytes.data(), bytes.size());
    PictureBuffer* b = decode_bmp(bytes);
    EXPECT_NE(b, nullptr) << seed << ": " << gformat_last_error();
    return b;
}

BmpSpec bmp_8bit_3x2() {
    BmpSpec s;
    s.width = 3;
    s.height = 2;
    s.bits = 8;
    s.colours_used = 3;
    s.palette = palette4({0x102030, 0x405060, 0x708090});
    s.data = {0, 1, 2, 0, /* top row */ 2, 5, 0, 0};  // index 5 is beyond the palette
    return s;
}

// RLE8 over a 6 x 4 picture; rows in file order (bottom first unless top-down):
// row 0: run 3 x red, literal green blue white (+ pad), end of line
// row 1: literal red green blue white, run 4 x red (2 fall off), literal past the edge, end of line
// row 2: delta (2, 1): nothing on row 2, continue on row 3 at column 2
// row 3: run 2 x white, delta (10, 0) past the edge, run dropped, end of line -> past the picture
Bytes rle_stream() {
    return {3, 1, 0, 3, 2, 3, 4, 0, 0, 0, 0, 4, 1,  2, 3, 4, 4, 1, 0, 3, 2, 2,
            2, 0, 0, 0, 0, 2, 2, 1, 2, 4, 0, 2, 10, 0, 1, 1, 0, 0, 5, 3, 0, 1};
}

BmpSpec bmp_rle(int32_t height) {
    BmpSpec s;
    s.width = 6;
    s.height = height;
    s.bits = 8;
    s.compression = 1;
    s.colours_used = 5;
    s.palette = palette4({0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF});
    s.data = rle_stream();
    return s;
}

constexpr uint32_t K = 0x000000, R = 0xFF0000, G = 0x00FF00, B = 0x0000FF, W = 0xFFFFFF;
// The RLE picture in file row order.
const uint32_t RLE_ROWS[4][6] = {
    {R, R, R, G, B, W}, {R, G, B, W, R, R}, {K, K, K, K, K, K}, {K, K, W, W, K, K}};

uint16_t word_of(const PictureBuffer* b, int x, int y) {
    const uint8_t* p = b->pixels + y * b->pitch + 2 * x;
    return (uint16_t)(p[0] | (p[1] << 8));
}

TEST(GformatBmp, write_lays_out_the_file_and_reads_back) {
    PictureBuffer* pic = sample_picture(5, 3);
    FILE* f = std::tmpfile();
    ASSERT_EQ(gformat_bmp_write(f, pic), 1);
    std::fseek(f, 0, SEEK_END);
    ASSERT_EQ(std::ftell(f), 54 + 16 * 3);  // rows of 15 bytes padded to 16
    Bytes bytes(54 + 16 * 3);
    std::rewind(f);
    ASSERT_EQ(std::fread(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
    const uint8_t head[54] = {'B', 'M', 102, 0, 0, 0, 0,    0,    0, 0, 54,   0,    0,  0, 40, 0,
                              0,   0,   5,   0, 0, 0, 3,    0,    0, 0, 1,    0,    24, 0, 0,  0,
                              0,   0,   0,   0, 0, 0, 0x13, 0x0B, 0, 0, 0x13, 0x0B, 0,  0};
    EXPECT_EQ(std::memcmp(bytes.data(), head, 54), 0);
    // The first stored row is the bottom row, followed by one zero byte.
    EXPECT_EQ(std::memcmp(bytes.data() + 54, pic->pixels + 2 * pic->pitch, 15), 0);
    EXPECT_EQ(bytes[54 + 15], 0);
    write_fuzz_seed("fuzz_bmp", "written-24bit", bytes.data(), bytes.size());

    PictureBuffer* back = decode_bmp(bytes);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->kind, IMG_24BIT);
    EXPECT_EQ(std::memcmp(back->pixels, pic->pixels, 45), 0);
    pic_release(back);
    pic_release(pic);

    PictureBuffer* grey = pic_create(2, 2, IMG_8BIT);
    f = std::tmpfile();
    EXPECT_EQ(gformat_bmp_write(f, grey), 0);
    EXPECT_STREQ(gformat_last_error(), "BMP saver: unknown error");
    std::fclose(f);
    pic_release(grey);
}

TEST(GformatBmp, palette_pictures_are_flipped_and_padded) {
    PictureBuffer* b = bmp_ok("8bit", bmp_8bit_3x2().build());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->kind, IMG_24BIT);
    EXPECT_EQ(pixel_of(b, 0, 0), 0x708090u);
    EXPECT_EQ(pixel_of(b, 1, 0), 0x000000u);  // beyond the three colours used
    EXPECT_EQ(pixel_of(b, 2, 0), 0x102030u);
    EXPECT_EQ(pixel_of(b, 0, 1), 0x102030u);
    EXPECT_EQ(pixel_of(b, 1, 1), 0x405060u);
    EXPECT_EQ(pixel_of(b, 2, 1), 0x708090u);
    pic_release(b);

    // Colours used 0 means a palette of 256 entries.
    BmpSpec s;
    s.bits = 8;
    for (int i = 0; i < 256; i++) {
        const uint32_t c = (uint32_t)(i << 16 | (255 - i) << 8 | i / 2);
        const Bytes e = palette4({c});
        s.palette.insert(s.palette.end(), e.begin(), e.end());
    }
    s.data = {200, 0, 0, 0};
    b = bmp_ok("8bit-256", s.build());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(pixel_of(b, 0, 0), (200u << 16) | (55u << 8) | 100u);
    pic_release(b);

    // The core header: 16-bit sizes, palette entries of three bytes.
    BmpSpec core;
    core.header_size = 12;
    core.width = 2;
    core.bits = 8;
    for (int i = 0; i < 256; i++)
        core.palette.insert(core.palette.end(), {(uint8_t)i, 7, 9});
    core.data = {3, 250, 0, 0};
    b = bmp_ok("core-8bit", core.build());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(pixel_of(b, 0, 0), 0x090703u);
    EXPECT_EQ(pixel_of(b, 1, 0), 0x0907FAu);
    pic_release(b);

    core.bits = 24;
    core.palette.clear();
    core.data = {1, 2, 3, 4, 5, 6, 0, 0};
    b = bmp_ok("core-24bit", core.build());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(pixel_of(b, 1, 0), 0x060504u);
    pic_release(b);
}

TEST(GformatBmp, top_down_rows_are_not_flipped) {
    BmpSpec s;
    s.width = 2;
    s.height = -2;
    s.data = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
    PictureBuffer* b = bmp_ok("24bit-top-down", s.build());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->height, 2);
    EXPECT_EQ(pixel_of(b, 0, 0), 0x030201u);
    EXPECT_EQ(pixel_of(b, 1, 1), 0x0C0B0Au);
    pic_release(b);

    s.height = 2;
    b = bmp_ok("24bit", s.build());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(pixel_of(b, 0, 1), 0x030201u);
    EXPECT_EQ(pixel_of(b, 1, 0), 0x0C0B0Au);
    pic_release(b);
}

TEST(GformatBmp, rle8_runs_literals_deltas_and_edges) {
    for (int32_t height : {4, -4}) {
        PictureBuffer* b = bmp_ok(height > 0 ? "rle8" : "rle8-top-down", bmp_rle(height).build());
        ASSERT_NE(b, nullptr);
        for (int fy = 0; fy < 4; fy++)
            for (int x = 0; x < 6; x++)
                EXPECT_EQ(pixel_of(b, x, height > 0 ? 3 - fy : fy), RLE_ROWS[fy][x]) << fy << "," << x;
        pic_release(b);
    }
    // Data that ends early: what was decoded stays, the rest is black.
    BmpSpec cut = bmp_rle(4);
    cut.data.resize(10);
    PictureBuffer* b = bmp_ok("rle8-cut", cut.build());
    ASSERT_NE(b, nullptr);
    for (int x = 0; x < 6; x++) {
        EXPECT_EQ(pixel_of(b, x, 3), RLE_ROWS[0][x]);
        EXPECT_EQ(pixel_of(b, x, 0), K);
    }
    pic_release(b);
    // A delta far below the picture ends it.
    cut.data = {2, 1, 0, 2, 255, 255, 2, 1};
    b = bmp_ok("rle8-far-delta", cut.build());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(pixel_of(b, 1, 3), R);
    EXPECT_EQ(pixel_of(b, 2, 3), K);
    pic_release(b);
}

TEST(GformatBmp, sixteen_bits_scale_every_field_to_five) {
    BmpSpec s;
    s.width = 3;
    s.bits = 16;
    s.data = {0x1F, 0x7C, 0xE0, 0x03, 0x01, 0x80, 0, 0};
    PictureBuffer* b = bmp_ok("16bit", s.build());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->kind, IMG_16BIT);
    EXPECT_EQ(word_of(b, 0, 0), 0x7C1F);
    EXPECT_EQ(word_of(b, 1, 0), 0x03E0);
    EXPECT_EQ(word_of(b, 2, 0), 0x0001);  // the unused top bit is dropped
    pic_release(b);

    // 5-6-5: green 63 -> 31, 32 -> 16, 1 -> 0, 2 -> 1 (rounded); red 1 stays 1.
    s.width = 4;
    s.compression = 3;
    s.masks = {0xF800, 0x07E0, 0x001F};
    s.data = {0xFF, 0xFF, 0x00, 0x04, 0x20, 0x00, 0x40, 0x08};
    b = bmp_ok("16bit-565", s.build());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(word_of(b, 0, 0), 0x7FFF);
    EXPECT_EQ(word_of(b, 1, 0), 16 << 5);
    EXPECT_EQ(word_of(b, 2, 0), 0);
    EXPECT_EQ(word_of(b, 3, 0), (1 << 10) | (1 << 5));
    pic_release(b);

    // A zero mask gives a zero channel rather than a division by zero.
    s.masks = {0xF800, 0x07E0, 0};
    b = bmp_ok("16bit-zero-mask", s.build());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(word_of(b, 0, 0), 0x7FE0);
    pic_release(b);
}

TEST(GformatBmp, thirty_two_bits_plain_and_bit_fields) {
    BmpSpec s;
    s.width = 2;
    s.bits = 32;
    s.data = {0x44, 0x33, 0x22, 0x11, 1, 2, 3, 4};
    PictureBuffer* b = bmp_ok("32bit", s.build());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(pixel_of(b, 0, 0), 0x223344u);
    EXPECT_EQ(pixel_of(b, 1, 0), 0x030201u);
    pic_release(b);

    s.compression = 3;
    s.masks = {0xFF000000, 0x00FF0000, 0x0000FF00};
    b = bmp_ok("32bit-fields", s.build());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(pixel_of(b, 0, 0), 0x112233u);
    EXPECT_EQ(pixel_of(b, 1, 0), 0x040302u);
    pic_release(b);
}

TEST(GformatBmp, info_leaves_the_file_where_it_was) {
    Bytes bytes(7, 0xAA);
    const Bytes bmp = bmp_8bit_3x2().build();
    bytes.insert(bytes.end(), bmp.begin(), bmp.end());
    FILE* f = file_of(bytes, 7);
    int w, h, kind;
    ASSERT_EQ(gformat_bmp_info(f, &w, &h, &kind), 1);
    EXPECT_EQ(std::ftell(f), 7);
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 2);
    EXPECT_EQ(kind, IMG_24BIT);
    PictureBuffer* b = pic_create(w, h, kind);
    EXPECT_EQ(gformat_bmp_read(b, f), 1);  // the data offset counts from the header
    EXPECT_EQ(pixel_of(b, 1, 1), 0x405060u);
    pic_release(b);
    // A buffer of another size is refused.
    b = pic_create(3, 3, kind);
    std::fseek(f, 7, SEEK_SET);
    EXPECT_EQ(gformat_bmp_read(b, f), 0);
    pic_release(b);

    std::fseek(f, 8, SEEK_SET);  // not at a header: fails and stays
    EXPECT_EQ(gformat_bmp_info(f, &w, &h, &kind), 0);
    EXPECT_EQ(std::ftell(f), 8);
    std::fclose(f);
}

TEST(GformatBmp, every_guard_refuses_its_lie) {
    BmpSpec base;
    base.width = 2;
    base.height = 2;
    base.data = Bytes(16, 9);
    struct Case {
        const char* name;
        Bytes bytes;
    };
    std::vector<Case> cases;
    auto with = [&](const char* name, auto change) {
        BmpSpec s = base;
        change(s);
        cases.push_back({name, s.build()});
    };
    auto patched = [&](const char* name, size_t at, uint32_t value) {
        Bytes b = base.build();
        set32(&b, at, value);
        cases.push_back({name, b});
    };
    Bytes magic = base.build();
    magic[1] = 'N';
    cases.push_back({"magic", magic});
    patched("header-size-11", 14, 11);
    patched("header-size-13", 14, 13);
    patched("header-size-41", 14, 41);
    patched("header-size-108", 14, 108);
    with("planes", [](BmpSpec& s) { s.planes = 2; });
    with("bits-4", [](BmpSpec& s) { s.bits = 4; });
    with("bits-1", [](BmpSpec& s) { s.bits = 1; });
    with("bits-15", [](BmpSpec& s) { s.bits = 15; });
    with("rle4", [](BmpSpec& s) { s.compression = 2; });
    with("compression-4", [](BmpSpec& s) { s.compression = 4; });
    with("rle8-24bit", [](BmpSpec& s) { s.compression = 1; });
    with("colours-257", [](BmpSpec& s) {
        s.bits = 8;
        s.colours_used = 257;
        s.palette = Bytes(257 * 4, 1);
    });
    with("width-0", [](BmpSpec& s) { s.width = 0; });
    with("height-0", [](BmpSpec& s) { s.height = 0; });
    with("width-negative", [](BmpSpec& s) { s.width = -2; });
    with("width-16385", [](BmpSpec& s) { s.width = 16385; });
    with("height-min", [](BmpSpec& s) { s.height = INT_MIN; });
    with("100-megapixels", [](BmpSpec& s) {
        s.width = 16384;
        s.height = 6104;
    });
    with("overflow", [](BmpSpec& s) {
        s.width = 0x7FFFFFFF;
        s.height = 0x7FFFFFFF;
    });
    with("truncated-rows", [](BmpSpec& s) { s.data.pop_back(); });
    with("lying-height", [](BmpSpec& s) {
        s.width = 1;
        s.height = 16384;
        s.data = Bytes(4, 0);
    });
    with("lying-top-down", [](BmpSpec& s) { s.height = -16000; });
    with("palette-cut", [](BmpSpec& s) {
        s.bits = 8;
        s.palette = Bytes(40, 1);
        s.data.clear();
    });
    with("masks-cut", [](BmpSpec& s) {
        s.bits = 32;
        s.compression = 3;
        s.data.clear();
    });
    Bytes head_cut = base.build();
    head_cut.resize(30);
    cases.push_back({"header-cut", head_cut});
    cases.push_back({"empty", {}});

    for (const Case& c : cases) {
        if (!c.bytes.empty())
            write_fuzz_seed("fuzz_bmp", (std::string("bad-") + c.name).c_str(), c.bytes.data(),
                            c.bytes.size());
        gformat_error("");
        EXPECT_EQ(decode_bmp(c.bytes), nullptr) << c.name;
        EXPECT_STREQ(gformat_last_error(), BMP_LOAD) << c.name;
    }
}

// --- JPEG ---

// Mean absolute difference per channel byte, in hundredths.
int mean_difference(const PictureBuffer* a, const PictureBuffer* b) {
    long sum = 0, count = 0;
    for (int y = 0; y < a->height; y++)
        for (int i = 0; i < a->width * (a->kind & 15); i++, count++)
            sum += std::abs(a->pixels[y * a->pitch + i] - b->pixels[y * b->pitch + i]);
    return (int)(sum * 100 / count);
}

TEST(GformatJpg, colour_and_grey_round_trips) {
    PictureBuffer* pic = sample_picture(64, 48);
    // Left half strongly red, so a swapped channel order cannot pass.
    for (int y = 0; y < 48; y++)
        for (int x = 0; x < 32; x++) {
            uint8_t* p = pic->pixels + y * pic->pitch + 3 * x;
            p[0] = 10, p[1] = 20, p[2] = 240;
        }
    const Bytes jpg = encode_jpg(pic, 95);
    ASSERT_FALSE(jpg.empty());
    write_fuzz_seed("fuzz_jpeg", "colour", jpg.data(), jpg.size());
    PictureBuffer* back = decode_jpg(jpg);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->kind, IMG_24BIT);
    EXPECT_LE(mean_difference(pic, back), 300);
    EXPECT_GT(back->pixels[10 * back->pitch + 3 * 5 + 2], 220);  // red at byte 2
    EXPECT_LT(back->pixels[10 * back->pitch + 3 * 5 + 0], 40);
    pic_release(back);

    // An alpha plane is ignored.
    PictureBuffer* with_alpha = sample_picture(64, 48, IMG_24BIT | IMG_ALPHA);
    const Bytes jpg_alpha = encode_jpg(with_alpha, 90);
    back = decode_jpg(jpg_alpha);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->kind, IMG_24BIT);
    EXPECT_LE(mean_difference(with_alpha, back), 300);
    pic_release(back);
    pic_release(with_alpha);
    pic_release(pic);

    PictureBuffer* grey = sample_picture(33, 17, IMG_8BIT);
    const Bytes jpg_grey = encode_jpg(grey, 90);
    write_fuzz_seed("fuzz_jpeg", "grey", jpg_grey.data(), jpg_grey.size());
    back = decode_jpg(jpg_grey);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->kind, IMG_8BIT);
    EXPECT_LE(mean_difference(grey, back), 200);
    pic_release(back);
    pic_release(grey);

    PictureBuffer* five = pic_create(4, 4, IMG_16BIT);
    FILE* f = std::tmpfile();
    EXPECT_EQ(gformat_jpg_write(f, five, 80), 0);
    EXPECT_STREQ(gformat_last_error(), "JPG: ");
    std::fclose(f);
    pic_release(five);
}

// Finds the first marker 0xFF code of a JPEG; the offset of its first byte or 0.
size_t marker_at(const Bytes& jpg, uint8_t code) {
    for (size_t i = 2; i + 1 < jpg.size(); i++)
        if (jpg[i] == 0xFF && jpg[i + 1] == code) return i;
    return 0;
}

TEST(GformatJpg, written_files_are_baseline_with_eight_bit_tables) {
    PictureBuffer* pic = sample_picture(40, 40);
    for (int quality : {1, 80}) {
        const Bytes jpg = encode_jpg(pic, quality);
        ASSERT_FALSE(jpg.empty());
        EXPECT_NE(marker_at(jpg, 0xC0), 0u) << quality;  // baseline frame
        EXPECT_EQ(marker_at(jpg, 0xC2), 0u) << quality;
        const size_t dqt = marker_at(jpg, 0xDB);
        ASSERT_NE(dqt, 0u);
        const size_t length = (jpg[dqt + 2] << 8) | jpg[dqt + 3];
        for (size_t at = dqt + 4; at < dqt + 2 + length; at += 65)
            EXPECT_EQ(jpg[at] >> 4, 0) << "8-bit table precision at quality " << quality;
    }
    pic_release(pic);
}

TEST(GformatJpg, info_leaves_the_file_where_it_was) {
    PictureBuffer* pic = sample_picture(20, 10);
    Bytes bytes(100, 0x55);
    const Bytes jpg = encode_jpg(pic, 80);
    bytes.insert(bytes.end(), jpg.begin(), jpg.end());
    FILE* f = file_of(bytes, 100);
    int w, h, kind;
    ASSERT_EQ(gformat_jpg_info(f, &w, &h, &kind), 1);
    EXPECT_EQ(std::ftell(f), 100);
    EXPECT_EQ(w, 20);
    EXPECT_EQ(h, 10);
    EXPECT_EQ(kind, IMG_24BIT);
    PictureBuffer* wrong = pic_create(20, 10, IMG_8BIT);
    EXPECT_EQ(gformat_jpg_read(wrong, f), 0);
    pic_release(wrong);
    std::fseek(f, 100, SEEK_SET);
    PictureBuffer* b = pic_create(w, h, kind);
    EXPECT_EQ(gformat_jpg_read(b, f), 1);
    pic_release(b);

    std::fseek(f, 50, SEEK_SET);  // inside the junk
    EXPECT_EQ(gformat_jpg_info(f, &w, &h, &kind), 0);
    EXPECT_EQ(std::ftell(f), 50);
    EXPECT_EQ(std::strncmp(gformat_last_error(), "JPG: ", 5), 0);
    std::fclose(f);
    pic_release(pic);
}

// A JPEG made by libjpeg with settings our encoder does not offer.
Bytes libjpeg_file(int width, int height, int components, J_COLOR_SPACE space,
                   void (*tune)(jpeg_compress_struct*)) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = (JDIMENSION)width;
    c.image_height = (JDIMENSION)height;
    c.input_components = components;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    if (tune) tune(&c);
    jpeg_start_compress(&c, TRUE);
    Bytes row((size_t)width * components);
    while (c.next_scanline < c.image_height) {
        for (size_t i = 0; i < row.size(); i++)
            row[i] = (uint8_t)(i * 7 + c.next_scanline * 3);
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Bytes bytes(out, out + size);
    free(out);
    return bytes;
}

// Grey progressive script of 704 scans: DC and each AC coefficient alone, refined bit by bit.
void many_scans(jpeg_compress_struct* c) {
    static jpeg_scan_info scans[11 + 63 * 11];
    int n = 0;
    auto add = [&](int ss, int se, int ah, int al) {
        jpeg_scan_info& s = scans[n++];
        s.comps_in_scan = 1;
        s.component_index[0] = 0;
        s.Ss = ss, s.Se = se, s.Ah = ah, s.Al = al;
    };
    add(0, 0, 0, 10);
    for (int al = 9; al >= 0; al--)
        add(0, 0, al + 1, al);
    for (int k = 1; k < 64; k++) {
        add(k, k, 0, 10);
        for (int al = 9; al >= 0; al--)
            add(k, k, al + 1, al);
    }
    c->scan_info = scans;
    c->num_scans = n;
}

TEST(GformatJpg, refuses_damaged_and_unsupported_files) {
    PictureBuffer* pic = sample_picture(48, 32);
    const Bytes good = encode_jpg(pic, 85);
    pic_release(pic);

    // A file cut inside its pixel data is refused, not padded with grey.
    const size_t sos = marker_at(good, 0xDA);
    ASSERT_NE(sos, 0u);
    Bytes cut(good.begin(), good.begin() + (long)(sos + good.size()) / 2);
    write_fuzz_seed("fuzz_jpeg", "truncated", cut.data(), cut.size());
    EXPECT_EQ(decode_jpg(cut), nullptr);
    EXPECT_STREQ(gformat_last_error(), "JPG: Corrupt JPEG data: premature end of data segment");
    cut.resize(sos);  // cut before the first scan
    EXPECT_EQ(decode_jpg(cut), nullptr);
    EXPECT_EQ(std::strncmp(gformat_last_error(), "JPG: ", 5), 0);

    // A missing end marker alone is not an error once every row is there.
    Bytes no_end(good.begin(), good.end() - 2);
    PictureBuffer* b = decode_jpg(no_end);
    EXPECT_NE(b, nullptr);
    pic_release(b);

    Bytes junk = {0xFF, 0xD8, 0x12, 0x34, 0x56};
    EXPECT_EQ(decode_jpg(junk), nullptr);
    EXPECT_EQ(std::strncmp(gformat_last_error(), "JPG: ", 5), 0);
    EXPECT_EQ(decode_jpg({}), nullptr);

    // A frame header that claims 60000 x 60000 pixels is refused before anything is allocated.
    Bytes huge = good;
    const size_t sof = marker_at(huge, 0xC0);
    ASSERT_NE(sof, 0u);
    huge[sof + 5] = 0xEA, huge[sof + 6] = 0x60;  // height 60000
    huge[sof + 7] = 0xEA, huge[sof + 8] = 0x60;  // width 60000
    write_fuzz_seed("fuzz_jpeg", "lying-size", huge.data(), huge.size());
    FILE* f = file_of(huge);
    int w, h, kind;
    EXPECT_EQ(gformat_jpg_info(f, &w, &h, &kind), 0);
    EXPECT_STREQ(gformat_last_error(), "JPG: picture too large");
    std::fclose(f);
    // Within the limits but with rows the file does not hold.
    huge[sof + 5] = 0x17, huge[sof + 6] = 0x70;  // height 6000
    huge[sof + 7] = 0x3E, huge[sof + 8] = 0x80;  // width 16000
    EXPECT_EQ(decode_jpg(huge), nullptr);

    // CMYK cannot be delivered as colour.
    const Bytes cmyk = libjpeg_file(8, 8, 4, JCS_CMYK, nullptr);
    write_fuzz_seed("fuzz_jpeg", "cmyk", cmyk.data(), cmyk.size());
    f = file_of(cmyk);
    ASSERT_EQ(gformat_jpg_info(f, &w, &h, &kind), 1);
    EXPECT_EQ(kind, IMG_24BIT);
    std::fclose(f);
    EXPECT_EQ(decode_jpg(cmyk), nullptr);

    // Progressive files decode; one of more than 500 scans is refused.
    const Bytes progressive =
        libjpeg_file(40, 24, 3, JCS_RGB, [](jpeg_compress_struct* c) { jpeg_simple_progression(c); });
    write_fuzz_seed("fuzz_jpeg", "progressive", progressive.data(), progressive.size());
    b = decode_jpg(progressive);
    EXPECT_NE(b, nullptr);
    pic_release(b);
    const Bytes scans = libjpeg_file(16, 16, 1, JCS_GRAYSCALE, many_scans);
    b = decode_jpg(scans);
    EXPECT_EQ(b, nullptr);
    EXPECT_STREQ(gformat_last_error(), "JPG: too many scans");
}

// --- TIFF ---

TifSpec tif_grey(uint16_t bits, uint16_t photometric, uint32_t width, std::vector<Bytes> rows) {
    TifSpec s;
    s.width = width;
    s.height = (uint32_t)rows.size();
    s.bits = bits;
    s.photometric = photometric;
    s.rows = std::move(rows);
    return s;
}

// Writes the TIFF, keeps it as a seed, decodes it and checks the kind.
PictureBuffer* tif_ok(const char* name, const TifSpec& spec, int kind) {
    const std::string path = temp_path(std::string(name) + ".tif");
    EXPECT_TRUE(write_tif(path, spec)) << name;
    const Bytes bytes = read_file(path);
    write_fuzz_seed("fuzz_tiff", name, bytes.data(), bytes.size());
    PictureBuffer* b = decode_tif(path);
    EXPECT_NE(b, nullptr) << name << ": " << gformat_last_error();
    if (b) {
        EXPECT_EQ(b->kind, kind) << name;
    }
    return b;
}

void expect_greys(const PictureBuffer* b, int y, std::vector<int> values, const char* what) {
    for (size_t x = 0; x < values.size(); x++)
        EXPECT_EQ(grey_of(b, (int)x, y), values[x]) << what << " x=" << x;
}

TEST(GformatTif, grey_pictures_of_one_four_and_eight_bits) {
    for (uint16_t photometric : {PHOTOMETRIC_MINISBLACK, PHOTOMETRIC_MINISWHITE}) {
        const bool white = photometric == PHOTOMETRIC_MINISWHITE;
        auto v = [&](int grey) { return white ? 255 - grey : grey; };
        PictureBuffer* b = tif_ok(white ? "grey1-white" : "grey1-black",
                                  tif_grey(1, photometric, 10, {{0xB0, 0x40}, {0xFF, 0xC0}}), 1);
        ASSERT_NE(b, nullptr);
        expect_greys(b, 0, {v(255), v(0), v(255), v(255), v(0), v(0), v(0), v(0), v(0), v(255)}, "1 bit");
        expect_greys(b, 1, std::vector<int>(10, v(255)), "1 bit");
        pic_release(b);

        b = tif_ok(white ? "grey4-white" : "grey4-black", tif_grey(4, photometric, 3, {{0x7F, 0x00}}), 1);
        ASSERT_NE(b, nullptr);
        expect_greys(b, 0, {v(119), v(255), v(0)}, "4 bits");
        pic_release(b);

        b = tif_ok(white ? "grey8-white" : "grey8-black", tif_grey(8, photometric, 3, {{10, 200, 255}}), 1);
        ASSERT_NE(b, nullptr);
        expect_greys(b, 0, {v(10), v(200), v(255)}, "8 bits");
        pic_release(b);
    }
    // Grey with a second sample: the first sample of each pixel.
    TifSpec s = tif_grey(8, PHOTOMETRIC_MINISBLACK, 2, {{10, 99, 20, 99}});
    s.samples = 2;
    PictureBuffer* b = tif_ok("grey8-two-samples", s, 1);
    ASSERT_NE(b, nullptr);
    expect_greys(b, 0, {10, 20}, "two samples");
    pic_release(b);
}

TEST(GformatTif, colour_pictures_in_every_compression) {
    const std::pair<uint16_t, const char*> compressions[] = {
        {COMPRESSION_NONE, "rgb"}, {COMPRESSION_LZW, "rgb-lzw"}, {COMPRESSION_PACKBITS, "rgb-packbits"}};
    for (auto [compression, name] : compressions) {
        TifSpec s;
        s.width = 2;
        s.height = 3;
        s.samples = 3;
        s.photometric = PHOTOMETRIC_RGB;
        s.compression = compression;
        s.rows = {{1, 2, 3, 250, 128, 0}, {0, 0, 0, 9, 9, 9}, {255, 255, 255, 7, 8, 9}};
        PictureBuffer* b = tif_ok(name, s, IMG_24BIT);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(pixel_of(b, 0, 0), 0x010203u) << name;
        EXPECT_EQ(b->pixels[3], 0) << name;  // blue first
        EXPECT_EQ(pixel_of(b, 1, 0), 0xFA8000u) << name;
        EXPECT_EQ(pixel_of(b, 1, 2), 0x070809u) << name;
        pic_release(b);
    }
    TifSpec s;
    s.width = 2;
    s.samples = 4;
    s.photometric = PHOTOMETRIC_RGB;
    s.extra_alpha = true;
    s.rows = {{1, 2, 3, 77, 4, 5, 6, 200}};
    PictureBuffer* b = tif_ok("rgba", s, IMG_24BIT | IMG_ALPHA);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(pixel_of(b, 0, 0), 0x010203u);  // not premultiplied
    EXPECT_EQ(pixel_of(b, 1, 0), 0x040506u);
    ASSERT_NE(b->alpha, nullptr);
    EXPECT_EQ(b->alpha[0], 77);
    EXPECT_EQ(b->alpha[1], 200);
    pic_release(b);
}

TEST(GformatTif, palettes_grey_colour_and_sixteen_bit_maps) {
    TifSpec s;
    s.width = 3;
    s.photometric = PHOTOMETRIC_PALETTE;
    for (int i = 0; i < 256; i++) {
        s.red.push_back((uint16_t)(i * 257));
        s.green.push_back((uint16_t)((255 - i) * 257));
        s.blue.push_back(0x8000);
    }
    s.rows = {{0, 200, 255}};
    PictureBuffer* b = tif_ok("palette8-colour", s, IMG_24BIT);  // 16-bit map: high bytes
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(pixel_of(b, 0, 0), 0x00FF80u);
    EXPECT_EQ(pixel_of(b, 1, 0), 0xC83780u);
    EXPECT_EQ(pixel_of(b, 2, 0), 0xFF0080u);
    pic_release(b);

    s.green = s.red;
    s.blue = s.red;
    b = tif_ok("palette8-grey", s, IMG_8BIT);
    ASSERT_NE(b, nullptr);
    expect_greys(b, 0, {0, 200, 255}, "grey palette");
    pic_release(b);

    // A map whose values all stay below 256 is taken as it is.
    TifSpec four;
    four.width = 3;
    four.bits = 4;
    four.photometric = PHOTOMETRIC_PALETTE;
    for (int i = 0; i < 16; i++) {
        four.red.push_back((uint16_t)(i * 10));
        four.green.push_back((uint16_t)i);
        four.blue.push_back((uint16_t)(255 - i));
    }
    four.rows = {{0x1F, 0x20}};
    b = tif_ok("palette4-colour", four, IMG_24BIT);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(pixel_of(b, 0, 0), 0x0A01FEu);
    EXPECT_EQ(pixel_of(b, 1, 0), 0x960FF0u);
    EXPECT_EQ(pixel_of(b, 2, 0), 0x1402FDu);
    pic_release(b);

    TifSpec one;
    one.width = 9;
    one.bits = 1;
    one.photometric = PHOTOMETRIC_PALETTE;
    one.red = one.green = one.blue = {0, 65535};
    one.rows = {{0xA0, 0x80}};
    b = tif_ok("palette1-grey", one, IMG_8BIT);
    ASSERT_NE(b, nullptr);
    expect_greys(b, 0, {255, 0, 255, 0, 0, 0, 0, 0, 255}, "1-bit palette");
    pic_release(b);
}

// A little-endian TIFF laid out by hand: 8-bit grey, one strip of strip_bytes claimed and
// data_bytes present.
Bytes tif_by_hand(uint32_t width, uint32_t height, uint32_t strip_bytes, uint32_t data_bytes) {
    Bytes b = {'I', 'I', 42, 0};
    put32(&b, 8);
    const uint16_t tags[][2] = {{256, 4}, {257, 4}, {258, 3}, {259, 3}, {262, 3},
                                {273, 4}, {277, 3}, {278, 4}, {279, 4}};
    const uint32_t data_at = 8 + 2 + 9 * 12 + 4;
    const uint32_t values[] = {width, height, 8, 1, 1, data_at, 1, height, strip_bytes};
    put16(&b, 9);
    for (int i = 0; i < 9; i++) {
        put16(&b, tags[i][0]);
        put16(&b, tags[i][1]);
        put32(&b, 1);
        put32(&b, values[i]);
    }
    put32(&b, 0);
    for (uint32_t i = 0; i < data_bytes; i++)
        b.push_back((uint8_t)i);
    return b;
}

TEST(GformatTif, refused_layouts_give_their_texts) {
    struct Case {
        const char* name;
        TifSpec spec;
        const char* text;
    };
    std::vector<Case> cases;
    TifSpec rgb;
    rgb.width = 2;
    rgb.samples = 3;
    rgb.photometric = PHOTOMETRIC_RGB;
    rgb.rows = {{1, 2, 3, 4, 5, 6}};
    TifSpec s = rgb;
    s.orientation = ORIENTATION_BOTRIGHT;
    cases.push_back({"orientation-3", s, "TIF: wrong orientation."});
    s = rgb;
    s.planar = PLANARCONFIG_SEPARATE;
    cases.push_back({"planar-2", s, "TIF: invalid planar configuration."});
    s = rgb;
    s.samples = 4;
    s.photometric = PHOTOMETRIC_SEPARATED;
    s.rows = {{1, 2, 3, 4, 5, 6, 7, 8}};
    cases.push_back({"photometric-5", s, "TIF: invalid photometric."});
    s = tif_grey(16, PHOTOMETRIC_MINISBLACK, 2, {{1, 2, 3, 4}});
    cases.push_back({"grey16", s, "TIF: only 1, 4 or 8 bits per channel allowed."});
    s = tif_grey(2, PHOTOMETRIC_MINISBLACK, 2, {{0x40}});
    cases.push_back({"grey2", s, "TIF: only 1, 4 or 8 bits per channel allowed."});
    s = rgb;
    s.compression = COMPRESSION_ADOBE_DEFLATE;
    cases.push_back({"deflate", s, "TIF: unsupported compression method."});
    s = tif_grey(4, PHOTOMETRIC_MINISBLACK, 2, {{0x12}});
    s.samples = 2;
    cases.push_back({"grey4-two-samples", s, "TIF: unknown error."});
    s = tif_grey(8, PHOTOMETRIC_RGB, 2, {{1, 2}});
    cases.push_back({"rgb-one-sample", s, "TIF: unknown error."});
    s = tif_grey(1, PHOTOMETRIC_PALETTE, 8, {{0x55}});
    s.red = {0, 65535};
    s.green = {65535, 0};
    s.blue = {0, 0};
    cases.push_back({"palette1-colour", s, "TIF: unknown error."});

    for (const Case& c : cases) {
        const std::string path = temp_path(std::string(c.name) + ".tif");
        ASSERT_TRUE(write_tif(path, c.spec)) << c.name;
        const Bytes bytes = read_file(path);
        write_fuzz_seed("fuzz_tiff", (std::string("bad-") + c.name).c_str(), bytes.data(), bytes.size());
        int w, h, kind;
        EXPECT_EQ(gformat_tif_info(path.c_str(), &w, &h, &kind), 0) << c.name;
        EXPECT_STREQ(gformat_last_error(), c.text) << c.name;
        PictureBuffer* b = pic_create(2, 1, IMG_24BIT);
        EXPECT_EQ(gformat_tif_read(b, path.c_str()), 0) << c.name;
        pic_release(b);
    }

    int w, h, kind;
    EXPECT_EQ(gformat_tif_info(temp_path("missing.tif").c_str(), &w, &h, &kind), 0);
    EXPECT_STREQ(gformat_last_error(), "TIF: cannot open file.");
    const std::string junk = temp_path("junk.tif");
    write_file(junk, {'I', 'I', 42, 0, 0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3});
    EXPECT_EQ(gformat_tif_info(junk.c_str(), &w, &h, &kind), 0);
    EXPECT_STREQ(gformat_last_error(), "TIF: cannot open file.");
}

TEST(GformatTif, lying_sizes_and_missing_rows) {
    const std::string path = temp_path("hand.tif");
    Bytes good = tif_by_hand(4, 2, 8, 8);
    write_fuzz_seed("fuzz_tiff", "hand", good.data(), good.size());
    write_file(path, good);
    PictureBuffer* b = decode_tif(path);
    ASSERT_NE(b, nullptr) << gformat_last_error();
    expect_greys(b, 1, {4, 5, 6, 7}, "hand-made");
    pic_release(b);

    int w, h, kind;
    for (auto [width, height] :
         {std::pair<uint32_t, uint32_t>{20000, 10}, {16384, 16384}, {0xFFFFFFFF, 0xFFFFFFFF}}) {
        const Bytes lie = tif_by_hand(width, height, 100, 100);
        write_file(path, lie);
        EXPECT_EQ(gformat_tif_info(path.c_str(), &w, &h, &kind), 0) << width;
        EXPECT_EQ(std::strncmp(gformat_last_error(), "TIF: ", 5), 0) << gformat_last_error();
    }
    const Bytes lie = tif_by_hand(20000, 10, 100, 100);
    write_fuzz_seed("fuzz_tiff", "lying-size", lie.data(), lie.size());
    write_file(path, lie);
    EXPECT_EQ(gformat_tif_info(path.c_str(), &w, &h, &kind), 0);
    EXPECT_STREQ(gformat_last_error(), "TIF: invalid picture size 20000x10.");

    // A strip that claims more than the file holds: the library's own text, never success.
    const Bytes cut = tif_by_hand(100, 100, 10000, 50);
    write_fuzz_seed("fuzz_tiff", "truncated", cut.data(), cut.size());
    write_file(path, cut);
    EXPECT_EQ(decode_tif(path), nullptr);
    const std::string text = gformat_last_error();
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '.');
}

TEST(GformatError, keeps_the_latest_text_and_the_filter_lists_the_types) {
    gformat_error("IMG loader: unknown error");
    EXPECT_STREQ(gformat_last_error(), "IMG loader: unknown error");
    const char* expected[] = {"All Formats",
                              "*.JPG;*.JPE;*.JIF;*.JPEG;*.JFIF;*.TIF;*.TIFF;*.BMP;*.RLE;*.DIB",
                              "BMP (*.BMP;*.RLE;*.DIB)",
                              "*.BMP;*.RLE;*.DIB",
                              "JPEG (*.JPG;*.JPE;*.JIF;*.JPEG;*.JFIF)",
                              "*.JPG;*.JPE;*.JIF;*.JPEG;*.JFIF",
                              "TIFF (*.TIF;*.TIFF) uncompressed",
                              "*.TIF;*.TIFF",
                              ""};
    const char* p = picture_filter;
    for (const char* want : expected) {
        EXPECT_STREQ(p, want);
        p += std::strlen(p) + 1;
    }
}

}  // namespace
