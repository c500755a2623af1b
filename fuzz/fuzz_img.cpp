// fuzz/fuzz_img.cpp -- the IMG reader over arbitrary bytes, at the start of the input and again at
// a position chosen by the first byte, so embedded records are read at a non-zero position too.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "image/gformat_img.h"
#include "platform/io_mem.h"

namespace {

// Reads the record at position `at` of the input; whatever is read must write back byte for byte.
void read_at(const uint8_t* data, size_t size, long at) {
    FILE* file = fmemopen((void*)data, size, "rb");
    if (!file) return;
    std::fseek(file, at, SEEK_SET);
    int width, height, kind;
    if (gformat_img_info(file, &width, &height, &kind) == 1 && std::ftell(file) != at) std::abort();
    Image* image = img_read(file);
    std::fclose(file);
    if (!image) return;

    char* copy = nullptr;
    size_t copySize = 0;
    FILE* out = open_memstream(&copy, &copySize);
    if (!img_write_image(out, image)) std::abort();
    std::fclose(out);
    if (copySize != io_mem_size(image) || std::memcmp(copy, image, copySize) != 0) std::abort();
    std::free(copy);
    io_mem_free(image);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    read_at(data, size, 0);
    const long at = data[0] & 15;  // the same bytes as a record embedded further on
    if (at > 0 && (size_t)at <= size) read_at(data, size, at);
    return 0;
}
