// bench/bench_start.cpp -- the whole game process, headless, from its start to the end of the
// first painted frame and a normal quit:
//   shelf_samples   the store room with the eight sample boxes (previews written by a first run);
//   shelf_50        the store room with 50 boxes made by mkbox (previews present);
//   open_1200_cut   `tesselo BOX.pzl` of a 1,200-piece box to its first play frame, cut afresh;
//   open_1200_cache the same box again: the cut cache and the quick save from the previous open;
//   shelf_2000      2,000 boxes (copies of one box under 2,000 names), previews and arrangement
//                   present;
//   shelf_2000_new  the same with the configuration file removed before each run: every box is
//                   placed afresh and the whole arrangement written at the end;
//   shelf_2000_stale the same shelf with 20,000 stale keys in each arrangement section.
// Each iteration runs `tesselo --headless --script S` where S quits after tick 0's paint; the clock
// stops when the game says so on standard error ("script: quit at tick 0"), before its shutdown.
// The counter quit_ms is the time from there to the end of the process (the shutdown, which
// writes the arrangement).
//
// Run: build/bench/bench_start --benchmark_repetitions=7   (quote the medians)
// Needs the assembled game folder (build/game) and build/tools/mkbox.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/bench_pack.h"

namespace {

namespace fs = std::filesystem;

std::string game_dir() {
    const std::string pack = bench_pack_path();
    return pack.substr(0, pack.rfind('/'));
}
std::string tools_dir() {
    const std::string game = game_dir();
    return game.substr(0, game.rfind('/')) + "/tools";
}

// A game folder of its own in /tmp: the pack, a quit script, an empty puzzles folder.
struct Folder {
    std::string path;
    Folder() {
        char tmpl[] = "/tmp/bench_start_XXXXXX";
        if (!mkdtemp(tmpl)) std::abort();
        path = tmpl;
        fs::create_directories(path + "/puzzles");
        fs::create_symlink(bench_pack_path(), path + "/data.pck");
        std::ofstream(path + "/quit.txt") << "0 quit\n";
    }
    ~Folder() { fs::remove_all(path); }
};

// One run of the game in the folder; seconds of wall time up to the end of the first frame, and
// in *quit the seconds from then to the end of the process.
double run_game(const Folder& folder, const std::vector<std::string>& extra, double* quit = nullptr) {
    int out[2];
    if (pipe(out) != 0) std::abort();
    const std::string exe = game_dir() + "/tesselo";
    std::vector<std::string> args = {exe, "--headless", "--window", "1920x1080", "--script", "quit.txt"};
    args.insert(args.end(), extra.begin(), extra.end());
    const auto begin = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(folder.path.c_str()) != 0) _exit(99);
        setenv("XDG_RUNTIME_DIR", folder.path.c_str(), 1);
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        if (dup2(out[1], 2) < 0) _exit(97);
        close(out[0]);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(exe.c_str(), argv.data());
        _exit(98);
    }
    close(out[1]);
    // The game's standard error up to the quit line; the rest is drained until it ends.
    std::string said;
    double seconds = 0;
    char buf[4096];
    for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;) {
        said.append(buf, (size_t)n);
        if (!seconds && said.find("script: quit at tick") != std::string::npos)
            seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    }
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (quit)
        *quit = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count() - seconds;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !seconds) {
        std::fprintf(stderr, "bench_start: the game failed:\n%s\n", said.c_str());
        std::abort();
    }
    return seconds;
}

void run_mkbox(const Folder& folder, const std::string& picture, const std::string& name,
               const std::string& options) {
    const std::string command = "cd '" + folder.path + "' && '" + tools_dir() + "/mkbox' '" + picture +
                                "' '" + name + "' --folder puzzles " + options + " > /dev/null";
    if (std::system(command.c_str()) != 0) std::abort();
}

// A BMP of w x h with colour bands and a grid of spots, so that boxes and pieces differ.
void write_picture(const std::string& path, int w, int h, int seed) {
    const int row = (w * 3 + 3) & ~3;
    std::vector<uint8_t> bytes(54 + (size_t)row * h);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; i++)
            bytes[at + i] = (uint8_t)(v >> (8 * i));
    };
    bytes[0] = 'B', bytes[1] = 'M';
    put32(2, (uint32_t)bytes.size()), put32(10, 54), put32(14, 40), put32(18, (uint32_t)w),
        put32(22, (uint32_t)h);
    bytes[26] = 1, bytes[28] = 24;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint8_t* p = &bytes[54 + (size_t)y * row + (size_t)x * 3];
            const bool dot = ((x / 40) + (y / 40) + seed) % 3 == 0;
            p[0] = (uint8_t)(x * 255 / w + seed * 37);
            p[1] = (uint8_t)(y * 255 / h + seed * 11);
            p[2] = dot ? 240 : (uint8_t)((x ^ y) & 0xFF);
        }
    std::ofstream(path, std::ios::binary).write((const char*)bytes.data(), (std::streamsize)bytes.size());
}

