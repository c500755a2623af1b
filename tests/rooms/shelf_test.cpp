// tests/rooms/shelf_test.cpp -- the shelf: boxes from previews and pictures, the arrangement in
// config.ini, renaming and deleting the four files of a box, the wedge and the pointer rules.
#include "rooms/shelf.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/lt.h"
#include "platform/io_ini.h"
#include "platform/io_mem.h"
#include "platform/screen.h"
#include "puzzle/box_samples.h"
#include "support/fatal_trap.h"

using namespace box_samples;

namespace {

constexpr BoxRecord SAMPLE = {16, 0, 1, 48, 32, 6};  // piece size, irregularity, edge style, size, count

Bytes sample_box(int seed, const BoxRecord& r = SAMPLE, const Bytes& picture = sample_jpeg()) {
    return box_bytes(r, {{BOX_CHUNK_PICTURE, picture}}, sample_stamp(seed));
}

void put_box(const std::string& name, int seed = 1) {
    write_file("puzzles/" + name + ".pzl", sample_box(seed));
}

// A quick save with its summary alone, which is all the shelf reads.
Bytes summary_bytes(int seed, int percent) {
    Bytes b = tagged_head(QUICKSAVE_TAG, sample_stamp(seed), 1);
    for (const auto& [id, data] :
         {std::pair{1u, le32(90)}, {2u, Bytes(64, 0)}, {3u, le32(percent)}, {4u, le32(6)}})
        put_chunk(&b, id, data);
    return b;
}

// A seed of the shelf's fuzz target: a box, its preview and its quick save in one input.
void shelf_seed(const char* name, const Bytes& box, const Bytes& preview, const Bytes& save = {}) {
    Bytes seed = le32((uint32_t)box.size());
    put32(&seed, (uint32_t)preview.size());
    for (const Bytes* part : {&box, &preview, &save})
        seed.insert(seed.end(), part->begin(), part->end());
    write_fuzz_seed("fuzz_shelf", name, seed.data(), seed.size());
}

struct Shelf {
    GameFolder game;
    Shelf() { shelf_init(800, 600); }
    ~Shelf() { shelf_free(); }
};

ShelfBox* at(const char* name, int x, int y) {
    ShelfBox* b = shelf_find(name);
    return b->x = x, b->y = y, b;
}

// The files of several folders, one folder after the other.
std::vector<std::string> files_in(std::initializer_list<const char*> folders) {
    std::vector<std::string> all;
    for (const char* folder : folders)
        for (const std::string& name : GameFolder::files_in(folder))
            all.push_back(name);
    return all;
}

std::string ini(const char* section, const char* key) {
    char text[128];
    io_ini_read(CONFIG_INI, section, key, text, sizeof text);
    return text;
}

}  // namespace

