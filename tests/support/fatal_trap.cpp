// tests/support/fatal_trap.cpp
#include "support/fatal_trap.h"

#include <sys/stat.h>

#include <cstdio>

#include "platform/io_debug.h"

namespace {
[[noreturn]] void throw_fatal(const char* message) { throw FatalError{message}; }
}  // namespace

FatalTrap::FatalTrap() { io_fatal_set_sink(throw_fatal); }
FatalTrap::~FatalTrap() { io_fatal_set_sink(nullptr); }

void write_fuzz_seed(const char* target, const char* name, const void* data, size_t size) {
#ifdef LUMAVEX_FUZZ_SEEDS
    std::string folder = LUMAVEX_FUZZ_SEEDS;
    mkdir(folder.c_str(), 0755);
    folder += "/";
    folder += target;
    mkdir(folder.c_str(), 0755);
    std::string path = folder + "/" + name;
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        if (size) std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
#else
    (void)target, (void)name, (void)data, (void)size;
#endif
}
