// tests/puzzle/box_test.cpp -- box files byte for byte, readers fed hand-made and broken boxes,
// the field patch, the working files, names, and shelf previews.
#include "puzzle/box.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "box_samples.h"
#include "platform/io_file.h"
#include "platform/io_mem.h"
#include "support/fatal_trap.h"

using namespace box_samples;
using U = std::vector<uint32_t>;

namespace {

const BoxRecord SAMPLE = {.pieceSize = 16,
                          .irregularity = 25,
                          .edgeStyle = 3,
                          .width = 48,
                          .height = 32,
                          .pieceCount = 6,
                          .rotation = 1,
                          .repeatTune = 1};
const BoxRecord FULL = [] {
    BoxRecord r = SAMPLE;
    r.hasTune = r.hasDescription = r.hasAddress = 1;
    return r;
}();
const Bytes TUNE = text_bytes("MThd\0\0\0\6tune");
const Bytes DESCRIPTION = text_bytes("A lighthouse\r\nat dusk");
const Bytes ADDRESS = text_bytes("Dunes 4, Caf\xe9 street");

// Fills the working files and writes a box with every attachment.
void write_full_box(const char* name, const FileStamp& stamp, const Bytes& jpeg) {
    write_file(BOX_PICTURE_FILE, jpeg);
    write_file(BOX_TUNE_FILE, TUNE);
    write_file(BOX_DESCRIPTION_FILE, DESCRIPTION);
    write_file(BOX_ADDRESS_FILE, ADDRESS);
    ASSERT_EQ(box_write(name, &stamp, &FULL), 1);
}

// The four working files; a missing one reads as NONE.
const Bytes NONE = text_bytes("none");
const std::vector<Bytes> NO_WORK_FILES(4, NONE);
std::vector<Bytes> work_files() {
    std::vector<Bytes> all;
    for (const char* f : {BOX_PICTURE_FILE, BOX_TUNE_FILE, BOX_DESCRIPTION_FILE, BOX_ADDRESS_FILE})
        all.push_back(exists(f) ? read_file(f) : NONE);
    return all;
}

}  // namespace

TEST(Box, write_lays_out_head_fields_and_streams_and_read_fills_the_working_files_by_mask) {
    GameFolder game;
    const Bytes jpeg = sample_jpeg();
    const FileStamp stamp = sample_stamp(7);
    write_full_box("lighthouse", stamp, jpeg);
    const Bytes got = read_file("puzzles/lighthouse.pzl");
    EXPECT_TRUE(got == box_bytes(FULL, {{20, jpeg}, {21, TUNE}, {22, DESCRIPTION}, {23, ADDRESS}}, stamp));
    write_fuzz_seed("fuzz_box", "full", got.data(), got.size());
    // Flags off: the streams are left out even when their working files exist.
    ASSERT_EQ(box_write("bare", &stamp, &SAMPLE), 1);
    EXPECT_TRUE(read_file("puzzles/bare.pzl") == box_bytes(SAMPLE, {{20, jpeg}}, stamp));

    box_clear_work_files(BOX_ALL);
    FileStamp read_stamp = {};
    BoxRecord r;
    ASSERT_EQ(box_read("lighthouse", &read_stamp, &r, BOX_ALL), 1);
    EXPECT_EQ(std::memcmp(&r, &FULL, sizeof r), 0);
    EXPECT_EQ(std::memcmp(&read_stamp, &stamp, sizeof stamp), 0);
    EXPECT_EQ(work_files(), (std::vector<Bytes>{jpeg, TUNE, DESCRIPTION, ADDRESS}));
    // The shelf asks for the texts only.
    box_clear_work_files(BOX_ALL);
    ASSERT_EQ(box_read("lighthouse", &read_stamp, &r, BOX_DESCRIPTION | BOX_ADDRESS), 1);
    EXPECT_EQ(work_files(), (std::vector<Bytes>{NONE, NONE, DESCRIPTION, ADDRESS}));
    box_clear_work_files(BOX_DESCRIPTION);
    EXPECT_EQ(work_files(), (std::vector<Bytes>{NONE, NONE, NONE, ADDRESS}));
    box_clear_work_files(BOX_ALL);
    EXPECT_EQ(work_files(), NO_WORK_FILES);
}