TEST(Shelf, arrangement_round_trips_skips_gone_boxes_and_ends_at_the_first_missing_key) {
    Shelf s;
    for (const char* name : {"alpha", "beta", "gamma"})
        put_box(name);
    shelf_load_all(800, 600);
    ASSERT_EQ(shelf_count(), 3);
    EXPECT_TRUE(shelf_find("BETA") && shelf_find("alpha")->isNew);
    at("alpha", 720, 547), at("beta", 10, 20), at("gamma", -5, 590);
    shelf_select(shelf_find("beta"), 1);  // to the head: written last
    shelf_select(shelf_find("alpha"), 1);
    shelf_save_layout();
    EXPECT_EQ(ini("BOXNAMES", "0") + ini("BOXNAMES", "2") + ini("BOXPOSS", "0"), "gammaalpha-5 590");

    // A smaller screen scales the places; what still sticks out is pulled back; previews exist.
    shelf_init(400, 300);
    shelf_load_all(800, 600);
    ASSERT_EQ(shelf_count(), 3);
    EXPECT_EQ(std::string(shelf_head()->name) + std::string(shelf_tail()->name), "alphagamma");
    const ShelfBox *g = shelf_find("gamma"), *a = shelf_find("alpha"), *b = shelf_find("beta");
    EXPECT_EQ((std::vector<int>{b->x, b->y, g->x, g->y, g->isNew, a->x, a->y}),
              (std::vector<int>{5, 10, 0, 300 - 53, 0, 400 - 80, 300 - 53}));

    // The box at key 0 is gone and key 2 lost its place: alpha comes from the folder listing.
    shelf_free();
    std::filesystem::remove("puzzles/gamma.pzl");
    io_ini_delete_key(CONFIG_INI, "BOXPOSS", "2");
    shelf_init(800, 600);
    shelf_load_all(800, 600);
    ASSERT_EQ(shelf_count(), 2);
    const ShelfBox* alpha = shelf_find("alpha");
    EXPECT_EQ(shelf_find("beta")->x, 10);
    EXPECT_LT(alpha->x, 720);  // a random place, never at the right edge
    shelf_save_layout();
    EXPECT_EQ(ini("BOXNAMES", "2") + ini("BOXPOSS", "1"),
              std::to_string(alpha->x) + " " + std::to_string(alpha->y));
}

TEST(Shelf, rename_moves_every_file_or_nothing_and_delete_removes_exactly_them_box_file_first) {
    Shelf s;
    put_box("tulips", 4);
    put_box("lilies", 5);
    write_file("sfiles/temp/tulips.tmp", {1, 2, 3});
    write_file("sfiles/qs/tulips.qsv", summary_bytes(4, 40));
    // The games of other desks, kept beside the first.
    std::filesystem::create_directories("sfiles/qs/1024x768");
    std::filesystem::create_directories("sfiles/qs/full");
    write_file("sfiles/qs/1024x768/tulips.qsv", summary_bytes(4, 10));
    write_file("sfiles/qs/full/tulips.qsv", summary_bytes(4, 20));
    write_file("sfiles/qs/full/lilies.qsv", summary_bytes(5, 20));
    ShelfBox* box = shelf_load("tulips");
    ASSERT_TRUE(box && shelf_load("lilies"));
    EXPECT_EQ(box->summary.percent, 40);

    EXPECT_EQ(shelf_rename(box, "Lilies"), 0) << "another box's name, in any case";
    EXPECT_EQ(shelf_rename(box, "../up"), 0);
    std::filesystem::create_directories("puzzles/daisies.pzl/x");
    EXPECT_EQ(shelf_rename(box, "daisies"), 0) << "the box file cannot move";
    std::filesystem::create_directories("sfiles/qs/roses.qsv/x");
    EXPECT_EQ(shelf_rename(box, "roses"), 0) << "the quick save cannot move: all goes back";
    std::filesystem::create_directories("sfiles/qs/full/irises.qsv/x");
    EXPECT_EQ(shelf_rename(box, "irises"), 0) << "a desk's game cannot move: all goes back";
    EXPECT_EQ(std::string(box->name), "tulips");
    using Names = std::vector<std::string>;
    EXPECT_EQ(GameFolder::files_in("sfiles/temp"), (Names{"lilies.prw", "tulips.prw", "tulips.tmp"}));
    EXPECT_EQ(GameFolder::files_in("puzzles"), (Names{"lilies.pzl", "tulips.pzl"}));
    EXPECT_EQ(files_in({"sfiles/qs", "sfiles/qs/full", "sfiles/qs/1024x768"}),
              (Names{"tulips.qsv", "lilies.qsv", "tulips.qsv", "tulips.qsv"}));

    ASSERT_EQ(shelf_rename(box, "Tulips Two"), 1);
    EXPECT_EQ(GameFolder::files_in("sfiles/temp"), (Names{"Tulips Two.prw", "Tulips Two.tmp", "lilies.prw"}));
    EXPECT_EQ(files_in({"sfiles/qs", "sfiles/qs/full", "sfiles/qs/1024x768"}),
              (Names{"Tulips Two.qsv", "Tulips Two.qsv", "lilies.qsv", "Tulips Two.qsv"}));

    // Reset forgets every desk's game.
    shelf_reset(box);
    EXPECT_EQ(files_in({"sfiles/qs", "sfiles/qs/full", "sfiles/qs/1024x768"}), (Names{"lilies.qsv"}));
    write_file("sfiles/qs/full/Tulips Two.qsv", summary_bytes(4, 20));
    EXPECT_EQ(shelf_delete(box), 1);
    EXPECT_EQ(GameFolder::files_in("sfiles/temp"), (Names{"lilies.prw"}));
    EXPECT_EQ(GameFolder::files_in("puzzles"), (Names{"lilies.pzl"}));
    EXPECT_EQ(files_in({"sfiles/qs", "sfiles/qs/full"}), (Names{"lilies.qsv"}));

    // A box file that cannot go (here a folder in its place) takes nothing else with it.
    std::filesystem::remove("puzzles/lilies.pzl");
    std::filesystem::create_directories("puzzles/lilies.pzl/x");
    EXPECT_EQ(shelf_delete(shelf_find("lilies")) * 10 + shelf_count(), 1);
    EXPECT_EQ(files_in({"sfiles/temp", "sfiles/qs/full"}), (Names{"lilies.prw", "lilies.qsv"}));
}

