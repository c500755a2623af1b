// tests/image/gformat_test.cpp -- the picture codecs against files laid out by hand or written by
// the libraries: pixels worked out by hand, round trips, one lie per guard; the inputs are fuzz seeds.
#include "image/gformat.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

// clang-format off
#include <jpeglib.h>
// clang-format on
#include <webp/encode.h>

#include "image/pic.h"
#include "pic_samples.h"
#include "platform/io_mem.h"
#include "support/fatal_trap.h"

using namespace pic_samples;

namespace {

// Decodes, expects success, and keeps the file as a seed of the BMP fuzz target.
PicPtr bmp_ok(const char* seed, const Bytes& bytes) {
    write_fuzz_seed("fuzz_bmp", seed, bytes.data(), bytes.size());
    PicPtr b = decode_bmp(bytes);
    EXPECT_NE(b, nullptr) << seed << ": " << gformat_last_error();
    return b;
}

struct Pixel {
    int x, y;
    uint32_t value;
};

Bytes palette_of(int entries, int size, uint32_t (*colour)(int)) {
    Bytes p;
    for (int i = 0; i < entries; i++)
        for (int b = 0; b < size; b++)
            p.push_back((uint8_t)(colour(i) >> (8 * b)));
    return p;
}

TEST(GformatBmp, write_lays_out_the_file_and_reads_back) {
    PicPtr pic = sample_picture(5, 3);
    FILE* f = std::tmpfile();
    ASSERT_EQ(gformat_bmp_write(f, pic.get()), 1);
    const Bytes bytes = file_bytes(f);
    std::fclose(f);
    ASSERT_EQ(bytes.size(), 54u + 16 * 3);  // rows of 15 bytes padded to 16
    const uint8_t head[54] = {'B', 'M', 102, 0, 0, 0, 0,    0,    0, 0, 54,   0,    0,  0, 40, 0,
                              0,   0,   5,   0, 0, 0, 3,    0,    0, 0, 1,    0,    24, 0, 0,  0,
                              0,   0,   0,   0, 0, 0, 0x13, 0x0B, 0, 0, 0x13, 0x0B, 0,  0};
    EXPECT_EQ(std::memcmp(bytes.data(), head, 54), 0);
    // The first stored row is the bottom row, followed by one zero byte.
    EXPECT_EQ(std::memcmp(bytes.data() + 54, pic->pixels + 2 * pic->pitch, 15), 0);
    EXPECT_EQ(bytes[54 + 15], 0);
    write_fuzz_seed("fuzz_bmp", "written-24bit", bytes.data(), bytes.size());
    PicPtr back = decode_bmp(bytes);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->kind, IMG_24BIT);
    EXPECT_EQ(std::memcmp(back->pixels, pic->pixels, 45), 0);

    PicPtr grey(pic_create(2, 2, IMG_8BIT));
    f = std::tmpfile();
    EXPECT_EQ(gformat_bmp_write(f, grey.get()), 0);
    EXPECT_STREQ(gformat_last_error(), "BMP saver: unknown error");
    std::fclose(f);
}

