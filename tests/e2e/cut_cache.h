// tests/e2e/cut_cache.h -- the pieces of a cut cache file as the tests look at them.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "image/gformat_img.h"
#include "platform/io_mem.h"

namespace e2e {

// Each piece's shape number into *shapeOf, and each shape's piece image, in order, to shape(image)
// (freed after the call). Stops quietly where the file is damaged or cut short.
template <typename ShapeImage>
void read_cut_cache(const std::string& cache, std::vector<int32_t>* shapeOf, ShapeImage shape) {
    FILE* f = fmemopen((void*)cache.data(), cache.size(), "rb");
    if (!f) return;
    uint32_t n = 0, count = 0;
    if (std::fseek(f, 24, SEEK_SET) == 0 && std::fread(&n, 4, 1, f) == 1 && n < 100000)
        for (uint32_t i = 0; i < n; i++) {
            int32_t entry[8];
            if (std::fread(entry, 32, 1, f) != 1) break;
            shapeOf->push_back(entry[2]);
        }
    if (std::fread(&count, 4, 1, f) == 1)
        for (uint32_t s = 0; s < count && s < 100000; s++) {
            int32_t head[6];
            if (std::fread(head, 24, 1, f) != 1) break;
            Image* piece = img_read(f);
            if (!piece) break;
            shape(piece);
            io_mem_free(piece);
            if (head[1]) io_mem_free(img_read(f));
        }
    std::fclose(f);
}

}  // namespace e2e