TEST(Shelf, another_puzzles_folder_keeps_its_arrangement_apart_from_the_players) {
    char names[LAYOUT_SECTION_MAX], places[LAYOUT_SECTION_MAX];
    auto sections = [&](const char* folder, const char* start = "/game") {
        shelf_layout_sections(folder, start, names, places, LAYOUT_SECTION_MAX);
        return std::string(names) + "|" + places;
    };
    for (const char* own : {"puzzles", "Puzzles", "./puzzles/", "/game/puzzles", ""})
        EXPECT_EQ(sections(own), "BOXNAMES|BOXPOSS") << own;
    EXPECT_EQ(sections("/elsewhere/puzzles"), "BOXNAMES /elsewhere/puzzles|BOXPOSS /elsewhere/puzzles");
    EXPECT_EQ(sections("/game/more]\n"), "BOXNAMES more__|BOXPOSS more__");

    Shelf s;
    put_box("tulips", 4);
    std::filesystem::create_directories("other");
    write_file("other/lilies.pzl", sample_box(5));
    shelf_load_all(800, 600);
    at("tulips", 100, 120);
    shelf_save_layout();
    const Bytes mine = read_file(CONFIG_INI);

    box_set_folder("other");
    shelf_init(800, 600);
    shelf_load_all(800, 600);
    ASSERT_EQ(shelf_count(), 1);
    at("lilies", 300, 200);
    shelf_save_layout();
    EXPECT_EQ(ini("BOXNAMES other", "0") + ini("BOXPOSS other", "0") + ini("BOXNAMES", "0"),
              "lilies300 200tulips");
    box_set_folder(nullptr);
    shelf_init(800, 600);
    shelf_load_all(800, 600);
    EXPECT_EQ(shelf_find("tulips")->x, 100);
    shelf_save_layout();
    const Bytes back = read_file(CONFIG_INI);
    write_fuzz_seed("fuzz_arrangement", "two-folders", back.data(), back.size());
    const std::string odd =
        "[BOXNAMES]\n3=late\n0=tulips\n1=\n0=again\n999999999=x\n[BOXPOSS]\n0=1 2\n1=x\n3=4 5\n";
    write_fuzz_seed("fuzz_arrangement", "odd-keys", odd.data(), odd.size());
    EXPECT_EQ(std::string(back.begin(), back.begin() + (long)mine.size()),
              std::string(mine.begin(), mine.end()))
        << "the player's sections are as they were";
}