TEST(GformatBmp, every_accepted_layout_by_hand) {
    const Bytes ramp256 =
        palette_of(256, 4, [](int i) { return (uint32_t)(i << 16 | (255 - i) << 8 | i / 2); });
    const Bytes core256 = palette_of(256, 3, [](int i) { return (uint32_t)(i | 7 << 8 | 9 << 16); });
    const Bytes rows2x2 = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
    const struct {
        const char* seed;
        BmpSpec spec;
        int kind;
        std::vector<Pixel> pixels;
    } cases[] = {
        // clang-format off
        // Rows bottom up; index 5 lies beyond the three colours used and gives black.
        {"8bit", {.width = 3, .height = 2, .bits = 8, .colours_used = 3,
                  .palette = palette4({0x102030, 0x405060, 0x708090}), .data = {0, 1, 2, 0, 2, 5, 0, 0}},
         IMG_24BIT, {{0, 0, 0x708090}, {1, 0, 0}, {2, 0, 0x102030}, {0, 1, 0x102030}, {2, 1, 0x708090}}},
        // Colours used 0 means a palette of 256 entries.
        {"8bit-256", {.bits = 8, .palette = ramp256, .data = {200, 0, 0, 0}}, IMG_24BIT, {{0, 0, 0xC83764}}},
        // The core header: 16-bit sizes, palette entries of three bytes.
        {"core-8bit", {.header_size = 12, .width = 2, .bits = 8, .palette = core256, .data = {3, 250, 0, 0}},
         IMG_24BIT, {{0, 0, 0x090703}, {1, 0, 0x0907FA}}},
        {"core-24bit", {.header_size = 12, .width = 2, .data = {1, 2, 3, 4, 5, 6, 0, 0}}, IMG_24BIT,
         {{1, 0, 0x060504}}},
        {"24bit", {.width = 2, .height = 2, .data = rows2x2}, IMG_24BIT, {{0, 1, 0x030201}, {1, 0, 0x0C0B0A}}},
        {"24bit-top-down", {.width = 2, .height = -2, .data = rows2x2}, IMG_24BIT,
         {{0, 0, 0x030201}, {1, 1, 0x0C0B0A}}},
        // Every field scaled to five bits; the unused top bit of 5-5-5 is dropped.
        {"16bit", {.width = 3, .bits = 16, .data = {0x1F, 0x7C, 0xE0, 0x03, 0x01, 0x80, 0, 0}}, IMG_16BIT,
         {{0, 0, 0x7C1F}, {1, 0, 0x03E0}, {2, 0, 0x0001}}},
        // 5-6-5: green 63 -> 31, 32 -> 16, 1 -> 0, 2 -> 1 (rounded); red 1 stays 1.
        {"16bit-565", {.width = 4, .bits = 16, .compression = 3, .masks = {0xF800, 0x07E0, 0x001F},
                       .data = {0xFF, 0xFF, 0x00, 0x04, 0x20, 0x00, 0x40, 0x08}},
         IMG_16BIT, {{0, 0, 0x7FFF}, {1, 0, 16 << 5}, {2, 0, 0}, {3, 0, 1 << 10 | 1 << 5}}},
        // A zero mask gives a zero channel rather than a division by zero.
        {"16bit-zero-mask", {.width = 2, .bits = 16, .compression = 3, .masks = {0xF800, 0x07E0, 0},
                             .data = {0xFF, 0xFF, 0, 0}},
         IMG_16BIT, {{0, 0, 0x7FE0}}},
        {"32bit", {.width = 2, .bits = 32, .data = {0x44, 0x33, 0x22, 0x11, 1, 2, 3, 4}}, IMG_24BIT,
         {{0, 0, 0x223344}, {1, 0, 0x030201}}},
        {"32bit-fields", {.width = 2, .bits = 32, .compression = 3, .masks = {0xFF000000, 0xFF0000, 0xFF00},
                          .data = {0x44, 0x33, 0x22, 0x11, 1, 2, 3, 4}},
         IMG_24BIT, {{0, 0, 0x112233}, {1, 0, 0x040302}}},
        // The long headers carry the masks (and an alpha mask, unused); the palette follows them.
        {"v5-32bit-fields", {.header_size = 124, .width = 2, .bits = 32, .compression = 3,
                             .masks = {0xFF000000, 0xFF0000, 0xFF00, 0xFF}, .data = {0x44, 0x33, 0x22, 0x80, 1, 2, 3, 4}},
         IMG_24BIT, {{0, 0, 0x802233}, {1, 0, 0x040302}}},
        {"v4-16bit-565", {.header_size = 108, .width = 2, .bits = 16, .compression = 3,
                          .masks = {0xF800, 0x07E0, 0x001F}, .data = {0xFF, 0xFF, 0xE0, 0x07}},
         IMG_16BIT, {{0, 0, 0x7FFF}, {1, 0, 0x03E0}}},
        {"v5-8bit", {.header_size = 124, .width = 2, .bits = 8, .colours_used = 2,
                     .palette = palette4({0x102030, 0x405060}), .data = {1, 0, 0, 0}},
         IMG_24BIT, {{0, 0, 0x405060}, {1, 0, 0x102030}}},
        // clang-format on
    };
    for (const auto& c : cases) {
        PicPtr b = bmp_ok(c.seed, c.spec.build());
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->kind, c.kind) << c.seed;
        for (const Pixel& p : c.pixels)
            EXPECT_EQ(pixel_of(b.get(), p.x, p.y), p.value) << c.seed << " " << p.x << "," << p.y;
    }
}

