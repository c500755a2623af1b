// fuzz/fuzz_box.cpp -- arbitrary bytes as a box file: read with every mask, then a field patch.
// Runs inside a folder of its own (made on the first input), as boxes are read from the game's.
#include "fuzz/fuzz_folder.h"
#include "puzzle/box.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    InGameFolder in_folder;
    InGameFolder::put("puzzles/fuzz.pzl", data, size);
    FileStamp stamp;
    BoxRecord record;
    (void)box_read("fuzz", &stamp, &record, BOX_ALL);
    (void)box_read("fuzz", &stamp, &record, BOX_DESCRIPTION | BOX_ADDRESS);
    box_clear_work_files(BOX_ALL);
    for (uint32_t id : {8u, 20u, size > 0 ? (uint32_t)data[size - 1] : 1u})
        (void)box_patch_field("puzzles/fuzz.pzl", id, 0);
    return 0;
}
