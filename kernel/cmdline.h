// kernel/cmdline.h -- reading switches from the command line (the arguments joined by blanks).
#pragma once

// Command line: a switch is found by substring search and counts only when a blank follows it;
// its value is the next word. A switch without a word counts as absent.
int cmdline_word(const char* cmdline, const char* name, char* word, int size);  // 1 found
int cmdline_int(const char* cmdline, const char* name, int* value);             // 1 found
int cmdline_bool(const char* cmdline, const char* name, int* value);            // 1 found
// The puzzles folder from "-path": at most 259 characters, '\' turned into '/'. 1 when given.
int cmdline_path(const char* cmdline, char* path, int size);
