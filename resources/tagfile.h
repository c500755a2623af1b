// resources/tagfile.h -- the bytes every one of the game's own files shares: little-endian
// 32-bit numbers, four-letter tags, the identity stamp, chunks and records driven by a field
// table.
//
// Writing a tagged file: write the tag as 0, the stamp, the version and the body; only when all
// of it was written seek to 0 and write the real tag, so an interrupted file is never taken for
// a valid one. No routine here reports a message: each returns 1 on success and 0 on failure and
// leaves the stream wherever the failed call left it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

// A tag's four bytes in file order are its letters: file_tag("BOX1") == 0x31584F42.
consteval uint32_t file_tag(const char (&text)[5]) {
    return (uint32_t)(uint8_t)text[0] | (uint32_t)(uint8_t)text[1] << 8 | (uint32_t)(uint8_t)text[2] << 16 |
           (uint32_t)(uint8_t)text[3] << 24;
}

inline constexpr int32_t STAMP_VERSION = 125;  // the game's version number, 1.25

// Identifies a box or game; every file that belongs to it carries the same 16 bytes.
struct FileStamp {
    int32_t time;     // seconds since 1970 at creation
    int32_t ticks;    // millisecond tick count at creation
    int32_t random;   // 0..32767
    int32_t version;  // STAMP_VERSION
};
static_assert(sizeof(FileStamp) == 16, "FileStamp is a file layout");

// One record field stored as a chunk. A table ends with an entry whose id is 0.
// Fields of exactly 4 bytes are 32-bit numbers (stored little-endian on every host); fields of
// any other size are byte arrays copied as they are.
struct FieldEntry {
    uint32_t id;      // chunk identifier, never 0
    uint32_t size;    // bytes of the field
    uint32_t offset;  // bytes from the record start
};

// Plain bytes ------------------------------------------------------------------------------------
int file_read_bytes(FILE* file, void* buffer, size_t n);         // all n bytes or 0
int file_write_bytes(FILE* file, const void* buffer, size_t n);  // all n bytes or 0
int file_copy_bytes(FILE* to, FILE* from, size_t n);             // from's current position, 1024-byte pieces
long file_length(FILE* file);      // bytes; the position is kept; -1 when the stream cannot seek
long file_bytes_left(FILE* file);  // from the position to the end; the position is kept; -1 unknown
int file_write_u32(FILE* file, uint32_t value);
int file_read_u32(FILE* file, uint32_t* value);

// Head: tag, stamp --------------------------------------------------------------------------------
int file_write_tag(FILE* file, uint32_t tag);
int file_read_tag(FILE* file, uint32_t* tag);
int file_check_tag(FILE* file, uint32_t expected);  // reads 4 bytes; 1 when they equal expected
int file_write_stamp(FILE* file, const FileStamp* stamp);
int file_read_stamp(FILE* file, FileStamp* stamp);
int file_check_stamp(FILE* file, const FileStamp* expected);  // reads 16 bytes; 1 when equal
void stamp_make(FileStamp* stamp);

// Chunks and records -----------------------------------------------------------------------------
int chunk_write_head(FILE* file, uint32_t id, uint32_t size);
int chunk_read_head(FILE* file, uint32_t* id, uint32_t* size);
// Skips chunks from the current position until the head of `wanted` was read; the stream is then
// at that chunk's data. 0 when a head cannot be read.
int chunk_seek(FILE* file, uint32_t wanted, uint32_t* id, uint32_t* size);
int record_write(FILE* file, const FieldEntry* table, const void* record);
// Reads chunks to the end of the file. A known chunk must have its field's exact size; unknown
// chunks are skipped; fields without a chunk keep their values.
int record_read(FILE* file, const FieldEntry* table, void* record);