TEST(GformatBmp, rle8_runs_literals_deltas_and_edges) {
    // RLE8 over a 6 x 4 picture; rows in file order (bottom first unless top-down):
    // row 0: run 3 x red, literal green blue white (+ pad), end of line
    // row 1: literal red green blue white, run 4 x red (2 fall off), literal past the edge, end of line
    // row 2: delta (2, 1): nothing on row 2, continue on row 3 at column 2
    // row 3: run 2 x white, delta (10, 0) past the edge, run dropped, end of line -> past the picture
    BmpSpec s = {.width = 6,
                 .height = 4,
                 .bits = 8,
                 .compression = 1,
                 .colours_used = 5,
                 .palette = palette4({0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}),
                 .data = {3, 1, 0, 3, 2, 3, 4, 0, 0, 0, 0, 4, 1,  2, 3, 4, 4, 1, 0, 3, 2, 2,
                          2, 0, 0, 0, 0, 2, 2, 1, 2, 4, 0, 2, 10, 0, 1, 1, 0, 0, 5, 3, 0, 1}};
    constexpr uint32_t K = 0x000000, R = 0xFF0000, G = 0x00FF00, B = 0x0000FF, W = 0xFFFFFF;
    const uint32_t rows[4][6] = {
        {R, R, R, G, B, W}, {R, G, B, W, R, R}, {K, K, K, K, K, K}, {K, K, W, W, K, K}};
    for (int32_t height : {4, -4}) {
        s.height = height;
        PicPtr b = bmp_ok(height > 0 ? "rle8" : "rle8-top-down", s.build());
        ASSERT_NE(b, nullptr);
        for (int fy = 0; fy < 4; fy++)
            for (int x = 0; x < 6; x++)
                EXPECT_EQ(pixel_of(b.get(), x, height > 0 ? 3 - fy : fy), rows[fy][x]) << fy << "," << x;
    }
    // Data that ends early: what was decoded stays, the rest is black.
    s.height = 4;
    s.data.resize(10);
    PicPtr b = bmp_ok("rle8-cut", s.build());
    ASSERT_NE(b, nullptr);
    for (int x = 0; x < 6; x++) {
        EXPECT_EQ(pixel_of(b.get(), x, 3), rows[0][x]);
        EXPECT_EQ(pixel_of(b.get(), x, 0), K);
    }
    // A delta far below the picture ends it.
    s.data = {2, 1, 0, 2, 255, 255, 2, 1};
    b = bmp_ok("rle8-far-delta", s.build());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(pixel_of(b.get(), 1, 3), R);
    EXPECT_EQ(pixel_of(b.get(), 2, 3), K);
}

TEST(GformatBmp, every_guard_refuses_its_lie) {
    const BmpSpec base = {.width = 2, .height = 2, .data = Bytes(16, 9)};
    struct Case {
        std::string name;
        Bytes bytes;
    };
    std::vector<Case> cases;
    auto with = [&](const std::string& name, auto change) {
        BmpSpec s = base;
        change(s);
        cases.push_back({name, s.build()});
    };
    Bytes magic = base.build();
    magic[1] = 'N';  // one wrong byte is enough
    cases.push_back({"magic", magic});
    for (uint32_t size : {11, 13, 41, 100}) {
        cases.push_back({"header-size-" + std::to_string(size), base.build()});
        set32(&cases.back().bytes, 14, size);
    }
    for (int bits : {1, 4, 15})
        with("bits-" + std::to_string(bits), [&](BmpSpec& s) { s.bits = bits; });
    with("planes", [](BmpSpec& s) { s.planes = 2; });
    with("rle4", [](BmpSpec& s) { s.compression = 2; });
    with("compression-4", [](BmpSpec& s) { s.compression = 4; });
    with("v5-compression-5", [](BmpSpec& s) { s.header_size = 124, s.compression = 5; });
    with("rle8-24bit", [](BmpSpec& s) { s.compression = 1; });
    with("colours-257", [](BmpSpec& s) { s.bits = 8, s.colours_used = 257, s.palette = Bytes(257 * 4, 1); });
    with("width-0", [](BmpSpec& s) { s.width = 0; });
    with("height-0", [](BmpSpec& s) { s.height = 0; });
    with("width-negative", [](BmpSpec& s) { s.width = -2; });
    with("width-16385", [](BmpSpec& s) { s.width = 16385; });
    with("height-min", [](BmpSpec& s) { s.height = INT_MIN; });
    with("100-megapixels", [](BmpSpec& s) { s.width = 16384, s.height = 6104; });
    with("overflow", [](BmpSpec& s) { s.width = s.height = 0x7FFFFFFF; });
    with("truncated-rows", [](BmpSpec& s) { s.data.pop_back(); });
    with("lying-height", [](BmpSpec& s) { s.width = 1, s.height = 16384, s.data = Bytes(4, 0); });
    with("lying-width", [](BmpSpec& s) { s.width = 16384, s.height = 6103, s.data = Bytes(64, 0); });
    with("lying-top-down", [](BmpSpec& s) { s.height = -16000; });
    with("palette-cut", [](BmpSpec& s) { s.bits = 8, s.palette = Bytes(40, 1), s.data.clear(); });
    with("masks-cut", [](BmpSpec& s) { s.bits = 32, s.compression = 3, s.data.clear(); });
    Bytes cut = base.build();
    cut.resize(30);
    cases.push_back({"header-cut", cut});
    cut = BmpSpec{.header_size = 124}.build();
    cut.resize(100);
    cases.push_back({"v5-header-cut", cut});
    cases.push_back({"empty", {}});

    // Every lie is refused before the pixels are allocated.
    static size_t largest;
    largest = 0;
    pic_install_memory_hooks(
        [](size_t size) { return largest = std::max(largest, size), io_mem_alloc(size); }, io_mem_free);
    for (const Case& c : cases) {
        if (!c.bytes.empty())
            write_fuzz_seed("fuzz_bmp", ("bad-" + c.name).c_str(), c.bytes.data(), c.bytes.size());
        gformat_error("");
        EXPECT_EQ(decode_bmp(c.bytes), nullptr) << c.name;
        EXPECT_STREQ(gformat_last_error(), "BMP loader: unknown error") << c.name;
    }
    pic_install_memory_hooks(io_mem_alloc, io_mem_free);
    EXPECT_LT(largest, 65536u);
}

