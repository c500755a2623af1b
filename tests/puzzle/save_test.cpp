// tests/puzzle/save_test.cpp -- quick save and cut cache byte for byte, another desk size, the view
// of a large table, and the readers' guards one fault at a time. (A real cut's cache: the play
// tests.)
#include "puzzle/save.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/io_mem.h"
#include "puzzle/cut_support.h"
#include "puzzle/pieces.h"
#include "puzzle/play.h"
#include "puzzle/play_samples.h"
#include "puzzle/stack.h"
#include "support/fatal_trap.h"

using namespace box_samples;
using play_samples::HandGame;
using play_samples::P;
using V = std::vector<int>;

namespace {

const FileStamp STAMP = sample_stamp(9);

// Three pieces on a 1024 x 768 desk, stacked 2, 0, 1 from the bottom.
void three_piece_layout() {
    P(0).x = 100, P(0).y = 50, P(0).angle = 90, P(0).group = 1;
    P(1).x = 600, P(1).y = 700, P(1).group = 1;
    P(2).x = -10, P(2).y = 400, P(2).angle = 270;
    for (int i : {2, 0, 1})
        stack_raise(i);
}

SaveInfo sample_info() { return {.elapsedSeconds = 3725, .date = "Friday, 9 May 2003", .percent = 33}; }

Bytes quicksave_bytes(const SaveInfo& info, const std::vector<std::array<int32_t, 5>>& layout,
                      const std::vector<int32_t>& stack, const FileStamp& stamp = STAMP) {
    Bytes b = tagged_head(0x4B434951, stamp, 1);
    put_chunk(&b, 1, le32((uint32_t)info.elapsedSeconds));
    put_chunk(&b, 2, Bytes(info.date, info.date + 64));
    put_chunk(&b, 3, le32((uint32_t)info.percent));
    put_chunk(&b, 4, le32((uint32_t)layout.size()));
    Bytes pieces, order;
    for (const auto& e : layout)
        for (int32_t v : e)
            put32(&pieces, (uint32_t)v);
    for (int32_t v : stack)
        put32(&order, (uint32_t)v);
    put_chunk(&b, 100, pieces);
    put_chunk(&b, 101, order);
    return b;
}

}  // namespace

TEST(QuickSave, positions_are_kept_from_the_desk_centre_so_a_smaller_desk_stays_centred) {
    GameFolder folder;
    {
        HandGame game(3);
        three_piece_layout();
        SaveInfo info = sample_info();
        ASSERT_EQ(quicksave_write("bridge", &STAMP, &info), 1);
        EXPECT_EQ(info.pieceCount, 3);
        const Bytes got = read_file("sfiles/qs/bridge.qsv");
        EXPECT_TRUE(got == quicksave_bytes(info,
                                           {{100 - 512, 50 - 384, 0, 90, 1},
                                            {600 - 512, 700 - 384, 0, 0, 1},
                                            {-10 - 512, 400 - 384, 0, 270, -1}},
                                           {2, 0, 1}));
        EXPECT_EQ(GameFolder::files_in("sfiles/qs"), std::vector<std::string>{"bridge.qsv"});
        write_fuzz_seed("fuzz_quicksave", "three", got.data(), got.size());
    }
    HandGame game(3, 100, 60, 800, 600);
    SaveInfo info = {};
    ASSERT_EQ(quicksave_read("bridge", &STAMP, &info), 1);
    EXPECT_EQ((V{P(0).x, P(0).y, P(1).x, P(2).y}), (V{100 - 112, 50 - 84, 600 - 112, 400 - 84}));
    EXPECT_EQ((V{P(0).angle, P(2).angle, P(0).group, P(2).group}), (V{90, 270, 1, -1}));
    EXPECT_EQ(HandGame::stack(), (V{2, 0, 1}));
    EXPECT_EQ((V{info.elapsedSeconds, info.percent, info.pieceCount}), (V{3725, 33, 3}));
    EXPECT_STREQ(info.date, "Friday, 9 May 2003");
}

