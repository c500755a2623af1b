// tests/support/golden.cpp
#include "support/golden.h"

#include <png.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

uint64_t hash_bytes(const void* data, size_t size, uint64_t hash) {
    const uint8_t* p = (const uint8_t*)data;
    for (size_t i = 0; i < size; i++)
        hash = (hash ^ p[i]) * 0x100000001B3ull;
    return hash;
}

uint64_t golden_hash(const ImageView& view, const char* name, ...) {
    const int bpp = view.kind & 15;
    std::vector<uint8_t> rows;
    for (int y = 0; y < view.height; y++) {
        const uint8_t* row = view.pixels + (ptrdiff_t)y * view.pitch;
        rows.insert(rows.end(), row, row + (size_t)view.width * bpp);
    }
    if (const char* folder = std::getenv("LUMAVEX_GOLDEN")) {
        png_image image = {};
        image.version = PNG_IMAGE_VERSION;
        image.width = (png_uint_32)view.width;
        image.height = (png_uint_32)view.height;
        image.format = bpp == 1 ? PNG_FORMAT_GRAY : PNG_FORMAT_BGR;
        char file[256];
        va_list args;
        va_start(args, name);
        std::vsnprintf(file, sizeof file, name, args);
        va_end(args);
        const std::string path = std::string(folder) + "/" + file + ".png";
        png_image_write_to_file(&image, path.c_str(), 0, rows.data(), 0, nullptr);
    }
    return hash_bytes(rows.data(), rows.size());
}
