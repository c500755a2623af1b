// resources/tagfile.cpp -- little-endian numbers, tags, stamps, chunks and field-table records
// on standard streams.
#include "resources/tagfile.h"

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "base/le.h"

namespace {

constexpr size_t COPY_PIECE = 1024;  // bytes moved per read/write by file_copy_bytes

uint32_t u32_of(const uint8_t* p) {
    LeCursor c = le_cursor(p, 4);
    return le_u32(&c);
}

// A 4-byte field holds a native 32-bit number; its file form is little-endian.
void field_to_file(uint8_t* out, const uint8_t* field) {
    uint32_t v;
    std::memcpy(&v, field, 4);
    le_store_u32(out, v);
}

void field_from_file(uint8_t* field, const uint8_t* in) {
    const uint32_t v = u32_of(in);
    std::memcpy(field, &v, 4);
}

const FieldEntry* find_field(const FieldEntry* table, uint32_t id) {
    for (; table->id != 0; table++)
        if (table->id == id) return table;
    return nullptr;
}

int skip_bytes(FILE* file, uint32_t n) { return n == 0 || std::fseek(file, (long)n, SEEK_CUR) == 0; }

}  // namespace

// Plain bytes ------------------------------------------------------------------------------------

int file_read_bytes(FILE* file, void* buffer, size_t n) {
    return n == 0 || std::fread(buffer, 1, n, file) == n;
}

int file_write_bytes(FILE* file, const void* buffer, size_t n) {
    return n == 0 || std::fwrite(buffer, 1, n, file) == n;
}

int file_copy_bytes(FILE* to, FILE* from, size_t n) {
    uint8_t piece[COPY_PIECE];
    while (n > 0) {
        size_t k = n < COPY_PIECE ? n : COPY_PIECE;
        if (!file_read_bytes(from, piece, k) || !file_write_bytes(to, piece, k)) return 0;
        n -= k;
    }
    return 1;
}

long file_length(FILE* file) {
    long here = std::ftell(file);
    if (here < 0 || std::fseek(file, 0, SEEK_END) != 0) return -1;
    long length = std::ftell(file);
    if (std::fseek(file, here, SEEK_SET) != 0) return -1;
    return length;
}

long file_bytes_left(FILE* file) {
    const long here = std::ftell(file);
    const long length = here < 0 ? -1 : file_length(file);
    return length < here ? -1 : length - here;
}

int file_write_u32(FILE* file, uint32_t value) {
    uint8_t b[4];
    le_store_u32(b, value);
    return file_write_bytes(file, b, 4);
}

int file_read_u32(FILE* file, uint32_t* value) {
    uint8_t b[4];
    if (!file_read_bytes(file, b, 4)) return 0;
    *value = u32_of(b);
    return 1;
}

// Head: tag, stamp --------------------------------------------------------------------------------

int file_write_tag(FILE* file, uint32_t tag) { return file_write_u32(file, tag); }
int file_read_tag(FILE* file, uint32_t* tag) { return file_read_u32(file, tag); }

int file_check_tag(FILE* file, uint32_t expected) {
    uint32_t tag;
    return file_read_tag(file, &tag) && tag == expected;
}

int file_write_stamp(FILE* file, const FileStamp* stamp) {
    uint8_t b[16];
    le_store_u32(b, (uint32_t)stamp->time);
    le_store_u32(b + 4, (uint32_t)stamp->ticks);
    le_store_u32(b + 8, (uint32_t)stamp->random);
    le_store_u32(b + 12, (uint32_t)stamp->version);
    return file_write_bytes(file, b, 16);
}

int file_read_stamp(FILE* file, FileStamp* stamp) {
    uint8_t b[16];
    if (!file_read_bytes(file, b, 16)) return 0;
    LeCursor c = le_cursor(b, sizeof b);
    stamp->time = le_i32(&c);
    stamp->ticks = le_i32(&c);
    stamp->random = le_i32(&c);
    stamp->version = le_i32(&c);
    return 1;
}

int file_check_stamp(FILE* file, const FileStamp* expected) {
    FileStamp stamp;
    return file_read_stamp(file, &stamp) && stamp.time == expected->time && stamp.ticks == expected->ticks &&
           stamp.random == expected->random && stamp.version == expected->version;
}

void stamp_make(FileStamp* stamp) {
    auto since_boot = std::chrono::steady_clock::now().time_since_epoch();
    stamp->time = (int32_t)std::time(nullptr);
    stamp->ticks =
        (int32_t)(uint32_t)std::chrono::duration_cast<std::chrono::milliseconds>(since_boot).count();
    stamp->random = std::rand() & 0x7FFF;
    stamp->version = STAMP_VERSION;
}

// Chunks and records -----------------------------------------------------------------------------

int chunk_write_head(FILE* file, uint32_t id, uint32_t size) {
    uint8_t b[8];
    le_store_u32(b, id);
    le_store_u32(b + 4, size);
    return file_write_bytes(file, b, 8);
}

int chunk_read_head(FILE* file, uint32_t* id, uint32_t* size) {
    uint8_t b[8];
    if (!file_read_bytes(file, b, 8)) return 0;
    LeCursor c = le_cursor(b, sizeof b);
    *id = le_u32(&c);
    *size = le_u32(&c);
    return 1;
}

int chunk_seek(FILE* file, uint32_t wanted, uint32_t* id, uint32_t* size) {
    for (;;) {
        if (!chunk_read_head(file, id, size)) return 0;
        if (*id == wanted) return 1;
        if (!skip_bytes(file, *size)) return 0;
    }
}

int record_write(FILE* file, const FieldEntry* table, const void* record) {
    const uint8_t* base = (const uint8_t*)record;
    for (; table->id != 0; table++) {
        if (!chunk_write_head(file, table->id, table->size)) return 0;
        const uint8_t* field = base + table->offset;
        if (table->size == 4) {
            uint8_t b[4];
            field_to_file(b, field);
            if (!file_write_bytes(file, b, 4)) return 0;
        } else if (!file_write_bytes(file, field, table->size)) {
            return 0;
        }
    }
    return 1;
}

int record_read(FILE* file, const FieldEntry* table, void* record) {
    uint8_t* base = (uint8_t*)record;
    uint32_t id, size;
    while (chunk_read_head(file, &id, &size)) {
        const FieldEntry* field = find_field(table, id);
        if (!field) {
            if (!skip_bytes(file, size)) return 0;
            continue;
        }
        if (size != field->size) return 0;
        if (size == 4) {
            uint8_t b[4];
            if (!file_read_bytes(file, b, 4)) return 0;
            field_from_file(base + field->offset, b);
        } else if (!file_read_bytes(file, base + field->offset, size)) {
            return 0;
        }
    }
    return 1;
}
