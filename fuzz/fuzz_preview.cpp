// fuzz/fuzz_preview.cpp -- arbitrary bytes as a shelf preview. The expected stamp is taken from
// the input itself, so the reader gets past the head and into the images.
#include <cstring>

#include "fuzz/fuzz_folder.h"
#include "platform/io_mem.h"
#include "puzzle/box.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    InGameFolder in_folder;
    InGameFolder::put("sfiles/temp/fuzz.prw", data, size);
    BoxPreview box = {};
    std::strcpy(box.name, "fuzz");
    if (size >= 20) std::memcpy(&box.stamp, data + 4, sizeof box.stamp);
    (void)box_preview_valid(&box);
    if (box_preview_read(&box)) {
        io_mem_free(box.thumbnail);
        io_mem_free(box.largeMask);
        io_mem_free(box.smallMask);
    }
    return 0;
}
