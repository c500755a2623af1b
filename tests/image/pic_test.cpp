// tests/image/pic_test.cpp -- the working picture: the codec chosen by the first bytes, the
// conversion to colour, resampling, export, the data pack's JPEG loader, the memory hooks, and
// refusals of pictures that lie about their size.
// Not yet written: pic_to_image on a 16-bit screen.
#include "image/pic.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "image/gformat_img.h"
#include "image/img.h"
#include "pic_samples.h"
#include "platform/io_mem.h"
#include "resources/dp.h"
#include "resources/packwriter.h"
#include "support/fatal_trap.h"

using namespace pic_samples;

namespace {

// A 4 x 2 24-bit BMP with a different colour in every pixel.
Bytes small_bmp() {
    BmpSpec s;
    s.width = 4;
    s.height = 2;
    for (int i = 0; i < 24; i++)
        s.data.push_back((uint8_t)(i * 10));
    return s.build();
}

Bytes small_jpeg(int kind = IMG_24BIT) {
    PictureBuffer* pic = sample_picture(24, 16, kind);
    Bytes jpg = encode_jpg(pic, 90);
    pic_release(pic);
    return jpg;
}

std::string small_tif_path() {
    TifSpec s;
    s.width = 2;
    s.samples = 4;
    s.photometric = PHOTOMETRIC_RGB;
    s.extra_alpha = true;
    s.rows = {{1, 2, 3, 77, 4, 5, 6, 200}};
    const std::string path = temp_path("rgba-source.tif");
    write_tif(path, s);
    return path;
}

int import_as(const std::string& name, const Bytes& bytes) {
    const std::string path = temp_path(name);
    write_file(path, bytes);
    return pic_import(path.c_str());
}

struct PicTest : ::testing::Test {
    void TearDown() override { pic_free(); }
};

TEST_F(PicTest, import_chooses_the_codec_by_the_first_bytes) {
    const Bytes bmp = small_bmp(), jpg = small_jpeg(), tif = read_file(small_tif_path());
    TifSpec motorola;
    motorola.width = 3;
    motorola.big_endian = true;
    motorola.rows = {{10, 20, 30}};
    write_tif(temp_path("mm.tif"), motorola);
    Image* grey = img_create(5, 1, IMG_8BIT);
    std::memset((uint8_t*)grey + grey->colourOffset, 99, 5);
    FILE* f = std::fopen(temp_path("grey.img").c_str(), "wb");
    ASSERT_EQ(img_write_image(f, grey), 1);
    std::fclose(f);
    io_mem_free(grey);
    // The name plays no part: a BMP named .jpg is as good as any.
    const struct {
        const char* name;
        Bytes bytes;
        int width;
    } readable[] = {{"a.jpg", bmp, 4},
                    {"b.bmp", jpg, 24},
                    {"c.png", tif, 2},
                    {"d", read_file(temp_path("mm.tif")), 3},
                    {"e.tif", read_file(temp_path("grey.img")), 5}};
    for (const auto& c : readable) {
        EXPECT_EQ(import_as(c.name, c.bytes), 1) << c.name;
        int w = 0, h = 0;
        EXPECT_EQ(pic_size(&w, &h), 1);
        EXPECT_EQ(w, c.width) << c.name;
        EXPECT_EQ(pic_working()->kind, IMG_24BIT);
    }
    EXPECT_EQ(pixel_of(pic_working(), 4, 0), 0x636363u);

    // What no codec of the game reads fails before any codec sees it: a PNG named .jpg, a magic
    // one byte off, a file too short for any magic.
    gformat_error("untouched");
    Bytes near_bmp = bmp;
    near_bmp[1] = 'N';
    const Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const std::pair<const char*, Bytes> unreadable[] = {
        {"f.jpg", png}, {"g.bmp", near_bmp}, {"h.jpg", {0xFF}}};
    for (const auto& [name, bytes] : unreadable) {
        EXPECT_EQ(import_as(name, bytes), 0) << name;
        EXPECT_EQ(pic_working(), nullptr);
    }
    EXPECT_STREQ(gformat_last_error(), "untouched");

    EXPECT_EQ(pic_import(temp_path("missing.jpg").c_str()), 0);
    int w = 1, h = 1;
    EXPECT_EQ(pic_size(&w, &h), 0);
    EXPECT_EQ(w + h, 0);
}

TEST_F(PicTest, import_converts_every_kind_to_colour) {
    ASSERT_EQ(import_as("grey.jpg", small_jpeg(IMG_8BIT)), 1);
    const PictureBuffer* p = pic_working();
    EXPECT_EQ(p->kind, IMG_24BIT);
    for (int x = 0; x < p->width; x++) {
        const uint8_t* px = p->pixels + 5 * p->pitch + 3 * x;
        EXPECT_TRUE(px[0] == px[1] && px[1] == px[2]) << x;
    }

    BmpSpec s;
    s.width = 2;
    s.bits = 16;
    s.data = {0x1F, 0x7C, 0x21, 0x04};
    ASSERT_EQ(import_as("555.bmp", s.build()), 1);
    p = pic_working();
    EXPECT_EQ(p->kind, IMG_24BIT);
    EXPECT_EQ(pixel_of(p, 0, 0), 0xFF00FFu);
    EXPECT_EQ(pixel_of(p, 1, 0), 0x080808u);  // 1 * 255 / 31

    ASSERT_EQ(pic_import(small_tif_path().c_str()), 1);
    p = pic_working();
    EXPECT_EQ(p->kind, IMG_24BIT);
    EXPECT_EQ(p->alpha, nullptr);
    EXPECT_EQ(pixel_of(p, 1, 0), 0x040506u);
}

TEST_F(PicTest, lying_and_truncated_pictures_fail_without_large_allocations) {
    static size_t largest;
    largest = 0;
    pic_install_memory_hooks(
        [](size_t size) {
            largest = std::max(largest, size);
            return io_mem_alloc(size);
        },
        io_mem_free, io_mem_realloc);

    BmpSpec tall;
    tall.width = 1;
    tall.height = 16384;
    tall.data = Bytes(4, 0);
    EXPECT_EQ(import_as("tall.bmp", tall.build()), 0);
    BmpSpec wide;
    wide.width = 16384;
    wide.height = 6103;
    wide.data = Bytes(64, 0);
    EXPECT_EQ(import_as("wide.bmp", wide.build()), 0);
    BmpSpec cut;
    cut.width = 100;
    cut.height = 100;
    cut.data = Bytes(300 * 100 - 1, 0);
    EXPECT_EQ(import_as("cut.bmp", cut.build()), 0);
    EXPECT_LT(largest, 65536u);
    EXPECT_EQ(pic_working(), nullptr);

    Bytes jpg = small_jpeg();
    for (size_t i = 2; i + 8 < jpg.size(); i++)
        if (jpg[i] == 0xFF && jpg[i + 1] == 0xC0) {
            jpg[i + 5] = 0x9C, jpg[i + 6] = 0x40;  // height 40000
            break;
        }
    EXPECT_EQ(import_as("lie.jpg", jpg), 0);
    EXPECT_STREQ(gformat_last_error(), "JPG: picture too large");
    EXPECT_LT(largest, 65536u);

    pic_install_memory_hooks(io_mem_alloc, io_mem_free, io_mem_realloc);
}

TEST_F(PicTest, buffers_hold_their_planes_in_one_block) {
    EXPECT_EQ(pic_create(4, 4, 0), nullptr);
    EXPECT_EQ(pic_create(4, 4, IMG_ALPHA), nullptr);
    EXPECT_EQ(pic_create(0, 4, 3), nullptr);
    EXPECT_EQ(pic_create(16385, 1, 1), nullptr);
    PictureBuffer* b = pic_create(5, 3, IMG_24BIT | IMG_ALPHA);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->pitch, 15);
    EXPECT_EQ(b->alphaPitch, 5);
    EXPECT_EQ(b->alpha, b->pixels + 45);
    EXPECT_GE(io_mem_size(b), (size_t)((uint8_t*)b->alpha - (uint8_t*)b) + 15);
    pic_release(b);
    b = pic_create(3, 2, IMG_8BIT);
    EXPECT_EQ(b->alpha, nullptr);
    EXPECT_EQ(b->pitch, 3);
    pic_release(b);

