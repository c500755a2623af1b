// Edit fields: the editing engine with a 10-pixel fixed pitch, and the dialog driven through a
// nested loop that feeds it events.
#include "gui/edit.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "gui/io_dialog.h"
#include "platform/screen.h"
#include "platform/sys.h"
#include "support/fatal_trap.h"

namespace {

int pitch10(const char*, int length) { return 10 * length; }

struct Field {
    EditState e;
    Field(const char* text, int limit, int flags = 0, int width = 50, int height = 10) {
        edit_init(&e, text, limit, flags, width, height, 10, pitch10);
    }
    std::string text() const { return std::string(e.text, e.length); }
    std::pair<int, int> caret() const {
        int x, y;
        edit_caret_pos(&e, &x, &y);
        return {x, y};
    }
};

TEST(Edit, InsertDeleteAndSelectionReplacement) {
    Field f("hello", 20);
    edit_move(&f.e, KEY_LEFT, 1);
    edit_move(&f.e, KEY_LEFT, 1);
    int from, to;
    edit_selection(&f.e, &from, &to);
    EXPECT_EQ(3, from);
    EXPECT_EQ(5, to);
    EXPECT_EQ(1, edit_type(&f.e, 'X'));  // replaces "lo"
    EXPECT_EQ("helX", f.text());
    EXPECT_EQ(1, edit_delete(&f.e, 0));
    edit_move(&f.e, KEY_HOME, 0);
    EXPECT_EQ(0, edit_delete(&f.e, 0));  // nothing before the caret
    EXPECT_EQ(1, edit_delete(&f.e, 1));
    EXPECT_EQ("el", f.text());
    edit_move(&f.e, KEY_END, 1);  // Shift+End from the start selects everything
    edit_type(&f.e, 'z');
    EXPECT_EQ("z", f.text());
}

TEST(Edit, OneLineFieldScrollsToKeepTheCaretVisible) {
    Field f("", 20);  // 50 pixels: five characters
    for (char c : std::string("abcdefghij"))
        edit_type(&f.e, c);
    EXPECT_GE(f.caret().first, 0);
    EXPECT_LT(f.caret().first, 50);
    EXPECT_EQ(51, f.e.scrollX);
    edit_move(&f.e, KEY_HOME, 0);
    EXPECT_EQ(0, f.e.scrollX);
    EXPECT_EQ(0, edit_move(&f.e, KEY_DOWN, 0));  // left to the window
    edit_place(&f.e, 34, 3, 0);                  // nearest boundary to x = 34 is after "abc"
    EXPECT_EQ(3, f.e.caret);
    edit_move(&f.e, KEY_END, 0);
    for (int i = 0; i < 10; i++)
        edit_delete(&f.e, 0);
    EXPECT_EQ(0, f.e.scrollX);
}

TEST(Edit, MultiLineWrapsBreaksAndScrollsVertically) {
    Field f("", 100, EF_MULTILINE, 50, 20);  // two visible lines
    edit_paste(&f.e, "abc de fg");           // "abc de" does not fit: wraps after the first blank
    ASSERT_EQ(2, f.e.lineCount);
    EXPECT_EQ(4, f.e.lines[1].start);
    edit_type(&f.e, '\n');
    edit_type(&f.e, 'g');
    EXPECT_EQ(3, f.e.lineCount);
    EXPECT_EQ(1, f.e.scrollY);  // the caret's line stays in view
    EXPECT_EQ(10, f.caret().second);
    edit_move(&f.e, KEY_UP, 0);  // from after "g" to the nearest place in "de fg"
    EXPECT_EQ(5, f.e.caret);
    edit_move(&f.e, KEY_UP, 0);
    EXPECT_EQ(0, f.e.scrollY);
    edit_scroll_lines(&f.e, 5);
    EXPECT_EQ(1, f.e.scrollY);
    EXPECT_EQ("abc de fg\ng", f.text());
}

TEST(Edit, LimitCapitalsAndPastedText) {
    Field f("", 5, EF_UPPER);
    for (int c : {0x61, 0xE9, 0xF7, 0xFF, 0x9A, 0x62})
        edit_type(&f.e, c);
    EXPECT_EQ("A\xC9\xF7\x9F\x8A", f.text());  // the sixth is refused: the field holds five
    EXPECT_EQ(0, edit_paste(&f.e, "more"));

    Field line("", 30);
    EXPECT_EQ(5, edit_paste(&line.e, "a\r\nb\tc"));
    EXPECT_EQ("a b c", line.text());
    edit_select_all(&line.e);
    edit_paste(&line.e, "\xE2\x82\xAC\xE4\xB8\xAD!");  // the euro sign stays, the Chinese one goes
    EXPECT_EQ("\x80!", line.text());
    edit_select_all(&line.e);
    char utf8[16];
    EXPECT_EQ(4, edit_copy(&line.e, utf8, sizeof utf8));
    EXPECT_STREQ("\xE2\x82\xAC!", utf8);

    Field small("", 3);
    EXPECT_EQ(3, edit_paste(&small.e, "abcdef"));  // cut to the room left
    EXPECT_EQ("abc", small.text());
}

// The dialog: a nested loop that feeds the steps to io_dialog_event, then ends.
std::function<void()> g_steps;
int run_steps(const int* done) {
    if (g_steps) g_steps();
    return *done ? 1 : 0;
}

void send(int type, intptr_t a, intptr_t b = 0, intptr_t c = 0) {
    KernelEvent e = {type, a, b, c};
    io_dialog_event(&e);
}

TEST(EditDialog, TypingTabAndEnd) {
    screen_set_size_for_tests(640, 480);
    screen_grid_create();
    io_dialog_set_runner(run_steps);
    char first[8] = "ab", second[8] = "xy";
    EditField fields[3] = {{EF_PRESENT, 10, 10, 100, 20, first, 8, 0},
                           {EF_PRESENT | EF_UPPER, 10, 40, 100, 20, second, 8, 0},
                           {}};
    g_steps = [] {
        send(KE_TEXTINPUT, 'c');
        send(KE_KEYDOWN, KEY_TAB);  // into the second field, its text selected
        send(KE_TEXTINPUT, 'q');
        sys_force_shift(1);
        send(KE_KEYDOWN, KEY_TAB);  // back to the first
        sys_force_shift(0);
        send(KE_KEYDOWN, KEY_BACKSPACE);  // the whole text was selected
        send(KE_TEXTINPUT, 'z');
        io_dialog_end(7, 1);
    };
    EXPECT_EQ(7, io_dialog_open(100, 100, fields));
    EXPECT_STREQ("z", first);
    EXPECT_STREQ("Q", second);
    EXPECT_EQ(1, fields[1].id);

    g_steps = [] {
        send(KE_TEXTINPUT, 'w');
        io_dialog_end(0, 0);
    };
    EXPECT_EQ(0, io_dialog_open(100, 100, fields));
    EXPECT_STREQ("z", first);  // not kept

    g_steps = nullptr;  // the game closes while the dialog runs
    EXPECT_EQ(0, io_dialog_open(100, 100, fields));
    EXPECT_EQ(0, io_dialog_is_open());
    EXPECT_EQ("io_dialog_end: ???", fatal_message_of([] { io_dialog_end(1, 1); }));
    io_dialog_set_runner(nullptr);
    sys_force_shift(-1);
    screen_grid_free();
}

}  // namespace
