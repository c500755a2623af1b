// tests/resources/tagfile_test.cpp -- byte layouts worked out by hand, record round trips, and
// one fault per parser guard of the tagged file primitives.
#include "resources/tagfile.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include "puzzle/save.h"
#include "support/fatal_trap.h"
#include "support/files.h"

namespace {

// The records are tried on the summary a saved game keeps (puzzle/save.h).
const SaveInfo SAMPLE = {3725, "Tuesday, 4 March 2003", -7, 0x01020304};

TEST(tagfile, tags_chunk_heads_and_records_are_little_endian_in_table_order) {
    EXPECT_EQ(file_tag("QICK"), 0x4B434951u);
    FILE* f = std::tmpfile();
    file_write_tag(f, file_tag("BOX1"));
    chunk_write_head(f, 20, 0x0A0B0C0D);
    EXPECT_EQ(file_bytes(f), (Bytes{'B', 'O', 'X', '1', 20, 0, 0, 0, 0x0D, 0x0C, 0x0B, 0x0A}));
    std::fclose(f);

    f = std::tmpfile();
    ASSERT_EQ(record_write(f, saveinfo_fields, &SAMPLE), 1);
    const Bytes got = file_bytes(f);
    std::fclose(f);
    Bytes want, date(64, 0);
    std::memcpy(date.data(), "Tuesday, 4 March 2003", 21);
    put_chunk(&want, 1, le32(3725));
    put_chunk(&want, 2, date);
    put_chunk(&want, 3, Bytes{0xF9, 0xFF, 0xFF, 0xFF});
    put_chunk(&want, 4, Bytes{4, 3, 2, 1});
    EXPECT_EQ(got, want);
    write_fuzz_seed("fuzz_record", "summary", got.data(), got.size());
}

TEST(tagfile, record_read_skips_unknown_keeps_missing_and_refuses_wrong_sizes) {
    Bytes today(64, 0);
    std::memcpy(today.data(), "today", 5);
    Bytes unknown, shorter, longer, truncated, partial_head;
    // Chunks out of order, an unknown chunk 9 in the middle, chunk 3 absent.
    put_chunk(&unknown, 4, le32(48));
    put_chunk(&unknown, 9, Bytes(13, 0xEE));
    put_chunk(&unknown, 2, today);
    put_chunk(&unknown, 1, le32(99));
    put_chunk(&shorter, 1, Bytes{1, 2});
    put_chunk(&longer, 3, Bytes(8, 0));
    put_chunk(&truncated, 2, Bytes(64, 'x'));
    truncated.pop_back();  // right size in the head but the data end early
    put_chunk(&partial_head, 3, le32(50));
    partial_head.insert(partial_head.end(), {1, 0});  // a partial head at the end ends the chunks
    write_fuzz_seed("fuzz_record", "unknown-chunk", unknown.data(), unknown.size());
    write_fuzz_seed("fuzz_record", "truncated", truncated.data(), truncated.size());

    const struct {
        const char* what;
        const Bytes& bytes;
        int result;
        int32_t seconds, percent, pieces;
        const char* date;  // null: not looked at
    } cases[] = {{"unknown", unknown, 1, 99, -7, 48, "today"},
                 {"empty", Bytes(), 1, 3725, -7, 0x01020304, SAMPLE.date},
                 {"shorter", shorter, 0, 3725, -7, 0x01020304, SAMPLE.date},
                 {"longer", longer, 0, 3725, -7, 0x01020304, SAMPLE.date},
                 {"truncated", truncated, 0, 3725, -7, 0x01020304, nullptr},
                 {"partial head", partial_head, 1, 3725, 50, 0x01020304, SAMPLE.date}};
    for (const auto& c : cases) {
        SaveInfo s = SAMPLE;
        FILE* f = file_of(c.bytes);
        EXPECT_EQ(record_read(f, saveinfo_fields, &s), c.result) << c.what;
        std::fclose(f);
        EXPECT_EQ(s.elapsedSeconds, c.seconds) << c.what;
        EXPECT_EQ(s.percent, c.percent) << c.what;
        EXPECT_EQ(s.pieceCount, c.pieces) << c.what;
        EXPECT_STREQ(c.date ? s.date : nullptr, c.date) << c.what;
    }
}

TEST(tagfile, chunk_seek_and_truncated_heads) {
    Bytes in;
    put_chunk(&in, 100, Bytes(16, 1));
    put_chunk(&in, 7, Bytes{});
    put_chunk(&in, 101, Bytes{5, 6, 7, 8});
    write_fuzz_seed("fuzz_record", "seek", in.data(), in.size());
    FILE* f = file_of(in);
    uint32_t id = 0, size = 0, tag;
    ASSERT_EQ(chunk_seek(f, 101, &id, &size), 1);
    EXPECT_EQ(id * 10 + size, 1014u);
    uint8_t data[4];
    ASSERT_EQ(file_read_bytes(f, data, 4), 1);
    EXPECT_EQ(data[0], 5);
    std::rewind(f);
    EXPECT_EQ(chunk_seek(f, 55, &id, &size), 0);
    std::fclose(f);

    FileStamp stamp;
    const auto failed = [](const Bytes& bytes, auto read) {
        FILE* file = file_of(bytes);
        const int result = read(file);
        std::fclose(file);
        return result == 0;
    };
    EXPECT_TRUE(failed({'B', 'O', 'X'}, [&](FILE* file) { return file_read_tag(file, &tag); }));
    EXPECT_TRUE(failed({'B', 'O', 'X'}, [](FILE* file) { return file_check_tag(file, file_tag("BOX1")); }));
    EXPECT_TRUE(
        failed({'B', 'O', 'X', '2'}, [](FILE* file) { return file_check_tag(file, file_tag("BOX1")); }));
    EXPECT_TRUE(failed(Bytes(15, 1), [&](FILE* file) { return file_read_stamp(file, &stamp); }));
    EXPECT_TRUE(failed(Bytes(7, 1), [&](FILE* file) { return chunk_read_head(file, &id, &size); }));
}

TEST(tagfile, stamps_and_the_tag_written_last) {
    // Tag 0 first, patched in when the rest is written.
    const FileStamp stamp = {0x11223344, -2, 32767, 125};
    FILE* f = std::tmpfile();
    ASSERT_EQ(file_write_tag(f, 0), 1);
    ASSERT_EQ(file_write_stamp(f, &stamp), 1);
    ASSERT_EQ(file_write_u32(f, 1), 1);
    ASSERT_EQ(record_write(f, saveinfo_fields, &SAMPLE), 1);
    const Bytes stamp_bytes = {0x44, 0x33, 0x22, 0x11, 0xFE, 0xFF, 0xFF, 0xFF,
                               0xFF, 0x7F, 0,    0,    125,  0,    0,    0};
    const Bytes written = file_bytes(f);
    EXPECT_EQ(Bytes(written.begin() + 4, written.begin() + 20), stamp_bytes);
    std::rewind(f);
    EXPECT_EQ(file_check_tag(f, file_tag("QICK")), 0);  // interrupted here: not recognised
    std::rewind(f);
    ASSERT_EQ(file_write_tag(f, file_tag("QICK")), 1);
    std::rewind(f);
    uint32_t version = 0;
    FileStamp other = stamp;
    SaveInfo back = {};
    EXPECT_EQ(file_check_tag(f, file_tag("QICK")), 1);
    EXPECT_EQ(file_read_stamp(f, &other), 1);
    EXPECT_EQ(std::memcmp(&other, &stamp, 16), 0);
    EXPECT_EQ(file_read_u32(f, &version), 1);
    EXPECT_EQ(version, 1u);
    EXPECT_EQ(record_read(f, saveinfo_fields, &back), 1);
    EXPECT_EQ(std::memcmp(&back, &SAMPLE, sizeof back), 0);
    std::fseek(f, 4, SEEK_SET);
    EXPECT_EQ(file_check_stamp(f, &stamp), 1);
    other.random = 0;
    std::fseek(f, 4, SEEK_SET);
    EXPECT_EQ(file_check_stamp(f, &other), 0);
    std::fseek(f, 0, SEEK_END);
    EXPECT_EQ(file_check_stamp(f, &stamp), 0);  // at the end: nothing left to read
    std::fclose(f);
}

std::vector<size_t> g_pieces;  // sizes of the writes a copy made

TEST(tagfile, file_copy_bytes_moves_1024_byte_pieces) {
    Bytes source(3000);
    for (size_t i = 0; i < source.size(); i++)
        source[i] = (uint8_t)(i * 7);
    FILE* from = file_of(source, 100);  // copies from the current position
    const auto write = [](void*, const char*, size_t n) { return g_pieces.push_back(n), (ssize_t)n; };
    cookie_io_functions_t io = {nullptr, write, nullptr, nullptr};
    FILE* to = fopencookie(nullptr, "wb", io);
    ASSERT_NE(to, nullptr);
    std::setvbuf(to, nullptr, _IONBF, 0);
    g_pieces.clear();
    EXPECT_EQ(file_copy_bytes(to, from, 2500), 1);
    EXPECT_EQ(g_pieces, (std::vector<size_t>{1024, 1024, 452}));
    EXPECT_EQ(std::ftell(from), 2600);
    EXPECT_EQ(file_copy_bytes(to, from, 0) * 10 + g_pieces.size(), 13u);  // nothing more copied
    EXPECT_EQ(file_copy_bytes(to, from, 401), 0);                         // only 400 bytes left
    std::fclose(to);

    FILE* out = std::tmpfile();
    std::rewind(from);
    ASSERT_EQ(file_copy_bytes(out, from, 3000), 1);
    ASSERT_EQ(std::fseek(out, 17, SEEK_SET), 0);
    EXPECT_EQ(file_length(out), 3000);
    EXPECT_EQ(std::ftell(out), 17);  // position kept
    EXPECT_EQ(file_bytes(out), source);
    std::fclose(out);
    std::fclose(from);
}

}  // namespace
