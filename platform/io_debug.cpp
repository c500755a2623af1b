// platform/io_debug.cpp -- the debug log, the fatal path and message boxes.
// The fatal path writes with the lowest layer only (stdio and the platform box), so it works
// whatever module failed.
#include "platform/io_debug.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/limits.h"
#include "platform/sys.h"

namespace {

struct DebugState {
    int level;       // 0 off, 1 log file, 2 standard error, 3 off
    FatalSink sink;  // tests only
    int in_fatal;    // guards against a fatal error while reporting one
};
DebugState g_debug;

constexpr const char* LOG_FILE = "application.log";

void write_line(const char* text) {
    if (text[0] == 0) return;
    if (g_debug.level == 1) {
        FILE* f = std::fopen(LOG_FILE, "a");
        if (!f) return;
        std::fputs(text, f);
        std::fclose(f);
    } else if (g_debug.level == 2) {
        std::fputs(text, stderr);
        std::fflush(stderr);
    }
}

}  // namespace

void io_debug_init(int level) {
    if (level < 0 || level > 3) {
        g_debug.level = 0;
        return;
    }
    g_debug.level = level;
    if (level == 1) std::remove(LOG_FILE);
}

int io_debug_level() { return g_debug.level; }

void io_log(const char* fmt, ...) {
    if (g_debug.level != 1 && g_debug.level != 2) return;
    char text[LOG_LINE_MAX + 1];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    write_line(text);
}

void io_fatal_set_sink(FatalSink sink) { g_debug.sink = sink; }

void io_fatal(const char* fmt, ...) {
    char text[LOG_LINE_MAX + 1];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    if (g_debug.sink) {
        g_debug.sink(text);
        std::abort();  // a sink never returns
    }
    if (g_debug.in_fatal++) std::_Exit(1);
    write_line(text);
    size_t n = std::strlen(text);
    if (n && text[n - 1] != '\n') write_line("\n");  // every log line ends its own line
    sys_message_box(SYS_BOX_STOP, nullptr, text);
    std::_Exit(1);
}
