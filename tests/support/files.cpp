// tests/support/files.cpp
#include "support/files.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

TempDir::TempDir() {
    std::string name = (std::filesystem::temp_directory_path() / "lumavex_test_XXXXXX").string();
    path = mkdtemp(name.data()) ? name : std::string();
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
}

Bytes read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary).write((const char*)bytes.data(), (std::streamsize)bytes.size());
}

Bytes text_bytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

FILE* file_of(const Bytes& bytes, long at) {
    FILE* f = std::tmpfile();
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fseek(f, at, SEEK_SET);
    return f;
}

Bytes file_bytes(FILE* file) {
    std::fflush(file);
    std::fseek(file, 0, SEEK_END);
    Bytes b((size_t)std::ftell(file));
    std::rewind(file);
    if (std::fread(b.data(), 1, b.size(), file) != b.size()) b.clear();
    return b;
}

void put16(Bytes* b, uint32_t v) {
    b->push_back((uint8_t)v);
    b->push_back((uint8_t)(v >> 8));
}

void put32(Bytes* b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

void set32(Bytes* b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++)
        (*b)[at + i] = (uint8_t)(v >> (8 * i));
}

uint32_t get32(const Bytes& b, size_t at) {
    return b.size() < at + 4 ? 0 : b[at] | b[at + 1] << 8 | b[at + 2] << 16 | (uint32_t)b[at + 3] << 24;
}

Bytes le32(uint32_t v) {
    Bytes b;
    put32(&b, v);
    return b;
}

void put_chunk(Bytes* b, uint32_t id, const Bytes& data) {
    put32(b, id);
    put32(b, (uint32_t)data.size());
    b->insert(b->end(), data.begin(), data.end());
}

Bytes patched8(Bytes b, size_t at, uint8_t value) {
    b[at] = value;
    return b;
}

Bytes patched32(Bytes b, size_t at, uint32_t value) {
    set32(&b, at, value);
    return b;
}

bool exists(const std::string& path) { return std::filesystem::exists(path); }
