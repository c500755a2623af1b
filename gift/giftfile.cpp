// gift/giftfile.cpp -- the marker, writing records, scanning for the seam and reading records.
#include "gift/giftfile.h"

#include <cstring>

#include "resources/tagfile.h"

namespace {

constexpr const char* MARKER_FORMAT = "COUPLER<%i-%i>";
constexpr int MARKER_FIRST = 3141592;
constexpr int MARKER_SECOND = 103672536;

// The file name and extension of a path: what follows the last '/' or '\\'.
const char* file_part(const char* path) {
    const char* part = path;
    for (const char* p = path; *p; p++)
        if (*p == '/' || *p == '\\') part = p + 1;
    return part;
}

}  // namespace

void gift_marker(char* out) {
    std::snprintf(out, GIFT_MARKER_LENGTH + 1, MARKER_FORMAT, MARKER_FIRST, MARKER_SECOND);
}

int gift_write_marker(FILE* file) {
    char marker[GIFT_MARKER_LENGTH + 1];
    gift_marker(marker);
    return file_write_bytes(file, marker, GIFT_MARKER_LENGTH);
}

int gift_add_file(FILE* file, const char* source, const char* recordName) {
    FILE* in = std::fopen(source, "rb");
    if (!in) return 0;
    const char* name = file_part(recordName && *recordName ? recordName : source);
    const long size = file_bytes_left(in);
    const size_t nameLength = std::strlen(name);
    int ok = size >= 0 && size <= 0xFFFFFFFFL && file_write_tag(file, GIFT_RECORD_TAG) &&
             file_write_u32(file, (uint32_t)nameLength) && file_write_bytes(file, name, nameLength) &&
             file_write_u32(file, (uint32_t)size) && file_copy_bytes(file, in, (size_t)size);
    std::fclose(in);
    return ok;
}

bool gift_find_marker(FILE* file) {
    char marker[GIFT_MARKER_LENGTH + 1];
    gift_marker(marker);
    int matched = 0;
    for (int c; (c = std::getc(file)) != EOF;) {
        if (c == (unsigned char)marker[matched]) {
            if (++matched == GIFT_MARKER_LENGTH) return std::fseek(file, -GIFT_MARKER_LENGTH, SEEK_CUR) == 0;
        } else {
            matched = 0;
        }
    }
    return false;
}

namespace {

// One record head, with the end of the file already known.
bool next_record(FILE* file, long fileEnd, char* name, int nameSize, uint32_t* dataLength) {
    uint32_t nameLength = 0, length = 0;
    if (!file_check_tag(file, GIFT_RECORD_TAG) || !file_read_u32(file, &nameLength)) return false;
    long here = std::ftell(file);
    if (here < 0 || nameLength > (unsigned long)(fileEnd - here)) return false;
    if (name && nameSize > 0 && nameLength <= (uint32_t)(nameSize - 1)) {
        if (!file_read_bytes(file, name, nameLength)) return false;
        name[nameLength] = 0;
    } else {
        // A name too long for the buffer is passed over and given as empty, so the reader
        // refuses that record but goes on with the next.
        if (name && nameSize > 0) name[0] = 0;
        if (std::fseek(file, (long)nameLength, SEEK_CUR) != 0) return false;
    }
    if (!file_read_u32(file, &length)) return false;
    here = std::ftell(file);
    if (here < 0 || length > (unsigned long)(fileEnd - here)) return false;
    *dataLength = length;
    return true;
}

// The offset of the end of the file, the position kept; -1 when unknown.
long file_end(FILE* file) {
    const long here = std::ftell(file), left = file_bytes_left(file);
    return here < 0 || left < 0 ? -1 : here + left;
}

}  // namespace

bool gift_next_record(FILE* file, char* name, int nameSize, uint32_t* dataLength) {
    const long end = file_end(file);
    return end >= 0 && next_record(file, end, name, nameSize, dataLength);
}

int gift_count_records(FILE* file, long* end) {
    const long start = std::ftell(file), fileEnd = file_end(file);
    int count = 0;
    long last = start;
    uint32_t length;
    while (fileEnd >= 0 && next_record(file, fileEnd, nullptr, 0, &length) &&
           std::fseek(file, (long)length, SEEK_CUR) == 0) {
        count++;
        last = std::ftell(file);
    }
    std::clearerr(file);
    std::fseek(file, start, SEEK_SET);
    if (end) *end = last;
    return count;
}

int gift_plain_name(const char* name, size_t length, char* out) {
    size_t from = 0;
    for (size_t i = 0; i < length; i++)
        if (name[i] == '/' || name[i] == '\\') from = i + 1;
    const size_t size = length - from;
    if (size == 0 || size > (size_t)GIFT_NAME_MAX || name[from] == '.') return 0;
    for (size_t i = from; i < length; i++)
        if ((unsigned char)name[i] < 32 || name[i] == 127) return 0;
    std::memcpy(out, name + from, size);
    out[size] = 0;
    return 1;
}
