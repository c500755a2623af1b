// puzzle/stack.cpp -- the stacking order: a doubly linked list through the piece records.
#include "puzzle/stack.h"

#include "puzzle/play.h"

namespace {

unsigned g_version;  // changes made to the order (wrapping)

}  // namespace

unsigned stack_version() { return g_version; }
void stack_changed() { g_version++; }

void stack_unlink(int piece) {
    g_version++;
    PlayPiece& p = play_state.pieces[piece];
    if (p.prev != -1)
        play_state.pieces[p.prev].next = p.next;
    else if (play_state.bottom == piece)
        play_state.bottom = p.next;
    if (p.next != -1)
        play_state.pieces[p.next].prev = p.prev;
    else if (play_state.top == piece)
        play_state.top = p.prev;
    p.prev = p.next = -1;
}

void stack_raise(int piece) {
    if (play_state.top == piece) return;
    stack_unlink(piece);
    g_version++;
    PlayPiece& p = play_state.pieces[piece];
    p.prev = play_state.top;
    if (play_state.top != -1)
        play_state.pieces[play_state.top].next = piece;
    else
        play_state.bottom = piece;
    play_state.top = piece;
}

void stack_insert_above(int below, int piece) {
    if (below == piece || play_state.pieces[below].next == piece) return;
    stack_unlink(piece);
    g_version++;
    PlayPiece& b = play_state.pieces[below];
    PlayPiece& p = play_state.pieces[piece];
    p.prev = below;
    p.next = b.next;
    if (b.next != -1)
        play_state.pieces[b.next].prev = piece;
    else
        play_state.top = piece;
    b.next = piece;
}

void stack_reset() {
    g_version++;
    play_state.bottom = play_state.top = -1;
    for (int i = 0; i < play_state.pieceCount; i++)
        play_state.pieces[i].prev = play_state.pieces[i].next = -1;
    for (int i = 0; i < play_state.pieceCount; i++)
        stack_raise(i);
}
