// base/str.h -- small text helpers shared by every layer.
#pragma once
#include <cstddef>

void str_upper(char* text);  // in place, C library case mapping
void str_lower(char* text);
int str_icompare(const char* a, const char* b);  // 0 when equal ignoring the case of a..z, else -1
void str_copy_bounded(char* to, const char* from, size_t n);  // at most n - 1 chars, always ended
void str_replace_char(char* text, char from, char to);
// The true/false words of the command line and the configuration ("true", "1", "yes", "hi" and
// "false", "0", "no", "lo", in any case). 1 and *value set when the word is one of them.
int str_parse_bool(const char* word, int* value);