TEST(Box, readers_find_chunks_by_identifier_skip_unknown_ones_and_want_flag_and_tune_to_agree) {
    GameFolder game;
    const Bytes jpeg = sample_jpeg();
    BoxRecord r = SAMPLE;
    r.hasDescription = 1;
    // Fields backwards, unknown chunks 13 and 99 between them, streams before some fields.
    Bytes box = tagged_head(0x31584F42, sample_stamp(), 77);
    Bytes fields = box_bytes(r, {});
    fields.erase(fields.begin(), fields.begin() + 24);
    put_chunk(&box, 13, text_bytes("thirteen"));
    put_chunk(&box, 22, DESCRIPTION);
    for (int i = 13; i >= 0; i--) {
        box.insert(box.end(), fields.begin() + 12 * i, fields.begin() + 12 * (i + 1));
        if (i == 7) put_chunk(&box, 99, Bytes(5, 0xEE));
    }
    put_chunk(&box, 20, jpeg);
    put_chunk(&box, 13, Bytes());
    write_file("puzzles/shuffled.pzl", box);
    write_fuzz_seed("fuzz_box", "shuffled", box.data(), box.size());
    FileStamp stamp;
    BoxRecord got;
    ASSERT_EQ(box_read("shuffled", &stamp, &got, BOX_ALL), 1);
    EXPECT_EQ(std::memcmp(&got, &r, sizeof r), 0);
    EXPECT_EQ(work_files(), (std::vector<Bytes>{jpeg, NONE, DESCRIPTION, NONE}));

    // The tune file comes only from a flagged box with a tune chunk.
    r = SAMPLE;
    r.hasTune = 1;
    write_file("puzzles/flag.pzl", box_bytes(r, {{20, jpeg}}));
    ASSERT_EQ(box_read("flag", &stamp, &got, BOX_ALL), 1);
    EXPECT_EQ(got.hasTune, 1);
    EXPECT_EQ(work_files()[1], NONE);
    write_file("puzzles/chunk.pzl", box_bytes(SAMPLE, {{20, jpeg}, {21, TUNE}}));
    ASSERT_EQ(box_read("chunk", &stamp, &got, BOX_ALL), 1);
    EXPECT_EQ(work_files()[1], NONE);
}

TEST(Box, broken_boxes_are_refused_and_leave_no_working_files) {
    GameFolder game;
    const Bytes jpeg = sample_jpeg();
    write_full_box("good", sample_stamp(), jpeg);
    const Bytes good = read_file("puzzles/good.pzl");
    FileStamp stamp;
    BoxRecord got;
    ASSERT_EQ(box_read("good", &stamp, &got, BOX_ALL), 1);

    const size_t picture_data = 24 + 14 * 12 + 8;
    const Damaged cases[] = {
        {"tag", patched8(good, 3, '2')},
        {"interrupted", patched8(good, 0, 0)},
        {"width0", patched32(good, 24 + 3 * 12 + 8, 0)},
        {"height-negative", patched8(good, 24 + 4 * 12 + 8 + 3, 0xFF)},
        {"field-size", patched8(good, 24 + 7 * 12 + 4, 8)},  // chunk 8 claims 8 bytes
        {"not-jpeg", patched8(good, picture_data, 0x00)},
        {"no-picture", patched8(good, 24 + 14 * 12, 19)},  // chunk 20 renamed 19
        {"truncated-picture", Bytes(good.begin(), good.begin() + (long)picture_data + 40)},
        {"huge-chunk", patched8(good, 24 + 14 * 12 + 7, 0x7F)},  // 2 GB picture claimed
        {"head-only", Bytes(good.begin(), good.begin() + 24)},
        {"empty", Bytes()}};
    for (const Damaged& c : cases) {
        write_file(std::string("puzzles/") + c.name + ".pzl", c.bytes);
        write_fuzz_seed("fuzz_box", c.name, c.bytes.data(), c.bytes.size());
        // Working files of an earlier read must go as well.
        write_file(BOX_TUNE_FILE, TUNE);
        EXPECT_EQ(box_read(c.name, &stamp, &got, BOX_ALL), 0) << c.name;
        EXPECT_EQ(work_files(), NO_WORK_FILES) << c.name;
    }
    EXPECT_EQ(box_read("missing", &stamp, &got, BOX_ALL), 0);

    // An address cut short at the end of the file: the box reads, without a half address.
    Bytes short_address(good.begin(), good.end() - 3);
    write_file("puzzles/short-address.pzl", short_address);
    write_fuzz_seed("fuzz_box", "short-address", short_address.data(), short_address.size());
    ASSERT_EQ(box_read("short-address", &stamp, &got, BOX_ALL), 1);
    EXPECT_EQ(work_files(), (std::vector<Bytes>{jpeg, TUNE, DESCRIPTION, NONE}));
    box_clear_work_files(BOX_ALL);
    // Without the picture in the mask the JPEG is not looked at; neither is it by the
    // settings-only read, which still refuses a broken head.
    EXPECT_EQ(box_read("not-jpeg", &stamp, &got, BOX_DESCRIPTION), 1);
    box_clear_work_files(BOX_ALL);
    EXPECT_EQ(box_read_settings("not-jpeg", &stamp, &got), 1);
    EXPECT_EQ(box_read_settings("field-size", &stamp, &got), 0);
    EXPECT_EQ(work_files(), NO_WORK_FILES);
}

