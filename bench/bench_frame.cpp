// bench/bench_frame.cpp -- frames of the play room on a 1920 x 1080 desk with the 1,200-piece
// puzzle of bench_play (2000 x 1500 picture, piece size 50, irregularity 30, fitted to the desk):
//   carry_one    one frame while one piece is carried 10 pixels;
//   carry_group  the same while a 50-piece group is carried;
//   join         the drop that joins a piece to its neighbour, with the sparkle and the sound;
//   finish_fade  one frame of the finished picture's fade (the whole picture blended anew).
// Each frame is the game's own: the mouse event through the window manager, the tick, the paint
// (dirty cells, the resting layer beneath, the carried layer, the overlay) and the presentation
// through video driver 1 with SDL's dummy video driver. The whole game starts headless in a
// temporary folder; the benchmarks run at the end of its start-up.
//
// Run: build/bench/bench_frame --benchmark_repetitions=7   (quote the medians)
// Needs the game's pack (build/game/data.pck or $LUMAVEX_PACK) and build/tools/mkbox.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_pack.h"
#include "kernel/events.h"
#include "kernel/kernel.h"
#include "puzzle/drag.h"
#include "puzzle/finish.h"
#include "puzzle/play.h"
#include "puzzle/stack.h"
#include "rooms/play.h"

namespace {

constexpr int PICTURE_W = 2000, PICTURE_H = 1500;
constexpr int GROUP_COLUMNS = 10, GROUP_ROWS = 5;  // the 50-piece group

std::string g_folder;

// A 2000 x 1500 BMP with smooth colour bands and a grid of shapes, so that pieces differ.
void write_picture(const char* path) {
    const int row = (PICTURE_W * 3 + 3) & ~3;
    std::vector<uint8_t> bytes(54 + (size_t)row * PICTURE_H);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; i++)
            bytes[at + i] = (uint8_t)(v >> (8 * i));
    };
    bytes[0] = 'B', bytes[1] = 'M';
    put32(2, (uint32_t)bytes.size()), put32(10, 54), put32(14, 40), put32(18, PICTURE_W),
        put32(22, PICTURE_H);
    bytes[26] = 1, bytes[28] = 24;
    for (int y = 0; y < PICTURE_H; y++)
        for (int x = 0; x < PICTURE_W; x++) {
            uint8_t* p = &bytes[54 + (size_t)y * row + (size_t)x * 3];
            const bool dot = ((x / 40) + (y / 40)) % 3 == 0;
            p[0] = (uint8_t)(x * 255 / PICTURE_W);
            p[1] = (uint8_t)(y * 255 / PICTURE_H);
            p[2] = dot ? 240 : (uint8_t)((x ^ y) & 0xFF);
        }
    std::ofstream(path, std::ios::binary).write((const char*)bytes.data(), (std::streamsize)bytes.size());
}

// The game folder: the pack and the box "Bench" made by mkbox.
void prepare_folder() {
    char tmpl[] = "/tmp/bench_frame_XXXXXX";
    if (!mkdtemp(tmpl) || chdir(tmpl) != 0) std::abort();
    g_folder = tmpl;
    std::atexit([] { std::filesystem::remove_all(g_folder); });
    std::filesystem::create_directories("puzzles");
    std::filesystem::create_directories("sfiles");
    const std::string pack = bench_pack_path();
    if (symlink(pack.c_str(), "data.pck") != 0) std::abort();
    write_picture("picture.bmp");
    const std::string mkbox = pack.substr(0, pack.rfind("/game/")) + "/tools/mkbox";
    const std::string command = "cd " + g_folder + " && " + mkbox +
                                " picture.bmp Bench --folder puzzles --piece-size 50 --irregularity 30"
                                " --edge-style 1 > /dev/null";
    if (std::system(command.c_str()) != 0) std::abort();
}

int g_x, g_y;  // the pointer

void move(int x, int y) {
    g_x = x, g_y = y;
    kernel_event(KE_MOUSEMOVE, x, y, 1);
}

// One frame: the tick moves the carried pieces, the idle paints and presents.
void frame() {
    kernel_event(KE_TICK, 0, 0, 0);
    kernel_event(KE_IDLE, 0, 0, 0);
}

void press_at_piece(int piece) {
    const PlayPiece& p = play_state.pieces[piece];
    const int x = (p.screenQuad.left + p.screenQuad.right) / 2,
              y = (p.screenQuad.top + p.screenQuad.bottom) / 2;
    move(x, y);
    kernel_event(KE_MOUSEDOWN, x, y, MOUSE_LEFT);
    frame();
}

// Puts down whatever is carried (a second left press drops a short click's pieces).
void put_down() {
    kernel_event(KE_MOUSEUP, g_x, g_y, MOUSE_LEFT);
    if (play_state.pieces[play_state.top].carried) kernel_event(KE_MOUSEDOWN, g_x, g_y, MOUSE_LEFT);
    kernel_event(KE_MOUSEUP, g_x, g_y, MOUSE_LEFT);
    frame();
}

