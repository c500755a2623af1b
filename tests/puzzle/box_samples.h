// tests/puzzle/box_samples.h -- a throw-away game folder to run in, byte builders for hand-made
// tagged files, and a small JPEG picture, shared by the box, play and save tests.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "image/gformat.h"
#include "image/pic.h"
#include "puzzle/box.h"
#include "support/files.h"

namespace box_samples {

// Runs the test inside a fresh game folder; the previous working folder comes back afterwards.
struct GameFolder {
    TempDir temp;
    const std::string& dir = temp.path;
    const std::string previous = std::filesystem::current_path().string();
    GameFolder() {
        std::filesystem::current_path(dir);
        for (const char* sub : {"sfiles/temp", "sfiles/qs", "puzzles"})
            std::filesystem::create_directories(sub);
        box_set_folder(nullptr);
    }
    ~GameFolder() { std::filesystem::current_path(previous); }
    // Names of the files in a folder (relative to the game folder), sorted.
    static std::vector<std::string> files_in(const char* folder) {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(folder))
            if (e.is_regular_file()) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

// The byte builders and whole-file helpers, under this namespace's names too.
using ::exists, ::get32, ::le32, ::patched32, ::patched8, ::put32, ::put_chunk, ::read_file, ::text_bytes,
    ::write_file;

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
    const Bytes out = file_bytes(f);
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
