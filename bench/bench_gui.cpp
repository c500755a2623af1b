// bench/bench_gui.cpp -- painting the toolkit on a 1920 x 1080 frame: a full room repaint (tiled
// background, top bar, three titled floating windows with shadows and text), and one frame in
// which only a 200 x 200 floating window is dragged by 10 pixels (only its dirty cells repaint).
//
// Run: build/bench/bench_gui --benchmark_repetitions=7   (quote the medians)
// The skin, fonts and background come from the game's pack at $LUMAVEX_PACK or beside the
// benchmark in ../game/data.pck.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/bench_pack.h"
#include "bench/bench_window.h"
#include "gui/font.h"
#include "gui/ge.h"
#include "gui/window.h"
#include "image/img.h"
#include "image/pic.h"
#include "platform/io_mem.h"
#include "platform/io_video.h"
#include "platform/screen.h"
#include "resources/cache.h"
#include "resources/dp.h"

namespace {

constexpr int SCREEN_W = 1920, SCREEN_H = 1080;

int room_handler(int, KernelEvent* e) {
    if (e->type == KE_IDLE) {
        ge_background_draw();
        ge_draw_top_bar();
    }
    return 0;
}

int tool_handler(int window, KernelEvent* e) {
    if (e->type != KE_IDLE) return 0;
    font_set_style(FONT_MEDIUM, 0xFFFFFF, 0);
    for (int line = 0; line < 6; line++)
        window_draw_text(window, "The quick brown fox jumps over the lazy dog", 12, 26 + 18 * line);
    return 0;
}

int g_room = -1, g_dragged = -1;

// The game's skin, fonts and background over a fresh frame, three tool windows over the room and
// a 200 x 200 floating window, all painted once.
void start() {
    if (g_room >= 0) return;
    bench_game_folder("bench_gui");
    io_video_create_frame(SCREEN_W, SCREEN_H, 24);
    img_shadow_table_init();
    screen_grid_create();
    ge_init("sfiles/skin.ini");
    font_init(0);
    ge_background_build();
    ge_set_room_title("Store Room");
    window_init();
    window_prepare_shadows();
    window_set_title_style(FONT_SMALL, ge_colour(14), ge_colour(15));
    g_room = window_register(-1, TW_SCREEN, 0, 0, 0, 0, room_handler, nullptr);
    const int style = TW_CHILD | TW_RAISE | TW_TITLE | TW_ROLLUP | TW_CLOSE;
    const int places[3][4] = {{120, 160, 520, 360}, {760, 220, 600, 420}, {300, 640, 900, 300}};
    for (const auto& p : places) {
        const int w = window_register(g_room, style, p[0], p[1], p[2], p[3], tool_handler, nullptr);
        window_set_title(w, "Tool window");
    }
    window_focus(g_room);
    g_dragged =
        window_register(-1, TW_POPUP | TW_RAISE | TW_TITLE, 1500, 700, 200, 200, tool_handler, nullptr);
    window_set_title(g_dragged, "Floating");
    window_focus(g_dragged);
}

void full_room_repaint(benchmark::State& state) {
    start();
    window_show(g_dragged, 0);
    for (auto _ : state) {
        screen_invalidate_all();
        bench_frame();
    }
    window_show(g_dragged, 1);
}
BENCHMARK(full_room_repaint)->Unit(benchmark::kMillisecond);

void drag_floating_window(benchmark::State& state) {
    start();
    screen_invalidate_all();
    bench_frame();
    int x, y;
    window_screen_pos(g_dragged, &x, &y);
    bench_send(KE_MOUSEMOVE, x + 50, y + 8, 0);
    bench_send(KE_MOUSEDOWN, x + 50, y + 8, 1);
    if (!window_is_moved(g_dragged)) state.SkipWithError("the title bar did not start a move");
    int step = 10;
    long area = 0;
    for (auto _ : state) {
        x += step;
        step = -step;
        bench_send(KE_MOUSEMOVE, x + 50, y + 8, 0);
        area = bench_frame();
    }
    state.counters["repainted_px"] = (double)area;  // of 1920 x 1080
    bench_send(KE_MOUSEUP, x + 50, y + 8, 1);
    bench_frame();
}
BENCHMARK(drag_floating_window)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