TEST(Shelf, box_files_with_names_it_cannot_use_are_renamed_and_shown) {
    char out[BOX_NAME_MAX];
    const std::string longName = std::string(61, 'a') + "\xc3\xa9\xc3\xa9";  // 61 + two 2-byte letters
    const std::pair<std::string, std::string> cases[] = {{"line\nbreak", "line_break"},
                                                         {"tab\there", "tab_here"},
                                                         {"back\\slash", "back_slash"},
                                                         {"", "Box"},
                                                         {longName, std::string(61, 'a') + "\xc3\xa9"},
                                                         {"..", "Box"}};
    for (const auto& [name, usable] : cases) {
        shelf_usable_name(name.c_str(), out, sizeof out);
        EXPECT_EQ(out, usable) << name;
    }

    Shelf s;
    put_box("line_break", 1);  // taken: the renamed box gets the next free name
    for (const std::string& name :
         {std::string("line\nbreak"), std::string("tab\there"), std::string(200, 'x'), std::string("")})
        write_file("puzzles/" + name + ".pzl", sample_box(2));
    shelf_load_all(800, 600);
    EXPECT_EQ(shelf_count(), 5);
    using Names = std::vector<std::string>;
    EXPECT_EQ(GameFolder::files_in("puzzles"), (Names{"Box.pzl", "line_break (2).pzl", "line_break.pzl",
                                                      "tab_here.pzl", std::string(63, 'x') + ".pzl"}));
    EXPECT_TRUE(shelf_find("line_break (2)") && shelf_find("Box"));
    const char* last = nullptr;
    EXPECT_EQ(shelf_unusable_files(&last), 0);
}

TEST(Shelf, resave_replaces_the_box_in_place_or_leaves_it_whole) {
    Shelf s;
    put_box("tulips", 4);
    write_file("sfiles/temp/tulips.tmp", {1, 2, 3});
    write_file("sfiles/qs/tulips.qsv", summary_bytes(4, 40));
    ASSERT_TRUE(shelf_load("tulips"));
    ShelfBox* box = at("tulips", 120, 90);
    shelf_select(box, 1);
    const Bytes old = read_file("puzzles/tulips.pzl");

    const BoxRecord edited = {12, 0, 1, 48, 32, 8, 1};  // piece size 12, turning pieces
    EXPECT_EQ(shelf_resave(box, &edited), nullptr) << "no picture in the working files";
    EXPECT_EQ(read_file("puzzles/tulips.pzl"), old);
    EXPECT_TRUE(exists("sfiles/qs/tulips.qsv") && exists("sfiles/temp/tulips.tmp"));
    EXPECT_EQ(shelf_find("tulips"), box);

    write_file(BOX_PICTURE_FILE, sample_jpeg());
    ShelfBox* fresh = shelf_resave(box, &edited);  // the new box read back: the create room's tests
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ((std::vector<int>{shelf_count(), fresh->x, fresh->y, fresh->selected, fresh->isNew}),
              (std::vector<int>{1, 120, 90, 1, 0}));
    EXPECT_EQ(fresh->summary.percent, 0) << "the old progress went with the old stamp";
    EXPECT_FALSE(exists("sfiles/qs/tulips.qsv") || exists("sfiles/temp/tulips.tmp"));
}