TEST(Box, settings_outside_their_ranges_are_refused_as_unreadable) {
    GameFolder game;
    const Bytes jpeg = sample_jpeg();
    // One or two fields of the 48 x 32 record at 16 changed (the piece count follows unless it is
    // changed itself), and whether the box still reads.
    using Field = int32_t BoxRecord::*;
    using F = BoxRecord;
    // clang-format off
    const struct {
        Field field;
        int32_t value;
        int readable;
        Field other;
        int32_t other_value;
    } cases[] = {
        {&F::pieceSize, 10, 1}, {&F::pieceSize, 9, 0}, {&F::pieceSize, 17, 0}, {&F::irregularity, 40, 1},
        {&F::irregularity, 41, 0}, {&F::irregularity, -1, 0}, {&F::irregularity, 1862270996, 0},
        {&F::edgeStyle, 0, 1}, {&F::edgeStyle, 7, 1}, {&F::edgeStyle, 8, 0}, {&F::edgeStyle, 7 | 128, 0},
        {&F::edgeStyle, -1, 0}, {&F::height, 0, 0}, {&F::width, 16385, 0},
        {&F::height, 6103, 1, &F::width, 16384}, {&F::height, 6104, 0, &F::width, 16384},
        {&F::pieceCount, 5, 0}, {&F::pieceCount, 7, 0}, {&F::rotation, 2, 0}, {&F::hiddenPicture, -1, 0},
        {&F::hasTune, 2, 0}, {&F::hasDescription, 2, 0}, {&F::hasAddress, 2, 0}, {&F::isLink, 2, 0},
        {&F::repeatTune, 2, 0}};
    // clang-format on
    int n = 0;
    for (const auto& c : cases) {
        BoxRecord r = SAMPLE;
        if (c.other) r.*c.other = c.other_value;
        r.*c.field = c.value;
        if (c.field != &BoxRecord::pieceCount)
            r.pieceCount = (r.width / r.pieceSize) * (r.height / r.pieceSize);
        const Bytes box = box_bytes(r, {{20, jpeg}});
        const std::string name = "settings-" + std::to_string(n++);
        write_file("puzzles/" + name + ".pzl", box);
        write_fuzz_seed("fuzz_box_cut", name.c_str(), box.data(), box.size());
        write_file(BOX_TUNE_FILE, TUNE);
        FileStamp stamp;
        BoxRecord got;
        EXPECT_EQ(box_read(name.c_str(), &stamp, &got, BOX_ALL), c.readable) << name;
        EXPECT_EQ(work_files() == NO_WORK_FILES, !c.readable) << name;
        EXPECT_EQ(box_read_settings(name.c_str(), &stamp, &got), c.readable) << name;
        box_clear_work_files(BOX_ALL);
    }
}

