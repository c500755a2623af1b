// tests/support/files.h -- scratch folders, whole files as bytes, and little-endian byte builders.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// A fresh folder under the temporary folder, removed with its contents when the object goes.
struct TempDir {
    std::string path;
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string operator/(const std::string& name) const { return path + "/" + name; }
};

Bytes read_file(const std::string& path);  // empty when the file cannot be read
void write_file(const std::string& path, const Bytes& bytes);
Bytes text_bytes(const std::string& text);
FILE* file_of(const Bytes& bytes, long at = 0);  // an anonymous file holding bytes, positioned at `at`
Bytes file_bytes(FILE* file);                    // the whole of an open file; leaves it at the end

void put16(Bytes* b, uint32_t v);
void put32(Bytes* b, uint32_t v);
void set32(Bytes* b, size_t at, uint32_t v);
uint32_t get32(const Bytes& b, size_t at);
Bytes le32(uint32_t v);
void put_chunk(Bytes* b, uint32_t id, const Bytes& data);  // id, size, data
// b with one byte, or the four bytes of a little-endian 32-bit value, replaced at `at`.
Bytes patched8(Bytes b, size_t at, uint8_t value);
Bytes patched32(Bytes b, size_t at, uint32_t value);
bool exists(const std::string& path);

// A damaged file for a reader's guards, named for its fuzz seed.
struct Damaged {
    const char* name;
    Bytes bytes;
};
