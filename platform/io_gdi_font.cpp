#pragma GCC diagnostic ignored "-Wunused-parameter"
// placeholder: replaced by the module's implementation
#include "platform/io_gdi_font.h"

int io_gdi_create_font(int height, int style, int charset) { return 0; }
void io_gdi_delete_font(int font) {}
void io_gdi_font_metrics(int font, GdiFontMetrics* out) {}
int io_gdi_draw_text(int font, const char* text, int x, int y, uint32_t colour, int alignment,
                     int wrapWidth) {
    return 0;
}
void io_gdi_measure_text(int font, const char* text, int alignment, int wrapWidth, int* width, int* height) {}
int io_gdi_text_width(int font, const char* text, int length) { return 0; }
