// tests/rooms/create_test.cpp -- the create room's rules worked out by hand, and the room on the
// real toolkit over a scratch game folder.
#include "rooms/create.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "gui/button.h"
#include "gui/font.h"
#include "gui/ge.h"
#include "gui/io_dialog.h"
#include "gui/lt.h"
#include "gui/skin_pack.h"
#include "gui/window.h"
#include "image/pic.h"
#include "puzzle/box_samples.h"
#include "puzzle/curve.h"
#include "resources/dp.h"
#include "rooms/create_rules.h"
#include "rooms/shelf.h"
#include "rooms/store.h"

namespace {

using namespace box_samples;

TEST(CreateRules, sizes_piece_sizes_screens_and_info_text_against_values_worked_out_by_hand) {
    const Rect a = create_picture_area(1024, 768), shown = create_picture_rect(1024, 768, 200, 101);
    EXPECT_EQ((std::vector<int>{a.x, a.y, a.w, a.h}), (std::vector<int>{10, 28, 1004, 688}));
    EXPECT_EQ((std::vector<int>{shown.x, shown.y, shown.w, shown.h}), (std::vector<int>{412, 321, 200, 101}));
    int w, h;
    create_fit(3000, 2000, 1004, 688, &w, &h);
    EXPECT_EQ((std::pair(w, h)), (std::pair(1004, 669)));
    create_fit(1000, 3000, 1004, 688, &w, &h);  // the height meets the edge first
    EXPECT_EQ((std::pair(w, h)), (std::pair(229, 688)));

    // Wide: the slider sets the width from 3000 * 40 / 2000; tall (and square): the height.
    CreateSizeSlider s = create_size_slider(3000, 2000, 1004, 669);
    EXPECT_EQ((std::vector<int>{s.tall, s.minimum, s.maximum}), (std::vector<int>{0, 60, 1004}));
    s = create_size_slider(500, 500, 500, 500);
    EXPECT_EQ((std::vector<int>{s.tall, s.minimum, s.maximum}), (std::vector<int>{1, 40, 500}));
    s = create_size_slider(1000, 3000, 229, 688);
    EXPECT_EQ((std::vector<int>{s.tall, s.minimum, s.maximum}), (std::vector<int>{1, 120, 688}));

    create_size_at(3000, 2001, 0, 1000, &w, &h);  // 2001 * 1000 / 3000, rounded down
    EXPECT_EQ((std::pair(w, h)), (std::pair(1000, 667)));
    create_size_at(1000, 3000, 1, 300, &w, &h);
    EXPECT_EQ((std::pair(w, h)), (std::pair(100, 300)));

    EXPECT_EQ(create_piece_size_max(1004, 669), 334);
    EXPECT_EQ(create_piece_size_max(40, 12), BOX_PIECE_SIZE_MIN);

    const int pictures[][4] = {{620, 400, 640, 480},     {621, 400, 800, 600}, {1004, 688, 1024, 768},
                               {1580, 1120, 1600, 1200}, {1581, 1120, 0, 0},   {1580, 1121, 0, 0}};
    for (const auto& p : pictures) {
        EXPECT_EQ(create_recommended_screen(p[0], p[1], &w, &h), p[2] != 0) << p[0] << "x" << p[1];
        EXPECT_EQ((std::pair(w, h)), (std::pair(p[2], p[3]))) << p[0] << "x" << p[1];
    }
    lt_init(LUMAVEX_ASSETS_DIR "/english.ini");
    BoxRecord r{};
    char out[512];
    create_info_text("Harbour", &r, out, sizeof out);
    EXPECT_STREQ(out, "");
    r.width = 1004, r.height = 669, r.pieceCount = 620;
    create_info_text("Harbour", &r, out, sizeof out);
    EXPECT_STREQ(out, "Name: Harbour\nPieces: 620, Size: 1004x669\nPlays best at 1024 x 768 or more.");
    r.width = 1600;
    create_info_text("Harbour", &r, out, sizeof out);
    EXPECT_STREQ(out, "Name: Harbour\nPieces: 620, Size: 1600x669");
    lt_done();
}

TEST(CreateRules, the_pieces_slider_walks_distinct_counts_and_the_grid_fit_leaves_nothing_out) {
    // A 1600 x 1200 picture on a 1024 x 768 screen is 917 x 688: piece sizes 10 .. 344 give 59
    // distinct counts, each at the largest size that gives it.
    int sizes[CREATE_STEPS_MAX];
    const int n = create_piece_steps(917, 688, sizes, CREATE_STEPS_MAX);
    ASSERT_EQ(n, 59);
    auto count = [](int size) { return (917 / size) * (688 / size); };
    EXPECT_EQ((std::vector<int>{sizes[0], count(sizes[0]), sizes[n - 1], count(sizes[n - 1])}),
              (std::vector<int>{10, 6188, 344, 4}));
    for (int i = 1; i < n; i++) {
        EXPECT_LT(count(sizes[i]), count(sizes[i - 1])) << "step " << i;
        EXPECT_NE(count(sizes[i] + 1), count(sizes[i])) << "the largest size of its count, step " << i;
    }
    // A size inside a step's run finds that step; the first step of 40 pixels or more is where a
    // new picture starts (22 x 17 pieces).
    const int at40 = create_step_of(sizes, n, 917, 688, 40);
    EXPECT_EQ(sizes[create_step_of(sizes, n, 917, 688, 37)], 38) << "37 and 38 both give 24 x 18";
    EXPECT_EQ((std::vector<int>{create_default_step(sizes, n), sizes[at40], count(40)}),
              (std::vector<int>{at40, 40, 22 * 17}));
    EXPECT_EQ(sizes[create_default_step(sizes, create_piece_steps(60, 50, sizes, CREATE_STEPS_MAX))], 25)
        << "no 40-pixel pieces in 60 x 50: the largest there are";
    EXPECT_EQ(create_piece_steps(917, 688, sizes, 3), 3);
    EXPECT_EQ(sizes[2], 344) << "cut short, the largest pieces stay";

    // A 4000 x 3000 picture kept at its own size offers no more than 10,000 pieces: the first
    // step is the smallest size within (35: 114 x 85 = 9690; 34 gives 117 x 88 = 10296), and a
    // new picture still starts at 40 pixels (100 x 75).
    auto big = [](int size) { return (4000 / size) * (3000 / size); };
    const int m4000 = create_piece_steps(4000, 3000, sizes, CREATE_STEPS_MAX);
    EXPECT_EQ((std::vector<int>{sizes[0], big(sizes[0]), big(sizes[0] - 1) > CREATE_PIECES_MAX}),
              (std::vector<int>{35, 9690, 1}));
    EXPECT_EQ(big(sizes[create_default_step(sizes, m4000)]), 100 * 75);
    // The size slider reaches the picture's own size.
    const CreateSizeSlider whole = create_size_slider(4000, 3000, 4000, 3000);
    EXPECT_EQ((std::vector<int>{whole.tall, whole.minimum, whole.maximum}), (std::vector<int>{0, 53, 4000}));

    // What the 40-pixel grid leaves out: 37 columns and 8 rows, centred as the cut centres it.
    const CreateMargins m = create_margins(917, 688, 40);
    EXPECT_EQ((std::vector<int>{m.left, m.right, m.top, m.bottom}), (std::vector<int>{18, 19, 4, 4}));
    // The fit: 4 : 3 pictures fit whole numbers of pieces at sides that are multiples of 4; the
    // nearest in count and size is 912 x 684 at 38 pixels (24 x 18).
    CreateGridFit fit;
    const CreateSizeSlider slider = create_size_slider(1600, 1200, 917, 688);
    ASSERT_TRUE(create_fit_grid(1600, 1200, slider, 917, 688, 40, 1, &fit));
    EXPECT_EQ((std::vector<int>{fit.pieceSize, fit.width, fit.height}), (std::vector<int>{38, 912, 684}));
    // An edited box keeps its size: only a piece size dividing both sides fits (48 x 32: 16).
    const CreateSizeSlider own = create_size_slider(48, 32, 48, 32);
    ASSERT_TRUE(create_fit_grid(48, 32, own, 48, 32, 10, 0, &fit));
    EXPECT_EQ((std::vector<int>{fit.pieceSize, fit.width, fit.height}), (std::vector<int>{16, 48, 32}));
    EXPECT_FALSE(create_fit_grid(48, 32, own, 48, 32, 16, 0, &fit)) << "nothing is left out";
    EXPECT_FALSE(create_fit_grid(1004, 669, create_size_slider(1004, 669, 1004, 669), 1004, 669, 40, 0, &fit))
        << "1004 and 669 share no divisor of 10 or more";

    lt_init(LUMAVEX_ASSETS_DIR "/english.ini");
    char out[256];
    create_pieces_text(917, 688, 40, out, sizeof out);
    EXPECT_STREQ(out, "40 px: 22 x 17 = 374 pieces");
    create_size_text(917, 688, out, sizeof out);
    EXPECT_STREQ(out, "917 x 688 pixels");
    BoxRecord r{};
    r.width = 917, r.height = 688, r.pieceSize = 40, r.pieceCount = 374;
    create_info_text("Wide", &r, out, sizeof out);
    EXPECT_STREQ(out,
                 "Name: Wide\nPieces: 374, Size: 917x688\nLeft out: 18 px left, 19 right, 4 top, 4 bottom\n"
                 "Plays best at 1024 x 768 or more.");
    lt_done();
}

// --- The room on the toolkit ---

// What the modal boxes were asked, in order; input boxes take the next answer ("" keeps what
// is proposed), message boxes are answered OK.
std::vector<std::string> g_asked, g_answers;
int answer(const int* /*done*/) {
    const char* proposed = io_dialog_text(0);
    g_asked.push_back(proposed ? "name " + std::string(proposed) : "message");
    if (proposed && !g_answers.empty()) {
        if (!g_answers.front().empty()) io_dialog_set_text(0, g_answers.front().c_str());
        g_answers.erase(g_answers.begin());
    }
    window_end_modal(1, proposed != nullptr);
    return 1;
}

struct CreateRoom : ::testing::Test {
    GameFolder folder;
    SkinFrame frame{1024, 768};
    void SetUp() override {
        lt_init(LUMAVEX_ASSETS_DIR "/english.ini");
        ASSERT_TRUE(dp_extract(dp_get_index("skin.ini", 1), "sfiles/skin.ini"));
        ge_init("sfiles/skin.ini");
        window_init();
        font_init(0);
        msgbox_create("Lumavex");
        progress_create("Lumavex");
        inputbox_create("Lumavex");
        io_dialog_set_runner(answer);
        curves_load();
        g_asked.clear(), g_answers.clear();
        store_init();
        createroom_create();
        createroom_open_new();
    }
    void TearDown() override {
        window_done();
        io_dialog_set_runner(nullptr);
        curves_free();
        font_done();
        ge_done();
        lt_done();
    }
    // A w x h JPEG file.
    static std::string picture(const std::string& name, int w, int h) {
        write_file(name, sample_jpeg(w, h));
        return name;
    }
    // A slider moved by the player: its value, then the event it posts to its window.
    static void slide(int control, int value) {
        const int slider = createroom_control(control);
        slider_set_value(slider, value);
        KernelEvent e{WE_SLIDER, slider, value, 0}, tick{KE_TICK, 0, 0, 0};
        post_event(window_parent(slider), &e);
        window_dispatch(&tick);
    }
    // A left click in the middle of a control.
    static void click(int control) {
        int x, y, w, h;
        window_screen_pos(createroom_control(control), &x, &y);
        window_size(createroom_control(control), &w, &h);
        for (int type : {KE_MOUSEDOWN, KE_MOUSEUP}) {
            KernelEvent e{type, x + w / 2, y + h / 2, 1};
            window_dispatch(&e);
        }
    }
};

TEST_F(CreateRoom, import_takes_pictures_from_40_by_40_and_leaves_the_room_empty_otherwise) {
    ASSERT_EQ(createroom_import(picture("square.jpg", 40, 40).c_str()), 1);
    const BoxRecord* r = createroom_record();
    // No 40-pixel pieces fit: the largest there are, half the side; the edge style starts at 1.
    EXPECT_EQ((std::vector<int>{r->width, r->height, r->pieceSize, r->pieceCount, r->edgeStyle}),
              (std::vector<int>{40, 40, 20, 4, 1}));

    write_file("broken.jpg", Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0, 16});
    // thin.jpg is large enough itself, but only 37 pixels high once fitted to the screen.
    for (std::string path :
         {picture("narrow.jpg", 39, 40), picture("low.jpg", 400, 39), picture("thin.jpg", 2700, 100),
          std::string("broken.jpg"), std::string("missing.png")}) {
        ASSERT_EQ(createroom_import(picture("good.jpg", 200, 100).c_str()), 1);
        EXPECT_EQ(createroom_import(path.c_str()), 0) << path;
        EXPECT_EQ(createroom_record()->width, 0) << path;  // cleared before loading
    }
    EXPECT_EQ(g_asked, std::vector<std::string>(5, "message"));  // and none for the pictures taken
}

