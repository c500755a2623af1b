// tests/image/gformat_img_test.cpp -- IMG files: sizes, longer stored rows, embedding, guards.
#include "image/gformat_img.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "image/gformat.h"
#include "platform/io_mem.h"
#include "support/fatal_trap.h"

namespace {

using Bytes = std::vector<uint8_t>;

void put32(Bytes& b, size_t at, int32_t v) {
    for (int i = 0; i < 4; i++)
        b[at + i] = (uint8_t)((uint32_t)v >> (8 * i));
}

// A file in memory: tests read and write through a real FILE*.
struct MemFile {
    FILE* f = std::tmpfile();
    ~MemFile() { std::fclose(f); }
    void load(const Bytes& b, long position = 0) {
        std::rewind(f);
        ASSERT_EQ(ftruncate(fileno(f), 0), 0);
        ASSERT_EQ(std::fwrite(b.data(), 1, b.size(), f), b.size());
        std::fflush(f);
        std::fseek(f, position, SEEK_SET);
    }
    Bytes bytes() {
        std::fflush(f);
        std::fseek(f, 0, SEEK_END);
        Bytes b((size_t)std::ftell(f));
        std::rewind(f);
        EXPECT_EQ(std::fread(b.data(), 1, b.size(), f), b.size());
        return b;
    }
};

Image* pattern_image(int w, int h, int kind) {
    Image* im = img_create(w, h, kind);
    const size_t n = io_mem_size(im) - IMG_HEADER_SIZE;
    uint8_t* p = (uint8_t*)im + IMG_HEADER_SIZE;
    for (size_t i = 0; i < n; i++)
        p[i] = (uint8_t)(i * 7 + 3);
    return im;
}

Bytes written(const Image* im) {
    MemFile file;
    EXPECT_TRUE(img_write_image(file.f, im));
    return file.bytes();
}

// A kind 3 file whose rows are stored with the given pitch (surplus bytes 0xEE; a pitch shorter
// than a row keeps only the row's first bytes).
Bytes padded_file(int w, int h, int pitch) {
    Bytes b(IMG_HEADER_SIZE + (size_t)pitch * h, 0xEE);
    const int32_t head[9] = {(int32_t)IMG_MAGIC, w, h, 3, 36, pitch, 0, 3 * w, 0};
    for (int i = 0; i < 9; i++)
        put32(b, 4 * i, head[i]);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < 3 * w && x < pitch; x++)
            b[36 + (size_t)y * pitch + x] = (uint8_t)(y * 16 + x);
    return b;
}

TEST(GformatImg, written_sizes_and_round_trip) {
    for (int kind : {IMG_8BIT, IMG_16BIT, IMG_24BIT, IMG_24BIT | IMG_ALPHA}) {
        Image* im = pattern_image(5, 3, kind);
        const Bytes file = written(im);
        const int bytesPerPixel = (kind & 15) + (kind >> 4);
        EXPECT_EQ(file.size(), 36u + (size_t)bytesPerPixel * 15) << kind;
        EXPECT_EQ(std::memcmp(file.data(), im, file.size()), 0)
            << "a file is the Image record, kind " << kind;
        MemFile f;
        f.load(file);
        Image* back = img_read(f.f);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(io_mem_size(back), io_mem_size(im));
        EXPECT_EQ(std::memcmp(back, im, io_mem_size(im)), 0);
        write_fuzz_seed("fuzz_img",
                        kind == 0x13 ? "alpha"
                        : kind == 1  ? "grey"
                        : kind == 2  ? "word"
                                     : "colour",
                        file.data(), file.size());
        io_mem_free(im);
        io_mem_free(back);
    }
}

TEST(GformatImg, view_rows_written_at_their_pitch) {
    Image* big = pattern_image(6, 4, IMG_24BIT | IMG_ALPHA);
    ImageView v;
    img_view(&v, big, 1, 2);
    v.width = 3;
    MemFile f;
    ASSERT_EQ(gformat_img_write(f.f, &v), 1);
    const Bytes file = f.bytes();
    ASSERT_EQ(file.size(), 36u + 4 * 6);
    EXPECT_EQ(file[24], 36 + 18);  // alpha offset
    EXPECT_EQ(file[28], 3);        // alpha pitch
    EXPECT_EQ(std::memcmp(&file[36 + 9], v.pixels + v.pitch, 9), 0);
    EXPECT_EQ(std::memcmp(&file[54 + 3], v.alpha + v.alphaPitch, 3), 0);
    io_mem_free(big);
}

