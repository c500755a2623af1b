// Fuzz target: the automation script parser over arbitrary text.
#include <cstdint>
#include <string>

#include "kernel/script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text((const char*)data, size);
    char error[256];
    script_parse_text(text.c_str(), error, sizeof error);
    script_free();
    return 0;
}
