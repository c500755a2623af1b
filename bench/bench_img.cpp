// bench/bench_img.cpp -- the screen drawers on a 1920 x 1080 frame whose cells are all dirty,
// beside a plain memcpy of the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>

#include "image/img.h"
#include "platform/io_mem.h"
#include "platform/io_video.h"
#include "platform/screen.h"
#include "tests/puzzle/cut_support.h"

namespace {

constexpr int W = 1920, H = 1080;

// The W x H frame open, every cell dirty, the shadow table made.
struct Frame : cut_support::Frame {
    Frame() : cut_support::Frame(W, H) { img_shadow_table_init(); }
};

Image* filled(int w, int h, int kind, uint32_t value) {
    Image* im = img_create(w, h, kind);
    uint8_t* p = (uint8_t*)im + IMG_HEADER_SIZE;
    const size_t n = io_mem_size(im) - IMG_HEADER_SIZE;
    for (size_t i = 0; i < n; i++)
        p[i] = (uint8_t)(i * 31 + value);
    return im;
}

void BM_memcpy_screen(benchmark::State& state) {
    Image* im = filled(W, H, IMG_24BIT, 1);
    const size_t n = (size_t)W * H * 3;
    uint8_t* target = (uint8_t*)io_mem_alloc(n);
    for (auto _ : state) {
        std::memcpy(target, (uint8_t*)im + IMG_HEADER_SIZE, n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * n);
    io_mem_free(target);
    io_mem_free(im);
}
BENCHMARK(BM_memcpy_screen)->Unit(benchmark::kMicrosecond);

void BM_img_draw_screen(benchmark::State& state) {
    Frame frame;
    Image* im = filled(W, H, IMG_24BIT, 1);
    for (auto _ : state) {
        img_draw_all(im, 0, 0);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * W * H * 3);
    io_mem_free(im);
}
BENCHMARK(BM_img_draw_screen)->Unit(benchmark::kMicrosecond);

// A picture with an alpha plane: opaque where the alpha is 255, composited elsewhere.
void BM_img_draw_alpha_screen(benchmark::State& state) {
    Frame frame;
    Image* im = filled(W, H, IMG_24BIT | IMG_ALPHA, 1);
    ImageView v;
    img_view(&v, im, 0, 0);
    for (int y = 0; y < H; y++)
        std::memset(v.alpha + (size_t)y * v.alphaPitch, 255, (size_t)W * 3 / 4);
    for (auto _ : state) {
        img_draw_all(im, 0, 0);
        benchmark::ClobberMemory();
    }
    io_mem_free(im);
}
BENCHMARK(BM_img_draw_alpha_screen)->Unit(benchmark::kMicrosecond);

// Text: 11 x 14 glyph coverages laid edge to edge over the whole screen.
void BM_img_draw_tinted_glyphs(benchmark::State& state) {
    Frame frame;
    Image* glyph = img_create(11, 14, IMG_8BIT);
    uint8_t* p = (uint8_t*)glyph + IMG_HEADER_SIZE;
    for (int i = 0; i < 11 * 14; i++)
        p[i] = (i % 3 == 0) ? 0 : (uint8_t)(i * 37);  // mostly ink
    int glyphs = 0;
    for (auto _ : state) {
        glyphs = 0;
        for (int y = 0; y + 14 <= H; y += 14)
            for (int x = 0; x + 11 <= W; x += 11, glyphs++)
                img_draw_tinted(x, y, 0x00E0C040, glyph, 0, 0, 11, 14);
        benchmark::ClobberMemory();
    }
    state.counters["glyphs"] = glyphs;
    io_mem_free(glyph);
}
BENCHMARK(BM_img_draw_tinted_glyphs)->Unit(benchmark::kMicrosecond);

void BM_img_draw_shadow_screen(benchmark::State& state) {
    Frame frame;
    Image* mask = filled(W, H, IMG_8BIT, 5);
    for (auto _ : state) {
        img_draw_shadow_all(mask, 0, 0);
        benchmark::ClobberMemory();
    }
    io_mem_free(mask);
}
BENCHMARK(BM_img_draw_shadow_screen)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
