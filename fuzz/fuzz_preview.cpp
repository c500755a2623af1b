// fuzz/fuzz_preview.cpp -- arbitrary bytes as a shelf preview. The expected stamp is taken from
// the input itself, so the reader gets past the head and into the images.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <cstring>
#include <string>

#include "platform/io_mem.h"
#include "rooms/box.h"

namespace {

// Each input runs inside a folder of its own (made once); the caller's folder comes back after
// it, so relative corpus paths keep working.
struct InGameFolder {
    int back;
    InGameFolder() {
        static char folder[] = "/tmp/fuzz_preview_XXXXXX";
        static bool made = false;
        if (!made) {
            if (!mkdtemp(folder)) std::abort();
            made = true;
            const std::string command = std::string("cd ") + folder + " && mkdir -p sfiles/temp puzzles";
            if (std::system(command.c_str()) != 0) std::abort();
            std::atexit([] { std::filesystem::remove_all(folder); });
        }
        back = open(".", O_RDONLY);
        if (back < 0 || chdir(folder) != 0) std::abort();
    }
    ~InGameFolder() {
        if (fchdir(back) != 0) std::abort();
        close(back);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    InGameFolder in_folder;
    FILE* f = std::fopen("sfiles/temp/fuzz.prw", "wb");
    if (!f) std::abort();
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);
    BoxPreview box = {};
    std::strcpy(box.name, "fuzz");
    if (size >= 20) std::memcpy(&box.stamp, data + 4, sizeof box.stamp);
    (void)box_preview_valid(&box);
    if (box_preview_read(&box)) {
        io_mem_free(box.thumbnail);
        io_mem_free(box.largeMask);
        io_mem_free(box.smallMask);
    }
    return 0;
}
