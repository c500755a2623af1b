// bench/bench_pic.cpp -- JPEG decoding of a 3000 x 2000 photograph-sized picture, the work of a
// box start and of a large import; and the create room's whole import of a 4000 x 3000 phone
// photo turned a quarter by its EXIF orientation: decoded for the picture area of a screen,
// resampled to the fitted size and made a screen image.
// Run: build/bench/bench_pic --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "image/gformat.h"
#include "image/pic.h"
#include "platform/io_mem.h"

namespace {

// An APP1 block saying the picture is to be turned a quarter clockwise (EXIF orientation 6).
const uint8_t EXIF_TURNED[] = {0xFF, 0xE1, 0, 34, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1,
                               0,    0x12, 1, 3,  0,   1,   0,   0,   0, 6, 0,   0,   0,  0, 0, 0, 0, 0, 0};

// A detailed picture: smooth gradients, fine stripes and pseudo-random grain, so the JPEG holds
// about as much data as a photograph does. `app1` (with its marker) follows the start marker.
std::string make_jpeg(int width, int height, const char* name, const uint8_t* app1 = nullptr,
                      size_t app1_size = 0) {
    const std::string path = "/tmp/lumavex_bench_pic_" + std::to_string(getpid()) + name;
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
    FILE* file = std::tmpfile();
    gformat_jpg_write(file, pic, 90);
    pic_release(pic);
    std::vector<uint8_t> bytes((size_t)std::ftell(file));
    std::rewind(file);
    const size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    file = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, 2, file);
    if (app1_size) std::fwrite(app1, 1, app1_size, file);
    std::fwrite(bytes.data() + 2, 1, got - 2, file);
    std::fclose(file);
    return path;
}

std::string g_path;  // the test files, made on first use and removed at exit
std::string g_photo_path;

void BM_jpeg_decode_3000x2000(benchmark::State& state) {
    if (g_path.empty()) g_path = make_jpeg(3000, 2000, ".jpg");
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

// The picture area of a screen (its width less 20, its height less 80) as the arguments: the
// photo is imported for it, fitted (the side that limits fills the area) and shown.
void BM_import_4000x3000_exif(benchmark::State& state) {
    if (g_photo_path.empty())
        g_photo_path = make_jpeg(4000, 3000, "_photo.jpg", EXIF_TURNED, sizeof EXIF_TURNED);
    const int area_w = (int)state.range(0), area_h = (int)state.range(1);
    int decoded_w = 0;
    for (auto _ : state) {
        int w = 0, h = 0;
        if (!pic_import_fit(g_photo_path.c_str(), area_w, area_h, &w, &h))
            state.SkipWithError("import failed");
        decoded_w = pic_working()->width;
        const bool wide = (long long)w * area_h > (long long)h * area_w;
        const int fw = wide ? area_w : (int)((long long)w * area_h / h);
        const int fh = wide ? (int)((long long)h * area_w / w) : area_h;
        if (!pic_resample(fw, fh, 1)) state.SkipWithError("resample failed");
        Image* image = pic_to_image();
        benchmark::DoNotOptimize(image);
        io_mem_free(image);
        pic_free();
    }
    state.counters["decoded_w"] = decoded_w;
}
BENCHMARK(BM_import_4000x3000_exif)->Args({1004, 688})->Args({1900, 1000})->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const std::string& path : {g_path, g_photo_path})
        if (!path.empty()) std::remove(path.c_str());
    return 0;
}
