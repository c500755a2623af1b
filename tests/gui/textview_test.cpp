// The text view: where its lines break, and scrolling by the keys, the wheel and the parts of its
// scroll bar through the real window manager.
#include "gui/textview.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/font.h"
#include "gui/skin_pack.h"
#include "gui/window.h"

namespace {

// The lines as text, '|' between them.
std::string laid_out(const std::string& text, int width) {
    int advances[256];
    for (int& a : advances)
        a = 10;
    std::vector<TextViewLine> lines;
    textview_layout(text, advances, width, &lines);
    std::string out;
    for (const TextViewLine& l : lines)
        out += (out.empty() ? "" : "|") + text.substr(l.start, l.end - l.start);
    return out;
}

TEST(TextView, lines_break_at_blanks_inside_long_words_and_at_line_ends) {
    EXPECT_EQ(laid_out("", 50), "");
    EXPECT_EQ(laid_out("ab cd ef", 50), "ab cd|ef");  // five bytes fill 50 pixels exactly
    EXPECT_EQ(laid_out("abc defg", 50), "abc |defg");
    EXPECT_EQ(laid_out("abcdefghijk", 50), "abcde|fghij|k");
    EXPECT_EQ(laid_out("ab\r\ncd\n", 50), "ab|cd|");  // a last line break leaves an empty line
    EXPECT_EQ(laid_out("a\n\nb", 5), "a||b");         // one byte always fits
}

struct View : SkinFrame {
    int room, view;
    View() : SkinFrame(400, 300) {
        font_init(0);
        window_init();
        room = window_register(
            -1, TW_SCREEN, 0, 0, 0, 0, [](int, KernelEvent*) { return 0; }, nullptr);
        window_focus(room);
        view = textview_create(room, 10, 10, 200, 100);
    }
    ~View() {
        window_done();
        font_done();
    }
    static void send(int type, int a, int b = 0, int c = 0) {
        KernelEvent e{type, a, b, c};
        window_dispatch(&e);
    }
};

TEST(TextView, keys_wheel_and_scroll_bar_move_the_text) {
    View v;
    std::string text;
    for (int i = 0; i < 40; i++)
        text += "line " + std::to_string(i) + "\r\n";
    textview_append(v.view, text.c_str());
    const int lines = textview_line_count(v.view), shown = lines - textview_top(v.view);
    ASSERT_EQ(lines, 41);
    ASSERT_GT(shown, 2);  // the end is in view, a page of lines
    EXPECT_EQ(textview_key(v.view, KEY_HOME), 1);
    EXPECT_EQ(textview_top(v.view), 0);
    textview_key(v.view, KEY_PAGEDOWN | KEY_CTRL);
    EXPECT_EQ(textview_top(v.view), shown - 1);  // a page keeps one line of the last
    textview_key(v.view, KEY_UP);
    v.send(KE_WHEEL, 50, 50, -1);  // towards the user: three lines on
    EXPECT_EQ(textview_top(v.view), shown + 1);
    EXPECT_EQ(textview_key(v.view, KEY_LEFT), 0);

    // The bar's right column, 18 pixels wide: the up arrow at its top, the track below the
    // thumb near the bottom.
    const int barX = 10 + 200 - 10;
    v.send(KE_MOUSEDOWN, barX, 10 + 5, 1);
    v.send(KE_MOUSEUP, barX, 10 + 5, 1 | 8);
    EXPECT_EQ(textview_top(v.view), shown);
    v.send(KE_MOUSEDOWN, barX, 10 + 100 - 25, 1);
    v.send(KE_MOUSEUP, barX, 10 + 100 - 25, 1 | 8);
    EXPECT_EQ(textview_top(v.view), 2 * shown - 1);
    textview_key(v.view, KEY_END);
    EXPECT_EQ(textview_top(v.view), lines - shown);
}

}  // namespace
