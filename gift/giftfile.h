// gift/giftfile.h -- the bytes of a gift program: the extractor, the marker that joins it to the
// body, and the named records of the body. The game writes gifts, the extractor reads them.
//
// A gift file is the extractor program, the 26 marker bytes, then GiftRecords back to back:
// the tag "LMPF", the name length L, L name bytes (no folder, no terminator), the data length D
// and D data bytes; numbers are little-endian 32-bit.
#pragma once
#include <cstdint>
#include <cstdio>

inline constexpr int GIFT_MARKER_LENGTH = 26;
inline constexpr uint32_t GIFT_RECORD_TAG = 0x46504D4C;  // "LMPF"
inline constexpr int GIFT_NAME_MAX = 255;                // bytes of a record name kept on disk

// The marker text, formatted at run time so that no program holds it as it appears in a gift:
// the first occurrence in a gift file is always the seam. out holds at least 27 bytes.
void gift_marker(char* out);

// --- Writing ---
int gift_write_marker(FILE* file);  // 1 when the 26 bytes were written
// Appends the record of one file: the record name reduced to its file name and extension (the
// source path when no name is given), then the source's bytes. 0 and nothing written when the
// source does not open; otherwise 1 only when every write succeeded.
int gift_add_file(FILE* file, const char* source, const char* recordName);

// --- Reading ---
// Scans from the current position one byte at a time; on a match the file stands at the first
// marker byte. A byte that breaks a partial match is not tried again as the first marker byte.
bool gift_find_marker(FILE* file);
// Reads one record head: the tag, L, the name (into name, zero-terminated, when name is not
// null; skipped otherwise; a name longer than nameSize - 1 is skipped and given as "") and D.
// Fails on a wrong tag or a name or data that would reach past the end of the file, so no
// length read from a gift is ever trusted beyond the bytes it really has. The file then stands
// at the first data byte.
bool gift_next_record(FILE* file, char* name, int nameSize, uint32_t* dataLength);
// Whole records from the current position, which is kept. When end is given it receives the
// offset just after the last whole record; anything beyond it is a damaged tail.
int gift_count_records(FILE* file, long* end = nullptr);

// A record name made safe to use as a file name: folder parts removed, then refused (0) when
// empty, "." or "..", beginning with a dot, holding a zero or control byte, or longer than
// GIFT_NAME_MAX bytes. out holds GIFT_NAME_MAX + 1 bytes.
int gift_plain_name(const char* name, size_t length, char* out);
