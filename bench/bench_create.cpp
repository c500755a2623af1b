// bench/bench_create.cpp -- the create room on a 1920 x 1080 frame with a 1900 x 1000 picture
// loaded (it fills the picture area): one step of the piece-size slider (a press on its right
// or left arrow, 32 -> 33 and back) with everything that follows: the cut grid, the info text,
// and the frame that redraws the picture area with the grid over it.
//
// Run: build/bench/bench_create --benchmark_repetitions=5   (quote the medians)
// The skin, fonts, texts and curves come from the game's pack at $LUMAVEX_PACK or beside the
// benchmark in ../game/data.pck.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/bench_pack.h"
#include "bench/bench_window.h"
#include "gui/button.h"
#include "gui/chooser.h"
#include "gui/font.h"
#include "gui/ge.h"
#include "gui/lt.h"
#include "gui/window.h"
#include "image/pic.h"
#include "platform/io_video.h"
#include "platform/screen.h"
#include "puzzle/curve.h"
#include "resources/cache.h"
#include "resources/dp.h"
#include "rooms/create.h"

namespace {

constexpr int SCREEN_W = 1920, SCREEN_H = 1080;
constexpr int PICTURE_W = 1900, PICTURE_H = 1000;

// A picture with detail everywhere, so the resampler and the JPEG coder have real work.
void write_picture(const char* path) {
    PictureBuffer* p = pic_create(PICTURE_W, PICTURE_H, IMG_24BIT);
    for (int y = 0; y < PICTURE_H; y++)
        for (int x = 0; x < PICTURE_W; x++) {
            uint8_t* px = p->pixels + y * p->pitch + x * 3;
            px[0] = (uint8_t)(x * 255 / PICTURE_W);
            px[1] = (uint8_t)(y * 255 / PICTURE_H);
            px[2] = (uint8_t)((x ^ y) & 0xFF);
        }
    pic_put(p);
    if (!pic_save_bmp(path)) std::abort();
    pic_free();
}

int g_ready = 0;

// The toolkit as the game sets it up, the room created, opened and given the picture.
void start() {
    if (g_ready) return;
    bench_game_folder("bench_create");
    io_video_create_frame(SCREEN_W, SCREEN_H, 24);
    img_shadow_table_init();
    if (!dp_extract(dp_get_index("english.ini", 1), "sfiles/lang.ini")) std::abort();
    lt_init("sfiles/lang.ini");
    screen_grid_create();
    ge_init("sfiles/skin.ini");
    window_prepare_shadows();
    window_init();
    font_init(0);
    button_set_style(FONT_MEDIUM, ge_colour(GE_BUTTON_TEXT), ge_colour(GE_BUTTON_TEXT_INACTIVE),
                     ge_colour(GE_BUTTON_TEXT_HOVER), ge_colour(GE_BUTTON_TEXT_SHADOW));
    slider_set_style(FONT_SMALL, ge_colour(GE_TRACKBAR_TEXT), ge_colour(GE_TRACKBAR_TEXT_SHADOW));
    window_set_title_style(FONT_SMALL, ge_colour(GE_TITLE_TEXT), ge_colour(GE_TITLE_TEXT_SHADOW));
    msgbox_create("Lumavex");
    ge_background_build();
    progress_create("Lumavex");
    inputbox_create("Lumavex");
    chooser_init();
    curves_load();
    createroom_create();
    createroom_open_new();
    write_picture("picture.bmp");
    if (!createroom_import("picture.bmp")) std::abort();
    screen_invalidate_all();
    bench_frame();
    g_ready = 1;
}

// The screen centre of a control's window, moved by (dx, dy) from there.
void press(int control, int dx) {
    const int window = createroom_control(control);
    int x, y, w, h;
    window_screen_pos(window, &x, &y);
    window_size(window, &w, &h);
    const int px = dx < 0 ? x + 16 : x + w - 16, py = y + 16;  // the slider's left or right arrow
    bench_send(KE_MOUSEMOVE, px, py, 0);
    bench_send(KE_MOUSEDOWN, px, py, 1);
    bench_send(KE_MOUSEUP, px, py, 1);
}

void recompute_1900x1000(benchmark::State& state) {
    start();
    const BoxRecord* r = createroom_record();
    if (r->width != PICTURE_W || r->height != PICTURE_H)
        state.SkipWithError("the picture did not fill the picture area");
    // 32 -> 33 -> 32 ..., wherever the previous run left it.
    int step = r->pieceSize == 32 ? 1 : -1;
    long area = 0;
    for (auto _ : state) {
        press(CREATE_PIECE_SIZE, step);
        area = bench_frame();
        step = -step;
    }
    state.counters["pieces"] = r->pieceCount;
    state.counters["repainted_px"] = (double)area;
}
BENCHMARK(recompute_1900x1000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
