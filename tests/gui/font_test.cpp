// tests/gui/font_test.cpp -- bitmap text layout: line breaks, wrapping, alignment, bytes without
// a glyph, the shadow; and the platform form of the fonts for other character sets.
#include "gui/font.h"

#include <gtest/gtest.h>

#include <string>

#include "gui/skin_pack.h"
#include "platform/io_gdi_font.h"
#include "support/fatal_trap.h"
#include "support/golden.h"

namespace {

struct Fonts : SkinFrame {
    explicit Fonts(int charset = 0) : SkinFrame(160, 80) { font_init(charset); }
    ~Fonts() { font_done(); }
    static uint64_t drawn(const char* text, int x, int y) {
        std::memset(at(0, screen.height - 1), 0, (size_t)-screen.pitch * screen.height);
        font_draw(text, x, y);
        return hash_bytes(at(0, screen.height - 1), (size_t)-screen.pitch * screen.height);
    }
};

TEST(BitmapFonts, lines_wrapping_and_shadow) {
    Fonts f;
    const int advance = font_get(FONT_MEDIUM)->lineAdvance;
    int w, h;
    font_set_style(FONT_MEDIUM, 0xFFFFFF, -1);
    font_measure("A\nB", &w, &h);
    EXPECT_EQ(h, 2 * advance);
    EXPECT_EQ(font_draw("A\nB", 0, 0), 2 * advance);
    EXPECT_EQ(font_draw("A", 0, 0), advance);  // no shadow: exactly one advance

    // A byte without a glyph is skipped and takes no room.
    EXPECT_EQ(font_text_width(FONT_MEDIUM, "A\310B", 3), font_text_width(FONT_MEDIUM, "AB", 2));
    EXPECT_EQ(Fonts::drawn("\xC8", 4, 4), Fonts::drawn("", 4, 4));

    font_set_style(FONT_MEDIUM, 0xFFFFFF, 0x000000);
    EXPECT_EQ(font_draw("A", 0, 0), advance + 1);
    int ws, hs;
    font_measure("A\nB", &ws, &hs);
    EXPECT_EQ(ws * 1000 + hs, (w + 1) * 1000 + h + 1);

    // An 80-pixel word keeps its line inside a wrap of 50; the next word goes below.
    font_set_style(FONT_SMALL, 0xFFFFFF, -1);
    std::string word;
    while (font_text_width(FONT_SMALL, word.c_str(), (int)word.size()) < 80)
        word += 'm';
    font_set_layout(0, 50);
    font_measure((word + " x").c_str(), &w, &h);
    EXPECT_EQ(w, font_text_width(FONT_SMALL, (word + " ").c_str(), (int)word.size() + 1));
    EXPECT_EQ(h, 2 * font_get(FONT_SMALL)->lineAdvance);
}

TEST(BitmapFonts, centred_and_right_aligned_lines_start_where_the_width_says) {
    Fonts f;
    std::string thirty;  // a text exactly 30 pixels wide
    for (int c = 33; c < 127 && thirty.empty(); c++)
        for (std::string t(1, (char)c); font_text_width(FONT_MEDIUM, t.c_str(), (int)t.size()) <= 30;
             t += (char)c)
            if (font_text_width(FONT_MEDIUM, t.c_str(), (int)t.size()) == 30) thirty = t;
    ASSERT_FALSE(thirty.empty());
    font_set_style(FONT_MEDIUM, 0xFFEE00, -1);
    const uint64_t left = Fonts::drawn(thirty.c_str(), 25, 10);
    font_set_layout(1, 61);
    EXPECT_EQ(Fonts::drawn(thirty.c_str(), 10, 10), left);
    font_set_layout(2, 61);
    EXPECT_EQ(Fonts::drawn(thirty.c_str(), -6, 10), left);
}

TEST(PlatformFonts, family_rule_metrics_wrapping_alignment_and_dirty_cells) {
    EXPECT_EQ(fatal_message_of([] { io_gdi_create_font(-11, 8 | 16, 0); }),
              "io_gdi_create_font: invalid font family\n");
    const int cell = io_gdi_create_font(20, 32, 0);
    GdiFontMetrics m;
    io_gdi_font_metrics(cell, &m);
    EXPECT_NEAR(m.height, 20, 1);
    io_gdi_delete_font(cell);

    Fonts f(238);
    const Font* small = font_get(FONT_SMALL);
    ASSERT_EQ(small->kind, 1);
    EXPECT_EQ(small->emHeight, 11);
    font_set_style(FONT_SMALL, 0xFFFFFF, -1);
    int w, h, w2, h2;
    font_measure("aa bb", &w, &h);
    font_set_layout(0, w - 1);
    font_measure("aa bb", &w2, &h2);
    EXPECT_EQ(w2 * 100 + h2, font_text_width(FONT_SMALL, "aa ", 3) * 100 + 2 * h);

    font_set_layout(2, 100);
    const uint64_t all = Fonts::drawn("Hello \xE9t\xE9", 0, 2);
    int right = -1, grey = 0;
    for (int x = 0; x < 160; x++)
        for (int y = 0; y < 20; y++) {
            const int v = Fonts::at(x, y)[0];
            right = v ? x : right;
            grey += v > 0 && v < 255;
        }
    EXPECT_EQ(right >= 95 && right <= 99, true) << right;
    EXPECT_GT(grey, 10);  // anti-aliased edges
    screen_flush();       // every cell clean: nothing may be written
    EXPECT_EQ(Fonts::drawn("Hello \xE9t\xE9", 0, 2), Fonts::drawn("", 0, 2));
    screen_invalidate_all();
    EXPECT_EQ(Fonts::drawn("Hello \xE9t\xE9", 0, 2), all);
    font_set_style(FONT_LARGE, 0xFFE080, 0x000000);
    font_draw("Caf\xE9 \x80 5", 2, 30);
    (void)golden_hash(Fonts::view(), "platform_text");  // for a look only: the face depends on the machine
}

}  // namespace
