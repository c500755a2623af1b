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

std::string g_path;  // the test file, made on first use and removed at exit

void BM_jpeg_decode_3000x2000(benchmark::State& state) {
    if (g_path.empty()) g_path = make_jpeg(3000, 2000);
    const std::string& path = g_path;
    for (auto _ : state) {
        if (!pic_load_jpeg(path.c_str())) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(pic_working());
        pic_free();
    }
    state.SetItemsProcessed(state.iterations() * 3000 * 2000);
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file) {
        std::fseek(file, 0, SEEK_END);
        state.counters["file_kb"] = (double)std::ftell(file) / 1024;
        std::fclose(file);
    }
}
BENCHMARK(BM_jpeg_decode_3000x2000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!g_path.empty()) std::remove(g_path.c_str());
    return 0;
}