// --- JPEG ---

// Mean absolute difference per channel byte, in hundredths.
int mean_difference(const PicPtr& a, const PicPtr& b) {
    long sum = 0, count = 0;
    for (int y = 0; y < a->height; y++)
        for (int i = 0; i < a->width * (a->kind & 15); i++, count++)
            sum += std::abs(a->pixels[y * a->pitch + i] - b->pixels[y * b->pitch + i]);
    return (int)(sum * 100 / count);
}

// The offset of the first marker 0xFF code of a JPEG, or 0.
size_t marker_at(const Bytes& jpg, uint8_t code) {
    for (size_t i = 2; i + 1 < jpg.size(); i++)
        if (jpg[i] == 0xFF && jpg[i + 1] == code) return i;
    return 0;
}

TEST(GformatJpg, round_trips_are_baseline_with_eight_bit_tables) {
    const struct {
        const char* seed;
        int width, height, kind, quality, kind_back, max_difference;
    } cases[] = {{"colour", 64, 48, IMG_24BIT, 95, IMG_24BIT, 300},
                 {nullptr, 64, 48, IMG_24BIT | IMG_ALPHA, 90, IMG_24BIT, 300},  // the alpha plane is ignored
                 {"grey", 33, 17, IMG_8BIT, 90, IMG_8BIT, 200},
                 {nullptr, 40, 40, IMG_24BIT, 1, IMG_24BIT, 0}};
    for (const auto& c : cases) {
        PicPtr pic = sample_picture(c.width, c.height, c.kind);
        // Left half strongly red, so a swapped channel order cannot pass.
        for (int y = 0; y < c.height && c.kind != IMG_8BIT; y++)
            for (int x = 0; x < c.width / 2; x++)
                std::memcpy(pic->pixels + y * pic->pitch + 3 * x, "\x0A\x14\xF0", 3);
        const Bytes jpg = encode_jpg(pic, c.quality);
        ASSERT_FALSE(jpg.empty());
        if (c.seed) write_fuzz_seed("fuzz_jpeg", c.seed, jpg.data(), jpg.size());
        EXPECT_NE(marker_at(jpg, 0xC0), 0u) << c.quality;  // baseline frame, not progressive
        EXPECT_EQ(marker_at(jpg, 0xC2), 0u) << c.quality;
        const size_t dqt = marker_at(jpg, 0xDB);
        ASSERT_NE(dqt, 0u);
        for (size_t at = dqt + 4; at < dqt + 2 + (jpg[dqt + 2] << 8 | jpg[dqt + 3]); at += 65)
            EXPECT_EQ(jpg[at] >> 4, 0) << "8-bit table precision at quality " << c.quality;
        if (c.quality < 50) continue;
        PicPtr back = decode_jpg(jpg);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->kind, c.kind_back);
        EXPECT_LE(mean_difference(pic, back), c.max_difference);
        if (c.kind_back == IMG_24BIT) {
            EXPECT_GT(back->pixels[10 * back->pitch + 3 * 5 + 2], 220);  // red at byte 2
            EXPECT_LT(back->pixels[10 * back->pitch + 3 * 5 + 0], 40);
        }
    }
    PicPtr five(pic_create(4, 4, IMG_16BIT));
    FILE* f = std::tmpfile();
    EXPECT_EQ(gformat_jpg_write(f, five.get(), 80), 0);
    EXPECT_STREQ(gformat_last_error(), "JPG: ");
    std::fclose(f);
}

TEST(GformatInfo, info_calls_leave_the_file_where_it_was_and_reads_check_the_buffer) {
    // BMP: the data offset counts from the header.
    const Bytes bmp = BmpSpec{.width = 20, .height = 10, .data = Bytes(600, 0x40)}.build();
    const Bytes jpg = encode_jpg(sample_picture(20, 10), 80);
    for (const Bytes* picture : {&bmp, &jpg}) {
        const bool is_jpg = picture == &jpg;
        const auto info = is_jpg ? gformat_jpg_info : gformat_bmp_info;
        const auto read = is_jpg ? gformat_jpg_read : gformat_bmp_read;
        Bytes bytes(100, 0x55);
        bytes.insert(bytes.end(), picture->begin(), picture->end());
        FILE* f = file_of(bytes, 100);
        int w, h, kind;
        ASSERT_EQ(info(f, &w, &h, &kind), 1);
        EXPECT_EQ(std::ftell(f), 100);
        EXPECT_EQ(w * 1000 + h * 10 + kind, 20103);
        for (auto [bw, bkind, result] :
             {std::tuple{20, IMG_8BIT, 0}, {21, IMG_24BIT, 0}, {20, IMG_24BIT, 1}}) {
            PicPtr b(pic_create(bw, 10, bkind));  // a buffer of another kind or size is refused
            std::fseek(f, 100, SEEK_SET);
            EXPECT_EQ(read(b.get(), f), result) << is_jpg << " " << bw << " " << bkind;
            EXPECT_EQ(!result || is_jpg ? 0x404040u : pixel_of(b.get(), 19, 9), 0x404040u);
        }
        std::fseek(f, 50, SEEK_SET);  // inside the junk: fails and stays
        EXPECT_EQ(info(f, &w, &h, &kind), 0);
        EXPECT_EQ(std::ftell(f), 50);
        std::fclose(f);
    }
    EXPECT_EQ(std::strncmp(gformat_last_error(), "JPG: ", 5), 0);
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
    static jpeg_scan_info scans[64 * 11];
    int n = 0;
    for (int k = 0; k < 64; k++)
        for (int al = 10; al >= 0; al--)
            scans[n++] = {1, {0}, k, k, al == 10 ? 0 : al + 1, al};
    c->scan_info = scans;
    c->num_scans = n;
}

