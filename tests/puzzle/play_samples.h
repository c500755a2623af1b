// tests/puzzle/play_samples.h -- an open game made by hand (pieces of one rectangular shape over
// a numbered picture) and a real box to start, shared by the play and save tests.
#pragma once
#include <gtest/gtest.h>

#include <vector>

#include "platform/io_mem.h"
#include "puzzle/box_samples.h"
#include "puzzle/pieces.h"
#include "puzzle/play.h"
#include "puzzle/shape.h"
#include "support/golden.h"

namespace play_samples {

inline PlayPiece& P(int i) { return play_state.pieces[i]; }

// Every piece uses shape 0: a w x h piece image of flat, fully covered pixels (drawn as exact
// copies of the picture) and a shadow 4 pixels larger on every side.
struct HandGame {
    HandGame(int count, int w = 100, int h = 60, int deskW = 1024, int deskH = 768, int size = 100) {
        pieces_free();  // a game made while another is alive replaces it
        shapes_free();
        io_mem_free(play_state.picture);
        play_state = {.record = {.pieceSize = size, .width = 4000, .height = 4000},
                      .liftHeight = 5,
                      .deskWidth = deskW,
                      .deskHeight = deskH,
                      .firstLifted = -1};
        pieces_alloc(count);
        shapes_alloc(1);
        PieceShape& s = shapes_table()[0];
        s.piece = img_create(w, h, IMG_16BIT);
        uint16_t* codes = (uint16_t*)((uint8_t*)s.piece + s.piece->colourOffset);
        for (int i = 0; i < w * h; i++)
            codes[i] = 0x8000;
        s.shadow = img_create(w + 8, h + 8, IMG_8BIT);
        img_fill(s.shadow, 120);
        s.shadowX = s.shadowY = -4;
        play_state.shapes = shapes_table();
        play_state.shapeCount = 1;
    }
    ~HandGame() {
        pieces_free();
        shapes_free();
        io_mem_free(play_state.picture);
        play_state = {};
    }
    // The stacking order, bottom first, checked for consistent links on the way.
    static std::vector<int> stack() {
        std::vector<int> order;
        int prev = -1;
        for (int i = play_state.bottom; i != -1 && (int)order.size() <= play_state.pieceCount;
             i = P(i).next) {
            EXPECT_EQ(P(i).prev, prev);
            order.push_back(i);
            prev = i;
        }
        EXPECT_EQ(prev, play_state.top);
        return order;
    }
};

// A shape table as bytes: of every record the piece image, the offsets, the shadow image.
inline uint64_t shapes_hash(const PieceShape* shapes, int count) {
    uint64_t h = hash_bytes(nullptr, 0);
    for (const PieceShape* s = shapes; s < shapes + count; s++) {
        h = hash_bytes(&s->pieceX, 16, hash_bytes(s->piece, io_mem_size(s->piece), h));
        if (s->shadow) h = hash_bytes(s->shadow, io_mem_size(s->shadow), h);
    }
    return h;
}

// The neighbours of a columns x rows cut: above, left, below, right where they exist.
inline void grid_neighbours(int columns, int rows) {
    for (int j = 0; j < rows; j++)
        for (int i = 0; i < columns; i++) {
            PlayPiece& p = play_state.pieces[j * columns + i];
            p.neighbourCount = 0;
            if (j > 0) p.neighbours[p.neighbourCount++] = (j - 1) * columns + i;
            if (i > 0) p.neighbours[p.neighbourCount++] = j * columns + i - 1;
            if (j < rows - 1) p.neighbours[p.neighbourCount++] = (j + 1) * columns + i;
            if (i < columns - 1) p.neighbours[p.neighbourCount++] = j * columns + i + 1;
        }
}

// A box of a w x h JPEG picture with the given piece size in the current game folder.
inline void make_box(const char* name, int w, int h, int size, int irregularity = 20, int rotation = 0) {
    box_samples::write_file(BOX_PICTURE_FILE, box_samples::sample_jpeg(w, h));
    const BoxRecord r = {.pieceSize = size,
                         .irregularity = irregularity,
                         .edgeStyle = 1,
                         .width = w,
                         .height = h,
                         .pieceCount = size > 0 ? (w / size) * (h / size) : 0,
                         .rotation = rotation};
    const FileStamp stamp = box_samples::sample_stamp(42);
    ASSERT_EQ(box_write(name, &stamp, &r), 1);
    box_clear_work_files(BOX_ALL);
}

}  // namespace play_samples
