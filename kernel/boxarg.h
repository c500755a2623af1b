// kernel/boxarg.h -- a box file named on the command line ("tesselo FILE.pzl"): found among the
// arguments, brought into the puzzles folder when it lies elsewhere, and named for the shelf.
#pragma once

// The first argument that ends in ".pzl" and is not the value of a switch; 1 when there is one.
int boxarg_find(int argc, char** argv, char* path, int size);
// The box's name in the puzzles folder (its file name without ".pzl"). A box that lies elsewhere
// is copied in: under its own name when that is free or holds the same bytes, else under the
// first free "Name (2)", "Name (3)", ... 0 when the file cannot be read or copied. *copied (when
// given) becomes 1 when this call wrote a new file into the folder, else 0.
int boxarg_import(const char* path, const char* folder, char* name, int size, int* copied = nullptr);