TEST(GformatJpg, refuses_damaged_and_unsupported_files) {
    const Bytes good = encode_jpg(sample_picture(48, 32), 85);

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
    EXPECT_NE(decode_jpg(Bytes(good.begin(), good.end() - 2)), nullptr);
    EXPECT_EQ(decode_jpg({0xFF, 0xD8, 0x12, 0x34, 0x56}), nullptr);
    EXPECT_EQ(std::strncmp(gformat_last_error(), "JPG: ", 5), 0);
    EXPECT_EQ(decode_jpg({}), nullptr);

    // A frame header that claims 60000 x 60000 pixels is refused before anything is allocated;
    // one within the limits but with rows the file does not hold fails while reading.
    Bytes huge = good;
    const size_t sof = marker_at(huge, 0xC0);
    ASSERT_NE(sof, 0u);
    huge[sof + 5] = 0xEA, huge[sof + 6] = 0x60, huge[sof + 7] = 0xEA, huge[sof + 8] = 0x60;
    write_fuzz_seed("fuzz_jpeg", "lying-size", huge.data(), huge.size());
    int w, h, kind;
    FILE* f = file_of(huge);
    EXPECT_EQ(gformat_jpg_info(f, &w, &h, &kind), 0);
    EXPECT_STREQ(gformat_last_error(), "JPG: picture too large");
    std::fclose(f);
    huge[sof + 5] = 0x17, huge[sof + 6] = 0x70, huge[sof + 7] = 0x3E, huge[sof + 8] = 0x80;  // 16000 x 6000
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
    EXPECT_NE(decode_jpg(progressive), nullptr);
    EXPECT_EQ(decode_jpg(libjpeg_file(16, 16, 1, JCS_GRAYSCALE, many_scans)), nullptr);
    EXPECT_STREQ(gformat_last_error(), "JPG: too many scans");
}

// --- TIFF ---

// A colour map of n entries a x i + b.
std::vector<uint16_t> map(int n, int a, int b) {
    std::vector<uint16_t> m;
    for (int i = 0; i < n; i++)
        m.push_back((uint16_t)(a * i + b));
    return m;
}

