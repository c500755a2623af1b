// fuzz/fuzz_shelf.cpp -- arbitrary bytes as a box, its shelf preview and its quick save, loaded
// onto the shelf, refreshed and reset. Input: one flag byte, the box's length and the preview's
// length (32-bit little-endian), the box, the preview, the rest as the quick save. With bit 0 of
// the flags the box's stamp is copied into the other two, so they get past their heads.
#include <algorithm>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_folder.h"
#include "rooms/shelf.h"

namespace {

uint32_t length_at(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 9) return 0;
    InGameFolder in_folder;
    const uint8_t flags = data[0];
    size_t rest = size - 9;
    const size_t box_size = std::min<size_t>(length_at(data + 1), rest);
    rest -= box_size;
    const size_t preview_size = std::min<size_t>(length_at(data + 5), rest);
    const uint8_t* box = data + 9;
    std::vector<uint8_t> preview(box + box_size, box + box_size + preview_size);
    std::vector<uint8_t> save(box + box_size + preview_size, data + size);
    if ((flags & 1) && box_size >= 20) {
        if (preview.size() >= 20) std::memcpy(preview.data() + 4, box + 4, 16);
        if (save.size() >= 20) std::memcpy(save.data() + 4, box + 4, 16);
    }
    InGameFolder::put("puzzles/fuzz.pzl", box, box_size);
    InGameFolder::put("sfiles/temp/fuzz.prw", preview.data(), preview.size());
    InGameFolder::put("sfiles/qs/fuzz.qsv", save.data(), save.size());
    shelf_init(800, 600);
    if (ShelfBox* shelved = shelf_load("fuzz")) {
        shelf_clamp(shelved);
        shelf_refresh(shelved);
        shelf_reset(shelved);
    }
    shelf_free();
    return 0;
}