    EXPECT_TRUE(pic_size_ok(16384, 6103, 0x13));
    EXPECT_FALSE(pic_size_ok(16384, 6104, 1));  // over 100 megapixels
    EXPECT_FALSE(pic_size_ok(16385, 1, 1));
    EXPECT_FALSE(pic_size_ok(1, 0, 1));
    EXPECT_FALSE(pic_size_ok(-5, -5, 3));
    EXPECT_FALSE(pic_size_ok(1LL << 40, 1LL << 40, 3));
    EXPECT_FALSE(pic_size_ok(5, 5, 0));
}

TEST_F(PicTest, resample_replaces_the_picture_and_to_image_copies_it) {
    ASSERT_EQ(import_as("four.bmp", small_bmp()), 1);
    const PictureBuffer* before = pic_working();
    const uint32_t top[4] = {pixel_of(before, 0, 0), pixel_of(before, 1, 0), pixel_of(before, 2, 0),
                             pixel_of(before, 3, 0)};
    ASSERT_EQ(pic_resample(7, 2, 0), 1);  // nearest: columns 0, 1, 1, 2, 2, 3, 3
    const PictureBuffer* after = pic_working();
    EXPECT_EQ(after->width, 7);
    EXPECT_EQ(after->kind, IMG_24BIT);
    const int column[7] = {0, 1, 1, 2, 2, 3, 3};
    for (int x = 0; x < 7; x++)
        EXPECT_EQ(pixel_of(after, x, 0), top[column[x]]) << x;

    Image* image = pic_to_image();
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->kind, IMG_24BIT);
    EXPECT_EQ(image->width, 7);
    EXPECT_EQ(image->height, 2);
    EXPECT_EQ(std::memcmp((uint8_t*)image + image->colourOffset, after->pixels, 42), 0);
    EXPECT_EQ(pic_working(), after);  // the working picture stays
    io_mem_free(image);

    PictureBuffer* uniform = pic_working();
    for (int i = 0; i < 42; i++)
        uniform->pixels[i] = (uint8_t)(i % 3 == 0 ? 90 : 30);
    ASSERT_EQ(pic_resample(9, 5, 1), 1);
    for (int y = 0; y < 5; y++)
        for (int x = 0; x < 9; x++)
            EXPECT_EQ(pixel_of(pic_working(), x, y), 0x1E1E5Au);

    pic_free();
    EXPECT_EQ(pic_resample(3, 3, 0), 0);
    EXPECT_EQ(pic_to_image(), nullptr);
}