TEST(QuickSave, a_damaged_time_or_stacking_list_costs_no_layout) {
    GameFolder folder;
    HandGame game(3);
    // A playing time below zero or over ten years starts again from 0; the rest is restored.
    for (int32_t seconds : {-1, INT32_MIN, INT32_MAX, 400000000, 150000000}) {
        SaveInfo saved = sample_info();
        saved.elapsedSeconds = seconds;
        write_file("sfiles/qs/time.qsv",
                   quicksave_bytes(saved, {{0, 0, 0, 0, -1}, {7, 1, 0, 0, -1}, {2, 2, 0, 0, -1}}, {0, 1, 2}));
        SaveInfo info = {}, shelf = {};
        ASSERT_EQ(quicksave_read("time", &STAMP, &info), 1) << seconds;
        ASSERT_EQ(quicksave_read_info("time", &STAMP, &shelf), 1) << seconds;
        const int32_t want = seconds == 150000000 ? seconds : 0;  // under five years stays
        EXPECT_EQ(info.elapsedSeconds, want);
        EXPECT_EQ(shelf.elapsedSeconds, want);
        EXPECT_EQ((V{info.percent, P(1).x}), (V{33, 7 + 512}));
    }

    // A stacking list that lost a piece still saves every position; the lost piece comes back
    // at the bottom.
    three_piece_layout();  // 2, 0, 1 from the bottom
    P(2).next = 1;         // 0 drops out of the walk
    SaveInfo info = sample_info();
    ASSERT_EQ(quicksave_write("broken", &STAMP, &info), 1);
    HandGame again(3);
    ASSERT_EQ(quicksave_read("broken", &STAMP, &info), 1);
    EXPECT_EQ(P(0).x, 100);
    EXPECT_EQ(HandGame::stack(), (std::vector<int>{0, 2, 1}));
}

TEST(QuickSave, foreign_mismatching_and_damaged_saves_change_nothing_odd_stacks_are_skipped) {
    GameFolder folder;
    const std::vector<std::array<int32_t, 5>> good_layout = {
        {0, 0, 0, 0, 2}, {10, 10, 0, 90, -1}, {20, 20, 0, 0, 2}};
    const Bytes good = quicksave_bytes(sample_info(), good_layout, {2, 1, 0});
    const size_t layout_at = good.size() - 12 - 8 - 60;
    const Damaged cases[] = {
        {"tag", patched32(good, 0, 0x4B434950)},
        {"interrupted", patched32(good, 0, 0)},
        {"stamp", patched32(good, 8, 1234)},
        {"count", patched32(good, 24 + 12 + 72 + 12 + 8, 4)},  // summary says four pieces
        {"date-size", patched8(good, 24 + 12 + 4, 63)},        // chunk 2 claims 63 bytes
        {"group-range", patched32(good, layout_at + 16, 3)},
        {"group-leader", patched32(good, layout_at + 20 + 16, 0)},  // piece 0 is in group 2, not its own
        {"far-away", patched32(good, layout_at + 40, 1u << 22)},
        {"pieces-size", patched32(good, layout_at - 4, 59)},
        {"stack-short", Bytes(good.begin(), good.end() - 4)},
        {"no-stack", Bytes(good.begin(), good.end() - 20)},
        {"head-only", Bytes(good.begin(), good.begin() + 24)}};
    for (const Damaged& c : cases) {
        HandGame game(3);
        write_file("sfiles/qs/broken.qsv", c.bytes);
        write_fuzz_seed("fuzz_quicksave", c.name, c.bytes.data(), c.bytes.size());
        SaveInfo info = {};
        info.elapsedSeconds = 7;
        EXPECT_EQ(quicksave_read("broken", &STAMP, &info), 0) << c.name;
        EXPECT_EQ(info.elapsedSeconds, 7) << c.name;
        EXPECT_EQ((V{P(1).x, P(0).group, play_state.bottom}), (V{0, -1, -1})) << c.name;
    }
    HandGame game(3);
    write_file("sfiles/qs/broken.qsv", good);
    SaveInfo info = {};
    ASSERT_EQ(quicksave_read("broken", &STAMP, &info), 1) << "the untouched file reads";
    EXPECT_EQ(P(2).group, 2);
    // Stacking entries out of range are only skipped: unlisted pieces stay below, in index order.
    const Bytes odd = quicksave_bytes(sample_info(), good_layout, {0, -1, 3});
    write_file("sfiles/qs/odd.qsv", odd);
    write_fuzz_seed("fuzz_quicksave", "odd-stack", odd.data(), odd.size());
    ASSERT_EQ(quicksave_read("odd", &STAMP, &info), 1);
    EXPECT_EQ(HandGame::stack(), (V{1, 2, 0}));
    EXPECT_EQ(P(2).x, 20 + 512);
    HandGame other(4);
    EXPECT_EQ(quicksave_read("broken", &STAMP, &info), 0) << "a box cut with other settings";
    EXPECT_EQ(quicksave_read("absent", &STAMP, &info), 0);
}

