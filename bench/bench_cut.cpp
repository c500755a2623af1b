// bench/bench_cut.cpp -- cutting and rendering a 1200-piece puzzle, and full redraws of a desk
// with those pieces at rest and at odd angles.
//
// Run: build-*/bench/bench_cut (five repetitions each; quote the median). The curves are the
// game's own when a data pack is found at $LUMAVEX_PACK or build-*/game/data.pck, else the knob
// curves the tests use. Peak memory is the process's resident high-water mark.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_pack.h"
#include "image/img.h"
#include "platform/io_mem.h"
#include "platform/io_video.h"
#include "platform/screen.h"
#include "puzzle/box.h"
#include "puzzle/curve.h"
#include "puzzle/grid.h"
#include "puzzle/light.h"
#include "puzzle/piece.h"
#include "puzzle/shape.h"
#include "resources/dp.h"
#include "tests/puzzle/cut_support.h"

namespace {

double min_of(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

constexpr int PICTURE_W = 2000, PICTURE_H = 1500, PIECE = 50, IRREGULARITY = 30;
constexpr int DESK_W = 1920, DESK_H = 1080;

double peak_mb() {
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024.0;
}

// The game's pack beside the benchmark (build-*/bench/../game/data.pck) or the tests' curves.
cut_support::CurvePack* g_knobs;
void open_curves() {
    static bool done = false;
    if (done) return;
    done = true;
    const std::string pack = bench_pack_path();
    if (!pack.empty() && access(pack.c_str(), R_OK) == 0) {
        dp_open(pack);
        std::fprintf(stderr, "curves from %s\n", pack.c_str());
    } else {
        g_knobs = new cut_support::CurvePack();
        std::fprintf(stderr, "curves: the tests' knobs\n");
    }
    curves_load();
}

BoxRecord settings() {
    BoxRecord b{};
    b.width = PICTURE_W, b.height = PICTURE_H, b.pieceSize = PIECE, b.irregularity = IRREGULARITY,
    b.edgeStyle = 1;
    return b;
}

void BM_CutAndRender(benchmark::State& state) {
    open_curves();
    int shapes = 0;
    for (auto _ : state) {
        BoxRecord b = settings();
        grid_build(&b);
        CutPiece* pieces = pieces_cut(&b);
        shapes = shapes_count();
        state.PauseTiming();
        io_mem_free(pieces);
        shapes_free();
        state.ResumeTiming();
    }
    state.counters["shapes"] = shapes;
    state.counters["peak_MB"] = peak_mb();
}
BENCHMARK(BM_CutAndRender)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

// A desk of 1200 cut pieces scattered by a fixed generator, drawn over a desk picture.
struct Desk {
    Image* picture = nullptr;
    Image* background = nullptr;
    CutPiece* pieces = nullptr;
    int count = 0;
    struct Placed {
        int x, y, angle, home_x, home_y;
        PieceQuad quad;
    }* placed = nullptr;

    void build() {
        open_curves();
        light_tables_build();
        img_shadow_table_init();
        picture = cut_support::test_picture(PICTURE_W, PICTURE_H);
        BoxRecord b = settings();
        grid_build(&b);
        pieces = pieces_cut(&b);
        count = b.pieceCount;
        placed = new Placed[count];
        io_video_create_frame(DESK_W, DESK_H, 24);
        screen_grid_create();
        background = img_create(DESK_W, DESK_H, IMG_24BIT);
        img_fill(background, 0x2A5A3C);
        piece_set_picture(picture);
    }
    void scatter(bool odd_angles) {
        uint32_t r = 1;
        auto next = [&r]() { return (int)(((r = r * 214013u + 2531011u) >> 16) & 0x7FFF); };
        for (int i = 0; i < count; i++) {
            const PieceShape& s = shapes_table()[pieces[i].shape];
            Placed& p = placed[i];
            p.x = next() % (DESK_W - PIECE);
            p.y = next() % (DESK_H - PIECE - 20) + 20;
            p.angle = odd_angles ? 1 + next() % 89 + 90 * (next() % 4) : 0;
            p.home_x = pieces[i].homeX + s.pieceX;
            p.home_y = pieces[i].homeY + s.pieceY;
            piece_quad(&s, p.x, p.y, p.angle, 0, 0, &p.quad);
            // The play state clips the rectangle to the screen.
            if (p.quad.bottom < 0 || p.quad.top >= DESK_H || p.quad.right < 0 || p.quad.left >= DESK_W) {
                p.quad.right = -1;
                continue;
            }
            p.quad.left = std::max(p.quad.left, 0), p.quad.top = std::max(p.quad.top, 0);
            p.quad.right = std::min(p.quad.right, DESK_W - 1),
            p.quad.bottom = std::min(p.quad.bottom, DESK_H - 1);
        }
    }
    // lookahead: ask for the next piece's memory before drawing each piece (piece_prefetch).
    void redraw(bool lookahead = false) {
        io_video_begin_paint();
        screen_invalidate_all();
        img_draw_all(background, 0, 0);
        for (int i = 0; i < count; i++) {
            const Placed& p = placed[i];
            if (lookahead && i + 1 < count) {
                const Placed& n = placed[i + 1];
                piece_prefetch(&n.quad, &shapes_table()[pieces[i + 1].shape], n.home_x, n.home_y, 0);
            }
            piece_draw(&p.quad, &shapes_table()[pieces[i].shape], p.home_x, p.home_y, p.angle, 0, 0);
        }
        screen_flush();
        io_video_end_paint();
    }
};

Desk* desk() {
    static Desk* d = nullptr;
    if (!d) {
        d = new Desk();
        d->build();
    }
    return d;
}

void BM_DeskRedrawAtRest(benchmark::State& state) {
    Desk* d = desk();
    d->scatter(false);
    for (auto _ : state)
        d->redraw();
    state.counters["pieces"] = d->count;
    state.counters["peak_MB"] = peak_mb();
}
BENCHMARK(BM_DeskRedrawAtRest)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->UseRealTime()
    ->ComputeStatistics("min", min_of);

void BM_DeskRedrawAtRestLookahead(benchmark::State& state) {
    Desk* d = desk();
    d->scatter(false);
    for (auto _ : state)
        d->redraw(true);
    state.counters["pieces"] = d->count;
}
BENCHMARK(BM_DeskRedrawAtRestLookahead)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->UseRealTime()
    ->ComputeStatistics("min", min_of);

void BM_DeskRedrawOddAngles(benchmark::State& state) {
    Desk* d = desk();
    d->scatter(true);
    for (auto _ : state)
        d->redraw();
    state.counters["pieces"] = d->count;
}
BENCHMARK(BM_DeskRedrawOddAngles)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->UseRealTime()
    ->ComputeStatistics("min", min_of);

void BM_DeskRedrawOddAnglesLookahead(benchmark::State& state) {
    Desk* d = desk();
    d->scatter(true);
    for (auto _ : state)
        d->redraw(true);
    state.counters["pieces"] = d->count;
}
BENCHMARK(BM_DeskRedrawOddAnglesLookahead)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->UseRealTime()
    ->ComputeStatistics("min", min_of);

}  // namespace

BENCHMARK_MAIN();
