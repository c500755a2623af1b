// puzzle/progress.cpp -- the percent joined, from the neighbour links whose two pieces share a
// group.
#include "puzzle/progress.h"

#include "puzzle/play.h"

void progress_update() {
    long long links = 0, joined = 0;
    for (int i = 0; i < play_state.pieceCount; i++) {
        const PlayPiece& p = play_state.pieces[i];
        links += p.neighbourCount;
        for (int k = 0; k < p.neighbourCount; k++)
            joined += p.group != -1 && play_state.pieces[p.neighbours[k]].group == p.group;
    }
    // A puzzle without links (a single piece) is whole from the start.
    int percent = links ? (int)(joined * 100 / links) : 100;
    if (percent == 0 && joined != 0) percent = 1;
    play_state.info.percent = percent;
}