TEST(GformatTif, every_accepted_layout) {
    const TifSpec rgb = {.width = 2,
                         .samples = 3,
                         .photometric = PHOTOMETRIC_RGB,
                         .rows = {{1, 2, 3, 250, 128, 0}, {0, 0, 0, 9, 9, 9}, {255, 255, 255, 7, 8, 9}}};
    auto compressed = [&](uint16_t compression) {
        TifSpec s = rgb;
        s.compression = compression;
        return s;
    };
    const std::vector<Pixel> rgb_pixels = {{0, 0, 0x010203}, {1, 0, 0xFA8000}, {1, 2, 0x070809}};
    const auto palette = PHOTOMETRIC_PALETTE;
    const struct {
        const char* name;
        TifSpec spec;
        int kind;
        std::vector<Pixel> pixels;
    } cases[] = {
        // clang-format off
        {"grey1-black", {.width = 10, .bits = 1, .rows = {{0xB0, 0x40}, {0xFF, 0xC0}}}, IMG_8BIT,
         {{0, 0, 255}, {1, 0, 0}, {2, 0, 255}, {3, 0, 255}, {4, 0, 0}, {8, 0, 0}, {9, 0, 255}, {9, 1, 255}}},
        {"grey4-white", {.width = 3, .bits = 4, .photometric = PHOTOMETRIC_MINISWHITE, .rows = {{0x7F, 0x00}}},
         IMG_8BIT, {{0, 0, 255 - 119}, {1, 0, 0}, {2, 0, 255}}},
        // Grey with a second sample: the first sample of each pixel.
        {"grey8-two-samples", {.width = 2, .samples = 2, .rows = {{10, 99, 20, 99}}}, IMG_8BIT,
         {{0, 0, 10}, {1, 0, 20}}},
        {"rgb", rgb, IMG_24BIT, rgb_pixels},
        {"rgb-lzw", compressed(COMPRESSION_LZW), IMG_24BIT, rgb_pixels},
        // Not premultiplied; the alpha plane is checked below.
        {"rgba", {.width = 2, .samples = 4, .photometric = PHOTOMETRIC_RGB, .rows = {{1, 2, 3, 77, 4, 5, 6, 200}},
                  .extra_alpha = true},
         IMG_24BIT | IMG_ALPHA, {{0, 0, 0x010203}, {1, 0, 0x040506}}},
        // A 16-bit map gives its high bytes; a grey map gives a grey picture.
        {"palette8-colour", {.width = 3, .photometric = palette, .red = map(256, 257, 0),
                             .green = map(256, -257, 65535), .blue = map(256, 0, 0x8000), .rows = {{0, 200, 255}}},
         IMG_24BIT, {{0, 0, 0x00FF80}, {1, 0, 0xC83780}, {2, 0, 0xFF0080}}},
        {"palette8-grey", {.width = 3, .photometric = palette, .red = map(256, 257, 0), .green = map(256, 257, 0),
                           .blue = map(256, 257, 0), .rows = {{0, 200, 255}}},
         IMG_8BIT, {{0, 0, 0}, {1, 0, 200}, {2, 0, 255}}},
        // A map whose values all stay below 256 is taken as it is.
        {"palette4-colour", {.width = 3, .bits = 4, .photometric = palette, .red = map(16, 10, 0),
                             .green = map(16, 1, 0), .blue = map(16, -1, 255), .rows = {{0x1F, 0x20}}},
         IMG_24BIT, {{0, 0, 0x0A01FE}, {1, 0, 0x960FF0}, {2, 0, 0x1402FD}}},
        {"palette1-grey", {.width = 9, .bits = 1, .photometric = palette, .red = {0, 65535}, .green = {0, 65535},
                           .blue = {0, 65535}, .rows = {{0xA0, 0x80}}},
         IMG_8BIT, {{0, 0, 255}, {1, 0, 0}, {2, 0, 255}, {3, 0, 0}, {7, 0, 0}, {8, 0, 255}}},
        // clang-format on
    };
    for (const auto& c : cases) {
        const std::string path = temp_path(std::string(c.name) + ".tif");
        ASSERT_TRUE(write_tif(path, c.spec)) << c.name;
        const Bytes bytes = read_file(path);
        write_fuzz_seed("fuzz_tiff", c.name, bytes.data(), bytes.size());
        PicPtr b = decode_tif(path);
        ASSERT_NE(b, nullptr) << c.name << ": " << gformat_last_error();
        EXPECT_EQ(b->kind, c.kind) << c.name;
        for (const Pixel& p : c.pixels)
            EXPECT_EQ(pixel_of(b.get(), p.x, p.y), p.value) << c.name << " " << p.x << "," << p.y;
    }
    PicPtr b = decode_tif(temp_path("rgba.tif"));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->alpha[0] << 8 | b->alpha[1], 77 << 8 | 200);
}

// A little-endian TIFF laid out by hand: 8-bit grey, one strip of strip_bytes claimed and
// data_bytes present.
Bytes tif_by_hand(uint32_t width, uint32_t height, uint32_t strip_bytes, uint32_t data_bytes) {
    Bytes b = {'I', 'I', 42, 0, 8, 0, 0, 0, 9, 0};
    const uint16_t tags[][2] = {{256, 4}, {257, 4}, {258, 3}, {259, 3}, {262, 3},
                                {273, 4}, {277, 3}, {278, 4}, {279, 4}};
    const uint32_t values[] = {width, height, 8, 1, 1, 8 + 2 + 9 * 12 + 4, 1, height, strip_bytes};
    for (int i = 0; i < 9; i++)
        for (uint32_t v : {(uint32_t)tags[i][0] | (uint32_t)tags[i][1] << 16, 1u, values[i]})
            put32(&b, v);
    put32(&b, 0);
    for (uint32_t i = 0; i < data_bytes; i++)
        b.push_back((uint8_t)i);
    return b;
}

