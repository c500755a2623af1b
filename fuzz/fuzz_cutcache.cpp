// fuzz/fuzz_cutcache.cpp -- arbitrary bytes as the cut cache of an open game. Stamp from the input;
// settings of the seeds' cuts when the count is theirs, else a strip of that many cells.
#include <cstring>

#include "base/le.h"
#include "fuzz/fuzz_folder.h"
#include "puzzle/pieces.h"
#include "puzzle/play.h"
#include "puzzle/save.h"
#include "puzzle/shape.h"

namespace {

constexpr uint32_t PIECES_MAX = 4096;

void settings_for(uint32_t count, BoxRecord* r) {
    if (count == 48)
        r->width = 320, r->height = 240, r->pieceSize = 40;
    else if (count == 2)
        r->width = 200, r->height = 100, r->pieceSize = 100;
    else
        r->width = (int32_t)(count ? count : 1) * 10, r->height = 10, r->pieceSize = 10;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    InGameFolder in_folder;
    InGameFolder::put("sfiles/temp/fuzz.tmp", data, size);
    FileStamp stamp = {};
    if (size >= 20) std::memcpy(&stamp, data + 4, sizeof stamp);
    LeCursor head = le_cursor(data, size);
    le_skip(&head, 24);
    const uint32_t count = le_u32(&head);  // 0 when the bytes end early
    {
        play_state = {};
        settings_for(count <= PIECES_MAX ? count : 1, &play_state.record);
        if (cutcache_read("fuzz", &stamp)) {
            // What was accepted must be drawable: shapes in range, images inside the picture.
            for (int i = 0; i < play_state.pieceCount; i++) {
                const PlayPiece& p = play_state.pieces[i];
                if (p.shape < 0 || p.shape >= play_state.shapeCount) std::abort();
                const PieceShape& s = play_state.shapes[p.shape];
                if (!s.piece || p.homeX + s.pieceX < 0 ||
                    p.homeX + s.pieceX + s.piece->width > play_state.record.width)
                    std::abort();
            }
        }
        pieces_free();
        shapes_free();
    }
    play_state = {};
    return 0;
}
