// kernel/script.h -- the automation harness: timed input, frame snapshots and quit, read from
// a script file. Each line: TICK COMMAND [ARGS]; TICK is a kernel tick counted from 0 when the
// kernel becomes ready, or +N for N ticks after the previous line; '#' starts a comment.
#pragma once

// Reads the whole script; 0 with a message naming the line when a line is malformed.
int script_load(const char* path, char* error, int error_size);
int script_parse_text(const char* text, char* error, int error_size);  // same, from memory
void script_free();
int script_active();

// The main loop calls these around each pass that raises the tick number `tick`: input of
// that tick arrives before the tick and idle events, snapshots and quit come after the paint.
void script_before_tick(int tick);
void script_after_tick(int tick);

// Writes the whole frame buffer as a PNG, right way up; 1 on success.
int script_write_png(const char* path);