TEST_F(CreateRoom, a_new_box_gets_a_free_name_and_reads_back_as_it_was_set) {
    write_file("puzzles/Harbour.pzl", box_bytes(BoxRecord{10, 0, 0, 48, 32, 12, 0, 0, 0, 0, 0, 0, 0, 0},
                                                {{BOX_CHUNK_PICTURE, sample_jpeg()}}));
    ASSERT_NE(shelf_load("Harbour"), nullptr);
    ASSERT_EQ(createroom_import(picture("harbour.jpg", 300, 200).c_str()), 1);

    // The picture shrinks to 120 x 80: the piece size of 50 comes down to 40 with it.
    slide(CREATE_PIECE_SIZE, 50);
    slide(CREATE_SIZE, 120);
    slide(CREATE_IRREGULARITY, 25);
    click(CREATE_EDGE_FIRST + 5);
    click(CREATE_ROTATION);

    // The proposed name is the shelf's box in other letters: taken; then a free one.
    g_answers = {"", "  Quay "};
    click(CREATE_SAVE);
    EXPECT_EQ(g_asked, (std::vector<std::string>{"name harbour", "message", "name harbour"}));
    EXPECT_EQ(createroom_record()->width, 0);  // left the room
    ASSERT_NE(shelf_find("Quay"), nullptr);
    EXPECT_TRUE(shelf_find("Quay")->selected);

    FileStamp stamp;
    BoxRecord r;
    ASSERT_EQ(box_read("Quay", &stamp, &r, BOX_ALL), 1);
    EXPECT_EQ((std::vector<int>{r.pieceSize, r.irregularity, r.edgeStyle, r.width, r.height, r.pieceCount,
                                r.rotation, r.hiddenPicture, r.hasTune, r.hasDescription, r.hasAddress}),
              (std::vector<int>{40, 25, 5, 120, 80, 6, 1, 0, 0, 0, 0}));
    ASSERT_EQ(pic_load_jpeg(BOX_PICTURE_FILE), 1);
    EXPECT_EQ((std::pair(pic_working()->width, pic_working()->height)), (std::pair(120, 80)));
    pic_free();
}

