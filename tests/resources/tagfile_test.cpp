// tests/resources/tagfile_test.cpp -- byte layouts worked out by hand, record round trips, and
// one fault per parser guard of the tagged file primitives.
// Not yet written: a write failure half-way through record_write (needs a full disk).
#include "resources/tagfile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "base/str.h"
#include "support/fatal_trap.h"

namespace {

// A summary record like the one a saved game keeps.
struct Summary {
    int32_t seconds;
    char date[64];
    int32_t percent;
    int32_t pieces;
};
const FieldEntry SUMMARY_FIELDS[] = {
    {1, 4, offsetof(Summary, seconds)},
    {2, 64, offsetof(Summary, date)},
    {3, 4, offsetof(Summary, percent)},
    {4, 4, offsetof(Summary, pieces)},
    {0, 0, 0},
};

using Bytes = std::vector<uint8_t>;

void put32(Bytes* b, uint32_t v) {
    for (int i = 0; i < 4; i++)
        b->push_back((uint8_t)(v >> (8 * i)));
}

void put_chunk(Bytes* b, uint32_t id, const Bytes& data) {
    put32(b, id);
    put32(b, (uint32_t)data.size());
    b->insert(b->end(), data.begin(), data.end());
}

Bytes le32(uint32_t v) {
    Bytes b;
    put32(&b, v);
    return b;
}

// A read stream over bytes (a copy, so the stream may outlive the argument).
struct MemFile {
    Bytes bytes;
    FILE* f;
    explicit MemFile(Bytes b) : bytes(std::move(b)) {
        f = bytes.empty() ? std::tmpfile() : fmemopen(bytes.data(), bytes.size(), "rb");
    }
    ~MemFile() { std::fclose(f); }
};

Bytes written_by(void (*write)(FILE*)) {
    FILE* f = std::tmpfile();
    write(f);
    long n = std::ftell(f);
    Bytes out((size_t)n);
    std::rewind(f);
    EXPECT_EQ(std::fread(out.data(), 1, out.size(), f), out.size());
    std::fclose(f);
    return out;
}

Summary sample_summary() {
    Summary s = {};
    s.seconds = 3725;
    std::strcpy(s.date, "Tuesday, 4 March 2003");
    s.percent = -7;
    s.pieces = 0x01020304;
    return s;
}

}  // namespace

TEST(tagfile, tags_and_numbers_are_little_endian) {
    EXPECT_EQ(file_tag("BOX1"), 0x31584F42u);
    EXPECT_EQ(file_tag("QICK"), 0x4B434951u);
    EXPECT_EQ(file_tag("TEMP"), 0x504D4554u);
    EXPECT_EQ(file_tag("PRVW"), 0x57565250u);
    EXPECT_EQ(file_tag("GALL"), 0x4C4C4147u);
    Bytes got = written_by([](FILE* f) {
        file_write_tag(f, file_tag("BOX1"));
        chunk_write_head(f, 20, 0x0A0B0C0D);
    });
    EXPECT_EQ(got, (Bytes{'B', 'O', 'X', '1', 20, 0, 0, 0, 0x0D, 0x0C, 0x0B, 0x0A}));
}

TEST(tagfile, record_write_lays_out_chunks_in_table_order) {
    Bytes got = written_by([](FILE* f) {
        Summary s = sample_summary();
        ASSERT_EQ(record_write(f, SUMMARY_FIELDS, &s), 1);
    });
    Bytes want;
    put_chunk(&want, 1, le32(3725));
    Bytes date(64, 0);
    std::memcpy(date.data(), "Tuesday, 4 March 2003", 21);
    put_chunk(&want, 2, date);
    put_chunk(&want, 3, Bytes{0xF9, 0xFF, 0xFF, 0xFF});
    put_chunk(&want, 4, Bytes{4, 3, 2, 1});
    EXPECT_EQ(got, want);
    EXPECT_EQ(got.size(), 4u * 8 + 4 + 64 + 4 + 4);
    write_fuzz_seed("fuzz_record", "summary", got.data(), got.size());
}

TEST(tagfile, record_read_round_trip_skips_unknown_and_keeps_missing) {
    // Chunks out of order, an unknown chunk 9 in the middle, chunk 3 absent.
    Bytes in;
    put_chunk(&in, 4, le32(48));
    put_chunk(&in, 9, Bytes(13, 0xEE));
    Bytes date(64, 0);
    std::memcpy(date.data(), "today", 5);
    put_chunk(&in, 2, date);
    put_chunk(&in, 1, le32(99));
    write_fuzz_seed("fuzz_record", "unknown-chunk", in.data(), in.size());
    MemFile m(in);
    Summary s = sample_summary();
    ASSERT_EQ(record_read(m.f, SUMMARY_FIELDS, &s), 1);
    EXPECT_EQ(s.seconds, 99);
    EXPECT_STREQ(s.date, "today");
    EXPECT_EQ(s.percent, -7);  // no chunk: unchanged
    EXPECT_EQ(s.pieces, 48);

    // Nothing but a head: every field unchanged, success.
    MemFile empty(Bytes{});
    Summary t = sample_summary();
    EXPECT_EQ(record_read(empty.f, SUMMARY_FIELDS, &t), 1);
    EXPECT_EQ(t.seconds, 3725);
}

