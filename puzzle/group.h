// puzzle/group.h -- groups of joined pieces: a piece's group is -1 when loose, else the index of
// one of the group's pieces.
#pragma once

int group_size(int piece);  // 1 for a loose piece