TEST(Box, failed_writes_leave_no_file_and_keep_the_old_box_and_names_never_leave_the_folder) {
    GameFolder game;
    const Bytes jpeg = sample_jpeg();
    write_file(BOX_PICTURE_FILE, jpeg);
    BoxRecord r = SAMPLE;
    r.hasTune = 1;  // but no tune file
    const FileStamp stamp = sample_stamp();
    EXPECT_EQ(box_write("tuneless", &stamp, &r), 0);
    EXPECT_TRUE(GameFolder::files_in("puzzles").empty());
    // Over an existing box: the old file stays byte for byte.
    write_full_box("keep", stamp, jpeg);
    const Bytes before = read_file("puzzles/keep.pzl");
    io_delete_file(BOX_TUNE_FILE);
    EXPECT_EQ(box_write("keep", &stamp, &r), 0);
    EXPECT_TRUE(read_file("puzzles/keep.pzl") == before);
    EXPECT_EQ(GameFolder::files_in("puzzles"), std::vector<std::string>{"keep.pzl"});
    // No picture working file, a folder that does not exist, a name that leaves the folder.
    box_clear_work_files(BOX_ALL);
    EXPECT_EQ(box_write("nopicture", &stamp, &SAMPLE), 0);
    write_file(BOX_PICTURE_FILE, jpeg);
    box_set_folder("no/such/folder");
    EXPECT_EQ(box_write("x", &stamp, &SAMPLE), 0);
    box_set_folder(nullptr);
    EXPECT_EQ(box_write("../escape", &stamp, &SAMPLE), 0);
    EXPECT_FALSE(exists("escape.pzl"));
    EXPECT_EQ(GameFolder::files_in("puzzles"), std::vector<std::string>{"keep.pzl"});
    FileStamp s;
    EXPECT_EQ(box_read("../escape", &s, &r, BOX_ALL), 0);

    EXPECT_EQ(box_name_ok(std::string(63, 'a').c_str()), 1);
    for (const std::string& bad :
         std::vector<std::string>{"", ".", "..", "../x", "a/b", "a\\b", "tab\there", std::string(64, 'a')})
        EXPECT_EQ(box_name_ok(bad.c_str()), 0) << bad;
    char path[PATH_MAX_GAME];
    EXPECT_EQ(box_file_path(path, 12, "puzzles", "Tulips", "pzl"), 0);
}

TEST(Box, patch_writes_only_a_four_byte_field) {
    GameFolder game;
    write_full_box("hidden", sample_stamp(), sample_jpeg());
    const Bytes before = read_file("puzzles/hidden.pzl");
    const size_t hidden_data = 24 + 7 * 12 + 8;
    EXPECT_EQ(get32(before, hidden_data), 0u);
    ASSERT_EQ(box_patch_field("puzzles/hidden.pzl", 8, 1), 1);
    EXPECT_TRUE(read_file("puzzles/hidden.pzl") == patched8(before, hidden_data, 1))
        << "only the field changed";

    // Chunk 8 of size 8, no such chunk, a file of another kind, no file: nothing written.
    Bytes wide = tagged_head(0x31584F42, sample_stamp(), 1);
    put_chunk(&wide, 1, le32(16));
    put_chunk(&wide, 8, Bytes(8, 0));
    put_chunk(&wide, 20, sample_jpeg());
    write_file("puzzles/wide.pzl", wide);
    EXPECT_EQ(box_patch_field("puzzles/wide.pzl", 8, 1), 0);
    EXPECT_EQ(box_patch_field("puzzles/wide.pzl", 9, 1), 0);
    EXPECT_TRUE(read_file("puzzles/wide.pzl") == wide);
    write_file("puzzles/untagged.pzl", patched8(before, 0, 'X'));
    EXPECT_EQ(box_patch_field("puzzles/untagged.pzl", 8, 1), 0);
    EXPECT_TRUE(read_file("puzzles/untagged.pzl") == patched8(before, 0, 'X'));
    EXPECT_EQ(box_patch_field("puzzles/missing.pzl", 8, 1), 0);
}

// --- Previews ---

namespace {

Image* filled(int w, int h, int kind, uint32_t value) {
    Image* image = img_create(w, h, kind);
    img_fill(image, value);
    return image;
}

bool same(const Image* a, const Image* b) {
    return a && b && io_mem_size(a) == io_mem_size(b) && std::memcmp(a, b, io_mem_size(a)) == 0;
}

// A preview record asking for the one of box "tulips" with the given stamp.
BoxPreview wanted(const FileStamp& stamp) {
    BoxPreview p = {};
    std::strcpy(p.name, "tulips");
    p.stamp = stamp;
    return p;
}

void free_preview(BoxPreview* p) {
    io_mem_free(p->thumbnail);
    io_mem_free(p->largeMask);
    io_mem_free(p->smallMask);
}

}  // namespace

