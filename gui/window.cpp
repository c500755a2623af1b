#pragma GCC diagnostic ignored "-Wunused-parameter"
// placeholder: replaced by the module's implementation
#include "gui/window.h"

void window_init() {}
void window_done() {}
void window_set_title_style(int font, int colour, int shadow) {}
int window_dispatch(KernelEvent* event) { return 0; }
int window_register(int parent, int style, int x, int y, int width, int height, WindowHandler handler,
                    void* userData) {
    return 0;
}
void window_set_title(int window, const char* text) {}
const char* window_title(int window) { return nullptr; }
void* window_user_data(int window) { return nullptr; }
int window_parent(int window) { return 0; }
int window_style(int window) { return 0; }
int window_visible(int window) { return 0; }
int window_rolled_up(int window) { return 0; }
void window_show(int window, int visible) {}
void window_move(int window, int x, int y) {}
void window_resize(int window, int width, int height) {}
void window_resize_keep_bottom(int window, int width, int height) {}
void window_size(int window, int* width, int* height) {}
void window_screen_pos(int window, int* x, int* y) {}
void window_pos(int window, int* x, int* y) {}
void window_roll_up(int window, int rolled) {}
void window_focus(int window) {}
void window_drop_focus() {}
int window_room() { return 0; }
int window_floating() { return 0; }
int window_focus_modal(int window, EditField* fields) { return 0; }
void window_end_modal(int result, int keep) {}
int window_has_modal() { return 0; }
int window_modal() { return 0; }
void window_redraw(int window) {}
void window_redraw_part(int window, int x, int y, int width, int height) {}
int window_draw_text(int window, const char* text, int x, int y) { return 0; }
void window_draw_image(int window, const Image* image, int x, int y) {}
void window_draw_image_part(int window, const Image* image, int x, int y, int sx, int sy, int width,
                            int height) {}
void window_draw_cached(int window, int cacheIndex, int x, int y) {}
void post_event(int window, const KernelEvent* event) {}
void window_start_move(int window) {}
void window_start_capture(int window) {}
void window_start_band(int window) {}
void window_end_capture() {}
int window_is_moved(int window) { return 0; }
int window_capture_kind() { return 0; }
void window_mouse(int* x, int* y) {}
void window_save_placement(int window, const char* section, const char* key) {}
void window_restore_placement(int window, const char* section, const char* key, int what) {}
void window_keep_reachable(int window) {}
void window_set_old_screen_size(int width, int height) {}