TEST(Shelf, previews_spare_the_picture_and_broken_ones_are_made_again) {
    Shelf s;
    put_box("tulips", 6);
    ShelfBox* box = shelf_load("tulips");
    ASSERT_TRUE(box);
    EXPECT_EQ((std::vector<int>{box->width, box->height, box->thumbnail->width, box->shadow.flags}),
              (std::vector<int>{80, 53, 80, 12}));
    const Bytes preview = read_file("sfiles/temp/tulips.prw");
    shelf_seed("fresh", sample_box(6), preview, summary_bytes(6, 40));
    shelf_free();

    // Same stamp, picture gone bad: a fitting preview is all the shelf needs.
    const Bytes bad = sample_box(6, SAMPLE, text_bytes("not a picture"));
    write_file("puzzles/tulips.pzl", bad);
    shelf_seed("bad-picture", bad, preview);
    ASSERT_TRUE(shelf_load("tulips") && !shelf_head()->isNew);
    shelf_free();

    // A readable preview that does not fit the box is made again from the picture.
    put_box("tulips", 6);
    const size_t shadow_at = 24 + 36 + 80 * 53 * 3;
    write_file("sfiles/temp/tulips.prw", patched32(preview, shadow_at, 4));
    shelf_seed("unfit-preview", sample_box(6), patched32(preview, shadow_at, 4));
    ASSERT_TRUE(shelf_load("tulips"));
    EXPECT_EQ(read_file("sfiles/temp/tulips.prw"), preview);

    // A hidden picture is shown as its placeholder until the first completion clears the flag.
    const BoxRecord hidden = {10, 0, 1, 200, 20, 40, 0, 1, 0, 1};  // with a description
    write_file("puzzles/secret.pzl",
               box_bytes(hidden, {{20, sample_jpeg(200, 20)}, {22, text_bytes("Harbour")}}, sample_stamp(7)));
    write_file("puzzles/junk.pzl", text_bytes("BOX1 and nothing more"));
    shelf_load_all(800, 600);
    EXPECT_EQ(shelf_count(), 2) << "the foreign file is not shown";
    box = shelf_find("secret");
    EXPECT_EQ((std::vector<int>{box->width, box->height, box->thumbnail->height}),
              (std::vector<int>{80, 48, 8}));
    EXPECT_STREQ(box->description, "Harbour");
    EXPECT_FALSE(exists(BOX_DESCRIPTION_FILE) || exists(BOX_PICTURE_FILE));
    write_file("sfiles/qs/secret.qsv", summary_bytes(7, 100));
    shelf_seed("hidden-done", read_file("puzzles/secret.pzl"), read_file("sfiles/temp/secret.prw"),
               summary_bytes(7, 100));
    shelf_refresh(box);
    FileStamp stamp;
    BoxRecord back;
    ASSERT_EQ(box_read("secret", &stamp, &back, 0), 1);
    EXPECT_EQ(
        (std::vector<int>{box->record.hiddenPicture, back.hiddenPicture, box->height, box->shadow.height}),
        (std::vector<int>{0, 0, 8, 8}));
    shelf_free();
    ASSERT_TRUE(box = shelf_load("secret"));
    EXPECT_EQ((std::vector<int>{box->height, box->summary.percent, box->isNew}),
              (std::vector<int>{8, 100, 0}));
    shelf_reset(box);
    EXPECT_FALSE(exists("sfiles/qs/secret.qsv"));
}

TEST(Shelf, the_hover_label_names_the_box_as_the_screen_shows_it_and_counts_its_pieces) {
    lt_init(LUMAVEX_ASSETS_DIR "/english.ini");
    ShelfBox box{};
    std::snprintf(box.name, sizeof box.name, "Caf\xc3\xa9 \xe4\xb8\xad");  // UTF-8, one character beyond 1252
    box.record.pieceCount = 120;
    char out[128];
    shelf_label_text(&box, out, sizeof out);
    EXPECT_STREQ(out, "Caf\xe9 ?\n120 pieces");
    box.record.isLink = 1;
    shelf_label_text(&box, out, sizeof out);
    EXPECT_STREQ(out, "Caf\xe9 ?");
    lt_done();
}

