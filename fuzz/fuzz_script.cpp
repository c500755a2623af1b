// Fuzz target: the automation script reader over arbitrary text, with the game's commands (the
// shared ones and autosolve) and with the gift extractor's (the shared ones alone).
#include <cstdint>
#include <string>

#include "kernel/autosolve.h"
#include "platform/script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text((const char*)data, size);
    char error[256];
    autosolve_register();
    script_parse_text(text.c_str(), error, sizeof error);
    script_forget_commands();
    script_parse_text(text.c_str(), error, sizeof error);
    script_free();
    return 0;
}