TEST(QuickSave, the_shelf_reads_only_the_summary) {
    GameFolder folder;
    SaveInfo full = sample_info();
    std::memset(full.date, 'A', sizeof full.date);  // not ended in the file
    Bytes file = quicksave_bytes(full, {{0, 0, 0, 0, -1}}, {0});
    write_file("sfiles/qs/shelf.qsv", file);
    SaveInfo info;
    saveinfo_clear(&info);
    ASSERT_EQ(quicksave_read_info("shelf", &STAMP, &info), 1);
    EXPECT_EQ(info.elapsedSeconds, 3725);
    EXPECT_EQ((V{(int)std::strlen(info.date), info.pieceCount}), (V{63, 1}));
    FileStamp other = STAMP;
    other.version = 124;
    EXPECT_EQ(quicksave_read_info("shelf", &other, &info), 0);
    file.resize(24 + 8 + 2);  // inside the first chunk
    write_file("sfiles/qs/shelf.qsv", file);
    info.percent = 5;
    EXPECT_EQ(quicksave_read_info("shelf", &STAMP, &info), 0);
    EXPECT_EQ(info.percent, 5);
}

// --- Cut cache ---

namespace {

Image* codes_image(int w, int h, uint16_t first) {
    Image* im = img_create(w, h, IMG_16BIT);
    uint16_t* p = (uint16_t*)((uint8_t*)im + im->colourOffset);
    for (int i = 0; i < w * h; i++)
        p[i] = (uint16_t)(first + i);
    return im;
}

Bytes image_bytes(const Image* im) {
    const uint8_t* p = (const uint8_t*)im;
    return Bytes(p, p + io_mem_size(im));
}

// Two pieces side by side: shape 0 without a shadow, shape 1 with one; a 200 x 100 picture cut
// at 100.
void two_piece_cut() {
    play_state.record.width = 200;
    play_state.record.height = 100;
    play_state.record.pieceSize = 100;
    play_state.liftHeight = 3;
    shapes_alloc(2);
    PieceShape* s = shapes_table();
    s[0] = {codes_image(4, 3, 0x8000), nullptr, -2, 1, 0, 0};
    s[1] = {codes_image(2, 2, 7), img_create(3, 3, IMG_8BIT), 5, 6, -1, -2};
    img_fill(s[1].shadow, 44);
    play_state.shapes = s;
    play_state.shapeCount = 2;
    P(0).homeX = 5, P(0).homeY = 6, P(0).shape = 0, P(0).neighbourCount = 1, P(0).neighbours[0] = 1;
    P(1).homeX = 105, P(1).homeY = 6, P(1).shape = 1, P(1).neighbourCount = 1, P(1).neighbours[0] = 0;
}

}  // namespace

