// tools/mkpack/fonts.h -- the three bitmap font sheets: checked against their glyph tables and
// put into the pack, and used to letter the contact sheet the way the game letters its screens.
#pragma once
#include <cstdint>
#include <string>

#include "tools/mkpack/mkpack.h"

inline constexpr int FONT_SMALL = 0;   // "img/font12.img"
inline constexpr int FONT_MEDIUM = 1;  // "img/font15.img"
inline constexpr int FONT_LARGE = 2;   // "img/font20.img"

// Checks an IMG font sheet against the glyph table of font (kind 8-bit, three rows of the font's
// height, every glyph inside the sheet and in its row). Prints "mkpack: FILE:0: ..." and returns
// false on the first fault.
bool fonts_check_sheet(const std::string& file, int font, const std::string& bytes);

// Width in pixels of one line of text as the game lays it out (glyph widths plus spacing;
// characters without a glyph count for nothing).
int fonts_text_width(int font, const char* text);

// Draws text with its top-left corner at (x, y) into a contact-sheet picture, tinting the glyph
// coverage with 0xRRGGBB; clipped to the picture. Lines break at '\n'. False when the sheets
// cannot be read.
bool fonts_draw_text(SheetPicture* picture, int font, int x, int y, const char* text, uint32_t rgb);
