// bench/bench_scale.cpp -- the filtered resampler on a photograph and the blur of a shadow canvas.
//
// Run: build-*/bench/bench_scale (five repetitions each; the median is the figure to quote).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <random>

#include "image/img.h"
#include "image/img_scale.h"
#include "platform/io_mem.h"

namespace {

// A photograph stand-in: smooth colour gradients with a little grain.
Image* make_photo(int w, int h) {
    Image* im = img_create(w, h, IMG_24BIT);
    std::mt19937 rng(1);
    ImageView v;
    img_view(&v, im, 0, 0);
    for (int y = 0; y < h; y++) {
        uint8_t* p = v.pixels + (ptrdiff_t)y * v.pitch;
        for (int x = 0; x < w; x++, p += 3) {
            const int grain = (int)(rng() % 9) - 4;
            p[0] = (uint8_t)std::clamp(x * 255 / w + grain, 0, 255);
            p[1] = (uint8_t)std::clamp(y * 255 / h + grain, 0, 255);
            p[2] = (uint8_t)std::clamp(128 + (int)(100 * std::sin(x * 0.01 + y * 0.007)) + grain, 0, 255);
        }
    }
    return im;
}

// The shadow canvas of a 150-pixel piece (canvas four pieces wide): 255 inside, 0 outside, a
// one-pixel soft rim; two tabs stick out and two are cut in.
Image* make_piece_canvas() {
    const int n = 600;
    Image* im = img_create(n, n, IMG_8BIT);
    ImageView v;
    img_view(&v, im, 0, 0);
    auto circle = [](double x, double y, double cx, double cy) { return std::hypot(x - cx, y - cy) - 25.0; };
    for (int y = 0; y < n; y++)
        for (int x = 0; x < n; x++) {
            const double px = x + 0.5, py = y + 0.5;
            double d = std::max(std::max(225.0 - px, px - 375.0), std::max(225.0 - py, py - 375.0));
            d = std::min(d, circle(px, py, 395.0, 300.0));   // tab out on the right
            d = std::min(d, circle(px, py, 300.0, 395.0));   // tab out at the bottom
            d = std::max(d, -circle(px, py, 245.0, 300.0));  // tab in on the left
            d = std::max(d, -circle(px, py, 300.0, 245.0));  // tab in at the top
            v.pixels[(size_t)y * v.pitch + x] = (uint8_t)(std::clamp(0.5 - d, 0.0, 1.0) * 255.0);
        }
    return im;
}

void BM_HermiteResample(benchmark::State& state) {
    Image* src = make_photo(3000, 2000);
    Image* dst = img_create(1004, 669, IMG_24BIT);
    for (auto _ : state) {
        img_resample_images(dst, src, 1);
        benchmark::ClobberMemory();
    }
    io_mem_free(src);
    io_mem_free(dst);
}

// Blur of the piece canvas; the canvas is restored between runs outside the timing.
void BM_BlurPieceCanvas(benchmark::State& state) {
    const double sigma = state.range(0) / 10.0;
    Image* canvas = make_piece_canvas();
    Image* work = img_create(600, 600, IMG_8BIT);
    ImageView v;
    img_view(&v, work, 0, 0);
    const size_t bytes = 600 * 600;
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(v.pixels, (uint8_t*)canvas + canvas->colourOffset, bytes);
        state.ResumeTiming();
        img_blur(&v, sigma);
        benchmark::ClobberMemory();
    }
    io_mem_free(canvas);
    io_mem_free(work);
}

// The worst case for runs: every value differs from its neighbours.
void BM_BlurNoiseCanvas(benchmark::State& state) {
    const double sigma = state.range(0) / 10.0;
    Image* canvas = img_create(600, 600, IMG_8BIT);
    Image* work = img_create(600, 600, IMG_8BIT);
    ImageView c, v;
    img_view(&c, canvas, 0, 0);
    img_view(&v, work, 0, 0);
    std::mt19937 rng(2);
    for (size_t i = 0; i < 600 * 600; i++)
        c.pixels[i] = (uint8_t)rng();
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(v.pixels, c.pixels, 600 * 600);
        state.ResumeTiming();
        img_blur(&v, sigma);
        benchmark::ClobberMemory();
    }
    io_mem_free(canvas);
    io_mem_free(work);
}

}  // namespace

BENCHMARK(BM_HermiteResample)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_BlurPieceCanvas)
    ->Arg(25)
    ->Arg(50)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_BlurNoiseCanvas)
    ->Arg(25)
    ->Arg(50)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
