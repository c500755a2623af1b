// gui/lt.h -- the numbered language texts: every text the player reads, read once at start.
#pragma once

// Reads the language file (an INI file: "MAIN" "Version" and "CharSet", "TEXTS" "0".."699").
// A missing or old version or a missing character set is fatal; "\n" in a text becomes a line
// break. Returns 1.
int lt_init(const char* file);
const char* lt_get(int number);  // 0..699; an empty entry is fatal
// Text `number` with value in place of its "%s" (a value, never a format: a "%" in it stays as it
// is); a text without "%s" gets the value on a line of its own after it.
void lt_with_value(int number, const char* value, char* out, int size);
int lt_charset();  // 0: the Western set, drawn with the game's own fonts
void lt_done();    // frees every text
