// tests/puzzle/box_samples.h -- a throw-away game folder to run in, byte builders for hand-made
// tagged files, and a small JPEG picture, shared by the box, play and save tests.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/le.h"
#include "image/gformat.h"
#include "image/pic.h"
#include "puzzle/box.h"

namespace box_samples {

using Bytes = std::vector<uint8_t>;

// Runs the test inside a fresh game folder; the previous working folder comes back afterwards.
struct GameFolder {
    std::string dir;
    std::string previous;
    GameFolder() {
        char tmpl[] = "/tmp/lumavex_box_XXXXXX";
        dir = mkdtemp(tmpl);
        previous = std::filesystem::current_path().string();
        std::filesystem::current_path(dir);
        for (const char* sub : {"sfiles", "sfiles/temp", "sfiles/qs", "puzzles"})
            std::filesystem::create_directories(sub);
        box_set_folder(nullptr);
    }
    ~GameFolder() {
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(dir);
    }
    // Names of the files in a folder (relative to the game folder), sorted.
    static std::vector<std::string> files_in(const char* folder) {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(folder))
            if (e.is_regular_file()) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

inline void put32(Bytes* b, uint32_t v) {
    for (int i = 0; i < 4; i++)
        b->push_back((uint8_t)(v >> (8 * i)));
}
inline void put_chunk(Bytes* b, uint32_t id, const Bytes& data) {
    put32(b, id);
    put32(b, (uint32_t)data.size());
    b->insert(b->end(), data.begin(), data.end());
}
inline Bytes le32(uint32_t v) {
    Bytes b;
    put32(&b, v);
    return b;
}
inline uint32_t get32(const Bytes& b, size_t at) {
    LeCursor c = le_cursor(b.data(), b.size());
    le_skip(&c, at);
    return le_u32(&c);
}
// b with one byte, or the four bytes of a little-endian 32-bit value, replaced at `at`.
inline Bytes patched8(Bytes b, size_t at, uint8_t value) {
    b[at] = value;
    return b;
}
inline Bytes patched32(Bytes b, size_t at, uint32_t value) {
    for (int i = 0; i < 4; i++)
        b[at + i] = (uint8_t)(value >> (8 * i));
    return b;
}
// A damaged file for a reader's guards, named for its fuzz seed.
struct Damaged {
    const char* name;
    Bytes bytes;
};
inline Bytes text_bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

inline Bytes read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}
inline void write_file(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    ASSERT_TRUE(out.write((const char*)bytes.data(), (std::streamsize)bytes.size()).good()) << path;
}
inline bool exists(const std::string& path) { return std::filesystem::exists(path); }

// A JPEG of w x h with a different colour in every region, as the bytes of a file.
inline Bytes sample_jpeg(int w = 48, int h = 32) {
    PictureBuffer* pic = pic_create(w, h, IMG_24BIT);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint8_t* p = pic->pixels + y * pic->pitch + 3 * x;
            p[0] = (uint8_t)(x * 5);
            p[1] = (uint8_t)(y * 7);
            p[2] = (uint8_t)((x + y) * 3);
        }
    FILE* f = std::tmpfile();
    EXPECT_EQ(gformat_jpg_write(f, pic, 90), 1);
    pic_release(pic);
    Bytes out((size_t)std::ftell(f));
    std::rewind(f);
    EXPECT_EQ(std::fread(out.data(), 1, out.size(), f), out.size());
    std::fclose(f);
    return out;
}

inline FileStamp sample_stamp(int32_t seed = 1) {
    return FileStamp{1000000 + seed, 5000 + seed, seed & 0x7FFF, 125};
}

inline Bytes tagged_head(uint32_t tag, const FileStamp& s, uint32_t version) {
    Bytes b;
    for (uint32_t v :
         {tag, (uint32_t)s.time, (uint32_t)s.ticks, (uint32_t)s.random, (uint32_t)s.version, version})
        put32(&b, v);
    return b;
}

// A box file as its format lays it out: the head, the fourteen field chunks of the record in
// file order, then the given chunks.
inline Bytes box_bytes(const BoxRecord& r, const std::vector<std::pair<uint32_t, Bytes>>& chunks,
                       const FileStamp& stamp = sample_stamp()) {
    const int32_t values[] = {r.pieceSize,  r.irregularity, r.edgeStyle,     r.width,     r.height,
                              r.pieceCount, r.rotation,     r.hiddenPicture, r.hasTune,   r.hasDescription,
                              r.hasAddress, r.isLink,       r.reserved,      r.repeatTune};
    const uint32_t ids[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 15};
    Bytes b = tagged_head(0x31584F42, stamp, 1);
    for (int i = 0; i < 14; i++)
        put_chunk(&b, ids[i], le32((uint32_t)values[i]));
    for (const auto& [id, data] : chunks)
        put_chunk(&b, id, data);
    return b;
}

}  // namespace box_samples
