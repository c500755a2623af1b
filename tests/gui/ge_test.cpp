// tests/gui/ge_test.cpp -- the skin: colours from skin.ini, element tiles, title-bar pieces, the
// gradient, the minimise corner, and a room's skin drawn whole and through parts of the cells.
#include "gui/ge.h"

#include <gtest/gtest.h>

#include <string>

#include "gui/font.h"
#include "gui/skin_pack.h"
#include "platform/io_mem.h"
#include "support/fatal_trap.h"
#include "support/files.h"
#include "support/golden.h"

namespace {

// The pack's skin.ini as text.
std::string pack_skin_ini() {
    void* block = dp_load(dp_get_index("skin.ini", 1));
    std::string text((const char*)block, io_mem_size(block));
    io_mem_free(block);
    return text;
}

// The line of key gets the value, or goes with a null value.
std::string with_key(std::string text, const std::string& key, const char* value) {
    const size_t at = text.find("\n" + key + "=") + 1, end = text.find_first_of("\r\n", at);
    return text.replace(at, end - at, value ? key + "=" + value : "");
}

std::string skin_file(const TempDir& dir, const std::string& text) {
    write_file(dir / "skin.ini", text_bytes(text));
    return dir / "skin.ini";
}

TEST(SkinColours, blanks_transparent_and_a_missing_key) {
    SkinFrame frame(320, 200);
    TempDir dir;
    std::string text = pack_skin_ini();
    text = with_key(with_key(text, "Bevel_LT", " 255 0 0"), "Bevel_T", "Transparent");
    ge_init(skin_file(dir, text).c_str());
    EXPECT_EQ(ge_colour(0), 0xFF0000);
    EXPECT_EQ(ge_colour(1), -1);
    text = with_key(text, "GalleryOutline", nullptr);
    const std::string path = skin_file(dir, text);
    EXPECT_EQ(fatal_message_of([&] { ge_init(path.c_str()); }), "ge_init: color GalleryOutline not found\n");
}

TEST(SkinLayout, element_tiles_title_bar_pieces_and_gradient) {
    GeElementTiles t;
    ge_element_tiles(9, &t);
    EXPECT_EQ((std::vector<int>{t.sheetB, t.topLeft, t.topRight, t.top, t.centre}),
              (std::vector<int>{1, 5, 9, 6, 11}));
    ge_element_tiles(13, &t);
    EXPECT_EQ((std::vector<int>{t.topRight, t.right, t.left, t.bottomRight}),
              (std::vector<int>{7, 12, 10, 22}));

    auto pieces = [](int w, int raisable, int rollUp, int close) {
        GeTitlePiece p[GE_TITLE_PIECES_MAX];
        std::vector<int> out;
        for (int i = 0, n = ge_title_bar_layout(100, w, raisable, rollUp, close, p); i < n; i++)
            out.insert(out.end(), {p[i].piece, p[i].x, p[i].xEnd});
        return out;
    };
    EXPECT_EQ(pieces(200, 1, 1, 1),
              (std::vector<int>{0, 100, 112, 1, 112, 124, 2, 124, 240, 3, 240, 252, 9, 252, 264}));
    EXPECT_EQ(pieces(200, 0, 1, 0), (std::vector<int>{0,   100, 112, 6,   112, 124, 7,   124, 240, 8,  240,
                                                      252, 9,   252, 264, 5,   282, 288, 4,   288, 300}));
    EXPECT_EQ(pieces(60, 1, 0, 0),
              (std::vector<int>{0, 100, 112, 1, 112, 124, 2, 124, 136, 3, 136, 148, 4, 148, 160}));

    uint8_t first[256], last[256];
    ge_gradient_table(1.0, 2.0, 600, 0, first);
    ge_gradient_table(1.0, 2.0, 600, 599, last);
    for (int v = 0; v < 256; v++)
        ASSERT_EQ(first[v], v);
    EXPECT_EQ(last[128] * 1000 + last[255], 64 * 1000 + 255);
}

TEST(SkinCorner, hover_invalidates_and_only_a_plain_left_press_minimises) {
    SkinFrame frame(320, 200);
    TempDir dir;
    ge_init(skin_file(dir, pack_skin_ini()).c_str());
    screen_flush();
    KernelEvent move{KE_MOUSEMOVE, 310, 5, 0};
    EXPECT_EQ(ge_corner_event(&move), 0);
    EXPECT_TRUE(screen_is_dirty(300, 0, 20, 20));
    screen_flush();
    KernelEvent ctrl{KE_MOUSEDOWN, 310, 5, 1 + 4}, right{KE_MOUSEDOWN, 310, 5, 2},
        left{KE_MOUSEDOWN, 310, 5, 1};
    EXPECT_EQ(ge_corner_event(&ctrl) * 10 + ge_corner_event(&right), 0);
    EXPECT_FALSE(screen_is_dirty(0, 0, 320, 200));  // hover unchanged
    EXPECT_EQ(ge_corner_event(&left), 1);
    KernelEvent away{KE_MOUSEMOVE, 299, 5, 0};
    ge_corner_event(&away);
    EXPECT_TRUE(screen_is_dirty(300, 0, 20, 20));
}

void draw_room() {
    ge_background_draw();
    ge_set_room_title("Store room");
    ge_set_game_title("Lumavex");
    ge_draw_top_bar();
    ge_set_origin(24, 56);
    ge_draw_title_bar(0, -18, 190, 1, 1, 1);
    ge_draw_element(1, 0, 0, 190, 104);
    ge_draw_element(0, 16, 60, 90, 30);
    ge_draw_element(9, 116, 62, 60, 26);
    ge_bevel_box(14, 10, 162, 40);
    ge_draw_slider_track(-20, 112, 230);
    ge_draw_picture(GE_PICTURE_OK, 150, 116);
    font_set_style(FONT_MEDIUM, ge_colour(GE_BUTTON_TEXT), ge_colour(GE_BUTTON_TEXT_SHADOW));
    font_set_layout(1, 90);
    font_draw("Open", 16 + 24, 60 + 56 + 6);
    font_set_style(FONT_SMALL, ge_colour(GE_MSGBOX_TEXT), -1);
    font_set_layout(0, 150);
    font_draw("A quiet evening puzzle with a view of the harbour.", 44, 70);
    ge_draw_status("Two pieces joined", 160);
    ge_set_origin(0, 0);
}

TEST(SkinDrawing, a_room_drawn_whole_equals_the_room_drawn_through_halves_of_the_cells) {
    SkinFrame frame(320, 200);
    TempDir dir;
    ge_init(skin_file(dir, pack_skin_ini()).c_str());
    font_init(0);
    ge_background_build();
    draw_room();
    const ImageView v = SkinFrame::view();
    const std::vector<uint8_t> whole(SkinFrame::at(0, 199), SkinFrame::at(0, 199) + 320 * 3 * 200);
    EXPECT_EQ(golden_hash(v, "skin_room"), 268942395991379341ull);

    std::memset(SkinFrame::at(0, 199), 0, whole.size());
    screen_flush();
    screen_invalidate(0, 0, 160, 200);
    draw_room();
    screen_invalidate(160, 0, 160, 200);
    draw_room();
    EXPECT_TRUE(std::vector<uint8_t>(SkinFrame::at(0, 199), SkinFrame::at(0, 199) + whole.size()) == whole);
    font_done();
    ge_done();
}

}  // namespace
