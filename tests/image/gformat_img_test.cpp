// tests/image/gformat_img_test.cpp -- IMG files: sizes, longer stored rows, embedding, guards.
#include "image/gformat_img.h"

#include <gtest/gtest.h>

#include <cstring>

#include "image/gformat.h"
#include "platform/io_mem.h"
#include "support/fatal_trap.h"
#include "support/files.h"
#include "support/pictures.h"

namespace {

void pattern(const Pic& p) {
    for (size_t i = IMG_HEADER_SIZE; i < io_mem_size(p.im); i++)
        ((uint8_t*)p.im)[i] = (uint8_t)(i * 7 + 3);
}

// Reads the IMG data of bytes at `at`; null when refused.
Image* read_bytes(const Bytes& bytes, long at = 0) {
    FILE* f = file_of(bytes, at);
    Image* im = img_read(f);
    std::fclose(f);
    return im;
}

// A kind 3 file whose rows are stored with the given pitch (surplus bytes 0xEE; a pitch shorter
// than a row keeps only the row's first bytes).
Bytes padded_file(int w, int h, int pitch) {
    Bytes b;
    for (int32_t v : {(int32_t)IMG_MAGIC, w, h, 3, 36, pitch, 0, 3 * w, 0})
        put32(&b, (uint32_t)v);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < pitch; x++)
            b.push_back(x < 3 * w ? (uint8_t)(y * 16 + x) : 0xEE);
    return b;
}

TEST(GformatImg, a_file_is_the_image_record_and_reads_back) {
    for (int kind : {IMG_8BIT, IMG_16BIT, IMG_24BIT, IMG_24BIT | IMG_ALPHA}) {
        const Pic pic(5, 3, kind);
        pattern(pic);
        Image* im = pic.im;
        FILE* f = std::tmpfile();
        ASSERT_TRUE(img_write_image(f, im));
        const Bytes file = file_bytes(f);
        std::fclose(f);
        ASSERT_EQ(file.size(), 36u + (size_t)((kind & 15) + (kind >> 4)) * 15) << kind;
        EXPECT_EQ(std::memcmp(file.data(), im, file.size()), 0) << kind;
        const Pic back(read_bytes(file));
        ASSERT_NE(back.im, nullptr);
        EXPECT_EQ(io_mem_size(back.im), io_mem_size(im));
        EXPECT_EQ(std::memcmp(back.im, im, io_mem_size(im)), 0);
        const char* seed = kind == 0x13 ? "alpha" : kind == 1 ? "grey" : kind == 2 ? "word" : "colour";
        write_fuzz_seed("fuzz_img", seed, file.data(), file.size());
    }

    // A view is written at its own width, rows taken at the view's pitch.
    const Pic big(6, 4, IMG_24BIT | IMG_ALPHA);
    pattern(big);
    ImageView v = big.view(1, 2);
    v.width = 3;
    FILE* f = std::tmpfile();
    ASSERT_EQ(gformat_img_write(f, &v), 1);
    const Bytes file = file_bytes(f);
    std::fclose(f);
    ASSERT_EQ(file.size(), 36u + 4 * 6);
    EXPECT_EQ(file[24] * 100 + file[28], (36 + 18) * 100 + 3);  // alpha offset and pitch
    EXPECT_EQ(std::memcmp(&file[36 + 9], v.pixels + v.pitch, 9), 0);
    EXPECT_EQ(std::memcmp(&file[54 + 3], v.alpha + v.alphaPitch, 3), 0);
}

TEST(GformatImg, longer_rows_and_embedding) {
    const Bytes file = padded_file(5, 3, 16);  // rows of 15 bytes stored in 16
    write_fuzz_seed("fuzz_img", "padded", file.data(), file.size());
    Bytes embedded = file;
    embedded.insert(embedded.begin(), 7, 0xAB);
    embedded[0] = 7;  // the fuzz target also reads at the position the first byte names
    write_fuzz_seed("fuzz_img", "embedded", embedded.data(), embedded.size());
    FILE* f = file_of(embedded, 7);
    int w, h, kind;
    ASSERT_EQ(gformat_img_info(f, &w, &h, &kind), 1);
    EXPECT_EQ(std::ftell(f), 7);
    EXPECT_EQ(w * 100 + h * 10 + kind, 533);
    const Pic back(img_read(f));
    std::fclose(f);
    ASSERT_NE(back.im, nullptr);
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 15; x++)
            EXPECT_EQ(back.at(0, y)[x], y * 16 + x) << y << " " << x;

    // A pitch shorter than a row cannot describe the rows; the last row's surplus must be there.
    EXPECT_EQ(read_bytes(padded_file(5, 3, 14)), nullptr);
    EXPECT_EQ(read_bytes(Bytes(file.begin(), file.end() - 1)), nullptr);
}

TEST(GformatImg, guards_refuse_before_reading_pixels) {
    const Bytes good = padded_file(5, 3, 15);
    const struct {
        const char* seed;
        size_t at;
        int32_t value;
    } cases[] = {{"magic", 0, 0x00474D4A},
                 {"magic-zero-byte", 0, 0x01474D49},
                 {"kind", 12, 4},
                 {"pseudo-kind", 12, IMG_KIND_SCREEN},
                 {"negative-width", 4, -5},
                 {"huge-height", 8, 1 << 30},
                 {"side-limit", 4, 16385},
                 {"colour-offset-past-the-end", 16, 37},
                 {"negative-offset", 16, -36},
                 {"huge-pitch", 20, 0x7FFFFFFF}};
    for (const auto& c : cases) {
        Bytes bad = good;
        set32(&bad, c.at, (uint32_t)c.value);
        write_fuzz_seed("fuzz_img", c.seed, bad.data(), bad.size());
        const int before = io_mem_allocated_count();
        gformat_error("");
        EXPECT_EQ(read_bytes(bad), nullptr) << c.seed;
        EXPECT_STREQ(gformat_last_error(), "IMG loader: unknown error");
        EXPECT_EQ(io_mem_allocated_count(), before) << c.seed << ": refused before allocating";
    }
    FILE* f = file_of(Bytes(good.begin(), good.begin() + 35));
    int w, h, kind;
    EXPECT_EQ(gformat_img_info(f, &w, &h, &kind), 0);
    EXPECT_EQ(std::ftell(f), 0);
    std::fclose(f);

    // Reading into a view of another size or kind, or from a short plane, fails; a refused
    // view keeps its pixels.
    const Pic other(5, 2, IMG_24BIT), grey(5, 3, IMG_8BIT), right(5, 3, IMG_24BIT);
    other.set(Bytes(30, 0x55));
    for (auto [target, bytes] :
         {std::pair{&other, good}, {&grey, good}, {&right, Bytes(good.begin(), good.end() - 1)}}) {
        ImageView v = target->view();
        f = file_of(bytes);
        EXPECT_EQ(gformat_img_read(&v, f), 0);
        std::fclose(f);
    }
    EXPECT_EQ(other.plane(), Bytes(30, 0x55));
}

}  // namespace