TEST_F(PicTest, saves_bmp_and_jpeg_files) {
    ASSERT_EQ(import_as("src.bmp", small_bmp()), 1);
    ASSERT_EQ(pic_resample(5, 2, 0), 1);
    const std::string bmp_path = temp_path("saved.bmp");
    ASSERT_EQ(pic_save_bmp(bmp_path.c_str()), 1);
    EXPECT_EQ(read_file(bmp_path).size(), 54u + 16 * 2);
    Bytes five(pic_working()->pixels, pic_working()->pixels + 30);

    const std::string jpg_path = temp_path("saved.jpg");
    ASSERT_EQ(pic_save_jpeg(jpg_path.c_str(), 80), 1);
    ASSERT_EQ(pic_import(bmp_path.c_str()), 1);
    EXPECT_EQ(std::memcmp(pic_working()->pixels, five.data(), 30), 0);

    Image* image = pic_load_jpeg_image(jpg_path.c_str());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 5);
    EXPECT_EQ(image->height, 2);
    EXPECT_NE(pic_working(), nullptr);  // loading an image leaves the working picture alone
    io_mem_free(image);

    ASSERT_EQ(import_as("g.jpg", small_jpeg(IMG_8BIT)), 1);
    ASSERT_EQ(pic_save_jpeg(jpg_path.c_str(), 80), 1);
    ASSERT_EQ(pic_load_jpeg(jpg_path.c_str()), 1);
    EXPECT_EQ(pic_working()->kind, IMG_24BIT);  // imported as colour, saved as colour
    EXPECT_EQ(pic_load_jpeg(bmp_path.c_str()), 0);
    EXPECT_EQ(pic_working(), nullptr);
    EXPECT_EQ(pic_load_jpeg_image(bmp_path.c_str()), nullptr);

    EXPECT_EQ(pic_save_bmp(bmp_path.c_str()), 0);  // nothing to save
    EXPECT_EQ(pic_save_jpeg(jpg_path.c_str(), 80), 0);
    ASSERT_EQ(import_as("again.bmp", small_bmp()), 1);
    EXPECT_EQ(pic_save_bmp(temp_path("no-such-folder/x.bmp").c_str()), 0);
}

