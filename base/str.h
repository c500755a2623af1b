// base/str.h -- small text helpers shared by every layer.
#pragma once
#include <cstddef>
#include <cstdint>

int str_icompare(const char* a, const char* b);  // 0 when equal ignoring the case of a..z, else -1
void str_copy_bounded(char* to, const char* from, size_t n);  // at most n - 1 chars, always ended
// Appends text behind what out (size bytes with the terminator) holds; cut at the buffer's end.
void str_append(char* out, int size, const char* text);
// The true/false words of the command line and the configuration ("true", "1", "yes", "hi" and
// "false", "0", "no", "lo", in any case). 1 and *value set when the word is one of them.
int str_parse_bool(const char* word, int* value);

// Windows-1252, the game's byte encoding of text, and UTF-8, the desktop's.
// The byte (0x20..0xFF, or '\n' and '\t') that holds code point cp, -1 when there is none.
int str_cp1252_from_unicode(uint32_t cp);
uint32_t str_cp1252_to_unicode(unsigned char byte);  // the five unused bytes give 0xFFFD
// Next code point of UTF-8 text, the cursor advanced past it. A malformed or overlong sequence
// gives 0xFFFD and advances one byte; the terminating zero gives 0 and does not advance.
uint32_t str_utf8_decode(const char** cursor);
int str_utf8_encode(uint32_t cp, char* out);  // 1..4 bytes, no terminator; the count
// Converts what fits into out (size bytes with the terminator, never a partial character);
// characters Windows-1252 cannot hold are dropped. Returns the number dropped.
int str_utf8_to_cp1252(const char* utf8, char* out, int size);
// Always terminated; never ends in a partial UTF-8 sequence.
void str_cp1252_to_utf8(const char* text, char* out, int size);
