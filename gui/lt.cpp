// gui/lt.cpp -- the numbered language texts, read once from the language file.
#include "gui/lt.h"

#include <cstdio>
#include <cstring>

#include "base/limits.h"
#include "platform/io_debug.h"
#include "platform/io_ini.h"
#include "platform/io_mem.h"

namespace {

struct Texts {
    char* entries[TEXT_MAX];  // owned copies; null when the file has no such text
    int charset;
};
Texts g_texts;

// Every backslash followed by n becomes one line break; the rest of the text moves up.
void join_line_breaks(char* text) {
    char* to = text;
    for (const char* from = text; *from; from++, to++) {
        if (from[0] == '\\' && from[1] == 'n') {
            *to = '\n';
            from++;
        } else {
            *to = *from;
        }
    }
    *to = 0;
}

}  // namespace

int lt_init(const char* file) {
    lt_done();
    int version = 0;
    if (!io_ini_read_int(file, "MAIN", "Version", &version))
        io_fatal("lt_init: version not found (%s)", file);
    if (version < 1) io_fatal("lt_init: old version of texts (%s)", file);
    if (!io_ini_read_int(file, "MAIN", "CharSet", &g_texts.charset))
        io_fatal("lt_init: charset not found (%s)", file);
    char value[INI_VALUE_MAX + 1];
    for (int n = 0; n < TEXT_MAX; n++) {
        char key[16];
        std::snprintf(key, sizeof key, "%i", n);
        if (io_ini_read(file, "TEXTS", key, value, sizeof value) <= 0) continue;
        g_texts.entries[n] = io_mem_strdup(value);
        join_line_breaks(g_texts.entries[n]);
    }
    return 1;
}

const char* lt_get(int number) {
    if (number < 0 || number >= TEXT_MAX || !g_texts.entries[number])
        io_fatal("lt_get: lti %i is NULL\n", number);
    return g_texts.entries[number];
}

void lt_with_value(int number, const char* value, char* out, int size) {
    const char* form = lt_get(number);
    if (const char* at = std::strstr(form, "%s"))
        std::snprintf(out, size, "%.*s%s%s", (int)(at - form), form, value, at + 2);
    else
        std::snprintf(out, size, "%s\n%s", form, value);
}

int lt_charset() { return g_texts.charset; }

void lt_done() {
    for (char*& entry : g_texts.entries) {
        io_mem_free(entry);
        entry = nullptr;
    }
    g_texts.charset = 0;
}