TEST(BoxPreview, layout_round_trips_and_foreign_old_and_broken_previews) {
    GameFolder game;
    BoxPreview p = wanted(sample_stamp(3));
    p.thumbnail = filled(5, 4, IMG_24BIT, 0x123456);
    p.shadow = {12, 5, 4, 7, 99, 6, 3, 0, 2, 1};
    p.largeMask = filled(3, 2, IMG_8BIT, 9);
    p.smallMask = filled(2, 2, IMG_8BIT, 4);
    ASSERT_EQ(box_preview_write(&p), 1);
    const Bytes file = read_file("sfiles/temp/tulips.prw");
    const size_t shadow_at = 24 + 36 + 60;
    ASSERT_EQ(file.size(), shadow_at + 40 + (36 + 6) + (36 + 4));
    EXPECT_EQ((U{get32(file, 0), get32(file, 4), get32(file, 20), get32(file, 24)}),
              (U{0x57565250u, (uint32_t)p.stamp.time, 125u, 0x00474D49u}))
        << "the head, then the thumbnail IMG";
    // The shadow record: a present value is kept, a mask without a present value is marked.
    EXPECT_EQ((U{get32(file, shadow_at), get32(file, shadow_at + 16), get32(file, shadow_at + 28)}),
              (U{12, 99, 1}));
    write_fuzz_seed("fuzz_preview", "two-masks", file.data(), file.size());
    BoxPreview back = wanted(p.stamp);
    EXPECT_EQ(box_preview_valid(&back), 1);
    ASSERT_EQ(box_preview_read(&back), 1);
    EXPECT_TRUE(same(back.thumbnail, p.thumbnail) && same(back.largeMask, p.largeMask) &&
                same(back.smallMask, p.smallMask));
    EXPECT_EQ((std::vector<int>{back.shadow.flags, back.shadow.smallRadius}), (std::vector<int>{12, 1}));
    free_preview(&back);

    // Without masks: nothing follows the shadow record.
    Image* large = p.largeMask;
    io_mem_free(p.smallMask);
    p.largeMask = p.smallMask = nullptr;
    ASSERT_EQ(box_preview_write(&p), 1);
    const Bytes bare = read_file("sfiles/temp/tulips.prw");
    EXPECT_EQ(bare.size(), shadow_at + 40);
    EXPECT_EQ(get32(bare, shadow_at + 16), 0u);
    write_fuzz_seed("fuzz_preview", "no-masks", bare.data(), bare.size());
    back = wanted(p.stamp);
    ASSERT_EQ(box_preview_read(&back), 1);
    EXPECT_TRUE(back.largeMask == nullptr && back.smallMask == nullptr);
    free_preview(&back);

    // With the large mask only, then damaged one way at a time.
    p.largeMask = large;
    ASSERT_EQ(box_preview_write(&p), 1);
    const Bytes good = read_file("sfiles/temp/tulips.prw");
    EXPECT_EQ(GameFolder::files_in("sfiles/temp"), std::vector<std::string>{"tulips.prw"});
    BoxPreview other = wanted(p.stamp);
    other.stamp.ticks++;  // the box was saved again
    EXPECT_FALSE(box_preview_valid(&other) || box_preview_read(&other) || other.thumbnail);
    struct Case {
        const char* name;
        Bytes bytes;
        int valid;
    };
    const Case cases[] = {
        {"tag", patched8(good, 0, 'Q'), 0},
        {"version124", patched8(good, 20, 124), 1},
        {"thumbnail-size", patched8(good, 24 + 5, 0x7F), 1},       // width of 2 billion pixels
        {"mask-kind", patched8(good, shadow_at + 40 + 12, 3), 1},  // large mask not 8-bit
        {"mask-missing", Bytes(good.begin(), good.begin() + (long)shadow_at + 40), 1},
        {"shadow-short", Bytes(good.begin(), good.begin() + (long)shadow_at + 20), 1},
        {"small-claimed", patched8(good, shadow_at + 28, 1), 1},  // small mask present but absent
    };
    const int before = io_mem_allocated_count() - io_mem_freed_count();
    for (const Case& c : cases) {
        write_file("sfiles/temp/tulips.prw", c.bytes);
        write_fuzz_seed("fuzz_preview", c.name, c.bytes.data(), c.bytes.size());
        BoxPreview q = wanted(p.stamp);
        EXPECT_EQ(box_preview_valid(&q), c.valid) << c.name;
        EXPECT_EQ(box_preview_read(&q), 0) << c.name;
        EXPECT_EQ(q.thumbnail, nullptr) << c.name;
    }
    EXPECT_EQ(io_mem_allocated_count() - io_mem_freed_count(), before) << "nothing kept from a failed read";
    free_preview(&p);
}
