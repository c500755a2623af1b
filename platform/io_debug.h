// platform/io_debug.h -- the debug log, the fatal path and plain message boxes.
#pragma once

// Levels: 0 off, 1 "application.log" (recreated each run), 2 standard error, 3 off; above 3 refused.
void io_debug_init(int level);
int io_debug_level();
void io_log(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Logs the message, shows it in a stop box and ends the process with exit code 1.
[[noreturn]] void io_fatal(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Tests install a sink that records the message and leaves the test (by throwing);
// the sink must not return. Null restores the normal path.
using FatalSink = void (*)(const char* message);
void io_fatal_set_sink(FatalSink sink);

// Checks that stay on in every build; a failure names the function and goes to the fatal path.
#define IO_ASSERT(cond)                                                       \
    do {                                                                      \
        if (!(cond)) io_fatal("%s: assertion failed: %s\n", __func__, #cond); \
    } while (0)