TEST_F(CreateRoom, keys_walk_the_counts_and_the_fit_takes_a_size_the_grid_covers) {
    ASSERT_EQ(createroom_import(picture("tall.jpg", 300, 450).c_str()), 1);
    const BoxRecord* r = createroom_record();
    auto key = [](int k) {
        KernelEvent e{KE_KEYDOWN, k, 0, 0};
        window_dispatch(&e);
        return std::vector<int>{createroom_record()->pieceSize, createroom_record()->pieceCount};
    };
    // 300 x 450 starts at 40-pixel pieces (7 x 11); the ends are 10 and 150 pixels.
    EXPECT_EQ((std::vector<int>{r->pieceSize, r->pieceCount}), (std::vector<int>{40, 7 * 11}));
    EXPECT_EQ(key(KEY_HOME), (std::vector<int>{10, 30 * 45}));
    EXPECT_EQ(key(KEY_RIGHT), (std::vector<int>{11, 27 * 40}));
    EXPECT_EQ(key(KEY_LEFT), (std::vector<int>{10, 30 * 45}));
    EXPECT_EQ(key(KEY_END), (std::vector<int>{150, 2 * 3}));
    EXPECT_EQ(key(KEY_RIGHT), (std::vector<int>{150, 2 * 3})) << "held at the end";
    key(KEY_HOME);
    EXPECT_EQ(key(KEY_PAGEUP)[1], r->pieceCount);
    EXPECT_LT(r->pieceCount, 30 * 45) << "a page is several counts";

    key(KEY_END);
    for (int i = 0; i < 10; i++)
        key(KEY_LEFT);
    const int count = r->pieceCount;
    click(CREATE_FIT);
    EXPECT_EQ((std::vector<int>{r->width % r->pieceSize, r->height % r->pieceSize}), (std::vector<int>{0, 0}))
        << r->width << " x " << r->height << " at " << r->pieceSize;
    EXPECT_NEAR(r->pieceCount, count, count / 4);
}