TEST(GformatImg, longer_rows_and_embedding) {
    Bytes file = padded_file(5, 3, 16);  // rows of 15 bytes stored in 16
    write_fuzz_seed("fuzz_img", "padded", file.data(), file.size());
    Bytes embedded = file;
    embedded.insert(embedded.begin(), 7, 0xAB);
    embedded[0] = 7;  // the fuzz target also reads at the position the first byte names
    write_fuzz_seed("fuzz_img", "embedded", embedded.data(), embedded.size());
    MemFile f;
    f.load(embedded, 7);
    int w, h, kind;
    ASSERT_EQ(gformat_img_info(f.f, &w, &h, &kind), 1);
    EXPECT_EQ(std::ftell(f.f), 7);
    EXPECT_EQ(w * 100 + h * 10 + kind, 533);
    Image* im = img_read(f.f);
    ASSERT_NE(im, nullptr);
    for (int y = 0; y < 3; y++) {
        ImageView v;
        img_view(&v, im, 0, y);
        for (int x = 0; x < 15; x++)
            EXPECT_EQ(v.pixels[x], y * 16 + x) << y << " " << x;
    }
    io_mem_free(im);

    // A pitch shorter than a row cannot describe the rows; the last row's surplus must be there.
    for (Bytes broken : {padded_file(5, 3, 14), padded_file(5, 3, 16)}) {
        if (broken.size() == file.size()) broken.pop_back();
        f.load(broken);
        EXPECT_EQ(img_read(f.f), nullptr);
    }
}

TEST(GformatImg, guards_refuse_before_reading_pixels) {
    const Bytes good = padded_file(5, 3, 15);
    MemFile f;
    f.load(good);
    Image* im = img_read(f.f);
    ASSERT_NE(im, nullptr);

    struct Case {
        const char* what;
        size_t at;
        int32_t value;
    } cases[] = {{"magic", 0, 0x00474D4A},
                 {"magic zero byte", 0, 0x01474D49},
                 {"kind", 12, 4},
                 {"pseudo-kind", 12, IMG_KIND_SCREEN},
                 {"negative width", 4, -5},
                 {"huge height", 8, 1 << 30},
                 {"side limit", 4, 16385},
                 {"colour offset past the end", 16, 37},
                 {"negative offset", 16, -36},
                 {"huge pitch", 20, 0x7FFFFFFF}};
    for (const Case& c : cases) {
        Bytes bad = good;
        put32(bad, c.at, c.value);
        f.load(bad);
        const int before = io_mem_allocated_count();
        gformat_error("");
        EXPECT_EQ(img_read(f.f), nullptr) << c.what;
        EXPECT_STREQ(gformat_last_error(), "IMG loader: unknown error");
        EXPECT_EQ(io_mem_allocated_count(), before) << c.what << ": refused before allocating";
        std::string seed = c.what;
        for (char& ch : seed)
            ch = ch == ' ' ? '-' : ch;
        write_fuzz_seed("fuzz_img", seed.c_str(), bad.data(), bad.size());
    }
    f.load(Bytes(good.begin(), good.begin() + 35));
    int w, h, kind;
    EXPECT_EQ(gformat_img_info(f.f, &w, &h, &kind), 0);
    EXPECT_EQ(std::ftell(f.f), 0);

    // Reading into a view of another size or kind fails and leaves the pixels alone.
    Image* other = img_create(5, 2, IMG_24BIT);
    Image* grey = img_create(5, 3, IMG_8BIT);
    std::memset((uint8_t*)other + 36, 0x55, 30);
    ImageView v;
    for (Image* target : {other, grey}) {
        f.load(good);
        img_view(&v, target, 0, 0);
        EXPECT_EQ(gformat_img_read(&v, f.f), 0);
    }
    EXPECT_EQ(((uint8_t*)other)[36 + 29], 0x55);
    io_mem_free(other);
    io_mem_free(grey);

    // A short plane fails the whole read.
    f.load(Bytes(good.begin(), good.end() - 1));
    img_view(&v, im, 0, 0);
    EXPECT_EQ(gformat_img_read(&v, f.f), 0);
    io_mem_free(im);
}

}  // namespace
