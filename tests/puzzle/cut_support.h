// tests/puzzle/cut_support.h -- a pack of eight edge curves written here (0 straight, 1..7 knobs),
// so the puzzle tests need not the game's pack; a frame with every cell dirty; a test picture.
// The benchmarks use it too, so nothing here depends on the test framework.
#pragma once
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "image/img.h"
#include "platform/io_video.h"
#include "platform/screen.h"
#include "puzzle/curve.h"
#include "resources/dp.h"
#include "resources/packwriter.h"

namespace cut_support {

using Bytes = std::vector<uint8_t>;

inline Bytes curve_file(const std::vector<std::pair<int, int>>& points) {
    Bytes b;
    for (auto [x, y] : points)
        for (int v : {x, y})
            for (int i = 0; i < 4; i++)
                b.push_back((uint8_t)((uint32_t)v >> (8 * i)));
    return b;
}

// A knob on a neck, symmetric about its centre c (per mille of the edge): height h, head
// half-width w; the shoulders dip by h / 25.
inline Bytes knob(int c, int h, int w) {
    std::vector<std::pair<int, int>> p = {{0, 0}, {150, 0}};
    // The left half up to the top of the head, then the same mirrored: x from the centre, y in
    // 24ths of h (-1: the dip).
    const int rise[6][2] = {{-200, -1}, {-120, 2}, {-80, 4}, {-w - 40, 12}, {-w, 18}, {-w + 40, 24}};
    for (int k = 0; k < 6; k++)
        p.push_back({c + rise[k][0], rise[k][1] == -1 ? -h / 25 : h * rise[k][1] / 24});
    for (int k = 5; k >= 0; k--)
        p.push_back({c - rise[k][0], rise[k][1] == -1 ? -h / 25 : h * rise[k][1] / 24});
    p.insert(p.end(), {{850, 0}, {1000, 0}});
    return curve_file(p);
}

inline std::vector<Bytes> standard_curves() {
    std::vector<Bytes> c;
    c.push_back(curve_file({{0, 0}, {333, 0}, {667, 0}, {1000, 0}}));
    const int shapes[7][3] = {{500, 250, 110}, {480, 230, 100}, {520, 260, 120}, {500, 200, 90},
                              {470, 270, 115}, {530, 240, 105}, {500, 280, 125}};
    for (auto& s : shapes)
        c.push_back(knob(s[0], s[1], s[2]));
    return c;
}

// Writes the eight files as a pack into a temporary folder and opens it; closes on destruction.
struct CurvePack {
    std::string path;
    bool ok;  // the pack was written and opened
    explicit CurvePack(const std::vector<Bytes>& files = standard_curves(), const char* tag = "curves") {
        path = (std::filesystem::temp_directory_path() /
                ("lumavex_" + std::string(tag) + "_" + std::to_string(::getpid()) + ".pck"))
                   .string();
        std::vector<std::string> names(files.size());
        std::vector<PackItem> items;
        for (size_t i = 0; i < files.size(); i++) {
            names[i] = "curves/c_" + std::to_string(i) + ".crv";
            items.push_back({names[i].c_str(), files[i].data(), (uint32_t)files[i].size(), nullptr});
        }
        ok = packwriter_write(path.c_str(), items.data(), (int)items.size()) == 1;
        dp_done();
        if (ok) dp_open(path);
    }
    ~CurvePack() {
        curves_free();
        dp_done();
        std::remove(path.c_str());
    }
};

// A frame of w x h with every cell dirty, open for drawing, filled with one colour.
struct Frame {
    Frame(int w, int h) {
        io_video_create_frame(w, h, 24);
        screen_grid_create();
        io_video_begin_paint();
    }
    ~Frame() {
        io_video_end_paint();
        screen_grid_free();
        io_video_close();
    }
    static uint8_t* at(int x, int y) { return screen.buf + (ptrdiff_t)y * screen.pitch + x * 3; }
    static void fill(uint32_t colour) {
        for (int y = 0; y < screen.height; y++)
            for (int x = 0; x < screen.width; x++) {
                uint8_t* p = at(x, y);
                p[0] = (uint8_t)colour, p[1] = (uint8_t)(colour >> 8), p[2] = (uint8_t)(colour >> 16);
            }
    }
};

// A busy 24-bit picture: every pixel differs from its neighbours; no pure magenta anywhere.
inline Image* test_picture(int w, int h) {
    Image* im = img_create(w, h, IMG_24BIT);
    uint8_t* p = (uint8_t*)im + im->colourOffset;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint8_t* q = p + y * im->colourPitch + x * 3;
            q[0] = (uint8_t)(x * 7 + y * 3);
            q[1] = (uint8_t)(40 + (x ^ y) % 150);
            q[2] = (uint8_t)(y * 5 + x);
        }
    return im;
}

}  // namespace cut_support
