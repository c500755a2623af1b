// platform/io_gdi_font.h -- platform fonts: FreeType faces chosen through fontconfig by family,
// drawn anti-aliased straight into the frame buffer (through the dirty cells and the clip
// rectangle). Texts are Windows-1252 bytes.
#pragma once
#include <cstdint>

// height: negative = character height in pixels (em), positive = cell height. style: bit 1
// italic, 2 bold, 4 underlined; the family from bits 8..128: 8 decorative, 16 modern
// (monospace), 32 roman (serif), 64 script, 128 swiss (sans-serif); any other family is fatal.
// Returns a handle.
int io_gdi_create_font(int height, int style, int charset);
void io_gdi_delete_font(int font);

struct GdiFontMetrics {
    int height;           // character height: ascent + descent
    int ascent;           // pixels above the base line
    int internalLeading;  // height minus the em size
    int externalLeading;  // extra space between lines
};
void io_gdi_font_metrics(int font, GdiFontMetrics* out);

// Alignment 0 left, 1 centred, 2 right; with a wrap width the lines are broken at blanks inside
// x .. x + wrap. Returns the height of the drawn lines; colour 0x00RRGGBB.
int io_gdi_draw_text(int font, const char* text, int x, int y, uint32_t colour, int alignment, int wrapWidth);
void io_gdi_measure_text(int font, const char* text, int alignment, int wrapWidth, int* width, int* height);
int io_gdi_text_width(int font, const char* text, int length);  // one line, first `length` bytes

// One line of a text laid out with the given advance per byte: without a wrap width it runs to
// the next line break (consumed) or the end; with one it is built from words (the bytes up to
// and including the next blank), and a word that would make it wider than the wrap width starts
// the next line unless the line is still empty. Returns the start of the next line; *end is
// where this line's bytes stop and *width their total advance.
const char* io_gdi_next_line(const char* text, int wrapWidth, const int advances[256], const char** end,
                             int* width);
void io_gdi_font_done();  // deletes every font and closes the faces