TEST_F(CreateRoom, re_saving_keeps_the_place_and_the_description_and_gives_a_new_stamp) {
    const Bytes description = text_bytes("Boats at night");
    write_file("puzzles/Night.pzl",
               box_bytes(BoxRecord{10, 0, 1, 48, 32, 12, 0, 0, 0, 1, 0, 0, 0, 0},
                         {{BOX_CHUNK_PICTURE, sample_jpeg()}, {BOX_CHUNK_DESCRIPTION, description}}));
    ShelfBox* box = shelf_load("Night");
    ASSERT_NE(box, nullptr);
    box->x = 300, box->y = 200;
    const FileStamp before = box->stamp;

    EXPECT_EQ(createroom_open_box("Missing"), 0);
    ASSERT_EQ(createroom_open_box("Night"), 1);
    // A box arriving meanwhile empties the working files; the box keeps its description.
    box_clear_work_files(BOX_ALL);
    slide(CREATE_PIECE_SIZE, 2);  // 48 x 32 allows 4 x 3, 4 x 2 and 3 x 2 pieces: the last
    click(CREATE_SAVE);
    EXPECT_TRUE(g_asked.empty());  // no name question for a box that has one
    EXPECT_EQ(window_room(), store_room_window());

    box = shelf_find("Night");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ((std::pair(box->x, box->y)), (std::pair(300, 200)));
    EXPECT_EQ(shelf_count(), 1);
    FileStamp stamp;
    BoxRecord r;
    ASSERT_EQ(box_read("Night", &stamp, &r, BOX_ALL), 1);
    EXPECT_NE(std::memcmp(&stamp, &before, sizeof stamp), 0);
    EXPECT_EQ((std::vector<int>{r.pieceSize, r.pieceCount, r.width, r.hasDescription}),
              (std::vector<int>{16, 6, 48, 1}));
    EXPECT_EQ(read_file(BOX_DESCRIPTION_FILE), description);
}

}  // namespace
