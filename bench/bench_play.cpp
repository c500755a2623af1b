// bench/bench_play.cpp -- reading the cut cache of a 1200-piece puzzle (2000 x 1500 picture,
// piece size 50, irregularity 30), and the peak resident memory of a whole 1200-piece game.
//
// Run: build-*/bench/bench_play --benchmark_repetitions=5   (quote the median)
//      build-*/bench/bench_play --peak-memory   (a game started, drawn, ended and resumed in a
//      fresh process; prints the process's resident high-water mark after each step)
// The curves are the game's own when a data pack is found at $LUMAVEX_PACK or beside the
// benchmark in ../game/data.pck, else simple knob curves written here.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_pack.h"
#include "image/gformat.h"
#include "image/pic.h"
#include "platform/io_mem.h"
#include "platform/io_video.h"
#include "platform/screen.h"
#include "puzzle/box.h"
#include "puzzle/curve.h"
#include "puzzle/game.h"
#include "puzzle/grid.h"
#include "puzzle/light.h"
#include "puzzle/pieces.h"
#include "puzzle/play.h"
#include "puzzle/save.h"
#include "puzzle/shape.h"
#include "resources/dp.h"
#include "resources/packwriter.h"

namespace {

constexpr int PICTURE_W = 2000, PICTURE_H = 1500, PIECE = 50, IRREGULARITY = 30;
constexpr int DESK_W = 2560, DESK_H = 1600;  // large enough that the cut is not fitted
const FileStamp STAMP = {1000, 2000, 3000, 125};

std::vector<uint8_t> curve_bytes(const std::vector<std::pair<int, int>>& points) {
    std::vector<uint8_t> b;
    for (auto [x, y] : points)
        for (int v : {x, y})
            for (int i = 0; i < 4; i++)
                b.push_back((uint8_t)((uint32_t)v >> (8 * i)));
    return b;
}

// The game's pack, or a pack of one straight and seven knob curves in the current folder.
void open_curves() {
    std::string pack = bench_pack_path();
    if (pack.empty() || access(pack.c_str(), R_OK) != 0) {
        std::vector<std::vector<uint8_t>> files = {curve_bytes({{0, 0}, {333, 0}, {667, 0}, {1000, 0}})};
        for (int k = 0; k < 7; k++) {
            const int c = 470 + 10 * k, h = 200 + 10 * k, w = 90 + 5 * k;
            files.push_back(curve_bytes({{0, 0},
                                         {150, 0},
                                         {c - 200, -h / 25},
                                         {c - 120, h / 12},
                                         {c - 80, h / 6},
                                         {c - w - 40, h / 2},
                                         {c - w, 3 * h / 4},
                                         {c - w + 40, h},
                                         {c + w - 40, h},
                                         {c + w, 3 * h / 4},
                                         {c + w + 40, h / 2},
                                         {c + 80, h / 6},
                                         {c + 120, h / 12},
                                         {c + 200, -h / 25},
                                         {850, 0},
                                         {1000, 0}}));
        }
        std::vector<std::string> names;
        std::vector<PackItem> items;
        for (size_t i = 0; i < files.size(); i++)
            names.push_back("curves/c_" + std::to_string(i) + ".crv");
        for (size_t i = 0; i < files.size(); i++)
            items.push_back({names[i].c_str(), files[i].data(), (uint32_t)files[i].size(), nullptr});
        pack = "curves.pck";
        if (!packwriter_write(pack.c_str(), items.data(), (int)items.size())) std::abort();
    }
    dp_open(pack);
    curves_load();
}

// A fresh working folder for the run (removed at exit).
std::string g_folder;
void enter_folder() {
    char tmpl[] = "/tmp/bench_play_XXXXXX";
    if (!mkdtemp(tmpl) || chdir(tmpl) != 0) std::abort();
    g_folder = tmpl;
    std::filesystem::create_directories("sfiles/temp");
    std::filesystem::create_directories("sfiles/qs");
    std::filesystem::create_directories("puzzles");
    std::atexit([] { std::filesystem::remove_all(g_folder); });
}

BoxRecord settings() {
    BoxRecord r = {};
    r.width = PICTURE_W, r.height = PICTURE_H, r.pieceSize = PIECE, r.irregularity = IRREGULARITY,
    r.edgeStyle = 1;
    return r;
}

// Cuts the puzzle into the play state and writes its cut cache "bench".
void write_cache() {
    play_state = {};
    play_state.record = settings();
    CutPiece* cut = pieces_cut(&play_state.record);
    if (!cut) std::abort();
    pieces_alloc(play_state.record.pieceCount);
    for (int i = 0; i < play_state.pieceCount; i++) {
        PlayPiece& p = play_state.pieces[i];
        p.homeX = cut[i].homeX, p.homeY = cut[i].homeY, p.shape = cut[i].shape;
        p.neighbourCount = cut[i].neighbourCount;
        std::memcpy(p.neighbours, cut[i].neighbours, sizeof p.neighbours);
    }
    io_mem_free(cut);
    play_state.liftHeight = shape_constants()->liftHeight;
    if (!cutcache_write("bench", &STAMP)) std::abort();
}

void BM_CutCacheRead(benchmark::State& state) {
    static bool ready = false;
    if (!ready) {
        enter_folder();
        open_curves();
        write_cache();
        ready = true;
    }
    for (auto _ : state) {
        pieces_free();
        shapes_free();
        if (!cutcache_read("bench", &STAMP)) state.SkipWithError("the cache did not read");
    }
    state.counters["pieces"] = play_state.pieceCount;
    state.counters["shapes"] = play_state.shapeCount;
    state.counters["MB"] = (double)std::filesystem::file_size("sfiles/temp/bench.tmp") / 1e6;
}
BENCHMARK(BM_CutCacheRead)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// --- Peak memory of a whole game ---

long peak_kb() {
    FILE* f = std::fopen("/proc/self/status", "r");
    char line[256];
    long kb = -1;
    while (f && std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "VmHWM: %ld kB", &kb) == 1) break;
    if (f) std::fclose(f);
    return kb;
}

