// kernel/cmdline.cpp -- command-line switches: found by substring search, each counting only
// when a blank follows it, its value the next word.
#include "kernel/cmdline.h"

#include <cstdio>
#include <cstring>

#include "base/limits.h"
#include "base/str.h"

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

int cmdline_word(const char* cmdline, const char* name, char* word, int size) {
    const char* at = std::strstr(cmdline, name);
    if (!at || size <= 0) return 0;
    at += std::strlen(name);
    if (!is_blank(*at)) return 0;
    while (is_blank(*at))
        at++;
    int n = 0;
    while (at[n] && !is_blank(at[n]))
        n++;
    if (n == 0) return 0;
    if (n > size - 1) n = size - 1;
    std::memcpy(word, at, n);
    word[n] = 0;
    return 1;
}

int cmdline_int(const char* cmdline, const char* name, int* value) {
    char word[64];
    return cmdline_word(cmdline, name, word, sizeof word) && std::sscanf(word, "%i", value) == 1;
}

int cmdline_bool(const char* cmdline, const char* name, int* value) {
    char word[256];
    return cmdline_word(cmdline, name, word, sizeof word) && str_parse_bool(word, value);
}

int cmdline_path(const char* cmdline, char* path, int size) {
    char word[PUZZLE_PATH_MAX + 1];
    if (!cmdline_word(cmdline, "-path", word, sizeof word)) return 0;
    for (char* p = word; *p; p++)
        if (*p == '\\') *p = '/';
    std::snprintf(path, size, "%s", word);
    return 1;
}
