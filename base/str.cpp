// base/str.cpp -- small text helpers shared by every layer.
#include "base/str.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>

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

void str_append(char* out, int size, const char* text) {
    const int used = (int)std::strlen(out);
    if (used < size - 1) std::snprintf(out + used, (size_t)(size - used), "%s", text);
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

// Windows-1252 and UTF-8 ---------------------------------------------------------------------

namespace {

// Code points of the bytes 0x80..0x9F; 0 marks the five bytes that hold nothing.
constexpr uint16_t CP1252_HIGH[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

constexpr uint32_t REPLACEMENT = 0xFFFD;

int utf8_length(uint32_t cp) { return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4; }

}  // namespace

int str_cp1252_from_unicode(uint32_t cp) {
    if (cp == '\n' || cp == '\t') return (int)cp;
    if ((cp >= 0x20 && cp < 0x7F) || (cp >= 0xA0 && cp <= 0xFF)) return (int)cp;
    for (int i = 0; i < 32; i++)
        if (CP1252_HIGH[i] && CP1252_HIGH[i] == cp) return 0x80 + i;
    return -1;
}

uint32_t str_cp1252_to_unicode(unsigned char byte) {
    if (byte < 0x80 || byte >= 0xA0) return byte;
    uint32_t cp = CP1252_HIGH[byte - 0x80];
    return cp ? cp : REPLACEMENT;
}

uint32_t str_utf8_decode(const char** cursor) {
    const unsigned char* p = (const unsigned char*)*cursor;
    unsigned char b = p[0];
    if (b == 0) return 0;
    int extra;
    uint32_t cp, least;
    if (b < 0x80) {
        *cursor += 1;
        return b;
    } else if (b >= 0xC2 && b <= 0xDF) {
        extra = 1, cp = b & 0x1F, least = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        extra = 2, cp = b & 0x0F, least = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        extra = 3, cp = b & 0x07, least = 0x10000;
    } else {
        *cursor += 1;
        return REPLACEMENT;
    }
    for (int i = 1; i <= extra; i++) {
        if ((p[i] & 0xC0) != 0x80) {  // also stops at the terminating zero
            *cursor += 1;
            return REPLACEMENT;
        }
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        *cursor += 1;
        return REPLACEMENT;
    }
    *cursor += 1 + extra;
    return cp;
}

int str_utf8_encode(uint32_t cp, char* out) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = REPLACEMENT;
    int n = utf8_length(cp);
    if (n == 1) {
        out[0] = (char)cp;
        return 1;
    }
    static const unsigned char LEAD[5] = {0, 0, 0xC0, 0xE0, 0xF0};
    for (int i = n - 1; i > 0; i--, cp >>= 6)
        out[i] = (char)(0x80 | (cp & 0x3F));
    out[0] = (char)(LEAD[n] | cp);
    return n;
}

int str_utf8_to_cp1252(const char* utf8, char* out, int size) {
    if (size <= 0) return 0;
    int n = 0, dropped = 0;
    while (n < size - 1) {
        uint32_t cp = str_utf8_decode(&utf8);
        if (cp == 0) break;
        int byte = str_cp1252_from_unicode(cp);
        if (byte < 0)
            dropped++;
        else
            out[n++] = (char)byte;
    }
    out[n] = 0;
    return dropped;
}

void str_cp1252_to_utf8(const char* text, char* out, int size) {
    if (size <= 0) return;
    int n = 0;
    for (; *text; text++) {
        uint32_t cp = str_cp1252_to_unicode((unsigned char)*text);
        if (n + utf8_length(cp) > size - 1) break;
        n += str_utf8_encode(cp, out + n);
    }
    out[n] = 0;
}
