#pragma GCC diagnostic ignored "-Wunused-parameter"
// placeholder: replaced by the module's implementation
#include "gui/font.h"

void font_init(int charset) {}
void font_done() {}
const Font* font_get(int font) { return nullptr; }
void font_set_style(int font, int colour, int shadow) {}
void font_set_layout(int alignment, int wrapWidth) {}
int font_draw(const char* text, int x, int y) { return 0; }
void font_measure(const char* text, int* width, int* height) {}
int font_text_width(int font, const char* text, int length) { return 0; }
