// base/str.cpp -- small text helpers shared by every layer.
#include "base/str.h"

#include <cctype>
#include <cstring>

void str_upper(char* text) {
    for (; *text; text++)
        *text = (char)std::toupper((unsigned char)*text);
}

void str_lower(char* text) {
    for (; *text; text++)
        *text = (char)std::tolower((unsigned char)*text);
}

int str_icompare(const char* a, const char* b) {
    for (;; a++, b++) {
        char ca = *a, cb = *b;
        if (ca >= 'a' && ca <= 'z') ca = (char)(ca - 'a' + 'A');
        if (cb >= 'a' && cb <= 'z') cb = (char)(cb - 'a' + 'A');
        if (ca != cb) return -1;
        if (ca == 0) return 0;
    }
}

void str_copy_bounded(char* to, const char* from, size_t n) {
    if (n == 0) return;
    size_t i = 0;
    for (; i + 1 < n && from[i]; i++)
        to[i] = from[i];
    to[i] = 0;
}

void str_replace_char(char* text, char from, char to) {
    for (; *text; text++)
        if (*text == from) *text = to;
}

int str_parse_bool(const char* text, int* value) {
    char word[32];
    int n = 0;
    while (text[n] && n < 31) {
        word[n] = (char)std::tolower((unsigned char)text[n]);
        n++;
    }
    word[n] = 0;
    static const struct {
        const char* word;
        int value;
    } table[] = {{"true", 1}, {"1", 1}, {"yes", 1}, {"hi", 1}, {"false", 0}, {"0", 0}, {"no", 0}, {"lo", 0}};
    for (const auto& entry : table)
        if (!std::strcmp(word, entry.word)) {
            *value = entry.value;
            return 1;
        }
    return 0;
}
