// gui/font.h -- the four fonts and the one current text style that every text drawing uses.
//
// With the Western character set the small, medium and large fonts are the game's own bitmap
// fonts (96 glyphs, 32..127, tinted coverage pictures); otherwise, and always for the system
// font, they are platform fonts drawn anti-aliased into the frame buffer. Texts are
// Windows-1252 bytes. Drawing goes through the dirty cells and the clip rectangle.
#pragma once
#include <cstdint>

enum FontId { FONT_SMALL = 0, FONT_MEDIUM = 1, FONT_SYSTEM = 2, FONT_LARGE = 3, FONT_COUNT = 4 };

struct Font {
    int kind;                        // 0 bitmap, 1 platform
    int height;                      // line height of the glyph rows / the platform character height
    int emHeight;                    // nominal size
    int lineAdvance;                 // distance from one line to the next
    int shadowOffset;                // 1: the drop shadow's offset in both directions
    int picture;                     // bitmap: cache index of the glyph picture
    int spacing;                     // bitmap: extra pixels after every glyph
    int firstChar;                   // bitmap: 32
    int lastChar;                    // bitmap: 127
    const struct FontGlyph* glyphs;  // bitmap: the glyph table
    int platformFont;                // platform: the io_gdi font handle
};

void font_init(int charset);  // creates the four fonts (charset from lt_charset)
void font_done();
const Font* font_get(int font);

// The text style: font, colour and shadow colour (0xRRGGBB, -1 none). Setting it resets the
// layout to left alignment without wrapping.
void font_set_style(int font, int colour, int shadow);
// Alignment 0 left, 1 centred, 2 right, inside the wrap width; a wrap width of 0 means no
// wrapping and forces left alignment.
void font_set_layout(int alignment, int wrapWidth);
// Draws at screen coordinates; returns the height of the drawn lines (+ the shadow offset when a
// shadow was drawn); an empty or missing text draws nothing and gives 0.
int font_draw(const char* text, int x, int y);
// As the text would be drawn with the current style; with a shadow both grow by the offset.
void font_measure(const char* text, int* width, int* height);
// The first and the last row of a line of `font` that any of its glyphs inks (without the shadow);
// a platform font gives its whole line height.
void font_ink_rows(int font, int* top, int* bottom);
// Width of the first `length` characters of text on one line in `font`, without shadow (caret
// positions of edit fields).
int font_text_width(int font, const char* text, int length);
