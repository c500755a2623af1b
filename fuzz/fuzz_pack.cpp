// fuzz/fuzz_pack.cpp -- arbitrary bytes as a pack file, every resource it names read. A refused
// pack leaves through the fatal path (an exception here); from an accepted one, nothing may fail.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/io_debug.h"
#include "platform/io_mem.h"
#include "resources/dp.h"

namespace {

struct Refused {};

[[noreturn]] void refuse(const char*) { throw Refused{}; }

char g_path[64];  // the input as a file, one per process

void read_resources() {
    int count = dp_entry_count(0);
    for (int i = 0; i < count && i < DP_RESOURCE_MAX; i++) {
        int index = dp_get_index(dp_entry_name(0, i), 0);
        if (index < 0) std::abort();  // a name of the directory must be found
        io_mem_free(dp_load(index));
        long size = dp_size(index);
        uint8_t tail[4];
        dp_fopen(index);
        if (size >= 4 && dp_fseek(size - 4)) dp_fread(tail, 4);
        dp_fclose();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!g_path[0]) std::snprintf(g_path, sizeof g_path, "/tmp/fuzz_pack_%d.pck", (int)getpid());
    FILE* f = std::fopen(g_path, "wb");
    if (!f) return 0;
    size_t written = std::fwrite(data, 1, size, f);
    std::fclose(f);
    if (written != size) return 0;

    io_fatal_set_sink(refuse);
    bool opened = false;
    try {
        dp_open(g_path);
        opened = true;
        read_resources();
    } catch (const Refused&) {
        if (opened) std::abort();  // an accepted pack failed later
    }
    dp_done();
    io_fatal_set_sink(nullptr);
    return 0;
}
