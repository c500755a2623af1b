// bench/bench_pic.cpp -- JPEG decoding of a 3000 x 2000 photograph-sized picture, the work of a
// box start and of a large import.
// Run: build/bench/bench_pic --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "image/gformat.h"
#include "image/pic.h"

namespace {

// A detailed picture: smooth gradients, fine stripes and pseudo-random grain, so the JPEG holds
// about as much data as a photograph does.
std::string make_jpeg(int width, int height) {
    const std::string path = "/tmp/lumavex_bench_pic_" + std::to_string(getpid()) + ".jpg";
    PictureBuffer* pic = pic_create(width, height, IMG_24BIT);
    uint32_t seed = 12345;
    for (int y = 0; y < height; y++) {
        uint8_t* row = pic->pixels + (size_t)y * pic->pitch;
        for (int x = 0; x < width; x++) {
            seed = seed * 1664525u + 1013904223u;
            const int grain = (int)(seed >> 27) - 16;
            const int stripes = ((x / 3 + y / 5) & 7) * 6;
            row[3 * x + 0] = (uint8_t)std::clamp(x * 255 / width + grain, 0, 255);
            row[3 * x + 1] = (uint8_t)std::clamp(y * 255 / height + stripes - 20 + grain, 0, 255);
            row[3 * x + 2] = (uint8_t)std::clamp(((x ^ y) & 0xFF) / 2 + 60 + grain, 0, 255);
        }
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    gformat_jpg_write(file, pic, 90);
    std::fclose(file);
    pic_release(pic);
    return path;
}

void BM_jpeg_decode_3000x2000(benchmark::State& state) {
    static const std::string path = make_jpeg(3000, 2000);
    for (auto _ : state) {
        if (!pic_load_jpeg(path.c_str())) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(pic_working());
        pic_free();
    }
    state.SetItemsProcessed(state.iterations() * 3000 * 2000);
}
BENCHMARK(BM_jpeg_decode_3000x2000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