TEST_F(PicTest, the_cache_loader_decodes_pack_resources_and_stays_inside_them) {
    const Bytes jpg = small_jpeg();
    const std::string folder = temp_path("pack-folder");
    std::filesystem::create_directories(folder + "/img");
    write_file(folder + "/img/pic.jpg", jpg);
    write_file(folder + "/img/bad.jpg", small_bmp());

    ASSERT_EQ(import_as("held.bmp", small_bmp()), 1);
    const PictureBuffer* held = pic_working();

    dp_open(folder + "@");
    Image* image = (Image*)jpg_loader(dp_get_index("img/pic.jpg", 1));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 24);
    EXPECT_EQ(image->height, 16);
    EXPECT_EQ(image->kind, IMG_24BIT);
    Image* direct = pic_load_jpeg_image((folder + "/img/pic.jpg").c_str());
    EXPECT_EQ(std::memcmp(image + 1, direct + 1, 24 * 16 * 3), 0);
    io_mem_free(direct);
    io_mem_free(image);
    EXPECT_EQ(pic_working(), held);  // a cache load does not touch the working picture
    const int bad = dp_get_index("img/bad.jpg", 1);
    EXPECT_EQ(fatal_message_of([&] { (void)jpg_loader(bad); }), "jpg_loader: gformat_jpg_read img/bad.jpg");
    dp_done();

    // In a pack the next resource follows: a cut JPEG must not borrow its bytes.
    const size_t half = jpg.size() * 2 / 3;
    const PackItem items[] = {{"img/whole.jpg", jpg.data(), (uint32_t)jpg.size(), nullptr},
                              {"img/cut.jpg", jpg.data(), (uint32_t)half, nullptr},
                              {"img/rest.bin", jpg.data() + half, (uint32_t)(jpg.size() - half), nullptr}};
    const std::string pack = temp_path("pictures.pck");
    ASSERT_EQ(packwriter_write(pack.c_str(), items, 3), 1);
    dp_open(pack);
    image = (Image*)jpg_loader(dp_get_index("img/whole.jpg", 1));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 24);
    io_mem_free(image);
    const int cut = dp_get_index("img/cut.jpg", 1);
    EXPECT_EQ(fatal_message_of([&] { (void)jpg_loader(cut); }), "jpg_loader: gformat_jpg_read img/cut.jpg");
    // The current file was ended before the fatal path: the pack can be read again.
    image = (Image*)jpg_loader(dp_get_index("img/whole.jpg", 1));
    EXPECT_NE(image, nullptr);
    io_mem_free(image);
    dp_done();
}

TEST_F(PicTest, memory_hooks_carry_every_buffer) {
    static int taken, given_back;
    taken = given_back = 0;
    pic_install_memory_hooks(
        [](size_t size) {
            taken++;
            return io_mem_alloc(size);
        },
        [](void* block) {
            given_back++;
            io_mem_free(block);
        },
        io_mem_realloc);
    ASSERT_EQ(import_as("hooked.bmp", small_bmp()), 1);
    ASSERT_EQ(pic_import(small_tif_path().c_str()), 1);
    ASSERT_EQ(import_as("hooked.jpg", small_jpeg(IMG_8BIT)), 1);
    EXPECT_GE(taken, 6);
    EXPECT_EQ(taken - given_back, 1);  // only the working picture is left
    pic_free();
    EXPECT_EQ(taken, given_back);
    pic_install_memory_hooks(io_mem_alloc, io_mem_free, io_mem_realloc);
    EXPECT_EQ(fatal_message_of([] {
                  pic_install_memory_hooks(nullptr, io_mem_free, io_mem_realloc);
              }).rfind("pic_install_memory_hooks: assertion failed", 0),
              0u);
}

}  // namespace
