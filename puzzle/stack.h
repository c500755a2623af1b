// puzzle/stack.h -- the stacking order of the open game's pieces: a list from
// play_state.bottom to play_state.top through each piece's prev and next.
#pragma once

void stack_raise(int piece);  // to the top; appended when not in the list
void stack_unlink(int piece);
void stack_insert_above(int below, int piece);  // nothing when equal or already directly above
void stack_reset();                             // every piece stacked in index order (the last on top)
// Counts the changes to the order: whoever keeps something derived from it (the desk index's
// ranks) reads it again when this moved on.
unsigned stack_version();
void stack_changed();  // the order was put back by copying the records (the autosave)
