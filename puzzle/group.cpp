// puzzle/group.cpp -- groups of joined pieces.
#include "puzzle/group.h"

#include "puzzle/play.h"

int group_size(int piece) {
    const int g = play_state.pieces[piece].group;
    if (g == -1) return 1;
    int n = 0;
    for (int i = 0; i < play_state.pieceCount; i++)
        n += play_state.pieces[i].group == g;
    return n;
}
