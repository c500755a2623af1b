// tools/mkpack/texts.h -- the language file "english.ini": which numbered texts the game needs
// and the checks its source passes before it goes into the pack.
#pragma once
#include <span>
#include <string>

// A text the game asks for by number. format lists the conversions a format text must hold, in
// order ("%s%i%s"); null for a plain text, which may hold no percent sign at all.
struct NeededText {
    int number;
    const char* format;
    const char* role;
};

std::span<const NeededText> texts_needed();

// Checks the bytes of a language file as the game reads it (sections and keys without regard to
// case, values trimmed of blanks and of one pair of enclosing quotes, a backslash and n for a
// line break). Prints "mkpack: FILE:LINE: what is wrong" for every fault; true when none.
bool texts_check(const std::string& file, const std::string& bytes);