TEST(CutCache, layout_markers_a_shape_without_shadow_and_damaged_old_and_foreign_caches) {
    GameFolder folder;
    HandGame game(2);
    two_piece_cut();
    ASSERT_EQ(cutcache_write("dunes", &STAMP), 1);
    Bytes want = tagged_head(0x504D4554, STAMP, 125);
    put32(&want, 2);
    for (int32_t v : {5, 6, 0, 1, 1, 0, 0, 0, 105, 6, 1, 1, 0, 0, 0, 0})
        put32(&want, (uint32_t)v);
    put32(&want, 2);
    for (int32_t v : {1, 0, -2, 1, 0, 0})
        put32(&want, (uint32_t)v);
    const Bytes piece0 = image_bytes(shapes_table()[0].piece);
    want.insert(want.end(), piece0.begin(), piece0.end());
    for (int32_t v : {1, 1, 5, 6, -1, -2})
        put32(&want, (uint32_t)v);
    const Bytes piece1 = image_bytes(shapes_table()[1].piece),
                shadow1 = image_bytes(shapes_table()[1].shadow);
    want.insert(want.end(), piece1.begin(), piece1.end());
    want.insert(want.end(), shadow1.begin(), shadow1.end());
    put32(&want, 3);
    const Bytes got = read_file("sfiles/temp/dunes.tmp");
    EXPECT_TRUE(got == want);
    write_fuzz_seed("fuzz_cutcache", "two", got.data(), got.size());

    pieces_free();
    shapes_free();
    play_state.liftHeight = 0;
    // A cache last used long ago counts as used now once it is read (the trimming keeps the cache
    // used last).
    const timespec old[2] = {{1000, 0}, {1000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, "sfiles/temp/dunes.tmp", old, 0), 0);
    ASSERT_EQ(cutcache_read("dunes", &STAMP), 1);
    struct stat st;
    ASSERT_EQ(stat("sfiles/temp/dunes.tmp", &st), 0);
    EXPECT_GT(st.st_atime, 1000);
    EXPECT_GT(st.st_mtime, 1000);
    ASSERT_EQ(play_state.pieceCount, 2);
    EXPECT_EQ((V{P(1).homeX, P(1).neighbours[0], P(1).group, play_state.shapeCount, shapes_table()[1].shadowY,
                 play_state.liftHeight}),
              (V{105, 0, -1, 2, -2, 3}));
    EXPECT_EQ(shapes_table()[0].shadow, nullptr);
    EXPECT_TRUE(image_bytes(shapes_table()[1].shadow) == shadow1);

    const Bytes good = got;
    const size_t pieces_at = 28, shapes_at = 28 + 64 + 4;
    const size_t image0_at = shapes_at + 24;
    const Damaged cases[] = {
        {"version124", patched32(good, 20, 124)},
        {"tag", patched32(good, 0, 0)},
        {"count", patched32(good, 24, 3)},
        {"count-huge", patched32(good, 24, 0x7FFFFFFF)},
        {"shape-index", patched32(good, pieces_at + 8, 2)},
        {"shape-negative", patched32(good, pieces_at + 8, 0xFFFFFFFF)},
        {"neighbour-count", patched32(good, pieces_at + 12, 5)},
        {"neighbour-range", patched32(good, pieces_at + 16, 2)},
        {"neighbour-self", patched32(good, pieces_at + 32 + 16, 1)},
        {"outside-picture", patched32(good, pieces_at + 32, 199)},  // piece 1 would reach x = 206
        {"left-of-picture", patched32(good, pieces_at, 1)},         // piece 0 would start at x = -1
        {"shape-count0", patched32(good, shapes_at - 4, 0)},
        {"shape-count-more", patched32(good, shapes_at - 4, 3)},
        {"no-piece-image", patched32(good, shapes_at, 0)},
        {"piece-kind", patched32(good, image0_at + 12, 1)},
        {"image-huge", patched32(good, image0_at + 4, 20000)},
        {"lift0", patched32(good, good.size() - 4, 0)},
        {"no-lift", Bytes(good.begin(), good.end() - 4)},
        {"cut-in-shapes", Bytes(good.begin(), good.begin() + (long)image0_at + 40)},
        {"cut-in-pieces", Bytes(good.begin(), good.begin() + 50)}};
    for (const Damaged& c : cases) {
        HandGame fresh(2);
        play_state.record = {};
        play_state.record.width = 200, play_state.record.height = 100, play_state.record.pieceSize = 100;
        write_file("sfiles/temp/dunes.tmp", c.bytes);
        write_fuzz_seed("fuzz_cutcache", c.name, c.bytes.data(), c.bytes.size());
        const int before = io_mem_allocated_count() - io_mem_freed_count();
        PlayPiece* pieces = play_state.pieces;
        EXPECT_EQ(cutcache_read("dunes", &STAMP), 0) << c.name;
        EXPECT_EQ(play_state.pieces, pieces) << c.name;
        EXPECT_EQ(shapes_count(), 1) << c.name;
        EXPECT_EQ(io_mem_allocated_count() - io_mem_freed_count(), before) << c.name << ": nothing kept";
    }
    HandGame last(2);
    play_state.record.width = 200, play_state.record.height = 100, play_state.record.pieceSize = 100;
    write_file("sfiles/temp/dunes.tmp", good);
    FileStamp other = STAMP;
    other.random++;
    EXPECT_EQ(cutcache_read("dunes", &other), 0) << "another box of the same name";
    play_state.record.pieceSize = 50;
    EXPECT_EQ(cutcache_read("dunes", &STAMP), 0) << "settings that cut another count";
    play_state.record.pieceSize = 100;
    EXPECT_EQ(cutcache_read("dunes", &STAMP), 1);
}