TEST(Shelf, wedge_grows_clockwise_from_the_top) {
    int ex, ey;
    EXPECT_FALSE(shelf_wedge_end(80, 80, 0, &ex, &ey) || shelf_wedge_end(80, 80, 100, &ex, &ey));
    ASSERT_TRUE(shelf_wedge_end(80, 60, 50, &ex, &ey));
    EXPECT_EQ((std::vector<int>{ex, ey}), (std::vector<int>{40, 59})) << "half: the bottom edge's middle";
    ASSERT_TRUE(shelf_wedge_end(80, 60, 25, &ex, &ey));
    EXPECT_EQ((std::vector<int>{ex, ey}), (std::vector<int>{79, 30}));
    EXPECT_FALSE(shelf_progress_overlay(80, 80, 0) || shelf_progress_overlay(80, 80, 100));
    auto value = [](const Image* w, int x, int y) {
        return ((const uint8_t*)w + w->colourOffset)[y * w->colourPitch + x];
    };
    Image* half = shelf_progress_overlay(80, 80, 50);  // ends at (40, 79): the right half
    EXPECT_EQ((std::vector<int>{value(half, 60, 40), value(half, 78, 78), value(half, 20, 40),
                                value(half, 40, 10), value(half, 40, 70)}),
              (std::vector<int>{90, 90, 0, 255, 255}));
    Image* quarter = shelf_progress_overlay(80, 80, 25);  // ends at (79, 40)
    EXPECT_EQ((std::vector<int>{value(quarter, 60, 20), value(quarter, 60, 60), value(quarter, 70, 40)}),
              (std::vector<int>{90, 0, 255}));
    io_mem_free(half);
    io_mem_free(quarter);
}

TEST(Shelf, pointer_double_click_ctrl_toggle_and_band_centres) {
    Shelf s;
    put_box("a", 1);
    put_box("b", 2);
    shelf_load("a"), shelf_load("b");
    ShelfBox *a = at("a", 100, 100), *b = at("b", 300, 100), *hit = nullptr;
    screen_set_size_for_tests(800, 600);
    screen_grid_create();
    shelf_invalidate_changes();
    screen_flush();
    EXPECT_EQ(shelf_button_down(110, 110, 0, 1000, &hit), SHELF_DRAG);
    EXPECT_EQ(hit, a);
    shelf_invalidate_changes();  // only what changed is drawn again
    EXPECT_EQ((std::vector<bool>{screen_is_dirty(100, 100, 80, 53), screen_is_dirty(300, 100, 80, 53)}),
              (std::vector<bool>{true, false}));
    screen_grid_free();
    shelf_drag_end();
    EXPECT_EQ(shelf_button_down(113, 110, 0, 1100, &hit), SHELF_DRAG) << "3 pixels away: a new click";
    shelf_drag_end();
    EXPECT_EQ(shelf_button_down(115, 112, 0, 1200, &hit), SHELF_START);
    EXPECT_EQ(shelf_button_down(310, 110, 4, 1300, &hit) * 10 + shelf_selected_count(nullptr), SHELF_NONE + 2)
        << "Ctrl adds b";
    EXPECT_EQ(shelf_button_down(310, 110, 0, 1900, &hit), SHELF_DRAG);
    shelf_drag_motion(7, -200);
    shelf_drag_end();
    EXPECT_EQ((std::vector<int>{a->x, a->y, b->x, b->y}), (std::vector<int>{107, 0, 307, 0}));
    EXPECT_EQ(shelf_button_down(310, 10, 4, 2500, &hit), SHELF_NONE) << "Ctrl on a selected box";
    EXPECT_EQ((std::vector<int>{b->selected, b->dragging, a->selected}), (std::vector<int>{0, 0, 1}));

    // The band must hold a box's centre; its right and bottom edges are outside.
    shelf_band_end(0, 0, 307 + 40, 200, 0);
    EXPECT_TRUE(shelf_selected_count(&hit) == 1 && hit == a);
    shelf_band_end(0, 0, 307 + 41, 200, 4);  // with Ctrl both toggle
    EXPECT_TRUE(shelf_selected_count(&hit) == 1 && hit == b && shelf_head() == b);
}
