// bench/bench_gift.cpp -- a gift of two sample boxes with the extractor and the installer:
// writing it as the game does (pictures hidden), and unpacking and delivering it as the
// extractor does into an installed game's puzzles folder (the boxes removed again between runs).
//
// Run: build/bench/bench_gift --benchmark_repetitions=5   (quote the medians; the gift's size is
// the "bytes" counter). The extractor and the installer come from the assembled game folder
// beside the benchmark programs (build/bench/../game).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "gift/giftbuild.h"
#include "loader/ldcore.h"

namespace {

namespace fs = std::filesystem;

const char* const BOXES[] = {"Sunset Lake", "Tulip Fields"};

fs::path game_folder() { return fs::canonical("/proc/self/exe").parent_path().parent_path() / "game"; }

// The sender's game folder and the receiver's home, both in one scratch folder that is the
// current folder; removed at exit.
const std::string& scratch() {
    static std::string s_folder;
    if (!s_folder.empty()) return s_folder;
    std::string pattern = "/tmp/bench_gift_XXXXXX";
    if (!mkdtemp(pattern.data()) || chdir(pattern.c_str()) != 0) std::abort();
    s_folder = pattern;
    std::atexit([] { fs::remove_all(s_folder); });
    const fs::path game = game_folder();
    fs::create_directories("sfiles");
    fs::create_directories("puzzles");
    fs::copy_file(game / "sfiles/loader.dat", "sfiles/loader.dat");
    fs::copy_file(game / "sfiles/present.bin", "sfiles/present.bin");
    for (const char* box : BOXES)
        fs::copy_file(game / "puzzles" / (std::string(box) + ".pzl"),
                      fs::path("puzzles") / (std::string(box) + ".pzl"));
    // The receiver: an installed game (its program need only be there) recorded for gifts.
    fs::create_directories("home/game/puzzles");
    fs::create_directories("home/config/Dremwick");
    fs::create_directories("home/tmp");
    fs::copy_file(game / "tesselo", "home/game/tesselo");
    FILE* ini = std::fopen("home/config/Dremwick/Lumavex.ini", "w");
    std::fprintf(ini, "[Lumavex]\nInstallPath=%s/home/game\nVersion=126\n", s_folder.c_str());
    std::fclose(ini);
    setenv("XDG_CONFIG_HOME", (s_folder + "/home/config").c_str(), 1);
    setenv("TMPDIR", (s_folder + "/home/tmp").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (s_folder + "/home").c_str(), 1);
    return s_folder;
}

int write_gift(const std::string& path) {
    GiftSettings settings = {"Alice", "Enjoy these!", 1};
    return gift_write(path.c_str(), &settings, BOXES, 2);
}

void BM_gift_build(benchmark::State& state) {
    const std::string gift = scratch() + "/gift.run";
    for (auto _ : state)
        if (!write_gift(gift)) state.SkipWithError("the gift was not written");
    state.counters["bytes"] = (double)fs::file_size(gift);
}
BENCHMARK(BM_gift_build)->Unit(benchmark::kMillisecond);

void BM_gift_unpack_and_deliver(benchmark::State& state) {
    const std::string gift = scratch() + "/gift.run";
    if (!write_gift(gift)) std::abort();
    ld_set_log([](const char*) {});
    for (auto _ : state) {
        LdGift g;
        if (ld_unpack(&g, gift.c_str(), nullptr) != LD_UNPACKED) state.SkipWithError("not unpacked");
        ld_deliver(&g, [](const char*) {});
        ld_remove_work(&g);
        state.PauseTiming();
        if (g.delivered != 2) state.SkipWithError("the boxes were not delivered");
        for (const char* box : BOXES)
            fs::remove(scratch() + "/home/game/puzzles/" + box + ".pzl");
        state.ResumeTiming();
    }
}
BENCHMARK(BM_gift_unpack_and_deliver)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