TEST(GformatTif, refused_layouts_give_their_texts) {
    const char* const bits = "TIF: only 1, 4 or 8 bits per channel allowed.";
    const char* const unknown = "TIF: unknown error.";
    const auto rgb = PHOTOMETRIC_RGB;
    const struct {
        const char* name;
        TifSpec spec;
        const char* text;
    } cases[] = {
        // clang-format off
        {"orientation-3", {.width = 2, .samples = 3, .photometric = rgb, .orientation = ORIENTATION_BOTRIGHT,
                           .rows = {{1, 2, 3, 4, 5, 6}}}, "TIF: wrong orientation."},
        {"planar-2", {.width = 2, .samples = 3, .photometric = rgb, .planar = PLANARCONFIG_SEPARATE,
                      .rows = {{1, 2, 3, 4, 5, 6}}}, "TIF: invalid planar configuration."},
        {"photometric-5", {.width = 2, .samples = 4, .photometric = PHOTOMETRIC_SEPARATED, .rows = {Bytes(8, 1)}},
         "TIF: invalid photometric."},
        {"grey16", {.width = 2, .bits = 16, .rows = {{1, 2, 3, 4}}}, bits},
        {"deflate", {.width = 2, .samples = 3, .photometric = rgb, .compression = COMPRESSION_ADOBE_DEFLATE,
                     .rows = {{1, 2, 3, 4, 5, 6}}}, "TIF: unsupported compression method."},
        {"grey4-two-samples", {.width = 2, .bits = 4, .samples = 2, .rows = {{0x12}}}, unknown},
        {"rgb-one-sample", {.width = 2, .photometric = rgb, .rows = {{1, 2}}}, unknown},
        {"palette1-colour", {.width = 8, .bits = 1, .photometric = PHOTOMETRIC_PALETTE, .red = {0, 65535},
                             .green = {65535, 0}, .blue = {0, 0}, .rows = {{0x55}}}, unknown},
        // clang-format on
    };
    for (const auto& c : cases) {
        const std::string path = temp_path(std::string(c.name) + ".tif");
        ASSERT_TRUE(write_tif(path, c.spec)) << c.name;
        const Bytes bytes = read_file(path);
        write_fuzz_seed("fuzz_tiff", ("bad-" + std::string(c.name)).c_str(), bytes.data(), bytes.size());
        int w, h, kind;
        EXPECT_EQ(gformat_tif_info(path.c_str(), &w, &h, &kind), 0) << c.name;
        EXPECT_STREQ(gformat_last_error(), c.text) << c.name;
        PicPtr b(pic_create(2, 1, IMG_24BIT));
        EXPECT_EQ(gformat_tif_read(b.get(), path.c_str()), 0) << c.name;
    }

    const std::string junk = temp_path("junk.tif");
    write_file(junk, {'I', 'I', 42, 0, 0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3});
    for (const std::string& path : {temp_path("missing.tif"), junk}) {
        int w, h, kind;
        EXPECT_EQ(gformat_tif_info(path.c_str(), &w, &h, &kind), 0);
        EXPECT_STREQ(gformat_last_error(), "TIF: cannot open file.");
    }
}

