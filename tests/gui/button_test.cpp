// Buttons and controls driven through the real window manager, and the arithmetic of their sizes.
// Not yet written: the text window growing but never shrinking; the message box's Enter/Escape.
#include "gui/button.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/font.h"
#include "gui/msgbox.h"
#include "gui/skin_pack.h"
#include "platform/io_video.h"
#include "platform/screen.h"
#include "support/fatal_trap.h"

namespace {

std::vector<KernelEvent> g_received;  // WE_BUTTON and WE_SLIDER that reached the room

int room_handler(int, KernelEvent* e) {
    if (e->type == WE_BUTTON || e->type == WE_SLIDER) g_received.push_back(*e);
    return 0;
}

struct Controls : ::testing::Test {
    int room = -1;
    void SetUp() override {
        io_video_create_frame(800, 600, 24);
        screen_grid_create();
        window_init();
        room = window_register(-1, TW_SCREEN, 0, 0, 0, 0, room_handler, nullptr);
        window_focus(room);
        g_received.clear();
    }
    void TearDown() override {
        window_done();
        screen_grid_free();
        io_video_close();
    }
    static int send(int type, int a, int b = 0, int c = 0) {
        KernelEvent e{type, a, b, c};
        return window_dispatch(&e);
    }
    static int x_of(int window) {
        int x, y;
        window_pos(window, &x, &y);
        return x;
    }
};

TEST_F(Controls, button_radio_groups_open_and_close_in_registration_order) {
    EXPECT_EQ(fatal_message_of([&] { button_register(room, BS_RADIO, 0, 0, 20, 20, 0, "Lone", 0, 0); }),
              "button_register: where is for Lone BS_RGFIRST?");
    int first = button_register(room, BS_RADIO | BS_RGFIRST | BS_NOTIFY, 0, 0, 20, 20, 0, "A", 0, 0);
    button_register(room, BS_RADIO | BS_NOTIFY, 20, 0, 20, 20, 0, "B", 0, 0);
    EXPECT_EQ(
        fatal_message_of([&] { button_register(room, BS_RADIO | BS_RGFIRST, 0, 0, 20, 20, 0, "C", 0, 0); }),
        "button_register: next BS_RGFIRST for C");
    int last = button_register(room, BS_RADIO | BS_RGLAST | BS_NOTIFY, 40, 0, 20, 20, 0, "D", 0, 0);
    EXPECT_EQ(button_selected_in_group(first), -1);

    send(KE_MOUSEDOWN, 45, 5, 1);
    EXPECT_EQ(button_selected_in_group(first), 2);
    button_select_in_group(first, 0);
    send(KE_MOUSEDOWN, 45, 5, 1);  // pressing the checked one keeps it the only one checked
    EXPECT_EQ(button_state(first) + button_state(last), 1);
    EXPECT_EQ(button_selected_in_group(first), 2);
    ASSERT_EQ(g_received.size(), 2u);
    EXPECT_EQ(g_received[1].a, last);
    EXPECT_EQ(g_received[1].b, 1);
}

TEST_F(Controls, button_keys_toggles_and_disabled_buttons) {
    int toggle = button_register(room, BS_TOGGLE | BS_NOTIFY, 10, 10, 30, 20, 0, nullptr, 0, KEY_DELETE);
    int push = button_register(room, BS_PUSH, 100, 10, 30, 20, 0, nullptr, 0, 'P');
    EXPECT_EQ(send(KE_KEYDOWN, KEY_DELETE), 1);
    EXPECT_EQ(button_state(toggle), 1);
    EXPECT_EQ(send(KE_KEYDOWN, KEY_DELETE | KEY_CTRL), 0);
    ASSERT_EQ(g_received.size(), 1u);
    EXPECT_EQ(g_received[0].type, WE_BUTTON);
    EXPECT_EQ(g_received[0].a, toggle);
    EXPECT_EQ(g_received[0].b, 1);

    send(KE_MOUSEMOVE, 105, 15);  // hover, then the mouse leaves for another window
    EXPECT_EQ(button_active(push), 1);
    send(KE_MOUSEMOVE, 15, 15);
    EXPECT_EQ(button_active(push), 0);

    button_enable(toggle, 0);
    button_enable(push, 0);
    send(KE_MOUSEMOVE, 105, 15);
    EXPECT_EQ(button_active(push), 0);
    EXPECT_EQ(send(KE_MOUSEDOWN, 105, 15, 1), 0);
    EXPECT_EQ(send(KE_KEYDOWN, 'P'), 0);
    EXPECT_EQ(send(KE_KEYDOWN, KEY_DELETE), 0);
    EXPECT_EQ(button_state(toggle), 1);
    EXPECT_EQ(g_received.size(), 1u);
}

TEST_F(Controls, slider_pages_presses_and_drags) {
    EXPECT_EQ(slider_page(0, 3), 1);
    EXPECT_EQ(slider_page(0, 100), 20);
    // Track 44..256: value 10 puts the thumb at 44 + 10 * 212 / 100 = 65.
    int slider = slider_register(room, SLIDER_NOTIFY, 0, 100, 300, 9);
    slider_set_range(slider, 0, 100);
    slider_set_value(slider, 10);
    EXPECT_EQ(slider_thumb_x(0, 100, 10, 44, 256), 65);

    send(KE_MOUSEDOWN, 46, 112, 1);  // on the track left of the thumb: 10 - 20, clamped
    EXPECT_EQ(slider_value(slider), 0);
    send(KE_MOUSEDOWN, 250, 111, 1);  // the thumb and the track start 10 down
    EXPECT_EQ(slider_value(slider), 20);
    send(KE_MOUSEDOWN, 250, 110, 1);  // the caption's row: nothing
    EXPECT_EQ(slider_value(slider), 20);
    send(KE_MOUSEDOWN, 299 - 16, 116, 1);  // right arrow
    EXPECT_EQ(slider_value(slider), 21);
    slider_set_step(slider, 5);  // the arrows' step
    send(KE_MOUSEDOWN, 16, 116, 1);
    send(KE_MOUSEDOWN, 299 - 16, 116, 1);
    EXPECT_EQ(slider_value(slider), 21);

    // Grab the thumb (now at 44 + 21 * 212 / 100 = 88) and drag it: 2.12 pixels per unit.
    send(KE_MOUSEDOWN, 88, 112, 1);
    EXPECT_EQ(window_capture_kind(), 2);
    send(KE_MOUSEMOVE, 150, 140);  // 106 pixels along the track
    EXPECT_EQ(slider_value(slider), 50);
    send(KE_MOUSEMOVE, 700, 110);  // held at the track's end
    EXPECT_EQ(slider_value(slider), 100);
    send(KE_MOUSEUP, 700, 110, 1);
    EXPECT_EQ(window_capture_kind(), 0);

    std::vector<int> told;
    for (const KernelEvent& e : g_received)
        if (e.type == WE_SLIDER && e.a == slider) told.push_back(static_cast<int>(e.b));
    EXPECT_EQ(told, (std::vector<int>{0, 20, 21, 16, 21, 50, 100}));
    EXPECT_EQ(slider_value_at(0, 1000, 45, 44, 256), 4);  // wider range than track: 0.212 per unit
}

TEST_F(Controls, button_bar_places_slot_zero_right_most) {
    int parent = window_register(room, TW_CHILD, 50, 50, 400, 300, room_handler, nullptr);
    int bar = button_bar_create(parent);
    int cancel = button_bar_add(bar, 0, 0, nullptr, 43, 0, 0);
    int ok = button_bar_add(bar, 1, 0, nullptr, 45, 0, 60);
    int other = button_bar_add(bar, 1, 1, nullptr, 41, 0, 40);
    window_resize(parent, 500, 320);
    button_bar_layout(bar);

    int x, y, w, h;
    window_pos(bar, &x, &y);
    window_size(bar, &w, &h);
    EXPECT_EQ(std::vector<int>({x, y, w, h}), std::vector<int>({0, 296, 500, 24}));
    EXPECT_EQ(x_of(cancel), 500 - 24 - 90);
    EXPECT_EQ(x_of(ok), 500 - 24 - 90 - 60);
    EXPECT_EQ(x_of(other), x_of(ok));
    EXPECT_EQ(button_bar_button(bar, 1, 1), other);
    EXPECT_EQ(button_bar_button(bar, 2, 0), -1);

    send(KE_MOUSEDOWN, 50 + 500 - 24 - 45, 50 + 308, 1);  // Cancel notifies the bar's parent
    ASSERT_EQ(g_received.size(), 1u);
    EXPECT_EQ(g_received[0].a, cancel);
}

TEST(ControlSizes, natural_sizes_box_heights_and_progress_blocks) {
    int w, h;
    button_natural_size(BS_TOGGLE | BS_PICTURE | BS_TEXT, 16, 16, 50, 12, 0, 0, &w, &h);
    EXPECT_EQ(w * 1000 + h, 76 * 1000 + 16);
    button_natural_size(BS_PUSH | BS_TEXT | BS_FRAME, 0, 0, 50, 12, 0, 0, &w, &h);
    EXPECT_EQ(w * 1000 + h, 65 * 1000 + 12);
    button_natural_size(BS_PUSH | BS_FAZE, 0, 0, 0, 0, 30, 40, &w, &h);
    EXPECT_EQ(w * 1000 + h, 30 * 1000 + 40);

    EXPECT_EQ(msgbox_height(120), 172);
    EXPECT_EQ(msgbox_height(0), 52) << "an empty text leaves the title and the bar";

    EXPECT_EQ(progress_blocks(50, 100), 30);
    EXPECT_EQ(progress_blocks(150, 100), 60);
    EXPECT_EQ(progress_blocks(1, 7), 8);
    EXPECT_EQ(progress_blocks(5, 0), 0);
}

// A message box is as high as its text: one line leaves no empty half, each further line adds one
// line's advance, and ten lines still fit the screen.
TEST(MessageBox, heights_for_one_two_and_ten_lines_follow_the_text) {
    SkinFrame frame(800, 600);
    font_init(0);
    const int advance = font_get(FONT_SYSTEM)->lineAdvance;
    std::string text = "Well done!";
    const int one = msgbox_height_for(text.c_str(), MSG_CENTRED);
    EXPECT_LE(one, TITLE_HEIGHT + 24 + 2 * advance + 20) << "one line, the title and the bar";
    EXPECT_GE(one, TITLE_HEIGHT + 24 + advance);
    text += "\nYou have finished Sunset Lake.";
    EXPECT_EQ(msgbox_height_for(text.c_str(), MSG_CENTRED), one + advance);
    for (int line = 3; line <= 10; line++)
        text += "\nLine " + std::to_string(line);
    const int ten = msgbox_height_for(text.c_str(), 0);
    EXPECT_EQ(ten, one + 9 * advance);
    EXPECT_LE(ten, 600);
    // A text that would wrap beyond the screen is cut to the screen's height.
    std::string many;
    for (int line = 0; line < 200; line++)
        many += "Line\n";
    EXPECT_EQ(msgbox_height_for(many.c_str(), 0), 600);
    font_done();
}

}  // namespace
