#pragma GCC diagnostic ignored "-Wunused-parameter"
// placeholder: replaced by the module's implementation
#include "gui/button.h"

void button_set_style(int font, int colour, int disabled, int hover, int shadow) {}
void slider_set_style(int font, int colour, int shadow) {}
int button_register(int parent, int style, int x, int y, int width, int height, int picture, const char* text,
                    int frameElement, int key) {
    return 0;
}
int button_register_drawn(int parent, int style, int x, int y, int width, int height, ButtonDrawFunction draw,
                          int frameElement, int key) {
    return 0;
}
void load_faze(const char* baseName, int* slots, int count) {}
void button_set_state(int button, int state) {}
int button_state(int button) { return 0; }
void button_enable(int button, int enabled) {}
int button_enabled(int button) { return 0; }
void button_set_frame(int button, int element) {}
void button_set_notify(int button, int target) {}
void button_clear_group(int first) {}
void button_select_in_group(int first, int k) {}
int button_selected_in_group(int first) { return 0; }
int button_bar_create(int parent) { return 0; }
int button_bar_add(int bar, int index, int alternative, const char* text, int picture, int key, int width) {
    return 0;
}
int button_bar_button(int bar, int index, int alternative) { return 0; }
void button_bar_layout(int bar) {}
int icon_strip_create(int parent) { return 0; }
int icon_strip_add(int strip, int picture, int key) { return 0; }
int button_row_create(int parent, int x, int y) { return 0; }
int button_row_add(int row, const char* text, int picture) { return 0; }
void button_row_finish(int row) {}
int button_menu_create(int parent, int x, int y, const char* title) { return 0; }
int button_menu_add(int menu, const char* text, int key) { return 0; }
int button_menu_add_text(int menu, int number, int key) { return 0; }
void button_menu_finish(int menu) {}
int text_window_create(int parent, int width, int lines) { return 0; }
void text_window_set_text(int window, const char* text) {}
int slider_register(int parent, int style, int x, int y, int width, int frameBase) { return 0; }
void slider_set_range(int slider, int minimum, int maximum) {}
void slider_set_value(int slider, int value) {}
int slider_value(int slider) { return 0; }
void msgbox_create(const char* title) {}
int msgbox_show(const char* text, int flags) { return 0; }
int msgbox_show_text(int number, int flags) { return 0; }
void inputbox_create(const char* title) {}
int inputbox_show(const char* text, struct EditField* fields) { return 0; }
void progress_create(const char* title) {}
void progress_open(int maximum) {}
void progress_set(const char* text, int value) {}
void progress_close() {}
void progress_set_refresh(void (*refresh)()) {}