void time_runs(benchmark::State& state, const Folder& folder, const std::vector<std::string>& extra,
               void (*before)(const Folder&) = nullptr) {
    double quitTotal = 0;
    for (auto _ : state) {
        if (before) before(folder);
        double quit = 0;
        state.SetIterationTime(run_game(folder, extra, &quit));
        quitTotal += quit;
    }
    state.counters["quit_ms"] = benchmark::Counter(1000 * quitTotal / (double)state.iterations());
}

void BM_ShelfSamples(benchmark::State& state) {
    Folder folder;
    for (const auto& entry : fs::directory_iterator(game_dir() + "/puzzles"))
        fs::copy_file(entry.path(), folder.path + "/puzzles/" + entry.path().filename().string());
    run_game(folder, {});  // writes the previews
    time_runs(state, folder, {});
}

void BM_Shelf50(benchmark::State& state) {
    Folder folder;
    for (int i = 0; i < 50; i++) {
        const std::string picture = folder.path + "/p.bmp";
        write_picture(picture, 640 + 8 * i, 480 + 4 * i, i);
        run_mkbox(folder, picture, "Box " + std::to_string(i + 1), "--piece-size 40");
    }
    run_game(folder, {});
    time_runs(state, folder, {});
}

// The 1,200-piece box: a 2000 x 1500 picture fitted into the play area of a 1920 x 1080 screen and
// cut 33 pixels a piece gives 48 x 25 pieces.
void make_big_box(const Folder& folder) {
    write_picture(folder.path + "/big.bmp", 2000, 1500, 0);
    run_mkbox(folder, folder.path + "/big.bmp", "Big", "--piece-size 33 --irregularity 30 --edge-style 1");
}

void forget_big(const Folder& folder) {
    fs::remove(folder.path + "/sfiles/temp/Big.tmp");
    fs::remove(folder.path + "/sfiles/qs/Big.qsv");
}

void BM_Open1200Cut(benchmark::State& state) {
    Folder folder;
    make_big_box(folder);
    time_runs(state, folder, {"puzzles/Big.pzl"}, forget_big);
}

void BM_Open1200Cache(benchmark::State& state) {
    Folder folder;
    make_big_box(folder);
    run_game(folder, {"puzzles/Big.pzl"});  // the cut cache and the quick save
    time_runs(state, folder, {"puzzles/Big.pzl"});
}

// 2,000 boxes: one box made by mkbox, copied under 2,000 names; the first run writes the
// previews and the arrangement.
void make_shelf_2000(const Folder& folder) {
    write_picture(folder.path + "/p.bmp", 800, 600, 3);
    run_mkbox(folder, folder.path + "/p.bmp", "Box", "--piece-size 40");
    const std::string box = folder.path + "/puzzles/Box.pzl";
    for (int i = 1; i < 2000; i++)
        fs::copy_file(box, folder.path + "/puzzles/Box " + std::to_string(i) + ".pzl");
    run_game(folder, {});
}

void forget_config(const Folder& folder) { fs::remove(folder.path + "/sfiles/config.ini"); }

// Keys 2,000 to 21,999 of both arrangement sections, left by an earlier, larger shelf.
void add_stale_keys(const Folder& folder) {
    const std::string path = folder.path + "/sfiles/config.ini";
    std::ifstream in(path);
    std::string text((std::istreambuf_iterator<char>(in)), {}), out;
    size_t at = 0;
    for (const char* section : {"[BOXNAMES]\n", "[BOXPOSS]\n"}) {
        const size_t head = text.find(section, at);
        if (head == std::string::npos) std::abort();
        const size_t end = text.find("\n[", head);
        out += text.substr(at, (end == std::string::npos ? text.size() : end + 1) - at);
        for (int k = 2000; k < 22000; k++)
            out += std::to_string(k) + (section[4] == 'N' ? "=Gone box " + std::to_string(k) : "=5 5") + "\n";
        at = end == std::string::npos ? text.size() : end + 1;
    }
    out += text.substr(at);
    std::ofstream(path) << out;
}

void BM_Shelf2000(benchmark::State& state) {
    Folder folder;
    make_shelf_2000(folder);
    time_runs(state, folder, {});
}

void BM_Shelf2000New(benchmark::State& state) {
    Folder folder;
    make_shelf_2000(folder);
    time_runs(state, folder, {}, forget_config);
}

void BM_Shelf2000Stale(benchmark::State& state) {
    Folder folder;
    make_shelf_2000(folder);
    time_runs(state, folder, {}, add_stale_keys);
}

BENCHMARK(BM_ShelfSamples)
    ->Name("shelf_samples")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(BM_Shelf50)->Name("shelf_50")->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Shelf2000)->Name("shelf_2000")->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Shelf2000New)
    ->Name("shelf_2000_new")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_Shelf2000Stale)
    ->Name("shelf_2000_stale")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(BM_Open1200Cut)
    ->Name("open_1200_cut")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(BM_Open1200Cache)
    ->Name("open_1200_cache")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