TEST(GformatTif, lying_sizes_and_missing_rows) {
    const std::string path = temp_path("hand.tif");
    const Bytes good = tif_by_hand(4, 2, 8, 8);
    write_fuzz_seed("fuzz_tiff", "hand", good.data(), good.size());
    write_file(path, good);
    PicPtr b = decode_tif(path);
    ASSERT_NE(b, nullptr) << gformat_last_error();
    EXPECT_EQ(pixel_of(b.get(), 3, 1), 7u);

    int w, h, kind;
    for (auto [width, height] :
         {std::pair<uint32_t, uint32_t>{16384, 16384}, {0xFFFFFFFF, 0xFFFFFFFF}, {20000, 10}}) {
        const Bytes lie = tif_by_hand(width, height, 100, 100);
        write_file(path, lie);
        EXPECT_EQ(gformat_tif_info(path.c_str(), &w, &h, &kind), 0) << width;
        EXPECT_EQ(std::strncmp(gformat_last_error(), "TIF: ", 5), 0) << gformat_last_error();
        if (width == 20000) write_fuzz_seed("fuzz_tiff", "lying-size", lie.data(), lie.size());
    }
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

// --- PNG and WebP ---

// Keeps the file as a seed and decodes it.
PicPtr decode_new(const char* seed, const Bytes& bytes, bool png) {
    write_fuzz_seed(png ? "fuzz_png" : "fuzz_webp", seed, bytes.data(), bytes.size());
    FILE* f = file_of(bytes);
    PicPtr b = png ? decode_with(gformat_png_info, gformat_png_read, f)
                   : decode_with(gformat_webp_info, gformat_webp_read, f);
    std::fclose(f);
    return b;
}

// What a libwebp encoder returned in *out, which is freed.
Bytes webp_of(size_t size, uint8_t* const* out) {
    const Bytes bytes(*out, *out + size);
    WebPFree(*out);
    return bytes;
}

TEST(GformatPngWebp, every_layout_read_with_transparency_over_white) {
    // Opaque stays, clear gives white, half clear lies between: 0 over white is 127, 100 is 177.
    PicPtr b = decode_new("palette-trns",
                          encode_png({.width = 3,
                                      .colour_type = PNG_COLOR_TYPE_PALETTE,
                                      .palette = {{200, 0, 0}, {0, 0, 255}, {0, 100, 0}},
                                      .transparency = {255, 0, 128},
                                      .rows = {0, 1, 2}}),
                          true);
    uint8_t* out = nullptr;
    const uint8_t bgra[] = {0, 0, 200, 255, 0, 0, 255, 0, 0, 100, 0, 128};
    PicPtr w = decode_new("lossless", webp_of(WebPEncodeLosslessBGRA(bgra, 3, 1, 12, &out), &out), false);
    ASSERT_TRUE(b && w) << gformat_last_error();
    for (const PicPtr* p : {&b, &w})
        for (auto [x, value] : {std::pair{0, 0xC80000u}, {1, 0xFFFFFFu}, {2, 0x7FB17Fu}})
            EXPECT_EQ(pixel_of(p->get(), x, 0), value) << (p == &w) << " " << x;
    // 16 bits: the high byte of each sample.
    b = decode_new("rgb16",
                   encode_png({.width = 1, .bits = 16, .rows = {0x12, 0x12, 0x34, 0x34, 0xFE, 0xFE}}), true);
    EXPECT_EQ(pixel_of(b.get(), 0, 0), 0x1234FEu);

    // Grey 30 x with alpha 31 y: an interlaced file gives what a plain one does.
    PngSpec spec = {.width = 9, .height = 9, .colour_type = PNG_COLOR_TYPE_GRAY_ALPHA};
    for (int i = 0; i < 81; i++)
        spec.rows.insert(spec.rows.end(), {(uint8_t)(30 * (i % 9)), (uint8_t)(31 * (i / 9))});
    b = decode_new("grey-alpha", encode_png(spec), true);
    spec.interlaced = true;
    PicPtr adam7 = decode_new("grey-alpha-interlaced", encode_png(spec), true);
    ASSERT_TRUE(b && adam7);
    EXPECT_EQ(std::memcmp(b->pixels, adam7->pixels, 9 * 9 * 3), 0);
    EXPECT_EQ(pixel_of(b.get(), 0, 0) ^ pixel_of(b.get(), 2, 4), 0xFFFFFFu ^ 0xA0A0A0u);  // clear; 60 at 124

    PicPtr pic = sample_picture(64, 48);
    w = decode_new("lossy", webp_of(WebPEncodeBGR(pic->pixels, 64, 48, pic->pitch, 90, &out), &out), false);
    ASSERT_NE(w, nullptr) << gformat_last_error();
    EXPECT_LE(mean_difference(pic, w), 600);  // the checker's sharp colour edges cost most
}

// A WebP file of one chunk.
Bytes riff(const char* tag, const Bytes& chunk) {
    Bytes b = text_bytes("RIFF");
    put32(&b, 12 + (uint32_t)chunk.size());
    for (const char* t : {"WEBP", tag})
        b.insert(b.end(), t, t + 4);
    put32(&b, (uint32_t)chunk.size());
    b.insert(b.end(), chunk.begin(), chunk.end());
    return b;
}

TEST(GformatPngWebp, lies_and_cuts_are_refused_before_the_pixels) {
    const Bytes png = encode_png({.width = 40, .height = 30, .rows = Bytes(40 * 30 * 3, 0x5A)});
    PicPtr pic = sample_picture(40, 30);
    uint8_t* out = nullptr;
    const Bytes webp = webp_of(WebPEncodeBGR(pic->pixels, 40, 30, pic->pitch, 80, &out), &out);
    auto header = [](int width, int height) {  // and the start of the pixel data it announces
        Bytes b = encode_png({.width = width, .height = height});
        b.insert(b.end(), {0, 0, 0, 10, 'I', 'D', 'A', 'T'});
        return b;
    };
    const struct {
        const char *seed, *text;  // text null: any
        bool png;
        Bytes bytes;
    } cases[] = {
        {"bad-100-megapixels", "PNG: picture too large", true, header(16384, 6104)},
        {"bad-too-short", "PNG: the file is too short for its picture", true, header(16000, 6000)},
        {"bad-cut", nullptr, true, Bytes(png.begin(), png.begin() + (long)png.size() / 2)},
        // A lossless header of 16384 x 16384; an animation's extended header.
        {"bad-100-megapixels", "WebP: picture too large", false,
         riff("VP8L", {0x2F, 0xFF, 0xFF, 0xFF, 0x0F, 0})},
        {"bad-animated", "WebP: animated pictures are not read", false,
         riff("VP8X", {0x02, 0, 0, 0, 9, 0, 0, 9, 0, 0})},
        {"bad-cut", nullptr, false, Bytes(webp.begin(), webp.begin() + (long)webp.size() / 2)},
    };
    static size_t largest;
    largest = 0;
    pic_install_memory_hooks([](size_t n) { return largest = std::max(largest, n), io_mem_alloc(n); },
                             io_mem_free);
    for (const auto& c : cases) {
        EXPECT_EQ(decode_new(c.seed, c.bytes, c.png), nullptr) << c.seed << c.png;
        EXPECT_STREQ(gformat_last_error(), c.text ? c.text : gformat_last_error()) << c.seed;
    }
    pic_install_memory_hooks(io_mem_alloc, io_mem_free);
    EXPECT_LT(largest, (size_t)1 << 20);
}

}  // namespace
