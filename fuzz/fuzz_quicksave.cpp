// fuzz/fuzz_quicksave.cpp -- arbitrary bytes as a quick save of an open game; the stamp from the
// input, and as many pieces as the summary announces (up to a bound), to reach the layout.
#include <cstring>

#include "fuzz/fuzz_folder.h"
#include "puzzle/pieces.h"
#include "puzzle/play.h"
#include "puzzle/save.h"

constexpr int PIECES_MAX = 5000;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    InGameFolder in_folder;
    InGameFolder::put("sfiles/qs/fuzz.qsv", data, size);
    FileStamp stamp = {};
    if (size >= 20) std::memcpy(&stamp, data + 4, sizeof stamp);
    SaveInfo info;
    saveinfo_clear(&info);
    if (!quicksave_read_info("fuzz", &stamp, &info)) return 0;
    const int count = info.pieceCount >= 1 && info.pieceCount <= PIECES_MAX ? info.pieceCount : 1;
    play_state = {};
    play_state.deskWidth = 1024;
    play_state.deskHeight = 768;
    // A large table, so that a kept view is read too (its table is the one the view seed keeps).
    play_state.bigTable = 1;
    play_state.view = view_make(4000, 3000, 1024, 768);
    pieces_alloc(count);
    if (quicksave_read("fuzz", &stamp, &info)) {
        // Whatever the view said, it shows part of the table at a zoom within the limits.
        const TableView& v = play_state.view;
        if (!(v.zoom >= view_fit_zoom(v) * 0.999 && v.zoom <= VIEW_ZOOM_MAX) || v.x > 0 || v.y > 0)
            std::abort();
        // The restored stacking order must hold every piece exactly once.
        int n = 0;
        for (int i = play_state.bottom; i != -1 && n <= count; i = play_state.pieces[i].next)
            n++;
        if (n != count) std::abort();
    }
    pieces_free();
    play_state = {};
    return 0;
}