// The picture window's step is kept in chunk 102 once the player chose one: it reads back, a save
// made before the chunk existed (or with it damaged or out of range) reads as no choice while
// the layout still comes back, and a reader that does not know the chunk skips it.
TEST(QuickSave, the_picture_step_is_kept_beside_the_layout_and_older_saves_read_as_before) {
    GameFolder folder;
    const std::vector<std::array<int32_t, 5>> layout = {
        {0, 0, 0, 0, -1}, {10, 10, 0, 90, -1}, {20, 20, 0, 0, -1}};
    const Bytes old = quicksave_bytes(sample_info(), layout, {0, 1, 2});
    {
        HandGame game(3);
        play_state.pictureZoom = 3, play_state.pictureZoomChosen = 1;
        SaveInfo info = sample_info();
        ASSERT_EQ(quicksave_write("step", &STAMP, &info), 1);
        Bytes withStep = old;
        put_chunk(&withStep, 102, le32(3));
        EXPECT_EQ(read_file("sfiles/qs/step.qsv").size(), old.size() + 12);
        write_fuzz_seed("fuzz_quicksave", "picture-step", withStep.data(), withStep.size());
    }
    struct Case {
        const char* name;
        Bytes bytes;
        int chosen, step;
    };
    Bytes three = old, nine = old, wide = old;
    put_chunk(&three, 102, le32(3));
    put_chunk(&nine, 102, le32(9));
    put_chunk(&wide, 102, Bytes{2, 0, 0, 0, 0, 0, 0, 0});
    const Case cases[] = {{"step-3", three, 1, 3},
                          {"older", old, 0, 0},
                          {"step-9", nine, 0, 0},
                          {"step-8-bytes", wide, 0, 0},
                          {"step-cut", Bytes(three.begin(), three.end() - 2), 0, 0}};
    for (const Case& c : cases) {
        HandGame game(3);
        play_state.pictureZoom = 4, play_state.pictureZoomChosen = 1;  // left from another game
        write_file("sfiles/qs/step.qsv", c.bytes);
        SaveInfo info = {}, shelf = {};
        ASSERT_EQ(quicksave_read("step", &STAMP, &info), 1) << c.name;
        EXPECT_EQ((V{play_state.pictureZoomChosen, play_state.pictureZoom, P(1).angle}),
                  (V{c.chosen, c.step, 90}))
            << c.name;
        ASSERT_EQ(quicksave_read_info("step", &STAMP, &shelf), 1) << c.name;
        EXPECT_EQ(shelf.percent, 33) << c.name;
    }
}

