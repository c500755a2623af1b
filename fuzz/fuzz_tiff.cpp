// fuzz/fuzz_tiff.cpp -- picture import of arbitrary bytes saved as a ".tif" file: must never
// crash, hang, or allocate beyond the picture limits; a picture that decodes is released again.
#include <unistd.h>

#include <cstdint>
#include <cstdio>

#include "image/pic.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static char path[64];
    if (!path[0]) std::snprintf(path, sizeof path, "/tmp/lumavex_fuzz_%d.tif", (int)getpid());
    FILE* file = std::fopen(path, "wb");
    if (!file) return 0;
    const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    if (std::fclose(file) != 0 || !written) return 0;
    pic_import(path);
    pic_free();
    return 0;
}