TEST(tagfile, record_read_refuses_wrong_sizes_and_truncation) {
    Summary s = sample_summary();
    {  // A known chunk shorter than its field.
        Bytes in;
        put_chunk(&in, 1, Bytes{1, 2});
        MemFile m(in);
        EXPECT_EQ(record_read(m.f, SUMMARY_FIELDS, &s), 0);
    }
    {  // Longer than its field.
        Bytes in;
        put_chunk(&in, 3, Bytes(8, 0));
        MemFile m(in);
        EXPECT_EQ(record_read(m.f, SUMMARY_FIELDS, &s), 0);
    }
    {  // Right size in the head but the data end early.
        Bytes in;
        put_chunk(&in, 2, Bytes(64, 'x'));
        in.pop_back();
        write_fuzz_seed("fuzz_record", "truncated", in.data(), in.size());
        MemFile m(in);
        EXPECT_EQ(record_read(m.f, SUMMARY_FIELDS, &s), 0);
    }
    EXPECT_EQ(s.seconds, 3725);
    EXPECT_EQ(s.percent, -7);
    {  // A partial head at the end is the end of the chunks.
        Bytes in;
        put_chunk(&in, 3, le32(50));
        in.push_back(1);
        in.push_back(0);
        MemFile m(in);
        EXPECT_EQ(record_read(m.f, SUMMARY_FIELDS, &s), 1);
        EXPECT_EQ(s.percent, 50);
    }
}

TEST(tagfile, chunk_seek_skips_to_the_wanted_data) {
    Bytes in;
    put_chunk(&in, 100, Bytes(16, 1));
    put_chunk(&in, 7, Bytes{});
    put_chunk(&in, 101, Bytes{5, 6, 7, 8});
    write_fuzz_seed("fuzz_record", "seek", in.data(), in.size());
    MemFile m(in);
    uint32_t id = 0, size = 0;
    ASSERT_EQ(chunk_seek(m.f, 101, &id, &size), 1);
    EXPECT_EQ(id, 101u);
    EXPECT_EQ(size, 4u);
    uint8_t data[4];
    ASSERT_EQ(file_read_bytes(m.f, data, 4), 1);
    EXPECT_EQ(data[0], 5);
    std::rewind(m.f);
    EXPECT_EQ(chunk_seek(m.f, 55, &id, &size), 0);
}

TEST(tagfile, stamp_round_trip_and_check) {
    std::time_t before = std::time(nullptr);
    FileStamp stamp;
    stamp_make(&stamp);
    std::time_t after = std::time(nullptr);
    EXPECT_GE(stamp.time, (int32_t)before);
    EXPECT_LE(stamp.time, (int32_t)after);
    EXPECT_GE(stamp.random, 0);
    EXPECT_LE(stamp.random, 32767);
    EXPECT_EQ(stamp.version, 125);

    FileStamp fixed = {0x11223344, -2, 32767, 125};
    FILE* f = std::tmpfile();
    ASSERT_EQ(file_write_stamp(f, &fixed), 1);
    std::rewind(f);
    uint8_t raw[16];
    ASSERT_EQ(file_read_bytes(f, raw, 16), 1);
    const uint8_t want[16] = {0x44, 0x33, 0x22, 0x11, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 125, 0, 0, 0};
    EXPECT_EQ(std::memcmp(raw, want, 16), 0);
    std::rewind(f);
    FileStamp back;
    ASSERT_EQ(file_read_stamp(f, &back), 1);
    EXPECT_EQ(std::memcmp(&back, &fixed, 16), 0);
    std::rewind(f);
    EXPECT_EQ(file_check_stamp(f, &fixed), 1);
    FileStamp other = fixed;
    other.random = 0;
    std::rewind(f);
    EXPECT_EQ(file_check_stamp(f, &other), 0);
    EXPECT_EQ(file_check_stamp(f, &fixed), 0);  // at the end: nothing left to read
    std::fclose(f);
}

TEST(tagfile, truncated_heads_fail) {
    FileStamp stamp;
    uint32_t tag;
    MemFile three(Bytes{'B', 'O', 'X'});
    EXPECT_EQ(file_read_tag(three.f, &tag), 0);
    std::rewind(three.f);
    EXPECT_EQ(file_check_tag(three.f, file_tag("BOX1")), 0);
    MemFile fifteen(Bytes(15, 1));
    EXPECT_EQ(file_read_stamp(fifteen.f, &stamp), 0);
    MemFile seven(Bytes(7, 1));
    uint32_t id, size;
    EXPECT_EQ(chunk_read_head(seven.f, &id, &size), 0);
    MemFile wrong(Bytes{'B', 'O', 'X', '2'});
    EXPECT_EQ(file_check_tag(wrong.f, file_tag("BOX1")), 0);
}

