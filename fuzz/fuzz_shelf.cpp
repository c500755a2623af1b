// fuzz/fuzz_shelf.cpp -- arbitrary bytes as a box, its shelf preview and its quick save, loaded
// onto the shelf, refreshed and reset. Input: the box's length and the preview's length (32-bit
// little-endian), the box, the preview, the rest as the quick save.
#include <algorithm>

#include "fuzz/fuzz_folder.h"
#include "rooms/shelf.h"

static uint32_t length_at(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8) return 0;
    InGameFolder in_folder;
    const size_t box = std::min<size_t>(length_at(data), size - 8);
    const size_t preview = std::min<size_t>(length_at(data + 4), size - 8 - box);
    InGameFolder::put("puzzles/fuzz.pzl", data + 8, box);
    InGameFolder::put("sfiles/temp/fuzz.prw", data + 8 + box, preview);
    InGameFolder::put("sfiles/qs/fuzz.qsv", data + 8 + box + preview, size - 8 - box - preview);
    shelf_init(800, 600);
    if (ShelfBox* shelved = shelf_load("fuzz")) {
        shelf_refresh(shelved);
        shelf_reset(shelved);
    }
    shelf_free();
    return 0;
}