// A busy 2000 x 1500 picture as the box "Bench".
void make_box() {
    PictureBuffer* pic = pic_create(PICTURE_W, PICTURE_H, IMG_24BIT);
    for (int y = 0; y < PICTURE_H; y++)
        for (int x = 0; x < PICTURE_W; x++) {
            uint8_t* p = pic->pixels + y * pic->pitch + 3 * x;
            p[0] = (uint8_t)(x * 7 + y * 3), p[1] = (uint8_t)(40 + (x ^ y) % 150),
            p[2] = (uint8_t)(y * 5 + x);
        }
    FILE* f = std::fopen(BOX_PICTURE_FILE, "wb");
    if (!f || !gformat_jpg_write(f, pic, 80)) std::abort();
    std::fclose(f);
    pic_release(pic);
    BoxRecord r = settings();
    r.pieceCount = (PICTURE_W / PIECE) * (PICTURE_H / PIECE);
    r.rotation = 1;
    if (!box_write("Bench", &STAMP, &r)) std::abort();
    box_clear_work_files(BOX_ALL);
}

// Draws the whole desk once, as the play room's paint does.
void draw_desk() {
    io_video_begin_paint();
    screen_invalidate_all();
    pieces_refresh();
    pieces_draw_resting();
    pieces_draw_carried();
    screen_flush();
    io_video_end_paint();
}

int peak_memory() {
    enter_folder();
    std::printf("start: %ld kB\n", peak_kb());
    io_video_create_frame(DESK_W, DESK_H, 24);
    screen_grid_create();
    img_shadow_table_init();
    light_tables_build();
    open_curves();
    make_box();
    std::printf("frame, tables, curves, box written: %ld kB\n", peak_kb());
    play_state.deskWidth = DESK_W;
    play_state.deskHeight = DESK_H;
    if (!game_start("Bench")) return 1;
    std::printf("game started (cut, rendered, cached, scattered): %d pieces, %d shapes: %ld kB\n",
                play_state.pieceCount, play_state.shapeCount, peak_kb());
    draw_desk();
    for (int i = 0; i < 40; i++) {
        play_state.pieces[i].lift = play_state.liftHeight;
        play_state.pieces[i].x += 7;
    }
    draw_desk();
    std::printf("desk drawn twice: %ld kB\n", peak_kb());
    game_end();
    play_state.deskWidth = DESK_W;
    play_state.deskHeight = DESK_H;
    if (!game_start("Bench")) return 1;
    draw_desk();
    std::printf("ended and resumed from the cut cache and the quick save: %ld kB\n", peak_kb());
    game_end();
    std::printf("peak resident memory: %.1f MB\n", peak_kb() / 1024.0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; i++)
        if (std::strcmp(argv[i], "--peak-memory") == 0) return peak_memory();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
