// gui/lt.h -- the numbered language texts: every text the player reads, read once at start.
#pragma once

// Reads the language file (an INI file: "MAIN" "Version" and "CharSet", "TEXTS" "0".."699").
// A missing or old version or a missing character set is fatal; "\n" in a text becomes a line
// break. Returns 1.
int lt_init(const char* file);
const char* lt_get(int number);  // 0..699; an empty entry is fatal
int lt_charset();                // 0: the Western set, drawn with the game's own fonts
void lt_done();                  // frees every text
