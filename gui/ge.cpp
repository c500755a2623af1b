#pragma GCC diagnostic ignored "-Wunused-parameter"
// placeholder: replaced by the module's implementation
#include "gui/ge.h"

void ge_init(const char* skinFile) {}
void ge_done() {}
int ge_colour(int n) { return 0; }
void ge_set_origin(int x, int y) {}
void ge_origin(int* x, int* y) {}
void ge_draw_element(int element, int x, int y, int width, int height) {}
void ge_draw_title_bar(int x, int y, int width, int raisable, int rollUp, int close) {}
void ge_draw_picture(int n, int x, int y) {}
void ge_picture_size(int n, int* width, int* height) {}
void ge_draw_slider_track(int x, int y, int width) {}
void ge_bevel_box(int x, int y, int width, int height) {}
void ge_shape_mask(Image* mask, int element, int x, int y, int width, int height) {}
void ge_set_fill(int colour) {}
void ge_fill_rect(int x, int y, int width, int height) {}
void ge_set_pen(int style, int colour) {}
void ge_line(int x0, int y0, int x1, int y1) {}
void ge_rectangle(int x, int y, int width, int height) {}
void ge_bezier(const GdiPoint* points, int count) {}
void ge_put_pixel(int x, int y, int colour) {}
void ge_background_build() {}
void ge_background_draw() {}
void ge_background_free() {}
void ge_backdrop_compose(const Image* picture, int x, int y, int width, int height) {}
void ge_backdrop_free() {}
void ge_set_game_title(const char* text) {}
void ge_set_room_title(const char* text) {}
void ge_draw_top_bar() {}
int ge_corner_event(KernelEvent* event) { return 0; }
void ge_draw_status(const char* text, int centreX) {}
