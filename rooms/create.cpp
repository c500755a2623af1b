// rooms/create.cpp -- the create room (placeholder until the room lands).
#include "rooms/create.h"

#include <cstdio>

#include "gui/window.h"

namespace {
int g_room = -1;
}

void createroom_create() {}
int createroom_window() { return g_room; }
void createroom_open_new() {}
int createroom_open_box(const char*) { return 0; }

void create_picture_area(int screenWidth, int screenHeight, int* x, int* y, int* width, int* height) {
    *width = screenWidth - 20;
    *height = screenHeight - 80;
    *x = (screenWidth - *width) / 2;
    *y = 28;
}
void create_fit(int width, int height, int, int, int* fitWidth, int* fitHeight) {
    *fitWidth = width;
    *fitHeight = height;
}
CreateSizeSlider create_size_slider(int, int, int, int) { return {}; }
void create_size_at(int, int, int, int, int* width, int* height) { *width = *height = 0; }
int create_piece_size_max(int, int) { return BOX_PIECE_SIZE_MIN; }
int create_recommended_screen(int, int, int*, int*) { return 0; }
void create_info_text(const char*, const BoxRecord*, char* out, int size) {
    if (size > 0) out[0] = 0;
}
