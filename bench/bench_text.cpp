// bench/bench_text.cpp -- 2,000 characters of the medium bitmap font and of the platform system
// font drawn into a fully dirty 1920 x 1080 frame, and the skin's background over that frame.
// Needs the game's pack: $LUMAVEX_PACK or ../game/data.pck beside the benchmark.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_pack.h"
#include "gui/font.h"
#include "gui/ge.h"
#include "image/img.h"
#include "image/pic.h"
#include "platform/io_mem.h"
#include "platform/io_video.h"
#include "platform/screen.h"
#include "resources/cache.h"
#include "resources/dp.h"

namespace {

std::string g_text;  // 2,000 characters of words

void open_game() {
    static bool done = false;
    if (done) return;
    done = true;
    dp_open(bench_pack_path());
    cache_init();
    cache_set_picture_loader(jpg_loader);
    img_shadow_table_init();
    io_video_create_frame(1920, 1080, 24);
    screen_grid_create();
    io_video_begin_paint();
    font_init(0);
    const char* words[] = {"jigsaw ", "pieces ", "Harbour ", "evening, ", "sky ", "joined ", "42 ", "box! "};
    for (int i = 0; g_text.size() < 2000; i++)
        g_text += words[i % 8];
    g_text.resize(2000);

    // The skin file as the game copies it out of the pack.
    char skin[] = "/tmp/bench_text_XXXXXX";
    const int fd = mkstemp(skin);
    void* block = dp_load(dp_get_index("skin.ini", 1));
    if (fd < 0 || write(fd, block, io_mem_size(block)) != (ssize_t)io_mem_size(block)) std::abort();
    close(fd);
    io_mem_free(block);
    ge_init(skin);
    ge_background_build();
    std::remove(skin);
}

void draw_text(benchmark::State& state, int font) {
    open_game();
    font_set_style(font, 0xFFFFFF, -1);
    font_set_layout(0, 1880);
    for (auto _ : state) {
        screen_invalidate_all();
        benchmark::DoNotOptimize(font_draw(g_text.c_str(), 20, 40));
    }
    state.SetItemsProcessed(state.iterations() * (int64_t)g_text.size());
}

void BM_MediumFontText(benchmark::State& state) { draw_text(state, FONT_MEDIUM); }
void BM_PlatformFontText(benchmark::State& state) { draw_text(state, FONT_SYSTEM); }

void BM_BackgroundAndTopBar(benchmark::State& state) {
    open_game();
    ge_set_room_title("Store room");
    ge_set_game_title("Lumavex");
    for (auto _ : state) {
        screen_invalidate_all();
        ge_background_draw();
        ge_draw_top_bar();
    }
}

void BM_FrameElement(benchmark::State& state) {  // a 600 x 400 window body and its title bar
    open_game();
    for (auto _ : state) {
        screen_invalidate_all();
        ge_draw_title_bar(200, 182, 600, 1, 1, 1);
        ge_draw_element(1, 200, 200, 600, 400);
    }
}

BENCHMARK(BM_MediumFontText)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlatformFontText)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BackgroundAndTopBar)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameElement)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
