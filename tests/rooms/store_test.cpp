// tests/rooms/store_test.cpp -- the store room's rules on a real shelf in a scratch game folder.
#include "rooms/store.h"

#include <gtest/gtest.h>

#include <string>

#include "gui/io_dialog.h"
#include "gui/lt.h"
#include "gui/msgbox.h"
#include "gui/window.h"
#include "platform/screen.h"
#include "puzzle/box_samples.h"
#include "rooms/shelf.h"
#include "rooms/store_place.h"
#include "support/toolkit.h"

namespace {

using namespace box_samples;

// Every message box counts and closes at once, as if the player pressed Escape.
int g_messages = 0;
int close_at_once(const int* /*done*/) {
    g_messages++;
    return 0;
}

struct StoreRules : ::testing::Test {
    GameFolder folder;
    ModalToolkit toolkit{close_at_once};
    void SetUp() override {
        g_messages = 0;
        shelf_init(800, 600);
    }
    void TearDown() override { shelf_free(); }
    static void write_box(const std::string& name, int link = 0) {
        BoxRecord r{10, 0, 0, 48, 32, 12, 0, 0, 0, link, 0, link, 0, 0};
        std::vector<std::pair<uint32_t, Bytes>> chunks{{BOX_CHUNK_PICTURE, sample_jpeg()}};
        if (link) chunks.push_back({BOX_CHUNK_DESCRIPTION, text_bytes("More boxes on the web")});
        write_file("puzzles/" + name + ".pzl", box_bytes(r, chunks));
    }
    static ShelfBox* add(const char* name, int link = 0) {
        write_box(name, link);
        ShelfBox* box = shelf_load(name);
        EXPECT_NE(box, nullptr) << name;
        return box;
    }
};

TEST_F(StoreRules, selection_rules_name_the_refusal_text) {
    ShelfBox* a = add("alpha");
    ShelfBox* b = add("beta");
    ShelfBox* link = add("more", 1);
    const auto texts = [] {
        return std::vector<int>{
            store_selection_refusal(STORE_NEED_ANY), store_selection_refusal(STORE_NEED_SOME),
            store_selection_refusal(STORE_NEED_SOME_PUZZLE), store_selection_refusal(STORE_NEED_ONE),
            store_selection_refusal(STORE_NEED_ONE_PUZZLE)};
    };
    EXPECT_EQ(texts(), (std::vector<int>{0, 152, 152, 150, 150}));
    shelf_select(a, 1);
    EXPECT_EQ(texts(), (std::vector<int>{0, 0, 0, 0, 0}));
    shelf_select(link, 1);  // a link box among several is fine where several are
    EXPECT_EQ(texts(), (std::vector<int>{0, 0, 0, 151, 151}));
    shelf_deselect_all();
    shelf_select(link, 1);
    EXPECT_EQ(texts(), (std::vector<int>{0, 0, 153, 0, 153}));
    shelf_select(b, 1);
    shelf_select(link, 0);
    EXPECT_EQ(texts(), (std::vector<int>{0, 0, 0, 0, 0}));
    EXPECT_EQ(g_messages, 0);  // the rules themselves show nothing
}

TEST_F(StoreRules, rename_answers) {
    ShelfBox* box = add("alpha");
    add("Beta");
    write_file("puzzles/stray.pzl", text_bytes("not a box"));  // in the folder, not on the shelf

    EXPECT_EQ(store_rename_answer(box, "alpha"), STORE_RENAME_DONE);
    EXPECT_EQ(store_rename_answer(box, "   "), STORE_RENAME_ASK_AGAIN);
    EXPECT_EQ(store_rename_answer(box, "//"), STORE_RENAME_ASK_AGAIN);
    EXPECT_EQ(g_messages, 0);

    for (const char* taken : {"Beta", "bETA", "stray"}) {
        EXPECT_EQ(store_rename_answer(box, taken), STORE_RENAME_TAKEN) << taken;
        EXPECT_STREQ(box->name, "alpha");
    }
    EXPECT_EQ(g_messages, 3);  // text 16 each time
    EXPECT_EQ(read_file("puzzles/stray.pzl"), text_bytes("not a box"));

    // The same box under other capitals, then a new name made a file name first.
    EXPECT_EQ(store_rename_answer(box, "ALPHA"), STORE_RENAME_DONE);
    EXPECT_STREQ(box->name, "ALPHA");
    EXPECT_TRUE(exists("puzzles/ALPHA.pzl"));
    EXPECT_FALSE(exists("puzzles/alpha.pzl"));
    EXPECT_EQ(store_rename_answer(box, "  Harbour/Night "), STORE_RENAME_DONE);
    EXPECT_STREQ(box->name, "HarbourNight");
    EXPECT_EQ(shelf_find("harbournight"), box);
    EXPECT_TRUE(exists("puzzles/HarbourNight.pzl"));

    // The box file went behind the shelf's back: the player is told, nothing changes.
    std::filesystem::remove("puzzles/HarbourNight.pzl");
    EXPECT_EQ(store_rename_answer(box, "Gone"), STORE_RENAME_FAILED);
    EXPECT_EQ(g_messages, 4);
    EXPECT_STREQ(box->name, "HarbourNight");
    EXPECT_FALSE(exists("puzzles/Gone.pzl"));
}

TEST_F(StoreRules, names_from_other_programs_stay_inside_the_puzzles_folder) {
    write_box("gift");
    std::string text = folder.dir + "/../elsewhere/gift.PZL";
    KernelEvent e{KE_TEXT, 0, (intptr_t)text.c_str(), 0};
    EXPECT_EQ(store_text(&e), 1);
    ASSERT_NE(shelf_find("gift"), nullptr);
    EXPECT_EQ(shelf_count(), 1);
    for (const char* bad : {"..", "puzzles/", "missing.pzl", ""}) {
        KernelEvent b{KE_TEXT, 0, (intptr_t)bad, 0};
        EXPECT_EQ(store_text(&b), 1) << bad;
    }
    KernelEvent other{KE_TEXT, 1, (intptr_t) "gift", 0};
    EXPECT_EQ(store_text(&other), 0);
    EXPECT_EQ(shelf_count(), 1);
}

TEST_F(StoreRules, a_box_under_a_panel_moves_out_the_shortest_way) {
    ShelfBox* box = add("alpha");  // 80 x 53
    const int panel = window_register(-1, TW_SCREEN, 0, 0, 0, 0, nullptr, nullptr);
    const int tools = window_register(panel, TW_CHILD, 300, 100, 300, 66, nullptr, nullptr);
    const int menu = window_register(panel, TW_CHILD, 20, 100, 116, 162, nullptr, nullptr);
    const int windows[] = {tools, menu};
    const unsigned before = store_place_signature(windows, 2);

    // Under the tools window's bottom edge: down is shortest (past its shadow's room, badge
    // included: the badge sits 15 up and left of the box).
    box->x = 400, box->y = 120;
    EXPECT_EQ(store_place_clear(box, windows, 2), 1);
    EXPECT_EQ((std::vector<int>{box->x, box->y}), (std::vector<int>{400, 100 + 66 + 6 + 15}));
    EXPECT_EQ(store_place_clear(box, windows, 2), 0) << "free now: it stays";
    // Beside the menu near the left edge: right is shortest.
    box->x = 100, box->y = 200;
    EXPECT_EQ(store_place_clear(box, windows, 2), 1);
    EXPECT_EQ((std::vector<int>{box->x, box->y}), (std::vector<int>{20 + 116 + 6 + 15, 200}));
    // Under the top bar: down to its edge; a hidden window hides nothing.
    box->x = 700, box->y = 0;
    EXPECT_EQ(store_place_clear(box, windows, 2), 1);
    EXPECT_EQ(box->y, 24 + 15);
    window_show(tools, 0);
    EXPECT_NE(store_place_signature(windows, 2), before);
    box->x = 400, box->y = 120;
    EXPECT_EQ(store_place_clear(box, windows, 2), 0);
}

TEST(StoreInfo, text_by_hand) {
    lt_init(LUMAVEX_ASSETS_DIR "/english.ini");
    ShelfBox box{};
    std::snprintf(box.name, sizeof box.name, "Harbour");
    box.record.width = 640;
    box.record.height = 480;
    char out[512];
    store_info_text(&box, out, sizeof out);
    EXPECT_STREQ(out, "Name: Harbour\nSize: 640x480 Done: 0%\n");

    box.summary.percent = 37;
    box.summary.elapsedSeconds = 3725;
    store_info_text(&box, out, sizeof out);
    EXPECT_STREQ(out, "Name: Harbour\nSize: 640x480 Done: 37%\nPlaying time: 1:2:05");

    box.summary.percent = 100;
    box.summary.elapsedSeconds = 754;
    std::snprintf(box.summary.date, sizeof box.summary.date, "8 December 2026");
    store_info_text(&box, out, sizeof out);
    EXPECT_STREQ(out,
                 "Name: Harbour\nSize: 640x480 Done: 100%\nPlaying time: 12:34 Finished on: 8 December 2026");
    store_info_text(&box, out, 12);  // cut at the buffer's end
    EXPECT_STREQ(out, "Name: Harbo");

    char description[] = "More puzzles on the web";
    box.record.isLink = 1;
    box.description = description;
    store_info_text(&box, out, sizeof out);
    EXPECT_STREQ(out, description);
    store_info_text(nullptr, out, sizeof out);
    EXPECT_STREQ(out, "");
    lt_done();
}

}  // namespace
