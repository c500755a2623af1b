// fuzz/fuzz_picture.h -- arbitrary bytes imported under a given extension: never a crash, hang or
// allocation beyond the picture limits. The codec goes by the first bytes, so the targets differ
// only in their seed pictures (and in proving that the name does not matter).
#pragma once
#include <unistd.h>

#include <cstdint>
#include <cstdio>

#include "image/pic.h"
#include "platform/io_mem.h"

inline int fuzz_import_as(const char* extension, const uint8_t* data, size_t size) {
    char path[64];
    std::snprintf(path, sizeof path, "/tmp/lumavex_fuzz_%d.%s", (int)getpid(), extension);
    FILE* file = std::fopen(path, "wb");
    if (!file) return 0;
    const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    if (std::fclose(file) != 0 || !written) return 0;
    pic_import(path);
    pic_free();
    // The chooser's thumbnail: a JPEG decoded in small slices, any picture fitted to 64 x 64.
    PicThumbJob* job = pic_thumbnail_begin(path, 64, 1LL << 40, 1LL << 40);
    Image* thumbnail = nullptr;
    while (!pic_thumbnail_step(job, 257, &thumbnail)) {
    }
    pic_thumbnail_end(job);
    io_mem_free(thumbnail);
    return 0;
}