// The whole writing discipline: tag 0 first, patched in when the rest is written.
TEST(tagfile, tagged_file_written_tag_last_reads_back) {
    const FileStamp stamp = {1000, 2000, 3000, 125};
    const Summary s = sample_summary();
    FILE* f = std::tmpfile();
    ASSERT_EQ(file_write_tag(f, 0), 1);
    ASSERT_EQ(file_write_stamp(f, &stamp), 1);
    ASSERT_EQ(file_write_u32(f, 1), 1);
    ASSERT_EQ(record_write(f, SUMMARY_FIELDS, &s), 1);
    std::rewind(f);
    EXPECT_EQ(file_check_tag(f, file_tag("QICK")), 0);  // interrupted here: not recognised
    std::rewind(f);
    ASSERT_EQ(file_write_tag(f, file_tag("QICK")), 1);
    std::rewind(f);
    uint32_t version = 0;
    Summary back = {};
    EXPECT_EQ(file_check_tag(f, file_tag("QICK")), 1);
    EXPECT_EQ(file_check_stamp(f, &stamp), 1);
    EXPECT_EQ(file_read_u32(f, &version), 1);
    EXPECT_EQ(version, 1u);
    EXPECT_EQ(record_read(f, SUMMARY_FIELDS, &back), 1);
    EXPECT_EQ(std::memcmp(&back, &s, sizeof s), 0);
    std::fclose(f);
}

namespace {

std::vector<size_t> g_pieces;  // sizes of the writes a copy made

ssize_t record_piece(void*, const char*, size_t n) {
    g_pieces.push_back(n);
    return (ssize_t)n;
}

}  // namespace

TEST(tagfile, file_copy_bytes_moves_1024_byte_pieces) {
    Bytes source(3000);
    for (size_t i = 0; i < source.size(); i++)
        source[i] = (uint8_t)(i * 7);
    MemFile from(source);
    ASSERT_EQ(std::fseek(from.f, 100, SEEK_SET), 0);  // copies from the current position
    cookie_io_functions_t io = {nullptr, record_piece, nullptr, nullptr};
    FILE* to = fopencookie(nullptr, "wb", io);
    ASSERT_NE(to, nullptr);
    std::setvbuf(to, nullptr, _IONBF, 0);
    g_pieces.clear();
    EXPECT_EQ(file_copy_bytes(to, from.f, 2500), 1);
    EXPECT_EQ(g_pieces, (std::vector<size_t>{1024, 1024, 452}));
    EXPECT_EQ(std::ftell(from.f), 2600);
    g_pieces.clear();
    EXPECT_EQ(file_copy_bytes(to, from.f, 0), 1);
    EXPECT_TRUE(g_pieces.empty());
    EXPECT_EQ(file_copy_bytes(to, from.f, 401), 0);  // only 400 bytes left
    std::fclose(to);

    FILE* out = std::tmpfile();
    std::rewind(from.f);
    ASSERT_EQ(file_copy_bytes(out, from.f, 3000), 1);
    EXPECT_EQ(file_length(out), 3000);
    std::rewind(out);
    Bytes back(3000);
    ASSERT_EQ(file_read_bytes(out, back.data(), back.size()), 1);
    EXPECT_EQ(back, source);
    ASSERT_EQ(std::fseek(out, 17, SEEK_SET), 0);
    EXPECT_EQ(file_length(out), 3000);
    EXPECT_EQ(std::ftell(out), 17);  // position kept
    std::fclose(out);
}

TEST(tagfile, str_icompare_folds_only_a_to_z) {
    EXPECT_EQ(str_icompare("abc", "ABC"), 0);
    EXPECT_EQ(str_icompare("Img/Intro.JPG", "img/intro.jpg"), 0);
    EXPECT_EQ(str_icompare("", ""), 0);
    EXPECT_EQ(str_icompare("abc", "abcd"), -1);
    EXPECT_EQ(str_icompare("abcd", "abc"), -1);
    EXPECT_EQ(str_icompare("\xE9", "\xC9"), -1);  // e acute against E acute (Windows-1252)
    EXPECT_EQ(str_icompare("@", "`"), -1);        // 0x40 and 0x60 are no letters
    EXPECT_EQ(str_icompare("[", "{"), -1);
    EXPECT_EQ(str_icompare("zz", "ZY"), -1);
}

TEST(tagfile, string_helpers) {
    char to[6];
    std::memset(to, 'x', sizeof to);
    str_copy_bounded(to, "abcdefgh", sizeof to);
    EXPECT_STREQ(to, "abcde");
    str_copy_bounded(to, "ab", sizeof to);
    EXPECT_STREQ(to, "ab");
    char text[] = "sfiles\\temp\\a.prw";
    str_replace_char(text, '\\', '/');
    EXPECT_STREQ(text, "sfiles/temp/a.prw");
    str_upper(text);
    EXPECT_STREQ(text, "SFILES/TEMP/A.PRW");
    str_lower(text);
    EXPECT_STREQ(text, "sfiles/temp/a.prw");
}
