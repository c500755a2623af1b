// Presenting a full 1920 x 1080 frame through each video driver in headless mode, and the
// dirty-span walk plus flush of a fully dirty grid of that size.
#include <benchmark/benchmark.h>

#include "platform/io_video.h"
#include "platform/screen.h"
#include "platform/sys.h"

namespace {

void start_headless() {
    static bool started = false;
    if (started) return;
    started = true;
    SysOptions o = {};
    o.headless = 1;
    o.window_w = 1920;
    o.window_h = 1080;
    sys_init(o);
    int w, h;
    sys_create_window("bench", &w, &h);
}

void present_full_frame(benchmark::State& state) {
    start_headless();
    io_video_select((int)state.range(0));
    io_video_create_frame(1920, 1080, 24);
    screen_grid_create();
    for (auto _ : state) {
        io_video_begin_paint();
        screen.buf[0] ^= 1;  // a changed frame
        screen_invalidate_all();
        screen_flush();
        io_video_end_paint();
    }
    screen_grid_free();
    io_video_close();
}
BENCHMARK(present_full_frame)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void dirty_walk_and_flush(benchmark::State& state) {
    io_video_create_frame(1920, 1080, 24);
    screen_grid_create();
    for (auto _ : state) {
        io_video_begin_paint();
        screen_invalidate_all();
        long area = 0;
        screen_for_each_dirty_span(
            0, 0, 1920, 1080, [](void* ctx, int, int, int w, int h) { *(long*)ctx += (long)w * h; }, &area);
        benchmark::DoNotOptimize(area);
        screen_flush();
        screen.buf = nullptr;  // close the frame without presenting
    }
    screen_grid_free();
    io_video_close();
}
BENCHMARK(dirty_walk_and_flush)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
