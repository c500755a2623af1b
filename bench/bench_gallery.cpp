// bench/bench_gallery.cpp -- one frame of the gallery view at the largest and the default zoom on
// a 1920 x 1080 screen, with pictures on the walls in sight.
//
// Run: build/bench/bench_gallery --benchmark_repetitions=5 (the median is the figure to quote).
// The textures come from the game's pack ($LUMAVEX_PACK or build/game/data.pck).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/bench_pack.h"
#include "image/img.h"
#include "image/pic.h"
#include "platform/io_ini.h"
#include "platform/io_mem.h"
#include "resources/cache.h"
#include "resources/dp.h"
#include "rooms/g3dscene.h"

namespace {

constexpr int SCREEN_W = 1920, SCREEN_H = 1080;

Image* g_picture = nullptr;

const Image* every_place(int place) { return place % 3 == 2 ? nullptr : g_picture; }

void set_up() {
    static bool done = false;
    if (done) return;
    done = true;
    bench_game_folder("bench_gallery");
    if (!g3dscene_init("sfiles/skin.ini", CONFIG_INI, SCREEN_W, SCREEN_H)) std::abort();
    g_picture = img_create(248, 186, IMG_24BIT);
    ImageView v;
    img_view(&v, g_picture, 0, 0);
    for (int y = 0; y < v.height; y++)
        for (int x = 0; x < v.width; x++) {
            uint8_t* p = v.pixels + (ptrdiff_t)y * v.pitch + x * 3;
            p[0] = (uint8_t)x;
            p[1] = (uint8_t)y;
            p[2] = (uint8_t)(x ^ y);
        }
    g3dscene_set_pictures(every_place);
}

void render_frame(benchmark::State& state) {
    set_up();
    g3dscene_set_zoom((int)state.range(0));
    g3dscene_set_camera(128.0, 31.0, 90);  // the start: down the hall, alcoves either side
    int w, h;
    g3dscene_view_size(&w, &h);
    Image* frame = img_create(w, h, IMG_24BIT);
    ImageView view;
    img_view(&view, frame, 0, 0);
    int turn = 0;
    for (auto _ : state) {
        turn = turn > 0 ? -1 : 1;  // turn on the spot: every frame is a new one
        g3dscene_move(turn, 0);
        g3dscene_render(&view, 0, 0, w, h);
        benchmark::ClobberMemory();
    }
    state.counters["view_w"] = w;
    state.counters["view_h"] = h;
    io_mem_free(frame);
}
BENCHMARK(render_frame)->Arg(G3D_ZOOM_MAX)->Arg(G3D_ZOOM_DEFAULT)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