// The view of a large table is kept in chunk 103 by the table point in the screen's middle, so a
// screen of another size shows the same place; a view of another table is not taken, and a
// damaged one shows the whole table.
TEST(QuickSave, the_view_of_a_large_table_is_kept_by_its_middle_and_damage_shows_the_whole_table) {
    GameFolder folder;
    const std::vector<std::array<int32_t, 5>> layout = {
        {0, 0, 0, 0, -1}, {10, 10, 0, 90, -1}, {20, 20, 0, 0, -1}};
    Bytes kept = quicksave_bytes(sample_info(), layout, {0, 1, 2});
    // 4000 x 3000 at 50 % with the corner at (-700, -500): the middle (512, 384) shows (2424, 1768).
    put_chunk(&kept, 103, Bytes{0xA0, 0x0F, 0, 0, 0xB8, 0x0B, 0, 0, 0x20, 0xA1, 0x07, 0,  // 500000
                                0x78, 0x09, 0, 0, 0xE8, 0x06, 0, 0});
    {
        HandGame game(3);
        for (int i = 0; i < 3; i++)
            P(i).x = 2000 + layout[i][0], P(i).y = 1500 + layout[i][1], P(i).angle = layout[i][3];
        for (int i : {0, 1, 2})
            stack_raise(i);
        play_state.bigTable = 1;
        play_state.view = {4000, 3000, 1024, 768, 0.5, -700, -500};
        SaveInfo info = sample_info();
        ASSERT_EQ(quicksave_write("view", &STAMP, &info), 1);
        EXPECT_TRUE(read_file("sfiles/qs/view.qsv") == kept);
        write_fuzz_seed("fuzz_quicksave", "view", kept.data(), kept.size());
    }
    // Read on an 800 x 600 screen: the same middle at the same zoom.
    auto read_view = [](const Bytes& bytes, int tableW = 4000) {
        HandGame game(3, 100, 60, 800, 600);
        play_state.bigTable = 1;
        play_state.view = view_make(tableW, 3000, 800, 600);
        write_file("sfiles/qs/view.qsv", bytes);
        SaveInfo info = {};
        EXPECT_EQ(quicksave_read("view", &STAMP, &info), 1);
        EXPECT_EQ(P(1).x, tableW / 2 + 10) << "the layout comes back whatever the view";
        const TableView v = play_state.view;
        return std::vector<double>{(double)play_state.viewRead, v.zoom, (double)v.x, (double)v.y};
    };
    const double whole = view_fit_zoom(view_make(4000, 3000, 800, 600));
    EXPECT_EQ(read_view(kept), (std::vector<double>{1, 0.5, 400 - 1212, 300 - 884}));
    const std::vector<double> shown = {1, whole, 0, 0};
    EXPECT_EQ(read_view(patched32(kept, kept.size() - 12, 0)), shown) << "zoom 0";
    EXPECT_EQ(read_view(patched32(kept, kept.size() - 12, 9000000)), shown) << "zoom 900 %";
    EXPECT_EQ(read_view(patched32(kept, kept.size() - 8, 2000000000)), shown) << "a middle far off the table";
    const TableView other = view_make(4400, 3000, 800, 600);
    EXPECT_EQ(read_view(kept, 4400), (std::vector<double>{0, other.zoom, (double)other.x, (double)other.y}))
        << "the view of another table";
    EXPECT_EQ(read_view(Bytes(kept.begin(), kept.end() - 3))[0], 0) << "a cut chunk";
}
