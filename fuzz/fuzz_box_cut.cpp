// fuzz/fuzz_box_cut.cpp -- arbitrary bytes as a box file, down the road of a game start: read,
// cut, every distinct outline rendered. An accepted box must cut into the piece count it states.
// The settings go to the cut even when refused (other callers reach it too), over a picture of at
// most 128 pixels a side, so a slow or overflowing cut shows as a timeout or a sanitizer report.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_folder.h"
#include "platform/io_mem.h"
#include "puzzle/box.h"
#include "puzzle/curve.h"
#include "puzzle/grid.h"
#include "puzzle/shape.h"
#include "tests/puzzle/cut_support.h"

namespace {

constexpr int PICTURE_SIDE_FUZZ = 128;

cut_support::CurvePack* g_pack;  // the eight curves of the tests' pack, for the whole run

void curves_once() {
    if (g_pack) return;
    g_pack = new cut_support::CurvePack(cut_support::standard_curves(), "fuzz_box_cut");
    if (!g_pack->ok) std::abort();
    curves_load();
    std::atexit([] { delete g_pack; });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    curves_once();
    InGameFolder in_folder;
    InGameFolder::put("puzzles/fuzz.pzl", data, size);
    FileStamp stamp;
    BoxRecord record;
    const int readable = box_read("fuzz", &stamp, &record, BOX_ALL);
    box_clear_work_files(BOX_ALL);
    // Beyond the cut's own bounds the game fits the picture to the desk before it cuts.
    if (readable && record.pieceCount <= CUT_PIECES_MAX && record.pieceSize <= CUT_SIZE_MAX) {
        BoxRecord cut = record;
        grid_build(&cut);
        if (cut.pieceCount != record.pieceCount) std::abort();
    }
    // The node table of the settings as they are, then their cut of a small picture.
    BoxRecord raw = record;
    grid_build(&raw);
    grid_free();
    BoxRecord small = record;
    small.width = std::min(small.width, PICTURE_SIDE_FUZZ);
    small.height = std::min(small.height, PICTURE_SIDE_FUZZ);
    CutPiece* pieces = pieces_cut(&small);
    for (int i = 0; pieces && i < small.pieceCount; i++) {
        const CutPiece& p = pieces[i];
        if (p.shape < 0 || p.shape >= shapes_count() || !shapes_table()[p.shape].piece) std::abort();
    }
    io_mem_free(pieces);
    shapes_free();
    return 0;
}
