// fuzz/fuzz_png.cpp -- arbitrary bytes imported as a ".png" picture.
#include "fuzz/fuzz_picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz_import_as("png", data, size);
}