// Carries the pressed pieces back and forth by 10 pixels a frame.
void carry(benchmark::State& state) {
    int step = 10, travelled = 0;
    for (auto _ : state) {
        if (travelled == 400 || travelled == 0) step = travelled ? -10 : 10;
        travelled += step;
        move(g_x + step, g_y);
        frame();
    }
}

void BM_CarryOne(benchmark::State& state) {
    press_at_piece(play_state.top);
    carry(state);
    put_down();
}

// Joins 50 pieces into one group where they lie beside the first, on top of the stack.
int make_group() {
    const int size = play_state.record.pieceSize;
    const int columns = play_state.record.width / size;
    const int first = 0;
    const PlayPiece& base = play_state.pieces[first];
    for (int r = 0; r < GROUP_ROWS; r++)
        for (int c = 0; c < GROUP_COLUMNS; c++) {
            PlayPiece& p = play_state.pieces[r * columns + c];
            p.group = first;
            p.angle = 0;
            p.x = 300 + (p.homeX - base.homeX);
            p.y = 300 + (p.homeY - base.homeY);
            p.needsRedraw = 1;
            stack_raise(r * columns + c);
        }
    frame();
    return first;
}

void BM_CarryGroup(benchmark::State& state) {
    const int member = make_group();
    press_at_piece(member);
    carry(state);
    put_down();
}

// A loose piece laid exactly beside its loose neighbour, picked up, and dropped: it joins.
void BM_Join(benchmark::State& state) {
    const int size = play_state.record.pieceSize;
    const int columns = play_state.record.width / size;
    const int n = 2 * columns + 15, p = n + 1;  // two pieces side by side, away from the group
    for (auto _ : state) {
        state.PauseTiming();
        for (int i : {n, p}) {
            PlayPiece& q = play_state.pieces[i];
            q.group = -1;
            q.angle = 0;
            q.needsRedraw = 1;
            stack_raise(i);
        }
        PlayPiece& pn = play_state.pieces[n];
        PlayPiece& pp = play_state.pieces[p];
        pn.x = 1200, pn.y = 500;
        pp.x = pn.x + (pp.homeX - pn.homeX) + 1, pp.y = pn.y + (pp.homeY - pn.homeY);
        frame();
        press_at_piece(p);
        kernel_event(KE_MOUSEUP, g_x, g_y, MOUSE_LEFT);
        for (int k = 0; k < 20; k++)  // the previous sparkle ends
            frame();
        state.ResumeTiming();
        kernel_event(KE_MOUSEDOWN, g_x, g_y, MOUSE_LEFT);  // the drop joins
        kernel_event(KE_MOUSEUP, g_x, g_y, MOUSE_LEFT);
        frame();
        if (pp.group == -1) state.SkipWithError("the piece did not join");
    }
}

// Every piece in one group at its place in the picture, the picture's grid region at (10, 40);
// then the finish glides (not timed) and each timed frame is one step of the fade.
void BM_FinishFade(benchmark::State& state) {
    const BoxRecord& r = play_state.record;
    const int gw = r.width / r.pieceSize * r.pieceSize, gh = r.height / r.pieceSize * r.pieceSize;
    const int mx = (r.width - gw) / 2, my = (r.height - gh) / 2;
    for (int i = 0; i < play_state.pieceCount; i++) {
        PlayPiece& p = play_state.pieces[i];
        p.group = 0, p.angle = 0, p.lift = 0, p.carried = 0, p.selected = 0;
        p.x = 10 + p.homeX - mx, p.y = 40 + p.homeY - my;
        p.needsRedraw = 1;
    }
    frame();
    for (auto _ : state) {
        if (finish_phase() != FINISH_FADING) {
            state.PauseTiming();
            finish_start(10, 40);
            while (finish_phase() != FINISH_FADING)
                frame();
            frame();  // the seams are kept
            state.ResumeTiming();
        }
        frame();
    }
    finish_stop();
}

BENCHMARK(BM_CarryOne)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CarryGroup)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Join)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FinishFade)->Unit(benchmark::kMicrosecond);

void run_benchmarks() {
    kernel_clock().ready = 1;  // events flow from here on, as after start-up
    if (!play_box("Bench")) {
        std::fprintf(stderr, "bench_frame: the box did not open\n");
        std::exit(1);
    }
    frame();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::exit(0);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    prepare_folder();
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("XDG_RUNTIME_DIR", g_folder.c_str(), 1);  // a copy of the game may run beside it
    kernel_set_start_hook(run_benchmarks);
    char* args[] = {argv[0], (char*)"--headless", (char*)"--window", (char*)"1920x1080", nullptr};
    return kernel_main(4, args);
}
